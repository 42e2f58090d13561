// Plain delays through the built bundle: QW_Latency's whole-sample delay, its
// limits and its latency reports; QW_FracDelay's all-pass fraction against a
// model worked out in double and by the phase of a sine fit; the streaming
// tails of both; and a burst of non-finite samples in every delay of this
// folder, which leaves nothing behind past its block. Every run at blocks of
// 1, 7 and 64.
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kMax = std::numeric_limits<float>::max();
constexpr double kPi = 3.14159265358979323846;

TEST(Latency, DelayInWholeSamplesWithinTheLine)
{
    const std::pair<double, int64_t> cases[] = {{-3, 0},      {10000, 8191},      {100, 100},          {0, 0},
                                                {8191, 8191}, {-2147483648.0, 0}, {2147483647.0, 8191}};
    for (auto [delay, at] : cases)
        EXPECT_EQ(qwtest::unitImpulseAt(qwtest::impulseResponse(L"QW_Latency", 44100.0f, "Signal", "Output", 8300,
                                                                [d = delay](SignalRun& r) { r.set("Delay", d); })),
                  at)
            << delay;
}

// Noise through the line over two line lengths comes out exactly D samples
// later (zeros before), for delays at the edges of a block and of the line,
// whatever the block size.
TEST(Latency, NoiseComesOutExactlyTheDelayLater)
{
    const auto input = qwtest::noise(3, 0.5);
    for (int delay : {0, 1, 6, 7, 63, 64, 65, 255, 256, 7936, 8128, 8129, 8185, 8191})
    {
        const Recording r = qwtest::sameAtBlocks(
            [&](int block) {
                SignalRun run(L"QW_Latency", 44100.0f, block);
                run.set("Delay", delay).stream("Signal", input);
                return run.run(17000);
            },
            {1, 7, 64, 256});
        const auto y = r.seen("Output");
        int64_t wrong = -1;
        for (int64_t t = 0; t < int64_t(y.size()) && wrong < 0; ++t)
            if (y[size_t(t)] != (t >= delay ? input(t - delay) : 0.0f))
                wrong = t;
        EXPECT_EQ(wrong, -1) << "delay " << delay;
    }
}

TEST(Latency, ReportsTheDelayWhenItIsSetWhileReporting)
{
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_Latency", 44100.0f, block);
        run.stream("Signal", qwtest::noise(1));
        run.set("Report Latency", 1).set("Delay", 100);
        run.set("Delay", 250, 1000);
        run.set("Report Latency", 0, 2000).set("Report Latency", 1, 3000); // the switch alone: nothing
        run.set("Delay", 20000, 4000);
        run.set("Report Latency", 0, 5000).set("Delay", 7, 5000); // not reporting
        return run.run(6000);
    });
    ASSERT_EQ(r.latencyReports.size(), 3u);
    EXPECT_EQ(r.latencyReports[0].second, 100);
    EXPECT_EQ(r.latencyReports[1].second, 250);
    EXPECT_EQ(r.latencyReports[2].second, 8191);
}

TEST(Latency, StaticInputPassesForOneLineLengthThenHolds)
{
    constexpr int64_t stop = 2000;
    const auto input = qwtest::noise(2, 0.5);
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_Latency", 44100.0f, block);
        run.set("Delay", 100).stream("Signal", input).constant("Signal", 0.4f, stop);
        return run.run(stop + 9000);
    });
    const auto y = r.seen("Output");
    EXPECT_EQ(y[size_t(stop + 50)], input(stop - 50));
    EXPECT_EQ(y[size_t(stop + 100)], 0.4f);
    EXPECT_EQ(r.lastChange("Output", false), stop + 8191);
    EXPECT_EQ(y.back(), 0.4f);
    EXPECT_FALSE(r.sleepRequests.empty());
}

// The fractional delay in double: the whole part n from the line, the
// fraction f by the all-pass of coefficient (1 - f) / (1 + f), dropped above 0.9.
std::vector<double> fracModel(const std::vector<double>& x, double d)
{
    const int n = int(d);
    const double f = d - n, a = (1 - f) / (1 + f);
    std::vector<double> y;
    double prev = 0;
    auto at = [&](int64_t t) { return t >= 0 ? x[size_t(t)] : 0.0; };
    for (int64_t t = 0; t < int64_t(x.size()); ++t)
    {
        prev = a <= 0.9 ? (at(t - n) - prev) * a + at(t - n - 1) : at(t - n);
        y.push_back(prev);
    }
    return y;
}

TEST(FracDelay, ImpulseResponseOfTheAllPass)
{
    for (float d : {10.5f, 3.25f, 0.5f, 8190.5f})
    {
        const auto y = qwtest::impulseResponse(L"QW_FracDelay", 48000.0f, "Signal", "Output", 8300,
                                               [&](SignalRun& r) { r.set("Delay", d); });
        std::vector<double> x(y.size(), 0.0);
        x[0] = 1;
        const auto want = fracModel(x, d);
        for (size_t t = 0; t < y.size(); ++t)
            ASSERT_NEAR(y[t], want[t], 1e-6) << d << " at " << t;
    }
    // 10.5: a = 0.5 / 1.5 = 1/3, the first value a at 10, then 1 - a^2 at 11.
    const auto y = qwtest::impulseResponse(L"QW_FracDelay", 48000.0f, "Signal", "Output", 20,
                                           [&](SignalRun& r) { r.set("Delay", 10.5); });
    EXPECT_NEAR(y[10], 1.0 / 3, 1e-6);
    EXPECT_NEAR(y[11], 1 - 1.0 / 9, 1e-6);
}

TEST(FracDelay, SineDelayedByTheFraction)
{
    const auto fit = qwtest::responseAt(
        L"QW_FracDelay", 48000.0f, "Signal", "Output", 100.0, [](SignalRun& r) { r.set("Delay", 10.5); }, 4800, 48000);
    EXPECT_NEAR(fit.gain, 1.0, 1e-4);
    const double delay = -fit.phase * 48000.0 / (2 * kPi * 100.0);
    EXPECT_NEAR(delay, 10.5, 0.01);
}

TEST(FracDelay, SmallFractionsAndLimitsAreWholeSamples)
{
    // 10.02: a = 0.98 / 1.02 = 0.961, above 0.9: the plain line.
    const std::pair<float, int64_t> cases[] = {{10.02f, 10}, {0, 0},       {-5, 0},      {kNaN, 0},
                                               {-kInf, 0},   {kInf, 8191}, {kMax, 8191}, {20000, 8191}};
    for (auto [d, at] : cases)
        EXPECT_EQ(qwtest::unitImpulseAt(qwtest::impulseResponse(L"QW_FracDelay", 48000.0f, "Signal", "Output", 8300,
                                                                [v = d](SignalRun& r) { r.set("Delay", v); })),
                  at)
            << d;
}

TEST(FracDelay, StreamsOneLineLengthAfterTheInputTurnedStatic)
{
    constexpr int64_t stop = 1000;
    const auto input = qwtest::noise(3, 0.5);
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_FracDelay", 48000.0f, block);
        run.set("Delay", 20.5).stream("Signal", input).constant("Signal", -0.2f, stop);
        return run.run(stop + 9000);
    });
    EXPECT_EQ(r.lastChange("Output", false), stop + 8192);
    EXPECT_NEAR(r.seen("Output").back(), -0.2f, 1e-6);
}

// A module with its delays long, noise in, and a burst of non-finite samples:
// every output finite again from the end of the block after the burst.
struct BurstCase
{
    std::wstring id;
    std::vector<std::string> inputs;
    std::function<void(SignalRun&)> setup;
};

TEST(Delays, NonFiniteBurstLeavesNothingBehind)
{
    const BurstCase cases[] = {
        {L"QW_Haas", {"Signal"}, [](SignalRun& r) { r.set("Delay", 5); }},
        {L"QW_Haas2", {"Signal"}, [](SignalRun& r) { r.set("Side", 5).set("Max Delay", 40); }},
        {L"QW_Haas2ST", {"Left In", "Right In"}, [](SignalRun& r) { r.set("Side", -5).set("Max Delay", 40); }},
        {L"QW_Latency", {"Signal"}, [](SignalRun& r) { r.set("Delay", 3000); }},
        {L"QW_FracDelay", {"Signal"}, [](SignalRun& r) { r.set("Delay", 2000.5); }},
        {L"QW_DWG2", {"Excitation"}, [](SignalRun& r) { r.set("On", 1).constant("Gain", 1.0f).set("Loss", 2.0); }},
    };
    constexpr int64_t from = 1000, to = 1010, total = 6000;
    const float burst[] = {kNaN, kInf, -kInf, kMax};
    for (const auto& c : cases)
        for (int block : {1, 7, 64})
        {
            SignalRun run(c.id, 44100.0f, block);
            c.setup(run);
            for (const auto& pin : c.inputs)
                run.stream(pin, [&](int64_t t) {
                    return t >= from && t < to ? burst[t % 4] : 0.3f * std::sin(0.01f * float(t));
                });
            const Recording r = run.run(total);
            const int64_t clean = (to + block - 1) / block * block + block;
            for (const auto& [name, pin] : r.pins)
            {
                const auto y = r.seen(name);
                for (int64_t t = clean; t < total; ++t)
                    ASSERT_TRUE(std::isfinite(y[size_t(t)]))
                        << std::string(c.id.begin(), c.id.end()) << " " << name << " block " << block << " at " << t;
            }
        }
}
} // namespace
