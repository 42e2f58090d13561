// Haas wideners through the built bundle: the delay each control value gives,
// worked out by hand (40 ms x the fourth power of value / 5, in whole samples
// of the rate), the glide to a new delay against a model of the linear
// interpolation, the hold after one line length of static input, the stereo
// gate, and hostile control values. Every run at blocks of 1, 7 and 64.
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kMax = std::numeric_limits<float>::max();

struct HaasCase
{
    float delay;
    int64_t first, second; // where the impulse comes out on each output
};

TEST(Haas, DelayValuesAt44k)
{
    // 5: 0.04 s x 44100 = 1764 on the first output; -2.5: 0.5^4 x 0.04 x
    // 44100 = 110.25, 110 on the second; beyond +-5 as +-5; not a number as 0.
    const HaasCase cases[] = {{5, 1764, 0},     {-2.5f, 0, 110}, {7, 1764, 0},     {-7, 0, 1764},
                              {0, 0, 0},        {kInf, 1764, 0}, {-kInf, 0, 1764}, {kMax, 1764, 0},
                              {-kMax, 0, 1764}, {kNaN, 0, 0},    {2.5f, 110, 0}};
    for (const auto& c : cases)
    {
        auto setup = [&](SignalRun& r) { r.set("Delay", c.delay); };
        EXPECT_EQ(qwtest::unitImpulseAt(qwtest::impulseResponse(L"QW_Haas", 44100.0f, "Signal", "Left", 2000, setup)),
                  c.first)
            << c.delay;
        EXPECT_EQ(qwtest::unitImpulseAt(qwtest::impulseResponse(L"QW_Haas", 44100.0f, "Signal", "Right", 2000, setup)),
                  c.second)
            << c.delay;
    }
}

// The glide from the delay 0 to 1764 samples at 0.05 samples per sample,
// worked out in float as the steps add up, read by linear interpolation.
struct ChaseModel
{
    std::vector<float> line = std::vector<float>(8192, 0.0f);
    float c = 0.0f;
    int64_t landed = -1;

    float step(int64_t t, float x, float target)
    {
        const int w = int(t & 8191);
        line[size_t(w)] = x;
        if (c < target)
            c = std::min(c + 0.05f, target);
        if (c != target)
        {
            float pos = float(w) - c;
            if (pos < 0)
                pos += 8192.0f;
            const int k = int(pos);
            const float frac = pos - float(k);
            return frac * line[size_t((k + 1) & 8191)] + (1.0f - frac) * line[size_t(k)];
        }
        if (landed < 0)
            landed = t;
        return line[size_t((w - int(target)) & 8191)];
    }
};

TEST(Haas, ChasesANewDelayAtOneTwentiethSamplePerSample)
{
    constexpr int64_t change = 1000, total = 38000;
    const auto input = qwtest::noise(3, 0.5);
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_Haas", 44100.0f, block);
        run.set("Delay", 0).stream("Signal", input).set("Delay", 5, change);
        return run.run(total);
    });
    const auto& left = r.out("Left");
    const auto& right = r.out("Right");
    ChaseModel model;
    for (int64_t t = 0; t < total; ++t)
    {
        const float x = input(t);
        const float want = t < change ? (model.line[size_t(t & 8191)] = x) : model.step(t, x, 1764.0f);
        ASSERT_NEAR(left[size_t(t)], want, 1e-6) << t;
        ASSERT_EQ(right[size_t(t)], x) << t;
    }
    // 1764 / 0.05 = 35280 steps; the float sum of the steps takes about as many.
    ASSERT_GE(model.landed, 0);
    EXPECT_NEAR(double(model.landed - change), 35280.0, 40.0);
    for (int64_t t = model.landed; t < total; ++t)
        ASSERT_EQ(left[size_t(t)], input(t - 1764)) << "whole samples once landed, at " << t;
}

TEST(Haas, StaticInputPassesForOneLineLengthThenHolds)
{
    constexpr int64_t stop = 3000;
    const auto input = qwtest::noise(4, 0.5);
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_Haas", 44100.0f, block);
        run.set("Delay", 5).stream("Signal", input).constant("Signal", 0.3f, stop);
        return run.run(stop + 9000);
    });
    const auto left = r.seen("Left");
    const auto right = r.seen("Right");
    EXPECT_EQ(left[size_t(stop + 1000)], input(stop + 1000 - 1764)) << "the line still plays";
    EXPECT_EQ(left[size_t(stop + 1764)], 0.3f);
    // The tail counts 8192 samples from the first static one.
    EXPECT_EQ(r.lastChange("Left", false), stop + 8191);
    EXPECT_EQ(r.lastChange("Right", false), stop + 8191);
    EXPECT_EQ(left.back(), 0.3f);
    EXPECT_EQ(right.back(), 0.3f);
    EXPECT_FALSE(r.sleepRequests.empty());
}

TEST(Haas, StaticFromTheStartHoldsAfterOneLineLength)
{
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_Haas", 44100.0f, block);
        run.set("Delay", -5).constant("Signal", 0.25f);
        return run.run(9000);
    });
    EXPECT_EQ(r.lastChange("Left", false), 8191);
    const auto left = r.seen("Left");
    const auto right = r.seen("Right");
    // The delay chases from 0 to 1764 samples over the static line.
    EXPECT_EQ(left[100], 0.25f);
    EXPECT_EQ(right[100], 0.25f);
    EXPECT_EQ(left.back(), 0.25f);
    EXPECT_EQ(right.back(), 0.25f);
}

// --- QW_Haas2 and QW_Haas2ST at 48 kHz ---

struct SideCase
{
    float side, ms;
    int64_t first, second;
};

TEST(Haas2, SideSharesTheMaximumDelay)
{
    // T = ms x 48 samples; side 5: the first output by T; -5: the second;
    // 2.5: s = 1.5, a = 0.75 T, b = 0.25 T, the first by 0.5 T.
    const SideCase cases[] = {{0, 20, 0, 0},   {5, 20, 960, 0},    {-5, 20, 0, 960},       {2.5f, 20, 480, 0},
                              {9, 20, 960, 0}, {5, 0, 0, 0},       {5, -20, 0, 0},         {kNaN, 20, 0, 0},
                              {5, kNaN, 0, 0}, {5, kInf, 8191, 0}, {-kMax, kMax, 0, 8191}, {kInf, 1000, 8191, 0}};
    for (const auto& c : cases)
    {
        auto setup = [&](SignalRun& r) { r.set("Side", c.side).set("Max Delay", c.ms); };
        EXPECT_EQ(qwtest::unitImpulseAt(qwtest::impulseResponse(L"QW_Haas2", 48000.0f, "Signal", "Left", 8300, setup)),
                  c.first)
            << c.side << " " << c.ms;
        EXPECT_EQ(qwtest::unitImpulseAt(qwtest::impulseResponse(L"QW_Haas2", 48000.0f, "Signal", "Right", 8300, setup)),
                  c.second)
            << c.side << " " << c.ms;
    }
}

TEST(Haas2, GlidesBackAtOneTenthSamplePerSample)
{
    constexpr int64_t change = 2000, total = 13000;
    const auto input = qwtest::noise(5, 0.5);
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_Haas2", 48000.0f, block);
        run.set("Side", 5).set("Max Delay", 20).stream("Signal", input).set("Side", 0, change);
        return run.run(total);
    });
    const auto& left = r.out("Left");
    // The current delay falls from 960 by 0.1 a sample (in float), read at
    // its whole part.
    float c = 960.0f;
    int64_t landed = -1;
    for (int64_t t = 0; t < total; ++t)
    {
        if (t >= change)
        {
            const float gap = 0.0f - c;
            c = gap < -0.1f ? c - 0.1f : c + std::min(0.1f, gap);
            if (c == 0.0f && landed < 0)
                landed = t;
        }
        const int64_t back = int64_t(c);
        const float want = t - back >= 0 ? input(t - back) : 0.0f;
        ASSERT_EQ(left[size_t(t)], want) << t;
    }
    EXPECT_NEAR(double(landed - change), 9600.0, 20.0);
}

TEST(Haas2, SilentOneLineLengthAfterTheInputTurnedStatic)
{
    constexpr int64_t stop = 1500;
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_Haas2", 48000.0f, block);
        run.set("Side", -5).set("Max Delay", 20).stream("Signal", qwtest::noise(6)).constant("Signal", 0.8f, stop);
        return run.run(stop + 9000);
    });
    const auto left = r.seen("Left");
    const auto right = r.seen("Right");
    EXPECT_EQ(left[size_t(stop)], 0.0f) << "a static input is not written";
    EXPECT_NE(right[size_t(stop + 500)], 0.0f) << "the line still plays";
    EXPECT_EQ(r.lastChange("Left", false), stop + 8192);
    EXPECT_EQ(r.lastChange("Right", false), stop + 8192);
    EXPECT_EQ(right.back(), 0.0f);
}

TEST(Haas2, SettingsChangedWhileSilentApplyAtOnce)
{
    // Side and maximum delay move while the module is silent (and asleep);
    // when the input streams, the last settings hold without a glide.
    const auto input = qwtest::noise(8, 0.5);
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_Haas2", 44100.0f, block);
        run.constant("Signal", 0.0f).set("Side", 5, 300).set("Max Delay", 1, 300).set("Side", -5, 700);
        run.stream("Signal", input, 1024);
        return run.run(1200);
    });
    const auto& left = r.out("Left");
    const auto& right = r.out("Right");
    for (int64_t t = 1024; t < 1200; ++t)
    {
        ASSERT_EQ(left[size_t(t)], input(t)) << t;
        ASSERT_EQ(right[size_t(t)], t >= 1024 + 44 ? input(t - 44) : 0.0f) << "1 ms = 44.1 samples, at " << t;
    }
}

TEST(Haas2ST, BothChannelsPassWhileEitherInputStreams)
{
    constexpr int64_t stop = 1000;
    const auto input = qwtest::noise(7, 0.5);
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_Haas2ST", 48000.0f, block);
        run.set("Side", 5).set("Max Delay", 10).stream("Left In", input).constant("Right In", 0.5f);
        run.constant("Left In", 0.0f, stop);
        return run.run(stop + 9000);
    });
    const auto left = r.seen("Left");
    const auto right = r.seen("Right");
    for (int64_t t = 0; t < stop; ++t)
    {
        ASSERT_EQ(left[size_t(t)], t >= 480 ? input(t - 480) : 0.0f) << t;
        ASSERT_EQ(right[size_t(t)], 0.5f) << "the static channel passes, undelayed, at " << t;
    }
    // Both static: nothing more is written, not even the static channel.
    EXPECT_EQ(right[size_t(stop)], 0.0f);
    EXPECT_EQ(left[size_t(stop + 100)], input(stop + 100 - 480));
    EXPECT_EQ(left[size_t(stop + 480)], 0.0f);
    EXPECT_EQ(r.lastChange("Left", false), stop + 8192);
    EXPECT_EQ(r.lastChange("Right", false), stop + 8192);
}
} // namespace
