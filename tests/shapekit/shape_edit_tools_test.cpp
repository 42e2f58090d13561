// The invisible shape edit tools through the built bundle: what each host
// delivery makes them send, under every echo mode of the host.
#include "shape_bytes.h"
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace
{
using namespace qwtest;

UiTable shapekitTable(const wchar_t* id, bool start = true)
{
    UiTable t{id};
    t.bundle = "shapekit";
    t.start = start;
    return t;
}

float clampUnit(float v)
{
    return std::min(1.f, std::max(-1.f, v));
}

// QW_GUI_AddNode pins.
constexpr int kAddShape = 0, kAddX = 1, kAddY = 2, kAddL = 3, kAddR = 4;

TEST(AddNode, InsertsAtUserUnitsAndRefusesWhatAddNodeRefuses)
{
    UiTable t = shapekitTable(L"QW_GUI_AddNode");
    const ShapeNodes added{{0, 0}, {0.5f, 0.5f}, {1, 0}};
    t.rows = {
        deliver(kAddShape, shapeBytes({{0, 0}, {1, 0}})),
        deliver(kAddX, f32(0)),
        deliver(kAddY, f32(2.5f)),
        deliver(kAddL, b8(true), {{kAddShape, shapeBytes(added)}}),
        deliver(kAddL, b8(false)).because("false triggers nothing"),
        deliver(kAddR, b8(true)).because("x 0.5 is there already"),
        deliver(kAddX, f32(-5)),
        deliver(kAddR, b8(true)).because("x = 0"),
        deliver(kAddX, f32(5)),
        deliver(kAddR, b8(true)).because("x = 1"),
        deliver(kAddX, f32(2.5f)),
        deliver(kAddY, f32(-10)),
        deliver(kAddR, b8(true), {{kAddShape, shapeBytes({{0, 0}, {0.5f, 0.5f}, {0.75f, -1}, {1, 0}})}})
            .because("the right trigger acts too; the level is clamped"),
        deliver(kAddShape, shapeBytes({{0, 0.2f}, {1, -0.2f}})).because("a later, different shape is taken"),
        deliver(kAddX, f32(-2.5f)),
        deliver(kAddL, b8(true), {{kAddShape, shapeBytes({{0, 0.2f}, {0.25f, -1}, {1, -0.2f}})}}),
    };
    runUiTable(t);
}

TEST(AddNode, NothingUntilShapeXAndYHaveArrived)
{
    UiTable t = shapekitTable(L"QW_GUI_AddNode", false);
    t.rows = {
        deliver(kAddL, b8(true)),
        deliver(kAddX, f32(0)),
        deliver(kAddY, f32(1)),
        deliver(kAddL, b8(true)).because("no shape yet"),
        deliver(kAddShape, Bytes{}),
        deliver(kAddL, b8(true)).because("a refused blob is no shape"),
        deliver(kAddShape, shapeBytes({{0, 0}, {1, 0}}), {}),
        deliver(kAddL, b8(true), {{kAddShape, shapeBytes({{0, 0}, {0.5f, 0.2f}, {1, 0}})}}),
    };
    runUiTable(t);

    UiTable noY = shapekitTable(L"QW_GUI_AddNode", false);
    noY.rows = {
        deliver(kAddShape, shapeBytes({{0, 0}, {1, 0}})),
        deliver(kAddX, f32(0)),
        deliver(kAddR, b8(true)).because("no Y yet"),
    };
    runUiTable(noY);
}

TEST(AddNode, AHundredNodeShapeTakesNoMore)
{
    UiTable t = shapekitTable(L"QW_GUI_AddNode");
    const ShapeNodes full = evenNodes(100);
    t.rows = {
        deliver(kAddShape, shapeBytes(full)),
        deliver(kAddX, f32(0.01f)),
        deliver(kAddL, b8(true)),
    };
    runUiTable(t);
}

// QW_GUI_RemNode pins.
constexpr int kRemShape = 0, kRemIndex = 1, kRemL = 2, kRemR = 3;

TEST(RemNode, RemovesInnerNodesOnly)
{
    UiTable t = shapekitTable(L"QW_GUI_RemNode", false);
    const ShapeNodes three{{0, 0.1f}, {0.5f, 0.9f}, {1, -0.3f}};
    t.rows = {
        deliver(kRemShape, shapeBytes(three)),
        deliver(kRemL, b8(true)).because("no index yet"),
        deliver(kRemIndex, i32(0)),
        deliver(kRemL, b8(true)).because("the first node stays"),
        deliver(kRemIndex, i32(2)),
        deliver(kRemL, b8(true)).because("the last node stays"),
        deliver(kRemIndex, i32(-1)),
        deliver(kRemR, b8(true)),
        deliver(kRemIndex, i32(1)),
        deliver(kRemR, b8(false)),
        deliver(kRemR, b8(true), {{kRemShape, shapeBytes({{0, 0.1f}, {1, -0.3f}})}}),
        deliver(kRemL, b8(true)).because("two nodes never lose one"),
    };
    runUiTable(t);
}

// QW_GUI_ShapeFit pins.
constexpr int kFitShape = 0, kFitLow = 1, kFitHigh = 2, kFitL = 3, kFitR = 4;

TEST(ShapeFit, ScalesLevelsIntoTheRange)
{
    const ShapeNodes full{{0, -1}, {0.5f, 1}, {1, 0}};
    const ShapeNodes peak{{0, -1}, {0.5f, 1}, {1, 0.2f}};
    // lo = -0.5, hi = 0.5, minY = -1, maxY = 1.
    auto fit = [](float y) { return (y - -1.f) * (0.5f - -0.5f) * (1.f / 2.f) + -0.5f; };
    UiTable t = shapekitTable(L"QW_GUI_ShapeFit");
    t.rows = {
        deliver(kFitShape, shapeBytes(full)),
        deliver(kFitLow, f32(-5)),
        deliver(kFitHigh, f32(5)),
        deliver(kFitL, b8(true), {{kFitShape, shapeBytes(full)}}).because("sent when nothing changed"),
        deliver(kFitShape, shapeBytes(peak)),
        deliver(kFitLow, f32(-2.5f)),
        deliver(kFitHigh, f32(2.5f)),
        deliver(kFitR, b8(true), {{kFitShape, shapeBytes({{0, fit(-1)}, {0.5f, fit(1)}, {1, fit(0.2f)}})}}),
        deliver(kFitShape, shapeBytes(peak)),
        deliver(kFitLow, f32(5)),
        deliver(kFitHigh, f32(-5)),
        deliver(kFitL, b8(true), {{kFitShape, shapeBytes({{0, 1}, {0.5f, -1}, {1, (0.2f + 1.f) * -2.f * 0.5f + 1.f}})}})
            .because("low above high turns the shape over"),
        deliver(kFitHigh, f32(5)),
        deliver(kFitR, b8(true), {{kFitShape, shapeBytes({{0, 1}, {0.5f, 1}, {1, 1}})}}).because("low = high"),
        deliver(kFitL, b8(false)),
        deliver(kFitShape, shapeBytes({{0, 0.3f}, {0.4f, 0.3f}, {1, 0.3f}})),
        deliver(kFitLow, f32(-5)),
        deliver(kFitL, b8(true), {{kFitShape, shapeBytes({{0, 0}, {0.4f, 0}, {1, 0}})}}).because("a flat shape"),
    };
    runUiTable(t);
}

TEST(ShapeFit, WorksOnTheDefaultShapeWithoutABlob)
{
    UiTable t = shapekitTable(L"QW_GUI_ShapeFit", false);
    t.rows = {
        deliver(kFitLow, f32(20)),
        deliver(kFitHigh, f32(20)),
        deliver(kFitR, b8(true), {{kFitShape, shapeBytes({{0, 1}, {1, 1}})}}).because("levels clamp to 1"),
    };
    runUiTable(t);
}

// QW_GUI_ShapeFlip pins.
constexpr int kFlipShape = 0, kFlipDir = 1, kFlipL = 2, kFlipR = 3;

TEST(ShapeFlip, MirrorsInTimeOrInLevel)
{
    const float a = 0.1f, b = -0.4f, c = 0.7f;
    UiTable t = shapekitTable(L"QW_GUI_ShapeFlip");
    t.rows = {
        deliver(kFlipShape, shapeBytes({{0, a}, {0.25f, b}, {1, c}})),
        deliver(kFlipDir, i32(0)),
        deliver(kFlipL, b8(true), {{kFlipShape, shapeBytes({{0, c}, {0.75f, b}, {1, a}})}}),
        deliver(kFlipShape, shapeBytes({{0, 0}, {0.25f, 0.5f}, {0.5f, 1}, {1, -1}})),
        deliver(kFlipR, b8(true), {{kFlipShape, shapeBytes({{0, -1}, {0.5f, 1}, {0.75f, 0.5f}, {1, 0}})}})
            .because("an even count swaps in pairs"),
        deliver(kFlipDir, i32(3)),
        deliver(kFlipL, b8(true), {{kFlipShape, shapeBytes({{0, 1}, {0.5f, -1}, {0.75f, -0.5f}, {1, -0.f}})}})
            .because("any direction but 0 mirrors the level; 0 becomes -0"),
        deliver(kFlipL, b8(false)),
    };
    runUiTable(t);
}

// QW_GUI_ShapeSnap pins.
constexpr int kSnapShape = 0, kSnapMode = 1, kSnapLevel = 2, kSnapL = 3, kSnapR = 4;

TEST(ShapeSnap, MovesTheHighestOrLowestNodeToTheLevel)
{
    const ShapeNodes s{{0, -0.5f}, {0.5f, 0.2f}, {1, 0}};
    const float up = 1.f - 0.2f;      // mode 0, level 5: the highest node (0.2) to 1
    const float down = -0.2f - -0.5f; // mode 1, level -1: the lowest node (-0.5) to -0.2
    UiTable t = shapekitTable(L"QW_GUI_ShapeSnap");
    t.rows = {
        deliver(kSnapShape, shapeBytes(s)),
        deliver(kSnapMode, i32(0)),
        deliver(kSnapLevel, f32(1)),
        deliver(kSnapL, b8(true), {{kSnapShape, shapeBytes(s)}}).because("d = 0 still sends"),
        deliver(kSnapLevel, f32(5)),
        deliver(kSnapR, b8(true),
                {{kSnapShape, shapeBytes({{0, -0.5f + up}, {0.5f, clampUnit(0.2f + up)}, {1, 0.f + up}})}}),
        deliver(kSnapShape, shapeBytes(s)),
        deliver(kSnapMode, i32(1)),
        deliver(kSnapLevel, f32(-1)),
        deliver(kSnapL, b8(true), {{kSnapShape, shapeBytes({{0, -0.5f + down}, {0.5f, 0.2f + down}, {1, down}})}}),
        deliver(kSnapLevel, f32(5)),
        deliver(kSnapL, b8(true), {{kSnapShape, shapeBytes({{0, 1}, {0.5f, 1}, {1, 1}})}})
            .because("nodes pushed past 1 are clamped"),
        deliver(kSnapR, b8(false)),
    };
    runUiTable(t);
}

// Blobs every tool refuses: the working shape stays and nothing is sent.
std::vector<Bytes> refusedBlobs()
{
    const Bytes three = shapeBytes({{0, 0}, {0.5f, 0.5f}, {1, 0}});
    Bytes wrongMagic = three;
    wrongMagic[0] ^= 1;
    Bytes odd(23, 0), twentyEight = three, long812 = shapeBytes(evenNodes(100));
    twentyEight.resize(28);
    long812.resize(812);
    return {
        Bytes{},
        Bytes(16, 0),
        odd,
        twentyEight,
        long812,
        shapeBytes(evenNodes(101)),
        wrongMagic,
        shapeBytesCounted({{0, 0}, {0.5f, 0.5f}, {1, 0}}, 2),
        shapeBytesCounted({{0, 0}, {0.5f, 0.5f}, {1, 0}}, -3),
    };
}

TEST(ShapeEditTools, RefusedBlobsKeepTheWorkingShape)
{
    const ShapeNodes start{{0, 0.5f}, {1, -0.5f}};
    for (const Bytes& bad : refusedBlobs())
    {
        SCOPED_TRACE(describeBytes(bad));
        UiTable t = shapekitTable(L"QW_GUI_ShapeFlip");
        t.rows = {
            deliver(kFlipShape, shapeBytes(start)),
            deliver(kFlipDir, i32(1)),
            deliver(kFlipShape, bad),
            deliver(kFlipL, b8(true), {{kFlipShape, shapeBytes({{0, -0.5f}, {1, 0.5f}})}}),
        };
        runUiTable(t);
    }
}

// Accepted blobs whose nodes break the shape's rules: every tool acts within
// the nodes the blob holds, and nothing hangs.
TEST(ShapeEditTools, OddNodesInAcceptedBlobsStayInside)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<ShapeNodes> odd = {
        {{0, nan}, {nan, 0.5f}, {1, 0}},
        {{0, inf}, {0.5f, -inf}, {1, 0}},
        {{0, 0}, {0.5f, 0}, {0.5f, 0}, {1, 0}},
        {{1, 0}, {0.7f, 0.2f}, {0.2f, 0.1f}, {0, 0}},
    };
    struct Tool
    {
        const wchar_t* id;
        std::vector<std::pair<int, Bytes>> settings;
        int trigger;
    };
    const Tool tools[] = {
        {L"QW_GUI_AddNode", {{kAddX, f32(0.5f)}, {kAddY, f32(1)}}, kAddL},
        {L"QW_GUI_RemNode", {{kRemIndex, i32(1)}}, kRemL},
        {L"QW_GUI_ShapeFit", {{kFitLow, f32(-1)}, {kFitHigh, f32(3)}}, kFitL},
        {L"QW_GUI_ShapeFlip", {{kFlipDir, i32(0)}}, kFlipL},
        {L"QW_GUI_ShapeSnap", {{kSnapLevel, f32(2)}}, kSnapL},
    };
    for (const Tool& tool : tools)
        for (const ShapeNodes& nodes : odd)
        {
            qwhost::GuiHost host;
            host.echo = qwhost::Echo::Inside;
            auto g = host.create(bundle("shapekit"), tool.id);
            g->setBlob(0, shapeBytes(nodes));
            for (auto& s : tool.settings)
                g->set(s.first, s.second.data(), static_cast<int>(s.second.size()));
            g->setBool(tool.trigger, true);
            for (auto& sent : g->transmits)
            {
                ASSERT_GE(sent.data.size(), 8u);
                int32_t count;
                std::memcpy(&count, sent.data.data() + 4, 4);
                EXPECT_GE(count, 2);
                EXPECT_LE(count, 100);
                EXPECT_EQ(sent.data.size(), 8u + 8u * static_cast<size_t>(count));
            }
        }
}
} // namespace
