// The windowed pitch shifter: its half-band kernel and window on their own,
// then through the built bundle: the level at the original pitch, octaves up
// and down, pitch read once per half frame, the latency report, the tail of
// one frame and the range of the frame exponent. Runs at blocks of 1, 7, 64.
#include "pitch_kernels.h"
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr float kRate = 48000.0f;

TEST(PitchShifterKernels, HalfBandKernel)
{
    float k[qw::pitch::kSincTaps];
    qw::pitch::computeSincKernel(k);
    // (1 + cos(2 pi / 60)) x 0.5 / pi
    EXPECT_NEAR(k[0], 0.3174380, 2e-7);
    for (int i = 0; i < qw::pitch::kSincTaps; ++i)
    {
        const double odd = 2 * i + 1;
        const double expected = (1 + std::cos(2 * M_PI * odd / 60)) * (i % 2 ? -0.5 : 0.5) / (M_PI * odd);
        EXPECT_NEAR(k[i], expected, 1e-6) << i;
        EXPECT_EQ(k[i] > 0, i % 2 == 0) << i;
    }
    // Mirrored, with the centre's 0.5: a gain of about 1 at DC.
    double dc = 0.5;
    for (float v : k)
        dc += 2.0 * v;
    EXPECT_NEAR(dc, 1.0, 0.01);
}

TEST(PitchShifterKernels, WindowHalvesAddUpToOne)
{
    for (int n : {32, 1024, 4096})
    {
        std::vector<float> w(static_cast<size_t>(n));
        qw::pitch::computeWindow(w.data(), n);
        EXPECT_NEAR(w[0], 0.0f, 1e-7);
        EXPECT_NEAR(w[size_t(n / 2)], 1.0f, 1e-6);
        for (int i = 0; i < n / 2; ++i)
            ASSERT_NEAR(w[size_t(i)] + w[size_t(i + n / 2)], 1.0f, 1e-6) << n << " " << i;
    }
}

TEST(PitchShifterKernels, MatchingOffsetPrefersTheLaterLagOnATie)
{
    const int n = 64; // probes at 0, 2, ..., 30; lags 0 .. 32
    std::vector<float> ref(32), scratch(96);
    const auto noise = qwtest::noise(8);
    for (int i = 0; i < 96; ++i)
        scratch[size_t(i)] = noise(i);
    for (int q = 0; q < 32; ++q)
        ref[size_t(q)] = scratch[size_t(q + 13)];
    EXPECT_EQ(qw::pitch::findMatchingOffset(ref.data(), scratch.data(), n), 13);
    std::fill(scratch.begin(), scratch.end(), 0.5f);
    EXPECT_EQ(qw::pitch::findMatchingOffset(ref.data(), scratch.data(), n), 32);
    EXPECT_EQ(qw::pitch::findMatchingOffset(ref.data(), scratch.data(), -2), -1);
}

Recording runShifter(int block, int exponent, const qwtest::Signal& pitch, bool antiAlias, const qwtest::Signal& x,
                     int64_t length)
{
    SignalRun run(L"QW_PitchShifter", kRate, block);
    run.set("Frame Size", exponent).set("Anti-Alias", antiAlias ? 1 : 0).stream("Pitch", pitch).stream("Signal", x);
    return run.run(length);
}

qwtest::Signal held(float v)
{
    return [v](int64_t) { return v; };
}

TEST(PitchShifter, SteadySineKeepsItsLevelAtTheOriginalPitch)
{
    for (bool aa : {false, true})
    {
        const Recording r = qwtest::sameAtBlocks(
            [&](int block) { return runShifter(block, 10, held(0.0f), aa, qwtest::sine(1000.0, kRate, 0.5), 24000); });
        const auto& y = r.out("Output");
        // Over windows of ten periods, each a quarter frame.
        for (int64_t from = 4096; from + 480 <= 24000; from += 256)
        {
            const auto fit = qwtest::fitSine(y, 1000.0, kRate, from, from + 480, 0.5);
            ASSERT_NEAR(fit.gain, 1.0, 0.01) << "aa " << aa << " at " << from;
        }
    }
}

TEST(PitchShifter, OctavesUpAndDown)
{
    struct Case
    {
        float pitch;
        double heard;
    };
    for (bool aa : {false, true})
        for (const Case& c : {Case{0.1f, 2000.0}, Case{-0.1f, 500.0}, Case{0.0f, 1000.0}, Case{0.05f, 1414.21}})
        {
            const Recording r = qwtest::sameAtBlocks([&](int block) {
                return runShifter(block, 11, held(c.pitch), aa, qwtest::sine(1000.0, kRate, 0.5), 30000);
            });
            EXPECT_NEAR(qwtest::peakFrequency(r.out("Output"), kRate, 8192, 30000), c.heard, 0.01 * c.heard)
                << "pitch " << c.pitch << ", aa " << aa;
        }
}

TEST(PitchShifter, PitchIsReadAtTheStartOfEachHalfFrame)
{
    // N = 1024: half frames start at 0, 512, 1024, ...
    auto stepAt = [](int64_t at) { return [at](int64_t t) { return t < at ? 0.0f : 0.1f; }; };
    const auto x = qwtest::noise(9, 0.5);
    auto run = [&](int64_t at) {
        return qwtest::sameAtBlocks([&](int block) { return runShifter(block, 10, stepAt(at), false, x, 4000); });
    };
    const Recording inside = run(1000), boundary = run(1024), later = run(1025);
    EXPECT_EQ(inside.out("Output"), boundary.out("Output"));
    EXPECT_NE(later.out("Output"), boundary.out("Output"));
    const Recording next = run(1536);
    EXPECT_EQ(later.out("Output"), next.out("Output"));
}

TEST(PitchShifter, LatencyReportOnEachFrameSizeChange)
{
    for (bool report : {true, false})
    {
        SignalRun run(L"QW_PitchShifter", kRate, 64);
        run.set("Report Latency", report ? 1 : 0).set("Frame Size", 10).stream("Signal", qwtest::noise(1));
        run.set("Frame Size", 7, 640).set("Frame Size", 14, 1280).set("Frame Size", 3, 1920);
        const Recording r = run.run(2560);
        std::vector<int32_t> seen;
        for (const auto& l : r.latencyReports)
            seen.push_back(l.second);
        EXPECT_EQ(seen, report ? std::vector<int32_t>({1024, 128, 4096, 32}) : std::vector<int32_t>{});
    }
}

TEST(PitchShifter, TailOfOneFrame)
{
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_PitchShifter", kRate, block);
        run.set("Frame Size", 9).stream("Signal", qwtest::noise(2)).constant("Signal", 0.2f, 3000);
        return run.run(5000);
    });
    EXPECT_EQ(r.lastChange("Output", false), 3000 + 512);
    EXPECT_EQ(r.lastChange("Output", true), 0);
    for (size_t t = 3512; t < 5000; ++t)
        ASSERT_EQ(r.out("Output")[t], 0.0f) << t;
}

TEST(PitchShifter, ExponentsBeyondTheStorageAreClamped)
{
    const auto x = qwtest::noise(5, 0.5);
    const auto pitch = held(0.05f);
    for (bool aa : {false, true})
    {
        EXPECT_EQ(runShifter(64, 3, pitch, aa, x, 20000).out("Output"),
                  runShifter(64, 5, pitch, aa, x, 20000).out("Output"));
        EXPECT_EQ(runShifter(64, 14, pitch, aa, x, 20000).out("Output"),
                  runShifter(64, 12, pitch, aa, x, 20000).out("Output"));
    }
}
} // namespace
