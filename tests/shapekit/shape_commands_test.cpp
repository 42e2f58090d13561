// qwhost run with the shape oscillator and the shape tools: a triangle to a
// WAV file, fitted shapes printed as shape texts, and --dup.
#include "WavFile32.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace
{
using ShapeCommands = qwtest::CommandTest;

TEST_F(ShapeCommands, TriangleToWav)
{
    const std::string out = file("tri.wav");
    const auto r = qwhost({"run", QW_BUNDLE_DIR "/shapekit.so", "QW_ShapeOsc2", "--pin", "On=1", "--pin",
                           "Shape=(-5,-5)(0,5)(5,-5)", "--pin", "Law=1", "--pin", "Pitch=0.5",
                           // without these the run feeds its sweep into the modulation inputs too
                           "--pin", "Phase Mod Depth=0", "--pin", "Feedback=0", "--out", out});
    ASSERT_EQ(0, r.code) << r.err;
    qw::WavFile32 wav;
    ASSERT_TRUE(wav._loadWav(std::filesystem::path(out).wstring())) << out;
    ASSERT_EQ(1, wav.channels);
    const std::vector<float>& y = wav.data[0];
    ASSERT_EQ(44100u, y.size());
    // A triangle from -0.5 up to 0.5 and back, 440 times a second: the
    // 256-entry table (entry i at x = i / 255, halved) read linearly at the
    // phase that float steps of 440 x 256 / rate reach, entry 255 wrapping to 0.
    auto table = [](int i) {
        const double x = static_cast<double>(i) / 255.0;
        return x < 0.5 ? -0.5 + 2.0 * x : 1.5 - 2.0 * x;
    };
    float lo = 1, hi = -1;
    const float inc = 440.0f * (256.0f / 44100.0f);
    float phase = 0.0f;
    for (size_t t = 0; t < y.size(); ++t)
    {
        const double p = phase;
        phase += inc;
        if (phase >= 256.0f)
            phase -= 256.0f;
        const int i = static_cast<int>(p);
        const double want = table(i) + (p - i) * (table((i + 1) & 255) - table(i));
        ASSERT_NEAR(want, y[t], 1e-3) << t;
        lo = std::min(lo, y[t]);
        hi = std::max(hi, y[t]);
    }
    EXPECT_NEAR(-0.5, lo, 0.01);
    EXPECT_NEAR(0.5, hi, 0.01);
}

TEST_F(ShapeCommands, FitPrintsTheShapeText)
{
    const auto r = qwhost({"run", QW_BUNDLE_DIR "/shapekit.so", "QW_ShapeFit", "--pin", "Shape=(-5,-5)(0,5)(5,-5)",
                           "--pin", "Low=-2.5", "--pin", "High=2.5"});
    ASSERT_EQ(0, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("(-5,-2.5)(0,2.5)(5,-2.5)")) << r.out;
}

TEST_F(ShapeCommands, DupMakesTheCopiesOfAnInput)
{
    // Five levels: nodes at X = -5, -2.5, 0, 2.5, 5; level 3 at 5.
    const auto r = qwhost({"run", QW_BUNDLE_DIR "/shapekit.so", "QW_RegularShapeGen", "--dup", "5", "--pin",
                           "Level 3=5", "--seconds", "0.01"});
    ASSERT_EQ(0, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("(-5,0)(-2.5,0)(0,5)(2.5,0)(5,0)")) << r.out;
    const auto bad = qwhost({"run", QW_BUNDLE_DIR "/shapekit.so", "QW_RegularShapeGen", "--dup", "-1"});
    EXPECT_EQ(2, bad.code);
    const auto none =
        qwhost({"run", QW_BUNDLE_DIR "/shapekit.so", "QW_RegularShapeGen", "--dup", "5", "--pin", "Level 6=1"});
    EXPECT_EQ(2, none.code) << none.out;
}
} // namespace
