// The shape links and the shape sync through the built bundle.
#include "shape_bytes.h"
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using namespace qwtest;
using qwhost::Echo;

UiTable shapekitTable(const wchar_t* id, bool start = true)
{
    UiTable t{id};
    t.bundle = "shapekit";
    t.start = start;
    return t;
}

TEST(ShapeYLink, LevelsOutAsValuesAndValuesInAsLevels)
{
    ShapeNodes five{{0, 0.2f}, {0.25f, -0.6f}, {0.5f, 1}, {0.75f, 0}, {1, -1}};
    auto shown = [](float y) { return f32((y + 1.f) * 0.5f); };
    UiTable t = shapekitTable(L"QW_GUI_ShapeYLink", false);
    auto with = [&](int node, float y) {
        ShapeNodes s = five;
        s[static_cast<size_t>(node)].second = y;
        five = s;
        return shapeBytes(s);
    };
    const Bytes moved1 = with(1, 1.f);
    const Bytes moved0 = with(0, 0.f);
    const Bytes low = with(0, -1.f);
    const Bytes high = with(0, 1.f);
    const Bytes last = with(4, 1.f);
    t.rows = {
        hostPinCount(4),
        deliver(0, shapeBytes({{0, 0.2f}, {0.25f, -0.6f}, {0.5f, 1}, {0.75f, 0}, {1, -1}}),
                {{1, shown(0.2f)}, {2, shown(-0.6f)}, {3, shown(1)}})
            .because("three float pins for five nodes"),
        deliver(2, f32(1.f), {{0, moved1}}).because("sent once; its echo, now or later, is ignored"),
        deliver(2, f32(1.f)).because("no change"),
        deliver(1, f32(0.5f), {{0, moved0}}),
        deliver(1, f32(-1.f), {{0, low}}),
        deliver(1, f32(2.f), {{0, high}}),
        deliver(1, f32(std::nanf(""))).because("no level"),
        deliver(-5, f32(0.f)).returns(-1),
        deliver(2147483647, f32(0.f)).returns(0),
        deliver(5, f32(1.f), {{0, last}}).because("a node past the float pins the host counted still moves"),
    };
    runUiTable(t);
}

TEST(ShapeLinks, WithoutTheOlderHostInterfaceBothStaySilent)
{
    for (const wchar_t* id : {L"QW_GUI_ShapeYLink", L"QW_GUI_ShapeXLink"})
    {
        UiTable t = shapekitTable(id, false);
        t.rows = {
            noOlderHost(),
            deliver(0, shapeBytes({{0, 0}, {0.25f, 0}, {0.5f, 0.5f}, {1, 0}})),
            deliver(1, f32(0.9f)),
            deliver(2, f32(0.1f)),
        };
        runUiTable(t);
    }
}

TEST(ShapeXLink, InnerNodePositionsBetweenTheirNeighbours)
{
    const float tiny = std::ldexp(1.f, -23);
    const float nearOne = std::nextafter(2.f, 0.f) - 1.f;
    const Bytes start = shapeBytes({{0, 0}, {0.25f, 0}, {1, 0}});
    const Bytes atTiny = shapeBytes({{0, 0}, {tiny, 0}, {1, 0}});
    const Bytes atHalf = shapeBytes({{0, 0}, {0.5f, 0}, {1, 0}});
    const Bytes atEnd = shapeBytes({{0, 0}, {nearOne, 0}, {1, 0}});
    UiTable t = shapekitTable(L"QW_GUI_ShapeXLink", false);
    t.rows = {
        hostPinCount(3),
        deliver(0, start, {{1, f32(0.25f)}}).because("one inner node, two float pins"),
        deliver(1, f32(0.f), {{0, atTiny}}).because("just above x = 0, never on it; the shape's echo runs nothing"),
        deliver(1, f32(0.5f), {{0, atHalf}}),
        deliver(1, f32(7.f), {{0, atEnd}}),
        deliver(0, start, {{1, f32(0.25f)}}).because("a shape from outside shows the position"),
        deliver(2, f32(0.5f)).because("past the inner nodes"),
        deliver(-5, f32(0.5f)).returns(-1),
        deliver(2147483647, f32(0.5f)).returns(0),
        deliver(1, f32(std::nanf(""))),
    };
    runUiTable(t);
}

TEST(ShapeXLink, RepeatedXInABlobShowsZeroAndMovesNothing)
{
    UiTable t = shapekitTable(L"QW_GUI_ShapeXLink", false);
    t.rows = {
        hostPinCount(3),
        deliver(0, shapeBytes({{0, 0}, {0.5f, 0}, {0.5f, 0}, {0.5f, 0}}), {{1, f32(1)}, {2, f32(0)}}),
        deliver(2, f32(0.5f)),
    };
    runUiTable(t);
}

// QW_GUI_SyncShapes pins.
constexpr int kA = 0, kB = 1, kLevelA = 2, kLevelB = 3, kALeads = 4, kBLeads = 5;

TEST(SyncShapes, BothFlagsOffIgnoresBothShapes)
{
    UiTable t = shapekitTable(L"QW_GUI_SyncShapes");
    t.rows = {
        deliver(kA, shapeBytes({{0, 0}, {0.5f, 1}, {1, 0}})),
        deliver(kB, shapeBytes({{0, 0.3f}, {1, 0.3f}})),
    };
    runUiTable(t);
}

TEST(SyncShapes, TheLeaderBringsTheFollowerToItsXLayout)
{
    struct Case
    {
        const char* what;
        Bytes lead, follow;
        float level;
        ShapeNodes result;
    };
    const Case cases[] = {
        {"gained nodes get the level",
         shapeBytes({{0, 0}, {0.5f, 1}, {1, 0}}),
         shapeBytes({{0, 0.3f}, {1, 0.3f}}),
         0,
         {{0, 0.3f}, {0.5f, 0}, {1, 0.3f}}},
        {"equal counts take the leader's x and keep the follower's y",
         shapeBytes({{0, 0}, {0.3f, 1}, {1, 0}}),
         shapeBytes({{0, 0.5f}, {0.6f, -0.5f}, {1, 0.5f}}),
         0,
         {{0, 0.5f}, {0.3f, -0.5f}, {1, 0.5f}}},
        {"a refused follower counts as (0,0)(1,0)",
         shapeBytes({{0, 0}, {0.5f, 1}, {1, 0}}),
         Bytes(16, 0),
         5,
         {{0, 0}, {0.5f, 1}, {1, 0}}},
        {"a refused leader counts as (0,0)(1,0)",
         Bytes{},
         shapeBytes({{0, 0.3f}, {0.5f, 0.1f}, {1, 0.3f}}),
         0,
         {{0, 0.3f}, {1, 0.3f}}},
        {"nodes the insertions push past the walk's bound stay",
         shapeBytes({{0, 0}, {0.5f, 1}, {1, 0}}),
         shapeBytes({{0, 0}, {0.25f, 0.5f}, {0.75f, 0.5f}, {1, 0}}),
         -2.5f,
         {{0, 0}, {0.5f, -0.5f}, {0.75f, 0.5f}, {1, 0}}},
        {"equal counts that would break the order keep the follower",
         shapeBytes({{0, 0}, {0.5f, 0}, {0.5f, 0}, {1, 0}}),
         shapeBytes({{0, 0}, {0.2f, 0}, {0.4f, 0}, {1, 0}}),
         0,
         {{0, 0}, {0.2f, 0}, {0.4f, 0}, {1, 0}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        UiTable a = shapekitTable(L"QW_GUI_SyncShapes");
        a.rows = {
            deliver(kB, c.follow),
            deliver(kLevelB, f32(c.level)),
            deliver(kALeads, b8(true)),
            deliver(kA, c.lead, {{kB, shapeBytes(c.result)}}),
        };
        runUiTable(a);

        UiTable b = shapekitTable(L"QW_GUI_SyncShapes");
        b.rows = {
            deliver(kA, c.follow),
            deliver(kLevelA, f32(c.level)),
            deliver(kBLeads, b8(true)),
            deliver(kB, c.lead, {{kA, shapeBytes(c.result)}}),
        };
        runUiTable(b);
    }
}

TEST(SyncShapes, SentAfterEveryUpdateFromThePinsCurrentBlobs)
{
    const Bytes a = shapeBytes({{0, 0}, {0.5f, 1}, {1, 0}});
    const Bytes synced = shapeBytes({{0, 0.3f}, {0.5f, 0}, {1, 0.3f}});
    UiTable t = shapekitTable(L"QW_GUI_SyncShapes");
    t.rows = {
        deliver(kB, shapeBytes({{0, 0.3f}, {1, 0.3f}})),
        deliver(kALeads, b8(true)),
        deliver(kA, a, {{kB, synced}}),
        deliver(kLevelB, f32(2.5f)),
        deliver(kA, a, {{kB, synced}})
            .with(Echo::None, {{kB, shapeBytes({{0, 0.3f}, {0.5f, 0.5f}, {1, 0.3f}})}})
            .because("without an echo pin B still holds its old shape"),
    };
    runUiTable(t);
}
// With both leads on, the follower sent back is the module's own: under an
// echo inside, later or none, an update is one send and the other shape does
// not lead in turn.
TEST(SyncShapes, WithBothLeadsEachUpdateIsOneSend)
{
    UiTable t = shapekitTable(L"QW_GUI_SyncShapes");
    t.rows = {
        deliver(kB, shapeBytes({{0, 0.3f}, {1, 0.3f}})),
        deliver(kALeads, b8(true)),
        deliver(kBLeads, b8(true)),
        deliver(kA, shapeBytes({{0, 0}, {0.5f, 1}, {1, 0}}), {{kB, shapeBytes({{0, 0.3f}, {0.5f, 0}, {1, 0.3f}})}}),
        deliver(kB, shapeBytes({{0, 0.3f}, {0.25f, 0}, {1, 0.3f}}), {{kA, shapeBytes({{0, 0}, {0.25f, 1}, {1, 0}})}}),
    };
    runUiTable(t);
}
} // namespace
