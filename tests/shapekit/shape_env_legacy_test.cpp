// The earlier single-voice envelopes QW_ShapeEnv3, QW_ShapeEnv4 (gate pin)
// and QW_ShapeEnv2 (audio gate, shape blob on a text pin), through the built
// bundle: 4096-point runs, sustain points, releases, de-click ramps and
// crossfades, and the end of a run.
#include "envelope_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using envtest::blobOf;
using envtest::Linear;
using envtest::play;

constexpr int kPoints = 4096;
constexpr int kLast = kPoints - 1;
constexpr float kRate = 128000;        // 32 ms = 4096 samples: one point per sample
constexpr double kRamp = 0.02 * kRate; // samples of a full de-click ramp

const Linear kRise{{-5, -5}, {5, 5}};
const Linear kPlateau{{-5, -5}, {-2.5, 5}, {2.5, 5}, {5, -5}};
// Up to 1, down to 0.5 at the sustain node (x = 0.5), down to 0.
const Linear kPeak{{-5, -5}, {-2.5, 5}, {0, 0}, {5, -5}};
const wchar_t* const kPeakText = L"(-5,-5)(-2.5,5)(0,0)(5,-5)";

// Env3 and Env4 share their first six pins; the others differ.
struct Layout
{
    const wchar_t* id;
    int bipolar; // -1: none
    int clip;
    int out;
};
constexpr Layout kEnv3{L"QW_ShapeEnv3", -1, 6, 7};
constexpr Layout kEnv4{L"QW_ShapeEnv4", 6, 7, 8};

class GatedEnv : public ::testing::Test
{
protected:
    enum Pin
    {
        GATE,
        SHAPE,
        TYPE,
        TIME,
        SUSTAIN,
        IN,
    };
    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> p;
    Layout layout{};

    void make(const Layout& l, const wchar_t* shape, int sustain = -1, float timeMs = 32)
    {
        layout = l;
        host.sampleRate = kRate;
        host.blockSize = 256;
        p = host.create(qwtest::bundle("shapekit"), l.id);
        p->startGraph();
        p->setBlob(SHAPE, blobOf(shape));
        p->setInt(SUSTAIN, sustain);
        p->setFloat(TIME, timeMs);
    }
    std::vector<float> run(int64_t n, int block = 64) { return play(*p, layout.out, n, block); }
};

TEST_F(GatedEnv, RunsThroughTheTableAndEndsInSilence)
{
    for (const Layout& l : {kEnv3, kEnv4})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(l.id));
        make(l, L"(-5,-5)(5,5)");
        p->setConstant(IN, 0.5f);
        p->setBool(GATE, true, 10);
        const auto out = run(4400);
        EXPECT_EQ(out[9], 0.0f);
        for (int j = 0; j < kPoints; ++j)
            ASSERT_NEAR(out[static_cast<size_t>(10 + j)], 0.5 * kRise.unipolarPoint(j, kPoints), 1e-5) << j;
        for (size_t i = 10 + kPoints; i < out.size(); ++i)
            ASSERT_EQ(out[i], 0.0f) << i;
        EXPECT_EQ(envtest::lastReport(*p, l.out, false), 10 + kPoints) << "static from the sample after the last point";
    }
}

// Between the last point and the end the table reads 0 (Env3) or the last
// value again (Env4).
TEST_F(GatedEnv, AfterTheLastPointEnv3ReadsZeroAndEnv4HoldsTheLastValue)
{
    for (const Layout& l : {kEnv3, kEnv4})
    {
        make(l, L"(-5,-5)(5,5)", -1, 64); // half a point per sample
        p->setBool(GATE, true);
        const auto out = run(8300);
        EXPECT_NEAR(out[2 * kLast], 1.0f, 1e-6);
        EXPECT_NEAR(out[2 * kLast + 1], l.bipolar < 0 ? 0.5f : 1.0f, 1e-6) << gmpi_sdk::toUtf8(l.id);
        EXPECT_EQ(out[2 * kPoints], 0.0f);
    }
}

TEST_F(GatedEnv, Env4PlaysBipolar)
{
    make(kEnv4, L"(-5,-5)(5,5)");
    p->setBool(kEnv4.bipolar, true);
    p->setConstant(IN, 2.0f);
    p->setBool(GATE, true);
    const auto out = run(4200);
    EXPECT_EQ(out[0], -2.0f);
    EXPECT_NEAR(out[2048], 2.0 * (2.0 * kRise.unipolarPoint(2048, kPoints) - 1.0), 1e-5);
    EXPECT_NEAR(out[kLast], 2.0f, 1e-5);
    EXPECT_EQ(out[kPoints], 0.0f);
}

// Env3 holds at the node's own position; Env4 at the table point nearest to
// the sustain level.
TEST_F(GatedEnv, SustainPositions)
{
    const double nodePos = 0.25 * kLast; // 1023.75
    for (const Layout& l : {kEnv3, kEnv4})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(l.id));
        make(l, L"(-5,-5)(-2.5,5)(2.5,5)(5,-5)", 1);
        p->setBool(GATE, true);
        const auto out = run(6000);
        const double held =
            l.bipolar < 0 ? kPlateau.unipolarAt(nodePos, kPoints) : kPlateau.unipolarPoint(1024, kPoints);
        EXPECT_NEAR(out.back(), held, 1e-6);
        EXPECT_NEAR(out[1023], kPlateau.unipolarPoint(1023, kPoints), 1e-6);
        // The release runs from there to the end at one point per sample.
        p->setBool(GATE, false);
        const auto rel = run(3200);
        const double from = l.bipolar < 0 ? nodePos : 1024;
        for (int k = 0; k < 3000; ++k)
            ASSERT_NEAR(rel[static_cast<size_t>(k)], kPlateau.unipolarAt(std::min(from + k, double(kLast)), kPoints),
                        1e-5)
                << k;
        EXPECT_EQ(rel.back(), 0.0f);
    }
}

TEST_F(GatedEnv, AReleaseAboveTheSustainLevelRampsDownInTwentyMilliseconds)
{
    make(kEnv3, kPeakText, 2);
    p->setBool(GATE, true);
    p->setBool(GATE, false, 800); // at 0.78, above the sustain level 0.5
    const auto out = run(800 + 3000 + 2100);
    const double from = kPeak.unipolarPoint(799, kPoints);
    EXPECT_NEAR(out[799], from, 1e-5);
    // One step per sample of (0.5 - from) / 2560, standing at the sustain point.
    for (int k = 0; k < static_cast<int>(kRamp) - 1; ++k)
        ASSERT_NEAR(out[static_cast<size_t>(800 + k)], from + (0.5 - from) * (k + 1) / kRamp, 1e-4) << k;
    // Then the release from the node's position.
    const int64_t rampEnd = 800 + static_cast<int64_t>(kRamp);
    // (The ramp may take one step more to pass its target: within a point.)
    for (int k = 1; k < 2000; ++k)
        ASSERT_NEAR(out[static_cast<size_t>(rampEnd + k)], kPeak.unipolarAt(0.5 * kLast + k - 1, kPoints), 5e-4) << k;
}

TEST_F(GatedEnv, AReleaseBelowTheSustainLevelGoesOnScaled)
{
    make(kEnv3, L"(-5,-5)(-2.5,5)(2.5,5)(5,-5)", 1);
    p->setBool(GATE, true);
    p->setBool(GATE, false, 500);
    const auto out = run(4000);
    const double level = out[499];
    const double sus = 1.0; // the node's level
    for (size_t i = 500; i < out.size(); ++i)
        ASSERT_LE(std::fabs(out[i] - out[i - 1]), 1.0 / 1023.75 + 1e-6) << i;
    EXPECT_NEAR(out[500], level / sus * kPlateau.unipolarAt(0.25 * kLast, kPoints), 1e-5);
    EXPECT_NEAR(out[500 + 3000], level / sus * kPlateau.unipolarAt(0.25 * kLast + 3000, kPoints), 1e-5);
}

TEST_F(GatedEnv, AGateWhileRunningRampsToTheStartLevelFirst)
{
    // Down: from the sustain level 1 to the start level 0 in 20 ms.
    make(kEnv3, L"(-5,-5)(-2.5,5)(2.5,5)(5,-5)", 1);
    p->setBool(GATE, true);
    p->setBool(GATE, false, 2000);
    p->setBool(GATE, true, 2100);
    auto out = run(2100 + 2560 + 200);
    const double from = out[2099];
    EXPECT_NEAR(from, 1.0, 1e-6);
    for (int k = 0; k < static_cast<int>(kRamp) - 1; ++k)
        ASSERT_NEAR(out[static_cast<size_t>(2100 + k)], from - from * (k + 1) / kRamp, 1e-4) << k;
    EXPECT_NEAR(out[2100 + 2560 + 100], kPlateau.unipolarPoint(99, kPoints), 2e-3) << "then the run starts again";

    // Up: a ramp upward ends after its first step.
    make(kEnv3, L"(-5,5)(5,-5)"); // falls from 1
    p->setBool(GATE, true);
    p->setBool(GATE, true, 1000); // again while running, at about 0.76
    out = run(1100);
    const double v = out[999];
    EXPECT_NEAR(out[1000], v + (1.0 - v) / kRamp, 1e-6);
    EXPECT_EQ(out[1001], 1.0f);
}

TEST_F(GatedEnv, ATimeChangeActsAtOnce)
{
    make(kEnv3, L"(-5,-5)(5,5)");
    p->setBool(GATE, true);
    p->setFloat(TIME, 16, 1000); // two points per sample from here
    const auto out = run(2600);
    EXPECT_NEAR(out[999], kRise.unipolarPoint(999, kPoints), 1e-5);
    EXPECT_NEAR(out[1000], kRise.unipolarPoint(1000, kPoints), 1e-5);
    EXPECT_NEAR(out[1001], kRise.unipolarPoint(1002, kPoints), 1e-5);
    EXPECT_EQ(out[1000 + 1548], 0.0f) << "ended at phase 4096";
}

TEST_F(GatedEnv, AClipChangeAloneRebuildsTheTable)
{
    for (const Layout& l : {kEnv3, kEnv4})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(l.id));
        make(l, L"(-5,-5)(-4,5)(-3,5)(5,-5)");
        p->setInt(TYPE, 20); // the second segment overshoots above 1
        auto peak = [this] {
            p->setBool(GATE, true);
            const auto out = run(4200);
            p->setBool(GATE, false);
            return *std::max_element(out.begin(), out.end());
        };
        EXPECT_GT(peak(), 1.01f);
        p->setBool(l.clip, true);
        EXPECT_EQ(peak(), 1.0f);
        p->setBool(l.clip, false);
        EXPECT_GT(peak(), 1.01f);
    }
}

// QW_ShapeEnv2: the gate is audio, read sample by sample.
class Env2 : public ::testing::Test
{
protected:
    enum Pin
    {
        SHAPE,
        TYPE,
        TIME,
        GATE,
        SUSTAIN,
        IN,
        OUT,
    };
    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> p;

    // The shape blob's bytes as the text value the pin carries.
    static std::wstring asText(const std::vector<uint8_t>& blob)
    {
        std::wstring t(blob.size() / 4, L'\0');
        std::memcpy(&t[0], blob.data(), t.size() * 4);
        return t;
    }
    void make(const wchar_t* shape, int sustain = -1, int block = 256)
    {
        host.sampleRate = kRate;
        host.blockSize = block;
        p = host.create(qwtest::bundle("shapekit"), L"QW_ShapeEnv2");
        p->startGraph();
        p->setText(SHAPE, asText(blobOf(shape)));
        p->setInt(SUSTAIN, sustain);
        p->setFloat(TIME, 32);
    }
    std::vector<float> run(int64_t n, int block = 64) { return play(*p, OUT, n, block); }
};

TEST_F(Env2, AGateAtAnExactSampleRunsTheShapeOnce)
{
    make(L"(-5,-5)(5,5)");
    p->setConstant(IN, 0.5f);
    p->setConstant(GATE, 1.0f, 37);
    const auto out = run(4400);
    EXPECT_EQ(out[36], 0.0f);
    for (int j = 0; j < kPoints; ++j)
        ASSERT_NEAR(out[static_cast<size_t>(37 + j)], 0.5 * kRise.unipolarPoint(j, kPoints), 1e-5) << j;
    for (size_t i = 37 + kPoints; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0.0f) << i;
    EXPECT_EQ(envtest::lastReport(*p, OUT, false), 37 + kPoints) << "idle from that sample";
}

TEST_F(Env2, AFallingGateCrossfadesToTheSustainLevelThenReleases)
{
    make(kPeakText, 2);
    p->setConstant(GATE, 1.0f);
    p->setConstant(GATE, 0.0f, 800); // at 0.78, above the sustain level 0.5
    const auto out = run(800 + 500 + 2100);
    const double held = out[799];
    EXPECT_NEAR(held, kPeak.unipolarPoint(799, kPoints), 1e-5);
    for (int k = 0; k < 500; ++k)
        ASSERT_NEAR(out[static_cast<size_t>(800 + k)], (500.0 - k) / 500 * held + k / 500.0 * 0.5, 1e-5) << k;
    // Then the phase jumps to the node's position and runs on.
    for (int k = 0; k < 2000; ++k)
        ASSERT_NEAR(out[static_cast<size_t>(1300 + k)], kPeak.unipolarAt(0.5 * kLast + k, kPoints), 1e-4) << k;
}

TEST_F(Env2, ARisingGateWhileRunningGoesOnFromTheCurrentLevel)
{
    make(kPeakText, 2); // held just below the sustain level 0.5, so the release is scaled
    p->setConstant(GATE, 1.0f);
    p->setConstant(GATE, 0.0f, 3000);
    p->setConstant(GATE, 1.0f, 4000); // on the release, near 0.26
    const auto out = run(6000);
    const float level = out[3999];
    ASSERT_GT(level, 0.2f);
    ASSERT_LT(level, 0.3f);
    // From the first point of the attack that reaches the level.
    EXPECT_GE(out[4000], level);
    EXPECT_LT(out[4000] - level, 1.0 / 1023.75 + 1e-6);
    EXPECT_NEAR(out[4001] - out[4000], 1.0 / 1023.75, 1e-5);
    // Up to 1 and down to the sustain point again.
    EXPECT_NEAR(out.back(), kPeak.unipolarPoint(2048, kPoints), 1e-6);
}

// A retrigger takes the first point at or above the level, earlier than
// where the shape passes the level again.
TEST_F(Env2, ARisingGateTakesTheFirstPointAtTheLevelBeforeADip)
{
    // Up to 0.8, down to 0.1, up to 1.
    const Linear dip{{-5, -5}, {-2.5, 3}, {0, -4}, {5, 5}};
    make(L"(-5,-5)(-2.5,3)(0,-4)(5,5)");
    p->setConstant(GATE, 1.0f);
    p->setConstant(GATE, 0.0f, 1500); // on the way down, near 0.47
    p->setConstant(GATE, 1.0f, 1501);
    const auto out = run(3000);
    const double level = out[1500];
    ASSERT_NEAR(level, dip.unipolarPoint(1500, kPoints), 1e-5);
    int first = 0;
    while (dip.unipolarPoint(first, kPoints) < level)
        ++first;
    ASSERT_LT(first, 1024) << "on the first rise";
    for (int j = 0; j < 1000; ++j)
        ASSERT_NEAR(out[static_cast<size_t>(1501 + j)], dip.unipolarPoint(first + j, kPoints), 1e-5) << j;
}

// A level that a plateau holds: the run goes on from the plateau's first
// point, so the plateau lasts its full length again.
TEST_F(Env2, ARisingGateOnAPlateauGoesOnFromItsFirstPoint)
{
    make(L"(-5,-5)(-2.5,5)(2.5,5)(5,-5)"); // 1 from x = 0.25 (point 1024) to 0.75 (point 3071)
    p->setConstant(GATE, 1.0f);
    p->setConstant(GATE, 0.0f, 2000);
    p->setConstant(GATE, 1.0f, 2001);
    const auto out = run(4400);
    ASSERT_EQ(out[2000], 1.0f);
    for (int j = 0; j <= 3071 - 1024; ++j)
        ASSERT_EQ(out[static_cast<size_t>(2001 + j)], 1.0f) << j;
    for (int j = 3072 - 1024; j < 2399; ++j)
        ASSERT_NEAR(out[static_cast<size_t>(2001 + j)], kPlateau.unipolarPoint(1024 + j, kPoints), 1e-5) << j;
}

TEST_F(Env2, AStreamingGateActsAtItsSampleWhateverTheBlockSize)
{
    std::vector<float> reference;
    for (int block : {1, 7, 64, 256})
    {
        SCOPED_TRACE(block);
        make(L"(-5,0)(5,5)", -1, 256);
        p->setStreaming(GATE, true);
        std::vector<float> out;
        for (int64_t done = 0; done < 6000;)
        {
            const int n = static_cast<int>(std::min<int64_t>(block, 6000 - done));
            for (int i = 0; i < n; ++i)
            {
                const int64_t t = done + i;
                p->input(GATE)[i] = (t >= 100 && t < 1500) || t >= 2000 ? 1.0f : -1.0f;
            }
            p->run(n);
            out.insert(out.end(), p->output(OUT), p->output(OUT) + n);
            done += n;
        }
        EXPECT_EQ(out[99], 0.0f);
        EXPECT_EQ(out[100], 0.5f);
        if (reference.empty())
            reference = out;
        else
            EXPECT_EQ(out, reference);
    }
}
} // namespace
