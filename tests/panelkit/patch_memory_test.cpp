// Patch memory through the built bundle, for both identifiers of every type:
// the processing half passes the parameter on at its sample and only when it
// changes; the interface halves copy between the parameter's pins and the
// plain ones in the directions of each class, with one guarded pair, under
// every echo of the host; texts and blobs of 1 MB.
#include "bridges_fixture.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace
{
using namespace bridgetest;
using qwtest::b8;
using qwtest::Bytes;
using qwtest::deliver;
using qwtest::f32;
using qwtest::i32;
using qwtest::text;

// Two different values of a type, as the host carries them, and the empty one.
struct Type
{
    const wchar_t* head;
    Bytes a, b, empty;
};

const Type kTypes[] = {
    {L"QW_PM_INT", i32(5), i32(-3), i32(0)},
    {L"QW_PM_FLOAT", f32(0.25f), f32(-1e30f), f32(0.0f)},
    {L"QW_PM_BOOL", b8(true), b8(false), b8(false)},
    {L"QW_PM_TEXT", text(L"cutoff"), text(L"r\u00e9sonance \u00e0 100%"), {}},
    {L"QW_PM_BLOB", Bytes{1, 2, 3}, Bytes{1, 2, 3, 0}, {}},
    {L"QW_PM_LIST", i32(3), i32(7), i32(0)},
};

struct Module
{
    std::wstring id;
    const Type* type;
};

// Both identifiers of every type.
std::vector<Module> modules()
{
    std::vector<Module> m;
    for (const Type& t : kTypes)
        for (const wchar_t* tail : {L"_NAC", L"_NAC_VOL"})
            m.push_back({std::wstring(t.head) + tail, &t});
    return m;
}

std::string nameOf(const ::testing::TestParamInfo<Module>& info)
{
    std::string s;
    for (wchar_t c : info.param.id.substr(6))
        s += c == L'_' ? '_' : static_cast<char>(c);
    return s;
}

std::vector<std::pair<int64_t, Bytes>> sent(const DspRun& r)
{
    std::vector<std::pair<int64_t, Bytes>> out;
    for (auto& u : r.updates(r.processor().pinInfo(1).name))
        out.emplace_back(u.time, u.bytes);
    return out;
}

class PatchMemory : public ::testing::TestWithParam<Module>
{};

// ---------------------------------------------------------------------------
// Processing halves: Parameter Value 0, output 1.

TEST_P(PatchMemory, ProcessingHalfSendsANewValueAtItsSampleAndAnEqualOneNever)
{
    const Module m = GetParam();
    std::vector<std::pair<int64_t, Bytes>> first;
    for (int block : kBlocks)
    {
        auto r = runOf(
            m.id, block,
            [&](DspRun& d) {
                d.setRaw("Parameter Value", m.type->a, 37);
                d.setRaw("Parameter Value", m.type->a, 300);
                d.setRaw("Parameter Value", m.type->b, 1001);
                d.setRaw("Parameter Value", m.type->b, 1001);
            },
            1500);
        const auto s = sent(*r);
        // Graph start sends the initial value (0, false or empty).
        const std::vector<std::pair<int64_t, Bytes>> expected{{0, m.type->empty}, {37, m.type->a}, {1001, m.type->b}};
        EXPECT_EQ(s, expected) << "blocks of " << block;
        // Stamped at the event's own block position.
        for (auto& u : r->processor().updates)
            EXPECT_EQ(u.position, u.time % block) << "blocks of " << block;
    }
}

TEST_P(PatchMemory, HalvesAreDescribedAsTheyAreBuilt)
{
    qwhost::ProcessingHost ph;
    auto p = ph.create(qwtest::bundle("panelkit"), GetParam().id);
    EXPECT_TRUE(qwtest::checkPins(*p).empty());
    qwhost::GuiHost gh;
    auto g = gh.create(qwtest::bundle("panelkit"), GetParam().id);
    EXPECT_TRUE(qwtest::checkGuiPins(*g).empty());
    // The value is what the host carries between the halves.
    EXPECT_TRUE(p->pinInfo(0).parameter);
    EXPECT_TRUE(g->pinInfo(g->pin(p->pinInfo(0).name)).parameter);
}

TEST(PatchMemoryList, AChoiceGoesOutAsAnEnumerationValue)
{
    for (const wchar_t* id : {L"QW_PM_LIST_NAC", L"QW_PM_LIST_NAC_VOL"})
    {
        DspRun r(id, 64);
        r.set("Parameter Value", 3, 10);
        r.run(100);
        // Described and built as an enumeration output (checkPins compares the datatypes).
        EXPECT_EQ(r.processor().pinInfo(1).datatype, gmpi::MP_ENUM);
        EXPECT_TRUE(qwtest::checkPins(r.processor()).empty());
        EXPECT_EQ(r.updates("Choice").back(), (Update{10, 3.0, i32(3)}));
    }
}

// A megabyte of text or blob passes whole; an equal one sends nothing; a
// value no larger than the largest so far takes no memory inside process.
TEST(PatchMemoryLarge, TextsAndBlobsOf1MBPassWhole)
{
    const std::wstring big(262144, L'\u20ac');
    Bytes bigBlob(1 << 20);
    for (size_t i = 0; i < bigBlob.size(); ++i)
        bigBlob[i] = static_cast<uint8_t>(i * 7);
    const std::pair<const wchar_t*, Bytes> cases[] = {{L"QW_PM_TEXT_NAC", text(big)}, {L"QW_PM_BLOB_NAC_VOL", bigBlob}};
    for (auto& [id, value] : cases)
    {
        DspRun r(id, 256);
        r.setRaw("Parameter Value", value, 10).setRaw("Parameter Value", value, 300);
        r.run(512);
        ASSERT_EQ(sent(r).size(), 2u);
        EXPECT_EQ(sent(r).back(), (std::pair<int64_t, Bytes>{10, value}));
        Bytes smaller(value.begin(), value.begin() + 4000);
        r.setRaw("Parameter Value", smaller, 600);
        r.run(1024);
        EXPECT_EQ(sent(r).back(), (std::pair<int64_t, Bytes>{600, smaller}));
        EXPECT_EQ(r.processor().allocationsInLastProcess(), 0);

        qwtest::UiTable t{id};
        t.rows = {
            deliver(3, value, {{1, value}}),
            deliver(1, smaller, {{3, smaller}}),
        };
        qwtest::runUiTable(t);
    }
}

// ---------------------------------------------------------------------------
// Interface halves, one table per class.

// Int, float and bool: 0 parameter name, 1 parameter value, 2 parameter
// position, 3 parameter menu items, 4 parameter menu selection, 5 parameter
// mouse down; 6 name, 7 value, 8 animation position, 9 menu items, 10 menu
// selection, 11 mouse down.
qwtest::UiTable scalarTable(const Module& m)
{
    const Bytes& a = m.type->a;
    const Bytes& b = m.type->b;
    qwtest::UiTable t{m.id};
    t.rows = {
        deliver(0, text(L"Cutoff"), {{6, text(L"Cutoff")}}),
        deliver(6, text(L"Gain"), {{0, text(L"Gain")}}),
        deliver(1, a, {{7, a}}),
        deliver(1, a).because("unchanged: nothing to send"),
        deliver(7, b, {{1, b}}),
        deliver(2, f32(0.5f), {{8, f32(0.5f)}}),
        deliver(8, f32(0.25f), {{2, f32(0.25f)}}),
        deliver(2, f32(0.25f)).because("the parameter holds what the plain side wrote"),
        deliver(2, f32(0.75f), {{8, f32(0.75f)}}),
        deliver(3, text(L"Low,High"), {{9, text(L"Low,High")}}),
        deliver(9, text(L"x")).because("menu items go from the parameter only"),
        deliver(3, text(L"Low,High"), {{9, text(L"Low,High")}}).because("9 holds what the host put there"),
        deliver(10, i32(2), {{4, i32(2)}}),
        deliver(4, i32(7)).because("the parameter's selection goes nowhere"),
        deliver(10, i32(2), {{4, i32(2)}}),
        deliver(11, b8(true), {{5, b8(true)}}),
        deliver(5, b8(false)).because("the parameter's mouse state goes nowhere"),
        deliver(11, b8(true), {{5, b8(true)}}),
    };
    return t;
}

// Text and blob: 0 parameter name, 1 parameter value, 2 name, 3 value.
qwtest::UiTable valueTable(const Module& m)
{
    const Bytes& a = m.type->a;
    const Bytes& b = m.type->b;
    qwtest::UiTable t{m.id};
    t.rows = {
        deliver(0, text(L"Preset"), {{2, text(L"Preset")}}),
        deliver(2, text(L"Patch"), {{0, text(L"Patch")}}),
        deliver(1, a, {{3, a}}),
        deliver(3, b, {{1, b}}),
        deliver(1, b).because("equal to the value pin's: nothing to send"),
        deliver(3, {}, {{1, {}}}),
        deliver(1, a, {{3, a}}),
    };
    return t;
}

// List: 0 parameter name, 1 parameter choice, 2 parameter item list, 3 item
// list, 4 name, 5 choice, 6 item list out.
qwtest::UiTable listTable(const Module& m)
{
    const Bytes items = text(L"Sine,Saw,Square");
    qwtest::UiTable t{m.id};
    t.rows = {
        deliver(0, text(L"Wave"), {{4, text(L"Wave")}}),
        deliver(4, text(L"Shape"), {{0, text(L"Shape")}}),
        deliver(1, i32(3), {{5, i32(3)}}),
        deliver(5, i32(2), {{1, i32(2)}}),
        deliver(3, items, {{2, items}}).because("to the parameter; writing it does not reach the output"),
        deliver(6, text(L"x")).because("the output has no handler"),
        deliver(2, items, {{6, items}}).because("the host's notification of the parameter's list"),
        deliver(2, text(L"A,B"), {{6, text(L"A,B")}}),
        deliver(3, items, {{2, items}}),
    };
    return t;
}

TEST_P(PatchMemory, InterfaceHalfCopiesInTheDirectionsOfItsClass)
{
    const Module m = GetParam();
    const std::wstring head = m.type->head;
    if (head == L"QW_PM_TEXT" || head == L"QW_PM_BLOB")
        qwtest::runUiTable(valueTable(m));
    else if (head == L"QW_PM_LIST")
        qwtest::runUiTable(listTable(m));
    else
        qwtest::runUiTable(scalarTable(m));
}

INSTANTIATE_TEST_SUITE_P(Types, PatchMemory, ::testing::ValuesIn(modules()), nameOf);

// While the plain side writes the parameter, a different value that the host
// hands the parameter pin (the parameter rounds it, say) is not copied back;
// once the write is over, a value there is copied as usual.
TEST(PatchMemoryGuard, AValueOnTheParameterDuringThePlainSidesWriteIsNotCopiedBack)
{
    struct Case
    {
        const wchar_t* id;
        int plain, param;
        Bytes written, rounded, later;
    };
    const Case cases[] = {
        {L"QW_PM_INT_NAC", 8, 2, f32(0.25f), f32(0.2f), f32(0.5f)},
        {L"QW_PM_FLOAT_NAC_VOL", 8, 2, f32(0.25f), f32(0.2f), f32(0.5f)},
        {L"QW_PM_BOOL_NAC", 8, 2, f32(1.0f), f32(0.0f), f32(0.5f)},
        {L"QW_PM_TEXT_NAC_VOL", 3, 1, text(L"abc"), text(L"ABC"), text(L"def")},
        {L"QW_PM_BLOB_NAC", 3, 1, Bytes{9, 9}, Bytes{9}, Bytes{1}},
        {L"QW_PM_LIST_NAC_VOL", 5, 1, i32(4), i32(3), i32(1)},
    };
    for (const Case& c : cases)
        for (auto echo : qwtest::kEchoModes)
        {
            const std::string what = std::string(qwtest::echoName(echo)) + " " + std::to_string(c.plain);
            qwhost::GuiHost host;
            host.echo = echo;
            auto g = host.create(qwtest::bundle("panelkit"), c.id, false);
            bool rounded = false;
            g->onTransmit = [&](const qwhost::GuiValue& v) {
                if (v.pin == c.param && !rounded)
                {
                    rounded = true;
                    g->set(c.param, c.rounded.data(), static_cast<int>(c.rounded.size()));
                }
            };
            g->set(c.plain, c.written.data(), static_cast<int>(c.written.size()));
            ASSERT_TRUE(g->settleEchoes());
            ASSERT_TRUE(rounded) << what;
            ASSERT_EQ(g->transmits.size(), 1u) << what;
            EXPECT_EQ(g->transmits[0].pin, c.param) << what;
            EXPECT_EQ(g->transmits[0].data, c.written) << what;

            g->set(c.param, c.later.data(), static_cast<int>(c.later.size()));
            ASSERT_TRUE(g->settleEchoes());
            ASSERT_EQ(g->transmits.size(), 2u) << what;
            EXPECT_EQ(g->transmits[1].pin, c.plain) << what;
            EXPECT_EQ(g->transmits[1].data, c.later) << what;
        }
}

// A NaN passes on every notification and does not come back.
TEST(PatchMemoryFloat, ANaNPassesEachTimeWithoutBouncing)
{
    const Bytes nan = f32(std::numeric_limits<float>::quiet_NaN());
    qwtest::UiTable t{L"QW_PM_FLOAT_NAC"};
    t.rows = {
        deliver(7, nan, {{1, nan}}),
        deliver(7, nan, {{1, nan}}).because("a NaN never equals what the pin holds"),
        deliver(8, nan, {{2, nan}}),
        deliver(0, text(L"n"), {{6, text(L"n")}}),
        deliver(1, f32(1.0f), {{7, f32(1.0f)}}),
    };
    qwtest::runUiTable(t);
}
} // namespace
