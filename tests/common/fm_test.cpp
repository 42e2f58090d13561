// Fast maths: a table of reference values, and sweeps against double-precision maths.
//
// The largest errors in the table at the top of qw_fm.h are those of each formula;
// evaluated in 32-bit floats, as the functions are, a little rounding comes on
// top. Each sweep allows exactly that much and says where it comes from.
#include "qw_fm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <limits>
#include <string>

using namespace qw::fm;

namespace
{
constexpr double kTwoPi = 6.283185307179586;
constexpr double kHalfUlpAt1 = 5.9604644775390625e-8; // 2^-24
const float kInf = std::numeric_limits<float>::infinity();

uint32_t bitsOf(float x)
{
    uint32_t b;
    std::memcpy(&b, &x, 4);
    return b;
}

// Half a unit in the last place of a float of magnitude r.
double halfUlp(double r)
{
    if (r == 0.0)
        return std::ldexp(1.0, -150);
    return std::ldexp(1.0, std::ilogb(r) - 24);
}

// Distance of two angles in turns, across the wrap at 1.
double turnDistance(double a, double b)
{
    double d = std::fabs(a - b);
    d -= std::floor(d);
    return std::min(d, 1.0 - d);
}

struct Spot
{
    const char* what;
    float got;
    double expected;
    double tolerance; // absolute; 0 = exactly
};

TEST(FastMaths, ReferenceValues)
{
    // Reference values of each formula worked out in exact arithmetic; the
    // 32-bit evaluation may differ in the last digits (within the tolerance).
    const Spot spots[] = {
        {"exp2Fast(0)", exp2Fast(0.0f), 0.99999887, 2e-6},
        {"exp2Fast(1)", exp2Fast(1.0f), 1.9999977, 4e-6},
        {"exp2Fast(-1)", exp2Fast(-1.0f), 0.50000978, 2e-6},
        {"exp2Fast(-500)", exp2Fast(-500.0f), 1.1755e-38, 1e-42},
        {"exp2Acc(0)", exp2Acc(0.0f), 1.0, 0},
        {"exp2Acc(-1)", exp2Acc(-1.0f), 0.5, 0},
        {"exp2Acc(10)", exp2Acc(10.0f), 1024.0, 0},
        {"exp2Acc(-200)", exp2Acc(-200.0f), 0.0, 0},
        {"exp2Acc(-127)", exp2Acc(-127.0f), 0.0, 0},
        {"exp2Acc(NaN)", exp2Acc(std::nanf("")), 0.0, 0},
        {"log2Fast(1)", log2Fast(1.0f), 2e-8, 3e-8},
        {"log2Fast(2)", log2Fast(2.0f), 1.0, 0},
        {"log2Fast(3)", log2Fast(3.0f), 1.5833, 5e-5},
        {"log2Acc(1)", log2Acc(1.0f), 9e-7, 1e-7},
        {"log2Acc(3)", log2Acc(3.0f), 1.5849625, 2e-7},
        {"cosTurns(0)", cosTurns(0.0f), 1.0000001, 2e-7},
        {"cosTurns(0.25)", cosTurns(0.25f), 0.0, 2e-7},
        {"cosTurns(0.5)", cosTurns(0.5f), -1.0, 2e-7},
        {"sinTurns(0.25)", sinTurns(0.25f), 1.0, 0},
        {"sinTurns(0.75)", sinTurns(0.75f), -1.0, 0},
        {"atan2Turns(1, 0)", atan2Turns(1.0f, 0.0f), 0.25, 0},
        {"atan2Turns(0, -1)", atan2Turns(0.0f, -1.0f), 0.5, 0},
        {"atan2Turns(-1, 0)", atan2Turns(-1.0f, 0.0f), 0.75, 0},
        {"atan2Turns(1, 1)", atan2Turns(1.0f, 1.0f), 0.125, 0},
        {"atan2Turns(0, 0)", atan2Turns(0.0f, 0.0f), 0.0, 0},
    };
    for (const Spot& s : spots)
    {
        if (s.tolerance == 0)
            EXPECT_EQ(static_cast<double>(s.got), s.expected) << s.what;
        else
            EXPECT_NEAR(s.got, s.expected, s.tolerance) << s.what;
    }
    EXPECT_EQ(exp2Acc(200.0f), kInf);
    EXPECT_EQ(exp2Acc(128.0f), kInf);
    EXPECT_EQ(log2Acc(0.0f), -kInf);
    EXPECT_EQ(log2Acc(-3.0f), -kInf);
}

TEST(FastMaths, SineAndCosineRepeatForNegativePhases)
{
    for (int k = -64; k < 64; ++k)
    {
        const float x = k / 64.0f; // exact, and exact after shifting by whole turns
        for (int turns = 1; turns <= 3; ++turns)
        {
            EXPECT_EQ(bitsOf(sinTurns(x - turns)), bitsOf(sinTurns(x))) << x;
            EXPECT_EQ(bitsOf(cosTurns(x - turns)), bitsOf(cosTurns(x))) << x;
        }
    }
}

// Largest |error| of f over n points spread over [lo, hi).
double sweep(double lo, double hi, int n, const std::function<double(float)>& error, float* where)
{
    double worst = 0;
    for (int i = 0; i < n; ++i)
    {
        const float x = static_cast<float>(lo + (hi - lo) * (i + 0.5) / n);
        const double e = error(x);
        if (!(e <= worst))
        {
            worst = e;
            *where = x;
        }
    }
    return worst;
}

TEST(FastMaths, Exp2FastRelativeError)
{
    // Formula 5.2e-5; v = x + ... is held in a float with 16 fraction bits at
    // the top of the range and rounded four times: 2^-15 in v, 2^-15 ln 2 in 2^v.
    const double bound = 5.2e-5 + std::ldexp(1.0, -15) * std::log(2.0);
    float at = 0;
    const double worst = sweep(
        -126.0, 128.0, 3000000, [](float x) { return std::fabs(exp2Fast(x) / std::exp2(double(x)) - 1); }, &at);
    EXPECT_LE(worst, bound) << "at x = " << at;
}

TEST(FastMaths, Exp2AccRelativeError)
{
    // Formula and final rounding 6e-8; the 32-bit Horner steps add half an ulp of p.
    const double bound = 6e-8 + kHalfUlpAt1;
    float at = 0;
    const double worst = sweep(
        -126.0, 128.0, 3000000, [](float x) { return std::fabs(exp2Acc(x) / std::exp2(double(x)) - 1); }, &at);
    EXPECT_LE(worst, bound) << "at x = " << at;
    // Between -127 and -126 the result is subnormal: right to within the smallest normal.
    const double sub = sweep(
        -127.0, -126.0, 10000, [](float x) { return std::fabs(exp2Acc(x) - std::exp2(double(x))); }, &at);
    EXPECT_LT(sub, std::ldexp(1.0, -126)) << "at x = " << at;
}

TEST(FastMaths, Log2FastAbsoluteError)
{
    double worst = 0;
    float at = 0;
    for (float x = 1e-37f; x < 3e38f; x *= 1.0000123f)
    {
        const double e = std::fabs(log2Fast(x) - std::log2(double(x)));
        if (e > worst)
        {
            worst = e;
            at = x;
        }
    }
    EXPECT_LE(worst, 0.0098) << "at x = " << at;
}

TEST(FastMaths, Log2AccAbsoluteError)
{
    // Formula 1e-6; the division rounds (2^-24 near 1) and so does the sum with
    // the exponent (half an ulp of the result).
    double worst = 0;
    float at = 0;
    for (float x = 1e-37f; x < 3e38f; x *= 1.0000123f)
    {
        const double r = std::log2(double(x));
        const double e = std::fabs(log2Acc(x) - r) - halfUlp(r);
        if (e > worst)
        {
            worst = e;
            at = x;
        }
    }
    EXPECT_LE(worst, 1e-6 + kHalfUlpAt1) << "at x = " << at;
}

TEST(FastMaths, LogarithmsOfSubnormalsAndLimits)
{
    // A subnormal is as much in the domain as any other positive number.
    for (int e = 127; e <= 149; ++e)
    {
        const float x = std::ldexp(1.0f, -e) * 1.5f;
        const double r = std::log2(double(x));
        EXPECT_NEAR(log2Acc(x), r, 1e-6 + halfUlp(r) + kHalfUlpAt1) << "2^-" << e << " * 1.5";
        EXPECT_NEAR(log2Fast(x), r, 0.0098) << "2^-" << e << " * 1.5";
    }
    EXPECT_EQ(log2Acc(kInf), kInf);
    EXPECT_TRUE(std::isnan(log2Acc(std::numeric_limits<float>::quiet_NaN())));
}

TEST(FastMaths, SineAndCosineAbsoluteError)
{
    struct Case
    {
        const char* name;
        float (*f)(float);
        double (*ref)(double);
        double stated;
    };
    const Case cases[] = {
        {"sinTurns", &sinTurns, [](double x) { return std::sin(kTwoPi * x); }, 8e-8},
        {"cosTurns", &cosTurns, [](double x) { return std::cos(kTwoPi * x); }, 1.8e-7},
    };
    for (const Case& c : cases)
    {
        // Where folding the phase is exact (x - k in [0.25, 0.375] or
        // [0.625, 0.75], with |x| >= 1 when k < 0) only the polynomial's own
        // rounding adds: half an ulp of 1.
        float at = 0;
        double worst = 0;
        for (int k : {-3, -2, 0, 1, 2})
            for (double lo : {0.25, 0.625})
            {
                float here = 0;
                const double e = sweep(
                    k + lo, k + lo + 0.125, 200000, [&](float x) { return std::fabs(c.f(x) - c.ref(x)); }, &here);
                if (e > worst)
                {
                    worst = e;
                    at = here;
                }
            }
        EXPECT_LE(worst, c.stated + kHalfUlpAt1) << c.name << " at x = " << at;

        // Elsewhere the fold rounds the phase by up to 2^-24 turns (2 pi 2^-24 in the value).
        worst = sweep(
            -3.0, 3.0, 4000000, [&](float x) { return std::fabs(c.f(x) - c.ref(x)); }, &at);
        EXPECT_LE(worst, c.stated + kHalfUlpAt1 + kTwoPi * std::ldexp(1.0, -24)) << c.name << " at x = " << at;
    }
}

TEST(FastMaths, SineAndCosineTogetherGiveTheSameNumbers)
{
    for (int i = 0; i < 200000; ++i)
    {
        const float x = -2.0f + i * 2e-5f;
        float s, c;
        sinCosTurns(x, s, c);
        ASSERT_EQ(bitsOf(s), bitsOf(sinTurns(x))) << x;
        ASSERT_EQ(bitsOf(c), bitsOf(cosTurns(x))) << x;
    }
}

TEST(FastMaths, AngleOfAPoint)
{
    // Formula 3.7e-7 turns; the final sum rounds by up to half an ulp of 1.
    const double bound = 3.7e-7 + kHalfUlpAt1;
    for (double radius : {1e-30, 1e-3, 1.0, 3.0, 1e30})
    {
        double worst = 0;
        int at = 0;
        const int n = 1000000;
        for (int i = 0; i < n; ++i)
        {
            const double a = kTwoPi * i / n;
            const float y = static_cast<float>(radius * std::sin(a));
            const float x = static_cast<float>(radius * std::cos(a));
            const float got = atan2Turns(y, x);
            ASSERT_GE(got, 0.0f) << y << ", " << x;
            ASSERT_LT(got, 1.0f) << y << ", " << x;
            double ref = std::atan2(double(y), double(x)) / kTwoPi;
            if (ref < 0)
                ref += 1;
            const double e = turnDistance(got, ref);
            if (e > worst)
            {
                worst = e;
                at = i;
            }
        }
        EXPECT_LE(worst, bound) << "radius " << radius << " at step " << at;
    }
}

TEST(FastMaths, AngleJustBelowAFullTurnStaysBelowOne)
{
    // Points just below the positive x axis lie a hair under one turn, which
    // rounds to 1 in a float; the angle wraps to 0 instead.
    for (float y : {-1e-30f, -1e-9f, -3e-8f, -1e-7f})
    {
        const float a = atan2Turns(y, 1.0f);
        EXPECT_GE(a, 0.0f) << y;
        EXPECT_LT(a, 1.0f) << y;
        EXPECT_LE(turnDistance(a, 1.0 + std::atan2(double(y), 1.0) / kTwoPi), 3.7e-7 + kHalfUlpAt1) << y;
    }
}

TEST(FastMaths, ComplexPairIsTwoPackedFloats)
{
    static_assert(sizeof(fcmpl) == 8);
    const fcmpl a{1.5f, -2.0f};
    const fcmpl b{0.25f, 4.0f};
    EXPECT_EQ(a + b, fcmpl(1.75f, 2.0f));
    EXPECT_EQ(a - b, fcmpl(1.25f, -6.0f));
    EXPECT_EQ(a * 2.0f, fcmpl(3.0f, -4.0f));
    EXPECT_EQ(a * b, fcmpl(1.5f * 0.25f + 8.0f, 6.0f - 0.5f));
    fcmpl pair[2] = {a, b};
    float raw[4];
    std::memcpy(raw, pair, sizeof pair);
    EXPECT_EQ(raw[0], 1.5f); // left, then right
    EXPECT_EQ(raw[1], -2.0f);
    EXPECT_EQ(raw[2], 0.25f);
}
} // namespace
