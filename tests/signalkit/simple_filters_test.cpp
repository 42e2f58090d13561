// The simple signal filters through the built bundle: integrator, first
// difference, one-sample delay, cumulative mean, moving average and slew-rate
// limiter; their settling or static announcement at the exact sample (found
// by a float run of the formula here), resets and window limits. Every run at
// blocks of 1, 7 and 64.
#include "signal_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr float kRate = 48000.0f;

TEST(Integrator, SettlesAtTheFixedPointAndAnnouncesTheFirstRepeat)
{
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_Integrator", kRate, block);
        run.constant("Leak", 0.5f).constant("Signal", 1.0f);
        return run.run(400);
    });
    float y = 0.0f;
    int64_t at = 0;
    for (;; ++at)
    {
        const float next = y * 0.5f + 1.0f;
        if (next == y)
            break;
        y = next;
    }
    EXPECT_EQ(y, 2.0f);
    EXPECT_EQ(r.lastChange("Output", false), at);
    EXPECT_EQ(r.seen("Output").back(), 2.0f);
}

TEST(Integrator, LeakOfOneWithZeroInputHoldsAtOnce)
{
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_Integrator", kRate, block);
        run.constant("Leak", 1.0f).constant("Signal", 0.0f);
        return run.run(100);
    });
    EXPECT_EQ(r.lastChange("Output", false), 0);
}

TEST(Integrator, LeakIsLimitedAndNotANumberCountsAsZero)
{
    auto out = [](float leak) {
        SignalRun run(L"QW_Integrator", kRate, 64);
        run.constant("Leak", leak).stream("Signal", qwtest::noise(1));
        return run.run(500).out("Output");
    };
    const auto passed = out(std::numeric_limits<float>::quiet_NaN());
    for (int64_t t = 0; t < 500; ++t)
        ASSERT_EQ(passed[size_t(t)], qwtest::noise(1)(t)) << t;
    EXPECT_EQ(out(std::numeric_limits<float>::infinity()), out(1.0f));
    EXPECT_EQ(out(-std::numeric_limits<float>::max()), out(-1.0f));
}

TEST(Derivator, StepGivesOneDifferenceThenStaticZeros)
{
    constexpr int64_t at = 100;
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_Derivator", kRate, block);
        run.constant("Signal", 0.0f).constant("Signal", 0.3f, at);
        return run.run(300);
    });
    const auto y = r.seen("Output");
    EXPECT_EQ(y[at], 0.3f);
    for (int64_t t = 0; t < 300; ++t)
    {
        if (t != at)
        {
            ASSERT_EQ(y[size_t(t)], 0.0f) << t;
        }
    }
    EXPECT_EQ(r.lastChange("Output", false), at + 1);
}

TEST(OneSampleDelay, StaticFromTheSampleAfterTheInputTurnedStatic)
{
    constexpr int64_t at = 77;
    const auto input = qwtest::noise(2);
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_OneSampleDelay", kRate, block);
        run.stream("Signal", input).constant("Signal", 0.25f, at);
        return run.run(200);
    });
    const auto y = r.seen("Output");
    for (int64_t t = 1; t <= at; ++t)
        ASSERT_EQ(y[size_t(t)], input(t - 1)) << t;
    for (int64_t t = at + 1; t < 200; ++t)
        ASSERT_EQ(y[size_t(t)], 0.25f) << t;
    EXPECT_EQ(r.lastChange("Output", false), at + 1);
}

TEST(Averaging, ResetTrueRestartsTheMeanFalseDoesNothing)
{
    const auto input = qwtest::noise(3);
    auto run = [&](bool withReset) {
        return qwtest::sameAtBlocks([&](int block) {
            SignalRun s(L"QW_Averaging", kRate, block);
            s.stream("Signal", input);
            if (withReset)
                s.set("Reset", 1, 500).set("Reset", 0, 700);
            return s.run(1000);
        });
    };
    const Recording reset = run(true), plain = run(false);
    const auto& y = reset.out("Output");
    EXPECT_EQ(y[500], input(500));
    double sum = 0;
    for (int64_t t = 500; t < 1000; ++t)
        sum += input(t);
    EXPECT_NEAR(y[999], sum / 500, 1e-6);
    // The false value at 700 changes nothing: the mean since 500 goes on.
    EXPECT_NEAR(
        y[700],
        [&] {
            double s = 0;
            for (int64_t t = 500; t <= 700; ++t)
                s += input(t);
            return s / 201;
        }(),
        1e-6);
    EXPECT_NE(y[999], plain.out("Output")[999]);
    for (auto& c : reset.streaming)
        EXPECT_TRUE(c.streaming) << "the output keeps streaming, at " << c.time;
}

// The number of samples after a unit impulse that carry 1/N: the window.
int windowOf(int value)
{
    const Recording r = qwtest::sameAtBlocks(
        [&](int block) {
            SignalRun run(L"QW_MovingAvg", kRate, block);
            run.set("Window", value).stream("Signal", qwtest::impulse(10));
            return run.run(20100);
        },
        {64, 7});
    const auto& y = r.out("Output");
    return static_cast<int>(std::count_if(y.begin(), y.end(), [](float v) { return v != 0.0f; }));
}

TEST(MovingAvg, WindowLimits)
{
    struct Case
    {
        int value, window;
    } cases[] = {{0, 2}, {1, 2}, {2, 2}, {-7, 2}, {5, 5}, {30000, 20000}, {INT_MIN, 2}, {INT_MAX, 20000}};
    for (auto& c : cases)
        EXPECT_EQ(windowOf(c.value), c.window) << c.value;
}

TEST(MovingAvg, WindowChangeClearsAndStaticInputIsAnnouncedAtTheNthSample)
{
    constexpr int64_t change = 300, still = 600;
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_MovingAvg", kRate, block);
        run.set("Window", 10).stream("Signal", [](int64_t) { return 1.0f; });
        run.set("Window", 5, change).constant("Signal", 0.6f, still);
        return run.run(800);
    });
    const auto y = r.seen("Output");
    EXPECT_EQ(y[change - 1], 1.0f);
    EXPECT_EQ(y[change], 0.2f) << "one sample of 1 in a cleared window of 5";
    EXPECT_EQ(r.lastChange("Output", false), still + 4) << "the 5th sample after";
    EXPECT_NEAR(y.back(), 0.6f, 1e-6f);
}

TEST(MovingAvg, RunsBeforeItsFirstWindowValue)
{
    qwhost::ProcessingHost host;
    auto p = host.create(qwtest::bundle("signalkit"), L"QW_MovingAvg");
    p->setStreaming(p->pin("Signal"), true);
    for (int b = 0; b < 4; ++b)
    {
        std::fill_n(p->input(p->pin("Signal")), 64, 1.0f);
        p->run(64);
    }
    EXPECT_EQ(p->output(p->pin("Output"))[63], 1.0f) << "a window of 2";
}

TEST(RampFilter, ClimbsAtTheRiseRateAndSettlesOnTheInput)
{
    const Recording r = qwtest::sameAtBlocks(
        [](int block) {
            SignalRun run(L"QW_RampFilter", kRate, block);
            run.set("Rise", 1.0).set("Fall", 1.0).constant("Signal", 1.0f);
            return run.run(50000);
        },
        {64, 7, 1});
    const float up = 1.0f / kRate;
    float y = 0.0f;
    int64_t at = 0;
    for (;; ++at)
    {
        y = y + std::min(up, 1.0f - y);
        if (y == 1.0f)
            break;
    }
    EXPECT_NEAR(at, 48000, 100);
    EXPECT_EQ(r.lastChange("Output", false), at);
    EXPECT_NEAR(r.out("Output")[24000], 0.5f, 1e-3f);
}

TEST(RampFilter, ZeroOrNegativeRatesFreeze)
{
    auto run = [](float rise, float fall) {
        return qwtest::sameAtBlocks([=](int block) {
            SignalRun s(L"QW_RampFilter", kRate, block);
            s.set("Rise", rise).set("Fall", fall).constant("Signal", -0.5f);
            return s.run(3000);
        });
    };
    const Recording zero = run(0.0f, 0.0f);
    for (float v : zero.seen("Output"))
        ASSERT_EQ(v, 0.0f);
    EXPECT_TRUE(zero.changes("Output").back().streaming) << "never announced static";
    EXPECT_EQ(run(-3.0f, -1.0f).out("Output"), zero.out("Output"));
    EXPECT_EQ(run(std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity()).out("Output"),
              zero.out("Output"));
}
} // namespace
