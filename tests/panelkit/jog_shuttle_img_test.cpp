// QW_JogShuttleImg through the built bundle, on an 8-frame rotary strip the
// tests make: turns worked with atan2 in double, the limits, the jog
// position, the movement pin, the seam behind the centre, the strips it
// refuses, crossed and equal limits, turns of 0 and the alpha hit test; the
// drags with the host's echo inside the call, later and none.
#include "image_strips.h"

#include <cmath>

using namespace drawntest;
using imagetest::Rgba;
using imagetest::Skin;
using qwhost::Echo;

namespace
{
constexpr double kPi = 3.14159265358979323846;
const std::string kRotary = "type knob\nframe_size 40 40\nmouse_response rotary\n";

// A point at `radius` from (20, 20), `degrees` clockwise on screen from the right.
GmpiDrawing_API::MP1_POINT at(double degrees, double radius = 15.0, double cx = 20.0, double cy = 20.0)
{
    const double a = degrees * kPi / 180.0;
    return {static_cast<float>(cx + radius * std::cos(a)), static_cast<float>(cy + radius * std::sin(a))};
}

// The turns between two points about (cx, cy), the shorter way round, in double.
double turnsBetween(GmpiDrawing_API::MP1_POINT p, GmpiDrawing_API::MP1_POINT q, double cx = 20.0, double cy = 20.0)
{
    double d = std::atan2(q.y - cy, q.x - cx) - std::atan2(p.y - cy, p.x - cx);
    if (d > kPi)
        d -= 2 * kPi;
    if (d < -kPi)
        d += 2 * kPi;
    return d / (2 * kPi);
}

// A 40 x 40 jog shuttle on a skin of its own: 8 opaque frames but for a
// clear pixel at (0, 0) of each.
struct Jog
{
    explicit Jog(Echo echo = Echo::None, const std::wstring& image = L"jog.png") : c(L"QW_JogShuttleImg", echo)
    {
        skin.strip(
            "jog.png", 40, 40, 8,
            [](int f, int x, int y) {
                return x == 0 && y == 0 ? Rgba{0, 0, 0, 0} : imagetest::frameColour(f);
            },
            kRotary);
        skin.use(c);
        c.setText("Image", image);
        c.render(40, 40);
    }
    // The frame drawn now.
    int frame()
    {
        const auto draws = imagetest::bitmapDraws(c.render(40, 40));
        return draws.size() == 1 ? static_cast<int>(draws[0][5]) / 40 : -1;
    }
    void drag(std::vector<GmpiDrawing_API::MP1_POINT> points)
    {
        ASSERT_EQ(c.down(points[0].x, points[0].y), 0);
        for (size_t k = 1; k < points.size(); ++k)
            c.move(points[k].x, points[k].y);
        c.up(points.back().x, points.back().y);
    }
    Skin skin;
    Drawn c;
};

class JogEcho : public ::testing::TestWithParam<Echo>
{};
} // namespace

TEST_P(JogEcho, OneClockwiseTurnAddsTheRangeOverTheTurns)
{
    Jog j(GetParam());
    EXPECT_EQ(j.c.sentInts("Frame Count"), std::vector<int32_t>{8});
    std::vector<GmpiDrawing_API::MP1_POINT> points;
    for (int k = 0; k <= 36; ++k)
        points.push_back(at(10.0 * k));
    ASSERT_EQ(j.c.down(points[0].x, points[0].y), 0);
    EXPECT_EQ(j.c.sentBools("Pointer Down"), std::vector<bool>{true});
    double expected = 0.0;
    std::vector<int> frames;
    for (int k = 1; k <= 36; ++k)
    {
        j.c.move(points[k].x, points[k].y);
        // Minimum 0, maximum 10, turns 10: a turn adds 1.
        expected += turnsBetween(points[k - 1], points[k]);
        EXPECT_NEAR(j.c.sentFloats("Value").back(), expected, 1e-5) << "step " << k;
        frames.push_back(j.frame());
    }
    EXPECT_NEAR(expected, 1.0, 1e-12);
    // The jog position is the value's fraction of a turn: at 0.25 frame
    // truncate(0.25 x 7 + 0.5) = 2, at 0.75 frame 5.
    EXPECT_EQ(frames[8], 2);
    EXPECT_EQ(frames[26], 5);
    for (size_t k = 1; k + 1 < frames.size(); ++k)
        EXPECT_GE(frames[k], frames[k - 1]) << "once round, step " << k;

    // Each move's turns, with 0 before it so that equal moves show too, and 0 on release.
    const auto movement = j.c.sentFloats("Movement");
    ASSERT_EQ(movement.size(), 71u);
    for (size_t k = 0; k < movement.size(); ++k)
        if (k % 2 == 0)
            EXPECT_NEAR(movement[k], 1.0 / 36, 1e-6) << k;
        else
            EXPECT_EQ(movement[k], 0.0f) << k;
    j.c.up(points.back().x, points.back().y);
    EXPECT_EQ(j.c.sentFloats("Movement").back(), 0.0f);
    EXPECT_EQ(j.c.sentBools("Pointer Down").back(), false);
    EXPECT_FALSE(j.c.graphicsHost().captured());
}

TEST_P(JogEcho, EqualMovesAreEachSent)
{
    Jog j(GetParam());
    j.drag({at(0), at(90), at(180)}); // two quarter turns
    EXPECT_EQ(j.c.sentFloats("Movement"), (std::vector<float>{0.25f, 0.0f, 0.25f, 0.0f}));
    EXPECT_EQ(j.c.sentFloats("Value"), (std::vector<float>{0.25f, 0.5f}));
}

// Values the drag sent, handed back only after the release, are the jog's
// own: the wheel neither turns back to an older value nor sends again.
TEST(JogShuttleImg, ADragsEchoesAfterTheReleaseTurnNothing)
{
    Jog j(Echo::Later);
    ASSERT_EQ(j.c.down(at(0).x, at(0).y), 0);
    // Straight to the view: the echoes are held until after the release.
    j.c.view().pointerMove(kLeft, at(90));
    j.c.view().pointerMove(kLeft, at(180));
    j.c.view().pointerUp(kLeft, at(180));
    EXPECT_EQ(j.c.sentFloats("Value"), (std::vector<float>{0.25f, 0.5f}));
    const int shown = j.frame();
    j.c.clearSent();
    const size_t redraws = j.c.graphicsHost().redraws.size();
    j.c.settle();
    EXPECT_TRUE(j.c.sentFloats("Value").empty());
    EXPECT_EQ(j.c.graphicsHost().redraws.size(), redraws);
    EXPECT_EQ(j.frame(), shown);
    // The next turn goes on from 0.5, not from an echoed 0.25.
    j.drag({at(180), at(270)});
    EXPECT_EQ(j.c.sentFloats("Value"), (std::vector<float>{0.75f}));
}

TEST_P(JogEcho, AnticlockwiseStopsAtTheMinimumUnlessUnlimited)
{
    Jog j(GetParam());
    j.drag({at(0), at(-10), at(-90)});
    EXPECT_TRUE(j.c.sentFloats("Value").empty()) << "nothing below 0";
    EXPECT_TRUE(j.c.sentFloats("Movement").empty()) << "and no movement";

    j.c.setBool("Unlimited", true);
    j.drag({at(0), at(-90)});
    EXPECT_EQ(j.c.sentFloats("Value"), std::vector<float>{-0.25f});
    // Jog position -0.25 + 1 = 0.75: frame 5.
    EXPECT_EQ(j.frame(), 5);
    j.drag({at(0), at(-90), at(-180), at(-270), at(-360)});
    EXPECT_NEAR(j.c.sentFloats("Value").back(), -1.25, 1e-6);
    EXPECT_EQ(j.frame(), 5);
}

TEST_P(JogEcho, CrossingTheSeamBehindTheCentreIsASmallStepForward)
{
    Jog j(GetParam());
    // Left of the centre, from just below to just above it: the angle goes
    // from just under 2 pi to just over 0.
    const GmpiDrawing_API::MP1_POINT from{5, 21}, to{5, 19};
    j.drag({from, to});
    const double step = turnsBetween(from, to);
    EXPECT_GT(step, 0.0);
    EXPECT_LT(step, 0.05);
    EXPECT_NEAR(j.c.sentFloats("Value").back(), step, 1e-6);
    EXPECT_NEAR(j.c.sentFloats("Movement")[0], step, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Echo, JogEcho, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });

TEST(JogShuttleImg, TakesOnlyRotaryKnobStripsOfTwoFramesOrMore)
{
    struct Case
    {
        std::string metadata;
        int frames;
    };
    const Case cases[] = {
        {"type button\nframe_size 40 40\nmouse_response rotary\n", 8},
        {"type knob\nframe_size 40 40\nmouse_response vertical\n", 8},
        {"type knob\nframe_size 40 40\nmouse_response relative\n", 8},
        {"type knob\nframe_size 40 40\n", 8},
        {kRotary, 1},
    };
    for (const auto& k : cases)
    {
        SCOPED_TRACE(k.metadata + std::to_string(k.frames) + " frame(s)");
        Jog j;
        j.skin.flat("other.png", 40, 40, k.frames, k.metadata);
        j.c.setText("Image", L"other.png");
        EXPECT_EQ(j.c.sentInts("Frame Count"), std::vector<int32_t>{8}) << "the last count stays";
        const auto calls = drawn(j.c.render(40, 40));
        EXPECT_TRUE(only(calls, "DrawBitmap").empty());
        EXPECT_EQ(only(calls, "DrawTextU").size(), 1u) << "the placeholder's X";
        EXPECT_EQ(j.c.view().hitTest({20, 20}), -1);
        EXPECT_EQ(j.c.down(20, 20), -1);
        GmpiDrawing_API::MP1_SIZE desired{};
        j.c.view().measure({100, 100}, desired);
        EXPECT_EQ(desired.width, 10.0f);
    }
}

TEST(JogShuttleImg, CrossedLimitsClampOneWayForValuesAndTheOtherForDrags)
{
    Jog j;
    j.c.setFloat("Turns", 0.5f); // the maximum half a turn from the minimum
    j.c.setFloat("Minimum", 5);
    j.c.setFloat("Maximum", 2);
    // A value above the maximum gives the maximum (frame 4: half a turn),
    // any other the minimum (frame 0).
    const std::pair<float, int> values[] = {{7, 4}, {3, 4}, {5, 4}, {2, 0}, {1, 0}};
    for (auto [v, frame] : values)
    {
        j.c.setFloat("Value", v);
        EXPECT_EQ(j.frame(), frame) << v;
    }
    // At the minimum: clockwise goes below it and stays; anticlockwise goes
    // above it, which a drag takes to the maximum.
    j.drag({at(0), at(90)});
    EXPECT_TRUE(j.c.sentFloats("Value").empty());
    j.drag({at(0), at(-90)});
    EXPECT_EQ(j.c.sentFloats("Value"), std::vector<float>{2.0f});
}

TEST(JogShuttleImg, EqualLimitsAndZeroTurnsStayNumbers)
{
    Jog j;
    j.c.setBool("Unlimited", true);
    j.c.setFloat("Minimum", 3);
    j.c.setFloat("Maximum", 3);
    j.c.setFloat("Value", 4.5f);
    EXPECT_EQ(j.frame(), 0) << "no range: jog position 0";
    j.drag({at(0), at(90), at(180)});
    EXPECT_TRUE(j.c.sentFloats("Value").empty());
    EXPECT_TRUE(allFinite(j.c.render(40, 40)));

    // Turns 0 (or NaN) act as 0.001: a quarter turn is 2500 x the range.
    for (float turns : {0.0f, std::nanf("")})
    {
        Jog z;
        z.c.setFloat("Turns", turns);
        z.drag({at(0), at(90)});
        EXPECT_EQ(z.c.sentFloats("Value"), std::vector<float>{10.0f}) << "held at the maximum";
        z.c.setBool("Unlimited", true);
        z.drag({at(0), at(90)});
        EXPECT_NEAR(z.c.sentFloats("Value").back(), 2510.0, 0.01);
        EXPECT_TRUE(allFinite(z.c.render(40, 40)));
    }
}

TEST(JogShuttleImg, TheCentreOffsetMovesTheAxis)
{
    Jog j;
    j.c.setInt("Centre X", 10);
    // About (30, 20): a quarter turn clockwise from its right to below it.
    j.drag({at(0, 8, 30), at(90, 8, 30)});
    EXPECT_NEAR(j.c.sentFloats("Value").back(), 0.25, 1e-6);
    j.c.setBool("Show Centre", true);
    const auto lines = only(j.c.render(40, 40), "DrawLine", 0);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].values, (std::vector<double>{0, 20, 60, 20, 1}));
    EXPECT_EQ(lines[1].values, (std::vector<double>{30, -10, 30, 50, 1}));
}

TEST(JogShuttleImg, HitTestsOnAlphaWithoutWritingAPin)
{
    Jog j;
    j.c.clearSent();
    const std::tuple<int32_t, float, float, int> cases[] = {
        {1, 0, 0, -1},    // the clear pixel
        {0, 0, 0, 0},     // a threshold of 0 takes it
        {255, 20, 20, 0}, // opaque
        {-1, 20, 20, -1}, // compared unsigned: nothing reaches it
        {0, 41, 20, -1},  // beyond the frame
    };
    for (auto [threshold, x, y, hit] : cases)
    {
        j.c.setInt("Alpha Threshold", threshold);
        EXPECT_EQ(j.c.view().hitTest({x, y}), hit) << threshold << " at " << x << ", " << y;
    }
    EXPECT_TRUE(j.c.sent().empty());
    // A press tests the image's own mask: the clear pixel is not the knob.
    j.c.setInt("Alpha Threshold", 0);
    EXPECT_EQ(j.c.down(0.5f, 0.5f), -1);
    EXPECT_EQ(j.c.down(20, 20, 0), 0) << "handled without the left button";
    EXPECT_FALSE(j.c.graphicsHost().captured());
    EXPECT_EQ(j.c.up(20, 20), -1);
}

TEST(JogShuttleImg, MeasuresOneFrameWithItsPaddings)
{
    Jog j;
    j.skin.flat("padded.png", 40, 40, 2, kRotary + "padding 1 2 3 4\n");
    j.c.setText("Image", L"padded.png");
    GmpiDrawing_API::MP1_SIZE desired{};
    j.c.view().measure({100, 100}, desired);
    EXPECT_EQ(desired.width, 47.0f);
    EXPECT_EQ(desired.height, 43.0f);
}
