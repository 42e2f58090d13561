// QW_FuncPlotDuo through the built bundle: the curve's path, the clamping of
// results, the grid's rows and colours, formulas that draw nothing, the
// stroke width and the ranges and sizes that show the background only.
#include "drawn_fixture.h"
#include "mp_sdk_common.h"

#include <cmath>

using namespace drawntest;

namespace
{
struct Plot
{
    Plot(float x0, float x1, float y0, float y1, const std::wstring& f1 = L"", const std::wstring& f2 = L"")
        : c(L"QW_FuncPlotDuo")
    {
        c.setText("Formula 1", f1);
        c.setText("Formula 2", f2);
        c.setFloat("X min", x0);
        c.setFloat("X max", x1);
        c.setFloat("Y min", y0);
        c.setFloat("Y max", y1);
    }
    Drawn c;
};

struct Line
{
    double at;
    GmpiDrawing_API::MP1_COLOR color;
};

// The grid lines across (horizontal) or along (vertical), in drawing order.
std::vector<Line> gridLines(const std::vector<DrawCall>& calls, bool horizontal)
{
    std::vector<Line> out;
    for (auto& l : only(calls, "DrawLine", 0))
    {
        EXPECT_EQ(l.values[4], 1.0) << "grid lines are 1 wide";
        if (horizontal && l.values[1] == l.values[3] && l.values[0] == 0)
            out.push_back({l.values[1], l.color});
        else if (!horizontal && l.values[0] == l.values[2] && l.values[1] == 0)
            out.push_back({l.values[0], l.color});
    }
    return out;
}

size_t countAlpha(const std::vector<Line>& lines, float alpha)
{
    size_t n = 0;
    for (auto& l : lines)
        n += l.color.a == alpha;
    return n;
}
} // namespace

TEST(FuncPlot, TheCurveOfXOnASmallPlot)
{
    Plot p(-1, 1, -1, 1, L"x");
    const auto calls = p.c.render(21, 21);
    const auto curves = only(calls, "DrawGeometry", 0);
    ASSERT_EQ(curves.size(), 1u);
    ASSERT_EQ(curves[0].path.size(), 21u);
    for (int i = 0; i < 21; ++i)
    {
        const double x = -1 + i * 0.1;             // px: i = (x + 1) / 2 x 20
        const double row = (1 - (x + 1) / 2) * 20; // py
        EXPECT_NEAR(curves[0].path[i].x, i, 1e-6);
        EXPECT_NEAR(curves[0].path[i].y, row, 1e-4) << "column " << i;
    }
    EXPECT_EQ(curves[0].color.r, 0.0f) << "curve 1 black";
    EXPECT_EQ(curves[0].values[0], 1.0) << "stroke";
    // Inside a clip of the control, over the filled background.
    const auto clip = only(calls, "PushAxisAlignedClip", 0);
    ASSERT_EQ(clip.size(), 1u);
    EXPECT_EQ(clip[0].values, (std::vector<double>{0, 0, 21, 21}));
    const auto ground = only(calls, "FillRectangle", 0);
    ASSERT_EQ(ground.size(), 1u);
    EXPECT_NEAR(ground[0].color.r, 1.0, 1e-6);
}

TEST(FuncPlot, ResultsAreHeldWithinOneUnitOfTheRange)
{
    Plot p(-5, 5, 0, 1, L"x");
    const auto curves = only(p.c.render(101, 41), "DrawGeometry", 0);
    ASSERT_EQ(curves.size(), 1u);
    const auto& path = curves[0].path;
    EXPECT_NEAR(path.front().y, (1 - (-1 - 0) / 1.0) * 40, 1e-4) << "-5 held at -1";
    EXPECT_NEAR(path.back().y, (1 - (2 - 0) / 1.0) * 40, 1e-4) << "5 held at 2";
    EXPECT_NEAR(path[50].y, 40, 1e-4) << "0";
}

TEST(FuncPlot, CurveTwoLiesOverCurveOneAndFollowsTheParameters)
{
    Plot p(-1, 1, -1, 1, L"a*x", L"-x");
    p.c.setFloat("A", 0.5f);
    auto curves = only(p.c.render(21, 21), "DrawGeometry", 0);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_NEAR(curves[0].path.back().y, 5, 1e-4);  // 0.5 at x = 1
    EXPECT_NEAR(curves[1].path.back().y, 20, 1e-4); // -1
    EXPECT_NEAR(curves[1].color.b, 1.0, 1e-6) << "curve 2 blue";
    const size_t redraws = p.c.graphicsHost().redraws.size();
    p.c.setFloat("A", 1);
    EXPECT_GT(p.c.graphicsHost().redraws.size(), redraws);
    curves = only(p.c.render(21, 21), "DrawGeometry", 0);
    EXPECT_NEAR(curves[0].path.back().y, 0, 1e-4);
}

TEST(FuncPlot, FormulasThatDrawNoCurve)
{
    for (const wchar_t* f : {L"", L"y = x", L"1/", L"sin(", L"x $ 2"})
    {
        Plot p(-1, 1, -1, 1, f, L"x");
        const auto curves = only(p.c.render(40, 40), "DrawGeometry", 0);
        ASSERT_EQ(curves.size(), 1u) << "'" << gmpi_sdk::toUtf8(f) << "'";
        EXPECT_NEAR(curves[0].color.b, 1.0, 1e-6) << "only curve 2";
    }
}

TEST(FuncPlot, UpperCaseFormulasPlotAsLowerCase)
{
    Plot upper(-3, 3, -1.2f, 1.2f, L"SIN(X)"), lower(-3, 3, -1.2f, 1.2f, L"sin(x)");
    const auto a = only(upper.c.render(60, 40), "DrawGeometry", 0);
    const auto b = only(lower.c.render(60, 40), "DrawGeometry", 0);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    ASSERT_EQ(a[0].path.size(), 60u);
    for (size_t i = 0; i < 60; ++i)
        EXPECT_EQ(a[0].path[i].y, b[0].path[i].y);
    const double x = -3 + 30 * 6.0 / 59;
    EXPECT_NEAR(a[0].path[30].y, (1 - (std::sin(x) + 1.2) / 2.4) * 39, 1e-3);
}

TEST(FuncPlot, StrokeWidthIsHeldBetweenOneAndTen)
{
    for (const auto& [pin, width] : {std::pair{0.2f, 1.0}, {25.0f, 10.0}, {3.5f, 3.5}, {NAN, 1.0}})
    {
        Plot p(-1, 1, -1, 1, L"x");
        p.c.setFloat("Stroke Width", pin);
        const auto calls = p.c.render(40, 40);
        const auto curves = only(calls, "DrawGeometry", 0);
        ASSERT_EQ(curves.size(), 1u);
        EXPECT_EQ(curves[0].values[0], width) << pin;
        gridLines(calls, true); // grid lines stay 1 wide
    }
}

TEST(FuncPlot, TheGridShowsTenthsWhenTheyAreFourPixelsApart)
{
    Plot tall(-1, 1, -1, 1);
    const auto lines = gridLines(tall.c.render(100, 201), true);
    // Tenths 10 pixels apart: 21 half-alpha lines, then the unit lines.
    ASSERT_EQ(lines.size(), 24u);
    EXPECT_EQ(countAlpha(lines, 0.5f), 21u);
    for (int k = 0; k < 21; ++k)
        EXPECT_NEAR(lines[k].at, (1 - (-1.0 + 0.1 * k + 1) / 2) * 200, 1e-3) << k;
    const double units[3] = {200, 100, 0};
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(lines[21 + k].at, units[k], 1e-4);
    EXPECT_NEAR(lines[21].color.r, linear(0x80), 1e-6) << "grid at -1";
    EXPECT_NEAR(lines[22].color.r, 1.0, 1e-6) << "axis at 0";
    EXPECT_NEAR(lines[22].color.g, linear(0x80), 1e-6);
    EXPECT_NEAR(lines[23].color.r, linear(0x80), 1e-6) << "grid at 1";

    Plot low(-1, 1, -1, 1);
    const auto few = gridLines(low.c.render(100, 30), true); // tenths 1.45 apart
    EXPECT_EQ(few.size(), 3u);
    EXPECT_EQ(countAlpha(few, 0.5f), 0u);
    // Vertical lines likewise: 100 wide, tenths 4.95 apart.
    const auto across = gridLines(low.c.render(100, 30), false);
    EXPECT_EQ(countAlpha(across, 0.5f), 21u);
    EXPECT_EQ(across.size(), 24u);
}

TEST(FuncPlot, TheTenthsStartAtTheTruncatedMinimum)
{
    // From 0.3, whose row lies below the control, so the first drawn is 0.4.
    Plot a(-1, 1, 0.35f, 1.35f);
    const auto la = gridLines(a.c.render(30, 201), true);
    ASSERT_FALSE(la.empty());
    EXPECT_NEAR(la[0].at, (1 - (0.4 - 0.35) / 1.0) * 200, 1e-3);
    // From -1.0.
    Plot b(-1, 1, -1.05f, 0.95f);
    const auto lb = gridLines(b.c.render(30, 201), true);
    ASSERT_FALSE(lb.empty());
    EXPECT_NEAR(lb[0].at, (1 - (-1.0 + 1.05) / 2.0) * 200, 1e-3);
}

TEST(FuncPlot, GridPassesEndWhereTheStepIsLostInRounding)
{
    Plot p(-1, 1, 16777215.0f, 16777218.0f, L"x");
    const auto calls = p.c.render(100, 100);
    const auto lines = gridLines(calls, true);
    EXPECT_GE(lines.size(), 1u);
    EXPECT_LE(lines.size(), 100u / 4 + 2);
    EXPECT_TRUE(allFinite(calls));
}

TEST(FuncPlot, SomeRangesAndSizesShowTheBackgroundOnly)
{
    struct Case
    {
        float x0, x1, y0, y1;
        int w, h;
    };
    const Case cases[] = {
        {-1, 1, -1, 1, 19, 100},
        {-1, 1, -1, 1, 100, 19},
        {1, 1, -1, 1, 100, 100},
        {-1, 1, 2, 1, 100, 100},
        {NAN, 1, -1, 1, 100, 100},
        {-1, 1, -1, NAN, 100, 100},
        {-INFINITY, INFINITY, -1, 1, 100, 100},
        {-3e38f, 3e38f, -1, 1, 100, 100},
    };
    for (const auto& k : cases)
    {
        Plot p(k.x0, k.x1, k.y0, k.y1, L"x", L"x*x");
        const auto calls = drawn(p.c.render(k.w, k.h));
        ASSERT_EQ(calls.size(), 1u) << k.x0 << " " << k.x1 << " " << k.y0 << " " << k.y1 << " " << k.w << "x" << k.h;
        EXPECT_EQ(calls[0].op, "FillRectangle");
    }
}

TEST(FuncPlot, ColoursFromTextsAndDefaults)
{
    Plot p(-1, 1, -1, 1, L"x");
    p.c.setText("Background Colour", L"FF000000");
    p.c.setText("Curve 1 Colour", L"80FF0000");
    auto calls = p.c.render(40, 40);
    EXPECT_EQ(only(calls, "FillRectangle", 0)[0].color.r, 0.0f);
    const auto curve = only(calls, "DrawGeometry", 0)[0].color;
    EXPECT_NEAR(curve.r, 1.0, 1e-6);
    EXPECT_NEAR(curve.a, 128 / 255.0, 1e-6);
    p.c.setText("Background Colour", L"");
    calls = p.c.render(40, 40);
    EXPECT_NEAR(only(calls, "FillRectangle", 0)[0].color.r, 1.0, 1e-6) << "empty: the default again";
}
