// The shape editors through the built bundle: pointer sequences, drags, pins
// and bad input. Pixel positions come from the layout rule worked out by hand
// for a 101 x 101 editor without margin: pixel x = 100 x, pixel y = 50 - 50 y.
#include "shape_editor_helpers.h"

#include "dialogs.h"
#include "mp_api_dialogs.h"
#include "mp_sdk_common.h"

#include <limits>

using namespace editortest;
using qwtest::UiSends;

namespace
{
const wchar_t* kFour = L"(-5,0)(-2.5,2.5)(2.5,-2.5)(5,0)"; // (0,0) (.25,.5) (.75,-.5) (1,0)
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Pins of QW_ShapeEditor6.
constexpr int kShape = 0, kSelected = 2, kHeld = 12, kChoice = 15, kEditX = 36, kEditY = 37;

// An editor of 101 x 101 pixels without margin holding `shape`, drawn once.
std::unique_ptr<Editor> laidOut(const wchar_t* id, const wchar_t* shape, qwhost::Echo echo = qwhost::Echo::None)
{
    auto e = std::make_unique<Editor>(id, echo);
    e->setFloat("Border %", 0.0f);
    e->setShape(shape);
    e->renderAll(101, 101);
    e->clearSent();
    return e;
}

struct PointerRow
{
    enum Kind
    {
        DOWN,
        MOVE,
        UP
    } kind;
    int32_t flags;
    float x, y;
    double afterMs; // clock moved on before the event
    int32_t result;
    UiSends sends;
};

void runPointerRows(const wchar_t* shape, const std::vector<PointerRow>& rows)
{
    for (auto echo : {qwhost::Echo::Inside, qwhost::Echo::None})
    {
        auto e = laidOut(L"QW_ShapeEditor6", shape, echo);
        for (size_t k = 0; k < rows.size(); ++k)
        {
            const PointerRow& r = rows[k];
            SCOPED_TRACE(std::string(echoName(echo)) + ", row " + std::to_string(k + 1));
            Editor::wait(r.afterMs);
            e->clearSent();
            const int32_t got = r.kind == PointerRow::DOWN   ? e->down(r.x, r.y, r.flags)
                                : r.kind == PointerRow::MOVE ? e->move(r.x, r.y, r.flags)
                                                             : e->up(r.x, r.y, r.flags);
            EXPECT_EQ(got, r.result);
            const auto sent = e->sent();
            ASSERT_EQ(sent.size(), r.sends.size());
            for (size_t i = 0; i < sent.size(); ++i)
            {
                EXPECT_EQ(sent[i].pin, r.sends[i].pin) << "send " << i;
                EXPECT_EQ(sent[i].bytes, r.sends[i].bytes) << "send " << i << " on pin " << sent[i].pin;
            }
        }
    }
}

std::vector<std::pair<double, double>> nodesDrawn(Editor& e, int r = 5)
{
    return squareCentres(e.renderAll(101, 101), r);
}
} // namespace

TEST(ShapeEditorPointer, PressesClicksAndDoubleClicks)
{
    const PointerRow::Kind D = PointerRow::DOWN, U = PointerRow::UP;
    runPointerRows(
        kFour,
        {
            {D, 0, 25, 25, 1000, -1, {}}, // no left button
            {D,
             kLeft,
             25,
             25,
             0,
             1,
             {{kHeld, b8(true)}, {kSelected, i32(1)}, {kEditX, f32(-2.5f)}, {kEditY, f32(2.5f)}}},
            {U, kLeft, 25, 25, 0, 0, {{kHeld, b8(false)}}},
            // Empty space clears the selection and starts the double-click window.
            {D, kLeft, 50, 10, 1000, 0, {{kHeld, b8(true)}, {kSelected, i32(-1)}}},
            {U, kLeft, 50, 10, 0, 0, {{kHeld, b8(false)}}},
            // 300 ms later on node 1: a double click there removes it.
            {D, kLeft, 25, 25, 300, 0, {{kHeld, b8(true)}, {kShape, blobOfNodes({{0, 0}, {.75f, -.5f}, {1, 0}})}}},
            {U, kLeft, 25, 25, 0, 0, {{kHeld, b8(false)}}},
            // 301 ms after the last single press: no double click.
            {D,
             kLeft,
             75,
             75,
             1,
             1,
             {{kHeld, b8(true)}, {kSelected, i32(1)}, {kEditX, f32(2.5f)}, {kEditY, f32(-2.5f)}}},
        });
}

TEST(ShapeEditorPointer, DoubleClickOnEmptySpaceAddsANodeThatTheDragMoves)
{
    const PointerRow::Kind D = PointerRow::DOWN, M = PointerRow::MOVE, U = PointerRow::UP;
    const Mapping m(101, 101, 0);
    const float x = m.ux(40), y = m.uy(40); // 0.4, 0.2
    const float y2 = y + (m.uy(30) - m.uy(40));
    runPointerRows(kFour, {
                              {D, kLeft, 40, 40, 1000, 0, {{kHeld, b8(true)}}},
                              {U, kLeft, 40, 40, 0, 0, {{kHeld, b8(false)}}},
                              {D,
                               kLeft,
                               40,
                               40,
                               200,
                               0,
                               {{kHeld, b8(true)},
                                {kShape, blobOfNodes({{0, 0}, {.25f, .5f}, {x, y}, {.75f, -.5f}, {1, 0}})},
                                {kEditX, f32(10 * x - 5)},
                                {kEditY, f32(5 * y)},
                                {kSelected, i32(2)}}},
                              {M,
                               kLeft,
                               40,
                               30,
                               0,
                               1,
                               {{kShape, blobOfNodes({{0, 0}, {.25f, .5f}, {x, y2}, {.75f, -.5f}, {1, 0}})},
                                {kEditY, f32(5 * y2)}}},
                              {U, kLeft, 40, 30, 0, 0, {{kHeld, b8(false)}}},
                          });
}

TEST(ShapeEditorPointer, DoubleClickCodes)
{
    struct Case
    {
        const wchar_t* id;
        int node; // 1 inner, 3 last
        bool lockFirstLast, lockAddRem;
        enum
        {
            REMOVED,
            TO_BASE,
            NOTHING,
            NOT_A_NODE
        } effect;
    };
    const Case cases[] = {
        {L"QW_ShapeEditor6", 1, false, false, Case::REMOVED},   // 0
        {L"QW_ShapeEditor6", 3, false, false, Case::TO_BASE},   // 1
        {L"QW_ShapeEditor6", 1, true, false, Case::REMOVED},    // 2
        {L"QW_ShapeEditor6", 3, true, false, Case::NOT_A_NODE}, // 3 never reached: not found
        {L"QW_ShapeEditor6", 1, false, true, Case::TO_BASE},    // 4
        {L"QW_ShapeEditor6", 3, false, true, Case::TO_BASE},    // 5
        {L"QW_ShapeEditor6", 1, true, true, Case::TO_BASE},     // 6
        {L"QW_ShapeEditor5", 3, true, false, Case::NOTHING},    // 3
        {L"QW_ShapeEditor5", 3, true, true, Case::NOTHING},     // 7
        {L"QW_ShapeEditor5", 1, false, false, Case::REMOVED},   // 0
    };
    const wchar_t* shape = L"(-5,0)(-2.5,2.5)(2.5,-2.5)(5,2.5)"; // last node at (1, 0.5)
    for (auto& c : cases)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(c.id) + " node " + std::to_string(c.node) + " locks " +
                     std::to_string(c.lockFirstLast) + std::to_string(c.lockAddRem));
        auto e = laidOut(c.id, shape);
        e->setFloat("Base Line", -2.5f); // y -0.5
        e->setBool("Lock First Last", c.lockFirstLast);
        e->setBool("Lock Add Remove", c.lockAddRem);
        const float px = c.node == 1 ? 25 : 100, py = 25;
        Editor::wait(1000);
        e->down(px, py);
        e->up(px, py);
        e->clearSent();
        Editor::wait(100);
        e->down(px, py);
        const auto nodes = e->lastShape();
        switch (c.effect)
        {
        case Case::REMOVED:
            ASSERT_EQ(nodes.size(), 3u);
            EXPECT_FLOAT_EQ(nodes[1].x, 0.75f);
            break;
        case Case::TO_BASE:
            ASSERT_EQ(nodes.size(), 4u);
            EXPECT_FLOAT_EQ(nodes[c.node].y, -0.5f);
            break;
        case Case::NOTHING:
            EXPECT_TRUE(nodes.empty()) << "nothing sent";
            break;
        case Case::NOT_A_NODE:
            // A double click on empty space at x = 1 adds nothing.
            EXPECT_TRUE(nodes.empty());
            break;
        }
    }
}

TEST(ShapeEditorPointer, LockAddRemoveOnlyDeselectsOnEmptySpace)
{
    auto e = laidOut(L"QW_ShapeEditor6", kFour);
    e->setBool("Lock Add Remove", true);
    EXPECT_EQ(e->view().hitTest({50, 10}), -1) << "only nodes take the pointer";
    EXPECT_EQ(e->view().hitTest({25, 25}), 0);
    Editor::wait(1000);
    e->down(25, 25);
    e->up(25, 25);
    Editor::wait(1000);
    e->clearSent();
    EXPECT_EQ(e->down(50, 10), 0);
    ASSERT_NE(e->last("Selected Node"), nullptr);
    EXPECT_EQ(e->last("Selected Node")->asInt(), -1);
    e->up(50, 10);
    Editor::wait(100);
    // The click time stayed at the press 1 s ago: no double click on the node.
    EXPECT_EQ(e->down(25, 25), 1);
    EXPECT_TRUE(e->lastShape().empty());
    e->setBool("Editable", false);
    EXPECT_EQ(e->view().hitTest({25, 25}), -1);
}

TEST(ShapeEditorPointer, DoubleClicksThatAddNothing)
{
    struct Case
    {
        const wchar_t* shape;
        float px, py;
    };
    std::wstring hundred = L"(-5,0)";
    for (int k = 1; k < 99; ++k)
        hundred += L"(" + std::to_wstring(-5.0 + 10.0 * k / 99) + L",0)";
    hundred += L"(5,0)";
    const Case cases[] = {
        {L"(-5,0)(5,0)", 0, 25},       // x = 0
        {L"(-5,0)(5,0)", 100, 25},     // x = 1
        {hundred.c_str(), 50.5f, 10},  // full
        {L"(-5,0)(0,2)(5,0)", 50, 35}, // x of node 1 (its square is 30 pixels up)
    };
    for (auto& c : cases)
    {
        auto e = laidOut(L"QW_ShapeEditor6", c.shape);
        e->setInt("Node Size", 4);
        Editor::wait(1000);
        e->down(c.px, c.py);
        e->up(c.px, c.py);
        Editor::wait(10);
        e->clearSent();
        e->down(c.px, c.py);
        EXPECT_TRUE(e->lastShape().empty()) << c.px;
        // dragStart moved there all the same: selecting a node and moving starts from the new point.
    }
}

TEST(ShapeEditorDrag, InnerNodeStopsShortOfItsNeighbour)
{
    size_t redrawsWithoutEcho = 0;
    for (auto echo : {qwhost::Echo::None, qwhost::Echo::Inside, qwhost::Echo::Later})
    {
        SCOPED_TRACE(echoName(echo));
        auto e = laidOut(L"QW_ShapeEditor6", kFour, echo);
        e->setInt("Interpolation", 10);
        Editor::wait(1000);
        const size_t redraws = e->graphicsHost().redraws.size();
        ASSERT_EQ(e->down(25, 25), 1);
        EXPECT_EQ(e->move(95, 25), 1);
        const auto nodes = e->lastShape();
        ASSERT_EQ(nodes.size(), 4u);
        EXPECT_EQ(nodes[1].x, std::nextafterf(0.75f + 1.0f, 0.0f) - 1.0f);
        // Held at the limit, it moves back at once.
        e->move(85, 25);
        EXPECT_FLOAT_EQ(e->lastShape()[1].x, std::nextafterf(0.75f + 1.0f, 0.0f) - 1.0f - 0.1f);
        e->up(85, 25);
        // The shapes coming back, now or later, are the editor's own: they
        // ask for no further redraw.
        const size_t n = e->graphicsHost().redraws.size() - redraws;
        if (echo == qwhost::Echo::None)
            redrawsWithoutEcho = n;
        EXPECT_EQ(n, redrawsWithoutEcho);
    }
}

TEST(ShapeEditorDrag, SpikesChangePlacesInTheFullEditorOnly)
{
    for (const wchar_t* id : {L"QW_ShapeEditor6", L"QW_ShapeEditor5"})
        for (auto echo : {qwhost::Echo::Inside, qwhost::Echo::Later, qwhost::Echo::None})
        {
            SCOPED_TRACE(gmpi_sdk::toUtf8(id) + ", " + echoName(echo));
            auto e = laidOut(id, kFour, echo);
            e->setInt("Interpolation", 0);
            Editor::wait(1000);
            ASSERT_EQ(e->down(25, 25), 1);
            e->clearSent();
            e->move(85, 25); // x 0.85, past node 2 at 0.75
            const auto nodes = e->lastShape();
            ASSERT_EQ(nodes.size(), 4u);
            if (std::wstring(id) == L"QW_ShapeEditor6")
            {
                EXPECT_FLOAT_EQ(nodes[1].x, 0.75f);
                EXPECT_FLOAT_EQ(nodes[2].x, 0.85f);
                EXPECT_FLOAT_EQ(nodes[2].y, 0.5f);
                ASSERT_NE(e->last("Selected Node"), nullptr);
                EXPECT_EQ(e->last("Selected Node")->asInt(), 2);
                // Still held: the next move goes on with node 2.
                e->move(90, 25);
                EXPECT_FLOAT_EQ(e->lastShape()[2].x, 0.9f);
            }
            else
            {
                EXPECT_EQ(nodes[1].x, std::nextafterf(1.75f, 0.0f) - 1.0f);
                EXPECT_EQ(e->last("Selected Node"), nullptr);
            }
        }
}

TEST(ShapeEditorDrag, FineDragMovesATenth)
{
    auto e = laidOut(L"QW_ShapeEditor6", kFour);
    Editor::wait(1000);
    ASSERT_EQ(e->down(25, 25), 1);
    e->move(35, 25, kLeft | kFine);
    EXPECT_NEAR(e->lastShape()[1].x, 0.25f + 0.1f * 0.1f, 1e-6);
    e->move(35, 35, kLeft | kFine);
    EXPECT_NEAR(e->lastShape()[1].y, 0.5f - 0.1f * 0.2f, 1e-6);
}

TEST(ShapeEditorDrag, YLimitsFromThePins)
{
    auto e = laidOut(L"QW_ShapeEditor6", kFour);
    e->setFloat("Y Upper Limit", 1.0f);  // 0.2
    e->setFloat("Y Lower Limit", -1.0f); // -0.2
    Editor::wait(1000);
    ASSERT_EQ(e->down(25, 25), 1);
    e->move(25, 0);
    EXPECT_FLOAT_EQ(e->lastShape()[1].y, 0.2f);
    e->move(25, 100);
    EXPECT_FLOAT_EQ(e->lastShape()[1].y, -0.2f);
    // Given the wrong way round, they are put in order.
    e->setFloat("Y Upper Limit", -5.0f);
    e->setFloat("Y Lower Limit", 5.0f);
    e->move(25, 0);
    EXPECT_FLOAT_EQ(e->lastShape()[1].y, 1.0f);
    e->move(25, 100);
    EXPECT_FLOAT_EQ(e->lastShape()[1].y, -1.0f);
}

TEST(ShapeEditorPins, ShapeBlobsRefusedAndRepeated)
{
    const Bytes good = blobOf(kFour);
    Bytes badMagic = good;
    badMagic[0] ^= 1;
    Bytes badCount = good;
    badCount[4] = 3;
    const Bytes cases[] = {Bytes(16, 0), blobOfNodes(std::vector<qw::Shape::Node>(101, {0.5f, 0})), badMagic, badCount};
    for (auto& blob : cases)
    {
        SCOPED_TRACE(blob.size());
        auto e = laidOut(L"QW_ShapeEditor6", kFour);
        e->set("Shape", blob);
        const auto drawn = nodesDrawn(*e);
        ASSERT_EQ(drawn.size(), 2u);
        EXPECT_NEAR(drawn[0].first, 0, 1e-4);
        EXPECT_NEAR(drawn[0].second, 50, 1e-4);
        EXPECT_NEAR(drawn[1].first, 100, 1e-4);
    }
    auto e = laidOut(L"QW_ShapeEditor6", kFour);
    const size_t redraws = e->graphicsHost().redraws.size();
    e->set("Shape", good);
    EXPECT_GT(e->graphicsHost().redraws.size(), redraws) << "the same shape still redraws";
    EXPECT_EQ(nodesDrawn(*e).size(), 4u);
    EXPECT_TRUE(e->sent().empty());
}

TEST(ShapeEditorPins, InterpolationTypeTakesOnlyTheFour)
{
    // Spikes (type 0) draw no curve path; other values than 0, 10, 20, 30 are ignored.
    auto e = laidOut(L"QW_ShapeEditor6", kFour);
    const std::pair<int, bool> steps[] = {{0, true},   {10, false}, {5, false},  {0, true},       {7, true},
                                          {30, false}, {-1, false}, {20, false}, {1 << 30, false}};
    for (auto [type, spikes] : steps)
    {
        e->setInt("Interpolation", type);
        EXPECT_EQ(only(e->renderAll(101, 101), "DrawGeometry").empty(), spikes) << type;
    }
}

TEST(ShapeEditorPins, EditUnitsAndLocks)
{
    for (auto echo : {qwhost::Echo::Inside, qwhost::Echo::None})
    {
        SCOPED_TRACE(echoName(echo));
        auto e = laidOut(L"QW_ShapeEditor6", kFour, echo);
        e->setInt("Selected Node", 1);
        e->clearSent();
        e->setFloat("Edit X", 0.0f);
        EXPECT_FLOAT_EQ(e->lastShape()[1].x, 0.5f);
        e->setFloat("Edit Y", 5.0f);
        EXPECT_FLOAT_EQ(e->lastShape()[1].y, 1.0f);
        e->setInt("Edit Units", 1);
        ASSERT_NE(e->last("Edit X"), nullptr);
        EXPECT_FLOAT_EQ(e->last("Edit X")->asFloat(), 0.5f);
        EXPECT_FLOAT_EQ(e->last("Edit Y")->asFloat(), 1.0f);
        e->setFloat("Edit X", 0.6f);
        EXPECT_FLOAT_EQ(e->lastShape()[1].x, 0.6f);
        e->setInt("Edit Units", 0);
        EXPECT_FLOAT_EQ(e->last("Edit X")->asFloat(), 10 * 0.6f - 5);
        EXPECT_FLOAT_EQ(e->last("Edit Y")->asFloat(), 5.0f);

        // Locked x, and x of an end node: nothing.
        e->setBool("Lock X", true);
        e->clearSent();
        e->setFloat("Edit X", -4.0f);
        EXPECT_TRUE(e->lastShape().empty());
        e->setBool("Lock X", false);
        e->setInt("Selected Node", 3);
        e->clearSent();
        e->setFloat("Edit X", -4.0f);
        EXPECT_TRUE(e->lastShape().empty());
        // y of an end node works, unless the ends are locked.
        e->setFloat("Edit Y", 2.5f);
        ASSERT_FALSE(e->lastShape().empty());
        EXPECT_FLOAT_EQ(e->lastShape()[3].y, 0.5f);
        e->setBool("Lock First Last", true);
        e->clearSent();
        e->setFloat("Edit Y", -2.5f);
        EXPECT_TRUE(e->lastShape().empty());
    }
}

TEST(ShapeEditorPins, EditXReturnsToTheValueFirstShown)
{
    for (auto echo : {qwhost::Echo::Inside, qwhost::Echo::Later, qwhost::Echo::None})
    {
        SCOPED_TRACE(echoName(echo));
        auto e = laidOut(L"QW_ShapeEditor6", kFour, echo);
        e->setInt("Selected Node", 1); // shows -2.5
        e->clearSent();
        e->setFloat("Edit X", 0.0f);
        e->setFloat("Edit X", -2.5f);
        ASSERT_EQ(e->lastShape().size(), 4u);
        EXPECT_FLOAT_EQ(e->lastShape()[1].x, 0.25f);
        // The editor's own values coming back move nothing: two sends, one per edit.
        EXPECT_EQ(e->module().transmitsOf(kShape).size(), 2u);
    }
}

TEST(ShapeEditorPins, Clamps)
{
    auto e = laidOut(L"QW_ShapeEditor6", L"(-5,0)(5,0)");
    e->setInt("Grid X", -3);
    e->setInt("Grid Y", 100);
    auto calls = e->renderAll(101, 101);
    EXPECT_EQ(only(calls, "DrawLine").size(), 41u + 2) << "no vertical lines, 41 horizontal, two guides";
    e->setInt("Node Size", 2);
    auto rects = only(e->renderAll(101, 101), "DrawRectangle");
    ASSERT_FALSE(rects.empty());
    EXPECT_NEAR(rects[0].values[2] - rects[0].values[0], 4, 1e-4);
    e->setInt("Node Size", 50);
    rects = only(e->renderAll(101, 101), "DrawRectangle");
    EXPECT_NEAR(rects[0].values[2] - rects[0].values[0], 20, 1e-4);
    e->setInt("Node Thickness", 0);
    EXPECT_NEAR(only(e->renderAll(101, 101), "DrawRectangle")[0].values[4], 1, 1e-6);
    e->setInt("Node Thickness", 9);
    EXPECT_NEAR(only(e->renderAll(101, 101), "DrawRectangle")[0].values[4], 4, 1e-6);
    e->setInt("Curve Thickness", 0);
    EXPECT_NEAR(only(e->renderAll(101, 101), "DrawGeometry")[0].values[0], 1, 1e-6);
    e->setInt("Curve Thickness", 9);
    EXPECT_NEAR(only(e->renderAll(101, 101), "DrawGeometry")[0].values[0], 4, 1e-6);
    e->setFloat("Border %", 30.0f);
    auto grid = only(e->renderAll(101, 101), "DrawLine");
    ASSERT_FALSE(grid.empty());
    EXPECT_NEAR(grid[0].values[1], 0.25 * 101, 1e-3) << "the first horizontal line at the top margin";
}

TEST(ShapeEditorPins, FlipsMoveTheSelection)
{
    for (auto echo : {qwhost::Echo::Inside, qwhost::Echo::None})
    {
        SCOPED_TRACE(echoName(echo));
        auto e = laidOut(L"QW_ShapeEditor6", kFour, echo);
        e->setInt("Selected Node", 1);
        e->clearSent();
        e->trigger("Flip Horizontal");
        auto nodes = e->lastShape();
        ASSERT_EQ(nodes.size(), 4u);
        EXPECT_FLOAT_EQ(nodes[1].x, 0.25f);
        EXPECT_FLOAT_EQ(nodes[1].y, -0.5f);
        EXPECT_FLOAT_EQ(nodes[2].x, 0.75f);
        EXPECT_FLOAT_EQ(nodes[2].y, 0.5f);
        ASSERT_NE(e->last("Selected Node"), nullptr);
        EXPECT_EQ(e->last("Selected Node")->asInt(), 2);
        e->clearSent();
        e->trigger("Flip Vertical");
        EXPECT_FLOAT_EQ(e->lastShape()[2].y, -0.5f);
        EXPECT_EQ(e->last("Selected Node"), nullptr) << "kept";
        // A selection beyond the nodes becomes none.
        e->setInt("Selected Node", 9);
        e->clearSent();
        e->trigger("Flip Horizontal");
        ASSERT_NE(e->last("Selected Node"), nullptr);
        EXPECT_EQ(e->last("Selected Node")->asInt(), -1);
    }
}

TEST(ShapeEditorPins, Reset)
{
    auto e = laidOut(L"QW_ShapeEditor6", kFour);
    e->setFloat("Base Line", 2.5f);
    e->setText("Reset Shape", L"nonsense");
    e->trigger("Reset");
    auto nodes = e->lastShape();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_FLOAT_EQ(nodes[0].y, 0.5f);
    EXPECT_FLOAT_EQ(nodes[1].y, 0.5f);
    e->setText("Reset Shape", kFour);
    e->trigger("Reset");
    EXPECT_EQ(e->lastShape().size(), 4u);
    e->clearSent();
    e->trigger("Reset");
    EXPECT_EQ(e->lastShape().size(), 4u) << "an unchanged shape is sent all the same";
}

TEST(ShapeEditorPins, ContextMenuAndToolTip)
{
    auto e = laidOut(L"QW_ShapeEditor6", kFour);
    auto* ui = e->module().ui();
    ASSERT_NE(ui, nullptr);
    e->setText("Menu Items", L"Copy,Paste=7");
    qwhost::ContextMenuSink sink;
    EXPECT_EQ(ui->populateContextMenu(1, 1, &sink), 0);
    ASSERT_EQ(sink.items.size(), 2u);
    EXPECT_EQ(sink.items[0].text, "Copy");
    EXPECT_EQ(sink.items[0].id, 0);
    EXPECT_EQ(sink.items[1].text, "Paste");
    EXPECT_EQ(sink.items[1].id, 7);
    EXPECT_EQ(sink.moduleReferences(), 0);

    e->setText("Menu Items", L"range 0,2000000000");
    qwhost::ContextMenuSink big;
    ui->populateContextMenu(1, 1, &big);
    EXPECT_EQ(big.items.size(), 10000u);

    e->clearSent();
    EXPECT_EQ(ui->onContextMenu(3), 0);
    const auto sent = e->sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].pin, kChoice);
    EXPECT_EQ(sent[0].bytes, i32(3));
    EXPECT_EQ(sent[1].bytes, i32(-1));

    e->setText("Tooltip", L"Gr\u00fc\u00dfe \U0001F600");
    struct Text : gmpi::IString
    {
        std::string s;
        int32_t setData(const char* d, int32_t n) override
        {
            s.assign(d, static_cast<size_t>(n));
            return 0;
        }
        int32_t getSize() override { return static_cast<int32_t>(s.size()); }
        const char* getData() override { return s.data(); }
        int32_t queryInterface(const gmpi::MpGuid&, void**) override { return -2; }
        int32_t addRef() override { return 1; }
        int32_t release() override { return 1; }
    } tip;
    EXPECT_EQ(e->view().graphics()->getToolTip({5, 5}, &tip), 0);
    EXPECT_EQ(tip.s,
              "Gr\xc3\xbc\xc3\x9f"
              "e \xf0\x9f\x98\x80");

    // The older editor has no menu.
    auto five = laidOut(L"QW_ShapeEditor5", kFour);
    qwhost::ContextMenuSink none;
    EXPECT_EQ(five->module().ui()->populateContextMenu(1, 1, &none), -1);
    EXPECT_EQ(five->module().ui()->onContextMenu(3), -1);
    EXPECT_EQ(five->module().pinCount(), 39);
    EXPECT_EQ(e->module().pinCount(), 41);
}

TEST(ShapeEditorBadInput, NonFiniteFloatsMakeNoNaNNode)
{
    for (float bad : {kNaN, kInf, -kInf})
    {
        SCOPED_TRACE(bad);
        auto e = laidOut(L"QW_ShapeEditor6", kFour);
        e->setInt("Selected Node", 1);
        for (const char* pin : {"Y Upper Limit", "Y Lower Limit", "Base Line", "Border %", "Edit X", "Edit Y"})
            e->setFloat(pin, bad);
        Editor::wait(1000);
        const auto calls = e->renderAll(101, 101);
        for (auto& c : calls)
            for (double v : c.values)
                ASSERT_TRUE(std::isfinite(v)) << c.op;
        e->down(25, 25);
        e->move(40, 40);
        e->move(60, 0);
        for (auto& n : e->lastShape())
        {
            EXPECT_TRUE(std::isfinite(n.x));
            EXPECT_TRUE(std::isfinite(n.y));
        }
    }
}

TEST(ShapeEditorBadInput, PointsOffTheNumberLine)
{
    for (float bad : {kNaN, 1e30f, -1e30f})
    {
        auto e = laidOut(L"QW_ShapeEditor6", kFour);
        e->setBool("Lock Add Remove", true);
        EXPECT_EQ(e->view().hitTest({bad, bad}), -1);
        e->setBool("Lock Add Remove", false);
        Editor::wait(1000);
        e->down(bad, bad);
        e->up(bad, bad);
        e->clearSent();
        e->down(bad, 25);
        EXPECT_TRUE(e->lastShape().empty()) << "no node added";
        EXPECT_EQ(e->last("Selected Node"), nullptr);
        // A drag from a node to such a point moves nothing to it.
        Editor::wait(1000);
        e->down(25, 25);
        e->move(bad, bad);
        for (auto& n : e->lastShape())
            EXPECT_TRUE(std::isfinite(n.x) && std::isfinite(n.y));
    }
}

TEST(ShapeEditorBadInput, ColourAndListTexts)
{
    auto e = laidOut(L"QW_ShapeEditor6", kFour);
    for (const wchar_t* t : {L"", L"zz", L"123456789", L"\xD800\x1234", L"FF\xFFFF"})
    {
        e->setText("Curve Colour", t);
        e->setText("Menu Items", t);
        e->setText("Tooltip", t);
        e->renderAll(101, 101);
        qwhost::ContextMenuSink sink;
        e->module().ui()->populateContextMenu(0, 0, &sink);
    }
    // An item with no UTF-8 form is an empty text.
    e->setText("Menu Items", L"a\xD800,b");
    qwhost::ContextMenuSink sink;
    e->module().ui()->populateContextMenu(0, 0, &sink);
    ASSERT_EQ(sink.items.size(), 2u);
    EXPECT_EQ(sink.items[0].text, "");
    EXPECT_EQ(sink.items[1].text, "b");
}

TEST(ShapeEditorBadInput, SelectionBeyondAShorterShapeEditsNothing)
{
    auto e = laidOut(L"QW_ShapeEditor6", kFour);
    e->setInt("Selected Node", 3);
    e->setShape(L"(-5,0)(5,0)");
    e->clearSent();
    e->setFloat("Edit Y", 3.0f);
    e->setFloat("Edit X", 1.0f);
    Editor::wait(1000);
    e->down(100, 50); // last node, now index 1: selected anew
    EXPECT_EQ(e->last("Selected Node")->asInt(), 1);
    e->clearSent();
    e->setInt("Selected Node", 5);
    e->trigger("Flip Vertical");
    EXPECT_EQ(e->last("Edit Y"), nullptr);
    EXPECT_EQ(e->last("Edit X"), nullptr);
}
