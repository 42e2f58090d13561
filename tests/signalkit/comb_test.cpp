// Comb filters through the built bundle: the impulse response against a
// double-precision model of the interpolated delay line, the delay scales and
// their limits, the feedback crossfade of the older comb, shutting down and
// silence at the exact sample, and the line's contents kept for a restart.
// Every run at blocks of 1, 7 and 64.
#include "signal_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr float kRate = 44100.0f;

// The comb with dry and wet levels in double: an 8192-sample line read D
// samples back through the first-order all-pass interpolator.
std::vector<double> combModel(const std::vector<double>& x, double D, double fb, double dry, double wet)
{
    std::vector<double> line(8192, 0.0), y;
    const int i = static_cast<int>(D);
    const double f = D - i;
    const double a = f < 1e-5 ? double(0.99999f) : 1 - f;
    double d = 0;
    for (size_t n = 0; n < x.size(); ++n)
    {
        const size_t w = n & 8191;
        d = (line[(w - i) & 8191] - d) * a + line[(w - i - 1) & 8191];
        y.push_back(dry * x[n] + wet * d);
        line[w] = x[n] + fb * d;
    }
    return y;
}

std::vector<float> comb2Impulse(int mode, float delay, float fb = 0.5f, int64_t length = 400)
{
    return qwtest::impulseResponse(L"QW_CombFilter2", kRate, "Signal", "Output", length, [=](SignalRun& r) {
        r.set("Mode", mode).constant("Delay", delay).set("Feedback", fb).set("Dry", 0).set("Wet", 1);
    });
}

size_t peakIndex(const std::vector<float>& y, size_t from, size_t to)
{
    size_t best = from;
    for (size_t t = from; t < to; ++t)
        if (std::fabs(y[t]) > std::fabs(y[best]))
            best = t;
    return best;
}

TEST(CombFilter2, ImpulseResponseMatchesTheInterpolatorModel)
{
    const auto y = comb2Impulse(0, 10.0f);
    std::vector<double> x(y.size(), 0.0);
    x[0] = 1;
    const auto model = combModel(x, 100, 0.5, 0, 1);
    for (size_t t = 0; t < y.size(); ++t)
        ASSERT_NEAR(y[t], model[t], 1e-6) << t;
    EXPECT_NEAR(y[100], 1.0, 1e-4);
    EXPECT_NEAR(y[200], 0.5, 1e-4);
    EXPECT_NEAR(y[300], 0.25, 1e-4);
}

TEST(CombFilter2, FrequencyModeAndDelayLimits)
{
    // 44.1 (x 10 Hz) at 44.1 kHz: a delay of 100 samples.
    EXPECT_EQ(peakIndex(comb2Impulse(1, 44.1f), 1, 150), 100u);
    // A delay of 0 or below (or not a number) is one sample.
    const auto one = comb2Impulse(0, 0.1f, 0.0f, 50);
    EXPECT_EQ(peakIndex(one, 0, 50), 1u);
    for (float d : {0.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity()})
        EXPECT_EQ(comb2Impulse(0, d, 0.0f, 50), one) << d;
    // Frequency 0: the longest delay, 8191 samples.
    const auto longest = comb2Impulse(1, 0.0f, 0.0f, 8300);
    EXPECT_EQ(peakIndex(longest, 1, 8300), 8191u);
    EXPECT_EQ(comb2Impulse(0, 1e9f, 0.0f, 8300), longest);
}

// Noise until `stop`, then the input static at 0.7; wet 0 and feedback 1 keep
// the line circulating unheard. At `restart` the wet level opens and the
// input streams zeros.
Recording shutDownAndRestart(int block, int64_t stop, int64_t restart, int64_t total)
{
    SignalRun run(L"QW_CombFilter2", kRate, block);
    run.constant("Delay", 25.0f).set("Feedback", 1.0).set("Dry", 1.0).set("Wet", 0.0);
    run.stream("Signal", qwtest::noise(9, 0.5)).constant("Signal", 0.7f, stop);
    run.set("Wet", 1.0, restart).set("Dry", 0.0, restart);
    run.stream(
        "Signal", [](int64_t) { return 0.0f; }, restart);
    return run.run(total);
}

TEST(CombFilter2, ShutsDownWithoutTheDryPathAndKeepsTheLine)
{
    constexpr int64_t stop = 2000, restart = 12000, total = 14000;
    const Recording r =
        qwtest::sameAtBlocks([&](int block) { return shutDownAndRestart(block, stop, restart, total); },
                             {1, 7, 64, 1024}); // 1024: the silence starts past a block's first 256 samples
    const auto y = r.seen("Output");
    for (int64_t t = stop; t < restart; ++t)
        ASSERT_EQ(y[size_t(t)], 0.0f) << "the static input is not heard, at " << t;
    const auto ch = r.changes("Output");
    ASSERT_GE(ch.size(), 2u);
    EXPECT_EQ(ch[ch.size() - 2].time, stop + 8192) << "after the 8192nd quiet sample";
    EXPECT_FALSE(ch[ch.size() - 2].streaming);
    EXPECT_EQ(ch.back().time, restart);
    EXPECT_TRUE(ch.back().streaming);
    // The circulating noise comes back.
    double energy = 0;
    for (int64_t t = restart; t < total; ++t)
        energy += double(y[size_t(t)]) * y[size_t(t)];
    EXPECT_GT(energy / double(total - restart), 0.01);
}

TEST(CombFlt, FrequencyModeInKilohertzAndLimits)
{
    auto impulse = [](int mode, float delay, int64_t length) {
        return qwtest::impulseResponse(L"QW_CombFlt", kRate, "Signal", "Output", length, [=](SignalRun& r) {
            r.set("Mode", mode).constant("Delay", delay).constant("Feedback", 0.5f);
        });
    };
    EXPECT_EQ(peakIndex(impulse(1, 0.0441f, 200), 1, 200), 100u) << "0.0441 kHz at 44.1 kHz";
    EXPECT_EQ(peakIndex(impulse(0, 10.0f, 200), 1, 200), 100u);
    EXPECT_EQ(peakIndex(impulse(1, 0.0f, 5100), 1, 5100), 4999u) << "frequency 0: the longest";
    EXPECT_EQ(impulse(0, std::numeric_limits<float>::quiet_NaN(), 50), impulse(0, 0.0f, 50));
}

TEST(CombFlt, FeedbackCrossfadesFromTheInputToTheDelayedSignal)
{
    const auto input = qwtest::noise(11, 0.5);
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_CombFlt", kRate, block);
        run.constant("Delay", 10.0f).constant("Feedback", 0.0f).stream("Signal", input);
        run.constant("Feedback", 1.0f, 1000);
        return run.run(3000);
    });
    const auto& y = r.out("Output");
    for (int64_t t = 0; t < 1000; ++t)
        ASSERT_EQ(y[size_t(t)], input(t)) << "feedback 0 passes the input, at " << t;
    for (int64_t t = 1100; t < 3000; ++t)
        ASSERT_NEAR(y[size_t(t)], y[size_t(t - 100)], 1e-6) << "feedback 1 repeats the line, at " << t;
}

TEST(CombFlt, FallsSilentAfterTheFiveThousandthQuietSample)
{
    constexpr int64_t stop = 1500;
    const Recording r = qwtest::sameAtBlocks(
        [](int block) {
            SignalRun run(L"QW_CombFlt", kRate, block);
            run.constant("Delay", 10.0f).constant("Feedback", 0.0f).stream("Signal", qwtest::noise(12));
            run.constant("Signal", 0.0f, stop);
            return run.run(9000);
        },
        {1, 7, 64, 1024}); // 1024: the silence starts past a block's first 256 samples
    EXPECT_EQ(r.lastChange("Output", false), stop + 5000);
    EXPECT_FALSE(r.sleepRequests.empty());
}
} // namespace
