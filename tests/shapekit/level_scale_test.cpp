// Level scales: linear ranges, and decibel scales with a floor.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "qw_shape.h"

namespace
{

using LS = qw::LevelScale;
const float kMinusInf = -std::numeric_limits<float>::infinity();

// Decibel scale value worked out in double: linear from 0 to 1 up to the
// floor level, then one unit per 10 dB.
double dbScale(double x, double floorDb)
{
    const double l0 = std::pow(10.0, floorDb / 20);
    return x < l0 ? x / l0 : 1 + (20 * std::log10(x) - floorDb) / 10;
}

TEST(LevelScale, DecibelWithFloor)
{
    const LS s(LS::kDecibel, kMinusInf, 0.f, -60.f);
    EXPECT_NEAR(s.upper, 1.0, 1e-6);
    EXPECT_EQ(s.lower, 0.f);
    EXPECT_NEAR(s.threshold, 0.001, 1e-9);
    EXPECT_NEAR(s.invThreshold, 1000.0, 1e-3);
    EXPECT_EQ(s.mappedLower, 0.f);
    EXPECT_NEAR(s.mappedRange, 7.0, 1e-5);
    EXPECT_EQ(s.floorDbMinus10, -70.f);
    EXPECT_FLOAT_EQ(s.floorOffset, -7.f);

    struct Point
    {
        float level;
        double position;
    };
    const Point points[] = {{0.f, 0.0},       {0.0005f, 0.5 / 7}, {0.001f, 1.0 / 7},
                            {0.01f, 3.0 / 7}, {0.1f, 5.0 / 7},    {0.5f, (7 - 20 * std::log10(2.0) / 10) / 7},
                            {1.f, 1.0}};
    for (const Point& p : points)
        EXPECT_NEAR(s.normalised(p.level), p.position, 1e-5) << p.level;
    // Above the top the position goes on rising.
    EXPECT_NEAR(s.normalised(10.f), 9.0 / 7, 1e-5);
}

TEST(LevelScale, DecibelRangesAgainstWorkedValues)
{
    struct Case
    {
        float topDb, floorDb;
    };
    for (const Case c : {Case{0, -60}, Case{-6, -40}, Case{12, -96}, Case{-20, -120}})
    {
        const LS s(LS::kDecibel, kMinusInf, c.topDb, c.floorDb);
        const double top = std::pow(10.0, c.topDb / 20.0);
        EXPECT_NEAR(s.upper, top, top * 1e-6);
        for (double x = 1e-7; x < 5; x *= 1.37)
        {
            const double expected = dbScale(x, c.floorDb) / dbScale(top, c.floorDb);
            ASSERT_NEAR(s.normalised(static_cast<float>(x)), expected, 2e-5) << x << " top " << c.topDb;
            ASSERT_NEAR(s.scaleValue(static_cast<float>(x)), dbScale(x, c.floorDb), 2e-5 * dbScale(top, c.floorDb));
        }
    }
}

TEST(LevelScale, DecibelRoundTrip)
{
    for (const float floorDb : {-60.f, -90.f, -24.f})
    {
        const LS s(LS::kDecibel, kMinusInf, -3.f, floorDb);
        for (double x = 1e-6; x < 2; x *= 1.1)
        {
            const float v = static_cast<float>(x);
            const float p = s.normalised(v);
            ASSERT_NEAR(s.levelFromNormalised(p), v, v * 2e-5) << v << " floor " << floorDb;
            ASSERT_NEAR(s.levelFromScale(s.scaleValue(v)), v, v * 2e-5) << v;
        }
        EXPECT_EQ(s.levelFromNormalised(0.f), 0.f);
        EXPECT_NEAR(s.levelFromNormalised(1.f), s.upper, s.upper * 2e-5);
        // And the other way: positions spread over 0..1 come back.
        for (float p = 0.f; p <= 1.f; p += 0.0625f)
            ASSERT_NEAR(s.normalised(s.levelFromNormalised(p)), p, 2e-5);
    }
}

TEST(LevelScale, InverseOfTheScaleValue)
{
    const LS s(LS::kDecibel, kMinusInf, 0.f, -60.f);
    EXPECT_FLOAT_EQ(s.levelFromScale(0.5f), 0.0005f);
    EXPECT_NEAR(s.levelFromScale(1.f), 0.001, 1e-8);
    EXPECT_NEAR(s.levelFromScale(3.f), 0.01, 1e-7);
    EXPECT_NEAR(s.levelFromScale(7.f), 1.0, 1e-6);
    // The exponent is limited to 128: infinity, never a wrapped value.
    EXPECT_EQ(s.levelFromScale(1e30f), std::numeric_limits<float>::infinity());
}

TEST(LevelScale, FloorIsLimitedAndTheMappingStaysFinite)
{
    const LS s(LS::kDecibel, kMinusInf, 0.f, -5000.f);
    EXPECT_EQ(s.floorDb, -1000.f);
    EXPECT_GT(s.threshold, 0.f);
    EXPECT_TRUE(std::isfinite(s.invThreshold));
    for (float v : {0.f, 1e-30f, 1e-10f, 0.001f, 0.5f, 1.f})
    {
        const float p = s.normalised(v);
        EXPECT_TRUE(std::isfinite(p)) << v;
        EXPECT_GE(p, 0.f);
        EXPECT_LE(p, 1.f + 1e-6f);
    }
    EXPECT_EQ(s.normalised(0.f), 0.f);
    EXPECT_NEAR(s.normalised(1.f), 1.0, 1e-6);
    EXPECT_NEAR(s.levelFromNormalised(s.normalised(1e-10f)), 1e-10, 1e-14);
}

TEST(LevelScale, EmptyRangesMapToZero)
{
    // A top of minus infinity dB is level 0: nothing to map onto.
    const LS d(LS::kDecibel, kMinusInf, kMinusInf, -60.f);
    EXPECT_EQ(d.upper, 0.f);
    EXPECT_EQ(d.normalised(0.5f), 0.f);
    EXPECT_EQ(d.levelFromNormalised(0.5f), 0.f);
    const LS l(LS::kLinear, 0.f, 0.f, -60.f);
    EXPECT_EQ(l.invRange, 0.f);
    EXPECT_EQ(l.normalised(0.5f), 0.f);
    const LS neg(LS::kLinear, 0.f, -3.f, -60.f); // upper is at least 0
    EXPECT_EQ(neg.upper, 0.f);
    const LS nan(LS::kLinear, 0.f, NAN, -60.f);
    EXPECT_EQ(nan.upper, 0.f);
    const LS nanDb(LS::kDecibel, kMinusInf, NAN, NAN);
    EXPECT_EQ(nanDb.upper, 0.f);
    EXPECT_EQ(nanDb.floorDb, -1000.f);
    EXPECT_TRUE(std::isnan(nanDb.levelFromScale(NAN)));
}

TEST(LevelScale, Linear)
{
    const LS def;
    EXPECT_EQ(def.type, LS::kLinear);
    EXPECT_EQ(def.floorDb, -60.f);
    EXPECT_EQ(def.upper, 1.f);
    EXPECT_EQ(def.invRange, 1.f);
    EXPECT_EQ(def.normalised(0.3f), 0.3f);

    const LS s(LS::kLinear, 5.f, 4.f, -60.f); // lower is always 0
    EXPECT_EQ(s.lower, 0.f);
    EXPECT_EQ(s.range, 4.f);
    EXPECT_EQ(s.normalised(1.f), 0.25f);
    EXPECT_EQ(s.levelFromNormalised(0.75f), 3.f);
    EXPECT_EQ(s.scaleValue(2.5f), 2.5f);
    EXPECT_EQ(s.threshold, 0.f);
    EXPECT_EQ(s.mappedRange, 0.f);
}

TEST(LevelScale, LogLikeUpper)
{
    for (double u : {1.0, 0.5, 2.0, 0.0})
    {
        const LS s(LS::kLogLike, 0.f, static_cast<float>(u), -60.f);
        const double v = 0.94923425 * u + 0.050765775;
        const double expected = std::max(0.0, 1 + 0.23255815 * std::log2(v));
        EXPECT_NEAR(s.upper, expected, 1e-6) << u;
    }
    // 0 maps to 0 and 1 to 1.
    EXPECT_NEAR(LS(LS::kLogLike, 0.f, 1.f, -60.f).upper, 1.0, 1e-6);
    EXPECT_NEAR(LS(LS::kLogLike, 0.f, 0.f, -60.f).upper, 0.0, 1e-5);
    EXPECT_EQ(LS(LS::kLogLike, 0.f, -1.f, -60.f).upper, 0.f);
}

} // namespace
