// QW_FuncPlot through the built bundle: the grid's lines and colours, the
// curve's vertices, results held near the range, formulas that draw no
// curve, the line width, colour texts, and ranges and sizes that show the
// background only or must still finish. Rows and columns are worked here:
// on a w x h plot column i is x0 + i (x1 - x0) / (w - 1) and the value y lies
// on row (1 - (y - y0) / (y1 - y0)) (h - 1).
#include "drawn_fixture.h"
#include "mp_sdk_common.h"

#include <cmath>

using namespace drawntest;

namespace
{
struct Plot
{
    Plot(float x0, float x1, float y0, float y1, const std::wstring& formula = L"") : c(L"QW_FuncPlot")
    {
        c.setText("Formula", formula);
        c.setFloat("X Min", x0);
        c.setFloat("X Max", x1);
        c.setFloat("Y Min", y0);
        c.setFloat("Y Max", y1);
    }
    std::vector<DrawCall> curves(int w, int h) { return only(c.render(w, h), "DrawGeometry", 0); }
    Drawn c;
};

double row(double y, double y0, double y1, int h)
{
    return (1 - (y - y0) / (y1 - y0)) * (h - 1);
}

struct Line
{
    double at;
    GmpiDrawing_API::MP1_COLOR color;
};

// Grid lines across (rows) or along (columns), in drawing order; every one
// spans the plot and is 1 wide.
std::vector<Line> gridLines(const std::vector<DrawCall>& calls, bool rows, int w, int h)
{
    std::vector<Line> out;
    for (auto& l : only(calls, "DrawLine", 0))
    {
        EXPECT_EQ(l.values[4], 1.0);
        if (rows && l.values[1] == l.values[3])
        {
            EXPECT_EQ(l.values[0], 0);
            EXPECT_EQ(l.values[2], w);
            out.push_back({l.values[1], l.color});
        }
        else if (!rows && l.values[0] == l.values[2])
        {
            EXPECT_EQ(l.values[1], 0);
            EXPECT_EQ(l.values[3], h);
            out.push_back({l.values[0], l.color});
        }
    }
    return out;
}

std::vector<Line> withAlpha(const std::vector<Line>& lines, float alpha)
{
    std::vector<Line> out;
    for (auto& l : lines)
        if (l.color.a == alpha)
            out.push_back(l);
    return out;
}
} // namespace

TEST(FormulaPlot, TheUnitSquareOnA101PixelPlot)
{
    Plot p(0, 1, 0, 1, L"x");
    const auto calls = p.c.render(101, 101);
    for (bool rows : {true, false})
    {
        const auto lines = gridLines(calls, rows, 101, 101);
        // Tenths 10 pixels apart, at half the grid's alpha: k = 0 .. 10,
        // the value k x 0.1 (counted, not summed) reaching 1 at k = 10.
        const auto fine = withAlpha(lines, 0.5f);
        ASSERT_EQ(fine.size(), 11u) << (rows ? "rows" : "columns");
        for (int k = 0; k <= 10; ++k)
            EXPECT_NEAR(fine[k].at, rows ? 100 - 10 * k : 10 * k, 1e-4) << k;
        EXPECT_NEAR(fine[0].color.r, linear(0x80), 1e-6);
        EXPECT_NEAR(fine[0].color.b, 1.0, 1e-6);
        // Units: 0 in the axis colour (FF8080), 1 in the grid colour (80C0FF).
        const auto units = withAlpha(lines, 1.0f);
        ASSERT_EQ(units.size(), 2u);
        EXPECT_EQ(units[0].at, rows ? 100 : 0);
        EXPECT_NEAR(units[0].color.r, 1.0, 1e-6);
        EXPECT_NEAR(units[0].color.g, linear(0x80), 1e-6);
        EXPECT_EQ(units[1].at, rows ? 0 : 100);
        EXPECT_NEAR(units[1].color.g, linear(0xC0), 1e-6);
    }
    // x: the diagonal from the bottom-left to the top-right corner.
    const auto curves = only(calls, "DrawGeometry", 0);
    ASSERT_EQ(curves.size(), 1u);
    ASSERT_EQ(curves[0].path.size(), 101u);
    for (int i = 0; i <= 100; ++i)
    {
        EXPECT_NEAR(curves[0].path[i].x, i, 1e-6);
        EXPECT_NEAR(curves[0].path[i].y, 100 - i, 1e-3);
    }
    EXPECT_EQ(curves[0].color.r, 0.0f) << "black";
    EXPECT_EQ(curves[0].color.a, 1.0f);
    // Over a white background, inside a clip of the plot.
    const auto ground = only(calls, "FillRectangle", 0);
    ASSERT_EQ(ground.size(), 1u);
    EXPECT_EQ(ground[0].values, (std::vector<double>{0, 0, 101, 101}));
    EXPECT_NEAR(ground[0].color.r, 1.0, 1e-6);
    EXPECT_EQ(only(calls, "PushAxisAlignedClip", 0).size(), 1u);
    EXPECT_EQ(only(calls, "PopAxisAlignedClip", 0).size(), 1u);

    // Pixels: the curve, and white between it and the grid.
    const auto* bitmap = p.c.view().bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_LT(bitmap->pixel(55, 44).r, 160) << "the curve crosses this pixel";
    EXPECT_EQ(bitmap->pixel(53, 42).r, 255) << "white between the lines";
    EXPECT_EQ(bitmap->pixel(53, 42).b, 255);
}

TEST(FormulaPlot, NoTenthsCloserThanFourPixels)
{
    // Over 0 .. 1 the tenths lie (size - 1) / 10 pixels apart.
    for (const auto& [size, tenths] : {std::pair{30, 0u}, {40, 0u}, {41, 11u}})
    {
        Plot p(0, 1, 0, 1);
        const auto calls = p.c.render(size, size);
        for (bool rows : {true, false})
        {
            const auto lines = gridLines(calls, rows, size, size);
            EXPECT_EQ(withAlpha(lines, 0.5f).size(), tenths) << size;
            EXPECT_EQ(withAlpha(lines, 1.0f).size(), 2u) << "the unit lines remain";
        }
    }
}

TEST(FormulaPlot, ParametersAAndB)
{
    Plot p(0, 1, -1, 1, L"a*x+b");
    p.c.setFloat("A", 2);
    p.c.setFloat("B", -1);
    auto curves = p.curves(101, 101);
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_NEAR(curves[0].path.front().y, row(-1, -1, 1, 101), 1e-4) << "(0, -1)";
    EXPECT_NEAR(curves[0].path.back().y, row(1, -1, 1, 101), 1e-4) << "(1, 1)";
    EXPECT_NEAR(curves[0].path[25].y, row(-0.5, -1, 1, 101), 1e-4);

    // Pin A alone: a redraw, with the new slope and the same b.
    const size_t redraws = p.c.graphicsHost().redraws.size();
    p.c.setFloat("A", 1);
    EXPECT_EQ(p.c.graphicsHost().redraws.size(), redraws + 1);
    curves = p.curves(101, 101);
    EXPECT_NEAR(curves[0].path.back().y, row(0, -1, 1, 101), 1e-4);
    EXPECT_NEAR(curves[0].path.front().y, row(-1, -1, 1, 101), 1e-4);
}

TEST(FormulaPlot, UpperCaseFormulasPlotAsLowerCase)
{
    Plot upper(-3.2f, 3.2f, -1.2f, 1.2f, L"SIN(X)"), lower(-3.2f, 3.2f, -1.2f, 1.2f, L"sin(x)");
    const auto a = upper.curves(80, 40), b = lower.curves(80, 40);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    ASSERT_EQ(a[0].path.size(), 80u);
    for (size_t i = 0; i < 80; ++i)
        EXPECT_EQ(a[0].path[i].y, b[0].path[i].y);
    const double x = -3.2 + 20 * 6.4 / 79;
    EXPECT_NEAR(a[0].path[20].y, row(std::sin(x), -1.2, 1.2, 40), 1e-3);
}

TEST(FormulaPlot, ResultsOutsideTheRange)
{
    struct Case
    {
        const wchar_t* formula;
        double first, last; // rows of columns 0 and 40
    };
    // y from -1 to 1 on 41 x 41: y + 1 above row 0 is row -20.
    const Case cases[] = {
        {L"1/0", -20, -20},       // +infinity: at y maximum + 1
        {L"-1/0", 60, 60},        // -infinity: at y minimum - 1
        {L"x*10", 60, -20},       // held at -2 and at 2
        {L"sqrt(x)", 20, 0},      // NaN for x < 0: on the row of 0
        {L"0*1e38*1e38", 20, 20}, // 0 x infinity: NaN
    };
    for (const auto& k : cases)
    {
        Plot p(-1, 1, -1, 1, k.formula);
        const auto curves = p.curves(41, 41);
        ASSERT_EQ(curves.size(), 1u) << gmpi_sdk::toUtf8(k.formula);
        EXPECT_NEAR(curves[0].path.front().y, k.first, 1e-4) << gmpi_sdk::toUtf8(k.formula);
        EXPECT_NEAR(curves[0].path.back().y, k.last, 1e-4) << gmpi_sdk::toUtf8(k.formula);
    }
}

TEST(FormulaPlot, FormulasThatDrawNoCurveLeaveTheGrid)
{
    for (const wchar_t* f : {L"", L"y = x", L"x +", L"sin(", L"x $ 2", L"unknown(x)", L"q*x"})
    {
        Plot p(-1, 1, -1, 1, f);
        const auto calls = p.c.render(40, 40);
        EXPECT_TRUE(only(calls, "DrawGeometry").empty()) << "'" << gmpi_sdk::toUtf8(f) << "'";
        EXPECT_FALSE(only(calls, "DrawLine", 0).empty()) << "the grid";
    }
}

TEST(FormulaPlot, LineWidthOneToTen)
{
    for (const auto& [pin, width] : {std::pair{0.0f, 1.0}, {25.0f, 10.0}, {2.5f, 2.5}, {NAN, 1.0}, {-INFINITY, 1.0}})
    {
        Plot p(-1, 1, -1, 1, L"x");
        p.c.setFloat("Line Width", pin);
        const auto curves = p.curves(40, 40);
        ASSERT_EQ(curves.size(), 1u);
        EXPECT_EQ(curves[0].values[0], width) << pin;
    }
}

TEST(FormulaPlot, ColourTexts)
{
    struct Case
    {
        const char* pin;
        const wchar_t* text;
        float r, g, b, a;
    };
    const Case cases[] = {
        {"Background Colour", L"", 1, 1, 1, 1},                    // white
        {"Background Colour", L"xyz", 0, 0, 0, 0},                 // no digits: transparent
        {"Background Colour", L"80FF0000", 1, 0, 0, 128 / 255.0f}, //
        {"Curve Colour", L"FF00FF00zz", 0, 1, 0, 1},               // up to the first other character
        {"Curve Colour", L"", 0, 0, 0, 1},                         // black
    };
    for (const auto& k : cases)
    {
        Plot p(-1, 1, -1, 1, L"x");
        p.c.setText(k.pin, k.text);
        const auto calls = p.c.render(40, 40);
        const auto c = std::string(k.pin) == "Background Colour" ? only(calls, "FillRectangle", 0)[0].color
                                                                 : only(calls, "DrawGeometry", 0)[0].color;
        EXPECT_NEAR(c.r, k.r, 1e-6) << k.pin << " '" << gmpi_sdk::toUtf8(k.text) << "'";
        EXPECT_NEAR(c.g, k.g, 1e-6) << k.pin;
        EXPECT_NEAR(c.b, k.b, 1e-6) << k.pin;
        EXPECT_NEAR(c.a, k.a, 1e-6) << k.pin;
    }
}

TEST(FormulaPlot, RangesAndSizesThatShowTheBackgroundOnly)
{
    struct Case
    {
        float x0, x1, y0, y1;
        int w, h;
    };
    const Case cases[] = {
        {-1, 1, -1, 1, 19, 100},         {-1, 1, -1, 1, 100, 19},          {1, 1, -1, 1, 100, 100},
        {-1, 1, 2, 1, 100, 100},         {NAN, 1, -1, 1, 100, 100},        {-1, 1, -1, NAN, 100, 100},
        {-1, INFINITY, -1, 1, 100, 100}, {-3e38f, 3e38f, -1, 1, 100, 100},
    };
    for (const auto& k : cases)
    {
        Plot p(k.x0, k.x1, k.y0, k.y1, L"x");
        const auto calls = drawn(p.c.render(k.w, k.h));
        ASSERT_EQ(calls.size(), 1u) << k.x0 << " " << k.x1 << " " << k.y0 << " " << k.y1 << " " << k.w << "x" << k.h;
        EXPECT_EQ(calls[0].op, "FillRectangle");
    }
}

TEST(FormulaPlot, RowsOfATinySpanStayFinite)
{
    // One unit beyond a span of 1e-39 is some 1e39 rows away: held at 256
    // plot heights above or below the plot.
    struct Case
    {
        const wchar_t* formula;
        float y0, y1;
        double row;
    };
    const Case cases[] = {
        {L"1", 1e-40f, 1e-39f, -256 * 41},      // above
        {L"-1", 1e-40f, 1e-39f, 41 + 256 * 41}, // below
        {L"0/0", 1, 1.0001f, 41 + 256 * 41},    // NaN: on the row of 0, 4e5 rows below
        {L"1", 0, 0.1f, (1 - 1 / 0.1) * 40},    // far, but within the band
    };
    for (const auto& k : cases)
    {
        Plot p(-1, 1, k.y0, k.y1, k.formula);
        const auto calls = p.c.render(41, 41);
        EXPECT_TRUE(allFinite(calls));
        const auto curves = only(calls, "DrawGeometry", 0);
        ASSERT_EQ(curves.size(), 1u);
        EXPECT_NEAR(curves[0].path[7].y, k.row, std::fabs(k.row) * 1e-5) << gmpi_sdk::toUtf8(k.formula);
    }
}

TEST(FormulaPlot, ARangeWhereTheStepIsLostStillFinishes)
{
    Plot p(3e6f, 3e6f + 1, 3e6f, 3e6f + 1, L"x");
    const auto calls = p.c.render(101, 101);
    EXPECT_TRUE(allFinite(calls));
    for (bool rows : {true, false})
        EXPECT_LE(gridLines(calls, rows, 101, 101).size(), 2u * (101 / 4 + 2)) << "at most a bounded pass each";
    const auto curves = only(calls, "DrawGeometry", 0);
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].path.size(), 101u);
}

TEST(FormulaPlot, RedrawsOnlyAfterInitialize)
{
    Drawn c(L"QW_FuncPlot", qwhost::Echo::None, false);
    c.module().setText(c.pin("Formula"), L"x");
    c.module().setFloat(c.pin("A"), 2);
    c.module().setText(c.pin("Grid Colour"), L"FF000000");
    EXPECT_TRUE(c.graphicsHost().redraws.empty());
    c.module().initialize();
    EXPECT_EQ(c.graphicsHost().redraws.size(), 1u);
    for (const char* pin : {"Formula", "Axis Colour"})
    {
        const size_t before = c.graphicsHost().redraws.size();
        c.module().setText(c.pin(pin), L"");
        EXPECT_EQ(c.graphicsHost().redraws.size(), before + 1) << pin;
    }
    for (const char* pin : {"B", "Y Max", "Line Width"})
    {
        const size_t before = c.graphicsHost().redraws.size();
        c.module().setFloat(c.pin(pin), 3);
        EXPECT_EQ(c.graphicsHost().redraws.size(), before + 1) << pin;
    }
}

TEST(FormulaPlot, LongAndMalformedFormulas)
{
    std::wstring sum = L"x";
    while (sum.size() < 10000)
        sum += L"+x*0.001";
    const std::wstring texts[] = {sum,
                                  std::wstring(5000, L'(') + L"x" + std::wstring(5000, L')'),
                                  std::wstring(10000, L'('),
                                  std::wstring(10000, L'x'),
                                  L"x\xD800",
                                  L"x\x0001",
                                  L"1e999999",
                                  L"a=b=c=d=e=f=g=h=i=j=k=x"};
    for (const auto& f : texts)
    {
        Plot p(-1, 1, -1, 1, f);
        EXPECT_TRUE(allFinite(p.c.render(200, 100))) << gmpi_sdk::toUtf8(f.substr(0, 40));
    }
    // The long sum is a formula like any other: 1.0 x 1.25 at x = 1 ...
    Plot p(-1, 1, -2, 2, sum);
    const auto curves = p.curves(200, 100);
    ASSERT_EQ(curves.size(), 1u);
    ASSERT_EQ(curves[0].path.size(), 200u);
    const double terms = (sum.size() - 1) / 8.0; // "+x*0.001" each
    EXPECT_NEAR(curves[0].path.back().y, row(1 + terms * 0.001, -2, 2, 100), 1e-2);
    // ... and a text ends at its first zero character.
    Plot z(-1, 1, -2, 2, std::wstring(L"x\0+1", 4));
    const auto cut = z.curves(200, 100);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_NEAR(cut[0].path.back().y, row(1, -2, 2, 100), 1e-4);
}
