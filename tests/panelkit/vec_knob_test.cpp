// The vector knobs through the built bundle: the jog wheel's pulses and the
// value knob's value from pointer moves, with the host's echo inside the
// call, later and without one, and the knob face from the recorded drawing
// calls.
#include "drawn_fixture.h"
#include "mp_sdk_common.h"

#include <cmath>

using namespace drawntest;
using qwhost::Echo;

namespace
{
constexpr double kTwoPi = 6.283185307179586;

// The point at `turns` clockwise from straight up, `radius` from the centre
// of a 100 x 100 knob.
GmpiDrawing_API::MP1_POINT at(double turns, double radius = 40)
{
    return {static_cast<float>(50 + radius * std::sin(kTwoPi * turns)),
            static_cast<float>(50 - radius * std::cos(kTwoPi * turns))};
}

// The cap: the second bitmap drawn on the screen. Its centre.
std::pair<double, double> capCentre(const std::vector<DrawCall>& calls)
{
    const auto bitmaps = only(calls, "DrawBitmap", 0);
    EXPECT_EQ(bitmaps.size(), 2u);
    if (bitmaps.size() < 2)
        return {0, 0};
    const auto& v = bitmaps[1].values;
    return {v[0] + 0.5 * (v[2] - v[0] + 1), v[1] + 0.5 * (v[3] - v[1] + 1)};
}

// Where the cap of a knob of size s in a 100 x 100 control is drawn at an angle.
void expectCapAt(const std::vector<DrawCall>& calls, double turns, const std::string& what, double s = 100)
{
    const auto [x, y] = capCentre(calls);
    EXPECT_NEAR(x, 50 + 0.27 * s * std::sin(kTwoPi * turns), 1e-3) << what;
    EXPECT_NEAR(y, 50 - 0.27 * s * std::cos(kTwoPi * turns), 1e-3) << what;
}

std::vector<bool> pulses(int n)
{
    std::vector<bool> out;
    for (int i = 0; i < n; ++i)
        out.insert(out.end(), {true, false});
    return out;
}

class JogWheel : public ::testing::TestWithParam<Echo>
{
protected:
    JogWheel() : c(L"QW_VecJogShuttleS", GetParam()) { c.render(100, 100); }
    Drawn c;
};
} // namespace

TEST_P(JogWheel, PulsesPerStepCrossedEachWay)
{
    c.setInt("Steps", 8);
    EXPECT_EQ(c.down(at(0.10).x, at(0.10).y), 0);
    EXPECT_EQ(c.sentBools("Pointer Down"), std::vector<bool>{true});
    EXPECT_TRUE(c.sentBools("Clockwise").empty()) << "the press only takes the angle";
    // floor(8 x 0.40) - floor(8 x 0.10) = 3 steps.
    EXPECT_EQ(c.move(at(0.40).x, at(0.40).y), 1);
    EXPECT_EQ(c.sentBools("Clockwise"), pulses(3));
    EXPECT_TRUE(c.sentBools("Counter-clockwise").empty());
    // The module's own pulses, echoed or not, do not turn the cap again.
    expectCapAt(c.render(100, 100), 0.40, "after the move");

    c.clearSent();
    EXPECT_EQ(c.move(at(0.10).x, at(0.10).y), 1);
    EXPECT_EQ(c.sentBools("Counter-clockwise"), pulses(3));
    EXPECT_TRUE(c.sentBools("Clockwise").empty());
    expectCapAt(c.render(100, 100), 0.10, "back");

    EXPECT_EQ(c.up(at(0.10).x, at(0.10).y), 0);
    EXPECT_EQ(c.sentBools("Pointer Down"), (std::vector<bool>{false}));
    EXPECT_EQ(c.move(50, 90), 0) << "no capture";
}

TEST_P(JogWheel, AMoveAcrossTheTopIsShortAndClockwise)
{
    c.setInt("Steps", 10);
    c.down(at(0.95).x, at(0.95).y);
    c.move(at(0.05).x, at(0.05).y); // delta 0.1: floor(10.5) - floor(9.5)
    EXPECT_EQ(c.sentBools("Clockwise"), pulses(1));
    EXPECT_TRUE(c.sentBools("Counter-clockwise").empty());
}

TEST_P(JogWheel, AMoveToTheSameAngleDoesNothing)
{
    c.down(at(0.3).x, at(0.3).y);
    c.clearSent();
    const size_t redraws = c.graphicsHost().redraws.size();
    EXPECT_EQ(c.move(at(0.3).x, at(0.3).y), 1);
    EXPECT_TRUE(c.module().transmits.empty());
    EXPECT_EQ(c.graphicsHost().redraws.size(), redraws);
}

TEST_P(JogWheel, StepsAreHeldBetweenOneAndAThousand)
{
    struct Case
    {
        int32_t steps;
        double from, to;
        int pulses;
    };
    const Case cases[] = {
        {0, 0.9, 0.1, 1},               // one pulse a turn, as it crosses the top
        {-3, 0.9, 0.1, 1},              //
        {-3, 0.1, 0.4, 0},              //
        {1000000000, 0.0, 0.2501, 250}, // counts as 1000
    };
    for (const auto& k : cases)
    {
        Drawn j(L"QW_VecJogShuttleS", GetParam());
        j.render(100, 100);
        j.setInt("Steps", k.steps);
        j.down(at(k.from).x, at(k.from).y);
        j.move(at(k.to).x, at(k.to).y);
        EXPECT_EQ(j.sentBools("Clockwise").size(), 2u * k.pulses) << k.steps << " steps";
    }
}

TEST_P(JogWheel, OutsidePulsesTurnTheCapOneStepEach)
{
    c.setInt("Steps", 4);
    c.setBool("Clockwise", true);
    expectCapAt(c.render(100, 100), 0.25, "a quarter clockwise");
    c.setBool("Clockwise", false);
    expectCapAt(c.render(100, 100), 0.25, "a false does not turn it");
    c.setBool("Counter-clockwise", true);
    c.setBool("Counter-clockwise", false);
    c.setBool("Counter-clockwise", true);
    expectCapAt(c.render(100, 100), 0.75, "two steps back");
}

INSTANTIATE_TEST_SUITE_P(Echo, JogWheel, ::testing::Values(Echo::Inside, Echo::Later, Echo::None),
                         [](const auto& info) { return std::string(echoName(info.param)); });

TEST(JogWheelStart, TheInitialAngleIsReadAtInitializeAndNothingRedrawsBefore)
{
    Drawn c(L"QW_VecJogShuttleS", Echo::None, false);
    c.module().setFloat(c.pin("Initial Angle"), 1.25f);
    c.module().setText(c.pin("Body Colour"), L"FF204060");
    c.module().setInt(c.pin("Steps"), 4);
    c.module().setBool(c.pin("Clockwise"), true);
    EXPECT_TRUE(c.graphicsHost().redraws.empty());
    EXPECT_EQ(c.module().initialize(), 0);
    EXPECT_EQ(c.graphicsHost().redraws.size(), 1u);
    expectCapAt(c.render(100, 100), 0.25, "1.25 turns: at the right");
}

// ---------------------------------------------------------------------------
// Value knob

namespace
{
// A 200 x 200 value knob (centre 100, 100) laid out and drawn.
struct ValueKnob
{
    explicit ValueKnob(Echo echo = Echo::None, float minimum = 0, float maximum = 10, float turns = 10)
        : c(L"QW_VecJS", echo)
    {
        c.setFloat("Minimum", minimum);
        c.setFloat("Maximum", maximum);
        c.setFloat("Turns", turns);
        c.setFloat("Start Angle", 0);
        c.render(200, 200);
    }
    static GmpiDrawing_API::MP1_POINT at(double turns)
    {
        return {static_cast<float>(100 + 80 * std::sin(kTwoPi * turns)),
                static_cast<float>(100 - 80 * std::cos(kTwoPi * turns))};
    }
    // Presses at `from` and moves to `to`; the change reported last.
    float turn(double from, double to)
    {
        c.down(at(from).x, at(from).y);
        c.move(at(to).x, at(to).y);
        const auto changes = c.sentFloats("Change");
        return changes.empty() ? NAN : changes.back();
    }
    Drawn c;
};
} // namespace

TEST(ValueKnob, PointerAngleAgainstTheArcTangent)
{
    ValueKnob k(Echo::None, 0, 1, 1);
    k.c.setBool("Unlimited", true);
    double worst = 0;
    for (int gx = 0; gx <= 40; ++gx)
        for (int gy = 0; gy <= 40; ++gy)
        {
            const float x = 1.3f + gx * 4.9f, y = 0.7f + gy * 4.9f;
            const double dx = x - 100.0, dy = 100.0 - y;
            double a = std::atan2(dx, dy) / kTwoPi; // clockwise from up
            if (a < 0)
                a += 1;
            if (std::fabs(a - 0.5) < 1e-3 || (dx == 0 && dy == 0))
                continue; // a half turn is +-0.5
            k.c.setFloat("Value", 0);
            k.c.clearSent();
            k.c.down(100, 20); // straight up: angle 0
            k.c.move(x, y);
            k.c.up(x, y);
            const auto changes = k.c.sentFloats("Change");
            ASSERT_FALSE(changes.empty());
            const double expected = a > 0.5 ? a - 1 : a;
            worst = std::max(worst, std::fabs(changes.front() - expected) * 360.0);
        }
    EXPECT_LT(worst, 3e-4) << "degrees";
}

TEST(ValueKnob, AQuarterTurnOfTenTurnsOverZeroToTen)
{
    for (Echo e : allEchoes())
    {
        ValueKnob k(e);
        k.c.setFloat("Value", 5);
        EXPECT_NEAR(k.turn(0, 0.25), 0.25, 1e-5) << echoName(e);
        const auto values = k.c.sentFloats("Value");
        ASSERT_EQ(values.size(), 1u);
        EXPECT_NEAR(values[0], 5.25, 1e-5);
        // Drawn at start angle + 5.25 x 10 / 10 turns.
        const auto bitmaps = only(k.c.render(200, 200), "DrawBitmap", 0);
        ASSERT_EQ(bitmaps.size(), 2u);
        const double s = 200, cx = bitmaps[1].values[0] + 0.15 * s, cy = bitmaps[1].values[1] + 0.15 * s;
        EXPECT_NEAR(cx, 100 + 0.27 * s * std::sin(kTwoPi * 5.25), 1e-3);
        EXPECT_NEAR(cy, 100 - 0.27 * s * std::cos(kTwoPi * 5.25), 1e-3);
        EXPECT_EQ(k.c.up(0, 0), 0);
        EXPECT_EQ(k.c.sentFloats("Change").back(), 0.0f) << "0 after the release";
    }
}

TEST(ValueKnob, StopsAtTheMaximumUnlessUnlimited)
{
    ValueKnob k;
    k.c.setFloat("Value", 9.9f);
    EXPECT_NEAR(k.turn(0, 0.25), 10 - 9.9f, 1e-5) << "the clamped change";
    EXPECT_EQ(k.c.sentFloats("Value"), std::vector<float>{10.0f});
    k.c.clearSent();
    k.c.move(ValueKnob::at(0.3).x, ValueKnob::at(0.3).y);
    EXPECT_EQ(k.c.sentFloats("Change"), std::vector<float>{0.0f}) << "at the stop";

    ValueKnob u;
    u.c.setBool("Unlimited", true);
    u.c.setFloat("Value", 9.9f);
    u.turn(0, 0.25);
    EXPECT_NEAR(u.c.sentFloats("Value").back(), 10.15, 1e-5);
}

TEST(ValueKnob, CrossedLimitsShowTheMinimumFirst)
{
    // Minimum 5 over maximum 2: a value of 3 shows as 5 (the minimum is
    // tested first), so a small turn forward, held at 5 again, reports no
    // change (from 2 it would report 3).
    ValueKnob k(Echo::None, 5, 2, 1);
    k.c.setFloat("Value", 3);
    k.turn(0.3, 0.35);
    EXPECT_TRUE(k.c.sentFloats("Change").empty());
    EXPECT_EQ(k.c.sentFloats("Value"), std::vector<float>{5.0f});
}

TEST(ValueKnob, TurnsOfZeroCountAsAThousandth)
{
    ValueKnob k(Echo::None, 0, 10, 0);
    k.c.setBool("Unlimited", true);
    // A thousandth of a turn moves by 10 x 0.001 / 0.001.
    EXPECT_NEAR(k.turn(0, 0.001), 10.0, 0.01);
}

TEST(ValueKnob, StartAngleIsBroughtIntoOneTurn)
{
    struct Case
    {
        float start;
        double drawn;
    };
    const Case cases[] = {{-0.25f, 0.75}, {2.5f, 0.5}, {1e30f, 0}, {INFINITY, 0}, {-INFINITY, 0}, {NAN, 0}};
    for (const auto& k : cases)
    {
        Drawn c(L"QW_VecJS");
        c.setFloat("Value", 0);
        c.setFloat("Minimum", 0);
        c.setFloat("Start Angle", k.start);
        expectCapAt(c.render(100, 100), k.drawn, "start " + std::to_string(k.start));
    }
}

TEST(ValueKnob, TwoMovesBeforeAnyEchoBothCount)
{
    for (Echo e : allEchoes())
    {
        ValueKnob k(e);
        k.c.down(ValueKnob::at(0).x, ValueKnob::at(0).y);
        // Straight to the view: echoes held back stay held.
        k.c.view().pointerMove(kLeft, ValueKnob::at(0.05));
        k.c.view().pointerMove(kLeft, ValueKnob::at(0.10));
        const auto values = k.c.sentFloats("Value");
        ASSERT_EQ(values.size(), 2u) << echoName(e);
        EXPECT_NEAR(values[0], 0.05, 1e-5);
        EXPECT_NEAR(values[1], 0.10, 1e-5);
        const size_t redraws = k.c.graphicsHost().redraws.size();
        k.c.settle();
        EXPECT_EQ(k.c.graphicsHost().redraws.size(), redraws) << "the knob's own values move nothing";
        // The echoes, late or not, leave the knob where the drag put it.
        const auto bitmaps = only(k.c.render(200, 200), "DrawBitmap", 0);
        ASSERT_EQ(bitmaps.size(), 2u);
        EXPECT_NEAR(bitmaps[1].values[0] + 30, 100 + 54 * std::sin(kTwoPi * 0.1), 1e-3) << echoName(e);
    }
}

// ---------------------------------------------------------------------------
// The knob face

TEST(KnobFace, BodyAndCapAreDrawnOnceIntoBitmaps)
{
    Drawn c(L"QW_VecJS");
    c.setText("Body Colour", L"FF102030");
    c.setText("Cap Colour", L"");
    c.setFloat("Shade", 0.5f);
    const auto calls = c.render(60, 60);
    const auto targets = only(calls, "CreateCompatibleRenderTarget");
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0].values, (std::vector<double>{60, 60, 1}));
    expectNear(targets[1].values, {18, 18, 2}, "cap target", 1e-4);

    // Body: two bevel discs, the black disc, the face; f = 1 - 4.000001 / 60.
    const auto discs = only(calls, "FillEllipse", 1);
    ASSERT_EQ(discs.size(), 4u);
    const double r = 0.5 * (60 - 2.4) - 1;
    expectNear(discs[0].values, {28.8, 28.8, r, r}, "dark rim", 1e-4);
    expectNear(discs[1].values, {31.2, 31.2, r, r}, "light rim", 1e-4);
    expectNear(discs[2].values, {30, 30, r, r}, "black disc", 1e-4);
    const double face = 0.5 * 57.6 * (1 - 4.000001 / 60);
    expectNear(discs[3].values, {30, 30, face, face}, "face", 1e-4);
    EXPECT_EQ(discs[3].brush, "linear");

    // Gradients: the body from its colour to half of it; the cap, concave,
    // from half the body colour (an empty cap text) to the body colour.
    const auto gradients = only(calls, "CreateLinearGradientBrush");
    ASSERT_EQ(gradients.size(), 2u);
    expectNear(gradients[0].values,
               {0, 0, 60, 60, 0, linear(0x10), linear(0x20), linear(0x30), 1, 1, 0.5 * linear(0x10), 0.5 * linear(0x20),
                0.5 * linear(0x30), 1},
               "body gradient", 1e-6);
    expectNear(gradients[1].values,
               {0, 0, 18, 18, 0, 0.5 * linear(0x10), 0.5 * linear(0x20), 0.5 * linear(0x30), 1, 1, linear(0x10),
                linear(0x20), linear(0x30), 1},
               "cap gradient", 1e-6);

    // Drawn again without a change: the two bitmaps only.
    const auto again = drawn(c.render(60, 60));
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0].op, "DrawBitmap");
    EXPECT_EQ(again[1].op, "DrawBitmap");
    c.setFloat("Bevel", 0.2f);
    EXPECT_EQ(only(c.render(60, 60), "CreateCompatibleRenderTarget").size(), 2u) << "a cosmetic pin drops them";
}

TEST(KnobFace, LargeKnobsUseAFixedFaceAndTheLongerSideCentres)
{
    Drawn c(L"QW_VecJogShuttleS");
    const auto big = only(c.render(100, 100), "FillEllipse", 1);
    ASSERT_EQ(big.size(), 4u);
    EXPECT_NEAR(big[3].values[2], 0.5 * 96 * 0.95, 1e-4);

    const auto wide = c.render(100, 40);
    expectNear(only(wide, "CreateCompatibleRenderTarget")[0].values, {40, 40}, "body target");
    EXPECT_EQ(only(wide, "DrawBitmap", 0)[0].values, (std::vector<double>{30, 0, 69, 39, 0, 0, 39, 39, 1, 1}));
    const auto tall = c.render(40, 100);
    EXPECT_EQ(only(tall, "DrawBitmap", 0)[0].values, (std::vector<double>{0, 30, 39, 69, 0, 0, 39, 39, 1, 1}));
}

TEST(KnobFace, ColoursAreOpaqueWhateverTheirText)
{
    Drawn c(L"QW_VecJogShuttleS");
    c.setText("Body Colour", L"A0C8FF"); // six digits: alpha 0
    c.setText("Cap Colour", L"20FF0000");
    const auto gradients = only(c.render(100, 100), "CreateLinearGradientBrush");
    ASSERT_GE(gradients.size(), 2u);
    EXPECT_EQ(gradients[0].values[8], 1.0) << "body";
    EXPECT_NEAR(gradients[0].values[5], linear(0xA0), 1e-6);
    EXPECT_EQ(gradients.back().values[8], 1.0) << "cap";
    EXPECT_EQ(gradients.back().values[13], 1.0) << "cap";
}

TEST(KnobFace, TheHitAreaIsInsideTheCircle)
{
    for (const wchar_t* id : {L"QW_VecJogShuttleS", L"QW_VecJS"})
    {
        Drawn c(id);
        EXPECT_EQ(c.view().hitTest({50, 50}), -1) << "nothing drawn yet";
        c.render(100, 100);
        EXPECT_EQ(c.view().hitTest({50, 50}), 0);
        EXPECT_EQ(c.view().hitTest({50, 0}), -1) << "on the circle";
        EXPECT_EQ(c.view().hitTest({50, 0.01f}), 0);
        EXPECT_EQ(c.view().hitTest({100, 50}), -1);
    }
}

TEST(KnobFace, MenusAndToolTips)
{
    for (const wchar_t* id : {L"QW_VecJogShuttleS", L"QW_VecJS", L"QW_VecJogShuttle2"})
    {
        Drawn c(id, Echo::Inside);
        c.setText("Menu Items", L"----,One=5,x\xD800y,||||");
        qwhost::ContextMenuSink sink;
        EXPECT_EQ(c.module().ui()->populateContextMenu(1, 1, &sink), 0);
        ASSERT_EQ(sink.items.size(), 4u) << "every entry, separators too";
        EXPECT_EQ(sink.items[0].text, "----");
        EXPECT_EQ(sink.items[1].id, 5);
        EXPECT_EQ(sink.items[2].text, "") << "no UTF-8 form";
        EXPECT_EQ(sink.items[3].flags, 0);
        EXPECT_EQ(sink.moduleReferences(), 0);

        c.setText("Menu Items", L"range 0,2000000000");
        qwhost::ContextMenuSink many;
        c.module().ui()->populateContextMenu(1, 1, &many);
        EXPECT_EQ(many.items.size(), 10000u);
        gmpi_sdk::MpString notASink;
        EXPECT_EQ(c.module().ui()->populateContextMenu(0, 0, &notASink), 0);

        c.clearSent();
        EXPECT_EQ(c.module().ui()->onContextMenu(7), 0);
        EXPECT_EQ(c.sentInts("Menu Selection"), (std::vector<int32_t>{7, -1}));

        c.setText("Hint", L"a\xDC00z");
        gmpi_sdk::MpString tip;
        EXPECT_EQ(c.view().graphics()->getToolTip({1, 1}, &tip), 0);
        EXPECT_EQ(tip.str(), "a\xEF\xBF\xBDz");
    }
}
