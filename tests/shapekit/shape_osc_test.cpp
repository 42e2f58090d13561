// QW_ShapeOsc2 through the built bundle at 44.1 kHz: each expected sample is
// the 256-entry table of the shape (the linear rendering, halved) read at the
// phase that steps of f x 256 / rate / K reach in float, with linear
// interpolation and the wrap from entry 255 to 0, K steps averaged.
#include "processing_host.h"
#include "shape_bytes.h"
#include "signal_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr float kRate = 44100.0f;
constexpr int kN = 256;

struct Table
{
    float v[kN];
};

// A linear shape from (0, y0) to (1, y1), rendered at x = i / 255 and halved.
Table line(float y0, float y1)
{
    Table t;
    for (int i = 0; i < kN; ++i)
        t.v[i] = 0.5f * (y0 + (y1 - y0) * static_cast<float>(i) / 255.0f);
    return t;
}
const Table kSaw = line(-1.0f, 1.0f);

float read(const Table& t, float p)
{
    const int i = static_cast<int>(p);
    const float f = p - static_cast<float>(i);
    return t.v[i] + f * (t.v[(i + 1) & 255] - t.v[i]);
}

// One output sample: the mean of K steps of inc through the table.
float sample(const Table& t, float& phase, float inc, int k)
{
    float sum = 0.0f;
    for (int j = 0; j < k; ++j)
    {
        sum += read(t, phase);
        phase += inc;
        if (phase >= 256.0f)
            phase -= 256.0f;
    }
    return sum / static_cast<float>(k);
}

// n samples of the oscillator at frequency f with K steps, from phase 0.
std::vector<float> model(const Table& t, float f, int k, int n)
{
    const float inc = std::min(f, 0.25f * kRate) * (256.0f / kRate) / static_cast<float>(k);
    std::vector<float> y;
    float phase = 0.0f;
    for (int s = 0; s < n; ++s)
        y.push_back(sample(t, phase, inc, k));
    return y;
}

// The same with the pitch input (volts x 10) sampled per output sample:
// Hz or 1 V per octave with 5 V = 440 Hz, NaN read as 0, the frequency
// limited to 0 .. a quarter of the rate.
std::vector<float> modelPitch(const Table& t, const std::function<float(int64_t)>& pitch, int law, int k, int n)
{
    std::vector<float> y;
    float phase = 0.0f;
    for (int s = 0; s < n; ++s)
    {
        const float p = pitch(s);
        const float v = (std::isnan(p) ? 0.0f : p) * 10.0f;
        const float f = law ? 440.0f * std::exp2(std::clamp(v - 5.0f, -127.0f, 128.0f)) : v;
        const float inc = (f < 0.0f ? 0.0f : std::min(f, 0.25f * kRate)) * (256.0f / kRate) / static_cast<float>(k);
        y.push_back(sample(t, phase, inc, k));
    }
    return y;
}

void expectSamples(const std::vector<float>& want, const std::vector<float>& got, size_t from = 0,
                   double tolerance = 2e-6)
{
    ASSERT_GE(got.size(), from + want.size());
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_NEAR(want[i], got[from + i], tolerance) << "sample " << from + i;
}

// The oscillator on from time 0 with this setup.
Recording play(int block, const std::function<void(SignalRun&)>& setup, int64_t samples)
{
    SignalRun run(L"QW_ShapeOsc2", kRate, block, "shapekit");
    run.set("On", 1);
    setup(run);
    return run.run(samples);
}

TEST(ShapeOsc2, DefaultSawAtHzLawAnyBlockSize)
{
    const Recording r = qwtest::sameAtBlocks([](int block) {
        return play(
            block, [](SignalRun& run) { run.set("Law", 0).constant("Pitch", 44.1f); }, 1000);
    });
    const auto& y = r.out("Output");
    expectSamples(model(kSaw, 441.0f, 1, 1000), y);
    // A period of 100 samples.
    EXPECT_NEAR(y[0], y[100], 1e-3);
    EXPECT_NEAR(-0.5f, y[0], 1e-7);
}

struct PitchCase
{
    const char* what;
    int law;
    float pitch;
    int oversampling;
    float f; // expected frequency
    int k;
};

TEST(ShapeOsc2, PitchLawsLimitsAndOversampling)
{
    const PitchCase cases[] = {
        {"held at a quarter of the rate", 0, 2000.0f, 0, 11025.0f, 1},
        {"volts law 5 V", 1, 0.5f, 0, 440.0f, 1},
        {"one octave down", 1, 0.4f, 0, 220.0f, 1},
        {"K = 4", 0, 44.1f, 2, 441.0f, 4},
        {"exponent 40 is 5", 0, 44.1f, 40, 441.0f, 32},
        {"exponent -1 is 0", 0, 44.1f, -1, 441.0f, 1},
        {"+inf pitch", 0, std::numeric_limits<float>::infinity(), 0, 11025.0f, 1},
        {"NaN pitch counts as 0", 0, std::numeric_limits<float>::quiet_NaN(), 0, 0.0f, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const Recording r = qwtest::sameAtBlocks([&](int block) {
            return play(
                block,
                [&](SignalRun& run) {
                    run.set("Law", c.law).set("Oversampling", c.oversampling).constant("Pitch", c.pitch);
                },
                600);
        });
        expectSamples(model(kSaw, c.f, c.k, 600), r.out("Output"), 0, c.law ? 2e-4 : 2e-6);
    }
    // Four samples a period at the limit.
    const Recording r = play(
        64, [](SignalRun& run) { run.set("Law", 0).constant("Pitch", 2000.0f); }, 8);
    const auto& y = r.out("Output");
    for (int s = 0; s < 8; ++s)
        EXPECT_NEAR(kSaw.v[(s % 4) * 64], y[static_cast<size_t>(s)], 1e-6);
}

TEST(ShapeOsc2, StreamingPitchFollowedOnEverySample)
{
    // A pitch that holds for a while inside a block, then moves on single
    // samples (the last of a block of 64 and of 7 among them), and samples
    // that must be limited: NaN, negative, infinite and far above the limit.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const auto hertz = [&](int64_t t) -> float {
        if (t == 63 || t == 69)
            return 88.2f;
        if (t == 100)
            return nan;
        if (t == 101)
            return -3.0f;
        if (t == 102)
            return inf;
        if (t == 103)
            return 5000.0f;
        if (t >= 200)
            return 20.0f + 0.05f * static_cast<float>(t % 50);
        return 44.1f;
    };
    const auto volts = [&](int64_t t) -> float { return t < 40 ? 0.5f : 0.4f + 0.001f * static_cast<float>(t % 30); };
    struct Case
    {
        const char* what;
        int law;
        int oversampling;
        int k;
        std::function<float(int64_t)> pitch;
    };
    const Case cases[] = {
        {"Hz, K = 1", 0, 0, 1, hertz},
        {"Hz, K = 4", 0, 2, 4, hertz},
        {"volts, K = 1", 1, 0, 1, volts},
        {"volts, K = 2", 1, 1, 2, volts},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const Recording r = qwtest::sameAtBlocks([&](int block) {
            return play(
                block,
                [&](SignalRun& run) {
                    run.set("Law", c.law).set("Oversampling", c.oversampling).stream("Pitch", c.pitch);
                },
                400);
        });
        expectSamples(modelPitch(kSaw, c.pitch, c.law, c.k, 400), r.out("Output"), 0, c.law ? 2e-4 : 2e-6);
    }
}

TEST(ShapeOsc2, PhaseModulationAndFeedbackOnSingleSamples)
{
    // One step a sample at 441 Hz; each sample's offset is
    // (pm x depth + previous output x feedback) x 256 table points, with NaN
    // read as 0, pm and feedback limited to -1 .. 1 and depth to 0 .. 1.
    using Input = std::function<float(int64_t)>;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const auto at = [](std::initializer_list<int64_t> times, float v) -> Input {
        const std::vector<int64_t> list(times);
        return [list, v](int64_t t) { return std::find(list.begin(), list.end(), t) != list.end() ? v : 0.0f; };
    };
    const auto always = [](float v) -> Input { return [v](int64_t) { return v; }; };
    struct Case
    {
        const char* what;
        Input pm, depth, feedback;
    };
    const Case cases[] = {
        {"modulation without depth", always(0.5f), always(0.0f), always(0.0f)},
        {"depth on single samples", always(0.25f), at({63, 69, 130}, 1.0f), always(0.0f)},
        {"modulation on single samples", at({63, 69, 130}, -0.375f), always(0.5f), always(0.0f)},
        {"feedback on single samples", always(0.0f), always(0.0f), at({63, 69, 130}, 0.5f)},
        {"negative depth and NaN modulation", [&](int64_t t) { return t % 2 ? nan : 0.7f; }, always(-0.5f),
         always(0.0f)},
    };
    const float clampedInc = 441.0f * (256.0f / kRate);
    const auto limit = [](float v, float lo, float hi) { return std::isnan(v) ? 0.0f : std::clamp(v, lo, hi); };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const Recording r = qwtest::sameAtBlocks([&](int block) {
            return play(
                block,
                [&](SignalRun& run) {
                    run.set("Law", 0).constant("Pitch", 44.1f);
                    run.stream("Phase Mod", c.pm).stream("Phase Mod Depth", c.depth).stream("Feedback", c.feedback);
                },
                300);
        });
        std::vector<float> want;
        float phase = 0.0f, previous = 0.0f;
        for (int64_t s = 0; s < 300; ++s)
        {
            const float off = (limit(c.pm(s), -1.0f, 1.0f) * limit(c.depth(s), 0.0f, 1.0f) +
                               previous * limit(c.feedback(s), -1.0f, 1.0f)) *
                              256.0f;
            float p = phase + off;
            while (p < 0.0f)
                p += 256.0f;
            while (p >= 256.0f)
                p -= 256.0f;
            previous = read(kSaw, p);
            want.push_back(previous);
            phase += clampedInc;
            if (phase >= 256.0f)
                phase -= 256.0f;
        }
        expectSamples(want, r.out("Output"));
    }
}

TEST(ShapeOsc2, NegativeFrequencyStopsThePhase)
{
    const Recording r = play(
        7,
        [](SignalRun& run) {
            run.set("Law", 0).constant("Pitch", 44.1f);
            run.constant("Pitch", -1.0f, 10);
        },
        100);
    const auto& y = r.out("Output");
    const std::vector<float> before = model(kSaw, 441.0f, 1, 11);
    expectSamples(std::vector<float>(before.begin(), before.begin() + 10), y);
    // The phase after ten steps holds.
    for (size_t s = 10; s < 100; ++s)
        EXPECT_NEAR(before[10], y[s], 1e-6);
}

TEST(ShapeOsc2, PhaseResetOnItsSample)
{
    for (int block : {1, 7, 64})
    {
        const Recording r = play(
            block, [](SignalRun& run) { run.set("Law", 0).constant("Pitch", 44.1f).set("Reset", 1, 37); }, 200);
        const auto& y = r.out("Output");
        const std::vector<float> m = model(kSaw, 441.0f, 1, 200);
        expectSamples(std::vector<float>(m.begin(), m.begin() + 37), y);
        expectSamples(std::vector<float>(m.begin(), m.begin() + 163), y, 37);
    }
}

TEST(ShapeOsc2, NewShapeCrossfadesAndALaterOneWaits)
{
    const auto flat = qwtest::shapeBytes({{0, 1}, {1, 1}});  // table 0.5
    const auto low = qwtest::shapeBytes({{0, -1}, {1, -1}}); // table -0.5
    const Recording r = qwtest::sameAtBlocks([&](int block) {
        return play(
            block,
            [&](SignalRun& run) {
                run.set("Law", 0).constant("Pitch", 0.0f); // phase stays at 0: the saw gives -0.5
                run.blob("Shape", flat, 100).blob("Shape", low, 300);
            },
            2000);
    });
    const auto& y = r.out("Output");
    for (int s = 0; s < 100; ++s)
        ASSERT_NEAR(-0.5f, y[static_cast<size_t>(s)], 1e-7);
    // The fade position steps by 60 / rate from 0 at the sample the shape arrives.
    float fade = 0.0f;
    int s = 100;
    for (; fade < 1.0f; ++s)
    {
        ASSERT_NEAR(fade * 0.5f + (1.0f - fade) * -0.5f, y[static_cast<size_t>(s)], 1e-6) << s;
        fade = std::min(1.0f, fade + 60.0f / kRate);
    }
    EXPECT_NEAR(100 + 735, s, 1); // 1/60 s
    // The shape of sample 300 waits for the first fade's end, then fades in.
    fade = 0.0f;
    for (int k = 0; k < 735; ++k, ++s)
    {
        ASSERT_NEAR(fade * -0.5f + (1.0f - fade) * 0.5f, y[static_cast<size_t>(s)], 1e-6) << s;
        fade = std::min(1.0f, fade + 60.0f / kRate);
    }
    EXPECT_NEAR(-0.5f, y[1999], 1e-6);
}

TEST(ShapeOsc2, DcRemovalRefusedBlobsAndOff)
{
    // (0, 0) to (1, 1) halved: a table of mean 0.25 without DC removal, 0 with it.
    const float pitch = 44100.0f / 256.0f / 10.0f; // one table point a sample
    for (int dc : {0, 1})
    {
        const Recording r = play(
            7,
            [&](SignalRun& run) {
                run.set("Law", 0).set("Remove DC", dc).constant("Pitch", pitch);
                run.blob("Shape", qwtest::shapeBytes({{0, 0}, {1, 1}}));
            },
            512);
        double sum = 0.0;
        for (float v : r.out("Output"))
            sum += v;
        EXPECT_NEAR(dc ? 0.0 : 0.25, sum / 512.0, 2e-3) << dc;
    }
    // Refused blobs of every kind change nothing.
    std::vector<std::vector<uint8_t>> bad = {{},
                                             std::vector<uint8_t>(16),
                                             std::vector<uint8_t>(28),
                                             std::vector<uint8_t>(812),
                                             qwtest::shapeBytes(qwtest::evenNodes(101)),
                                             qwtest::shapeBytesCounted({{0, 1}, {1, 1}}, 3)};
    auto wrong = qwtest::shapeBytes({{0, 1}, {1, 1}});
    wrong[3] ^= 0x10;
    bad.push_back(wrong);
    const Recording r = play(
        7,
        [&](SignalRun& run) {
            run.set("Law", 0).constant("Pitch", 44.1f);
            for (size_t k = 0; k < bad.size(); ++k)
                run.blob("Shape", bad[k], 50 + 10 * static_cast<int64_t>(k));
        },
        1000);
    expectSamples(model(kSaw, 441.0f, 1, 1000), r.out("Output"));

    // Off: zeros, reported not streaming at the sample.
    SignalRun run(L"QW_ShapeOsc2", kRate, 7, "shapekit");
    run.set("On", 1).set("On", 0, 40);
    const Recording off = run.run(200);
    for (size_t s = 40; s < 200; ++s)
        ASSERT_EQ(0.0f, off.out("Output")[s]);
    EXPECT_EQ(40, off.lastChange("Output", false));
}

TEST(ShapeOsc2, NonFiniteModulationThenFiniteOutputAndNoAllocation)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    SignalRun run(L"QW_ShapeOsc2", kRate, 64, "shapekit");
    run.set("On", 1).set("Oversampling", 3);
    auto hostile = [&](int64_t t) { return t < 256 ? (t % 3 == 0 ? nan : (t % 3 == 1 ? inf : -inf)) : 0.3f; };
    run.stream("Phase Mod", hostile).stream("Phase Mod Depth", hostile).stream("Feedback", hostile);
    run.stream("Pitch", [&](int64_t t) { return t < 256 ? hostile(t) * 1e30f : 0.5f; });
    run.processor().resetAllocationCount();
    for (int b = 0; b < 40; ++b)
    {
        // A new blob every sample of this block.
        for (int s = 0; s < 64; ++s)
            run.blob("Shape", qwtest::shapeBytes({{0, 0.01f * static_cast<float>(s)}, {1, -1}}),
                     run.processor().now() + s);
        const Recording r = run.run(64);
        for (float v : r.out("Output"))
            ASSERT_TRUE(std::isfinite(v)) << "block " << b;
    }
    EXPECT_EQ(0, run.processor().allocationsAfterFirstBlock());
}
} // namespace
