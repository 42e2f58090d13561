// The older waveguide QW_DWG through the built bundle: its two tables shared
// through the host (filled once per name and rate, spot values worked out in
// double from the loss filter's phase and the reflection per period), its
// period limits in samples and as a frequency, the crossfade between periods,
// silence after 5000 quiet samples, and a host without shared memory.
#include "signal_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr double kPi = 3.14159265358979323846;
const wchar_t* kLengths = L"QW DWG PCORR TABLE";
const wchar_t* kScales = L"QW DWG FBSCAL TABLE";

float entry(const qwhost::SharedBlock* b, int row, int column)
{
    return reinterpret_cast<const float*>(b->memory.get())[row * 1024 + column];
}

TEST(DWGTables, FilledOncePerNameAndRate)
{
    qwhost::ProcessingHost host;
    host.sampleRate = 44100.0f;
    auto bundle = qwtest::bundle("signalkit");
    auto a = host.create(bundle, L"QW_DWG");
    auto b = host.create(bundle, L"QW_DWG");
    ASSERT_NE(host.sharedBlock(kLengths), nullptr);
    ASSERT_NE(host.sharedBlock(kScales, 44100.0f), nullptr);
    EXPECT_EQ(host.sharedBlock(kLengths)->fills, 1);
    EXPECT_EQ(host.sharedBlock(kLengths)->requests, 2);
    EXPECT_EQ(host.sharedBlock(kScales, 44100.0f)->fills, 1);
    EXPECT_EQ(host.sharedBlock(kScales, 44100.0f)->size, 0x400000);
    host.sampleRate = 48000.0f;
    auto c = host.create(bundle, L"QW_DWG");
    EXPECT_EQ(host.sharedBlock(kLengths)->fills, 1) << "the lengths do not depend on the rate";
    EXPECT_EQ(host.sharedBlock(kLengths)->requests, 3);
    ASSERT_NE(host.sharedBlock(kScales, 48000.0f), nullptr);
    EXPECT_EQ(host.sharedBlock(kScales, 48000.0f)->fills, 1);
    EXPECT_EQ(host.sharedBlock(kScales, 44100.0f)->fills, 1);

    const auto* L = host.sharedBlock(kLengths);
    const auto* S = host.sharedBlock(kScales, 48000.0f);
    auto period = [](int c) { return 1 + c * 4999.0 / 1023; };
    // No loss: the period itself.
    for (int c : {0, 1, 77, 512, 1023})
        EXPECT_NEAR(entry(L, 0, c), period(c), period(c) * 1e-6) << c;
    EXPECT_EQ(entry(L, 0, 0), 1.0f);
    EXPECT_EQ(entry(L, 0, 1023), 5000.0f);
    // g = 1: the phase of 1 / (1 - e^-jw) is pi/2 - w/2, so 0.75 P + 0.5.
    for (int c : {1, 300, 1023})
        EXPECT_NEAR(entry(L, 1023, c), 0.75 * period(c) + 0.5, 1e-3) << c;
    EXPECT_NEAR(entry(L, 1023, 1023), 3750.5, 1e-3);
    // Inner entries: P less the phase delay of (1 - g) / (1 - g e^-jw) at w = 2 pi / P.
    for (auto [r, c] : {std::pair{200, 3}, {512, 100}, {900, 700}, {1000, 10}})
    {
        const double g = r / 1023.0, P = period(c), w = 2 * kPi / P;
        const double phase = std::atan2(g * std::sin(w), 1 - g * std::cos(w));
        EXPECT_NEAR(entry(L, r, c), std::max(1.0, P - phase / w), 1e-6 * P) << r << " " << c;
    }
    // Reflection per period at 48 kHz: g ^ (261.6529068725 P / 48000).
    for (int c : {0, 500, 1023})
    {
        EXPECT_EQ(entry(S, 0, c), 0.0f);
        EXPECT_NEAR(entry(S, 1023, c), 1.0f, 1e-7);
    }
    for (auto [r, c] : {std::pair{100, 3}, {512, 100}, {1000, 1000}})
    {
        const double want = std::pow(r / 1023.0, 261.6529068725 * period(c) / 48000.0);
        EXPECT_NEAR(entry(S, r, c), want, 1e-6) << r << " " << c;
    }
}

TEST(DWG, PeriodWithinOneToFiveThousandSamples)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    // Mode 0: 10 samples per unit; mode 1: the frequency in 10 kHz per unit.
    const struct
    {
        int mode;
        float value;
        int64_t at;
    } cases[] = {{0, 0.05f, 1},
                 {0, 600, 5000},
                 {0, 10, 100},
                 {0, -3, 1},
                 {0, nan, 1},
                 {0, inf, 5000},
                 {0, -inf, 1},
                 {1, 0, 5000},
                 {1, 0.0441f, 100},
                 {1, nan, 5000},
                 {1, inf, 1},
                 {1, -2, 1},
                 {0, std::numeric_limits<float>::max(), 5000}};
    for (const auto& c : cases)
        EXPECT_EQ(qwtest::unitImpulseAt(
                      qwtest::impulseResponse(L"QW_DWG", 44100.0f, "Excitation", "Output", 5100,
                                              [&](SignalRun& r) {
                                                  r.set("On", 1).set("Mode", c.mode).constant("Period", c.value);
                                                  r.constant("Reflection", 0.0f);
                                              })),
                  c.at)
            << c.mode << " " << c.value;
}

TEST(DWG, CrossfadesToANewPeriodOver49Samples)
{
    constexpr int64_t change = 1000, total = 1400;
    const auto input = qwtest::noise(21, 0.5);
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_DWG", 44100.0f, block);
        run.set("On", 1).set("Crossfade", 1).constant("Reflection", 0.0f).constant("Period", 10.0f);
        run.stream("Excitation", input).constant("Period", 20.0f, change);
        return run.run(total);
    });
    const auto& y = r.out("Output");
    for (int64_t t = 100; t < change; ++t)
        ASSERT_EQ(y[size_t(t)], input(t - 100)) << t;
    for (int64_t j = 0; j < 49; ++j)
    {
        const double u = double(49 - j) * 0.02, w = (3 - 2 * u) * u * u;
        const int64_t t = change + j;
        ASSERT_NEAR(y[size_t(t)], w * input(t - 100) + (1 - w) * input(t - 200), 1e-6) << j;
    }
    for (int64_t t = change + 49; t < total; ++t)
        ASSERT_EQ(y[size_t(t)], input(t - 200)) << t;
}

TEST(DWG, SilentAfterTheFiveThousandthQuietSample)
{
    const Recording r = qwtest::sameAtBlocks(
        [](int block) {
            SignalRun run(L"QW_DWG", 44100.0f, block);
            run.set("On", 1).constant("Reflection", 0.0f).constant("Period", 1.0f);
            run.stream("Excitation", qwtest::impulse(0)).constant("Excitation", 0.0f, 100);
            return run.run(6000);
        },
        {1, 7, 64, 1024}); // 1024: the silence starts past a block's first 256 samples
    // The impulse comes out at 10; quiet from 11, the 5000th quiet sample at 5010.
    EXPECT_EQ(r.lastChange("Output", false), 5011);
    EXPECT_FALSE(r.sleepRequests.empty());
}

// The string struck by an impulse with a ringing loop: period 10.05 units
// (100.5 samples), loss 0.5, reflection 0.9 under an open gate.
std::vector<float> strike(bool sharedMemory, bool corrections)
{
    qwhost::ProcessingHost host;
    host.sharedMemory = sharedMemory;
    host.blockSize = 64;
    auto p = host.create(qwtest::bundle("signalkit"), L"QW_DWG");
    p->startGraph(0);
    p->setBool(p->pin("On"), true);
    p->setBool(p->pin("Correct Length"), corrections);
    p->setBool(p->pin("Scale Reflection"), corrections);
    p->setConstant(p->pin("Period"), 10.05f);
    p->setConstant(p->pin("Loss"), 0.5f);
    p->setConstant(p->pin("Reflection"), 0.9f);
    p->setConstant(p->pin("Gate"), 1.0f);
    const int in = p->pin("Excitation"), out = p->pin("Output");
    p->setStreaming(in, true);
    std::vector<float> y;
    for (int64_t t = 0; t < 4096; t += 64)
    {
        for (int i = 0; i < 64; ++i)
            p->input(in)[i] = t + i == 0 ? 1.0f : 0.0f;
        p->run(64);
        y.insert(y.end(), p->output(out), p->output(out) + 64);
    }
    for (float v : y)
        EXPECT_TRUE(std::isfinite(v));
    return y;
}

TEST(DWG, WithoutSharedMemoryTheCorrectionsAreOff)
{
    const auto plain = strike(true, false);
    EXPECT_NE(strike(true, true), plain) << "the corrections change the sound where the host shares memory";
    EXPECT_EQ(strike(false, true), plain);
    EXPECT_EQ(strike(false, false), plain);
}
} // namespace
