// The frame pitch shifters, mono and stereo, through the built bundle: frame
// sizes by rate (read from the tail of four frames), the pitch heard at the
// output, level correction on matching halves, a silent stereo channel; and
// their kernels on their own: the lag search, the spreading weights and the
// crossfade level correction against hand-worked values. Runs at blocks of
// 1, 7 and 64.
#include "mp_sdk_common.h"
#include "pitch_kernels.h"
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{
using qw::fm::fcmpl;
using qwtest::Recording;
using qwtest::SignalRun;

// --- kernels ---

TEST(PitchKernels, FrameSizeByRateAndExponent)
{
    struct Case
    {
        float rate;
        int exponent;
        int n;
    };
    const Case cases[] = {
        {44100.0f, 5, 512},   {48000.0f, 20, 8192},   {96000.0f, 13, 16384}, {192000.0f, 9, 2048},
        {88200.0f, 11, 4096}, {176400.0f, 13, 32768}, {50000.0f, 11, 0},     {32000.0f, 11, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qw::pitch::frameSize(qw::pitch::rateFactor(c.rate), c.exponent), c.n) << c.rate << " " << c.exponent;
}

TEST(PitchKernels, LagSearchFindsTheLagItWasBuiltWith)
{
    constexpr int kMask = 4095;
    std::vector<float> line(4096);
    const auto noise = qwtest::noise(11);
    for (int i = 0; i < 4096; ++i)
        line[size_t(i)] = noise(i);
    const int newest = 100; // the search wraps below index 0
    const int lag = 77;
    std::vector<float> value;
    std::vector<int32_t> back;
    for (int p = 0; p < 32; ++p)
    {
        back.push_back(40 + 33 * p);
        value.push_back(line[size_t((newest - back.back() - lag) & kMask)]);
    }
    std::vector<float> cost(512);
    EXPECT_EQ(qw::pitch::bestLag(line.data(), kMask, newest, value.data(), back.data(), 32, 512, cost.data()), lag);

    // A line that repeats every 50 entries (away from its wrap) matches at
    // 27, 77, 127, ...: the smallest of the equal lags wins.
    const int middle = 3000;
    for (int i = 0; i < 4096; ++i)
        line[size_t(i)] = noise(i % 50);
    for (int p = 0; p < 32; ++p)
        value[size_t(p)] = line[size_t(middle - back[size_t(p)] - lag)];
    EXPECT_EQ(qw::pitch::bestLag(line.data(), kMask, middle, value.data(), back.data(), 32, 512, cost.data()), 27);
    // Every lag equal: 0.
    std::fill(line.begin(), line.end(), 0.25f);
    EXPECT_EQ(qw::pitch::bestLag(line.data(), kMask, newest, value.data(), back.data(), 32, 512, cost.data()), 0);
}

TEST(PitchKernels, SpreadingWeights)
{
    float w[4];
    qw::pitch::spreadWeights(0.5f, w);
    EXPECT_FLOAT_EQ(w[0], -0.125f);
    EXPECT_FLOAT_EQ(w[1], 0.625f);
    EXPECT_FLOAT_EQ(w[2], 0.625f);
    EXPECT_FLOAT_EQ(w[3], -0.125f);
    qw::pitch::spreadWeights(0.0f, w);
    EXPECT_EQ(w[1], 1.0f);
    EXPECT_EQ(w[0] + w[2] + w[3], 0.0f);
    for (float u : {0.0f, 0.1f, 0.25f, 0.3333f, 0.75f, 0.9f, 0.999f})
    {
        qw::pitch::spreadWeights(u, w);
        EXPECT_NEAR(double(w[0]) + w[1] + w[2] + w[3], 1.0, 1e-6) << u;
    }
}

TEST(PitchKernels, LevelCorrectionOfOppositeHalves)
{
    // t = 0, 1/4, 1/2, 3/4: S1 = sum (1 - t) + t = 4, S2 = sum |1 - 2t| = 2,
    // q = 0.5; g = 1 / (1 - 3.3 t (1 - t)).
    const float gains[4] = {1.0f, 1.0f / (1.0f - 3.3f * 0.1875f), 1.0f / (1.0f - 3.3f * 0.25f),
                            1.0f / (1.0f - 3.3f * 0.1875f)};
    EXPECT_NEAR(gains[1], 2.6230, 1e-4);
    EXPECT_NEAR(gains[2], 5.7143, 1e-4);
    float a[4] = {1, 1, 1, 1}, b[4] = {-1, -1, -1, -1};
    const auto c = qw::pitch::compensateChannel(a, b, 4, 0);
    EXPECT_DOUBLE_EQ(c.s1, 4.0);
    EXPECT_DOUBLE_EQ(c.s2, 2.0);
    EXPECT_EQ(c.q, 0.5f);
    for (int m = 0; m < 4; ++m)
    {
        EXPECT_FLOAT_EQ(a[m], gains[m]) << m;
        EXPECT_FLOAT_EQ(b[m], -gains[m]) << m;
    }

    // Matching halves change nothing; stereo decides per channel: the left
    // pair matches, the right pair is opposite.
    float same[4] = {1, 1, 1, 1}, other[4] = {1, 1, 1, 1};
    EXPECT_EQ(qw::pitch::compensateChannel(same, other, 4, 0).q, 1.0f);
    for (int m = 0; m < 4; ++m)
        EXPECT_EQ(same[m] + other[m], 2.0f);
    fcmpl sa[4], sb[4];
    for (int m = 0; m < 4; ++m)
    {
        sa[m] = {0.5f, 1.0f};
        sb[m] = {0.5f, -1.0f};
    }
    qw::pitch::compensateAM(sa, sb, 4);
    for (int m = 0; m < 4; ++m)
    {
        EXPECT_EQ(sa[m].re, 0.5f);
        EXPECT_EQ(sb[m].re, 0.5f);
        EXPECT_FLOAT_EQ(sa[m].im, gains[m]);
        EXPECT_FLOAT_EQ(sb[m].im, -gains[m]);
    }
}

// --- through the bundle ---

struct Shifter
{
    std::wstring id;
    std::vector<std::string> ins, outs;
};
const Shifter kMono{L"QW_PitchShifter2", {"Signal"}, {"Output"}};
const Shifter kStereo{L"QW_PitchShifter2ST", {"Left", "Right"}, {"Left Out", "Right Out"}};

// Noise into the first input from 0, static from `stop`; the frame size
// reads as the tail's length (four frames).
Recording runTail(const Shifter& s, float rate, int exponent, int block, int64_t stop, int64_t length)
{
    SignalRun run(s.id, rate, block);
    run.set("Frame Size", exponent).stream(s.ins[0], qwtest::noise(2, 0.5)).constant(s.ins[0], 0.0f, stop);
    return run.run(length);
}

TEST(PitchShifter2, FrameSizeIsAQuarterOfTheTail)
{
    struct Case
    {
        float rate;
        int exponent;
        int64_t n;
    };
    const Case cases[] = {{44100.0f, 5, 512}, {48000.0f, 20, 8192}, {96000.0f, 13, 16384}, {192000.0f, 9, 2048}};
    constexpr int64_t stop = 3000;
    for (const Shifter& s : {kMono, kStereo})
        for (const Case& c : cases)
        {
            const Recording r = qwtest::sameAtBlocks(
                [&](int block) { return runTail(s, c.rate, c.exponent, block, stop, stop + 4 * c.n + 100); });
            for (const auto& out : s.outs)
            {
                EXPECT_EQ(r.lastChange(out, true), 0) << out;
                EXPECT_EQ(r.lastChange(out, false), stop + 4 * c.n) << out << ", N = " << c.n;
                const auto& y = r.out(out);
                for (size_t t = size_t(stop + 4 * c.n); t < y.size(); ++t)
                    ASSERT_EQ(y[t], 0.0f) << t;
            }
        }
}

TEST(PitchShifter2, NeverRunsAtOtherRates)
{
    for (const Shifter& s : {kMono, kStereo})
    {
        SignalRun run(s.id, 50000.0f, 64);
        run.stream(s.ins[0], qwtest::sine(1000.0, 50000.0)).set("Frame Size", 10, 500).constant(s.ins[0], 0.0f, 3000);
        run.stream(s.ins[0], qwtest::noise(1), 4000);
        const Recording r = run.run(20000);
        for (const auto& out : s.outs)
        {
            for (const auto& c : r.changes(out))
                EXPECT_FALSE(c.streaming) << c.time;
            for (float v : r.out(out))
                ASSERT_EQ(v, 0.0f);
        }
    }
}

TEST(PitchShifter2, ExponentChangeEmptiesTheBuffersAndEndsATail)
{
    // During the tail: silent from the change on.
    const Recording tail = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_PitchShifter2", 48000.0f, block);
        run.set("Frame Size", 11).stream("Signal", qwtest::noise(3)).constant("Signal", 0.0f, 5000);
        run.set("Frame Size", 10, 6000);
        return run.run(12000);
    });
    EXPECT_EQ(tail.lastChange("Output", false), 6000);
    for (size_t t = 6000; t < 12000; ++t)
        ASSERT_EQ(tail.out("Output")[t], 0.0f) << t;
    EXPECT_NE(tail.out("Output")[5999], 0.0f);

    // While streaming: the new frames start from an empty ring, so the first
    // frame's worth of output is silence, and sound follows.
    constexpr int64_t n = 4096;
    const Recording on = qwtest::sameAtBlocks([&](int block) {
        SignalRun run(L"QW_PitchShifter2", 48000.0f, block);
        run.set("Frame Size", 11).stream("Signal", qwtest::noise(3)).set("Frame Size", 12, 7000);
        return run.run(7000 + 3 * n);
    });
    const auto& y = on.out("Output");
    EXPECT_NE(y[6999], 0.0f);
    for (int64_t t = 7000; t < 7000 + n; ++t)
        ASSERT_EQ(y[size_t(t)], 0.0f) << t;
    double energy = 0;
    for (int64_t t = 7000 + n; t < 7000 + 3 * n; ++t)
        energy += double(y[size_t(t)]) * y[size_t(t)];
    EXPECT_GT(energy, 100.0);
    EXPECT_EQ(on.lastChange("Output", true), 0);
    EXPECT_LE(on.lastChange("Output", false), 0) << "streams on through the change";
}

// A 1 kHz sine into the first (or the given) input with the pitch held.
Recording runSine(const Shifter& s, float rate, float pitch, bool antiAlias, int block, int64_t length,
                  size_t input = 0)
{
    SignalRun run(s.id, rate, block);
    run.set("Frame Size", 11).set("Anti-Alias", antiAlias ? 1 : 0).constant("Pitch", pitch);
    run.stream(s.ins[input], qwtest::sine(1000.0, rate, 0.5));
    return run.run(length);
}

TEST(PitchShifter2, PitchHeardAtTheOutput)
{
    struct Case
    {
        float pitch;
        double heard; // Hz
    };
    const Case cases[] = {{0.0f, 1000.0}, {0.1f, 2000.0}, {-0.1f, 500.0}, {0.15f, 2000.0}, {-0.15f, 500.0}};
    for (const Shifter& s : {kMono, kStereo})
        for (float rate : {48000.0f, 96000.0f})
            for (bool aa : {false, true})
                for (const Case& c : cases)
                {
                    const int64_t n = rate > 50000.0f ? 4096 : 2048;
                    const int64_t length = 4 * n + 16384;
                    const Recording r =
                        qwtest::sameAtBlocks([&](int block) { return runSine(s, rate, c.pitch, aa, block, length); });
                    const double f = qwtest::peakFrequency(r.out(s.outs[0]), rate, 4 * n, length);
                    EXPECT_NEAR(f, c.heard, 0.01 * c.heard)
                        << gmpi_sdk::toUtf8(s.id) << " at " << rate << ", pitch " << c.pitch << ", aa " << aa;
                    if (s.outs.size() > 1)
                    {
                        for (float v : r.out(s.outs[1]))
                            ASSERT_EQ(v, 0.0f) << "the silent channel stays silent";
                    }
                }
}

TEST(PitchShifter2, StereoChannelsStayApart)
{
    // The sine on the right, silence on the left: mirrored.
    const int64_t length = 4 * 2048 + 16384;
    const Recording r =
        qwtest::sameAtBlocks([&](int block) { return runSine(kStereo, 48000, 0.1f, false, block, length, 1); });
    for (float v : r.out("Left Out"))
        ASSERT_EQ(v, 0.0f);
    EXPECT_NEAR(qwtest::peakFrequency(r.out("Right Out"), 48000, 4 * 2048, length), 2000.0, 20.0);
    // Both channels the same: the same samples as mono on each.
    const Recording mono = runSine(kMono, 48000, 0.1f, false, 64, length);
    SignalRun both(kStereo.id, 48000, 64);
    both.set("Frame Size", 11).constant("Pitch", 0.1f);
    both.stream("Left", qwtest::sine(1000.0, 48000, 0.5)).stream("Right", qwtest::sine(1000.0, 48000, 0.5));
    const Recording st = both.run(length);
    const auto& m = mono.out("Output");
    for (size_t t = 0; t < m.size(); ++t)
    {
        ASSERT_NEAR(st.out("Left Out")[t], m[t], 1e-6) << t;
        ASSERT_EQ(st.out("Left Out")[t], st.out("Right Out")[t]) << t;
    }
}

TEST(PitchShifter2, LevelCorrectionLeavesMatchingHalvesAlone)
{
    constexpr int64_t n = 2048;
    for (const Shifter& s : {kMono, kStereo})
        for (bool aa : {false, true})
        {
            auto scenario = [&](bool correct) {
                return qwtest::sameAtBlocks([&](int block) {
                    SignalRun run(s.id, 48000, block);
                    run.set("Frame Size", 11).set("Anti-Alias", aa ? 1 : 0).set("Level Correction", correct ? 1 : 0);
                    for (const auto& in : s.ins)
                        run.stream(in, [](int64_t) { return 0.5f; });
                    return run.run(8 * n);
                });
            };
            const Recording off = scenario(false), on = scenario(true);
            for (const auto& out : s.outs)
            {
                for (int64_t t = 4 * n; t < 8 * n; ++t)
                    ASSERT_EQ(on.out(out)[size_t(t)], off.out(out)[size_t(t)]) << t;
                EXPECT_NEAR(off.out(out)[size_t(6 * n)], 0.5f, 1e-5);
            }
        }
}
} // namespace

namespace
{
// The pitch: held, then stepping into the middle of half frames, then
// swept, then held again (a step or sweep makes a prediction of the rates
// still to come wrong).
float movingPitch(int64_t t)
{
    if (t < 6000)
        return 0.05f;
    if (t < 12000)
        return (t / 700) % 2 ? -0.04f : 0.03f;
    if (t < 18000)
        return 0.08f * static_cast<float>(std::sin(6.283185307179586 * static_cast<double>(t) / 3000.0));
    return -0.02f;
}
} // namespace

// Half frames of 256 samples (N = 512 at 48 kHz): at blocks of 2048 most lag
// searches run whole where their half frame starts; at blocks of 1, 7 and 64
// each is done ahead over the calls before it, its predictions made and
// dropped as the pitch moves. The same lags, so the same samples.
TEST(PitchShifter2, SearchDoneAheadChoosesAsTheWholeSearch)
{
    for (const Shifter& s : {kMono, kStereo})
        for (int extras : {0, 1})
            qwtest::sameAtBlocks(
                [&](int block) {
                    SignalRun run(s.id, 48000.0f, block);
                    run.set("Frame Size", 9).set("Anti-Alias", extras).set("Level Correction", extras);
                    run.stream("Pitch", movingPitch);
                    for (size_t k = 0; k < s.ins.size(); ++k)
                        run.stream(s.ins[k], qwtest::noise(int(20 + k), 0.5));
                    return run.run(24000);
                },
                {2048, 1, 7, 64});
}

namespace
{
// FNV-1a of the bits of every output sample, the outputs in pin order.
uint64_t hashOf(const Recording& r, const std::vector<std::string>& outs)
{
    uint64_t h = 1469598103934665603ull;
    for (const auto& out : outs)
        for (float v : r.out(out))
        {
            uint32_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            for (int b = 0; b < 4; ++b)
            {
                h ^= (bits >> (8 * b)) & 0xFFu;
                h *= 1099511628211ull;
            }
        }
    return h;
}

// The pitch for a frame of n: held (the first half of each next frame made
// ahead comes true), stepped late in a half frame and early in another (made
// ahead for ratios that did not come), swept, then held.
float pitchFor(int64_t n, int64_t t)
{
    const int64_t half = n / 2;
    if (t < 5 * half + 9 * half / 10)
        return 0.05f;
    if (t < 7 * half + half / 5)
        return -0.06f;
    if (t < 9 * half)
        return 0.09f * static_cast<float>(std::sin(6.283185307179586 * static_cast<double>(t) / (1.3 * half)));
    return 0.02f;
}
} // namespace

// The output of the shifters as they were when every frame was made whole at
// its half frame's start (hashes recorded from that code): made entry by
// entry over the half frame now, with the first half made ahead where level
// correction needs it whole, the samples are the same to the bit, with and
// without anti-aliasing and level correction, at frames of 2048 to 16384.
TEST(PitchShifter2, FramesMadeOverTheHalfFrameGiveTheSameSamples)
{
    struct Case
    {
        float rate;
        int exponent;
        int64_t n;
        uint64_t mono[4], stereo[4]; // by anti-aliasing + 2 x level correction
    };
    const Case cases[] = {
        {48000.0f,
         11,
         2048,
         {0xad376afde32587b8ull, 0xaa20c136c0ee96c6ull, 0x6c509af8b8364775ull, 0x637bc354f7387799ull},
         {0xcdf62e30efaf033aull, 0xeb29e95b1543b845ull, 0xba51290d2018efceull, 0xdfd2ddc8b5a9a355ull}},
        {192000.0f,
         10,
         4096,
         {0xee3c5c5ac8a67f6full, 0xd4dc8731cee3544ull, 0x92f5c17439130edull, 0xbdc65f2ebcb93fe5ull},
         {0x57eb24b84ce452fdull, 0x41555e6bd3cf605cull, 0xb4b7b782d9dc8b8eull, 0xc80be24e053a891cull}},
        {96000.0f,
         13,
         16384,
         {0x272a2d70e4242b7cull, 0x522a76f28b09ed5eull, 0xcb43f0f3f7dd1d5dull, 0x994254453e6bc6f2ull},
         {0xf03be2656c8668cdull, 0xe8facca68d47e3ull, 0xebe8f454d53bd2bull, 0x4f85b875aab39c63ull}},
    };
    for (const Case& c : cases)
        for (const Shifter& s : {kMono, kStereo})
            for (int options = 0; options < 4; ++options)
            {
                SignalRun run(s.id, c.rate, 37);
                run.set("Frame Size", c.exponent).set("Anti-Alias", options & 1).set("Level Correction", options >> 1);
                const int64_t n = c.n;
                run.stream("Pitch", [n](int64_t t) { return pitchFor(n, t); });
                for (size_t k = 0; k < s.ins.size(); ++k)
                    run.stream(s.ins[k], qwtest::noise(uint32_t(40 + k), 0.5));
                const uint64_t h = hashOf(run.run(6 * n), s.outs);
                const uint64_t expected = (s.id == kMono.id ? c.mono : c.stereo)[options];
                EXPECT_EQ(h, expected) << gmpi_sdk::toUtf8(s.id) << " at " << c.rate << ", N = " << c.n
                                       << ", anti-alias " << (options & 1) << ", level correction " << (options >> 1)
                                       << std::hex << ": 0x" << h;
            }
}

// Audio near the float limit: the cubic reads (whose terms overflow a float
// long before the value does), the anti-aliased spreading sums, the level
// correction gains (up to 5.7) and the crossfade saturate instead of giving
// infinity or not a number.
TEST(PitchShifter2, AudioNearTheFloatLimitSaturates)
{
    constexpr int64_t n = 512;
    for (const Shifter& s : {kMono, kStereo})
        for (int options = 0; options < 4; ++options)
        {
            // Noise at 0.5 to 1 of the largest float: finite everywhere, and
            // as loud as the input.
            SignalRun loud(s.id, 48000.0f, 64);
            loud.set("Frame Size", 9).set("Anti-Alias", options & 1).set("Level Correction", options >> 1);
            loud.constant("Pitch", 0.05f);
            for (size_t k = 0; k < s.ins.size(); ++k)
            {
                const qwtest::Signal noise = qwtest::noise(uint32_t(7 + k));
                loud.stream(s.ins[k], [noise](int64_t t) {
                    const float x = noise(t);
                    return std::copysign(FLT_MAX * (0.5f + 0.5f * std::fabs(x)), x);
                });
            }
            const Recording r = loud.run(8 * n);
            for (const auto& out : s.outs)
            {
                float most = 0.0f;
                for (size_t t = 0; t < r.out(out).size(); ++t)
                {
                    const float y = r.out(out)[t];
                    ASSERT_TRUE(std::isfinite(y)) << out << " options " << options << " at " << t;
                    most = std::max(most, std::fabs(y));
                }
                EXPECT_GE(most, 0.5f * FLT_MAX) << out << " options " << options;
            }

            // A level held (its negative on the right) gives what 1 held
            // gives, times the level, once the frames hold only input (every
            // lag then costs 0). At 0.8 of the largest float no entry of a
            // frame goes beyond the float range (those that read across the
            // two cells emptied at a start overshoot the input a little) but
            // every cubic read's terms overflow: to float precision. At the largest float the spreading sums
            // overflow too, and the entries beyond the range saturate: within
            // what that costs the crossfade (0.0625 of the weight of the top
            // 8 entries, 8 / 256 at most), saturated.
            auto held = [&](float level) {
                SignalRun run(s.id, 48000.0f, 64);
                run.set("Frame Size", 9).set("Anti-Alias", options & 1).set("Level Correction", options >> 1);
                run.constant("Pitch", 0.03f);
                for (size_t k = 0; k < s.ins.size(); ++k)
                {
                    const float v = k ? -level : level;
                    run.stream(s.ins[k], [v](int64_t) { return v; });
                }
                return run.run(8 * n);
            };
            const Recording one = held(1.0f);
            for (const float level : {0.8f * FLT_MAX, FLT_MAX})
            {
                const Recording large = held(level);
                const double tolerance = level == FLT_MAX ? 2e-3 : 1e-6;
                for (const auto& out : s.outs)
                    for (int64_t t = 4 * n; t < 8 * n; ++t)
                    {
                        const double expected = std::min(
                            std::max(double(one.out(out)[size_t(t)]) * level, -double(FLT_MAX)), double(FLT_MAX));
                        const float y = large.out(out)[size_t(t)];
                        ASSERT_TRUE(std::fabs(y) <= FLT_MAX);
                        ASSERT_NEAR(y / level, expected / level, tolerance)
                            << out << " options " << options << " at " << t << ", level " << level;
                    }
            }
        }
}

// Level correction of halves of opposite sign near the float limit: the input
// steps from 0.9 of the largest float to its negative while the pitch is an
// octave up, so an outgoing half reads after the step and the incoming one
// before it; their gains (about 1.7 in the middle of the fade) take both
// beyond the float range, one each way, and the crossfade of the two
// saturated halves stays finite.
TEST(PitchShifter2, OppositeHalvesNearTheFloatLimitStayFinite)
{
    constexpr int64_t n = 512;
    for (const Shifter& s : {kMono, kStereo})
        for (int aa : {0, 1})
            for (int64_t step = 3 * n; step < 4 * n; step += 61)
            {
                SignalRun run(s.id, 48000.0f, 64);
                run.set("Frame Size", 9).set("Anti-Alias", aa).set("Level Correction", 1).constant("Pitch", 0.1f);
                for (const auto& in : s.ins)
                    run.stream(in, [step](int64_t t) { return t < step ? 0.9f * FLT_MAX : -0.9f * FLT_MAX; });
                const Recording r = run.run(6 * n);
                for (const auto& out : s.outs)
                    for (size_t t = 0; t < r.out(out).size(); ++t)
                        ASSERT_TRUE(std::isfinite(r.out(out)[t])) << out << " anti-alias " << aa << ", step at " << step
                                                                  << ": " << r.out(out)[t] << " at " << t;
            }
}
