// Splitters and check valves: what each host delivery makes the module send.
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <climits>

namespace
{
using namespace qwtest;

constexpr int kMode = 0, kLink = 1, kCommon = 2;

UiSends toPins(const std::vector<int>& pins, const Bytes& v)
{
    UiSends s;
    for (int p : pins)
        s.push_back({p, v});
    return s;
}

TEST(Splitter, WithoutAutoDuplicatedValuesACommonChangeGoesNowhere)
{
    UiTable t{L"QW_SplitterFloat"};
    t.start = false;
    t.rows = {
        deliver(kMode, i32(1)),
        deliver(kCommon, f32(0.5f)),
        deliver(kMode, i32(2)),
        deliver(kCommon, f32(0.25f)),
    };
    runUiTable(t);
}

TEST(Splitter, AFirstValueOnPinSevenRoutesPinsThreeToSevenInOrder)
{
    UiTable t{L"QW_SplitterFloat"};
    t.start = false;
    t.rows = {
        deliver(kMode, i32(1)).returns(0),
        deliver(kLink, b8(false)).returns(0),
        deliver(7, f32(0.5f)).returns(-1).because("routed although no pin is registered for it"),
        deliver(kCommon, f32(0.25f), toPins({3, 4, 5, 6, 7}, f32(0.25f))).returns(0),
        deliver(kCommon, f32(0.25f), toPins({3, 4, 5, 6, 7}, f32(0.25f))).because("equal values are sent again"),
    };
    runUiTable(t);
}

// Mode x link x source, three auto-duplicated values (pins 3, 4, 5) known.
// A value on pin 4 goes to the common pin in modes 0 and 2, to its siblings
// with link on; a common value goes to all three in modes 1 and 2. The same
// under every echo: the splitter's own values coming back are not routed
// again, so one value from outside settles after one send per pin at most.
TEST(Splitter, ModeLinkAndSourceTable)
{
    struct Case
    {
        int mode;
        bool link;
        std::vector<int> fromValue, fromCommon;
    };
    const Case cases[] = {
        {0, false, {2}, {}},          {0, true, {2, 3, 5}, {}},   {1, false, {}, {3, 4, 5}},
        {1, true, {3, 5}, {3, 4, 5}}, {2, false, {2}, {3, 4, 5}}, {2, true, {2, 3, 5}, {3, 4, 5}},
        {5, false, {}, {}},           {5, true, {3, 5}, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + (c.link ? ", link on" : ", link off"));
        const Bytes v = f32(0.75f), w = f32(-2.0f);
        UiTable t{L"QW_SplitterFloat"};
        t.start = false;
        t.rows = {
            deliver(kMode, i32(5)),
            deliver(5, f32(0.0f)).because("three values known, nothing routed"),
            deliver(kMode, i32(c.mode)),
            deliver(kLink, b8(c.link)),
            deliver(4, v, toPins(c.fromValue, v)),
            deliver(kCommon, w, toPins(c.fromCommon, w)),
        };
        runUiTable(t);
    }
}

TEST(Splitter, PassesEveryValueTypeOnAsDelivered)
{
    const Bytes blob = {1, 2, 3, 4, 5, 6, 7};
    const struct
    {
        const wchar_t* id;
        Bytes value;
    } types[] = {
        {L"QW_SplitterInt", i32(-7)}, {L"QW_SplitterFloat", f32(-0.0f)}, {L"QW_SplitterText", text(L"d\u00e9j\u00e0")},
        {L"QW_SplitterText", {}},     {L"QW_SplitterBool", b8(true)},    {L"QW_SplitterBool", i32(256)},
        {L"QW_SplitterBlob", blob},
    };
    for (auto& ty : types)
    {
        UiTable t{ty.id};
        t.start = false;
        t.rows = {
            deliver(kMode, i32(2)),
            deliver(4, ty.value, {{kCommon, ty.value}}),
        };
        runUiTable(t);
    }
}

// Ids outside 0-4095 are not auto-duplicated values: they neither route nor
// grow the routed set.
TEST(Splitter, IgnoresValuesForPinIdsOutsideTheRange)
{
    UiTable t{L"QW_SplitterInt"};
    t.start = false;
    t.rows = {
        deliver(kMode, i32(2)),
        deliver(kLink, b8(true)),
        deliver(3, i32(1), {{kCommon, i32(1)}}),
        deliver(-5, i32(2)).returns(-1),
        deliver(4096, i32(3)).returns(-1),
        deliver(INT_MAX, i32(4)).returns(-1),
        deliver(kCommon, i32(5), {{3, i32(5)}}),
    };
    runUiTable(t);

    // 4095 is the highest id taken.
    qwhost::GuiHost host;
    auto g = host.create(bundle("panelkit"), L"QW_SplitterInt", false);
    g->setInt(kMode, 1);
    g->setInt(4095, 6);
    g->setInt(INT_MAX, 6);
    g->setInt(kCommon, 9);
    ASSERT_EQ(g->transmits.size(), 4093u);
    EXPECT_EQ(g->transmits.front().pin, 3);
    EXPECT_EQ(g->transmits.back().pin, 4095);
}

// A value that reaches an auto-duplicated pin while the splitter sends (a
// connected module answering at once) only makes that pin known.
TEST(Splitter, AValueArrivingDuringItsOwnSendsOnlyGrowsTheCount)
{
    qwhost::GuiHost host;
    auto g = host.create(bundle("panelkit"), L"QW_SplitterFloat", false);
    g->setInt(kMode, 2);
    g->setBool(kLink, true);
    g->setFloat(3, 0.0f);
    g->transmits.clear();
    bool answered = false;
    g->onTransmit = [&](const qwhost::GuiValue& v) {
        if (v.pin == 3 && !answered)
        {
            answered = true;
            g->setFloat(6, 0.9f);
        }
    };
    g->setFloat(kCommon, 0.5f);
    ASSERT_EQ(g->transmits.size(), 1u);
    EXPECT_EQ(g->transmits[0].pin, 3);
    EXPECT_EQ(g->transmits[0].asFloat(), 0.5f);

    g->transmits.clear();
    g->setFloat(kCommon, 0.25f);
    std::vector<int> pins;
    for (auto& v : g->transmits)
        pins.push_back(v.pin);
    EXPECT_EQ(pins, (std::vector<int>{3, 4, 5, 6}));
}

constexpr int kDirection = 0, kIn = 1, kOut = 2;

TEST(CheckValve, PassesChangesOneWayOnly)
{
    UiTable t{L"QW_CheckValveFloat"};
    t.rows = {
        deliver(kIn, f32(0.5f), {{kOut, f32(0.5f)}}),
        deliver(kIn, f32(0.5f)).because("Out holds it already"),
        deliver(kOut, f32(0.75f)).because("direction 0 copies nothing back"),
        deliver(kIn, f32(0.75f)).because("the outside value on Out equals it"),
        deliver(kDirection, i32(1)).because("a direction change copies nothing"),
        deliver(kOut, f32(0.8f), {{kIn, f32(0.8f)}}),
        deliver(kIn, f32(0.1f)).because("direction 1 copies nothing forward"),
        deliver(kOut, f32(0.8f), {{kIn, f32(0.8f)}}).because("In was changed from outside"),
        deliver(kDirection, i32(2)),
        deliver(kIn, f32(0.3f)),
        deliver(kOut, f32(0.4f)),
        deliver(kDirection, i32(-1)),
        deliver(kIn, f32(0.2f)),
        deliver(kOut, f32(0.6f)),
        deliver(kDirection, i32(0)),
        deliver(kIn, f32(0.2f), {{kOut, f32(0.2f)}}),
    };
    runUiTable(t);
}

TEST(CheckValve, TextAndBlobPassWhole)
{
    UiTable t{L"QW_CheckValveText"};
    t.rows = {
        deliver(kIn, text(L"abc"), {{kOut, text(L"abc")}}),
        deliver(kIn, text(L""), {{kOut, {}}}),
    };
    runUiTable(t);
    UiTable b{L"QW_CheckValveBlob"};
    b.rows = {
        deliver(kDirection, i32(1)),
        deliver(kOut, Bytes{9, 8, 7}, {{kIn, Bytes{9, 8, 7}}}),
        deliver(kOut, Bytes{9, 8, 7}),
        deliver(kOut, Bytes{9, 8}, {{kIn, Bytes{9, 8}}}),
    };
    runUiTable(b);
}
} // namespace
