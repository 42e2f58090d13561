// The waveguide string QW_DWG2 through the built bundle at 44.1 kHz: its pitch
// (0.5 V = 440 Hz: a loop of 44100 / 440 = 100.227 samples), a loop gain of 0
// that lets only the first pass out (against a model of the all-pass read in
// double), a negative gain inverting each pass, the loop cleared by either
// reset, the ring-out tail to the sample, and hostile pitches and gains.
// Every run at blocks of 1, 7 and 64.
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr float kRate = 44100.0f;
constexpr double kPi = 3.14159265358979323846;

// The string struck by a unit impulse at time 0 with loss 0.
std::vector<float> pluck(double gain, int64_t length, double pitch = 0.5)
{
    return qwtest::impulseResponse(L"QW_DWG2", kRate, "Excitation", "Output", length, [=](SignalRun& r) {
        r.set("On", 1).constant("Pitch", float(pitch)).constant("Gain", float(gain)).set("Loss", 0);
    });
}

// Magnitude of the component at f over y[from, to).
double magnitudeAt(const std::vector<float>& y, double f, int64_t from, int64_t to)
{
    double re = 0, im = 0;
    for (int64_t t = from; t < to; ++t)
    {
        re += y[size_t(t)] * std::cos(2 * kPi * f * double(t) / kRate);
        im += y[size_t(t)] * std::sin(2 * kPi * f * double(t) / kRate);
    }
    return std::hypot(re, im);
}

TEST(DWG2, RingsAt440HzForHalfAVolt)
{
    const auto y = pluck(1.0, 44100);
    double best = 0, bestF = 0;
    for (double f = 420; f <= 460; f += 0.02)
        if (const double m = magnitudeAt(y, f, 0, 44100); m > best)
            best = m, bestF = f;
    EXPECT_NEAR(1200 * std::log2(bestF / 440.0), 0.0, 5.0) << bestF;
}

TEST(DWG2, GainZeroLetsOnlyTheFirstPassOut)
{
    const auto y = pluck(0.0, 2000);
    // The line read 100.227 samples back: 100 whole, the fraction 0.227 by
    // the all-pass of coefficient (1 - f) / (1 + f), once.
    const double L = 44100.0 / 440.0, f = L - 100, c = (1 - f) / (1 + f);
    double prev = 0;
    for (int64_t t = 0; t < 2000; ++t)
    {
        const double A = t == 100 ? 1 : 0, B = t == 101 ? 1 : 0;
        prev = c * (A - prev) + B;
        ASSERT_NEAR(y[size_t(t)], prev, 1e-5) << t;
    }
    EXPECT_NEAR(y[100], c, 1e-4);
}

// Normalised, the loop gain per pass is |a|^(0.1 x 48 kHz / rate x the period
// ratio), so the ring-out loses the same per second at every pitch; a pitch
// changed after the pluck decays as one set from the start.
TEST(DWG2, NormalisedDecayFollowsAPitchChange)
{
    auto energy = [](const std::vector<float>& y, int64_t from, int64_t to) {
        double e = 0;
        for (int64_t t = from; t < to; ++t)
            e += double(y[size_t(t)]) * y[size_t(t)];
        return e;
    };
    auto decay = [&](double firstPitch) {
        const auto y = qwtest::impulseResponse(L"QW_DWG2", kRate, "Excitation", "Output", 8000, [=](SignalRun& r) {
            r.set("On", 1).set("Normalise", 1).set("Loss", 0).constant("Gain", 0.5f);
            r.constant("Pitch", float(firstPitch)).constant("Pitch", 0.4f, 50);
        });
        return energy(y, 6000, 8000) / energy(y, 2000, 4000);
    };
    // Left at 0.6 V's gain per pass (a period half as long) the energy would
    // fall by a factor of about 5 less over these 4000 samples.
    const double fromTheStart = decay(0.4), changed = decay(0.6);
    EXPECT_LT(fromTheStart, 0.5);
    EXPECT_NEAR(changed / fromTheStart, 1.0, 0.01);
}

// Pitch steps inside a block, normalised: the loop gain follows each change
// at its own sample, whatever the host's block size.
TEST(DWG2, NormalisedPitchChangesAreTheSameAtEveryBlockSize)
{
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_DWG2", kRate, block);
        run.set("On", 1).set("Normalise", 1).set("Loss", 0).constant("Gain", 0.9f);
        // A streamed pitch: its steps reach the module inside a block, not as events.
        run.stream("Pitch", [](int64_t t) { return t < 50 ? 0.6f : t < 1234 ? 0.4f : 0.5f; });
        run.stream("Excitation", qwtest::impulse(0));
        return run.run(3000);
    });
    double e = 0;
    for (float v : r.out("Output"))
        e += double(v) * v;
    EXPECT_GT(e, 0.1) << "the loop rings";
}

TEST(DWG2, NegativeGainInvertsEachPass)
{
    const auto up = pluck(0.9, 700), down = pluck(-0.9, 700);
    for (int64_t t = 0; t < 700; ++t)
    {
        const int pass = int((double(t) + 50) / 100.227); // pass k around k x 100.227
        const double sign = pass % 2 == 1 ? 1 : -1;
        if (std::fabs(up[size_t(t)]) > 1e-3f) // away from where two passes meet
        {
            ASSERT_NEAR(down[size_t(t)], sign * up[size_t(t)], 1e-5) << t;
        }
    }
    EXPECT_GT(up[300], 0.1f);
}

TEST(DWG2, EitherResetClearsTheLoop)
{
    constexpr int64_t at = 2000;
    for (auto [pin, value] : {std::pair{"Clear", 1.0}, std::pair{"Reset", 1.0}, std::pair{"Reset", 0.5}})
    {
        const Recording r = qwtest::sameAtBlocks([&, pin = pin, value = value](int block) {
            SignalRun run(L"QW_DWG2", kRate, block);
            run.set("On", 1).constant("Pitch", 0.5f).constant("Gain", 1.0f);
            run.stream("Excitation", qwtest::impulse(0)).set(pin, value, at);
            return run.run(4000);
        });
        const auto& y = r.out("Output");
        double after = 0;
        for (int64_t t = at; t < 4000; ++t)
            after += std::fabs(y[size_t(t)]);
        if (value == 1.0)
            EXPECT_EQ(after, 0.0) << pin;
        else
            EXPECT_GT(after, 1.0) << "only exactly 1 resets";
    }
}

TEST(DWG2, RingsOutAndStopsAtTheTailsEnd)
{
    constexpr int64_t stop = 300, total = 40000;
    const Recording r = qwtest::sameAtBlocks(
        [&](int block) {
            SignalRun run(L"QW_DWG2", kRate, block);
            run.set("On", 1).constant("Pitch", 0.5f).constant("Gain", 0.5f).set("Loss", 3);
            run.stream("Excitation", qwtest::impulse(0)).constant("Excitation", 0.0f, stop);
            return run.run(total);
        },
        {1, 7, 64, 1000}); // 1000: the silence starts past a block's first 256 samples
    const auto& y = r.out("Output");
    int64_t last = -1;
    for (int64_t t = 0; t < total; ++t)
        if (std::fabs(y[size_t(t)]) > 1e-5f)
            last = t;
    ASSERT_GT(last, stop);
    // 4096 quiet samples after the last loud one; silent from the next.
    EXPECT_EQ(r.lastChange("Output", false), last + 4097);
    EXPECT_FALSE(r.sleepRequests.empty());
}

TEST(DWG2, HostilePitchesAndGainsStayFinite)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN(),
                big = std::numeric_limits<float>::max();
    for (float pitch : {inf, -inf, big, -big, nan, 20.0f, -20.0f})
        for (float gain : {inf, -inf, nan, 1.0f, -1.0f})
        {
            const auto y = qwtest::impulseResponse(
                L"QW_DWG2", kRate, "Excitation", "Output", 9000,
                [=](SignalRun& r) {
                    r.set("On", 1).constant("Pitch", pitch).constant("Gain", gain).set("Loss", nan).set("Normalise", 1);
                },
                {64});
            for (size_t t = 0; t < y.size(); ++t)
                ASSERT_TRUE(std::isfinite(y[t])) << pitch << " " << gain << " at " << t;
        }
}
} // namespace
