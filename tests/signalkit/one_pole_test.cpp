// One-pole low-pass filters through the built bundle: the response against
// exp(-2 pi fc / fs) worked out in double, the pitch scale, settling and its
// announcement at the exact sample, reset while streaming and while static,
// the mode change, and hostile cutoffs. Every run at blocks of 1, 7 and 64.
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr double kPi = 3.14159265358979323846;
constexpr float kRate = 48000.0f;
constexpr double kPoleError = 5.2e-5; // exp2Fast's relative error

double poleFor(double fc, double fs)
{
    return std::exp(-2 * kPi * fc / fs);
}

// |H| of y = p y + (1 - p) x at f.
double magnitude(double p, double f, double fs)
{
    return (1 - p) / std::abs(1.0 - p * std::polar(1.0, -2 * kPi * f / fs));
}

TEST(OnePole, ResponseInHertzMode)
{
    const double p = poleFor(1000, kRate);
    struct Case
    {
        double f, byHand;
    } cases[] = {{100, 0.99504}, {1000, 0.70761}, {5000, 0.19966}};
    for (const wchar_t* id : {L"QW_LPF2", L"QW_LPF"})
        for (auto& c : cases)
        {
            const double got = qwtest::responseAt(
                                   id, kRate, "Signal", "Output", c.f,
                                   [](SignalRun& r) { r.constant("Cutoff", 100.0f).set("Mode", 0); }, 4800, 4800)
                                   .gain;
            EXPECT_NEAR(magnitude(p, c.f, kRate), c.byHand, 1e-5);
            EXPECT_NEAR(got, c.byHand, c.byHand * 5e-4) << c.f << " Hz";
        }
}

// The first output of a streaming step of height 1 from rest: 1 - p.
double firstStepPole(float cutoff, int mode)
{
    const Recording r = qwtest::sameAtBlocks([=](int block) {
        SignalRun run(L"QW_LPF2", kRate, block);
        run.constant("Cutoff", cutoff).set("Mode", mode).stream("Signal", [](int64_t) { return 1.0f; });
        return run.run(100);
    });
    return 1.0 - r.out("Output")[0];
}

TEST(OnePole, PitchModeFollowsOneVoltPerOctave)
{
    EXPECT_NEAR(poleFor(440, kRate), 0.944031, 1e-6);
    EXPECT_NEAR(firstStepPole(0.5f, 1), 0.944031, 2 * kPoleError);
    EXPECT_NEAR(firstStepPole(0.6f, 1), poleFor(880, kRate), 2 * kPoleError);
    EXPECT_NEAR(firstStepPole(44.0f, 0), poleFor(440, kRate), kPoleError);
}

// The first sample that repeats the one before (the first output's
// predecessor is the state, 0); -1 when none.
int64_t firstRepeat(const std::vector<float>& y, int64_t from, float before)
{
    for (int64_t t = from; t < static_cast<int64_t>(y.size()); ++t)
        if (y[size_t(t)] == (t == from ? before : y[size_t(t - 1)]))
            return t;
    return -1;
}

TEST(OnePole, StaticInputSettlesAndIsAnnouncedAtTheFirstRepeat)
{
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_LPF2", kRate, block);
        run.constant("Cutoff", 50.0f).constant("Signal", 0.3f);
        return run.run(6000);
    });
    const auto& raw = r.out("Output");
    const int64_t at = firstRepeat(raw, 0, 0.0f);
    ASSERT_GT(at, 10);
    EXPECT_NEAR(raw[size_t(at)], 0.3f, 1e-6f);
    EXPECT_EQ(r.lastChange("Output", false), at);
    const auto seen = r.seen("Output");
    EXPECT_EQ(seen.back(), raw[size_t(at)]);
    EXPECT_FALSE(r.sleepRequests.empty());
}

TEST(OnePole, ResetWhileStreamingRestartsFromZero)
{
    constexpr int64_t at = 3333;
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_LPF2", kRate, block);
        run.constant("Cutoff", 100.0f).stream("Signal", [](int64_t) { return 0.8f; }).set("Reset", 1.0, at);
        return run.run(4000);
    });
    const auto& y = r.out("Output");
    EXPECT_EQ(y[at], y[0]) << "(1 - p) x from a state of 0";
    EXPECT_NEAR(y[at - 1], 0.8f, 1e-5f);
}

TEST(OnePole, ResetWhileStaticStreamsAgainThenSettles)
{
    constexpr int64_t at = 5000;
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_LPF2", kRate, block);
        run.constant("Cutoff", 100.0f).constant("Signal", 0.4f).set("Reset", 1.0, at);
        return run.run(10000);
    });
    const auto ch = r.changes("Output");
    ASSERT_GE(ch.size(), 3u);
    const auto& raw = r.out("Output");
    const int64_t first = firstRepeat(raw, 0, 0.0f);
    ASSERT_LT(first, at);
    EXPECT_EQ(ch[ch.size() - 3].time, first);
    EXPECT_FALSE(ch[ch.size() - 3].streaming);
    EXPECT_EQ(ch[ch.size() - 2].time, at);
    EXPECT_TRUE(ch[ch.size() - 2].streaming);
    const auto seen = r.seen("Output");
    EXPECT_EQ(seen[at], seen[0]) << "from 0 again";
    const int64_t again = firstRepeat(raw, at, 0.0f);
    EXPECT_EQ(ch.back().time, again);
    EXPECT_FALSE(ch.back().streaming);
    EXPECT_EQ(seen.back(), raw[size_t(again)]);
}

TEST(OnePole, ModeChangeRecomputesAtOnce)
{
    constexpr int64_t at = 700;
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_LPF", kRate, block);
        run.constant("Cutoff", 0.5f).set("Mode", 0).stream("Signal", [](int64_t) { return 1.0f; });
        run.set("Mode", 1, at);
        return run.run(1000);
    });
    const auto& y = r.out("Output");
    const double before = (double(y[at - 1]) - 1) / (double(y[at - 2]) - 1);
    const double after = (double(y[at]) - 1) / (double(y[at - 1]) - 1);
    EXPECT_NEAR(before, poleFor(5, kRate), 1e-4) << "5 Hz in hertz mode";
    EXPECT_NEAR(after, poleFor(440, kRate), 1e-4) << "440 Hz in pitch mode";
}

TEST(OnePole, HostileCutoffsGiveAPoleInRange)
{
    auto out = [](float cutoff, int mode) {
        SignalRun run(L"QW_LPF2", kRate, 64);
        run.constant("Cutoff", cutoff).set("Mode", mode).stream("Signal", qwtest::noise(7));
        return run.run(2000).out("Output");
    };
    for (int mode : {0, 1})
    {
        EXPECT_EQ(out(std::numeric_limits<float>::quiet_NaN(), mode), out(0.0f, mode)) << mode;
        for (float c : {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                        std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest(), 1e30f, -1e30f})
            for (float v : out(c, mode))
                ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= 1.0f) << c << " in mode " << mode;
    }
    // A cutoff far above the rate follows the input; 0 Hz hardly moves.
    const auto fast = out(1e30f, 0), slow = out(-5.0f, 0);
    EXPECT_NEAR(fast[100], qwtest::noise(7)(100), 1e-6);
    EXPECT_LT(std::fabs(slow[100]), 1e-3f);
}
} // namespace
