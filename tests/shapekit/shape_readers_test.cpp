// The shape readers and the node selector through the built bundle.
#include "shape_bytes.h"
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

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

// QW_GUI_ShapeNodeVal pins.
constexpr int kDefX = 0, kDefY = 1, kValShape = 2, kValIndex = 3, kValX = 4, kValY = 5;

TEST(ShapeNodeVal, ANodeInShapeUnitsOrTheDefaults)
{
    UiTable t = shapekitTable(L"QW_GUI_ShapeNodeVal");
    t.rows = {
        deliver(kDefX, f32(0.25f)),
        deliver(kDefY, f32(-0.5f)),
        deliver(kValShape, shapeBytes({{0, 0.1f}, {0.5f, 0.2f}, {1, 0.3f}}), {{kValY, f32(0.1f)}})
            .because("index 0 is answered at once"),
        deliver(kValIndex, i32(5), {{kValX, f32(0.25f)}, {kValY, f32(-0.5f)}}).because("no node 5"),
        deliver(kValIndex, i32(1), {{kValX, f32(0.5f)}, {kValY, f32(0.2f)}}),
        deliver(kValIndex, i32(-1), {{kValX, f32(0.25f)}, {kValY, f32(-0.5f)}}),
        deliver(kValIndex, i32(2), {{kValX, f32(1)}, {kValY, f32(0.3f)}}),
        deliver(kValShape, Bytes(16, 0)).because("a refused blob leaves the outputs"),
        deliver(kValIndex, i32(1), {{kValX, f32(0.25f)}, {kValY, f32(-0.5f)}}).because("no valid shape: defaults"),
    };
    runUiTable(t);

    UiTable d = shapekitTable(L"QW_GUI_ShapeNodeVal");
    d.rows = {
        deliver(kValShape, shapeBytes({{0, 0}, {1, 0}})),
        deliver(kValIndex, i32(1), {{kValX, f32(1)}}).because("(1, 0); y was 0 already"),
    };
    runUiTable(d);
}

TEST(ShapeNodeVal, AnIndexBeforeTheFirstShapeIsAnsweredWhenAValidShapeArrives)
{
    UiTable t = shapekitTable(L"QW_GUI_ShapeNodeVal", false);
    t.rows = {
        deliver(kValIndex, i32(1)),
        deliver(kValShape, Bytes{}).because("refused"),
        deliver(kValShape, shapeBytes({{0, 0}, {0.5f, 0.5f}, {1, 0}}), {{kValX, f32(0.5f)}, {kValY, f32(0.5f)}}),
    };
    runUiTable(t);
}

TEST(NumNodes, CountOrZeroRightPinFirst)
{
    UiTable t = shapekitTable(L"QW_GUI_NumNodes");
    t.rows = {
        deliver(0, shapeBytes(evenNodes(100)), {{2, i32(100)}, {1, i32(100)}}),
        deliver(0, shapeBytes(evenNodes(101)), {{2, i32(0)}, {1, i32(0)}}),
        deliver(0, shapeBytes(evenNodes(3)), {{2, i32(3)}, {1, i32(3)}}),
        deliver(0, shapeBytesCounted(evenNodes(3), 4), {{2, i32(0)}, {1, i32(0)}}),
    };
    runUiTable(t);
}

TEST(NumNodesChanged, TriggersOnlyWhenAnAcceptedCountChanges)
{
    const UiSends pulse{{2, b8(true)}, {1, b8(true)}, {2, b8(false)}, {1, b8(false)}};
    UiTable t = shapekitTable(L"QW_GUI_NumNodesChanged");
    t.rows = {
        deliver(0, shapeBytes(evenNodes(3))).because("the first shape"),
        deliver(0, Bytes(28, 0)).because("refused"),
        deliver(0, shapeBytes(evenNodes(3, 0.5f))).because("the same count"),
        deliver(0, shapeBytes(evenNodes(4)), pulse),
        deliver(0, shapeBytes(evenNodes(2)), pulse),
        deliver(0, shapeBytesCounted(evenNodes(2), -1)),
    };
    runUiTable(t);
}

// QW_ShapeNodeSel pins.
constexpr int kSelShape = 0, kSelIndex = 1, kSelFirst = 2, kSelLast = 3, kSelChoice = 4, kSelList = 5;

TEST(ShapeNodeSel, ListTexts)
{
    struct Case
    {
        int nodes;
        bool first, last;
        const wchar_t* list;
    };
    const Case cases[] = {
        {4, true, true, L"<No Node>=-1,First=0,1=1,2=2,Last=3"},
        {4, false, false, L"<No Node>=-1,1=1,2=2"},
        {4, true, false, L"<No Node>=-1,First=0,1=1,2=2"},
        {4, false, true, L"<No Node>=-1,1=1,2=2,Last=3"},
        {2, false, false, L"<No Node>=-1"},
        {2, true, true, L"<No Node>=-1,First=0,Last=1"},
    };
    for (const Case& c : cases)
    {
        UiTable t = shapekitTable(L"QW_ShapeNodeSel", false);
        t.rows = {
            setOnly(kSelIndex, i32(-1)),
            setOnly(kSelChoice, i32(-1)),
            setOnly(kSelFirst, b8(c.first)),
            setOnly(kSelLast, b8(c.last)),
            deliver(kSelShape, shapeBytes(evenNodes(c.nodes)), {{kSelList, text(c.list)}}),
        };
        runUiTable(t);
    }
}

TEST(ShapeNodeSel, IndexToChoiceAndBack)
{
    UiTable t = shapekitTable(L"QW_ShapeNodeSel");
    // The choice's echo, now or later, does not write the index: the index
    // keeps the value it came with.
    auto choose = [](int c, int index) { return deliver(kSelIndex, i32(index), {{kSelChoice, i32(c)}}); };
    t.rows = {
        deliver(kSelShape, shapeBytes(evenNodes(4)), {{kSelList, text(L"<No Node>=-1,First=0,1=1,2=2,Last=3")}}),
        choose(3, 7).because("past the end with Last offered"),
        choose(-1, -3),
        deliver(kSelLast, b8(false), {{kSelList, text(L"<No Node>=-1,First=0,1=1,2=2")}, {kSelIndex, i32(-1)}})
            .because("the choice, -1 already, is written back to the index"),
        deliver(kSelIndex, i32(7)).because("the choice is -1 already"),
        deliver(kSelChoice, i32(2), {{kSelIndex, i32(2)}}),
        deliver(kSelFirst, b8(false), {{kSelList, text(L"<No Node>=-1,1=1,2=2")}}),
        deliver(kSelChoice, i32(0), {{kSelIndex, i32(0)}})
            .because("the choice is not recomputed from the index it writes, nor from that index's echo"),
    };
    runUiTable(t);
}

TEST(ShapeNodeSel, WithoutAValidShapeIndexAndChoiceAreIgnored)
{
    UiTable t = shapekitTable(L"QW_ShapeNodeSel");
    t.rows = {
        deliver(kSelIndex, i32(2)),
        deliver(kSelChoice, i32(1)),
        deliver(kSelShape, shapeBytes(evenNodes(3)),
                {{kSelList, text(L"<No Node>=-1,First=0,1=1,Last=2")}, {kSelChoice, i32(2)}})
            .because("index 2 is the last node"),
        deliver(kSelShape, Bytes(16, 0), {{kSelList, text(L"<No Node>=-1")}}),
        deliver(kSelIndex, i32(1)),
        deliver(kSelChoice, i32(1)),
    };
    runUiTable(t);
}
} // namespace
