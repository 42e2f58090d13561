// Noise and random generators through the built bundle: first values worked
// out by hand from the generators' steps, statistics and spectra of long
// runs, seeds that make instances agree, and the trigger generators' ranges,
// the whole 32-bit range and the float limits included.
#include "control_fixture.h"
#include "fourier.h"
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <complex>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr float kRate = 44100.0f;
constexpr double kPi = 3.14159265358979323846;

// The shared generator's step and its [-1, 1) conversion, by their rule.
uint32_t lcg(uint32_t s)
{
    return s * 1664525u + 1013904223u;
}
float bipolarOf(uint32_t s)
{
    const uint32_t bits = (s & 0x007FFFFFu) | 0x3F800000u;
    float f;
    std::memcpy(&f, &bits, 4);
    return (f - 1.5f) * 2.0f;
}

Recording noise(const wchar_t* id, int type, int seed, int64_t samples, int block = 64)
{
    SignalRun run(id, kRate, block);
    run.set("Type", type).set("Seed", seed).set("On", 1);
    return run.run(samples);
}

TEST(NoiseGen, SeedOneGivesTheFirstXorshiftWord)
{
    // 1 ^ 1 << 13 = 8193; ^ >> 17 leaves it; ^ << 5 = 270369.
    const Recording r = qwtest::sameAtBlocks([](int block) { return noise(L"QW_NoiseGen", 0, 1, 1000, block); });
    EXPECT_EQ(r.out("Output")[0], static_cast<float>(270369 * 0x1p-32 - 0.5));
    EXPECT_FLOAT_EQ(r.out("Output")[0], -0.49993705f);
}

TEST(NoiseGen, SeedZeroStillGivesNoise)
{
    for (int type : {0, 1})
    {
        const Recording run = noise(L"QW_NoiseGen", type, 0, 4096);
        const auto& y = run.out("Output");
        const std::set<float> distinct(y.begin(), y.end());
        EXPECT_GT(distinct.size(), 4000u) << "type " << type;
    }
}

TEST(NoiseGen, WhiteHasMeanZeroAndVarianceOneTwelfth)
{
    const Recording run = noise(L"QW_NoiseGen", 0, 1, 1000000);
    const auto& y = run.out("Output");
    double sum = 0, squares = 0;
    for (float v : y)
    {
        ASSERT_GE(v, -0.5f);
        ASSERT_LT(v, 0.5f);
        sum += v;
        squares += double(v) * v;
    }
    const double mean = sum / y.size(), variance = squares / y.size() - mean * mean;
    EXPECT_NEAR(mean, 0.0, 0.002);
    EXPECT_NEAR(variance, 1.0 / 12, 1.0 / 12 * 0.01);
}

TEST(NoiseGen, PinkHasEqualPowerPerOctave)
{
    const Recording run = noise(L"QW_NoiseGen", 1, 7, 1 << 21);
    const auto& y = run.out("Output");
    for (float v : y)
        ASSERT_TRUE(v >= -1.0f && v < 1.0f);
    constexpr size_t n = 8192;
    const auto power = qwtest::averagePower(y, n);
    double lo = 1e9, hi = -1e9;
    for (double f = kRate / 512; 2 * f < kRate / 4 * 1.01; f *= 2)
    {
        const double band = 10 * std::log10(qwtest::bandPower(power, n, kRate, f, 2 * f));
        lo = std::min(lo, band), hi = std::max(hi, band);
    }
    EXPECT_LT(hi - lo, 1.5) << "octave bands from fs/512 to fs/4 between " << lo << " and " << hi << " dB";
}

TEST(NoiseGen, ATypeChangeWhileOffWaitsForTheNextOn)
{
    const Recording r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_NoiseGen", kRate, block);
        run.set("Type", 0).set("Seed", 1).set("On", 1).set("On", 0, 100).set("Type", 1, 150).set("On", 1, 1000);
        return run.run(2000);
    });
    const auto seen = r.seen("Output");
    for (size_t n = 100; n < 1000; ++n)
        ASSERT_EQ(seen[n], 0.0f) << n;
    EXPECT_EQ(r.lastChange("Output", true), 1000);
    // The generator went on from its 100th word, into the pink rows.
    uint32_t x = 1;
    for (int k = 0; k < 101; ++k)
    {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
    }
    const uint32_t row = x & ((1u << 29) - 1);
    EXPECT_EQ(seen[1000], static_cast<float>(8.0 * row * 0x1p-31 - 1.0)) << "all seven rows and the fresh value";
}

TEST(NoiseGen2, SameSeedSameNoiseAtAnyBlockSize)
{
    for (int type : {0, 1})
    {
        const Recording r =
            qwtest::sameAtBlocks([=](int block) { return noise(L"QW_NoiseGen2", type, 5, 3000, block); });
        const auto& y = r.out("Output");
        EXPECT_NE(y[0], y[1]);
        // A reseed trigger starts the same sequence again.
        SignalRun run(L"QW_NoiseGen2", kRate, 64);
        run.set("Type", type).set("Seed", 5).set("Reseed", 1, 1000);
        const auto again = run.run(3000).out("Output");
        for (size_t k = 0; k < 500; ++k)
            ASSERT_EQ(again[1000 + k], y[k]) << k;
    }
}

TEST(NoiseGen2, SeedZeroKeepsTheSystemsRandomStart)
{
    const auto a = noise(L"QW_NoiseGen2", 0, 0, 256).out("Output");
    const auto b = noise(L"QW_NoiseGen2", 0, 0, 256).out("Output");
    EXPECT_NE(a, b);
}

TEST(NoiseGen2, PinkFollowsItsTwoOnePoles)
{
    const Recording run = noise(L"QW_NoiseGen2", 1, 11, 1 << 21);
    const auto& y = run.out("Output");
    constexpr size_t n = 8192;
    const auto power = qwtest::averagePower(y, n);
    // White w in [-1, 1) (variance 1/3) through 2.5 (g1 + 0.25 g2), gi = (1 - ai) / (1 - ai z^-1).
    const double a1 = 0.96f, a2 = 0.655f;
    auto analytic = [&](double f) {
        const std::complex<double> z1 = std::polar(1.0, -2 * kPi * f / kRate);
        const std::complex<double> h = 2.5 * ((1 - a1) / (1.0 - a1 * z1) + 0.25 * (1 - a2) / (1.0 - a2 * z1));
        return std::norm(h) * 2.0 / 3.0 / n; // one-sided, per bin
    };
    for (double f = kRate / 1024; f < kRate / 2; f *= 2)
    {
        double expected = 0;
        for (size_t k = 0; k < power.size(); ++k)
        {
            const double fk = k * double(kRate) / n;
            if (fk >= f && fk < std::min(2 * f, kRate / 2.0))
                expected += analytic(fk);
        }
        const double got = qwtest::bandPower(power, n, kRate, f, std::min(2 * f, kRate / 2.0));
        EXPECT_NEAR(10 * std::log10(got / expected), 0.0, 0.5) << "octave from " << f << " Hz";
    }
}

// --- random LFO ---

Recording lfo(float rate, int seed, float rateValue, int64_t samples, int block)
{
    SignalRun run(L"QW_RndLFO", rate, block);
    run.set("Seed", seed).set("Amplitude", 10.0).constant("Rate", rateValue);
    return run.run(samples);
}

TEST(RndLFO, SeedOneStartsAtTheSecondStepsPoint)
{
    const uint32_t x2 = lcg(lcg(1));
    EXPECT_FLOAT_EQ(bipolarOf(x2), -0.8668301f);
    for (int seed : {1, 0})
    {
        const Recording r = qwtest::sameAtBlocks([=](int block) { return lfo(kRate, seed, 0.1f, 20000, block); });
        EXPECT_EQ(r.out("Output")[0], bipolarOf(x2)) << "seed " << seed;
        const Recording again = lfo(kRate, seed, 0.1f, 20000, 64);
        EXPECT_EQ(again.out("Output"), r.out("Output")) << "two instances";
    }
}

// The LFO by its rule: four points from the seed, a cubic through the middle
// two with the slopes of their neighbours, the segment phase t advanced in
// f32 by the point rate (twice 10 x the rate sample, 0 below 0, at most
// 20000) over the sample rate. The curve is worked out in double.
struct LfoByRule
{
    float inverseRate;
    double gain;
    uint32_t state = 0;
    float t = 0.0f;
    double p[4] = {};

    LfoByRule(float rate, float amplitude) : inverseRate(1.0f / rate), gain(0.1 * amplitude) {}

    void reseed(int seed)
    {
        state = seed < 2 ? 1u : static_cast<uint32_t>(seed);
        for (double& point : p)
            point = bipolarOf(state = lcg(state));
        t = 0.0f;
    }

    double next(float rateSample)
    {
        const double x = t, u = 1.0 - x;
        const double A = p[1] + 0.5 * x * (p[2] - p[0]);
        const double B = p[1] + x * (p[2] - p[1]);
        const double C = p[2] - 0.5 * u * (p[3] - p[1]);
        const double y = gain * (u * (u * A + x * B) + x * (u * B + x * C));
        const float r = 10.0f * rateSample;
        const float perSecond = r < 0.0f ? 0.0f : (r > 10000.0f ? 20000.0f : 2.0f * r);
        t += perSecond * inverseRate;
        if (t >= 1.0f)
        {
            t -= 1.0f;
            p[0] = p[1], p[1] = p[2], p[2] = p[3];
            p[3] = bipolarOf(state = lcg(state));
        }
        return y;
    }
};

TEST(RndLFO, EverySampleFollowsTheCurveThroughItsPoints)
{
    // A rate that sweeps through negative values (the curve holds), ordinary
    // rates and a span above the limit; then a reseed with a seed below 2.
    const auto rate = [](int64_t n) {
        if (n >= 6000 && n < 7000)
            return 5000.0f;
        return static_cast<float>(30.0 * std::sin(2 * kPi * double(n) / 5000.0) + 10.0);
    };
    for (float sampleRate : {kRate, 96000.0f})
    {
        SignalRun run(L"QW_RndLFO", sampleRate, 64);
        run.set("Seed", 7).set("Amplitude", 6.5).stream("Rate", rate);
        run.set("Seed", 0, 8999).set("Reseed", 1, 9000);
        const auto y = run.run(15000).out("Output");
        LfoByRule lfo(sampleRate, 6.5f);
        lfo.reseed(7);
        for (int64_t n = 0; n < 15000; ++n)
        {
            if (n == 9000)
                lfo.reseed(0);
            ASSERT_NEAR(y[size_t(n)], lfo.next(rate(n)), 2e-6) << "sample " << n << " at " << sampleRate << " Hz";
        }
    }
}

TEST(RndLFO, RateZeroHolds)
{
    const Recording run = lfo(kRate, 3, 0.0f, 5000, 64);
    const auto& y = run.out("Output");
    for (float v : y)
        ASSERT_EQ(v, y[0]);
}

TEST(RndLFO, RatesAbove10000GiveTwentyThousandPointsASecond)
{
    // At 80 kHz the curve advances a quarter segment per sample: every 4th
    // sample is a point, the k-th the (k + 2)-th step from the seed.
    const float huge[] = {1001.0f, 1000.0f, 1e30f, INFINITY};
    for (float rate : huge)
    {
        const Recording r = qwtest::sameAtBlocks([=](int block) { return lfo(80000.0f, 9, rate, 400, block); });
        const auto& y = r.out("Output");
        uint32_t x = lcg(lcg(9));
        for (size_t k = 0; k < 100; ++k, x = lcg(x))
            ASSERT_EQ(y[4 * k], bipolarOf(x)) << "rate " << rate << ", point " << k;
    }
}

// --- trigger generators ---

using qwtest::ControlModule;

// The output after one true trigger (then false again).
double trigger(ControlModule& m)
{
    m.set("Trigger", 1);
    m.step();
    const double v = m.value("Output");
    m.set("Trigger", 0);
    m.step();
    return v;
}

TEST(RandomIntDSP, BoundsInEitherOrderGiveEveryValueEquallyOften)
{
    ControlModule m(L"QW_RandomIntDSP");
    m.start();
    m.set("Bound A", 3);
    m.set("Bound B", 1);
    std::map<int, int> counts;
    constexpr int kTriggers = 30000;
    for (int i = 0; i < kTriggers; ++i)
        ++counts[int(trigger(m))];
    ASSERT_EQ(counts.size(), 3u);
    for (auto& [v, c] : counts)
    {
        EXPECT_TRUE(v >= 1 && v <= 3) << v;
        EXPECT_NEAR(double(c) / kTriggers, 1.0 / 3, 0.02) << v;
    }
}

TEST(RandomIntDSP, NoRepeatAlternatesBetweenTwoValues)
{
    ControlModule m(L"QW_RandomIntDSP");
    m.start();
    m.set("Bound A", 0);
    m.set("Bound B", 1);
    m.set("No Repeat", 1);
    double previous = trigger(m);
    for (int i = 0; i < 200; ++i)
    {
        const double v = trigger(m);
        ASSERT_EQ(v, 1 - previous) << i;
        previous = v;
    }
}

TEST(RandomIntDSP, TheWholeIntegerRange)
{
    struct Case
    {
        int a, b;
    } cases[] = {{INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}, {INT_MAX - 1, INT_MAX}, {INT_MIN, INT_MIN + 2}};
    for (auto& c : cases)
    {
        ControlModule m(L"QW_RandomIntDSP");
        m.start();
        m.set("Bound A", c.a);
        m.set("Bound B", c.b);
        std::set<double> seen;
        for (int i = 0; i < 300; ++i)
        {
            const double v = trigger(m);
            ASSERT_GE(v, std::min(c.a, c.b));
            ASSERT_LE(v, std::max(c.a, c.b));
            seen.insert(v);
        }
        const double span = double(std::max(c.a, c.b)) - std::min(c.a, c.b) + 1;
        if (span < 10)
            EXPECT_EQ(seen.size(), size_t(span)) << "every value of " << c.a << ".." << c.b;
        else
        {
            EXPECT_GT(seen.size(), 290u);
            EXPECT_LT(*seen.begin(), -1e9);
            EXPECT_GT(*seen.rbegin(), 1e9);
        }
    }
}

TEST(RandomIntDSP, EqualBoundsAndAFalseTrigger)
{
    ControlModule m(L"QW_RandomIntDSP");
    m.start();
    m.set("Bound A", -7);
    m.set("Bound B", -7);
    EXPECT_EQ(trigger(m), -7);
    const size_t sent = m.countOf("Output");
    m.set("Bound A", 0);
    m.set("Bound B", 1000000);
    m.set("Trigger", 0);
    m.step();
    EXPECT_EQ(m.countOf("Output"), sent) << "a false trigger does nothing";
}

TEST(RandomFloatDSP, WithinItsBoundsInEitherOrderAndAtTheFloatLimits)
{
    struct Case
    {
        float a, b, lo, hi;
    } cases[] = {{2.0f, -3.0f, -3.0f, 2.0f},
                 {-FLT_MAX, FLT_MAX, -FLT_MAX, FLT_MAX},
                 {FLT_MAX, -FLT_MAX, -FLT_MAX, FLT_MAX},
                 {-INFINITY, INFINITY, -FLT_MAX, FLT_MAX},
                 {NAN, 4.0f, 0.0f, 4.0f},
                 {FLT_MAX, FLT_MAX / 2, FLT_MAX / 2, FLT_MAX}};
    for (auto& c : cases)
    {
        ControlModule m(L"QW_RandomFloatDSP");
        m.start();
        m.set("Bound A", c.a);
        m.set("Bound B", c.b);
        std::set<double> seen;
        for (int i = 0; i < 500; ++i)
        {
            const double v = trigger(m);
            ASSERT_TRUE(std::isfinite(v));
            ASSERT_GE(v, c.lo) << c.a << " " << c.b;
            ASSERT_LE(v, c.hi) << c.a << " " << c.b;
            seen.insert(v);
        }
        EXPECT_GT(seen.size(), 400u);
    }
    ControlModule m(L"QW_RandomFloatDSP");
    m.start();
    m.set("Bound A", 0.75);
    m.set("Bound B", 0.75);
    EXPECT_EQ(trigger(m), 0.75);
}

TEST(RandomVolts, SpreadEvenlyOverItsBounds)
{
    // A uniform value over [lo, hi) (bounds in volts, either order, a tenth
    // on the output): mean, variance and the counts of ten equal bins within
    // five standard errors, and values within 1 % of each end.
    constexpr int kTriggers = 4000;
    const std::pair<float, float> cases[] = {{5.0f, -5.0f}, {2.0f, 8.0f}};
    for (auto bounds : cases)
    {
        SignalRun run(L"QW_RandomVolts", kRate, 64);
        run.set("Bound A", bounds.first).set("Bound B", bounds.second);
        for (int k = 0; k < kTriggers; ++k)
            run.set("Trigger", 1, 4 * k + 1).set("Trigger", 0, 4 * k + 2);
        const auto y = run.run(4 * kTriggers + 4).out("Output");
        const double lo = 0.1 * std::min(bounds.first, bounds.second), hi = 0.1 * std::max(bounds.first, bounds.second);
        const double width = hi - lo;
        double sum = 0, squares = 0, least = hi, most = lo;
        int bins[10] = {};
        for (int k = 0; k < kTriggers; ++k)
        {
            const double v = y[size_t(4 * k + 1)];
            ASSERT_GE(v, lo) << k;
            ASSERT_LT(v, hi) << k;
            sum += v, squares += v * v;
            least = std::min(least, v), most = std::max(most, v);
            ++bins[std::min(9, static_cast<int>((v - lo) / width * 10))];
        }
        const double mean = sum / kTriggers, variance = squares / kTriggers - mean * mean;
        const double sd = width / std::sqrt(12.0);
        EXPECT_NEAR(mean, (lo + hi) / 2, 5 * sd / std::sqrt(double(kTriggers))) << bounds.first << " " << bounds.second;
        // The variance of a uniform sample's variance: (m4 - sd^4) / N with m4 = width^4 / 80.
        const double varianceError = std::sqrt((std::pow(width, 4) / 80 - std::pow(sd, 4)) / kTriggers);
        EXPECT_NEAR(variance, sd * sd, 5 * varianceError) << bounds.first << " " << bounds.second;
        for (int b = 0; b < 10; ++b)
            EXPECT_NEAR(bins[b], kTriggers / 10, 5 * std::sqrt(kTriggers * 0.1 * 0.9)) << "bin " << b;
        EXPECT_LT(least, lo + 0.01 * width);
        EXPECT_GT(most, hi - 0.01 * width);
    }
}

TEST(RandomVolts, WithinItsBoundsAsAConstantLevel)
{
    const std::pair<float, float> cases[] = {{5.0f, -5.0f}, {2.0f, 2.0f}, {-FLT_MAX, FLT_MAX}};
    for (auto bounds : cases)
    {
        SignalRun run(L"QW_RandomVolts", kRate, 64);
        run.set("Bound A", bounds.first).set("Bound B", bounds.second);
        for (int k = 0; k < 20; ++k)
            run.set("Trigger", 1, 100 + 100 * k).set("Trigger", 0, 150 + 100 * k);
        const Recording r = run.run(2200);
        // Each trigger announces a new static level (a repeated static
        // report), so the samples written at it are read.
        const auto& seen = r.out("Output");
        const float lo = 0.1f * std::min(bounds.first, bounds.second),
                    hi = 0.1f * std::max(bounds.first, bounds.second);
        for (int k = 0; k < 20; ++k)
        {
            const float v = seen[size_t(100 + 100 * k)];
            ASSERT_TRUE(std::isfinite(v));
            ASSERT_GE(v, lo);
            ASSERT_LE(v, hi);
            if (lo == hi)
            {
                ASSERT_EQ(v, 0.2f);
            }
            EXPECT_EQ(seen[size_t(199 + 100 * k)], v) << "held until the next trigger";
        }
        for (auto& c : r.changes("Output"))
            EXPECT_FALSE(c.streaming) << "at " << c.time;
    }
}
} // namespace
