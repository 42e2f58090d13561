// QW_VecJogShuttle2 through the built bundle, with the host's echo inside
// the call, later and none: the value a drag adds up (a full turn in small
// steps, across 12 o'clock), clamping and the unlimited value, the cap's
// angle and the knob's geometry from the recorded drawing calls, the cached
// bitmaps, redraws before and after initialize and the context menu. The
// expected numbers are worked here from the knob's rules: a turn of the
// pointer changes the value by (maximum - minimum) / turns; the cap sits at
// start + (value - minimum) x turns / (maximum - minimum) turns, 0.27 d from
// the centre, d the shorter side.
#include "drawn_fixture.h"
#include "mp_sdk_common.h"

#include <cmath>

using namespace drawntest;
using qwhost::Echo;

namespace
{
constexpr double kTwoPi = 6.283185307179586;

// A 100 x 100 jog shuttle over 0 .. 10 in 10 turns, cap at the top at 0.
struct Jog
{
    explicit Jog(Echo echo = Echo::None, float turns = 10) : c(L"QW_VecJogShuttle2", echo)
    {
        c.setFloat("Minimum", 0);
        c.setFloat("Maximum", 10);
        c.setFloat("Turns", turns);
        c.setFloat("Start Angle", 0);
        c.render(100, 100);
    }
    // The point `turns` clockwise from straight up, 40 from the centre.
    static GmpiDrawing_API::MP1_POINT at(double turns)
    {
        return {static_cast<float>(50 + 40 * std::sin(kTwoPi * turns)),
                static_cast<float>(50 - 40 * std::cos(kTwoPi * turns))};
    }
    // Presses at `from` and moves in `steps` equal steps by `by` turns.
    void drag(double from, double by, int steps)
    {
        c.down(at(from).x, at(from).y);
        for (int i = 1; i <= steps; ++i)
            c.move(at(from + by * i / steps).x, at(from + by * i / steps).y);
        c.up(at(from + by).x, at(from + by).y);
    }
    float value()
    {
        const auto sent = c.sentFloats("Value");
        return sent.empty() ? NAN : sent.back();
    }
    // The cap's centre: the second bitmap drawn on the screen.
    std::pair<double, double> cap(int w = 100, int h = 100)
    {
        const auto bitmaps = only(c.render(w, h), "DrawBitmap", 0);
        EXPECT_EQ(bitmaps.size(), 2u);
        if (bitmaps.size() < 2)
            return {NAN, NAN};
        const auto& v = bitmaps[1].values;
        return {v[0] + 0.5 * (v[2] - v[0] + 1), v[1] + 0.5 * (v[3] - v[1] + 1)};
    }
    void expectCapAt(double turns, const std::string& what)
    {
        const auto [x, y] = cap();
        EXPECT_NEAR(x, 50 + 27 * std::sin(kTwoPi * turns), 1e-3) << what;
        EXPECT_NEAR(y, 50 - 27 * std::cos(kTwoPi * turns), 1e-3) << what;
    }
    Drawn c;
};

class JogEcho : public ::testing::TestWithParam<Echo>
{};
} // namespace

TEST_P(JogEcho, AFullTurnInSmallStepsAddsOneAcrossTwelveOClock)
{
    Jog j(GetParam());
    j.c.setFloat("Value", 5);
    // From 0.8 of a turn, clockwise through the top, in 50 steps.
    j.drag(0.8, 1.0, 50);
    const auto values = j.c.sentFloats("Value");
    ASSERT_EQ(values.size(), 50u);
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_NEAR(values[i], 5 + 0.02 * (i + 1), 1e-4) << "step " << i << ": no jump at the top";
    j.expectCapAt(5 + 1.0, "the cap follows the value");
    // And back the other way.
    j.c.clearSent();
    j.drag(0.1, -0.35, 7);
    EXPECT_NEAR(j.value(), 5.65, 1e-4);
}

TEST_P(JogEcho, TwoMovesBeforeAnyEchoBothCount)
{
    Jog j(GetParam());
    j.c.down(Jog::at(0).x, Jog::at(0).y);
    // Straight to the view: echoes held back stay held.
    const size_t before = j.c.graphicsHost().redraws.size();
    j.c.view().pointerMove(kLeft, Jog::at(0.05));
    j.c.view().pointerMove(kLeft, Jog::at(0.10));
    j.c.settle();
    EXPECT_NEAR(j.value(), 0.10, 1e-5);
    // One redraw a move: the echoes, however late, turn nothing back.
    EXPECT_EQ(j.c.graphicsHost().redraws.size() - before, 2u);
    j.expectCapAt(0.10 * 10 / 10, "after the echoes");
}

TEST_P(JogEcho, TheValueStaysBetweenTheLimitsUnlessUnlimited)
{
    // Half a turn spans 0 .. 10: the cap at 0.5 for 10, at 0.6 for 12.
    Jog j(GetParam(), 0.5f);
    j.c.setFloat("Value", 12);
    j.expectCapAt(0.5, "12 shows as 10");
    j.c.clearSent();
    j.drag(0.2, 0.1, 4);
    EXPECT_EQ(j.c.sentFloats("Value"), std::vector<float>{10.0f}) << "the first drag writes the clamped value";
    j.drag(0.2, -0.05, 1);
    EXPECT_NEAR(j.value(), 9.0, 1e-4);

    Jog u(GetParam(), 0.5f);
    u.c.setBool("Unlimited", true);
    u.c.setFloat("Value", 12);
    u.expectCapAt(0.6, "unlimited: 12 as it is");
    u.drag(0.2, 0.1, 4);
    EXPECT_NEAR(u.value(), 14.0, 1e-4);
    u.drag(0.2, -0.5, 10);
    EXPECT_NEAR(u.value(), 4.0, 1e-4);
    u.drag(0.2, -0.45, 10);
    EXPECT_NEAR(u.value(), -5.0, 1e-4) << "below the minimum too";
}

TEST_P(JogEcho, PressMoveAndRelease)
{
    Jog j(GetParam());
    EXPECT_EQ(j.c.down(50, 10, 0x20), -1) << "not the left button";
    EXPECT_TRUE(j.c.module().transmits.empty());
    EXPECT_EQ(j.c.move(90, 50), 0) << "no capture: ignored";
    EXPECT_TRUE(j.c.module().transmits.empty());
    EXPECT_EQ(j.c.down(50, 10), 0);
    EXPECT_TRUE(j.c.graphicsHost().captured());
    EXPECT_EQ(j.c.sentBools("Pointer Down"), std::vector<bool>{true});
    EXPECT_EQ(j.c.move(50, 10), 1) << "the same angle";
    EXPECT_TRUE(j.c.sentFloats("Value").empty());
    EXPECT_EQ(j.c.move(90, 50), 1);
    EXPECT_NEAR(j.value(), 0.25, 1e-5);
    EXPECT_EQ(j.c.up(90, 50), 0);
    EXPECT_FALSE(j.c.graphicsHost().captured());
    EXPECT_EQ(j.c.sentBools("Pointer Down"), (std::vector<bool>{true, false}));
}

INSTANTIATE_TEST_SUITE_P(Echo, JogEcho, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });

TEST(JogShuttle2, CrossedLimitsAndTurns)
{
    struct Case
    {
        float minimum, maximum, turns, value;
        bool unlimited;
        double drag; // turns
        float sent;
    };
    const Case cases[] = {
        {0, 10, 0, 0, true, 0.001, 10},       // under a thousandth of a turn counts as one
        {0, 10, NAN, 0, true, 0.001, 10},     //
        {0, 10, -4, 0, true, 0.001, 10},      //
        {5, 2, 1, 3, false, 0.1, 5},          // crossed limits: the minimum wins below it ...
        {5, 2, 0.1f, 6, false, -0.4, 2},      // ... and the maximum above it
        {0, 10, 1, NAN, false, 0.1, 1},       // NaN from outside shows the minimum
        {NAN, INFINITY, 1, 3, false, 0.1, 0}, // limits that are no numbers count as 0
    };
    for (const auto& k : cases)
    {
        Drawn c(L"QW_VecJogShuttle2");
        c.setFloat("Minimum", k.minimum);
        c.setFloat("Maximum", k.maximum);
        c.setFloat("Turns", k.turns);
        c.setBool("Unlimited", k.unlimited);
        c.setFloat("Value", k.value);
        c.render(100, 100);
        c.clearSent();
        c.down(Jog::at(0.3).x, Jog::at(0.3).y);
        c.move(Jog::at(0.3 + k.drag).x, Jog::at(0.3 + k.drag).y);
        const auto sent = c.sentFloats("Value");
        ASSERT_EQ(sent.size(), 1u) << k.minimum << " .. " << k.maximum << ", value " << k.value;
        EXPECT_NEAR(sent[0], k.sent, 0.01) << k.minimum << " .. " << k.maximum << ", value " << k.value;
    }
}

TEST(JogShuttle2, TheCapAtTheStartAngle)
{
    struct Case
    {
        float start, value, minimum, maximum;
        double turns;
    };
    const Case cases[] = {
        {0.375f, 0, 0, 10, 0.375},    // the lower right
        {0.375f, 2.5f, 0, 10, 2.875}, // and 2.5 turns on
        {-0.25f, 0, 0, 10, 0.75},     // at the left
        {0.2f, 4, 3, 3, 0.2},         // no range: at the start whatever the value
        {0.2f, 4, 5, 3, 0.2},         //
        {NAN, 0, 0, 10, 0},           // a start that is no number: the top
        {INFINITY, 0, 0, 10, 0},      //
    };
    for (const auto& k : cases)
    {
        Jog j;
        j.c.setFloat("Minimum", k.minimum);
        j.c.setFloat("Maximum", k.maximum);
        j.c.setFloat("Start Angle", k.start);
        j.c.setFloat("Value", k.value);
        j.expectCapAt(k.turns, "start " + std::to_string(k.start) + ", value " + std::to_string(k.value));
    }
    // 0.375: below and right of the centre.
    Jog j;
    j.c.setFloat("Start Angle", 0.375f);
    const auto [x, y] = j.cap();
    EXPECT_GT(x, 65);
    EXPECT_GT(y, 65);
}

TEST(JogShuttle2, GeometryOfAWideKnob)
{
    Drawn c(L"QW_VecJogShuttle2");
    c.setFloat("Start Angle", 0.25f);
    const auto calls = c.render(100, 60);
    // d = 60: the body centred along the width, at (20, 0).
    const auto bitmaps = only(calls, "DrawBitmap", 0);
    ASSERT_EQ(bitmaps.size(), 2u);
    EXPECT_EQ(bitmaps[0].values, (std::vector<double>{20, 0, 79, 59, 0, 0, 59, 59, 1, 1}));
    // The cap 18 x 18 (0.3 d), its centre 16.2 (0.27 d) right of the centre.
    const auto targets = only(calls, "CreateCompatibleRenderTarget");
    ASSERT_EQ(targets.size(), 2u);
    expectNear(targets[0].values, {60, 60}, "body target");
    expectNear(targets[1].values, {18, 18}, "cap target", 1e-4);
    expectNear(bitmaps[1].values, {50 + 16.2 - 9, 30 - 9, 50 + 16.2 + 8, 30 + 8, 0, 0, 17, 17, 1, 1}, "cap", 1e-3);
    // The face's radius: 0.48 d bf with bf = 1 - 4.000001 / 60.
    const auto discs = only(calls, "FillEllipse", 1);
    ASSERT_EQ(discs.size(), 4u);
    EXPECT_NEAR(discs[3].values[2], 0.48 * 60 * (1 - 4.000001 / 60), 1e-4);
    EXPECT_NEAR(discs[2].values[2], 0.48 * 60 - 1, 1e-4) << "the black disc";
}

TEST(JogShuttle2, TheFaceKeepsATwoPixelRimBelowEighty)
{
    for (const auto& [size, bf] : {std::pair{80, 0.95}, {79, 1 - 4.000001 / 79}, {200, 0.95}, {20, 1 - 4.000001 / 20}})
    {
        Drawn c(L"QW_VecJogShuttle2");
        const auto discs = only(c.render(size, size), "FillEllipse", 1);
        ASSERT_EQ(discs.size(), 4u) << size;
        EXPECT_NEAR(discs[3].values[2], 0.48 * size * bf, 1e-4) << size;
    }
}

TEST(JogShuttle2, TheLookPins)
{
    Drawn c(L"QW_VecJogShuttle2");
    c.setText("Body Colour", L"");
    c.setText("Cap Colour", L"");
    c.setBool("Gloss", true);
    c.setBool("Inverted Cap", false);
    c.setBool("Cap Dot", true);
    c.setFloat("Shading", 7); // held at 1
    c.setFloat("Bevel", -3);  // held at 0
    const auto calls = c.render(100, 100);
    // Default light blue A0C8FF for body and cap; shading 1 keeps the colour.
    const double r = linear(0xA0), g = linear(0xC8), b = 1;
    const auto gradients = only(calls, "CreateLinearGradientBrush");
    ASSERT_EQ(gradients.size(), 3u) << "body, gloss, cap";
    expectNear(gradients[0].values, {0, 0, 100, 100, 0, r, g, b, 1, 1, r, g, b, 1}, "body", 1e-6);
    expectNear(gradients[1].values, {0, 0, 0, 95, 0, 1, 1, 1, 0, 1, 1, 1, 1, 1}, "gloss", 1e-4);
    expectNear(gradients[2].values, {0, 0, 30, 30, 0, r, g, b, 1, 1, r, g, b, 1}, "cap", 1e-5);
    // Bevel 0: transparent rims; the gloss ellipse; with gloss the dot is
    // a solid disc of 0.1125 A up and left of the cap's centre.
    const auto body = only(calls, "FillEllipse", 1);
    ASSERT_EQ(body.size(), 5u);
    EXPECT_EQ(body[0].color.a, 0.0f);
    EXPECT_EQ(body[1].color.a, 0.0f);
    expectNear(body[4].values, {50, 25, 0.3 * 95, 0.18 * 95}, "gloss");
    const auto cap = only(calls, "FillEllipse", 2);
    ASSERT_EQ(cap.size(), 2u);
    expectNear(cap[1].values, {15 - 0.165 * 30, 15 - 0.165 * 30, 0.1125 * 30, 0.1125 * 30}, "dot", 1e-4);
    EXPECT_NEAR(cap[1].color.a, 112 / 255.0, 1e-6);

    // Inverted, shaded by half, without gloss: the cap's gradient runs from
    // the darker colour, and the dot is a radial glow down and right.
    c.setBool("Gloss", false);
    c.setBool("Inverted Cap", true);
    c.setFloat("Shading", 0.5f);
    c.setText("Cap Colour", L"00FF0000"); // its alpha is ignored
    const auto again = c.render(100, 100);
    const auto gradientsAgain = only(again, "CreateLinearGradientBrush");
    ASSERT_EQ(gradientsAgain.size(), 2u) << "the look pins draw body and cap anew";
    expectNear(gradientsAgain[1].values, {0, 0, 30, 30, 0, 0.5, 0, 0, 1, 1, 1, 0, 0, 1}, "inverted cap", 1e-5);
    const auto rebuilt = only(again, "FillEllipse", 4); // targets 3 and 4: the rebuilt bitmaps
    ASSERT_EQ(rebuilt.size(), 2u) << "the look pins draw the cap anew";
    const auto& dot = rebuilt.back();
    expectNear(dot.values, {15 + 0.165 * 30, 15 + 0.165 * 30, 0.225 * 30, 0.225 * 30}, "glow", 1e-4);
    EXPECT_EQ(dot.brush, "radial");
}

TEST(JogShuttle2, BitmapsAreRebuiltOnlyForTheLookOrASize)
{
    Jog j;
    auto targets = [&](int w = 100, int h = 100) {
        return only(j.c.render(w, h), "CreateCompatibleRenderTarget").size();
    };
    EXPECT_EQ(targets(), 0u) << "built at the first render already";
    j.c.setFloat("Value", 3);
    j.c.setFloat("Turns", 2);
    j.c.setFloat("Start Angle", 0.1f);
    j.c.setFloat("Maximum", 20);
    j.c.setBool("Unlimited", true);
    EXPECT_EQ(targets(), 0u) << "value, range and angle pins move the cap only";
    j.c.setFloat("Bevel", 0.1f);
    EXPECT_EQ(targets(), 2u);
    j.c.setText("Cap Colour", L"FF000000");
    EXPECT_EQ(targets(), 2u);
    j.c.setBool("Cap Dot", false);
    EXPECT_EQ(targets(), 2u);
    EXPECT_EQ(targets(150, 100), 0u) << "d is still 100";
    EXPECT_EQ(targets(120, 90), 2u) << "a new size";
    EXPECT_EQ(targets(120, 90), 0u);
}

TEST(JogShuttle2, HitsOnlyInsideTheInscribedCircle)
{
    Drawn c(L"QW_VecJogShuttle2");
    EXPECT_EQ(c.view().hitTest({50, 30}), -1) << "nothing drawn yet";
    c.render(100, 60);
    struct Case
    {
        float x, y;
        int32_t hit;
    };
    const Case cases[] = {{50, 30, 0},  {50, 0.01f, 0}, {50, 0, -1},  {79.9f, 30, 0},
                          {80, 30, -1}, {21, 9, -1},    {10, 30, -1}, {NAN, 30, -1}};
    for (const auto& k : cases)
        EXPECT_EQ(c.view().hitTest({k.x, k.y}), k.hit) << k.x << ", " << k.y;
}

TEST(JogShuttle2, NoRedrawBeforeInitialize)
{
    Drawn c(L"QW_VecJogShuttle2", Echo::None, false);
    c.module().setFloat(c.pin("Value"), 3);
    c.module().setFloat(c.pin("Turns"), 2);
    c.module().setFloat(c.pin("Start Angle"), 0.5f);
    c.module().setText(c.pin("Body Colour"), L"FF204060");
    EXPECT_TRUE(c.graphicsHost().redraws.empty());
    EXPECT_EQ(c.module().initialize(), 0);
    EXPECT_EQ(c.graphicsHost().redraws.size(), 1u);
    c.module().setFloat(c.pin("Start Angle"), 0.25f);
    ASSERT_EQ(c.graphicsHost().redraws.size(), 2u);
    EXPECT_TRUE(c.graphicsHost().redraws.back().whole);
}

TEST(JogShuttle2, MenuFromARangeAndTheSelection)
{
    Drawn c(L"QW_VecJogShuttle2", Echo::Inside);
    c.setText("Menu Items", L"range 1,3");
    qwhost::ContextMenuSink sink;
    EXPECT_EQ(c.module().ui()->populateContextMenu(10, 10, &sink), 0);
    ASSERT_EQ(sink.items.size(), 3u);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(sink.items[i].id, i + 1);
        EXPECT_EQ(sink.items[i].text, std::to_string(i + 1));
        EXPECT_EQ(sink.items[i].flags, 0);
    }
    EXPECT_EQ(c.module().ui()->onContextMenu(2), 0);
    EXPECT_EQ(c.sentInts("Menu Selection"), (std::vector<int32_t>{2, -1}));
    c.setText("Hint", L"Jog \u00e9");
    gmpi_sdk::MpString tip;
    EXPECT_EQ(c.view().graphics()->getToolTip({1, 1}, &tip), 0);
    EXPECT_EQ(tip.str(), "Jog \xC3\xA9");
}

TEST(JogShuttle2, SizesFromNothingToTheLargest)
{
    for (const wchar_t* id : {L"QW_VecJogShuttle2", L"QW_FuncPlot"})
        for (float side : {0.0f, 1.0f, 16384.0f})
        {
            const std::string what = gmpi_sdk::toUtf8(id) + " " + std::to_string(side);
            Drawn c(id, Echo::Inside);
            c.view().arrange({0, 0, side, side});
            EXPECT_TRUE(allFinite(c.renderOnly(100, 100))) << what;
            c.down(side / 2, side / 4);
            c.move(side, side / 2);
            c.up(side, side / 2);
            c.view().hitTest({side / 2, side / 2});
            EXPECT_TRUE(allFinite(c.renderOnly(100, 100))) << what;
            for (auto& t : c.module().transmits)
                if (c.module().pinInfo(t.pin).datatype == gmpi::MP_FLOAT32)
                {
                    EXPECT_TRUE(std::isfinite(t.asFloat())) << what;
                }
        }
}

TEST(JogShuttle2, AKnobLargerThanAnyScreenIsNotKeptInBitmaps)
{
    Drawn c(L"QW_VecJogShuttle2");
    c.view().arrange({0, 0, 5000, 5000});
    const auto calls = c.renderOnly(100, 100);
    EXPECT_TRUE(only(calls, "CreateCompatibleRenderTarget").empty());
    EXPECT_EQ(only(calls, "FillEllipse", 0).size(), 4u + 2u) << "body, cap and its dot drawn on the screen";
    // Below the limit they are kept as usual.
    c.view().arrange({0, 0, 4096, 4000});
    EXPECT_EQ(only(c.renderOnly(100, 100), "CreateCompatibleRenderTarget").size(), 2u);
}
