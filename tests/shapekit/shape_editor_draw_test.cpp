// What the shape editors draw, from the stand-in's recorded calls and pixels,
// and qwhost draw with an editor.
#include "shape_editor_helpers.h"

#include <algorithm>
#include <cstdio>
#include <limits>

using namespace editortest;

namespace
{
std::unique_ptr<Editor> made(const wchar_t* id, const wchar_t* shape, float borderPercent)
{
    auto e = std::make_unique<Editor>(id);
    e->setFloat("Border %", borderPercent);
    e->setShape(shape);
    return e;
}

// Clip rectangles pushed, in order.
std::vector<std::vector<double>> clips(const std::vector<DrawCall>& calls)
{
    std::vector<std::vector<double>> out;
    for (auto& c : only(calls, "PushAxisAlignedClip"))
        out.push_back(c.values);
    return out;
}
} // namespace

TEST(ShapeEditorDraw, ColumnsAndGridOfAHundredPixels)
{
    auto e = made(L"QW_ShapeEditor6", L"(-5,-5)(5,5)", 25.0f);
    e->setInt("Grid X", 7);
    const auto calls = e->render(100, 100);
    // left = 25, inner width 49, right = 74: one point a column 25 .. 74 after the start.
    const auto curve = only(calls, "DrawGeometry");
    ASSERT_EQ(curve.size(), 1u);
    ASSERT_EQ(curve[0].path.size(), 51u);
    for (int k = 0; k < 50; ++k)
        EXPECT_FLOAT_EQ(curve[0].path[static_cast<size_t>(k) + 1].x, 25.0f + k);
    // A linear ramp from y = -1 to 1 over the 50 entries: entry k is -1 + 2k/49.
    const Mapping m(100, 100, 0.25f);
    for (int k : {0, 10, 49})
        EXPECT_NEAR(curve[0].path[static_cast<size_t>(k) + 1].y, m.py(-1.0f + 2.0f * k / 49.0f), 1e-3);
    const auto lines = only(calls, "DrawLine");
    ASSERT_GE(lines.size(), 8u);
    for (int k = 0; k < 8; ++k)
    {
        EXPECT_NEAR(lines[static_cast<size_t>(k)].values[0], 25.0 + 7 * k, 1e-3);
        EXPECT_NEAR(lines[static_cast<size_t>(k)].values[1], 0.0, 1e-6);
        EXPECT_NEAR(lines[static_cast<size_t>(k)].values[3], 100.0, 1e-6);
    }
}

TEST(ShapeEditorDraw, SpikesFromTheBaseLine)
{
    auto e = made(L"QW_ShapeEditor6", L"(-5,-5)(0,5)(5,2.5)", 0.0f);
    e->setInt("Interpolation", 0);
    e->setFloat("Base Line", -2.5f);
    e->setInt("Grid X", 0);
    e->setInt("Grid Y", 0);
    const auto calls = e->render(101, 101);
    const Mapping m(101, 101, 0);
    const float yb = m.py(-0.5f);
    // Three guide-free background lines: centre and base line; then one spike a node.
    const auto lines = only(calls, "DrawLine");
    ASSERT_EQ(lines.size(), 2u + 3u);
    const float xs[] = {0, 0.5f, 1}, ys[] = {-1, 1, 0.5f};
    for (int i = 0; i < 3; ++i)
    {
        const auto& v = lines[2 + static_cast<size_t>(i)].values;
        EXPECT_NEAR(v[0], m.px(xs[i]), 1e-3);
        EXPECT_NEAR(v[1], yb, 1e-3);
        EXPECT_NEAR(v[3], m.py(ys[i]), 1e-3);
        EXPECT_NEAR(v[4], 2.0, 1e-6) << "curve thickness";
    }
    EXPECT_TRUE(only(calls, "FillGeometry").empty());
    EXPECT_TRUE(only(calls, "DrawGeometry").empty());
}

TEST(ShapeEditorDraw, FillsOnEitherSideOfTheBaseLine)
{
    const Mapping m(101, 101, 0);
    struct Case
    {
        float pin, y;
        bool upper, lower;
    };
    for (auto c : {Case{5, 1, false, true}, Case{-5, -1, true, false}, Case{0, 0, true, true}})
    {
        SCOPED_TRACE(c.pin);
        auto e = made(L"QW_ShapeEditor6", L"(-5,-5)(0,5)(5,-5)", 0.0f);
        e->setFloat("Base Line", c.pin);
        const auto calls = e->render(101, 101);
        const float yb = m.py(c.y);
        std::vector<std::vector<double>> want;
        if (c.upper)
            want.push_back({0, 0, 101, yb});
        if (c.lower)
            want.push_back({0, yb + 1, 101, 101});
        const auto got = clips(calls);
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i)
            for (int k = 0; k < 4; ++k)
                EXPECT_NEAR(got[i][static_cast<size_t>(k)], want[i][static_cast<size_t>(k)], 1e-3);
        EXPECT_EQ(only(calls, "FillGeometry").size(), want.size());
        // Each fill fades from colour 8 at the base line to colour 7 at the edge.
        const auto gradients = only(calls, "CreateLinearGradientBrush");
        ASSERT_EQ(gradients.size(), 1u + want.size()) << "background and fills";
        const auto fillPath = only(calls, "FillGeometry")[0].path;
        ASSERT_EQ(fillPath.size(), 1u + 101u + 1u);
        EXPECT_NEAR(fillPath.front().y, yb, 1e-3);
        EXPECT_NEAR(fillPath.back().x, 100.0, 1e-3);
        EXPECT_NEAR(fillPath.back().y, yb, 1e-3);
    }
}

TEST(ShapeEditorDraw, NarrowEditorDrawsAFlatCurveWithItsNodes)
{
    auto e = made(L"QW_ShapeEditor6", L"(-5,-5)(0,5)(5,-5)", 0.0f);
    const auto calls = e->render(15, 60); // 15 columns: too few to render
    const Mapping m(15, 60, 0);
    const auto curve = only(calls, "DrawGeometry");
    ASSERT_EQ(curve.size(), 1u);
    for (auto& p : curve[0].path)
        EXPECT_NEAR(p.y, m.py(0), 1e-3);
    const auto nodes = squareCentres(calls, 5);
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_NEAR(nodes[1].first, m.px(0.5f), 1e-3);
    EXPECT_NEAR(nodes[1].second, m.py(1), 1e-3);
}

TEST(ShapeEditorDraw, BorderClipFlattensTheOvershoot)
{
    const Mapping m(101, 101, 0);
    // A node far outside -1..1, as a blob may carry one: the curve stops at 10 or at 1.
    const Bytes tall = blobOfNodes({{0, 0}, {0.5f, 50}, {1, 0}});
    for (bool clip : {false, true})
    {
        auto e = std::make_unique<Editor>(L"QW_ShapeEditor6");
        e->setFloat("Border %", 0);
        e->setBool("Border Clip", clip);
        e->set("Shape", tall);
        const auto curve = only(e->render(101, 101), "DrawGeometry");
        ASSERT_EQ(curve.size(), 1u);
        float top = 1e9f;
        for (auto& p : curve[0].path)
            top = std::min(top, p.y);
        EXPECT_NEAR(top, m.py(clip ? 1.0f : 10.0f), 1e-3);
    }
    // A spline overshoot beyond y = 1 shows without the clip.
    for (bool clip : {false, true})
    {
        auto e = made(L"QW_ShapeEditor6", L"(-5,0)(-1,5)(1,5)(5,0)", 0.0f);
        e->setInt("Interpolation", 20);
        e->setBool("Border Clip", clip);
        const auto curve = only(e->render(101, 101), "DrawGeometry");
        float top = 1e9f;
        for (auto& p : curve[0].path)
            top = std::min(top, p.y);
        if (clip)
            EXPECT_NEAR(top, m.py(1), 1e-3);
        else
            EXPECT_LT(top, m.py(1) - 1.0f);
    }
}

TEST(ShapeEditorDraw, NoGridWithoutDivisionsOrWithAnInvisibleColour)
{
    auto e = made(L"QW_ShapeEditor6", L"(-5,0)(5,0)", 0.0f);
    EXPECT_EQ(only(e->render(101, 101), "DrawLine").size(), 22u + 2u);
    e->setText("Grid Colour", L"00383838");
    EXPECT_EQ(only(e->render(101, 101), "DrawLine").size(), 2u);
    e->setText("Grid Colour", L"");
    e->setInt("Grid X", 0);
    e->setInt("Grid Y", 0);
    EXPECT_EQ(only(e->render(101, 101), "DrawLine").size(), 2u);
}

TEST(ShapeEditorDraw, NodeOrderOfTheTwoEditors)
{
    const wchar_t* shape = L"(-5,0)(-2.5,2.5)(2.5,-2.5)(5,0)";
    const Mapping m(101, 101, 0);
    {
        auto e = made(L"QW_ShapeEditor6", shape, 0.0f);
        e->setBool("Lock First Last", true);
        e->setInt("Selected Node", 1);
        const auto rects = only(e->render(101, 101), "DrawRectangle");
        ASSERT_EQ(rects.size(), 2u) << "end nodes hidden";
        EXPECT_NEAR(rects[0].values[0], m.px(0.75f) - 5, 1e-3);
        EXPECT_NEAR(rects[1].values[0], m.px(0.25f) - 5, 1e-3) << "the selected node last";
        EXPECT_NEAR(rects[1].values[2] - rects[1].values[0], 10, 1e-4);
        EXPECT_FLOAT_EQ(rects[1].color.r, 1.0f) << "in white";
        e->setInt("Selected Node", 3);
        EXPECT_EQ(only(e->render(101, 101), "DrawRectangle").size(), 3u) << "a selected end node shows";
    }
    {
        auto e = made(L"QW_ShapeEditor5", shape, 0.0f);
        e->setBool("Lock First Last", true);
        e->setInt("Selected Node", 1);
        const auto rects = only(e->render(101, 101), "DrawRectangle");
        ASSERT_EQ(rects.size(), 4u);
        for (int i = 0; i < 4; ++i)
        {
            EXPECT_NEAR(rects[static_cast<size_t>(i)].values[0],
                        m.px(i == 0   ? 0
                             : i == 1 ? .25f
                             : i == 2 ? .75f
                                      : 1) -
                            5,
                        1e-3);
            EXPECT_NEAR(rects[static_cast<size_t>(i)].values[2] - rects[static_cast<size_t>(i)].values[0], 9, 1e-4);
        }
        EXPECT_FLOAT_EQ(rects[1].color.r, 1.0f);
        EXPECT_FLOAT_EQ(rects[0].color.r, 0.0f);
    }
    {
        auto e = made(L"QW_ShapeEditor6", shape, 0.0f);
        e->setBool("Circular Nodes", true);
        e->setBool("Fill Nodes", true);
        const auto calls = e->render(101, 101);
        EXPECT_EQ(only(calls, "FillEllipse").size(), 4u);
        EXPECT_TRUE(only(calls, "DrawRectangle").empty());
    }
}

TEST(ShapeEditorDraw, DragRebuildsTheForegroundAndGridTheBackground)
{
    auto e = made(L"QW_ShapeEditor6", L"(-5,0)(0,0)(5,0)", 0.0f);
    e->render(101, 101);
    auto calls = e->render(101, 101);
    EXPECT_TRUE(only(calls, "CreateCompatibleRenderTarget").empty()) << "unchanged: two copies";
    EXPECT_EQ(only(calls, "DrawBitmap").size(), 2u);
    Editor::wait(1000);
    ASSERT_EQ(e->down(50, 50), 1);
    e->move(50, 30);
    calls = e->render(101, 101);
    EXPECT_EQ(only(calls, "CreateCompatibleRenderTarget").size(), 1u);
    EXPECT_TRUE(only(calls, "FillRectangle").empty()) << "no background gradient";
    EXPECT_EQ(only(calls, "DrawGeometry").size(), 1u);
    e->setInt("Grid X", 3);
    calls = e->render(101, 101);
    EXPECT_EQ(only(calls, "CreateCompatibleRenderTarget").size(), 1u);
    EXPECT_EQ(only(calls, "FillRectangle").size(), 1u);
    EXPECT_TRUE(only(calls, "DrawGeometry").empty());
}

TEST(ShapeEditorDraw, CurveColourAtTheNodesBackgroundAway)
{
    auto e = made(L"QW_ShapeEditor6", L"(-5,-5)(0,5)(5,-5)", 3.5f);
    e->setBool("Fill Nodes", true);
    e->render(300, 200);
    const auto* bitmap = e->view().bitmap();
    ASSERT_NE(bitmap, nullptr);
    const Mapping m(300, 200, 0.035f);
    for (auto [x, y] : {std::pair<float, float>{0, -1}, {0.5f, 1}, {1, -1}})
    {
        const auto p = bitmap->pixel(static_cast<int>(m.px(x)), static_cast<int>(m.py(y)));
        EXPECT_EQ(p.r, 0) << x;
        EXPECT_NEAR(p.g, 0xA0, 2) << x;
        EXPECT_NEAR(p.b, 0xC0, 2) << x;
    }
    const auto far = bitmap->pixel(20, 15); // top left, off the grid
    EXPECT_EQ(far.r, far.g);
    EXPECT_EQ(far.g, far.b);
    EXPECT_LE(far.r, 0x30);
    EXPECT_EQ(far.a, 255);
}

TEST(ShapeEditorDraw, HostileRectanglesStayBounded)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case
    {
        float w, h;
        bool drawn;
    };
    for (auto c : {Case{0, 0, false}, Case{1, 1, true}, Case{nan, 50, false}, Case{1e9f, 50, true}})
    {
        SCOPED_TRACE(c.w);
        auto e = made(L"QW_ShapeEditor6", L"(-5,-5)(0,5)(5,-5)", 3.5f);
        e->view().arrange({0, 0, c.w, c.h});
        auto* f = e->view().factory();
        f->calls().clear();
        f->setRecording(true);
        e->view().render(64, 64);
        f->setRecording(false);
        const auto& calls = f->calls();
        if (!c.drawn)
        {
            EXPECT_TRUE(only(calls, "CreateCompatibleRenderTarget").empty());
            continue;
        }
        for (auto& g : only(calls, "FillGeometry"))
            EXPECT_LE(g.path.size(), 16384u + 2u);
        for (auto& g : only(calls, "DrawGeometry"))
            EXPECT_LE(g.path.size(), 16384u + 1u);
    }
    // The widest drawn: 16384 columns.
    auto e = made(L"QW_ShapeEditor6", L"(-5,-5)(0,5)(5,-5)", 0.0f);
    e->view().arrange({0, 0, 1e9f, 50});
    auto* f = e->view().factory();
    f->setRecording(true);
    e->view().render(64, 64);
    f->setRecording(false);
    const auto fills = only(f->calls(), "FillGeometry");
    ASSERT_FALSE(fills.empty());
    EXPECT_EQ(fills[0].path.size(), 16384u + 2u);
}

using ShapeEditorCommand = DrawCommand;

TEST_F(ShapeEditorCommand, DrawDragsTheMiddleNodeDown)
{
    // 300 x 200 with the default 3.5 % margin: the middle node (0.5, 1) sits at (149.5, 7).
    const auto png =
        draw("QW_ShapeEditor6", "300x200",
             {"--pin", "Shape=(-5,-5)(0,5)(5,-5)", "--pointer", "press 149.5,7; move 149.5,100; release 149.5,100"},
             "shapekit");
    ASSERT_EQ(last.code, 0);
    const std::string sent = "sent Shape = (-5,-5)(0,";
    const auto at = last.out.find(sent);
    ASSERT_NE(at, std::string::npos) << last.out;
    double y = 99;
    ASSERT_EQ(std::sscanf(last.out.c_str() + at + sent.size(), "%lf", &y), 1);
    EXPECT_NEAR(y, 5.0 * (1.0 - 93.0 * 2.0 / 185.0), 1e-3) << "lowered by 93 pixels of 185 for two units";
    ASSERT_EQ(png.width, 300);
    const auto node = png.at(149, 100);
    EXPECT_LT(node.r, 0x20);
    EXPECT_GT(node.b, 0x80);
    const auto corner = png.at(20, 15);
    EXPECT_EQ(corner.r, corner.b);
}

// Pixels of two bitmaps of one size that differ, as "x,y" texts (at most 5).
std::vector<std::string> differingPixels(const qwhost::drawing::Bitmap& a, const qwhost::drawing::Bitmap& b)
{
    std::vector<std::string> out;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
        {
            const auto p = a.pixel(x, y), q = b.pixel(x, y);
            if ((p.b != q.b || p.g != q.g || p.r != q.r || p.a != q.a) && out.size() < 5)
                out.push_back(std::to_string(x) + "," + std::to_string(y));
        }
    return out;
}

TEST(ShapeEditorDraw, DraggedFramesEqualWholeDrawings)
{
    // Twelve nodes along a wave; node 5 dragged up and down, a frame after
    // each move. A frame redrawn where the drag changed it must be, pixel for
    // pixel, what a new editor draws whole from the shape it sent and the
    // same selected node: every interpolation, thick curves and nodes,
    // filled nodes and a base line across the drag included.
    std::vector<qw::Shape::Node> wave;
    for (int i = 0; i < 12; ++i)
        wave.push_back({i / 11.0f, 0.7f * std::sin(0.9f * static_cast<float>(i))});
    struct Look
    {
        int interpolation, curve, nodeSize, nodeThickness;
        bool fill, circular;
        float baseLine;
    };
    const Look looks[] = {
        {30, 2, 10, 1, false, false, 0.0f},
        {20, 4, 20, 4, true, false, -1.0f},
        {10, 1, 4, 1, false, true, 2.0f},
        {30, 4, 12, 2, false, true, 4.0f},
    };
    const int w = 300, h = 160;
    const Mapping m(w, h, 0.035f);
    for (const Look& look : looks)
    {
        auto setUp = [&](Editor& e) {
            e.setInt("Interpolation", look.interpolation);
            e.setInt("Curve Thickness", look.curve);
            e.setInt("Node Size", look.nodeSize);
            e.setInt("Node Thickness", look.nodeThickness);
            e.setBool("Fill Nodes", look.fill);
            e.setBool("Circular Nodes", look.circular);
            e.setFloat("Base Line", look.baseLine);
        };
        Editor e;
        setUp(e);
        e.set("Shape", blobOfNodes(wave));
        e.render(w, h);
        Editor::wait(1000);
        const float x = m.px(wave[5].x), y0 = m.py(wave[5].y);
        ASSERT_EQ(e.down(x, y0), 1);
        e.render(w, h);
        for (float dy : {-6.0f, -30.0f, 25.0f, 3.0f, 0.5f})
        {
            e.move(x, y0 + dy);
            e.render(w, h);
            const qwhost::GuiValue* sent = e.last("Shape");
            ASSERT_TRUE(sent);
            Editor whole;
            setUp(whole);
            whole.set("Shape", sent->data);
            whole.setInt("Selected Node", 5);
            whole.render(w, h);
            const auto diff = differingPixels(*e.view().bitmap(), *whole.view().bitmap());
            EXPECT_TRUE(diff.empty()) << "interpolation " << look.interpolation << ", moved " << dy << ": first at "
                                      << (diff.empty() ? "" : diff[0]);
        }
    }
}
