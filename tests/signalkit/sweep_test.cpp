// The swept delays (swept chorus, vibrato) through the built bundle: taps at
// the delays worked out from the depth formulas, the sweep's shape read off a
// ramp (a linearly interpolated tap reads a ramp exactly), the same samples
// at every block size (the oscillator is renormalised by the samples it
// turned, not by blocks), and the immediate stop that empties the ring.
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr float kRate = 48000.0f;
constexpr double kTwoPi = 6.283185307179586;
// In samples of delay: the oscillator's rotation per sample comes from the
// fast sine (absolute error about 1e-7 on a sine of about 3e-4 at 2 Hz), so
// its phase drifts by some 1e-3 radians over the 30000 samples compared.
constexpr double kSweepTolerance = 0.25;

TEST(ChorusMod, TapsAtHalfTheDepth)
{
    // Rate 0 holds the oscillator at (1, 0); depth 5 V: 0.5 x 255 = 127.5
    // samples, h = 63.75. The first tap at h(1 - 1) = 0, the second at h.
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_ChorusMod", kRate, block);
        run.set("Voices", 0).set("Rate", 0.0).set("Depth", 5.0).constant("Depth Mod", 1.0f);
        run.stream("Signal", qwtest::impulse(0));
        return run.run(300);
    });
    const auto& left = r.out("Left Out");
    const auto& right = r.out("Right Out");
    for (size_t t = 0; t < 300; ++t)
    {
        ASSERT_EQ(left[t], t == 0 ? 1.0f : 0.0f) << t;
        ASSERT_EQ(right[t], t == 63 ? 0.25f : t == 64 ? 0.75f : 0.0f) << t;
    }
}

TEST(Vibrato, TapAtHalfTheDepth)
{
    // Rate 2 Hz, depth 1: 511.5 / 2 = 255.75 samples; modulation 0 leaves the
    // tap at h = 127.875.
    const auto y = qwtest::impulseResponse(L"QW_Vibrato", kRate, "Signal", "Output", 400, [](SignalRun& r) {
        r.set("Rate", 2.0).set("Depth", 1.0).constant("Depth Mod", 0.0f);
    });
    for (size_t t = 0; t < y.size(); ++t)
        ASSERT_EQ(y[t], t == 127 ? 0.125f : t == 128 ? 0.875f : 0.0f) << t;
}

// The delay of each output over a ramp input: t - y(t) x 1024.
std::vector<double> delays(const std::vector<float>& y)
{
    std::vector<double> d;
    for (size_t t = 0; t < y.size(); ++t)
        d.push_back(double(t) - double(y[t]) * 1024.0);
    return d;
}

float ramp(int64_t t)
{
    return static_cast<float>(t) / 1024.0f;
}

TEST(ChorusMod, QuadratureSweepAtEveryBlockSize)
{
    // 2 Hz, depth 10 V: (1 - 0.25 x 2) x 255 = 127.5 samples, h = 63.75; the
    // two taps at h(1 - cos) and h(1 - sin) of 2 Hz.
    constexpr int64_t length = 30000;
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_ChorusMod", kRate, block);
        run.set("Voices", 0).set("Rate", 2.0).set("Depth", 10.0).constant("Depth Mod", 1.0f);
        run.stream("Signal", ramp);
        return run.run(length);
    });
    const auto dl = delays(r.out("Left Out")), dr = delays(r.out("Right Out"));
    for (int64_t t = 256; t < length; ++t)
    {
        const double phase = kTwoPi * 2.0 * double(t) / kRate;
        ASSERT_NEAR(dl[size_t(t)], 63.75 * (1 - std::cos(phase)), kSweepTolerance) << t;
        ASSERT_NEAR(dr[size_t(t)], 63.75 * (1 - std::sin(phase)), kSweepTolerance) << t;
    }
}

TEST(ChorusMod, EveryRoutineIsTheSameAtEveryBlockSize)
{
    for (int voices : {0, 1, 2, 7})
        qwtest::sameAtBlocks([voices](int block) {
            SignalRun run(L"QW_ChorusMod", kRate, block);
            run.set("Voices", voices).set("Rate", 1.7).set("Depth", 8.0).stream("Depth Mod", qwtest::noise(3));
            run.stream("Signal", qwtest::noise(4));
            return run.run(20000);
        });
}

TEST(Vibrato, SweepAtEveryBlockSize)
{
    // 5 Hz, depth 1: 511.5 / 5 = 102.3 samples, tap at h(1 - m cos), m = 0.5.
    constexpr int64_t length = 30000;
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_Vibrato", kRate, block);
        run.set("Rate", 5.0).set("Depth", 1.0).constant("Depth Mod", 0.5f);
        run.stream("Signal", ramp);
        return run.run(length);
    });
    const auto d = delays(r.out("Output"));
    for (int64_t t = 256; t < length; ++t)
        ASSERT_NEAR(d[size_t(t)], 51.15 * (1 - 0.5 * std::cos(kTwoPi * 5.0 * double(t) / kRate)), kSweepTolerance) << t;
}

TEST(SweptDelays, StaticInputStopsAtOnceAndEmptiesTheRing)
{
    struct Case
    {
        const wchar_t* id;
        std::vector<std::string> outs;
    };
    for (const Case& c : {Case{L"QW_ChorusMod", {"Left Out", "Right Out"}}, Case{L"QW_Vibrato", {"Output"}}})
    {
        constexpr int64_t stop = 1000, restart = 2000;
        const Recording r = qwtest::sameAtBlocks([&](int block) {
            SignalRun run(c.id, kRate, block);
            run.set("Rate", 2.0).set("Depth", 1.5).constant("Depth Mod", 1.0f);
            run.stream("Signal", qwtest::noise(5)).constant("Signal", 0.5f, stop);
            run.stream(
                "Signal", [](int64_t) { return 0.0f; }, restart);
            return run.run(3000);
        });
        for (const auto& out : c.outs)
        {
            const auto ch = r.changes(out);
            ASSERT_EQ(ch.size(), 3u);
            EXPECT_EQ(ch[1], (qwtest::StreamingChange{stop, r.pins.at(out), false}));
            EXPECT_EQ(ch[2], (qwtest::StreamingChange{restart, r.pins.at(out), true}));
            const auto& y = r.out(out);
            for (int64_t t = stop; t < 3000; ++t)
                ASSERT_EQ(y[size_t(t)], 0.0f) << "nothing comes back, at " << t;
        }
        EXPECT_FALSE(r.sleepRequests.empty());
    }
}
} // namespace
