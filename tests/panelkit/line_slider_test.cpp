// The line slider (QW_Line2, and QW_Line3 with the same pins) through the
// built bundle: the bar drawn from the recorded calls and a few pixels, the
// press and drag of each mouse mode with the host's echo inside the call,
// later and none, thickness and colour pins, and a bar as thick as its
// travel. Positions are worked by hand: a bar of thickness t over a travel L
// starts at (L - t) x position, and a pointer at c asks for the position
// (c - t / 2) / (L - t), held within 0 .. 1.
#include "drawn_fixture.h"
#include "mp_sdk_common.h"

using namespace drawntest;
using qwhost::Echo;

namespace
{
// A control of w x h with the bar 10 thick; orientation 0 travels down.
struct Line
{
    explicit Line(int mode, Echo echo = Echo::None, int orientation = 0, int w = 30, int h = 100,
                  const wchar_t* id = L"QW_Line2")
        : c(id, echo), w(w), h(h)
    {
        c.setInt("Orientation", orientation);
        c.setInt("Mouse Mode", mode);
        c.setInt("Thickness", 10);
        c.render(w, h);
    }
    // The bar: the second rectangle filled on the screen.
    std::vector<double> bar()
    {
        const auto fills = only(c.render(w, h), "FillRectangle", 0);
        EXPECT_EQ(fills.size(), 2u);
        return fills.size() == 2 ? fills[1].values : std::vector<double>{};
    }
    float position()
    {
        const auto sent = c.sentFloats("Position");
        return sent.empty() ? NAN : sent.back();
    }
    Drawn c;
    int w, h;
};

class LineEcho : public ::testing::TestWithParam<Echo>
{};
} // namespace

TEST(LineSlider, TheBarOverTheTravel)
{
    struct Case
    {
        int orientation;
        float position;
        std::vector<double> bar;
    };
    const Case cases[] = {
        {0, 0.0f, {0, 0, 30, 10}},                                // at the top
        {0, 1.0f, {0, 90, 30, 100}},                              // at the bottom
        {0, 0.5f, {0, 45, 30, 55}},  {0, 7.0f, {0, 90, 30, 100}}, // held at 1
        {0, -2.0f, {0, 0, 30, 10}},                               // held at 0
        {0, NAN, {0, 0, 30, 10}},                                 // not a number: 0
        {1, 1.0f, {20, 0, 30, 100}},                              // across a 30-wide control
        {5, 0.25f, {5, 0, 15, 100}},                              // any orientation but 0 travels across
        {-1, 0.0f, {0, 0, 10, 100}},                              //
    };
    for (const auto& k : cases)
    {
        Line l(1, Echo::None, k.orientation);
        l.c.setFloat("Position", k.position);
        EXPECT_EQ(l.bar(), k.bar) << "orientation " << k.orientation << ", position " << k.position;
    }
}

TEST(LineSlider, DrawsTheBackgroundThenTheBar)
{
    Line l(1, Echo::None, 0, 30, 100);
    l.c.setText("Background Colour", L"FF0000FF");
    l.c.setFloat("Position", 1);
    const auto calls = drawn(l.c.render(30, 100));
    ASSERT_EQ(calls.size(), 2u) << "two fills and nothing else";
    EXPECT_EQ(calls[0].values, (std::vector<double>{0, 0, 30, 100}));
    EXPECT_NEAR(calls[0].color.b, 1.0, 1e-6);
    // The default bar colour is sRGB FF8000, opaque.
    EXPECT_NEAR(calls[1].color.r, 1.0, 1e-6);
    EXPECT_NEAR(calls[1].color.g, linear(0x80), 1e-6);
    EXPECT_EQ(calls[1].color.b, 0.0f);
    EXPECT_EQ(calls[1].color.a, 1.0f);

    // Pixels: blue above the bar, orange on it.
    const auto* bitmap = l.c.view().bitmap();
    ASSERT_NE(bitmap, nullptr);
    const auto above = bitmap->pixel(15, 85), on = bitmap->pixel(15, 95);
    EXPECT_EQ(above.b, 255);
    EXPECT_EQ(above.r, 0);
    EXPECT_EQ(on.r, 255);
    EXPECT_EQ(on.g, 128);
    EXPECT_EQ(on.b, 0);
    EXPECT_EQ(on.a, 255);
}

TEST(LineSlider, ThicknessIsOneToSixtyFour)
{
    for (const auto& [pin, thickness] : {std::pair{0, 1.0}, {-5, 1.0}, {100, 64.0}, {64, 64.0}, {7, 7.0}})
    {
        Line l(1, Echo::None, 0, 30, 200);
        l.c.setInt("Thickness", pin);
        l.c.setFloat("Position", 1);
        EXPECT_EQ(l.bar(), (std::vector<double>{0, 200 - thickness, 30, 200})) << pin;
    }
}

TEST(LineSlider, AnEmptyColourTextBringsBackTheDefault)
{
    Line l(1);
    l.c.setText("Bar Colour", L"FF0000FF");
    auto bar = only(l.c.render(30, 100), "FillRectangle", 0).back();
    EXPECT_EQ(bar.color.r, 0.0f);
    EXPECT_NEAR(bar.color.b, 1.0, 1e-6);
    l.c.setText("Bar Colour", L"");
    bar = only(l.c.render(30, 100), "FillRectangle", 0).back();
    EXPECT_NEAR(bar.color.r, 1.0, 1e-6);
    EXPECT_NEAR(bar.color.g, linear(0x80), 1e-6);
    EXPECT_EQ(bar.color.b, 0.0f);

    // A text that is not hexadecimal reads as 0: transparent; the
    // background's own default is transparent too.
    l.c.setText("Bar Colour", L"orange");
    bar = only(l.c.render(30, 100), "FillRectangle", 0).back();
    EXPECT_EQ(bar.color.a, 0.0f);
    EXPECT_EQ(only(l.c.render(30, 100), "FillRectangle", 0)[0].color.a, 0.0f);
}

TEST_P(LineEcho, JumpSetsThePositionWithoutCapture)
{
    struct Case
    {
        float y;
        float position;
    };
    // Height 100, thickness 10: (y - 5) / 90, the bar centred on the pointer.
    const Case cases[] = {{50, 0.5f}, {55, 50.0f / 90}, {2, 0.0f}, {200, 1.0f}, {95, 1.0f}, {14, 0.1f}};
    for (const auto& k : cases)
    {
        Line l(1, GetParam());
        l.c.setFloat("Position", 0.3f);
        l.c.clearSent();
        EXPECT_EQ(l.c.down(15, k.y), 1) << "a handled press answers 1";
        EXPECT_NEAR(l.position(), k.position, 1e-6) << "y " << k.y;
        EXPECT_EQ(l.c.sentBools("Pointer Down"), std::vector<bool>{true});
        EXPECT_FALSE(l.c.graphicsHost().captured());
        // Nothing follows the pointer.
        l.c.clearSent();
        EXPECT_EQ(l.c.move(15, 80), -1);
        EXPECT_TRUE(l.c.sentFloats("Position").empty());
        EXPECT_EQ(l.c.up(15, 80), 0);
        EXPECT_EQ(l.c.sentBools("Pointer Down"), std::vector<bool>{false});
    }
}

TEST_P(LineEcho, JumpAndDragFollowsThePointer)
{
    Line l(2, GetParam());
    EXPECT_EQ(l.c.down(15, 50), 1);
    EXPECT_NEAR(l.position(), 0.5f, 1e-6);
    EXPECT_TRUE(l.c.graphicsHost().captured());
    EXPECT_EQ(l.c.move(15, 77), 0);
    EXPECT_NEAR(l.position(), 72.0 / 90, 1e-6);
    expectNear(l.bar(), {0, 72, 30, 82}, "centred on the pointer");
    // Fine: a tenth of the pointer's 30 pixels.
    EXPECT_EQ(l.c.move(15, 107, kLeftFine), 0);
    EXPECT_NEAR(l.position(), 75.0 / 90, 1e-6);
    // Beyond the end the position stops at 1.
    l.c.move(15, 400);
    EXPECT_EQ(l.position(), 1.0f);
    EXPECT_EQ(l.c.up(15, 400), 0);
    EXPECT_FALSE(l.c.graphicsHost().captured());
    EXPECT_EQ(l.c.sentBools("Pointer Down"), (std::vector<bool>{true, false}));
}

TEST_P(LineEcho, DragTheBarMovesItWithoutAJump)
{
    // Across: a 100-wide control, the bar at 0.5 over x 45 .. 55.
    Line l(3, GetParam(), 1, 100, 30);
    l.c.setFloat("Position", 0.5f);
    l.c.clearSent();
    EXPECT_EQ(l.c.down(30, 15), -1) << "off the bar";
    EXPECT_EQ(l.c.down(56, 15), -1);
    EXPECT_TRUE(l.c.module().transmits.empty());
    EXPECT_EQ(l.c.down(54, 15), 1) << "on the bar, away from its centre";
    EXPECT_TRUE(l.c.sentFloats("Position").empty()) << "the press does not move it";
    // A fine drag of 50 pixels moves the bar's centre 5 pixels: 50 .. 55.
    EXPECT_EQ(l.c.move(104, 15, kLeftFine), 0);
    EXPECT_NEAR(l.position(), 50.0 / 90, 1e-6);
    expectNear(l.bar(), {50, 0, 60, 30}, "5 pixels on");
    // A plain drag of 20 pixels moves it 20.
    l.c.move(124, 15);
    EXPECT_NEAR(l.position(), 70.0 / 90, 1e-6);
    l.c.up(124, 15);
}

TEST_P(LineEcho, TheModulesOwnWriteRunsNoHandler)
{
    Line l(1, GetParam());
    const size_t before = l.c.graphicsHost().redraws.size();
    l.c.down(15, 50);
    l.c.up(15, 50);
    // One redraw for the jump; an echo handled as a value from outside, in
    // the call or later, would ask for a second one.
    EXPECT_EQ(l.c.graphicsHost().redraws.size() - before, 1u);
    EXPECT_EQ(l.c.sentFloats("Position"), std::vector<float>{0.5f}) << "sent once";
}

INSTANTIATE_TEST_SUITE_P(Echo, LineEcho, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });

TEST(LineSlider, HitTestAndPressByMode)
{
    struct Case
    {
        int mode;
        float y;
        int32_t flags;
        int32_t hit, press;
    };
    // The bar at 0: y 0 .. 10.
    const Case cases[] = {
        {0, 5, kLeft, -1, -1},  // none
        {1, 50, kLeft, 0, 1},   // anywhere
        {2, 50, kLeft, 0, 1},   //
        {3, 5, kLeft, 0, 1},    // on the bar
        {3, 10, kLeft, 0, 1},   // its edge included
        {3, 11, kLeft, -1, -1}, // off it
        {7, 5, kLeft, -1, 1},   // another mode presses as 3, but misses
        {7, 50, kLeft, -1, -1}, //
        {1, 50, 0x20, 0, -1},   // not the left button
        {3, 5, kFine, 0, -1},   //
        {-1, 5, kLeft, -1, 1},  //
    };
    for (const auto& k : cases)
    {
        Line l(k.mode);
        EXPECT_EQ(l.c.view().hitTest({15, k.y}), k.hit) << "mode " << k.mode << " at " << k.y;
        EXPECT_EQ(l.c.down(15, k.y, k.flags), k.press) << "mode " << k.mode << " at " << k.y;
        if (k.press < 0)
        {
            EXPECT_TRUE(l.c.module().transmits.empty());
        }
    }
}

TEST(LineSlider, ABarAsThickAsItsTravelStaysAtZero)
{
    for (int mode : {1, 2, 3})
        for (Echo e : allEchoes())
        {
            Line l(mode, e, 0, 30, 10);
            l.c.setFloat("Position", 0.7f);
            l.c.setInt("Thickness", 10);
            l.c.down(15, 5);
            l.c.move(15, 9);
            l.c.move(15, -40);
            l.c.up(15, -40);
            for (float p : l.c.sentFloats("Position"))
                EXPECT_EQ(p, 0.0f) << "mode " << mode;
            EXPECT_FALSE(l.c.sentFloats("Position").empty()) << "mode " << mode;
            // Thicker than the travel: the same.
            Line t(mode, e, 1, 8, 30);
            t.c.setFloat("Position", 0.3f);
            t.c.setInt("Thickness", 12);
            t.c.down(4, 15);
            t.c.move(6, 15);
            for (float p : t.c.sentFloats("Position"))
                EXPECT_EQ(p, 0.0f) << "mode " << mode;
        }
}

TEST(LineSlider, Line3HasTheSamePins)
{
    Line l(2, Echo::Inside, 1, 100, 20, L"QW_Line3");
    l.c.down(50, 10);
    EXPECT_NEAR(l.position(), 45.0 / 90, 1e-6);
    expectNear(l.bar(), {45, 0, 55, 20}, "centred on the pointer");
}

TEST(LineSlider, SizesFromNothingToTheLargestWithTheHoverBox)
{
    for (const wchar_t* id : {L"QW_Line2", L"QW_HoverBox"})
        for (float side : {0.0f, 1.0f, 16384.0f})
            for (int32_t mode : {1, 2, 3})
            {
                const std::string what = gmpi_sdk::toUtf8(id) + " " + std::to_string(side);
                Drawn c(id, Echo::Inside);
                if (std::wstring(id) == L"QW_Line2")
                    c.setInt("Mouse Mode", mode);
                else
                    c.setBool("Normalised", mode != 1);
                c.view().arrange({0, 0, side, side});
                EXPECT_TRUE(allFinite(c.renderOnly(100, 100))) << what;
                c.view().hitTest({side / 2, side / 2});
                c.down(side / 2, side / 2);
                c.move(side, side + 1, kLeftFine);
                c.move(NAN, -side);
                c.up(side, side);
                EXPECT_TRUE(allFinite(c.renderOnly(100, 100))) << what;
                for (auto& t : c.module().transmits)
                    if (c.module().pinInfo(t.pin).datatype == gmpi::MP_FLOAT32)
                    {
                        EXPECT_TRUE(std::isfinite(t.asFloat())) << what;
                    }
                if (std::wstring(id) == L"QW_Line2")
                    for (float p : c.sentFloats("Position"))
                    {
                        EXPECT_TRUE(p >= 0 && p <= 1) << what << ": " << p;
                    }
            }
}
