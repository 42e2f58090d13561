// The detuner and the chorus through the built bundle, against a
// double-precision model of the ring and its crossfaded pairs of taps; the
// tail that ends at an exact sample; the latency report. Every run at blocks
// of 1, 7 and 64.
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr float kRate = 48000.0f;

// The 4096-entry ring read at 12.20 position p with phase q: the triangle
// weight 1 - 2|q/2^32 - 1/2| on the tap at p, the rest on the tap 2048
// entries away; each tap interpolated linearly.
double windowRead(const std::vector<double>& ring, uint32_t p, uint32_t q)
{
    const uint32_t i = p >> 20;
    const double f = (p & 0xFFFFF) / 1048576.0;
    auto tap = [&](uint32_t k) { return ring[k & 4095] * (1 - f) + ring[(k + 1) & 4095] * f; };
    const double w = 1 - 2 * std::fabs(q / 4294967296.0 - 0.5);
    return w * tap(i) + (1 - w) * tap(i ^ 0x800);
}

// The detuner: written then read at W + P, P moving by `inc` per sample.
std::vector<double> detunerModel(const qwtest::Signal& x, int64_t length, int32_t inc)
{
    std::vector<double> ring(4096, 0.0), y;
    uint32_t w = 0, p = 0;
    for (int64_t t = 0; t < length; ++t)
    {
        ring[w >> 20] = x(t);
        y.push_back(windowRead(ring, w + p, p));
        p += static_cast<uint32_t>(inc);
        w += 0x100000;
    }
    return y;
}

Recording runDetuner(int block, float detune, const qwtest::Signal& x, int64_t length)
{
    SignalRun run(L"QW_Detuner", kRate, block);
    run.set("Detune", detune).stream("Signal", x);
    return run.run(length);
}

TEST(Detuner, DetuneZeroDelaysByHalfTheRing)
{
    const auto y = qwtest::impulseResponse(L"QW_Detuner", kRate, "Signal", "Output", 2200,
                                           [](SignalRun& r) { r.set("Detune", 0.0); });
    for (size_t t = 0; t < y.size(); ++t)
        ASSERT_EQ(y[t], t == 2048 ? 1.0f : 0.0f) << t;
}

TEST(Detuner, AnOctaveUpAndDownMatchTheModel)
{
    const auto x = qwtest::sine(1000.0, kRate);
    struct Case
    {
        float detune;
        int32_t increment; // r = 2 and 1/2: (r - 1) x 2^20 and -(1 - r) x 2^20
        double heard;      // Hz
        int64_t centre;    // where the phase is at 2^31 (the tap at full weight)
    };
    for (const Case c : {Case{12.0f, 1 << 20, 2000.0, 6144}, Case{-12.0f, -(1 << 19), 500.0, 4096 + 8192}})
    {
        const int64_t length = 14000;
        const Recording r = qwtest::sameAtBlocks([&](int block) { return runDetuner(block, c.detune, x, length); });
        const auto& y = r.out("Output");
        const auto model = detunerModel(x, length, c.increment);
        for (int64_t t = 0; t < length; ++t)
            ASSERT_NEAR(y[size_t(t)], model[size_t(t)], 2e-5) << c.detune << " at " << t;
        const auto fit = qwtest::fitSine(y, c.heard, kRate, c.centre - 48, c.centre + 48);
        EXPECT_GT(fit.gain, 0.97) << c.detune;
        EXPECT_LT(fit.residual, 0.03) << c.detune;
    }
    // Beyond the range: as the ends of it.
    const auto noise = qwtest::noise(3);
    EXPECT_EQ(runDetuner(64, 40.0f, noise, 3000).out("Output"), runDetuner(64, 12.0f, noise, 3000).out("Output"));
    EXPECT_EQ(runDetuner(64, -1e30f, noise, 3000).out("Output"), runDetuner(64, -12.0f, noise, 3000).out("Output"));
}

TEST(Detuner, StaticInputIsSilenceForATailOf4096Samples)
{
    constexpr int64_t stop = 1000;
    const auto x = qwtest::noise(5);
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_Detuner", kRate, block);
        run.set("Detune", 0.0).stream("Signal", x).constant("Signal", 0.3f, stop);
        return run.run(7000);
    });
    const auto& y = r.out("Output");
    for (int64_t t = 2048; t < stop + 2048; ++t)
        ASSERT_EQ(y[size_t(t)], x(t - 2048)) << t;
    for (int64_t t = stop + 2048; t < 7000; ++t)
        ASSERT_EQ(y[size_t(t)], 0.0f) << "the static value is not heard, at " << t;
    EXPECT_EQ(r.lastChange("Output", false), stop + 4096);
    EXPECT_EQ(r.changes("Output").back().time, stop + 4096);
    ASSERT_FALSE(r.sleepRequests.empty());
    EXPECT_GE(r.sleepRequests.back(), stop + 4096 - 64);
}

// --- chorus ---

// Voices of each output by routine: -n the down-voice A[n - 1], +n the
// up-voice B[n - 1].
const std::vector<std::vector<int>> kLayout[4] = {
    {{-8}, {8}},
    {{-8, 4}, {-4, 8}},
    {{-8, -4, 2, 6}, {-6, -2, 4, 8}},
    {{-8, -6, -4, -2, 1, 3, 5, 7}, {-7, -5, -3, -1, 2, 4, 6, 8}},
};

struct ChorusOut
{
    std::vector<double> left, right;
};

// The chorus for a routine (0..3) and a detune value already in range.
ChorusOut chorusModel(const qwtest::Signal& x, int64_t length, int routine, double detune)
{
    uint32_t a[8], b[8], c[8], d[8];
    uint32_t s = 1991;
    auto next = [&s] { return (s = s * 1664525u + 1013904223u) & 0x7FFFFFFFu; };
    for (int k = 0; k < 8; ++k)
    {
        a[k] = next();
        b[k] = next();
        const double r = std::pow(2.0, (k + 1) * 0.125 * detune / 12.0);
        c[k] = static_cast<uint32_t>(std::trunc((1 - 1 / r) * 1048576.0));
        d[k] = static_cast<uint32_t>(std::trunc((r - 1) * 1048576.0));
    }
    std::vector<double> ring(4096, 0.0);
    ChorusOut out;
    uint32_t w = 0;
    for (int64_t t = 0; t < length; ++t)
    {
        ring[w >> 20] = x(t);
        for (int o = 0; o < 2; ++o)
        {
            double sum = 0;
            for (int v : kLayout[routine][size_t(o)])
            {
                if (v < 0)
                {
                    sum += windowRead(ring, w - a[-v - 1], a[-v - 1]);
                    a[-v - 1] += c[-v - 1];
                }
                else
                {
                    sum += windowRead(ring, w + b[v - 1], b[v - 1]);
                    b[v - 1] += d[v - 1];
                }
            }
            (o == 0 ? out.left : out.right).push_back(sum);
        }
        w += 0x100000;
    }
    return out;
}

Recording runChorus(int block, int voices, float detune, const qwtest::Signal& x, int64_t length)
{
    SignalRun run(L"QW_Chorus", kRate, block);
    run.set("Voices", voices).set("Detune", detune).stream("Signal", x);
    return run.run(length);
}

TEST(Chorus, EveryRoutineMatchesTheModel)
{
    const auto x = qwtest::noise(7, 0.5);
    constexpr int64_t length = 9000;
    for (int routine = 0; routine < 4; ++routine)
    {
        const Recording r = qwtest::sameAtBlocks([&](int block) { return runChorus(block, routine, 1.5f, x, length); });
        const ChorusOut model = chorusModel(x, length, routine, 1.5);
        for (int64_t t = 0; t < length; ++t)
        {
            ASSERT_NEAR(r.out("Left Out")[size_t(t)], model.left[size_t(t)], 1e-5) << routine << " at " << t;
            ASSERT_NEAR(r.out("Right Out")[size_t(t)], model.right[size_t(t)], 1e-5) << routine << " at " << t;
        }
    }
}

TEST(Chorus, PinValuesOutOfRange)
{
    const auto x = qwtest::noise(8, 0.5);
    auto run = [&](int voices, float detune) { return runChorus(64, voices, detune, x, 6000).outputs; };
    EXPECT_EQ(run(5, 1.0f), run(3, 1.0f)) << "any other voices value: 16";
    EXPECT_EQ(run(-1, 1.0f), run(3, 1.0f));
    EXPECT_EQ(run(0, 3.0f), run(0, 2.0f)) << "detune beyond 2";
    EXPECT_EQ(run(2, -4.0f), run(2, 0.0f)) << "negative detune: all voices unshifted";
    const ChorusOut still = chorusModel(x, 6000, 2, 0.0);
    const auto y = run(2, -4.0f);
    for (size_t t = 0; t < 6000; ++t)
        ASSERT_NEAR(y.begin()->second[t], still.left[t], 1e-5) << t;

    // A streaming constant: each output is the constant times its voices
    // once the ring is full.
    for (const auto& [voices, perOutput] : {std::pair{0, 1}, {1, 2}, {2, 4}, {5, 8}})
    {
        const Recording r = qwtest::sameAtBlocks([&, voices = voices](int block) {
            return runChorus(
                block, voices, -1.0f, [](int64_t) { return 0.1f; }, 5000);
        });
        for (int64_t t = 4096; t < 5000; ++t)
        {
            ASSERT_NEAR(r.out("Left Out")[size_t(t)], 0.1 * perOutput, 1e-6) << voices << " at " << t;
            ASSERT_NEAR(r.out("Right Out")[size_t(t)], 0.1 * perOutput, 1e-6) << voices << " at " << t;
        }
    }
}

TEST(Chorus, TailAndANewStart)
{
    constexpr int64_t stop = 3000, restart = 9000;
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_Chorus", kRate, block);
        run.set("Voices", 3).set("Detune", 1.0).stream("Signal", qwtest::noise(4)).constant("Signal", 0.5f, stop);
        run.stream("Signal", qwtest::noise(6), restart);
        return run.run(10000);
    });
    for (const char* out : {"Left Out", "Right Out"})
    {
        const auto ch = r.changes(out);
        ASSERT_GE(ch.size(), 3u) << out;
        const auto& end = ch[ch.size() - 2];
        EXPECT_EQ(end.time, stop + 4096) << out;
        EXPECT_FALSE(end.streaming);
        EXPECT_EQ(ch.back().time, restart);
        EXPECT_TRUE(ch.back().streaming);
        const auto y = r.seen(out);
        for (int64_t t = stop + 4096; t < restart; ++t)
            ASSERT_EQ(y[size_t(t)], 0.0f) << out << " at " << t;
    }
}

TEST(DetunerAndChorus, LatencyIsReportedOnTrueOnly)
{
    for (const wchar_t* id : {L"QW_Detuner", L"QW_Chorus"})
    {
        const Recording r = qwtest::sameAtBlocks([&](int block) {
            SignalRun run(id, kRate, block);
            run.stream("Signal", qwtest::noise(2));
            run.set("Report Latency", 0.0, 100).set("Report Latency", 1.0, 300).set("Report Latency", 0.0, 500);
            Recording rec = run.run(700);
            // Where in the block the report came depends on the block.
            for (auto& report : rec.latencyReports)
                report.first = 0;
            return rec;
        });
        ASSERT_EQ(r.latencyReports.size(), 1u);
        EXPECT_EQ(r.latencyReports[0].second, 2048);
    }
}
} // namespace
