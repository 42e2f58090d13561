// Every user-interface module of every bundle under a host that hands each
// value the module sends back after the call has returned (queued patch
// updates): ordinary and hostile values on every pin, one by one and then in
// a seeded random order. After each value the held echoes are delivered, and
// those they bring, until none is left; a module still sending after 10000
// values keeps a value bouncing between its pins and fails.
#include "mp_sdk_common.h"
#include "shape_bytes.h"
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <unistd.h>

namespace
{
using qwtest::Bytes;

// One value a pin may be given: bytes, or a size and no bytes at all.
struct Value
{
    std::string what;
    Bytes bytes;
    int32_t size; // handed to setPin
    bool data = true;
};

Value of(const std::string& what, Bytes b)
{
    const auto n = static_cast<int32_t>(b.size());
    return {what, std::move(b), n};
}

// Ordinary values first, then hostile ones, for a pin's datatype.
std::vector<Value> valuesFor(int32_t datatype)
{
    std::vector<Value> v;
    switch (datatype)
    {
    case gmpi::MP_ENUM:
    case gmpi::MP_INT32:
        for (int32_t i : {0, 1, 2, 3, 1, -1, INT_MAX, INT_MIN})
            v.push_back(of("int " + std::to_string(i), qwtest::i32(i)));
        break;
    case gmpi::MP_FLOAT32:
        for (float f : {0.0f, 0.5f, 1.0f, 0.5f, -1.0f, -0.0f, 1e30f})
            v.push_back(of("float " + std::to_string(f), qwtest::f32(f)));
        v.push_back(of("float NaN", qwtest::f32(std::nanf(""))));
        v.push_back(of("float NaN again", qwtest::f32(std::nanf(""))));
        v.push_back(of("float +inf", qwtest::f32(std::numeric_limits<float>::infinity())));
        v.push_back(of("float -inf", qwtest::f32(-std::numeric_limits<float>::infinity())));
        break;
    case gmpi::MP_BOOL:
        v.push_back(of("true", qwtest::b8(true)));
        v.push_back(of("false", qwtest::b8(false)));
        v.push_back(of("true", qwtest::b8(true)));
        v.push_back(of("true again", qwtest::b8(true)));
        v.push_back(of("false", qwtest::b8(false)));
        v.push_back(of("four bytes 256", qwtest::i32(256)));
        break;
    case gmpi::MP_STRING:
        v.push_back(of("text a", qwtest::text(L"a")));
        v.push_back(of("text 1,2,3", qwtest::text(L"1,2,3")));
        v.push_back(of("empty text", {}));
        v.push_back(of("text a again", qwtest::text(L"a")));
        v.push_back(of("text range 0,5", qwtest::text(L"range 0,5")));
        v.push_back(of("long text", qwtest::text(std::wstring(300, L'z'))));
        v.push_back(of("text of surrogates", qwtest::text(std::wstring{wchar_t(0xD800), wchar_t(0x110000)})));
        break;
    case gmpi::MP_BLOB:
        v.push_back(of("shape blob", qwtest::shapeBytes({{0, 0}, {0.5f, 1}, {1, 0}})));
        v.push_back(of("other shape blob", qwtest::shapeBytes({{0, 0.5f}, {0.25f, -1}, {0.75f, 0}, {1, 0.5f}})));
        v.push_back(of("shape blob again", qwtest::shapeBytes({{0, 0}, {0.5f, 1}, {1, 0}})));
        v.push_back(of("empty blob", {}));
        v.push_back(of("16 zero bytes", Bytes(16, 0)));
        v.push_back(of("shape blob with a NaN", qwtest::shapeBytes({{0, 0}, {0.5f, std::nanf("")}, {1, 0}})));
        v.push_back(of("1000 bytes", Bytes(1000, 0xA5)));
        break;
    default:
        return v; // MIDI and audio carry no user-interface value
    }
    v.push_back(of("three odd bytes", Bytes{1, 2, 3}));
    v.push_back({"size -1", Bytes(4, 0xFF), -1});
    v.push_back({"size 4 without bytes", {}, 4, false});
    return v;
}

struct Rng
{
    uint64_t s;
    uint32_t next()
    {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(s >> 33);
    }
};

// A folder for the files the modules may resolve, removed afterwards.
struct TempFolder
{
    std::string path;
    TempFolder()
    {
        char name[] = "/tmp/qw_ui_settle_XXXXXX";
        path = mkdtemp(name) ? name : "/tmp";
    }
    ~TempFolder()
    {
        std::error_code ec;
        if (path != "/tmp")
            std::filesystem::remove_all(path, ec);
    }
};

constexpr int kRandomDeliveries = 300;

void sweepModule(const std::string& bundleName, const std::wstring& id)
{
    TempFolder folder;
    qwhost::GuiHost host;
    host.echo = qwhost::Echo::Later;
    host.autoDuplicateCount = 3;
    host.resourceFolder = folder.path;
    host.confineFiles = true;
    auto g = host.create(qwtest::bundle(bundleName), id);
    ASSERT_TRUE(g->settleEchoes()) << "its echoes keep coming back while it starts";

    struct Delivery
    {
        int pin;
        const Value* value;
    };
    std::vector<std::vector<Value>> values(static_cast<size_t>(g->pinCount()));
    for (int p = 0; p < g->pinCount(); ++p)
        values[static_cast<size_t>(p)] = valuesFor(g->pinInfo(p).datatype);

    auto deliver = [&](int pin, const Value& v) {
        const size_t before = g->transmits.size();
        g->setPinOnly(pin, v.data ? v.bytes.data() : nullptr, v.size);
        g->notifyPin(pin);
        const bool settled = g->settleEchoes();
        EXPECT_TRUE(settled) << "pin " << pin << " '" << g->pinInfo(pin).name << "', " << v.what
                             << ": its echoes keep coming back (" << g->transmits.size() - before << " sent, "
                             << g->pendingEchoes() << " held)";
        // The values kept for the failure message are not needed further.
        if (g->transmits.size() > 100000)
            g->transmits.clear();
        return settled;
    };

    for (int p = 0; p < g->pinCount(); ++p)
        for (const Value& v : values[static_cast<size_t>(p)])
            if (!deliver(p, v))
                return;

    std::vector<Delivery> all;
    for (int p = 0; p < g->pinCount(); ++p)
        for (const Value& v : values[static_cast<size_t>(p)])
            all.push_back({p, &v});
    if (all.empty())
        return;
    Rng rng{0x5EED0000u + id.size()};
    for (int i = 0; i < kRandomDeliveries; ++i)
    {
        const Delivery& d = all[rng.next() % all.size()];
        if (!deliver(d.pin, *d.value))
            return;
    }
}

class ModuleTest : public ::testing::Test
{
public:
    explicit ModuleTest(std::function<void()> body) : body_(std::move(body)) {}
    void TestBody() override { body_(); }

private:
    std::function<void()> body_;
};

template <class F> void addTest(const std::string& suite, const std::string& name, F body)
{
    ::testing::RegisterTest(suite.c_str(), name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                            [body]() -> ::testing::Test* { return new ModuleTest(body); });
}

void registerTests()
{
    for (auto& name : qwtest::productBundles())
    {
        std::shared_ptr<qwhost::Bundle> bundle;
        try
        {
            bundle = qwtest::bundle(name);
        }
        catch (const std::exception& e)
        {
            const std::string why = e.what();
            addTest("Bundles", name, [why] { FAIL() << why; });
            continue;
        }
        for (auto& r : bundle->registrations())
            if (r.subtype == gmpi::MP_SUB_TYPE_GUI2)
            {
                const std::wstring id = r.id;
                addTest("UiSettles/" + name, gmpi_sdk::toUtf8(id), [name, id] { sweepModule(name, id); });
            }
    }
}
} // namespace

// The sweep catches a module that copies its own echoes back for ever.
TEST(UiSettleHarness, CatchesAModuleWhoseEchoesNeverStop)
{
    ::testing::TestPartResultArray failures;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        sweepModule("brokenkit", L"QW_BadEchoBounce");
    }
    ASSERT_EQ(failures.size(), 1);
    EXPECT_NE(std::string(failures.GetTestPartResult(0).message())
                  .find("pin 0 'A', float 0.500000: its echoes keep coming back (10002 sent, 1 held)"),
              std::string::npos)
        << failures.GetTestPartResult(0).message();
}

// The table runner fails a row whose echoes never stop, naming what was sent.
TEST(UiSettleHarness, TheTableRunnerFailsARowWhoseEchoesNeverStop)
{
    qwtest::UiTable t{L"QW_BadEchoBounce"};
    t.bundle = "brokenkit";
    t.echoes = {qwhost::Echo::Later};
    t.rows = {qwtest::deliver(0, qwtest::f32(1.0f), {{1, qwtest::f32(1.0f)}})};
    ::testing::TestPartResultArray failures;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        qwtest::runUiTable(t);
    }
    ASSERT_GE(failures.size(), 1);
    EXPECT_NE(std::string(failures.GetTestPartResult(0).message())
                  .find("echo later, row 0 (deliver pin 0 [00 00 80 3f] (int 1065353216, float 1)): the module's "
                        "echoes keep coming back (10002 sent, 1 held)"),
              std::string::npos)
        << failures.GetTestPartResult(0).message();
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    registerTests();
    return RUN_ALL_TESTS();
}
