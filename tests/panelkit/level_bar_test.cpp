// QW_LevelBar2 and its older form QW_LevelBar through the built bundle: the
// bar drawn for each orientation, mode and level, colour pins, the drag with
// the host's echo on and off, and the hit test.
#include "drawn_fixture.h"
#include "mp_sdk_common.h"

#include <limits>

using namespace drawntest;
using qwhost::Echo;

namespace
{
struct Rgba
{
    double r, g, b, a;
};
const Rgba kA{1, 0, 0, 1}; // bar A: FFFF0000
const Rgba kB{0, 0, 1, 1}; // bar B: FF0000FF

// A recorded gradient: start, end, then each stop's position and colour.
std::vector<double> gradient(double sx, double sy, double ex, double ey, Rgba first, Rgba second)
{
    return {sx, sy, ex, ey, 0, first.r, first.g, first.b, first.a, 1, second.r, second.g, second.b, second.a};
}

struct BarCase
{
    const char* name;
    int w, h;
    int orientation;
    bool centre;
    float level;
    std::vector<double> bar;  // gradient
    std::vector<double> rect; // filled
};

const BarCase kBars[] = {
    {"horizontal fills from the left", 200, 40, 0, false, 0.25f, gradient(0, 0, 200, 0, kA, kB), {0, 0, 50, 40}},
    {"vertical fills from the bottom", 40, 200, 1, false, 0.25f, gradient(0, 200, 0, 0, kA, kB), {0, 150, 40, 200}},
    {"any orientation but 0 is vertical", 40, 200, -7, false, 0.25f, gradient(0, 200, 0, 0, kA, kB), {0, 150, 40, 200}},
    {"centre, left half", 200, 40, 0, true, 0.25f, gradient(0, 0, 100, 0, kB, kA), {50, 0, 100, 40}},
    {"centre, right half", 200, 40, 0, true, 0.75f, gradient(99, 0, 200, 0, kA, kB), {100, 0, 150, 40}},
    {"centre, lower half", 40, 200, 1, true, 0.25f, gradient(0, 100, 0, 200, kA, kB), {0, 100, 40, 150}},
    {"centre, upper half", 40, 200, 1, true, 0.75f, gradient(0, 0, 0, 101, kB, kA), {0, 50, 40, 100}},
    {"1.7 is a full bar", 200, 40, 0, false, 1.7f, gradient(0, 0, 200, 0, kA, kB), {0, 0, 200, 40}},
    {"centre, 1.7 fills the right half", 200, 40, 0, true, 1.7f, gradient(99, 0, 200, 0, kA, kB), {100, 0, 200, 40}},
    {"centre, -0.3 fills the left half", 200, 40, 0, true, -0.3f, gradient(0, 0, 100, 0, kB, kA), {0, 0, 100, 40}},
    {"centre, -0.3 fills the lower half", 40, 200, 1, true, -0.3f, gradient(0, 100, 0, 200, kA, kB), {0, 100, 40, 200}},
};

void setBarColours(Drawn& c)
{
    c.setText("Bar Colour A", L"FFFF0000");
    c.setText("Bar Colour B", L"FF0000FF");
}
} // namespace

TEST(LevelBar, DrawsTheBackgroundThenTheBarOfEachCase)
{
    // The older form draws the same, without centre mode.
    for (const std::wstring id : {L"QW_LevelBar2", L"QW_LevelBar"})
        for (const auto& b : kBars)
        {
            const bool older = id == L"QW_LevelBar";
            if (older && b.centre)
                continue;
            const std::string what = gmpi_sdk::toUtf8(id) + ", " + b.name;
            Drawn c(id.c_str());
            setBarColours(c);
            c.setInt("Orientation", b.orientation);
            if (!older)
                c.setBool("Centre", b.centre);
            c.setFloat("Level", b.level);
            const auto calls = c.render(b.w, b.h);
            const auto gradients = only(calls, "CreateLinearGradientBrush");
            const auto fills = only(calls, "FillRectangle");
            ASSERT_EQ(gradients.size(), 2u) << what;
            ASSERT_EQ(fills.size(), 2u) << what;
            // The background fills the whole control with grey (code 176) to
            // white, left to right, or bottom to top.
            const Rgba grey{linear(176), linear(176), linear(176), 1}, white{1, 1, 1, 1};
            const bool vertical = b.orientation != 0;
            expectNear(gradients[0].values,
                       vertical ? gradient(0, b.h, 0, 0, grey, white) : gradient(0, 0, b.w, 0, grey, white),
                       what + ": background");
            expectNear(fills[0].values, {0, 0, double(b.w), double(b.h)}, what);
            expectNear(gradients[1].values, b.bar, what + ": bar gradient");
            expectNear(fills[1].values, b.rect, what + ": bar");
            EXPECT_EQ(fills[1].brush, "linear");
            EXPECT_TRUE(only(calls, "DrawRectangle").empty()) << what << ": the default border is transparent";
        }
}

TEST(LevelBar, NoBarAtZeroBelowZeroOrExactlyHalfInCentreMode)
{
    struct Case
    {
        bool centre;
        float level;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const Case k : {Case{false, 0.0f}, Case{false, -0.3f}, Case{false, nan}, Case{true, 0.5f}})
    {
        Drawn c(L"QW_LevelBar2");
        c.setText("Border Colour", L"FF000000");
        c.setBool("Centre", k.centre);
        c.setFloat("Level", k.level);
        const auto calls = c.render(200, 40);
        EXPECT_EQ(only(calls, "CreateLinearGradientBrush").size(), 1u) << k.level;
        EXPECT_EQ(only(calls, "FillRectangle").size(), 1u) << k.level << ": the background only";
        const auto border = only(calls, "DrawRectangle");
        ASSERT_EQ(border.size(), 1u) << k.level;
        EXPECT_EQ(border[0].values, (std::vector<double>{0.5, 0.5, 199.5, 39.5, 1}));
    }
}

TEST(LevelBar, TheOlderFormMakesItsBarBrushOnEveryRender)
{
    for (const wchar_t* id : {L"QW_LevelBar", L"QW_LevelBar2"})
    {
        Drawn c(id);
        setBarColours(c);
        c.setFloat("Level", 0.0f);
        const auto calls = c.render(200, 40);
        const auto gradients = only(calls, "CreateLinearGradientBrush");
        EXPECT_TRUE(only(calls, "FillRectangle").size() == 1u);
        if (std::wstring(id) == L"QW_LevelBar2")
        {
            EXPECT_EQ(gradients.size(), 1u);
            continue;
        }
        // With the background's points, though nothing is filled with it.
        ASSERT_EQ(gradients.size(), 2u);
        expectNear(gradients[1].values, gradient(0, 0, 200, 0, kA, kB), "older form's bar brush");
    }
}

TEST(LevelBar, TheOlderFormsPinOrder)
{
    Drawn c(L"QW_LevelBar");
    const std::vector<std::string> names = {"Level",        "Pointer Down",        "Orientation",
                                            "Pass Through", "Background Colour A", "Background Colour B",
                                            "Bar Colour A", "Bar Colour B",        "Border Colour"};
    ASSERT_EQ(c.module().pinCount(), 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(c.module().pinInfo(i).name, names[static_cast<size_t>(i)]);
    EXPECT_TRUE(qwtest::checkGuiPins(c.module()).empty());
    // Pin 3 passes the pointer through; pin 6 is bar colour A.
    c.module().setBool(3, true);
    EXPECT_EQ(c.view().hitTest({5, 5}), -1);
    c.module().setText(6, L"FF00FF00");
    c.setFloat("Level", 0.5f);
    expectNear(only(c.render(200, 40), "CreateLinearGradientBrush")[1].values,
               gradient(0, 0, 200, 0, {0, 1, 0, 1}, {1, 0, 0, 96 / 255.0}), "pin 6");
}

TEST(LevelBar, ColourTexts)
{
    struct Case
    {
        std::wstring text;
        Rgba expected;
    };
    const Case cases[] = {
        {L"FF00FF00", {0, 1, 0, 1}},                                              // opaque green
        {L"00FF00", {0, 1, 0, 0}},                                                // six digits: alpha 0, invisible
        {L"", {1, 0, 0, 96 / 255.0}},                                             // the default, red at alpha 96
        {L"80402010zz", {linear(0x40), linear(0x20), linear(0x10), 128 / 255.0}}, // stops at the first non-digit
        {L"not a colour", {0, 0, 0, 0}},                                          // no digits: transparent black
        {L"1FFFFFFFF", {1, 1, 1, 1}},                                             // only the low 32 bits count
    };
    for (const auto& k : cases)
    {
        Drawn c(L"QW_LevelBar2");
        c.setText("Bar Colour A", L"FF123456"); // then replaced
        c.setText("Bar Colour A", k.text);
        c.setFloat("Level", 0.5f);
        const auto g = only(c.render(200, 40), "CreateLinearGradientBrush");
        ASSERT_EQ(g.size(), 2u);
        expectNear({g[1].values.begin() + 5, g[1].values.begin() + 9},
                   {k.expected.r, k.expected.g, k.expected.b, k.expected.a}, "bar colour A");
    }
}

TEST(LevelBar, TheBorderIsDrawnOnlyWhenItsAlphaIsAboveZero)
{
    for (const auto& [text, drawn] :
         std::vector<std::pair<std::wstring, bool>>{{L"", false}, {L"00FFFFFF", false}, {L"01000000", true}})
    {
        Drawn c(L"QW_LevelBar2");
        c.setText("Border Colour", text);
        const auto border = only(c.render(200, 40), "DrawRectangle");
        EXPECT_EQ(border.size(), drawn ? 1u : 0u);
    }
}

class LevelBarDrag : public ::testing::TestWithParam<Echo>
{};

TEST_P(LevelBarDrag, TenUnitsOnTwoHundredIsAnIncrementOfFiveHundredths)
{
    Drawn c(L"QW_LevelBar2", GetParam());
    c.setFloat("Level", 0.5f);
    c.render(200, 40);
    EXPECT_EQ(c.down(100, 20), 0);
    EXPECT_EQ(c.sentBools("Pointer Down"), std::vector<bool>{true});
    EXPECT_TRUE(c.graphicsHost().captured());
    const size_t redraws = c.graphicsHost().redraws.size();
    EXPECT_EQ(c.move(110, 20), 0);
    EXPECT_EQ(c.move(120, 21, kLeftFine), 0);
    const auto sent = c.sentFloats("Level");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_FLOAT_EQ(sent[0], 0.55f);
    EXPECT_FLOAT_EQ(sent[1], 0.555f);
    // The bar follows at once; the value's echo, now or later, asks for no
    // further redraw.
    EXPECT_EQ(c.graphicsHost().redraws.size(), redraws + 2);
    EXPECT_NEAR(only(c.render(200, 40), "FillRectangle")[1].values[2], 0.555 * 200, 1e-3);

    // Beyond either end the level holds at 1 or 0.
    c.clearSent();
    c.move(1000, 20);
    c.move(1500, 20);
    c.move(-3000, 20);
    c.move(-3100, 20);
    EXPECT_EQ(c.sentFloats("Level"), (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(c.up(-3100, 20), 0);
    EXPECT_EQ(c.sentBools("Pointer Down"), std::vector<bool>{false});
    EXPECT_FALSE(c.graphicsHost().captured());
}

TEST_P(LevelBarDrag, AVerticalBarRisesAsThePointerMovesUp)
{
    Drawn c(L"QW_LevelBar2", GetParam());
    c.setInt("Orientation", 1);
    c.setFloat("Level", 0.5f);
    c.render(40, 200);
    c.down(20, 100);
    c.move(25, 90); // x is not looked at
    c.move(25, 100);
    c.up(25, 100);
    const auto sent = c.sentFloats("Level");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_FLOAT_EQ(sent[0], 0.55f);
    EXPECT_FLOAT_EQ(sent[1], 0.5f);
}

INSTANTIATE_TEST_SUITE_P(Echo, LevelBarDrag, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });

TEST(LevelBar, OnlyTheLeftButtonStartsADrag)
{
    Drawn c(L"QW_LevelBar2");
    c.render(200, 40);
    EXPECT_EQ(c.down(100, 20, 0), -1);
    EXPECT_EQ(c.down(100, 20, kFine), -1);
    EXPECT_FALSE(c.graphicsHost().captured());
    EXPECT_EQ(c.move(150, 20), -1);
    EXPECT_TRUE(c.module().transmits.empty());
}

TEST(LevelBar, AReleaseAlwaysClearsThePointerDownPin)
{
    Drawn c(L"QW_LevelBar2");
    c.setBool("Pointer Down", true);
    EXPECT_EQ(c.up(5, 5, 0), 0);
    EXPECT_EQ(c.sentBools("Pointer Down"), std::vector<bool>{false});
}

TEST(LevelBar, ADragBeforeTheFirstRenderChangesNothing)
{
    Drawn c(L"QW_LevelBar2");
    c.setFloat("Level", 0.5f);
    EXPECT_EQ(c.down(10, 10), 0);
    EXPECT_EQ(c.move(50, 10), 0);
    EXPECT_EQ(c.move(-50, 10), 0);
    EXPECT_TRUE(c.sentFloats("Level").empty());
}

TEST(LevelBar, PassThroughReportsEveryPointAsOutside)
{
    for (const wchar_t* id : {L"QW_LevelBar2", L"QW_LevelBar"})
    {
        Drawn c(id);
        c.render(200, 40);
        EXPECT_EQ(c.view().hitTest({100, 20}), 0);
        EXPECT_EQ(c.view().hitTest({-1000, 1e9f}), 0);
        c.setBool("Pass Through", true);
        EXPECT_EQ(c.view().hitTest({100, 20}), -1);
        EXPECT_EQ(c.view().hitTest({0, 0}), -1);
    }
}
