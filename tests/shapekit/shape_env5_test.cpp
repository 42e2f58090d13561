// QW_ShapeEnv5 through the built bundle: run timing from the pin values,
// sustain, release, legato glides, gates at exact samples, and the table
// rebuilt on every change it depends on.
#include "envelope_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using envtest::blobOf;
using envtest::Linear;
using envtest::play;

constexpr int kPoints = 1024;
constexpr int kLast = kPoints - 1;

// Rises from 0 to 1 over the whole shape (unipolar).
const wchar_t* const kRise = L"(-5,-5)(5,5)";
const Linear kRiseCurve{{-5, -5}, {5, 5}};
// Up to 1 in the first quarter, 1 until three quarters, down to 0.
const wchar_t* const kPlateau = L"(-5,-5)(-2.5,5)(2.5,5)(5,-5)";
const Linear kPlateauCurve{{-5, -5}, {-2.5, 5}, {2.5, 5}, {5, -5}};

// The table point nearest to the sustain level among the truncated node
// position and its neighbours.
int expectedSusPos(const Linear& curve, double nodeX, double level)
{
    const int i = static_cast<int>(nodeX * kLast);
    int best = i;
    double d = std::fabs(level - curve.unipolarPoint(i, kPoints));
    if (i < kLast && std::fabs(level - curve.unipolarPoint(i + 1, kPoints)) < d)
    {
        best = i + 1;
        d = std::fabs(level - curve.unipolarPoint(i + 1, kPoints));
    }
    if (i >= 1 && std::fabs(level - curve.unipolarPoint(i - 1, kPoints)) < d)
        best = i - 1;
    return best;
}

class Env5 : public ::testing::Test
{
protected:
    enum Pin
    {
        RETRIGGER,
        GATE,
        SHAPE,
        TYPE,
        SUSTAIN,
        DURATION,
        ATTACK,
        RELEASE,
        VEL_TO_LEVEL,
        VELOCITY,
        BIPOLAR,
        CLIP,
        HARD,
        OUT,
        POSITION,
    };

    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> p;

    void make(float rate, const wchar_t* shape, int sustain = -1, float durationMs = 16.0f, int block = 256)
    {
        host.sampleRate = rate;
        host.blockSize = block;
        p = host.create(qwtest::bundle("shapekit"), L"QW_ShapeEnv5");
        p->startGraph();
        p->setBlob(SHAPE, blobOf(shape));
        p->setInt(SUSTAIN, sustain);
        p->setFloat(DURATION, durationMs);
    }
    std::vector<float> run(int64_t samples, int block = 64) { return play(*p, OUT, samples, block); }
    float lastPosition() const
    {
        float v = -1.0f;
        for (auto& u : p->updates)
            if (u.pin == POSITION)
                v = u.asFloat();
        return v;
    }
};

// Table points per sample and the samples until a run of `points` reaches
// the end, by the envelope's rule for the end of a run: increment = 1024 / (max(ms, 1) * rate * 0.001)
// * speed, with speed = r * vel + (1 - vel), and the phase summed sample by
// sample in single precision.
struct Timing
{
    float increment;
    int64_t samplesToEnd;      // from the gate sample to the first sample at the end
    std::vector<float> phases; // the phase read at each sample of the run
};

Timing timing(float rate, float ms, float speedPin, float vel, float from = 0.0f, float to = kLast)
{
    const float r = std::min(std::max(speedPin, 1.0f), 20.0f);
    const float speed = r * vel + (1.0f - vel);
    const float inc = 1024.0f / (std::max(ms, 1.0f) * rate * 0.001f) * speed;
    Timing t{inc, 0, {}};
    float phase = from;
    while (phase < to)
    {
        t.phases.push_back(phase);
        phase = std::min(phase + inc, to);
        ++t.samplesToEnd;
    }
    return t;
}

TEST_F(Env5, RunTimingFollowsDurationSpeedAndVelocity)
{
    struct Case
    {
        float rate, ms, attack, velocity;
        int64_t exactEnd; // worked out by hand where the increment is exact; -1 otherwise
    };
    const Case cases[] = {
        {128000, 16, 1, 1, 2046},    // 2048 samples per run: 0.5 points per sample
        {128000, 16, 2, 1, 1023},    // twice as fast
        {64000, 16, 1, 1, 1023},     // 1024 samples per run
        {128000, 16, 3, 0.5f, 1023}, // speed 3 * 0.5 + 0.5 = 2
        {128000, 16, 20, 0, 2046},   // velocity 0: speed 1 whatever the attack speed
        {128000, 16, 40, 1, 103},    // attack speed clamped to 20: 10 points per sample
        {128000, 0.25f, 1, 1, 128},  // at least 1 ms: 8 points per sample
        {44100, 100, 1, 1, -1},      {48000, 100, 1, 1, -1}, {96000, 100, 1.5f, 1, -1}, {192000, 100, 1, 1, -1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message()
                     << c.rate << " Hz, " << c.ms << " ms, attack " << c.attack << ", velocity " << c.velocity);
        make(c.rate, kRise, -1, c.ms);
        p->setFloat(ATTACK, c.attack);
        p->setConstant(VELOCITY, c.velocity);
        constexpr int kGateAt = 5;
        p->setBool(GATE, true, kGateAt);
        const Timing t = timing(c.rate, c.ms, c.attack, c.velocity);
        if (c.exactEnd >= 0)
        {
            EXPECT_EQ(t.samplesToEnd, c.exactEnd);
        }
        // The run length in real numbers, give or take what single precision
        // loses over the sum (two samples per 10000).
        const double speed = std::min<double>(std::max<double>(c.attack, 1), 20) * c.velocity + (1 - c.velocity);
        const double length = std::max<double>(c.ms, 1) * c.rate / 1000 * kLast / 1024 / speed;
        EXPECT_NEAR(static_cast<double>(t.samplesToEnd), length, std::max(1.0, length * 2e-4));

        const auto out = run(kGateAt + t.samplesToEnd + 300);
        for (int i = 0; i < kGateAt; ++i)
            ASSERT_EQ(out[static_cast<size_t>(i)], 0.0f) << "before the gate, sample " << i;
        for (int64_t j = 0; j < t.samplesToEnd; ++j)
        {
            ASSERT_NEAR(out[static_cast<size_t>(kGateAt + j)],
                        kRiseCurve.unipolarAt(t.phases[static_cast<size_t>(j)], kPoints), 1e-5)
                << "sample " << j << " after the gate";
            ASSERT_LT(out[static_cast<size_t>(kGateAt + j)], 1.0f);
        }
        for (size_t i = static_cast<size_t>(kGateAt + t.samplesToEnd); i < out.size(); ++i)
            ASSERT_EQ(out[i], 1.0f) << "after the end, sample " << i;
        // Reported static at the first sample at the end phase, whatever the block size.
        const int64_t end = kGateAt + t.samplesToEnd;
        EXPECT_EQ(envtest::lastReport(*p, OUT, false), end);
        EXPECT_FLOAT_EQ(lastPosition(), 1.0f);
    }
}

TEST_F(Env5, WithoutAValidSustainNodeTheRunEndsWhileTheGateIsHeld)
{
    for (int sustain : {-1, 3, 7}) // 3 is the last node: no sustain
    {
        make(128000, kPlateau, sustain);
        p->setBool(GATE, true);
        const auto out = run(3000);
        EXPECT_EQ(envtest::firstEqual(out, 0.0f, 1), 2046) << "sustain pin " << sustain;
        EXPECT_EQ(out.back(), 0.0f);
        const size_t reports = p->streamingReports.size();
        p->setBool(GATE, false);
        const auto after = run(500);
        EXPECT_EQ(after.front(), 0.0f);
        EXPECT_EQ(p->streamingReports.size(), reports) << "a release after the end does nothing";
    }
}

TEST_F(Env5, SustainHoldsUntilTheGateFallsThenTheReleaseRuns)
{
    make(128000, kPlateau, 1); // sustain at (0.25, 1)
    p->setFloat(RELEASE, 2);   // release twice as fast: 1 point per sample
    p->setBool(GATE, true);
    const int susPos = expectedSusPos(kPlateauCurve, 0.25, 1.0);
    ASSERT_EQ(susPos, 256);

    const int64_t held = 20000;
    auto out = run(held);
    for (int64_t j = 0; j < held; ++j)
    {
        const double pos = std::min<double>(j * 0.5, susPos);
        ASSERT_NEAR(out[static_cast<size_t>(j)], kPlateauCurve.unipolarAt(pos, kPoints), 1e-5) << "sample " << j;
    }
    EXPECT_EQ(envtest::lastReport(*p, OUT, false), 0) << "only the graph start's report";
    EXPECT_NEAR(lastPosition(), susPos / 1023.0f, 1e-6);

    p->setBool(GATE, false);
    out = run(1000);
    const int64_t releaseLength = kLast - susPos; // 767 samples at 1 point per sample
    for (int64_t k = 0; k <= releaseLength; ++k)
        ASSERT_NEAR(out[static_cast<size_t>(k)], kPlateauCurve.unipolarAt(susPos + static_cast<double>(k), kPoints),
                    1e-5)
            << "release sample " << k;
    for (size_t k = static_cast<size_t>(releaseLength); k < out.size(); ++k)
        ASSERT_EQ(out[k], 0.0f);
    EXPECT_GE(envtest::lastReport(*p, OUT, false), held + releaseLength);
    EXPECT_LT(envtest::lastReport(*p, OUT, false), held + 1000);
}

TEST_F(Env5, AReleaseDuringARisingAttackGoesOnFromTheCurrentLevel)
{
    make(128000, kPlateau, 1);
    p->setBool(GATE, true);
    p->setBool(GATE, false, 200); // phase 100, below the sustain level
    const auto out = run(4000);
    const float level = out[199];
    EXPECT_NEAR(level, kPlateauCurve.unipolarAt(99.5, kPoints), 1e-5);
    // No jump: the release part is scaled to start at the level reached.
    for (size_t i = 200; i < out.size(); ++i)
        ASSERT_LE(std::fabs(out[i] - out[i - 1]), 0.5 / 255.75 * level + 1e-6) << "sample " << i;
    // Flat at that level over the plateau, then down to the last node's level.
    const int susPos = 256;
    for (int64_t k = 0; k < 2 * (767 - susPos); ++k)
        ASSERT_NEAR(out[static_cast<size_t>(200 + k)], level, 1e-6);
    const int64_t end = 200 + 2 * (kLast - susPos);
    EXPECT_NEAR(out[static_cast<size_t>(end - 100)], level * kPlateauCurve.unipolarAt(kLast - 50, kPoints), 1e-5);
    EXPECT_EQ(out[static_cast<size_t>(end)], 0.0f);
    EXPECT_EQ(out.back(), 0.0f);
}

TEST_F(Env5, AReleaseAboveTheSustainLevelGlidesThereInTenMilliseconds)
{
    // Up to 1, down to 0.5 at the sustain node, down to 0 at the end.
    const Linear curve{{-5, -5}, {-2.5, 5}, {0, 0}, {5, -5}};
    for (float rate : {48000.0f, 128000.0f})
    {
        SCOPED_TRACE(rate);
        make(rate, L"(-5,-5)(-2.5,5)(0,0)(5,-5)", 2);
        const int susPos = expectedSusPos(curve, 0.5, 0.5);
        ASSERT_EQ(susPos, 512);
        const Timing attack = timing(rate, 16, 1, 1);
        const int64_t gateOff = static_cast<int64_t>(200 / attack.increment); // near phase 200
        p->setBool(GATE, true);
        p->setBool(GATE, false, static_cast<int>(gateOff));
        const auto out = run(gateOff + 3 * static_cast<int64_t>(rate / 100) + 3000);

        const float from = out[static_cast<size_t>(gateOff - 1)];
        ASSERT_GT(from, 0.7f);
        const double glide = 0.01 * rate; // samples of a glide, whatever its span
        for (int64_t k = 0; k < static_cast<int64_t>(glide) - 1; ++k)
            ASSERT_NEAR(out[static_cast<size_t>(gateOff + k)], from + (0.5 - from) * (k + 1) / glide, 1e-4)
                << "glide sample " << k;
        // Then the release from the sustain point, at the attack's speed.
        const int64_t glideEnd = envtest::firstEqual(out, 0.5f, static_cast<size_t>(gateOff));
        EXPECT_NEAR(static_cast<double>(glideEnd - gateOff), glide - 1, 1.0);
        for (int64_t k = 1; k < 500; ++k)
            ASSERT_NEAR(out[static_cast<size_t>(glideEnd + k)],
                        curve.unipolarAt(
                            std::min<double>(susPos + (k - 1) * static_cast<double>(attack.increment), kLast), kPoints),
                        1e-4)
                << "release sample " << k;
        EXPECT_EQ(out.back(), 0.0f);
    }
}

// Legato: the gate comes back while the release runs. The envelope goes on
// from the first point of the shape at the current level and glides from the
// output's level to the new gain's one in 10 ms.
TEST_F(Env5, ALegatoRestartGlidesToTheNewVelocitysLevel)
{
    for (float rate : {48000.0f, 128000.0f})
    {
        SCOPED_TRACE(rate);
        make(rate, kPlateau, 1);
        p->setFloat(VEL_TO_LEVEL, 10); // level follows velocity fully
        p->setBool(GATE, true);
        const int64_t gateOff = static_cast<int64_t>(rate / 10);
        p->setBool(GATE, false, static_cast<int>(gateOff));
        p->setConstant(VELOCITY, 0.5f, static_cast<int>(gateOff + 100));
        p->setBool(GATE, true, static_cast<int>(gateOff + 100));
        const auto out = run(gateOff + 100 + static_cast<int64_t>(rate / 50));

        const size_t on = static_cast<size_t>(gateOff + 100);
        const float v = out[on - 1]; // still on the plateau: the sustain level
        EXPECT_NEAR(v, 1.0f, 1e-6);
        // gain 0.5; the value is re-expressed at the new gain (2v) and glides
        // to the table's value at the sustain point (v).
        const double glide = 0.01 * rate;
        for (int64_t k = 0; k < static_cast<int64_t>(glide) - 1; ++k)
            ASSERT_NEAR(out[on + static_cast<size_t>(k)], 0.5 * (2.0 * v - v * (k + 1) / glide), 1e-4)
                << "glide sample " << k;
        for (size_t i = on + static_cast<size_t>(glide) + 1; i < out.size(); ++i)
            ASSERT_NEAR(out[i], 0.5 * v, 1e-6) << "held at the sustain level with the new gain, sample " << i;
    }
}

// A restart at velocity 0 (gain 0) glides to 0 at the old gain and stays
// silent; it does not come back at the old level after the glide.
TEST_F(Env5, ASilentLegatoRestartStaysSilentAfterItsGlide)
{
    make(128000, kPlateau, 1);
    p->setFloat(VEL_TO_LEVEL, 10);
    p->setBool(GATE, true);
    p->setBool(GATE, false, 3000);
    p->setConstant(VELOCITY, 0.0f, 3100);
    p->setBool(GATE, true, 3100);
    p->setBool(GATE, false, 9000);
    const auto out = run(14000);
    EXPECT_NEAR(out[3099], 1.0f, 1e-6);
    for (int k = 0; k < 1279; ++k)
        ASSERT_NEAR(out[static_cast<size_t>(3100 + k)], 1.0 - (k + 1) / 1280.0, 1e-4) << "glide sample " << k;
    for (size_t i = 3100 + 1280; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0.0f) << "sample " << i;
    EXPECT_GT(envtest::lastReport(*p, OUT, false), 9000) << "the silent release ends the run";
}

TEST_F(Env5, GatesAndRetriggersActAtTheirExactSample)
{
    // Starts at 0.5 (unipolar), rises to 1.
    std::vector<float> reference;
    for (int block : {1, 7, 64, 256})
    {
        SCOPED_TRACE(block);
        make(128000, L"(-5,0)(5,5)", -1, 16.0f, 256);
        p->setBool(GATE, true, 37);
        p->setFloat(RETRIGGER, 0.999f, 300); // not exactly 1: nothing
        p->setFloat(RETRIGGER, 1.0f, 500);   // restart at the start of the shape
        p->setBool(GATE, false, 800);
        p->setBool(HARD, true, 810);
        p->setBool(GATE, true, 850); // hard retrigger: restart as well
        const auto out = play(*p, OUT, 4000, block);
        EXPECT_EQ(out[36], 0.0f);
        EXPECT_EQ(out[37], 0.5f);
        EXPECT_NEAR(out[300], 0.5 + 0.5 * 263 * 0.5 / kLast, 1e-5);
        EXPECT_NEAR(out[499], 0.5 + 0.5 * 462 * 0.5 / kLast, 1e-5);
        EXPECT_EQ(out[500], 0.5f);
        EXPECT_NEAR(out[849], 0.5 + 0.5 * 349 * 0.5 / kLast, 1e-5);
        EXPECT_EQ(out[850], 0.5f);
        if (reference.empty())
            reference = out;
        else
            EXPECT_EQ(out, reference) << "the same samples for every block size";
    }
}

TEST_F(Env5, BipolarAndClipChangesRebuildTheTable)
{
    make(128000, kRise);
    auto startOfRun = [this] {
        p->setBool(GATE, true);
        const auto out = run(2100);
        p->setBool(GATE, false);
        run(64);
        return out.front();
    };
    EXPECT_EQ(startOfRun(), 0.0f);
    p->setBool(BIPOLAR, true);
    EXPECT_EQ(startOfRun(), -1.0f) << "bipolar alone changed";
    p->setBool(BIPOLAR, false);
    EXPECT_EQ(startOfRun(), 0.0f);

    // A local cubic whose second segment overshoots above 1.
    p->setBlob(SHAPE, blobOf(L"(-5,-5)(-4,5)(-3,5)(5,-5)"));
    p->setInt(TYPE, 20);
    auto peak = [this] {
        p->setBool(GATE, true);
        const auto out = run(2100);
        p->setBool(GATE, false);
        run(64);
        return *std::max_element(out.begin(), out.end());
    };
    EXPECT_GT(peak(), 1.01f);
    p->setBool(CLIP, true);
    EXPECT_EQ(peak(), 1.0f) << "clip alone changed";
    p->setBool(CLIP, false);
    EXPECT_GT(peak(), 1.01f);
}

TEST_F(Env5, SendingTheSameTypeAgainKeepsAPendingRebuild)
{
    make(128000, L"(-5,-5)(-4,5)(-3,5)(5,-5)");
    p->setBool(GATE, true);
    auto out = run(2100);
    EXPECT_LE(*std::max_element(out.begin(), out.end()), 1.000001f) << "linear";
    p->setBool(GATE, false);
    p->setInt(TYPE, 20);
    run(64);
    p->setInt(TYPE, 20); // again, before the next gate
    run(64);
    p->setBool(GATE, true);
    out = run(2100);
    EXPECT_GT(*std::max_element(out.begin(), out.end()), 1.01f) << "the local cubic is played";
    // An invalid type is ignored and keeps the rebuild too.
    p->setBool(GATE, false);
    p->setInt(TYPE, 10);
    run(64);
    p->setInt(TYPE, 25);
    run(64);
    p->setBool(GATE, true);
    out = run(2100);
    EXPECT_LE(*std::max_element(out.begin(), out.end()), 1.000001f) << "linear again";
}

TEST_F(Env5, ShapeAndSustainChangesWaitForTheNextGate)
{
    make(128000, kRise);
    p->setBool(GATE, true);
    auto out = run(1000);
    p->setBlob(SHAPE, blobOf(L"(-5,5)(5,-5)")); // falling
    out = run(1000);
    EXPECT_NEAR(out[999], kRiseCurve.unipolarAt(1999 * 0.5, kPoints), 1e-4) << "the run keeps its shape";
    p->setBool(GATE, false);
    run(500);
    p->setBool(GATE, true);
    out = run(10);
    EXPECT_EQ(out[0], 1.0f) << "the new shape starts at its first node";
    // Refused blobs keep the shape.
    p->setBool(GATE, false);
    p->setBlob(SHAPE, {1, 2, 3});
    run(2100);
    p->setBool(GATE, true);
    EXPECT_EQ(run(10)[0], 1.0f);
}
} // namespace
