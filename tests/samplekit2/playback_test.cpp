// Sample playback: the interpolating readers against a convolution worked out
// here in double from the kernels' definitions, and the sample oscillator and
// the sample navigator through the built bundle (positions, play modes, the
// streaming timeline at several block sizes, and hostile input).
#include "WavFile32.h"
#include "mp_sdk_common.h"
#include "resamp.h"
#include "sample_fixture.h"
#include "sample_source.h"
#include "signal_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// ===========================================================================
// The kernels in double

// One side of the windowed sinc with N crossings, 16 points per crossing:
// sinc(j/16) (1 - 3u^2 + 2u^3), u = j / 16N; 0 from 16N on.
double sincEntry(int crossings, int j)
{
    if (j >= 16 * crossings)
        return 0.0;
    const double x = j / 16.0;
    const double sinc = j == 0 ? 1.0 : (j % 16 == 0 ? 0.0 : std::sin(kPi * x) / (kPi * x));
    const double u = x / crossings;
    return sinc * (1.0 - 3.0 * u * u + 2.0 * u * u * u);
}

double halfWidth(int code)
{
    return code == 1 ? 1.0 : code == 2 ? 2.0 : code == 3 ? 4.0 : 8.0;
}

// K(d) of an interpolation code (1 .. 4) at a stretched distance d >= 0.
double kernel(int code, double d)
{
    if (d >= halfWidth(code))
        return 0.0;
    switch (code)
    {
    case 1:
        return 1.0 - d;
    case 2:
        return d < 1.0 ? (1.5 * d - 2.5) * d * d + 1.0 : ((-0.5 * d + 2.5) * d - 4.0) * d + 2.0;
    default:
    {
        const int crossings = code == 3 ? 4 : 8;
        const double t = 16.0 * d;
        const int j = static_cast<int>(std::floor(t));
        const double f = t - j;
        return (1.0 - f) * sincEntry(crossings, j) + f * sincEntry(crossings, j + 1);
    }
    }
}

// w x the sum of x[k] K(|k - p| w) over the taps inside the half-width: in a
// bounded read only frames 0 .. length - 1, in a looped one k wraps.
double convolve(int code, const std::vector<float>& x, double p, double w, bool looped)
{
    const int length = static_cast<int>(x.size());
    const double reach = halfWidth(code) / w;
    double sum = 0.0;
    for (int k = static_cast<int>(std::floor(p - reach)) - 1; k <= static_cast<int>(std::ceil(p + reach)) + 1; ++k)
    {
        const double d = std::abs(k - p) * w;
        if (d >= halfWidth(code))
            continue;
        int index = k;
        if (looped)
            index = ((k % length) + length) % length;
        else if (k < 0 || k >= length)
            continue;
        sum += x[static_cast<size_t>(index)] * kernel(code, d);
    }
    return w * sum;
}

// The stretch for an increment: min(1, 1/inc), at most 16 times.
double stretchFor(double inc)
{
    return std::max(1.0 / 16.0, std::min(1.0, 1.0 / inc));
}

// A reader of a code through the header, as the modules choose it.
float readWith(int code, const std::vector<float>& x, int i, float frac, float w, bool looped)
{
    return qw::resamp::withReader(code, [&](auto reader) {
        using R = decltype(reader);
        const int n = static_cast<int>(x.size());
        return looped ? R::looped(x.data(), n, i, frac, w) : R::bounded(x.data(), n, i, frac, w);
    });
}

std::vector<float> noiseFrames(size_t n, uint32_t seed)
{
    std::mt19937 g(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (auto& v : x)
        v = u(g);
    return x;
}

// x[k] = k: a reader's value is the position it read.
std::vector<float> ramp(size_t n)
{
    std::vector<float> x(n);
    for (size_t k = 0; k < n; ++k)
        x[k] = static_cast<float>(k);
    return x;
}

// ===========================================================================
// Readers

TEST(Readers, TablesAreTheWindowedSincRoundedToFloat)
{
    const auto& t4 = qw::resamp::WindowedSinc_4x16_Table;
    const auto& t8 = qw::resamp::WindowedSinc_8x16_Table;
    ASSERT_EQ(t4.size(), 68u);
    ASSERT_EQ(t8.size(), 132u);
    for (int crossings : {4, 8})
    {
        const float* t = crossings == 4 ? t4.data() : t8.data();
        for (int j = 0; j < 16 * crossings + 4; ++j)
            EXPECT_EQ(t[j], static_cast<float>(sincEntry(crossings, j))) << crossings << " crossings, entry " << j;
    }
    // The first rows as printed, to the digits given.
    EXPECT_NEAR(t8[1], 0.9934054, 5e-7);
    EXPECT_NEAR(t8[17], -0.0556273, 5e-7);
    EXPECT_NEAR(t4[1], 0.9928662, 5e-7);
    EXPECT_NEAR(t4[17], -0.0482657, 5e-7);
}

// Random positions and increments from 0.3 to 20, anywhere in the sample,
// near both ends, and for the looped form on both sides of the seam (also in
// a region shorter than the kernel, where taps wrap more than once).
TEST(Readers, MatchTheConvolutionBoundedAndLooped)
{
    std::mt19937 g(48);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (size_t length : {size_t(200), size_t(5)})
    {
        const auto x = noiseFrames(length, static_cast<uint32_t>(length));
        for (int code = 1; code <= 4; ++code)
            for (bool looped : {false, true})
            {
                if (length < 64 && !looped)
                    continue;
                double worst = 0.0;
                for (int n = 0; n < 400; ++n)
                {
                    const double inc = 0.3 * std::pow(20.0 / 0.3, unit(g));
                    const float w = qw::resamp::stretch(inc);
                    ASSERT_EQ(w, static_cast<float>(stretchFor(inc))) << "inc " << inc;
                    const double reach = halfWidth(code) / w;
                    const double end = static_cast<double>(length);
                    double p;
                    switch (n % 3)
                    {
                    case 0:
                        p = unit(g) * end;
                        break;
                    case 1:
                        p = std::min(unit(g) * reach, end - 1e-3);
                        break;
                    default:
                        p = std::max(end - unit(g) * reach, 0.0);
                        break;
                    }
                    if (!looped)
                        p = std::min(p, end - 1.0); // a bounded read stays on the frames
                    p = std::min(p, std::nextafter(end, 0.0));
                    int i;
                    float frac;
                    qw::resamp::split(p, i, frac);
                    const double expected = convolve(code, x, i + static_cast<double>(frac), w, looped);
                    const float got = readWith(code, x, i, frac, w, looped);
                    worst = std::max(worst, std::abs(got - expected));
                    ASSERT_NEAR(got, expected, 2e-5) << "code " << code << (looped ? " looped" : " bounded") << ", "
                                                     << length << " frames, p " << p << ", inc " << inc;
                }
            }
    }
}

TEST(Readers, IntegerPositionsAtNaturalWidthGiveTheFrameExactly)
{
    const auto x = noiseFrames(40, 7);
    for (int code = 0; code <= 4; ++code)
        for (bool looped : {false, true})
            for (int i = 0; i < 40; ++i)
                ASSERT_EQ(readWith(code, x, i, 0.0f, 1.0f, looped), x[static_cast<size_t>(i)])
                    << "code " << code << (looped ? " looped" : " bounded") << ", frame " << i;
}

TEST(Readers, NaiveReaderTakesTheTruncatedFrameForAnyCodeNotListed)
{
    const auto x = noiseFrames(16, 3);
    for (int code : {0, 5, 7, 9, -1, INT_MIN, INT_MAX})
        for (bool looped : {false, true})
            EXPECT_EQ(readWith(code, x, 6, 0.75f, 1.0f, looped), x[6]) << "code " << code;
    // The kernel readers blend there.
    for (int code = 1; code <= 4; ++code)
        EXPECT_NE(readWith(code, x, 6, 0.75f, 1.0f, false), x[6]) << "code " << code;
}

TEST(Readers, LinearAtIncrementFourIsTheTriangleMeanOfEightFrames)
{
    // At 50.5 with w = 1/4 the taps 47 .. 54 lie 3.5, 2.5, 1.5, 0.5 frames
    // away on each side: weights (1 - d/4) / 4 = 1/32, 3/32, 5/32, 7/32, twice.
    const auto x = noiseFrames(100, 11);
    const double weights[8] = {1, 3, 5, 7, 7, 5, 3, 1};
    double mean = 0.0;
    for (int k = 0; k < 8; ++k)
        mean += x[static_cast<size_t>(47 + k)] * weights[k] / 32.0;
    EXPECT_NEAR(qw::resamp::LinReader::bounded(x.data(), 100, 50, 0.5f, qw::resamp::stretch(4.0)), mean, 1e-6);
}

TEST(Readers, EndsOfABoundedReadAddOnlyTheFramesThere)
{
    // A constant sample read at its first and last frame with the kernel
    // stretched: only the taps inside the sample count, so about half.
    const std::vector<float> ones(300, 1.0f);
    for (int code = 1; code <= 4; ++code)
    {
        const float w = 1.0f / 16.0f;
        const double first = convolve(code, ones, 0.0, w, false);
        EXPECT_NEAR(readWith(code, ones, 0, 0.0f, w, false), first, 2e-5) << "code " << code;
        EXPECT_NEAR(readWith(code, ones, 299, 0.0f, w, false), first, 2e-5) << "code " << code;
        EXPECT_NEAR(first, 0.5, 0.04) << "code " << code;
        // Looped, the same constant has its full gain everywhere.
        EXPECT_NEAR(readWith(code, ones, 0, 0.0f, w, true), convolve(code, ones, 0.0, w, true), 2e-5);
    }
}

// ===========================================================================
// Samples for the modules: descriptors of frames this test holds, carrying
// the bundle's token (taken from what its own loader publishes).

uint32_t bundleToken()
{
    static const uint32_t token = [] {
        qwtest::ScratchFolder folder;
        const std::string path = (folder.path() / "token.wav").string();
        qw::WavFile32 wav;
        const float frames[4] = {0.1f, 0.2f, 0.3f, 0.4f};
        wav.setChannel(0, 4, frames);
        wav.sampleRate = 44100;
        if (!wav._saveWav(gmpi_sdk::fromUtf8(path), 32))
            throw std::runtime_error("cannot write " + path);
        qwhost::ProcessingHost host;
        host.autoDuplicateCount = 1;
        auto loader = host.create(qwtest::bundle("samplekit2"), L"QW_S2_SampleLoaderDSP");
        loader->startGraph();
        loader->setText(loader->pin("File"), gmpi_sdk::fromUtf8(path));
        loader->run(1);
        for (auto& u : loader->updates)
            if (u.pin == loader->pin("Channel") && u.data.size() == 24)
            {
                uint32_t t;
                std::memcpy(&t, u.data.data() + 20, 4);
                return t;
            }
        throw std::runtime_error("the loader published no sample");
    }();
    return token;
}

std::vector<uint8_t> descriptor(const std::vector<float>& frames, uint32_t token = bundleToken())
{
    const uint32_t magic = 0x534D504C, serial = 0;
    const int32_t count = static_cast<int32_t>(frames.size());
    const uint64_t address = reinterpret_cast<uintptr_t>(frames.data());
    std::vector<uint8_t> b(24);
    std::memcpy(b.data(), &magic, 4);
    std::memcpy(b.data() + 4, &count, 4);
    std::memcpy(b.data() + 8, &address, 8);
    std::memcpy(b.data() + 16, &serial, 4);
    std::memcpy(b.data() + 20, &token, 4);
    return b;
}

using s2test::exp2Formula;

// ===========================================================================
// Sample oscillator

constexpr float kRate = 48000.0f;
constexpr int64_t kGate = 5; // the gate rises here in every scenario

// An oscillator on `frames` (rate pin = host rate, root 440 Hz, pitch 5 V:
// one frame per sample; naive reader), the gate rising at kGate, the pins
// given and `more` applied on top, run for `samples`.
struct OscScenario
{
    const std::vector<float>* frames;
    std::vector<std::pair<std::string, double>> pins;
    std::function<void(qwtest::SignalRun&)> more = nullptr;
    int64_t samples = 400;
};

qwtest::Recording runOsc(const OscScenario& s, int block)
{
    qwtest::SignalRun run(L"QW_S2_SampleOsc", kRate, block, "samplekit2");
    run.blob("Sample", descriptor(*s.frames));
    run.set("Sample Rate", kRate).set("Root", 440.0).set("Interpolation", 0).constant("Pitch", 0.5f);
    for (auto& [name, v] : s.pins)
        run.set(name, v);
    run.set("Gate", 1, kGate);
    if (s.more)
        s.more(run);
    return run.run(s.samples);
}

// At blocks of 1, 7 and 64 (the same samples and timeline at each).
qwtest::Recording playOsc(const OscScenario& s)
{
    return qwtest::sameAtBlocks([&](int block) { return runOsc(s, block); });
}

// Expects out[kGate + k] == expected(k) for k in [0, n).
void expectFrom(const std::vector<float>& out, int64_t n, const std::function<double(int64_t)>& expected,
                double tolerance, const std::string& what)
{
    for (int64_t k = 0; k < n; ++k)
    {
        const size_t t = static_cast<size_t>(kGate + k);
        ASSERT_LT(t, out.size()) << what;
        ASSERT_NEAR(out[t], expected(k), tolerance) << what << ", " << k << " samples after the gate";
    }
}

// The triangle of period 2s: u for u mod 2s <= s, else 2s - u mod 2s.
double triangle(double u, double s)
{
    const double q = std::fmod(u, 2.0 * s);
    return q <= s ? q : 2.0 * s - q;
}

// The value of the ramp read linearly at p in a loop over [lo, lo + length).
double loopedRamp(double p, int lo, int length)
{
    const double i = std::floor(p), f = p - i;
    const double next = i + 1.0 >= lo + length ? lo : i + 1.0;
    return (1.0 - f) * i + f * next;
}

TEST(SampleOsc, PositionAfterNSamplesFollowsPitchRootAndRates)
{
    // inc = 2^(clamp(10 v, 0, 10) - 5) x rate x 440 / (host rate x root); the
    // naive reader of the ramp shows the truncated position.
    const auto frames = ramp(40000);
    struct Row
    {
        const char* what;
        float pitch, root, rate;
        double octaves; // what the pitch gives
        double base;    // rate x 440 / (host rate x root)
    };
    const Row rows[] = {
        {"5 V, 440 Hz, equal rates", 0.5f, 440.0f, kRate, 0.0, 1.0},
        {"7 V", 0.7f, 440.0f, kRate, 2.0, 1.0},
        {"15 V is held to 10 V", 1.5f, 440.0f, kRate, 5.0, 1.0},
        {"-3 V is held to 0 V", -0.3f, 440.0f, kRate, -5.0, 1.0},
        {"root 5 Hz acts as 10 Hz", 0.5f, 5.0f, kRate, 0.0, 44.0},
        {"root 10 Hz", 0.5f, 10.0f, kRate, 0.0, 44.0},
        {"root 20000 Hz acts as 15000 Hz", 0.5f, 20000.0f, kRate, 0.0, 440.0 / 15000.0},
        {"rate pin 0 takes the host's rate", 0.5f, 440.0f, 0.0f, 0.0, 1.0},
        {"rate pin 999 takes the host's rate", 0.5f, 440.0f, 999.0f, 0.0, 1.0},
        {"a sample at 24 kHz", 0.5f, 440.0f, 24000.0f, 0.0, 0.5},
        {"a sample at 96 kHz, 6 V, root 220 Hz", 0.6f, 220.0f, 96000.0f, 1.0, 4.0},
    };
    for (const Row& row : rows)
    {
        OscScenario s{&frames, {{"Mode", 1}, {"Root", row.root}, {"Sample Rate", row.rate}}, nullptr, 300};
        s.more = [&](qwtest::SignalRun& run) { run.constant("Pitch", row.pitch); };
        const auto out = runOsc(s, 64).seen("Output");
        const double inc = exp2Formula(static_cast<float>(row.octaves)) * row.base;
        double p = 0.0;
        for (int64_t k = 0; k < 250; ++k, p += inc)
            ASSERT_EQ(out[static_cast<size_t>(kGate + k)], std::trunc(std::fmod(p, 40000.0)))
                << row.what << ", " << k << " samples after the gate";
    }
}

TEST(SampleOsc, SixtyThreeFramesNeverPlaySixtyFourDo)
{
    for (size_t n : {size_t(63), size_t(64)})
    {
        const auto frames = ramp(n);
        const auto r = playOsc({&frames, {{"Mode", 1}}, nullptr, 200});
        const auto out = r.seen("Output");
        if (n == 63)
        {
            EXPECT_LE(r.lastChange("Output", true), 0) << "63 frames started"; // graph start only
            EXPECT_EQ(*std::max_element(out.begin(), out.end()), 0.0f);
        }
        else
        {
            EXPECT_EQ(r.lastChange("Output", true), kGate);
            expectFrom(
                out, 150, [](int64_t k) { return static_cast<double>(k % 64); }, 0.0, "64 frames");
        }
    }
}

TEST(SampleOsc, PointsClampIntoTheFrames)
{
    // 100 frames: a point v >= 0 is min(v, 99); a negative one counts from
    // the end (v + 100) down to 0.
    const auto frames = ramp(100);
    const std::pair<int, int> rows[] = {{0, 0},    {37, 37},  {99, 99},  {100, 99},     {5000, 99},  {-1, 99},
                                        {-30, 70}, {-100, 0}, {-101, 0}, {INT_MAX, 99}, {INT_MIN, 0}};
    for (auto [v, expected] : rows)
    {
        // As a start point: the first frame played. As an end point: where a
        // Once run from frame 50 stops (the held output).
        const auto first = runOsc({&frames, {{"Start", v}, {"End", 50}}, nullptr, 8}, 64).seen("Output");
        EXPECT_EQ(first[kGate], expected) << "start " << v;
        const auto r = runOsc({&frames, {{"Start", 50}, {"End", v}}, nullptr, 200}, 64);
        EXPECT_EQ(r.seen("Output").back(), expected) << "end " << v;
        EXPECT_EQ(r.lastChange("Output", false), kGate + std::abs(expected - 50)) << "end " << v;
        // As both loop points: a loop of one frame.
        const auto loop = runOsc({&frames, {{"Mode", 1}, {"Loop Start", v}, {"Loop End", v}}, nullptr, 12}, 64);
        EXPECT_EQ(loop.seen("Output")[kGate + 5], expected) << "loop at " << v;
    }
}

TEST(SampleOsc, OnceStopsOnTheEndPointAtTheExactSample)
{
    const auto frames = ramp(1000);
    struct Row
    {
        const char* what;
        int start, end, reader;
        float rate; // rate pin: the increment is rate / host rate
    };
    const Row rows[] = {
        {"forward, one frame per sample", 100, 300, 0, kRate},
        {"backward: the end point before the start point", 300, 100, 0, kRate},
        {"forward at 0.75 frames, linear", 100, 300, 1, 36000.0f},
        {"backward at 1.5 frames", 300, 100, 0, 72000.0f},
        {"start on the end point", 40, 40, 0, kRate},
    };
    for (const Row& row : rows)
    {
        const double inc = row.rate / kRate;
        const double distance = std::abs(row.end - row.start);
        const int64_t stop = static_cast<int64_t>(std::ceil(distance / inc)); // samples to the end point
        const double sign = row.end >= row.start ? 1.0 : -1.0;
        const auto r =
            playOsc({&frames,
                     {{"Start", row.start}, {"End", row.end}, {"Interpolation", row.reader}, {"Sample Rate", row.rate}},
                     nullptr,
                     700});
        const auto out = r.seen("Output");
        expectFrom(
            out, stop + 1,
            [&](int64_t k) {
                const double p = row.start + sign * std::min(distance, k * inc);
                return row.reader == 0 ? std::trunc(p) : p;
            },
            1e-4, row.what);
        EXPECT_EQ(r.lastChange("Output", false), kGate + stop) << row.what;
        EXPECT_EQ(out.back(), row.end) << row.what << ": the end frame holds";
        EXPECT_EQ(r.out("Output").back(), row.end) << row.what << ": the buffer holds it too";
        EXPECT_FALSE(r.sleepRequests.empty()) << row.what << ": no sleep after the end";
    }
}

TEST(SampleOsc, LoopWithTheEndBeforeTheStartPlaysBackwardsOverTheRegion)
{
    // Loop start 10, loop end 5: frames 10, 9, ... 5, then 10 again; at half
    // a frame per sample the step from frame 5 crosses the seam to frame 10
    // (the value between them, 7.5, at position 10.5).
    const auto frames = ramp(200);
    const auto naive = playOsc({&frames, {{"Mode", 1}, {"Loop Start", 10}, {"Loop End", 5}}});
    expectFrom(
        naive.seen("Output"), 300, [](int64_t k) { return 10.0 - k % 6; }, 0.0, "one frame per sample");

    const auto half = playOsc(
        {&frames, {{"Mode", 1}, {"Loop Start", 10}, {"Loop End", 5}, {"Interpolation", 1}, {"Sample Rate", 24000}}});
    expectFrom(
        half.seen("Output"), 300,
        [](int64_t k) {
            const double p = 5.0 + std::fmod(6.0 - std::fmod(0.5 * k, 6.0) + 5.0, 6.0);
            return loopedRamp(p, 5, 6);
        },
        1e-5, "half a frame per sample");
}

TEST(SampleOsc, LoopWrapsWhateverTheIncrement)
{
    // 1e30 Hz of sample rate and a root of 1e-30 Hz (10 Hz): increments of
    // about 1e27 frames wrap by the remainder, and the sinc kernel stays at
    // its widest stretch, so the run ends and reads only the loop's frames.
    const auto frames = ramp(600);
    for (int mode : {0, 1, 2, 5, 6})
        for (bool pingPong : {false, true})
        {
            const auto r = playOsc({&frames,
                                    {{"Mode", mode},
                                     {"Ping-Pong", pingPong},
                                     {"Interpolation", 4},
                                     {"Sample Rate", 1e30},
                                     {"Root", 1e-30},
                                     {"Loop Start", 100},
                                     {"Loop End", 200}},
                                    [](qwtest::SignalRun& run) { run.constant("Pitch", kInf); },
                                    300});
            for (float v : r.seen("Output"))
                ASSERT_TRUE(std::isfinite(v) && std::abs(v) < 2000.0f) << "mode " << mode << ": " << v;
        }
}

TEST(SampleOsc, AStepOfManyLoopLengthsWrapsByTheRemainder)
{
    // 1185 frames per sample (a sample at 1185/32 x the host's rate, 10 V):
    // 1185 = 107 x 11 + 8 = 148 x 8 + 1, so a loop of 11 frames moves on by
    // 8 and a back-and-forth over 4 frames (a cycle of 8) by 1 per sample.
    const auto frames = ramp(200);
    struct Row
    {
        const char* what;
        std::vector<std::pair<std::string, double>> pins;
        std::function<double(int64_t)> at;
    };
    const Row rows[] = {
        {"Loop 10 .. 20",
         {{"Mode", 1}, {"Loop Start", 10}, {"Loop End", 20}},
         [](int64_t k) { return 10.0 + (8 * k) % 11; }},
        {"Loop 20 .. 10",
         {{"Mode", 1}, {"Loop Start", 20}, {"Loop End", 10}},
         [](int64_t k) { return 10.0 + ((10 - 8 * k) % 11 + 11) % 11; }},
        {"ping-pong 10 .. 14",
         {{"Mode", 1}, {"Ping-Pong", 1}, {"Loop Start", 10}, {"Loop End", 14}},
         [](int64_t k) { return 10.0 + triangle(static_cast<double>(k), 4.0); }},
        {"FwdBack 100 .. 104",
         {{"Mode", 6}, {"Start", 100}, {"End", 104}},
         [](int64_t k) { return 100.0 + triangle(static_cast<double>(k), 4.0); }},
    };
    for (const Row& row : rows)
    {
        OscScenario s{&frames, row.pins, [](qwtest::SignalRun& run) { run.constant("Pitch", 1.0f); }, 200};
        s.pins.push_back({"Sample Rate", 1185.0 / 32.0 * kRate});
        expectFrom(playOsc(s).seen("Output"), 150, row.at, 0.0, row.what);
    }
}

TEST(SampleOsc, SeekLoopCarriesTheRestOfTheStepIntoTheLoop)
{
    // 0.75 frames per sample from frame 0 toward loop start 10: 9.75 after
    // 13 samples, then a quarter to the loop start and half a frame on, so
    // the 14th sample reads 10.5; the loop 10 .. 20 wraps at 21.
    const auto frames = ramp(200);
    const auto r = playOsc(
        {&frames, {{"Mode", 2}, {"Loop Start", 10}, {"Loop End", 20}, {"Interpolation", 1}, {"Sample Rate", 36000}}});
    expectFrom(
        r.seen("Output"), 300,
        [](int64_t k) {
            const double u = 0.75 * k;
            return u <= 10.0 ? u : loopedRamp(10.0 + std::fmod(u - 10.0, 11.0), 10, 11);
        },
        1e-5, "seek then loop");
}

TEST(SampleOsc, ReleaseModesPlayOnToTheEndPointWhenTheGateFalls)
{
    // Loop 10 .. 20 (11 frames), end point 50, the gate falling 30 samples
    // after it rose: mode 3 is then at 10 + 30 mod 11 = 18, mode 4 (at the
    // loop start after seeking 10 frames from 0) at 10 + 20 mod 11 = 19; both
    // go on to 50 and stop there.
    const auto frames = ramp(200);
    for (int mode : {3, 4})
    {
        auto loopAt = [mode](int64_t k) -> double {
            if (mode == 3)
                return 10 + k % 11;
            return k <= 10 ? k : 10 + (k - 10) % 11;
        };
        const double fallAt = loopAt(30);
        const auto r = playOsc({&frames,
                                {{"Mode", mode}, {"Loop Start", 10}, {"Loop End", 20}, {"End", 50}},
                                [](qwtest::SignalRun& run) { run.set("Gate", 0, kGate + 30); }});
        const int64_t stop = 30 + static_cast<int64_t>(50 - fallAt);
        expectFrom(
            r.seen("Output"), stop + 20,
            [&](int64_t k) { return k <= 30 ? loopAt(k) : std::min(50.0, fallAt + (k - 30)); }, 0.0,
            "mode " + std::to_string(mode));
        EXPECT_EQ(r.lastChange("Output", false), kGate + stop) << "mode " << mode;
    }
}

TEST(SampleOsc, AModeChangeOrLosingTheSampleSwitchesOff)
{
    const auto frames = ramp(200);
    const std::vector<uint8_t> garbage(24, 0x5A);
    struct Row
    {
        const char* what;
        std::function<void(qwtest::SignalRun&, int64_t)> change;
    };
    const Row rows[] = {
        {"mode", [](qwtest::SignalRun& run, int64_t t) { run.set("Mode", 2, t); }},
        {"mode 7 -> 8 (both FwdBack)", [](qwtest::SignalRun& run, int64_t t) { run.set("Mode", 8, t); }},
        {"mute", [](qwtest::SignalRun& run, int64_t t) { run.set("Mute", 1, t); }},
        {"enable off", [](qwtest::SignalRun& run, int64_t t) { run.set("Enable", 0, t); }},
        {"empty sample", [](qwtest::SignalRun& run, int64_t t) { run.blob("Sample", {}, t); }},
        {"invalid sample", [&](qwtest::SignalRun& run, int64_t t) { run.blob("Sample", garbage, t); }},
        {"another token",
         [&](qwtest::SignalRun& run, int64_t t) { run.blob("Sample", descriptor(frames, bundleToken() ^ 1u), t); }},
        {"a sample of another length",
         [&](qwtest::SignalRun& run, int64_t t) {
             static const auto other = ramp(150);
             run.blob("Sample", descriptor(other), t);
         }},
    };
    for (const Row& row : rows)
    {
        const int64_t at = kGate + 40;
        const auto r = playOsc({&frames, {{"Mode", 7}, {"Start", 100}, {"End", 150}}, [&](qwtest::SignalRun& run) {
                                    row.change(run, at);
                                }});
        const auto out = r.seen("Output");
        EXPECT_EQ(out[at - 1], 100 + (at - 1 - kGate)) << row.what;
        EXPECT_EQ(r.lastChange("Output", false), at) << row.what;
        EXPECT_EQ(*std::max_element(out.begin() + at, out.end()), 0.0f) << row.what;
        EXPECT_FALSE(r.sleepRequests.empty()) << row.what;
    }
}

TEST(SampleOsc, ASampleOfTheSameLengthPlaysOnFromThePosition)
{
    const auto frames = ramp(200);
    std::vector<float> other(200);
    for (size_t k = 0; k < 200; ++k)
        other[k] = -static_cast<float>(k);
    const auto r = playOsc(
        {&frames, {{"Mode", 1}}, [&](qwtest::SignalRun& run) { run.blob("Sample", descriptor(other), kGate + 50); }});
    expectFrom(
        r.seen("Output"), 150, [](int64_t k) { return k < 50 ? k : -static_cast<double>(k); }, 0.0, "swapped sample");
}

TEST(SampleOsc, PingPongLoopsReflectTheOvershoot)
{
    // Loop 10 .. 14 at 0.75 frames per sample: up to 13.75, then 14.5 comes
    // back as 13.5; a triangle of period 8 over frames 10 .. 14. With the
    // points swapped it starts at 14 going down. SeekLoop reaches the loop
    // start from frame 0 with half a frame to spare (10.5) and ping-pongs on.
    const auto frames = ramp(100);
    struct Row
    {
        const char* what;
        int mode, loopStart, loopEnd;
        std::function<double(double)> at; // position after u frames of travel
    };
    const Row rows[] = {
        {"Loop, up first", 1, 10, 14, [](double u) { return 10.0 + triangle(u, 4.0); }},
        {"Loop, down first", 1, 14, 10, [](double u) { return 14.0 - triangle(u, 4.0); }},
        {"SeekLoop", 2, 10, 14, [](double u) { return u <= 10.0 ? u : 10.0 + triangle(u - 10.0, 4.0); }},
        {"SeekLoop, down first", 2, 14, 10, [](double u) { return u <= 14.0 ? u : 14.0 - triangle(u - 14.0, 4.0); }},
        {"Loop of one frame", 1, 12, 12, [](double) { return 12.0; }},
    };
    for (const Row& row : rows)
    {
        const auto r = playOsc({&frames,
                                {{"Mode", row.mode},
                                 {"Ping-Pong", 1},
                                 {"Loop Start", row.loopStart},
                                 {"Loop End", row.loopEnd},
                                 {"Interpolation", 1},
                                 {"Sample Rate", 36000}}});
        expectFrom(
            r.seen("Output"), 300, [&](int64_t k) { return row.at(0.75 * k); }, 1e-5, row.what);
    }
}

TEST(SampleOsc, OnceAndBackAndFwdBackTurnAtTheEndAndStopAtTheStart)
{
    // Start 100, end 110 at 0.75 frames per sample: a triangle of period 20
    // frames of travel. OnceAndBack stops at the first return to 100 (travel
    // 20 is passed at sample 27); FwdBack goes on while the gate is high and,
    // after it falls at sample 30 (travel 22.5), stops at the next return
    // (travel 40: sample 54). A rise before that keeps it going.
    const auto frames = ramp(200);
    struct Row
    {
        const char* what;
        int mode, start, end;
        std::vector<std::pair<int64_t, bool>> gate; // after the rise
        int64_t stop;                               // -1: still playing
    };
    const Row rows[] = {
        {"OnceAndBack", 5, 100, 110, {}, 27},
        {"OnceAndBack, end before start", 5, 110, 100, {}, 27},
        {"OnceAndBack, gate falls early", 5, 100, 110, {{3, false}}, 27},
        {"FwdBack, gate held", 6, 100, 110, {}, -1},
        {"FwdBack, released", 6, 100, 110, {{30, false}}, 54},
        {"FwdBack, released at the end point", 6, 100, 110, {{40, false}}, 54},
        {"FwdBack, released and gated again", 6, 100, 110, {{30, false}, {45, true}}, -1},
        {"mode 9 is FwdBack", 9, 100, 110, {{30, false}}, 54},
    };
    for (const Row& row : rows)
    {
        const auto r = playOsc(
            {&frames,
             {{"Mode", row.mode}, {"Start", row.start}, {"End", row.end}, {"Interpolation", 1}, {"Sample Rate", 36000}},
             [&](qwtest::SignalRun& run) {
                 for (auto [t, on] : row.gate)
                     run.set("Gate", on, kGate + t);
             }});
        const double sign = row.end >= row.start ? 1.0 : -1.0;
        const int64_t checked = row.stop < 0 ? 300 : row.stop + 30;
        expectFrom(
            r.seen("Output"), checked,
            [&](int64_t k) {
                return row.start + sign * (row.stop >= 0 && k >= row.stop ? 0.0 : triangle(0.75 * k, 10.0));
            },
            1e-5, row.what);
        if (row.stop < 0)
            EXPECT_LT(r.lastChange("Output", false), kGate) << row.what << ": stopped";
        else
            EXPECT_EQ(r.lastChange("Output", false), kGate + row.stop) << row.what;
    }
}

TEST(SampleOsc, ARootRateOrHeldPitchChangeWhilePlayingTakesEffectAtOnce)
{
    const auto frames = ramp(2000);
    const auto r = playOsc({&frames, {{"Mode", 1}}, [](qwtest::SignalRun& run) {
                                run.set("Root", 220.0, kGate + 100);
                                run.set("Sample Rate", 24000.0, kGate + 200);
                                run.constant("Pitch", 0.7f, kGate + 300);
                            }});
    auto expected = [](int64_t k) -> double {
        if (k <= 100)
            return k;
        if (k <= 200)
            return 100 + 2 * (k - 100);
        if (k <= 300)
            return 300 + (k - 200);
        return 400 + 4 * (k - 300);
    };
    expectFrom(r.seen("Output"), 390, expected, 0.0,
               "root 220 Hz from 100 samples on, a 24 kHz sample from 200 on, 7 V from 300 on");
}

TEST(SampleOsc, NonFinitePitchCountsAsItsClampOrZero)
{
    // Not a number counts as 0 V (-5 octaves), +inf as 10 V, -inf as 0 V;
    // held from the start or streaming, the increment follows.
    const auto frames = ramp(20000);
    struct Row
    {
        float pitch;
        double octaves;
    };
    for (const Row& row : {Row{kNaN, -5.0}, Row{kInf, 5.0}, Row{-kInf, -5.0}})
        for (bool streaming : {false, true})
        {
            const auto r = playOsc({&frames, {{"Mode", 1}}, [&](qwtest::SignalRun& run) {
                                        if (streaming)
                                            run.stream("Pitch", [&](int64_t t) { return t < 50 ? 0.5f : row.pitch; });
                                        else
                                            run.constant("Pitch", row.pitch);
                                    }});
            const double inc = exp2Formula(static_cast<float>(row.octaves));
            expectFrom(
                r.seen("Output"), 300,
                [&](int64_t k) {
                    if (!streaming)
                        return std::trunc(k * inc);
                    const int64_t before = 50 - kGate;
                    return k < before ? k : std::trunc(before + (k - before) * inc);
                },
                0.0, "pitch " + std::to_string(row.pitch) + (streaming ? " streaming" : " held"));
        }
}

TEST(SampleOsc, AShorterSampleWhileMutedClampsThePointsAtOnce)
{
    // Points near the end of a long sample; a short one arrives while muted:
    // after unmuting, the next gate plays it from its last frame (no read
    // past its frames, which the address sanitizer would report).
    const auto longer = ramp(1000);
    const auto shorter = ramp(100);
    const auto r = playOsc({&longer, {{"Start", 900}, {"End", 950}}, [&](qwtest::SignalRun& run) {
                                run.set("Mute", 1, 100);
                                run.blob("Sample", descriptor(shorter), 110);
                                run.set("Mute", 0, 120);
                                run.set("Gate", 0, 130);
                                run.set("Gate", 1, 140);
                            }});
    const auto out = r.seen("Output");
    EXPECT_EQ(out[kGate], 900.0f);
    EXPECT_EQ(out[140], 99.0f);
    EXPECT_EQ(out.back(), 99.0f);
}

// ===========================================================================
// Sample navigator

// A navigator on `frames` with the position held at `position` (or
// streaming it), run for `samples`.
qwtest::Recording runNavigator(const std::vector<float>& frames, int mode, int reader,
                               const std::function<void(qwtest::SignalRun&)>& more, int64_t samples = 200,
                               int block = 64)
{
    qwtest::SignalRun run(L"QW_S2_SampleNavigator", kRate, block, "samplekit2");
    run.blob("Sample", descriptor(frames)).set("Position Mode", mode).set("Interpolation", reader);
    if (more)
        more(run);
    return run.run(samples);
}

TEST(SampleNavigator, PositionTable)
{
    const auto frames = noiseFrames(101, 5);
    struct Row
    {
        int mode;
        float input;
        int frame;
    };
    const Row rows[] = {
        {1, 0.0f, 0},   {1, 1.0f, 100}, {1, 2.0f, 100},  {1, -0.5f, 0},  {1, 0.25f, 25}, {0, 0.5f, 5},
        {0, 0.0f, 0},   {0, 9.0f, 90},  {0, 20.0f, 100}, {0, -1.0f, 0},  {3, 0.5f, 5},   {1, kNaN, 0},
        {1, kInf, 100}, {1, -kInf, 0},  {0, kNaN, 0},    {0, kInf, 100},
    };
    for (const Row& row : rows)
        for (int reader = 0; reader <= 4; ++reader)
        {
            const auto r = runNavigator(
                frames, row.mode, reader, [&](qwtest::SignalRun& run) { run.constant("Position", row.input); }, 16);
            EXPECT_EQ(r.seen("Output")[8], frames[static_cast<size_t>(row.frame)])
                << "mode " << row.mode << ", input " << row.input << ", reader " << reader;
        }
}

TEST(SampleNavigator, AJumpIsSharpWhileHeldAndSmearedWhileStreaming)
{
    // From 0 to frame 100 (10 V): held, the increment is capped at 1 (w = 1);
    // streaming, at 16 (w = 1/16). The sample after reads with w = 1 again.
    const auto frames = noiseFrames(300, 9);
    for (int reader = 1; reader <= 4; ++reader)
    {
        const auto held = runNavigator(frames, 0, reader, [](qwtest::SignalRun& run) {
            run.constant("Position", 0.0f);
            run.constant("Position", 10.0f, 100);
        });
        EXPECT_NEAR(held.seen("Output")[100], convolve(reader, frames, 100.0, 1.0, false), 1e-6) << reader;
        const auto streaming = qwtest::sameAtBlocks([&](int block) {
            return runNavigator(
                frames, 0, reader,
                [](qwtest::SignalRun& run) {
                    run.stream("Position", [](int64_t t) { return t < 100 ? 0.0f : 10.0f; });
                },
                200, block);
        });
        const auto out = streaming.seen("Output");
        EXPECT_NEAR(out[100], convolve(reader, frames, 100.0, 1.0 / 16.0, false), 2e-5) << reader;
        EXPECT_NEAR(out[101], frames[100], 1e-6) << reader;
        EXPECT_GT(std::abs(out[100] - frames[100]), 1e-3) << reader << ": the jump was not smeared";
    }
}

TEST(SampleNavigator, CodesNotListedReadTheTruncatedFrame)
{
    const auto frames = noiseFrames(50, 2);
    for (int code : {0, 9, 7, -1, 5, INT_MIN})
    {
        const auto r = runNavigator(frames, 0, code, [](qwtest::SignalRun& run) {
            run.stream("Position", [](int64_t t) { return 0.01f * static_cast<float>(t % 400) + 0.005f; });
        });
        const auto out = r.seen("Output");
        for (int64_t t = 0; t < 200; ++t)
        {
            const float p = (0.01f * static_cast<float>(t % 400) + 0.005f) * 10.0f;
            ASSERT_EQ(out[static_cast<size_t>(t)], frames[static_cast<size_t>(p)]) << "code " << code << " at " << t;
        }
    }
}

TEST(SampleNavigator, AOneFrameSampleGivesItsFrameEverywhere)
{
    const std::vector<float> one{0.625f};
    for (int reader = 0; reader <= 4; ++reader)
        for (int mode : {0, 1})
        {
            const auto r = runNavigator(one, mode, reader, [](qwtest::SignalRun& run) {
                run.stream("Position", [](int64_t t) { return t % 3 == 0 ? kInf : t % 3 == 1 ? -2.0f : kNaN; });
            });
            for (float v : r.seen("Output"))
                ASSERT_EQ(v, 0.625f) << "reader " << reader << ", mode " << mode;
        }
}

TEST(SampleNavigator, ANewSampleUnderAHeldPositionIsReadThenSleeps)
{
    const auto first = noiseFrames(64, 1), second = noiseFrames(64, 2);
    const auto r = runNavigator(
        first, 0, 1,
        [&](qwtest::SignalRun& run) {
            run.constant("Position", 2.0f); // frame 20
            run.blob("Sample", descriptor(second), 300);
        },
        1000);
    const auto out = r.seen("Output");
    EXPECT_EQ(out[299], first[20]);
    EXPECT_EQ(out[300], second[20]);
    EXPECT_EQ(out[999], second[20]);
    const auto last = r.reports.back();
    EXPECT_TRUE(last.time == 300 && !last.streaming) << "the last report: " << last.time;
    // It runs on for one host block (256 samples) after the change, then sleeps.
    ASSERT_FALSE(r.sleepRequests.empty());
    EXPECT_GE(r.sleepRequests.back(), (300 + 256) / 64);
    EXPECT_LE(r.sleepRequests.back(), (300 + 256) / 64 + 1);
}

TEST(SampleNavigator, EmptyOrInvalidSamplesGiveSilenceAndSleep)
{
    const auto frames = noiseFrames(64, 4);
    const std::vector<std::vector<uint8_t>> bad = {
        {}, std::vector<uint8_t>(24, 0xFF), std::vector<uint8_t>(23, 0), descriptor(frames, bundleToken() + 1u)};
    for (size_t b = 0; b < bad.size(); ++b)
        for (int reader = 0; reader <= 4; ++reader)
        {
            const auto r = runNavigator(
                frames, 1, reader,
                [&](qwtest::SignalRun& run) {
                    run.stream("Position", qwtest::noise(3, 0.5), 0);
                    run.blob("Sample", bad[b], 100);
                    run.constant("Position", 0.3f, 200);
                },
                600);
            const auto out = r.seen("Output");
            EXPECT_NE(out[99], 0.0f);
            for (size_t t = 100; t < out.size(); ++t)
                ASSERT_EQ(out[t], 0.0f) << "value " << b << ", reader " << reader << " at " << t;
            EXPECT_FALSE(r.sleepRequests.empty()) << "value " << b;
        }
}

// ===========================================================================
// Trying it from the command line

class PlaybackCommand : public qwtest::CommandTest
{};

TEST_F(PlaybackCommand, QwhostRunsTheOscillatorOnALoadedSample)
{
    qw::WavFile32 wav;
    std::vector<float> tone(4800);
    for (size_t k = 0; k < tone.size(); ++k)
        tone[k] = static_cast<float>(0.5 * std::sin(2.0 * kPi * 441.0 * k / 48000.0));
    wav.setChannel(0, static_cast<int>(tone.size()), tone.data());
    wav.sampleRate = 48000;
    ASSERT_TRUE(wav._saveWav(gmpi_sdk::fromUtf8(file("loop.wav")), 32));
    const auto r = qwhost({"run",
                           qwtest::bundle("samplekit2")->path(),
                           "QW_S2_SampleOsc",
                           "--sample",
                           "Sample=" + file("loop.wav"),
                           "--pin",
                           "Gate=1",
                           "--pin",
                           "Mode=1",
                           "--pin",
                           "Interpolation=4",
                           "--pin",
                           "Pitch=0.5",
                           "--pin",
                           "Sample Rate=48000",
                           "--rate",
                           "48000",
                           "--seconds",
                           "0.1",
                           "--out",
                           file("osc.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    qw::WavFile32 out;
    ASSERT_TRUE(out._loadWav(gmpi_sdk::fromUtf8(file("osc.wav"))));
    ASSERT_EQ(out.frames, 4800);
    // One frame per sample from the loop start: the sinc reader at whole
    // positions gives the frames back.
    for (int k = 0; k < 4800; ++k)
        ASSERT_NEAR(out.data[0][static_cast<size_t>(k)], tone[static_cast<size_t>(k)], 1e-6) << k;
}
} // namespace
