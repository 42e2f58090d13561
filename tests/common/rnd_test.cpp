// The shared random-number step and its conversions against values worked
// out by hand from the step's constants.
#include "qw_rnd.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace
{
using namespace qw::rnd;

TEST(Rnd, StepAndFloatConversionsFromStateZero)
{
    const uint32_t s = step(0);
    EXPECT_EQ(s, 1013904223u);
    EXPECT_EQ(s, 0x3C6EF35Fu);
    // Mantissa 0x6EF35F = 7271263 over 2^23.
    EXPECT_FLOAT_EQ(unit(s), 0.8668021f);
    EXPECT_EQ(unit(s), 7271263.0f / 8388608.0f);
    EXPECT_FLOAT_EQ(bipolar(s), 0.7336042f);
    EXPECT_FLOAT_EQ(halfBipolar(s), 0.3668021f);
    EXPECT_EQ(step(s), 1196435762u);

    RndIterator g(0);
    EXPECT_EQ(g.next(), 1013904223u);
    EXPECT_EQ(g.next(), 1196435762u);
    EXPECT_EQ(g.state(), 1196435762u);
}

TEST(Rnd, FloatRangesAtTheMantissaEnds)
{
    EXPECT_EQ(unit(0), 0.0f);
    EXPECT_EQ(unit(0xFF800000u), 0.0f) << "only the low 23 bits count";
    EXPECT_EQ(unit(0x7FFFFF), 1.0f - 1.0f / 8388608.0f);
    EXPECT_EQ(bipolar(0), -1.0f);
    EXPECT_LT(bipolar(0x7FFFFF), 1.0f);
    EXPECT_EQ(halfBipolar(0), -0.5f);
    EXPECT_EQ(bits31(0xFFFFFFFFu), 0x7FFFFFFFu);
}

TEST(Rnd, IntegersFromTheHighBits)
{
    const uint32_t s = 0x3C6EF35Fu;
    // 1013904223 x 6 / 2^32 = 1.416...: the second of six.
    EXPECT_EQ(integer(s, 1, 6), 2);
    EXPECT_EQ(integer(s, 6, 1), 2) << "swapped bounds";
    // The full 32-bit range: INT_MIN + the state itself.
    EXPECT_EQ(integer(s, INT_MIN, INT_MAX), -1133579425);
    EXPECT_EQ(integer(s, INT_MAX, INT_MIN), -1133579425);
    for (uint32_t state : {0u, 1u, 0x80000000u, 0xFFFFFFFFu})
    {
        EXPECT_EQ(integer(state, 7, 7), 7) << "equal bounds";
        EXPECT_EQ(integer(state, INT_MIN, INT_MIN), INT_MIN);
        EXPECT_EQ(integer(state, INT_MAX, INT_MAX), INT_MAX);
    }
    EXPECT_EQ(integer(0, -3, 3), -3);
    EXPECT_EQ(integer(0xFFFFFFFFu, -3, 3), 3);
    EXPECT_EQ(integer(0xFFFFFFFFu, INT_MIN, INT_MAX), INT_MAX);
}

TEST(Rnd, TwoValuedDrawsDoNotAlternate)
{
    RndIterator g(12345);
    int ones = 0, repeats = 0, previous = -1;
    for (int i = 0; i < 10000; ++i)
    {
        const int v = g.nextInteger(0, 1);
        ASSERT_TRUE(v == 0 || v == 1);
        ones += v;
        repeats += v == previous;
        previous = v;
    }
    EXPECT_GT(repeats, 4000) << "a strictly alternating sequence never repeats";
    EXPECT_NEAR(ones, 5000, 300);
}

TEST(Rnd, FixedSeedOfTheChorusPattern)
{
    RndIterator g(1991);
    EXPECT_EQ(g.next31(), 33006202u);
    EXPECT_EQ(g.next31(), 1588121489u);
}

TEST(Rnd, TwoSystemSeededIteratorsDiffer)
{
    RndIterator a, b;
    EXPECT_NE(a.state(), b.state());
    EXPECT_NE(a.next(), b.next());
}
} // namespace
