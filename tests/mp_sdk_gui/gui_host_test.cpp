// User-interface objects of the test bundle through the real entry: the host
// stand-in creates them by identifier, delivers values as setPin then
// notifyPin, and records what they send.
#include "gui_fixture.h"
#include "mp_sdk_common.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

using qwtest::callSlot;

namespace
{
uint32_t bitsOf(float f)
{
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

float floatBits(uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// A fresh folder that is removed with the object.
struct TempFolder
{
    std::string path;
    TempFolder()
    {
        char name[] = "/tmp/qw-gui-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string write(const std::string& name, const std::string& content) const
    {
        const std::string p = path + "/" + name;
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
};
} // namespace

TEST_F(GuiProbeFixture, StartsWithHostPinValuesThenInitialize)
{
    make();
    EXPECT_EQ(g->setHostResult, 0);
    std::vector<std::string> expected;
    for (int pin = INT; pin <= COMMAND; ++pin)
        expected.push_back("notify " + std::to_string(pin) + " -1");
    expected.push_back("done 0");
    expected.push_back("notify 11 0");
    expected.push_back("init 14"); // twelve fixed pins and two copies of the last
    EXPECT_EQ(log(), expected);
    EXPECT_TRUE(g->transmits.empty()) << "the defaults equal what the pins held";
    EXPECT_TRUE(qwtest::checkGuiPins(*g).empty());
}

TEST_F(GuiProbeFixture, HostValueIsStoredWithoutRunningTheHandler)
{
    make();
    clear();
    const float v = 2.5f;
    EXPECT_EQ(g->setPinOnly(FLOAT, &v, 4), 0);
    EXPECT_TRUE(log().empty());
    EXPECT_TRUE(g->transmits.empty());

    EXPECT_EQ(g->notifyPin(FLOAT), 0);
    EXPECT_EQ(g->notifyPin(FLOAT), 0); // unchanged: the handler runs again
    EXPECT_EQ(log(), (std::vector<std::string>{"notify 1 -1", "notify 1 -1"}));
    ASSERT_EQ(g->transmits.size(), 1u) << "the mirror sends only the change";
    EXPECT_EQ(g->transmits[0].pin, FLOAT_OUT);
    EXPECT_EQ(g->transmits[0].asFloat(), 2.5f);

    EXPECT_EQ(g->setPinOnly(99, &v, 4), -1);
    EXPECT_EQ(g->notifyPin(99), -1);
}

TEST_F(GuiProbeFixture, OwnAssignmentOfTheStoredValueSendsNothing)
{
    make();
    clear();
    const float v = 4.0f;
    g->setPinOnly(FLOAT_OUT, &v, 4);
    g->setFloat(FLOAT, 4.0f); // the handler assigns 4 to Float Out, which holds 4
    EXPECT_TRUE(g->transmits.empty());
    g->setFloat(FLOAT, 5.0f);
    ASSERT_EQ(g->transmits.size(), 1u);
    EXPECT_EQ(g->transmits[0].asFloat(), 5.0f);
}

TEST_F(GuiProbeFixture, NaNIsAlwaysSentAndNegativeZeroEqualsZero)
{
    make();
    clear();
    const float nan = floatBits(0x7fc00000);
    struct Row
    {
        float host;
        bool sent;
    };
    const Row rows[] = {{-0.0f, false}, {nan, true}, {nan, true}, {1.0f, true}, {-0.0f, true}, {0.0f, false}};
    std::vector<uint32_t> expected;
    for (auto& r : rows)
    {
        g->setFloat(FLOAT, r.host);
        if (r.sent)
            expected.push_back(bitsOf(r.host));
    }
    std::vector<uint32_t> sent;
    for (auto* t : g->transmitsOf(FLOAT_OUT))
        sent.push_back(bitsOf(t->asFloat()));
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(log().size(), 6u) << "every host value runs the handler";
}

TEST_F(GuiProbeFixture, EveryTypeIsSentWithItsRawBytes)
{
    make();
    clear();
    const int32_t two = 2, zero = 0;
    g->setInt(INT, 7);
    g->setBool(BOOL, true);
    g->set(BOOL, &two, 4);  // four bytes: true, the mirror holds true already
    g->set(BOOL, &zero, 4); // four bytes: false
    g->setText(TEXT, L"\u00e9\u20ac");
    g->setText(TEXT, L"");
    g->setBlob(BLOB, {1, 2, 3});

    struct Row
    {
        int pin;
        std::vector<uint8_t> bytes;
    };
    const wchar_t text[] = L"\u00e9\u20ac";
    std::vector<uint8_t> textBytes(8);
    std::memcpy(textBytes.data(), text, 8);
    const std::vector<Row> expected = {
        {INT_OUT, {7, 0, 0, 0}}, {BOOL_OUT, {1}}, {BOOL_OUT, {0}},
        {TEXT_OUT, textBytes},   {TEXT_OUT, {}},  {BLOB_OUT, {1, 2, 3}},
    };
    ASSERT_EQ(g->transmits.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k)
    {
        EXPECT_EQ(g->transmits[k].pin, expected[k].pin) << k;
        EXPECT_EQ(g->transmits[k].data, expected[k].bytes) << k;
        EXPECT_EQ(g->transmits[k].voice, 0) << k;
    }
}

TEST_F(GuiProbeFixture, IndexedHandlerGetsTheVoice)
{
    make();
    clear();
    g->setInt(VOICE, 5, 3);
    g->setFloat(FLOAT, 1.0f, 2);
    EXPECT_EQ(log(), (std::vector<std::string>{"notify 11 3", "notify 1 -1"}));
    ASSERT_EQ(g->transmits.size(), 1u);
    EXPECT_EQ(g->transmits[0].voice, 0) << "a module's own assignment goes out on voice 0";
}

TEST_F(GuiProbeFixture, TextPinsCrossAsUtf8)
{
    make();
    struct FromUtf8
    {
        std::string bytes;
        std::wstring text;
    };
    const FromUtf8 in[] = {
        {"plain", L"plain"},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", L"\u00e9\u20ac\U0001F600"},
        {"a\xFF"
         "b\xC3",
         L"a\uFFFDb\uFFFD"},
        {"\xC0\xAF", L"\uFFFD\uFFFD"}, // overlong
    };
    for (auto& r : in)
    {
        g->setBlob(BLOB, bytes(r.bytes));
        command(TEXT_FROM_UTF8);
        ASSERT_NE(g->lastTransmit(TEXT_OUT), nullptr);
        EXPECT_EQ(g->lastTransmit(TEXT_OUT)->asText(), r.text) << r.bytes;
    }

    std::wstring bad = L"a";
    bad += static_cast<wchar_t>(0xDC00);
    bad += static_cast<wchar_t>(0x110000);
    struct ToUtf8
    {
        std::wstring text;
        std::string bytes;
    };
    const ToUtf8 out[] = {
        {L"\u00e9\U0001F600", "\xC3\xA9\xF0\x9F\x98\x80"},
        {bad, "a\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (auto& r : out)
    {
        g->setText(TEXT, r.text);
        command(TEXT_TO_UTF8);
        ASSERT_NE(g->lastTransmit(BLOB_OUT), nullptr);
        EXPECT_EQ(g->lastTransmit(BLOB_OUT)->data, bytes(r.bytes));
    }
}

TEST_F(GuiProbeFixture, PinsMadeFromTheHostsPinCount)
{
    for (int copies : {0, 1, 4})
    {
        host.autoDuplicateCount = copies;
        make();
        EXPECT_TRUE(qwtest::checkGuiPins(*g).empty()) << copies << " copies";
        command(PIN_COUNT);
        const int count = 12 + copies;
        ASSERT_NE(g->lastTransmit(INT_OUT), nullptr);
        EXPECT_EQ(g->lastTransmit(INT_OUT)->asInt(), count);
        const int32_t v = 1;
        EXPECT_EQ(g->setPinOnly(count - 1, &v, 4), 0);
        EXPECT_EQ(g->setPinOnly(count, &v, 4), -1);
    }

    // A host without the first-generation interface gives no count: no copies.
    host.autoDuplicateCount = 2;
    host.offerLegacyHost = false;
    make();
    command(PIN_COUNT);
    EXPECT_EQ(g->lastTransmit(INT_OUT)->asInt(), -1);
    const int32_t v = 1;
    EXPECT_EQ(g->setPinOnly(EXTRA, &v, 4), -1);
}

TEST_F(GuiProbeFixture, ResourcesAndFileNames)
{
    TempFolder dir, other;
    dir.write("skin.txt", "hello");
    dir.write("\xC3\xA9t\xC3\xA9.txt", "summer");
    const std::string global = other.write("global.txt", "style");
    host.resourceFolder = dir.path;
    host.addResource("global", "Test", global);
    make();

    const std::wstring folder = gmpi_sdk::fromUtf8(dir.path);
    struct Row
    {
        int command;
        std::wstring text;
        std::wstring out;
    };
    const Row rows[] = {
        {RESOLVE, L"a.wav", folder + L"/a.wav"},
        {RESOLVE, L"", folder},
        {RESOLVE, L"/abs/b.wav", L"/abs/b.wav"},
        {RESOLVE, L"\u00e9 \u20ac.wav", folder + L"/\u00e9 \u20ac.wav"},
        {FIND, L"skin.txt", folder + L"/skin.txt"},
        {FIND, L"global", gmpi_sdk::fromUtf8(global)},
        {FIND, L"missing.txt", L""},
        {REGISTER, L"x.png", folder + L"/x.png"},
    };
    for (auto& r : rows)
    {
        g->setText(TEXT, r.text);
        command(r.command);
        ASSERT_NE(g->lastTransmit(TEXT_OUT), nullptr);
        EXPECT_EQ(g->lastTransmit(TEXT_OUT)->asText(), r.out) << gmpi_sdk::toUtf8(r.text);
    }
    EXPECT_EQ(g->registeredResources, (std::vector<std::pair<std::string, std::string>>{{"x.png", "Test"}}));

    struct Open
    {
        std::wstring name;
        int size;
        std::string content;
    };
    const Open opens[] = {{L"skin.txt", 5, "hello"}, {L"\u00e9t\u00e9.txt", 6, "summer"}, {L"missing.txt", -1, ""}};
    for (auto& o : opens)
    {
        g->setText(TEXT, o.name);
        command(OPEN);
        ASSERT_NE(g->lastTransmit(INT_OUT), nullptr);
        EXPECT_EQ(g->lastTransmit(INT_OUT)->asInt(), o.size) << gmpi_sdk::toUtf8(o.name);
        if (o.size >= 0)
        {
            EXPECT_EQ(g->lastTransmit(BLOB_OUT)->data, bytes(o.content));
        }
    }
}

TEST_F(GuiProbeFixture, EchoInsideLaterOrNot)
{
    struct Row
    {
        qwhost::Echo echo;
        std::vector<std::string> atOnce;
        size_t pending;
    };
    const Row rows[] = {
        {qwhost::Echo::Inside, {"notify 1 -1", "notify 6 -1"}, 0},
        {qwhost::Echo::Later, {"notify 1 -1"}, 1},
        {qwhost::Echo::None, {"notify 1 -1"}, 0},
    };
    for (auto& r : rows)
    {
        host.echo = r.echo;
        make();
        clear();
        g->setFloat(FLOAT, 2.0f);
        EXPECT_EQ(log(), r.atOnce);
        EXPECT_EQ(g->pendingEchoes(), r.pending);
        g->messagesToAudio.clear();
        g->deliverEchoes();
        EXPECT_EQ(log().size(), r.pending);
        EXPECT_EQ(g->transmits.size(), 1u) << "the echo of an equal value is not sent again";
    }
}

TEST_F(GuiProbeFixture, PinTransmitStoresNothing)
{
    make();
    clear();
    const float v = 7.0f;
    g->setPinOnly(FLOAT, &v, 4);
    command(TRANSMIT_RAW);
    ASSERT_EQ(g->transmits.size(), 1u);
    EXPECT_EQ(g->transmits[0].pin, FLOAT_OUT);
    EXPECT_EQ(g->transmits[0].voice, 3);
    EXPECT_EQ(g->transmits[0].asFloat(), 7.0f);
    g->notifyPin(FLOAT); // the mirror assigns 7: Float Out still holds 0, so it is sent
    ASSERT_EQ(g->transmits.size(), 2u);
    EXPECT_EQ(g->transmits[1].voice, 0);
}

TEST_F(GuiProbeFixture, SlotsAHostCalls)
{
    make();
    clear();
    void* object = g->object();
    const float v = 3.0f;
    EXPECT_EQ(callSlot<int32_t>(object, 13, 5, 4, static_cast<const void*>(&v), 2), 0);
    ASSERT_EQ(g->transmits.size(), 1u);
    EXPECT_EQ(g->transmits[0].pin, 5);
    EXPECT_EQ(g->transmits[0].voice, 2);

    EXPECT_EQ(callSlot<int32_t>(object, 5, 1, 0, 4, static_cast<const void*>(&v)), 0);
    EXPECT_TRUE(log().empty());
    EXPECT_EQ(callSlot<int32_t>(object, 10, 1, 0), 0);
    EXPECT_EQ(callSlot<int32_t>(object, 4), 0);
    const char data[8] = {};
    EXPECT_EQ(callSlot<int32_t>(object, 6, 5, 8, static_cast<const void*>(data)), 0);
    EXPECT_EQ(log(), (std::vector<std::string>{"notify 1 -1", "init 14", "message 5 8"}));

    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(callSlot<int32_t>(object, 0, &gmpi::MP_IID_GUI_PLUGIN, &out), -2);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(callSlot<int32_t>(object, 0, &gmpi::MP_IID_GUI_PLUGIN2B, &out), 0);
    EXPECT_EQ(out, object);
    EXPECT_EQ(callSlot<int32_t>(object, 2), 2) << "the stand-in's two references are left";

    // What a module does not handle answers -1.
    auto pair = host.create(qwtest::bundle("testkit"), L"QW_TestPair");
    void* p = pair->object();
    EXPECT_EQ(callSlot<int32_t>(p, 6, 1, 0, static_cast<const void*>(nullptr)), -1);
    EXPECT_EQ(callSlot<int32_t>(p, 7, 0.0f, 0.0f, static_cast<gmpi::IMpUnknown*>(nullptr)), -1);
    EXPECT_EQ(callSlot<int32_t>(p, 8, 1), -1);
    EXPECT_EQ(callSlot<int32_t>(p, 9, 0.0f, 0.0f, static_cast<gmpi::IMpUnknown*>(nullptr)), -1);
}

TEST_F(GuiProbeFixture, WithoutTheCurrentHostNothingIsUsed)
{
    host.offerHost2 = false;
    make();
    EXPECT_EQ(g->setHostResult, -2);
    g->setFloat(FLOAT, 3.0f);
    for (int c : {TEXT_FROM_UTF8, RESOLVE, FIND, REGISTER, OPEN, PIN_COUNT, TRANSMIT_RAW, MESSAGE})
        command(c);
    EXPECT_TRUE(g->transmits.empty());
    EXPECT_TRUE(g->messagesToAudio.empty());
    EXPECT_TRUE(g->registeredResources.empty());
    const float v = 1.0f;
    EXPECT_EQ(callSlot<int32_t>(g->object(), 13, 1, 4, static_cast<const void*>(&v), 0), -1);
    g.reset();
    EXPECT_EQ(host.leakedHostReferences, 0);
}

TEST_F(GuiProbeFixture, FirstGenerationObject)
{
    make(true, L"QW_TestGuiLegacy");
    ASSERT_EQ(g->ui(), nullptr);
    ASSERT_NE(g->legacyUi(), nullptr);
    EXPECT_TRUE(qwtest::checkGuiPins(*g).empty());
    clear();
    g->setFloat(0, 1.5f);
    g->setInt(2, 9, 4);
    EXPECT_EQ(g->notifyPin(4), 0) << "a pin without handler";
    ASSERT_EQ(g->transmits.size(), 2u);
    EXPECT_EQ(g->transmits[0].pin, 1);
    EXPECT_EQ(g->transmits[0].asFloat(), 3.0f);
    EXPECT_EQ(g->transmits[1].pin, 3);
    EXPECT_EQ(g->transmits[1].asInt(), 4) << "the indexed handler got voice 4";

    void* object = g->object();
    const int32_t v = 11;
    EXPECT_EQ(callSlot<int32_t>(object, 12, 3, 4, static_cast<const void*>(&v), 1), 0);
    EXPECT_EQ(g->transmits.back().asInt(), 11);
    EXPECT_EQ(g->transmits.back().voice, 1);
    EXPECT_EQ(callSlot<int32_t>(object, 5, 4, 0), 0);
    EXPECT_EQ(callSlot<int32_t>(object, 5, 99, 0), -1);
    void* out = nullptr;
    EXPECT_EQ(callSlot<int32_t>(object, 0, &gmpi::MP_IID_GUI_PLUGIN, &out), 0);
    EXPECT_EQ(out, object);
    callSlot<int32_t>(object, 2);
    EXPECT_EQ(callSlot<int32_t>(object, 0, &gmpi::MP_IID_GUI_PLUGIN2, &out), -2);
    g.reset();
    EXPECT_EQ(host.leakedHostReferences, 0);

    // Refused by a host without its interface: the factory answers -1.
    host.offerLegacyHost = false;
    try
    {
        make(true, L"QW_TestGuiLegacy");
        ADD_FAILURE() << "created without its host interface";
    }
    catch (const qwhost::Error& e)
    {
        EXPECT_NE(std::string(e.what()).find("code -1"), std::string::npos) << e.what();
    }
}

TEST_F(GuiProbeFixture, FurtherHostInterfacesComeFromThePreparation)
{
    struct Counted : gmpi::IMpUnknown
    {
        int refs = 1;
        int32_t queryInterface(const gmpi::MpGuid&, void** out) override
        {
            *out = nullptr;
            return gmpi::MP_NOSUPPORT;
        }
        int32_t addRef() override { return ++refs; }
        int32_t release() override { return --refs; }
    } graphics;
    host.prepare = [&graphics](qwhost::GuiModule& m) { m.answer(gmpi::MP_IID_GRAPHICS_HOST, &graphics); };
    make();
    void* out = nullptr;
    EXPECT_EQ(g->queryInterface(gmpi::MP_IID_GRAPHICS_HOST, &out), 0);
    EXPECT_EQ(out, &graphics);
    EXPECT_EQ(graphics.refs, 3);
    graphics.release();
    EXPECT_EQ(g->queryInterface(gmpi::MP_IID_GRAPHICS_HOST_BASE, &out), -2);
    EXPECT_EQ(out, nullptr);
    g.reset();
    EXPECT_EQ(graphics.refs, 1);
}
