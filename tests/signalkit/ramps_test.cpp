// Ramp generator and glides through the built bundle: arrival times as a
// float run of the step per sample gives them, restart modes, gates, and the
// glides' sleep at the sample of arrival and their waking. Every run at
// blocks of 1, 7 and 64.
#include "signal_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

// Steps of `step` in float from `from` towards `to`, each stopping at `to`,
// until `to` is reached.
int64_t stepsBetween(float from, float to, float step)
{
    float y = from;
    int64_t k = 0;
    while (y != to)
    {
        y = to > y ? std::min(y + step, to) : std::max(y - step, to);
        ++k;
    }
    return k;
}

int64_t stepsTo(float to, float step)
{
    return stepsBetween(0.0f, to, step);
}

Recording atBlocks(const wchar_t* id, float rate, int64_t samples, const std::function<void(SignalRun&)>& setup)
{
    return qwtest::sameAtBlocks([&](int block) {
        SignalRun run(id, rate, block);
        setup(run);
        return run.run(samples);
    });
}

// --- ramp ---

TEST(RampGen, ReachesTheEndAfterOneSecondAtTenVoltsASecondAndStays)
{
    constexpr float fs = 44100.0f;
    const float step = 0.1f * 10.0f / fs;
    // The running value after n steps, in float as the ramp sums it.
    float c = 0.0f;
    int64_t reach = 0;
    while (c < 1.0f)
        c += step, ++reach;
    EXPECT_NEAR(double(reach), fs, fs * 0.001) << "about one second";
    const Recording r = atBlocks(L"QW_RampGen", fs, 50000, [](SignalRun& run) {
        run.set("Start", 0).set("End", 10).set("Rate", 10).set("Run", 1);
    });
    const auto& y = r.out("Output");
    EXPECT_EQ(y[0], 0.0f);
    EXPECT_LT(y[size_t(reach - 1)], 1.0f);
    for (size_t n = size_t(reach); n < y.size(); ++n)
        ASSERT_EQ(y[n], 1.0f) << n;
    EXPECT_EQ(r.lastChange("Output", false), 0) << "streams from the run on";
    EXPECT_EQ(r.lastChange("Output", true), 0);
}

TEST(RampGen, StartAboveEndFalls)
{
    const Recording r = atBlocks(L"QW_RampGen", 48000.0f, 80000, [](SignalRun& run) {
        run.set("Restart Mode", 1).set("Start", 8).set("End", 2).set("Rate", 4).set("Run", 1);
    });
    const auto& y = r.out("Output");
    EXPECT_EQ(y[0], 0.8f);
    for (size_t n = 1; n < y.size(); ++n)
        ASSERT_LE(y[n], y[n - 1]);
    EXPECT_NEAR(y[12000], 0.8 - 0.25 * 0.4, 5e-4) << "4 V a second down for a quarter second";
    EXPECT_EQ(y.back(), 0.2f);
}

TEST(RampGen, RestartModes)
{
    // Run on at 0, off at 1000, on again at 2000, at 1 V a second (2.27e-6 a sample).
    const float step = 0.1f * 1.0f / 44100.0f;
    auto ramp = [](int mode) {
        return atBlocks(L"QW_RampGen", 44100.0f, 3000, [=](SignalRun& run) {
            run.set("Restart Mode", mode).set("Start", 0).set("End", 10).set("Rate", 1).set("Run", 1);
            run.set("Run", 0, 1000).set("Run", 1, 2000);
        });
    };
    const Recording continues = ramp(0), restarts = ramp(1), returns = ramp(2);
    const auto a = continues.seen("Output"), b = restarts.seen("Output"), c = returns.seen("Output");
    EXPECT_NEAR(a[999], 999 * step, 1e-7);
    EXPECT_EQ(a[1500], a[1000]) << "held while stopped";
    EXPECT_EQ(a[2000], a[1000]) << "mode 0 continues where it stopped";
    EXPECT_EQ(b[1500], b[1000]);
    EXPECT_EQ(b[2000], 0.0f) << "mode 1 restarts at the start";
    EXPECT_EQ(c[1000], 0.0f) << "mode 2 returns to the start when stopped";
    EXPECT_EQ(c[2000], 0.0f);
    EXPECT_GT(c[2999], 0.0f);
}

TEST(RampGen, ResetWhileStoppedShowsTheStart)
{
    const Recording r = atBlocks(L"QW_RampGen", 44100.0f, 3000, [](SignalRun& run) {
        run.set("Restart Mode", 1).set("Start", 3).set("End", 10).set("Rate", 100).set("Run", 1);
        run.set("Run", 0, 1000).set("Reset", 1, 2000);
    });
    // The reset is announced as a new static level at its sample (a
    // repeated static report), so the samples written at it are read.
    EXPECT_EQ(r.lastChange("Output", false), 1000);
    const auto& y = r.out("Output");
    EXPECT_GT(y[1500], 0.5f);
    EXPECT_EQ(y[2000], 0.3f);
    EXPECT_EQ(y[2999], 0.3f);
}

// --- glides ---

struct Glide
{
    Recording r;
    int64_t from; // the sample of the target's jump
};

Glide glide(const wchar_t* id, float fs, float from, float to, int mode, int64_t samples,
            const std::function<void(SignalRun&)>& times)
{
    constexpr int64_t at = 1000;
    Recording r = atBlocks(id, fs, samples, [&](SignalRun& run) {
        times(run);
        run.set("Mode", mode).constant("Signal", from).constant("Signal", to, at);
    });
    return {r, at};
}

// The sample at which the output first equals v from `from` on; -1 when never.
int64_t arrival(const std::vector<float>& y, int64_t from, float v)
{
    for (int64_t n = from; n < int64_t(y.size()); ++n)
        if (y[size_t(n)] == v)
            return n;
    return -1;
}

TEST(Glider, ConstantTimeTakesTheGlideTimeWhateverTheJump)
{
    constexpr float fs = 48000.0f;
    const float T = 10.0f * 0.1f;
    EXPECT_EQ(stepsTo(0.5f, 0.5f / (T * fs)), 47970);
    for (float to : {0.5f, 0.1f})
    {
        const Glide g = glide(L"QW_Glider", fs, 0.0f, to, 0, 50000, [](SignalRun& run) { run.constant("Time", 0.1f); });
        const auto& y = g.r.out("Output");
        const int64_t expected = g.from + stepsTo(to, to / (T * fs)) - 1;
        EXPECT_EQ(arrival(y, g.from, to), expected) << to;
        EXPECT_LT(y[size_t(expected - 1)], to);
        EXPECT_EQ(g.r.lastChange("Output", false), expected) << "reported static at the sample of arrival";
        EXPECT_FALSE(g.r.sleepRequests.empty());
    }
}

TEST(Glider, ConstantRateTakesTheTimePerVolt)
{
    constexpr float fs = 48000.0f;
    const float step = 0.1f / (10.0f * 0.1f * fs);
    for (float to : {0.5f, 0.1f})
    {
        const Glide g =
            glide(L"QW_Glider", fs, 0.0f, to, 1, 250000, [](SignalRun& run) { run.constant("Time", 0.1f); });
        const int64_t took = arrival(g.r.out("Output"), g.from, to) - g.from + 1;
        EXPECT_EQ(took, stepsTo(to, step));
        EXPECT_NEAR(double(took) / fs, to * 10.0, 0.01) << "1 V a second";
    }
}

TEST(Glider, GateAtOneHalfJumps)
{
    for (float gate : {0.5f, 0.49f})
    {
        const Glide g = glide(L"QW_Glider", 48000.0f, 0.0f, 0.3f, 0, 3000,
                              [=](SignalRun& run) { run.constant("Time", 0.1f).constant("Gate", gate); });
        const auto& y = g.r.out("Output");
        if (gate >= 0.5f)
            EXPECT_EQ(y[size_t(g.from)], 0.3f);
        else
            EXPECT_NEAR(y[size_t(g.from)], 0.3f / 48000, 1e-9);
    }
}

TEST(Glider, ANewStaticTargetWakesAnArrivedGlide)
{
    constexpr float fs = 48000.0f;
    const Recording r = atBlocks(L"QW_Glider", fs, 6000, [](SignalRun& run) {
        run.constant("Time", 0.001f)
            .constant("Signal", 0.0f)
            .constant("Signal", 0.4f, 1000)
            .constant("Signal", 0.2f, 3000);
    });
    const auto seen = r.seen("Output");
    const int out = r.pins.at("Output");
    const float T = 10.0f * 0.001f;
    const int64_t first = 1000 + stepsTo(0.4f, 0.4f / (T * fs)) - 1;
    const int64_t second = arrival(seen, 3000, 0.2f);
    ASSERT_GT(second, 3000);
    using C = qwtest::StreamingChange;
    const std::vector<C> expected = {{1000, out, true}, {first, out, false}, {3000, out, true}, {second, out, false}};
    std::vector<C> changes; // after graph start
    for (auto& c : r.changes("Output"))
        if (c.time > 0)
            changes.push_back(c);
    EXPECT_EQ(changes, expected);
    EXPECT_EQ(second, 3000 + stepsBetween(0.4f, 0.2f, 0.2f / (T * fs)) - 1);
    EXPECT_EQ(seen[2500], 0.4f);
    EXPECT_EQ(seen[5999], 0.2f);
}

TEST(Glider2, RiseZeroJumpsUpAndTheFallTimeGlidesDown)
{
    constexpr float fs = 48000.0f;
    const Recording r = atBlocks(L"QW_Glider2", fs, 60000, [](SignalRun& run) {
        run.constant("Rise Time", 0.0f).constant("Fall Time", 0.1f).constant("Signal", 0.0f);
        run.constant("Signal", 0.5f, 1000).constant("Signal", 0.0f, 2000);
    });
    const auto seen = r.seen("Output");
    EXPECT_EQ(seen[1000], 0.5f) << "jumps up";
    EXPECT_LT(seen[2000], 0.5f);
    EXPECT_GT(seen[2000], 0.49f);
    EXPECT_EQ(arrival(seen, 2000, 0.0f), 2000 + stepsBetween(0.5f, 0.0f, 0.5f / (1.0f * fs)) - 1) << "one second down";
}
} // namespace
