// Sine, pulse and Dirac oscillators through the built bundle: frequencies and
// harmonic levels read from Hann-windowed spectra, sample values worked out
// by hand from the oscillators' formulas, resets and restarts at their
// sample, and the shared sine table against its rule computed here. Every
// run at blocks of 1, 7 and 64.
#include "fourier.h"
#include "signal_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;
using qwtest::Spectrum;

constexpr float kRate = 44100.0f;
constexpr double kPi = 3.14159265358979323846;

double dB(double ratio)
{
    return 20 * std::log10(ratio);
}

Recording runAtBlocks(const wchar_t* id, float rate, int64_t samples, const std::function<void(SignalRun&)>& setup)
{
    return qwtest::sameAtBlocks([&](int block) {
        SignalRun run(id, rate, block);
        setup(run);
        return run.run(samples);
    });
}

// --- sine ---

TEST(SineOsc, FiveVoltsIs440HzWithHarmonicsBelowMinus60dB)
{
    for (bool streaming : {false, true})
    {
        const Recording r = runAtBlocks(L"QW_SineOsc", kRate, 70000, [=](SignalRun& run) {
            run.set("On", 1);
            if (streaming)
                run.stream("Pitch", [](int64_t) { return 0.5f; });
            else
                run.constant("Pitch", 0.5f);
        });
        const Spectrum s(r.out("Output"), 4096, 65536);
        EXPECT_NEAR(s.frequencyNear(440, kRate), 440.0, 1.0) << "streaming pitch " << streaming;
        const double a1 = s.amplitudeAt(440, kRate);
        EXPECT_NEAR(a1, 1.0, 0.01);
        for (int h = 2; h <= 20; ++h)
            EXPECT_LT(dB(s.amplitudeAt(440.0 * h, kRate) / a1), -60.0) << "harmonic " << h;
    }
}

// The frequency a pitch sample asks for: 1 V per octave, 5 V (0.5) = 440 Hz,
// held at a quarter of the rate.
double sineFrequency(double pitch, double rate)
{
    return std::min(rate / 4, 440.0 * std::pow(2.0, 10 * pitch - 5));
}

TEST(SineOsc, EveryPitchAcrossTheRangeGivesItsFrequencyAtFullLevel)
{
    struct Case
    {
        float rate;
        float pitch;
    };
    const Case cases[] = {{kRate, 0.0f},     {kRate, 0.1f},     {kRate, 0.23f},    {kRate, 0.5f},
                          {kRate, 0.77f},    {kRate, 0.95f},    {kRate, 1.1f},     {96000.0f, 0.1f},
                          {96000.0f, 0.77f}, {96000.0f, 1.05f}, {192000.0f, 0.63f}};
    for (const Case& c : cases)
        for (bool streaming : {false, true})
        {
            SignalRun run(L"QW_SineOsc", c.rate, 64);
            run.set("On", 1);
            if (streaming)
                run.stream("Pitch", [&](int64_t) { return c.pitch; });
            else
                run.constant("Pitch", c.pitch);
            const auto y = run.run(16384).out("Output");
            const double expected = sineFrequency(c.pitch, c.rate);
            EXPECT_NEAR(qwtest::peakFrequency(y, c.rate, 0, 16384), expected, std::max(0.1, 2e-4 * expected))
                << "pitch " << c.pitch << " at " << c.rate << " Hz, streaming " << streaming;
            float peak = 0;
            for (float v : y)
                peak = std::max(peak, std::fabs(v));
            EXPECT_NEAR(peak, 1.0, 1e-3) << "pitch " << c.pitch << " at " << c.rate << " Hz";
        }
}

TEST(SineOsc, PitchAboveAQuarterOfTheRateIsHeldThere)
{
    const float expected[] = {0.0f, 1.0f, -0.0f, -1.0f};
    for (bool streaming : {false, true})
    {
        const Recording r = runAtBlocks(L"QW_SineOsc", kRate, 400, [=](SignalRun& run) {
            run.set("On", 1);
            if (streaming)
                run.stream("Pitch", [](int64_t) { return 1.3f; });
            else
                run.constant("Pitch", 1.3f);
        });
        const auto& y = r.out("Output");
        for (size_t n = 0; n < y.size(); ++n)
        {
            ASSERT_EQ(y[n], expected[n % 4]) << "sample " << n << " streaming " << streaming;
            ASSERT_EQ(std::signbit(y[n]), std::signbit(expected[n % 4])) << "sample " << n;
        }
    }
}

TEST(SineOsc, ResetRestartsAtTheEventSampleOnlyWhileEnabled)
{
    constexpr int64_t at = 1000;
    for (bool enabled : {true, false})
    {
        const Recording r = runAtBlocks(L"QW_SineOsc", kRate, 2000, [=](SignalRun& run) {
            run.set("On", 1).set("Reset Enable", enabled).constant("Pitch", 0.5f).set("Reset", 1.0, at);
        });
        SignalRun plain(L"QW_SineOsc", kRate, 64);
        plain.set("On", 1).set("Reset Enable", enabled).constant("Pitch", 0.5f);
        const auto ref = plain.run(2000).out("Output");
        const auto& y = r.out("Output");
        for (int64_t k = 0; k < 500; ++k)
            ASSERT_EQ(y[size_t(at + k)], ref[size_t((enabled ? 0 : at) + k)]) << "enabled " << enabled << ", " << k;
    }
}

TEST(SineOsc, OffWritesZerosAndKeepsThePhaseForTheNextOn)
{
    const Recording r = runAtBlocks(L"QW_SineOsc", kRate, 4000, [](SignalRun& run) {
        run.set("On", 1).constant("Pitch", 0.5f).set("On", 0, 1000).set("On", 1, 3000);
    });
    SignalRun plain(L"QW_SineOsc", kRate, 64);
    plain.set("On", 1).constant("Pitch", 0.5f);
    const auto ref = plain.run(4000).out("Output");
    const auto seen = r.seen("Output");
    EXPECT_EQ(r.lastChange("Output", false), 1000);
    EXPECT_EQ(r.lastChange("Output", true), 3000);
    for (size_t n = 1000; n < 3000; ++n)
        ASSERT_EQ(seen[n], 0.0f) << n;
    for (size_t k = 0; k < 1000; ++k)
        ASSERT_EQ(seen[3000 + k], ref[1000 + k]) << k;
}

TEST(SineOsc, PhaseModulationAndFeedbackOffsetThePhaseInTurns)
{
    const double inc = 440.0 / 44100.0;
    struct Case
    {
        float pm, fb;
        double y0;
    } cases[] = {{0.25f, 0.0f, 1.0}, {-0.25f, 0.0f, -1.0}, {5.0f, 0.0f, 0.0}, {-0.75f, 0.0f, 1.0}};
    for (auto& c : cases)
    {
        const Recording r = runAtBlocks(L"QW_SineOsc", kRate, 10, [&](SignalRun& run) {
            run.set("On", 1).constant("Pitch", 0.5f).constant("Phase Mod", c.pm).constant("Feedback", c.fb);
        });
        EXPECT_NEAR(r.out("Output")[0], c.y0, 1e-6) << c.pm;
    }
    // Feedback 1: each sample's phase is offset by the sample before.
    const Recording r = runAtBlocks(L"QW_SineOsc", kRate, 10, [&](SignalRun& run) {
        run.set("On", 1).constant("Pitch", 0.5f).constant("Feedback", 1.0f);
    });
    const auto& y = r.out("Output");
    double previous = 0;
    for (int n = 0; n < 10; ++n)
    {
        const double expected = std::sin(2 * kPi * (n * inc + previous));
        EXPECT_NEAR(y[size_t(n)], expected, 1e-3) << n;
        previous = y[size_t(n)];
    }
}

// --- pulse ---

Recording pulse(float pitch, int harmonics, float amplitude, int64_t samples = 70000, bool unnormalised = false)
{
    return runAtBlocks(L"QW_PulseOsc", kRate, samples, [=](SignalRun& run) {
        run.set("Gate", 1)
            .set("Harmonics", harmonics)
            .set("Amplitude", amplitude)
            .set("Unnormalised", unnormalised)
            .constant("Pitch", pitch);
    });
}

TEST(PulseOsc, OneHarmonicIsASingleCosineStartingAtItsPeak)
{
    const Recording r = pulse(0.5f, 1, 5.0f);
    const auto& y = r.out("Output");
    EXPECT_EQ(y[0], 0.5f) << "2C(A + B) with C = 0.25, A = 1, B = 0";
    const Spectrum s(y, 4096, 65536);
    EXPECT_NEAR(s.amplitudeAt(440, kRate), 0.5, 0.005);
    for (int h = 2; h <= 10; ++h)
        EXPECT_LT(s.amplitudeAt(440.0 * h, kRate), 0.5e-3) << "harmonic " << h;
}

TEST(PulseOsc, FiveHarmonicsOfEqualAmplitudeAndNothingAbove)
{
    const Recording r = pulse(0.6f, 5, 10.0f);
    const Spectrum s(r.out("Output"), 4096, 65536);
    for (int h = 1; h <= 5; ++h)
        EXPECT_NEAR(s.amplitudeAt(880.0 * h, kRate), 0.2, 0.002) << "harmonic " << h;
    for (int h = 6; h <= 24; ++h)
        EXPECT_LT(s.amplitudeAt(880.0 * h, kRate), 0.002) << "harmonic " << h;
}

TEST(PulseOsc, WithoutALimitTheHarmonicsFillTheBandAndTheLastFadesIn)
{
    // N = (22050 / 880) - 1 = 24.0568: A = 24 harmonics of 2C, the 25th at 2BC.
    const double N = 22050.0 / 880.0 - 1.0, B = N - 24.0, C = 10 * 0.1 * 0.5 / N;
    EXPECT_NEAR(B, 0.0568, 1e-4);
    const Recording r = pulse(0.6f, 0, 10.0f);
    const Spectrum s(r.out("Output"), 4096, 65536);
    for (int h = 1; h <= 24; ++h)
        EXPECT_NEAR(s.amplitudeAt(880.0 * h, kRate), 2 * C, 2 * C * 0.02) << "harmonic " << h;
    EXPECT_NEAR(s.amplitudeAt(880.0 * 25, kRate), 2 * B * C, 2 * B * C * 0.1);
}

TEST(PulseOsc, NegativePitchCountsAsZeroVolts)
{
    const Recording r = pulse(-1.0f, 1, 10.0f, 140000);
    const Spectrum s(r.out("Output"), 4096, 131072);
    EXPECT_NEAR(s.frequencyNear(13.75, kRate), 13.75, 0.1);
    EXPECT_NEAR(s.amplitudeAt(13.75, kRate), 1.0, 0.01);
}

TEST(PulseOsc, MuteAndGate)
{
    // gate on, mute at 1000, unmute at 2000 (stays silent), gate again at 3000, gate off at 4000
    const Recording r = runAtBlocks(L"QW_PulseOsc", kRate, 5000, [](SignalRun& run) {
        run.set("Gate", 1).set("Harmonics", 1).set("Amplitude", 5.0).constant("Pitch", 0.5f);
        run.set("Mute", 1, 1000).set("Mute", 0, 2000).set("Gate", 1, 3000).set("Gate", 0, 4000);
    });
    using C = qwtest::StreamingChange;
    const int out = r.pins.at("Output");
    const std::vector<C> expected = {{0, out, true}, {1000, out, false}, {3000, out, true}, {4000, out, false}};
    EXPECT_EQ(r.changes("Output"), expected);
    const auto seen = r.seen("Output");
    EXPECT_EQ(seen[2500], 0.0f);
    EXPECT_EQ(seen[3000], 0.5f) << "a new gate restarts at phase 0";
    EXPECT_EQ(seen[4500], 0.0f);
}

// --- Dirac ---

void dirac(SignalRun& run, bool antiAlias, float amplitude, int pitchMode, float pitch, bool removeDC = false)
{
    run.set("On", 1)
        .set("Anti-Alias", antiAlias)
        .set("Pitch Mode", pitchMode)
        .set("Remove DC", removeDC)
        .constant("Amplitude", amplitude)
        .constant("Pitch", pitch);
}

// The period in samples that a pitch sample asks for in a pitch mode: volts
// (10 x the sample) as kHz (mode 0 or below), 1 V per octave from 0.22 kHz at
// 4 V (mode 1), or a period in samples (2 or above); the frequency held at
// fs/2, the period at 2 samples at least.
double diracPeriod(int mode, double pitch, double rate)
{
    const double x = std::max(0.0, 10 * pitch);
    if (mode >= 2)
        return std::max(2.0, x);
    const double f = mode == 1 ? 220.0 * std::pow(2.0, x - 4) : 1000.0 * x;
    return rate / std::min(rate / 2, f);
}

// Samples of y that stand out as peaks: above half the largest, not below the
// sample before and above the sample after.
std::vector<size_t> peaksOf(const std::vector<float>& y)
{
    float top = 0;
    for (float v : y)
        top = std::max(top, v);
    std::vector<size_t> at;
    for (size_t n = 0; n + 1 < y.size(); ++n)
        if (y[n] > 0.5f * top && (n == 0 || y[n] > y[n - 1]) && y[n] >= y[n + 1])
            at.push_back(n);
    return at;
}

TEST(DiracOsc, EveryPitchModeGivesItsPeriod)
{
    struct Case
    {
        int mode;
        float pitch;
    };
    const Case cases[] = {
        {0, 0.01f}, {0, 0.1f}, {0, 3.0f},  {-1, 0.05f}, // kHz, held at fs/2; modes below 0 as 0
        {1, 0.5f},  {1, 0.2f}, {1, 0.83f}, {1, 1.3f},   // 1 V per octave
        {2, 3.7f},  {2, 0.1f}, {7, 5.0f},               // a period in samples
    };
    for (const Case& c : cases)
        for (bool antiAlias : {false, true})
        {
            SignalRun run(L"QW_DiracOsc", kRate, 64);
            dirac(run, antiAlias, 0.5f, c.mode, c.pitch);
            const auto peaks = peaksOf(run.run(20000).out("Output"));
            const double P = diracPeriod(c.mode, c.pitch, kRate);
            ASSERT_GE(peaks.size(), 10u) << "mode " << c.mode << ", pitch " << c.pitch;
            EXPECT_EQ(peaks[0], 0u) << "a start puts the impulse on the first frame";
            const double measured = double(peaks.back() - peaks[0]) / double(peaks.size() - 1);
            EXPECT_NEAR(measured, P, P * 1e-3)
                << "mode " << c.mode << ", pitch " << c.pitch << ", anti-aliased " << antiAlias;
        }
}

TEST(DiracOsc, EveryAmplitudeModeWithAndWithoutTheDC)
{
    // P = 100 samples: the naive impulse is the amplitude a (less a/P with the
    // DC removed, which is also the level between impulses); the anti-aliased
    // peak is a K/2M = a 101/100 (a (K - 1)/2M without the DC). Amplitude mode
    // 1 scales a by P/2, every other mode leaves it.
    const float amplitude = 0.3f;
    for (bool antiAlias : {false, true})
        for (int amplitudeMode : {0, 1, 3})
            for (bool removeDC : {false, true})
            {
                SignalRun run(L"QW_DiracOsc", kRate, 64);
                dirac(run, antiAlias, amplitude, 2, 10.0f, removeDC);
                run.set("Amplitude Mode", amplitudeMode);
                const auto y = run.run(300).out("Output");
                const double a = amplitude * (amplitudeMode == 1 ? 50.0 : 1.0);
                const double peak = antiAlias ? a * (removeDC ? 100.0 : 101.0) / 100.0 : a * (removeDC ? 0.99 : 1.0);
                const std::string what = "anti-aliased " + std::to_string(antiAlias) + ", amplitude mode " +
                                         std::to_string(amplitudeMode) + ", remove DC " + std::to_string(removeDC);
                for (size_t n : {0, 100, 200})
                    EXPECT_NEAR(y[n], peak, std::fabs(peak) * 1e-5) << what << ", sample " << n;
                if (!antiAlias)
                    for (size_t n = 1; n < 100; ++n)
                        ASSERT_NEAR(y[n], removeDC ? -a / 100 : 0.0, a * 1e-6) << what << ", sample " << n;
            }
    // Scaled by a period that is no whole number of samples: 0.44 kHz at 44.1 kHz.
    SignalRun run(L"QW_DiracOsc", kRate, 64);
    dirac(run, false, amplitude, 0, 0.044f);
    run.set("Amplitude Mode", 1);
    const auto y = run.run(10).out("Output");
    EXPECT_NEAR(y[0], amplitude * diracPeriod(0, 0.044f, kRate) / 2, 1e-4);
}

TEST(DiracOsc, NaiveImpulseEveryPeriodAndItsDCRemoved)
{
    for (bool removeDC : {false, true})
    {
        const Recording r = runAtBlocks(L"QW_DiracOsc", kRate, 1000,
                                        [=](SignalRun& run) { dirac(run, false, 0.5f, 2, 10.0f, removeDC); });
        const auto& y = r.out("Output");
        const float impulse = removeDC ? 0.5f * 0.99f : 0.5f, between = removeDC ? -0.5f / 100 : 0.0f;
        for (size_t n = 0; n < y.size(); ++n)
            ASSERT_NEAR(y[n], n % 100 == 0 ? impulse : between, 1e-7) << n << " remove DC " << removeDC;
    }
}

TEST(DiracOsc, AntiAliasedImpulseHoldsHalfThePeriodInEqualHarmonics)
{
    // P = 100: M = 50, K = 101; the kernel's peak K / 2M, 50 harmonics of 1 / M, DC 1 / 2M.
    const float a = 0.5f;
    const Recording r =
        runAtBlocks(L"QW_DiracOsc", kRate, 44100, [=](SignalRun& run) { dirac(run, true, a, 2, 10.0f); });
    const auto& y = r.out("Output");
    EXPECT_NEAR(y[0], 1.01 * a, 1e-6);
    for (int m = 1; m < 50; ++m)
        EXPECT_NEAR(qwtest::fitSine(y, 441.0 * m, kRate, 0, 44100).gain, 0.02 * a, 0.02 * a * 0.02) << "harmonic " << m;
    // The 50th lies at fs / 2: a cosine alternating in sign.
    double nyquist = 0;
    for (size_t n = 0; n < 44100; ++n)
        nyquist += (n % 2 ? -1.0 : 1.0) * y[n];
    EXPECT_NEAR(nyquist / 44100, 0.02 * a, 0.02 * a * 0.02);
    EXPECT_NEAR(qwtest::fitSine(y, 441.0, kRate, 0, 44100).offset, 0.01 * a, 1e-4);
}

TEST(DiracOsc, RestartPutsTheImpulseOnTheFirstFrame)
{
    for (bool antiAlias : {false, true})
    {
        const Recording r = runAtBlocks(L"QW_DiracOsc", kRate, 2000, [=](SignalRun& run) {
            dirac(run, antiAlias, 1.0f, 2, 10.0f);
            run.set("On", 0, 555).set("On", 1, 1234);
        });
        const auto seen = r.seen("Output");
        EXPECT_EQ(seen[1000], 0.0f);
        EXPECT_NEAR(seen[1234], antiAlias ? 1.01f : 1.0f, 1e-6) << "anti-aliased " << antiAlias;
        EXPECT_NEAR(seen[1334], antiAlias ? 1.01f : 1.0f, 1e-6) << "anti-aliased " << antiAlias;
    }
}

TEST(DiracOsc, ZeroFrequencyIsTheLongestPeriod)
{
    // P = 2^24: the DC removed is 2^-24 of the amplitude; the anti-aliased
    // peak is K / 2M = (2^24 + 1) / 2^24, which rounds to 1 in float.
    const Recording naive =
        runAtBlocks(L"QW_DiracOsc", kRate, 100, [](SignalRun& run) { dirac(run, false, 1.0f, 0, 0.0f, true); });
    EXPECT_EQ(naive.out("Output")[0], 1.0f - 0x1p-24f);
    EXPECT_EQ(naive.out("Output")[50], -0x1p-24f);
    const Recording aa =
        runAtBlocks(L"QW_DiracOsc", kRate, 100, [](SignalRun& run) { dirac(run, true, 1.0f, 0, 0.0f); });
    EXPECT_EQ(aa.out("Output")[0], 1.0f);
    for (float v : aa.out("Output"))
        ASSERT_TRUE(std::isfinite(v));
}

// The table by its rule: sin of an angle advanced by repeated addition of
// pi / 131072 in double, rounded to float; the second half the first with
// its sign bit flipped.
std::vector<float> sineTableByRule()
{
    std::vector<float> t(262144);
    double a = 0;
    for (size_t i = 0; i < 131072; ++i)
    {
        t[i] = static_cast<float>(std::sin(a));
        a += kPi / 131072;
    }
    for (size_t i = 0; i < 131072; ++i)
    {
        uint32_t b;
        std::memcpy(&b, &t[i], 4);
        b ^= 0x80000000u;
        std::memcpy(&t[131072 + i], &b, 4);
    }
    return t;
}

TEST(DiracOsc, SharedTableIsFilledOnceByItsRule)
{
    qwhost::ProcessingHost host;
    auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/signalkit.so");
    auto first = host.create(bundle, L"QW_DiracOsc");
    ASSERT_TRUE(first);
    const qwhost::SharedBlock* block = host.sharedBlock(L"QW DIRAC OSC SINE TABLE");
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(block->size, 1048576);
    const auto rule = sineTableByRule();
    EXPECT_EQ(std::memcmp(block->memory.get(), rule.data(), 1048576), 0);
    float* table = reinterpret_cast<float*>(block->memory.get());
    table[5] = 123.0f; // a second instance must not write
    auto second = host.create(bundle, L"QW_DiracOsc");
    ASSERT_TRUE(second);
    EXPECT_EQ(block->fills, 1);
    EXPECT_EQ(block->requests, 2);
    EXPECT_EQ(table[5], 123.0f);
}

TEST(DiracOsc, WithoutTheSharedTableTheAntiAliasedRoutineWritesZeros)
{
    qwhost::ProcessingHost host;
    host.sharedMemory = false;
    host.blockSize = 64;
    auto p = host.create(qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/signalkit.so"), L"QW_DiracOsc");
    p->startGraph();
    p->setBool(p->pin("Anti-Alias"), true);
    p->setInt(p->pin("Pitch Mode"), 2);
    p->setConstant(p->pin("Pitch"), 10.0f);
    const auto y = qwtest::play(*p, p->pin("Output"), 1000, 64);
    for (float v : y)
        ASSERT_EQ(v, 0.0f);
    p->setBool(p->pin("Anti-Alias"), false); // the naive routine needs no table
    const auto naive = qwtest::play(*p, p->pin("Output"), 200, 64);
    EXPECT_EQ(naive[0], 0.5f);
    EXPECT_EQ(naive[100], 0.5f);
}
} // namespace
