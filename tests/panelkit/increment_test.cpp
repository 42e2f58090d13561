// Steppers and accumulators on interface pins, under every echo of the host:
// wrapping and clamping for integers (in 64 bits, the span of 32 included)
// and floats (loops that end), trigger polarity, the integer accumulator's
// kept fraction, and deltas or steps of 0 and NaN that change nothing.
#include "arith_rows.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace
{
using namespace arith;

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// Stepper pins: value, minimum, maximum, step, wrap, polarity, increment,
// decrement.
constexpr int kValue = 0, kMin = 1, kMax = 2, kStep = 3, kWrap = 4, kPolarity = 5, kInc = 6, kDec = 7;

// The stepper's result as its loops give it: subtract the period while above
// the maximum, then add it while below the minimum (64 bits, few periods).
int64_t byLoops(int64_t v, int64_t lo, int64_t hi)
{
    const int64_t period = hi - lo + 1;
    while (v > hi)
        v -= period;
    while (v < lo)
        v += period;
    return v;
}

struct IntStep
{
    int32_t value, lo, hi, step;
    bool wrap, down;
    int64_t expected;
    const char* what;
};

TEST(StepIncInt, WrapsAndClamps)
{
    const int64_t big = int64_t{INT_MAX} + INT_MAX;
    const IntStep cases[] = {
        {9, 0, 9, 1, true, false, 0, "9 up to 0"},
        {0, 0, 9, 1, true, true, 9, "0 down to 9"},
        {5, 0, 9, 23, true, false, byLoops(28, 0, 9), "5 + 23"},
        {5, 0, 9, 23, true, true, byLoops(-18, 0, 9), "5 - 23"},
        {9, 0, 9, 1, false, false, 9, "clamped 9 stays"},
        {0, 0, 9, 1, false, true, 0, "clamped 0 stays"},
        {5, 0, 9, 100, false, false, 9, "clamped to the maximum"},
        {4, 9, 0, 1, true, false, 0, "maximum below the minimum: clamp, the maximum last"},
        {4, 9, 0, 1, false, true, 0, "the same clamped"},
        {INT_MAX, INT_MIN, INT_MAX, 1, true, false, INT_MIN, "the whole span, INT_MAX + 1"},
        {INT_MIN, INT_MIN, INT_MAX, 1, true, true, INT_MAX, "the whole span, INT_MIN - 1"},
        {INT_MAX, INT_MIN, INT_MAX, INT_MAX, true, false, byLoops(big, INT_MIN, INT_MAX), "INT_MAX + INT_MAX"},
        {INT_MAX, 0, INT_MAX, INT_MAX, false, false, INT_MAX, "INT_MAX + INT_MAX clamped"},
        {INT_MIN, INT_MIN, 0, INT_MAX, false, true, INT_MIN, "INT_MIN - INT_MAX clamped"},
        {0, 0, 9, INT_MIN, true, true, 8, "0 - INT_MIN = 2147483648, which ends in 8"},
        {0, INT_MIN, INT_MIN, 5, true, false, INT_MIN, "a range of one value"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        UiTable t{L"QW_StepIncInt"};
        t.start = false;
        t.rows = {
            setOnly(kValue, i32(c.value)), setOnly(kMin, i32(c.lo)),   setOnly(kMax, i32(c.hi)),
            setOnly(kStep, i32(c.step)),   setOnly(kWrap, b8(c.wrap)),
        };
        const int32_t expected = static_cast<int32_t>(c.expected);
        t.rows.push_back(deliver(c.down ? kDec : kInc, b8(true),
                                 expected == c.value ? UiSends{} : UiSends{{kValue, i32(expected)}}));
        runUiTable(t);
    }
}

// Each notification that differs from the polarity steps once; with the
// polarity on, a false trigger steps and a true one does not.
TEST(StepIncInt, TriggersByPolarity)
{
    UiTable t{L"QW_StepIncInt"};
    t.start = false;
    t.rows = {
        setOnly(kMax, i32(9)),
        setOnly(kStep, i32(1)),
        setOnly(kWrap, b8(true)),
        deliver(kInc, b8(true), {{kValue, i32(1)}}),
        deliver(kInc, b8(true), {{kValue, i32(2)}}).because("a repeated trigger steps again"),
        deliver(kInc, b8(false)),
        deliver(kDec, b8(true), {{kValue, i32(1)}}),
        deliver(kPolarity, b8(true)).because("a polarity change alone"),
        deliver(kInc, b8(true)).because("polarity on: true does nothing"),
        deliver(kInc, b8(false), {{kValue, i32(2)}}),
        deliver(kDec, b8(false), {{kValue, i32(1)}}),
        deliver(kDec, b8(false), {{kValue, i32(0)}}),
        deliver(kDec, b8(false), {{kValue, i32(9)}}),
    };
    runUiTable(t);
}

struct FloatStep
{
    float value, lo, hi, step;
    bool wrap, down;
    double expected;
    const char* what;
};

TEST(StepIncFloat, WrapsAndClampsAndEnds)
{
    const float inf = std::numeric_limits<float>::infinity();
    const FloatStep cases[] = {
        {10, 0, 10, 2.5f, true, false, 1.5, "12.5 - 11"},
        {0, 0, 10, 2.5f, true, true, 8.5, "-2.5 + 11"},
        {0.1f, 0, 1, 1, true, false, 1.1, "1.1 - 2 + 2 stays outside"},
        {1e9f, 0, 1, 1, true, false, 1, "1e9 by a period of 2: the loop ends, clamped"},
        {-1e9f, 0, 1, 1, true, true, 0, "-1e9 the same, to the minimum"},
        {5000, 0, 1, 0, true, false, 1, "1000 periods and still above: clamped"},
        {1500, 0, 1, 0, true, false, 0, "750 periods wrap 1500 to 0"},
        {5, 10, 0, 1, true, false, 0, "maximum below the minimum: clamp"},
        {5, 5, 4.5f, 0, true, false, 4.5, "maximum just below the minimum: clamp"},
        {9, 0, 10, 2.5f, false, false, 10, "clamped"},
        {1, 0, 10, 2.5f, false, true, 0, "clamped below"},
        {3, 0, 10, inf, true, false, 10, "an infinite step ends at the maximum"},
        {3, 0, 10, inf, true, true, 0, "and going down at the minimum"},
        {3, -3e38f, 3e38f, 1, true, false, 4, "a period beyond the float range"},
        {1e38f, -3e38f, 3e38f, 3e38f, true, false, double(3e38f), "beyond it: clamped"},
        {3, -inf, inf, 1, true, false, 4, "infinite limits"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        UiTable t{L"QW_StepIncFloat"};
        t.start = false;
        t.rows = {
            setOnly(kValue, f32(c.value)), setOnly(kMin, f32(c.lo)),   setOnly(kMax, f32(c.hi)),
            setOnly(kStep, f32(c.step)),   setOnly(kWrap, b8(c.wrap)),
        };
        t.rows.push_back(deliver(c.down ? kDec : kInc, b8(true), one(kValue, c.expected, 1e-6)));
        runUiTable(t);
    }
}

TEST(StepIncFloat, NanStepChangesNothing)
{
    UiTable t{L"QW_StepIncFloat"};
    t.start = false;
    t.rows = {
        setOnly(kValue, f32(2)),
        setOnly(kMax, f32(10)),
        setOnly(kStep, f32(kNaN)),
        setOnly(kWrap, b8(true)),
        deliver(kInc, b8(true)).because("NaN step"),
        deliver(kDec, b8(true)).because("NaN step"),
        setOnly(kWrap, b8(false)),
        deliver(kInc, b8(true)).because("NaN step, clamped"),
        setOnly(kStep, f32(1)),
        deliver(kInc, b8(true), one(kValue, 3)),
    };
    runUiTable(t);
}

// Accumulator pins: value, minimum, maximum, scale, delta (QW_FloatInc and
// QW_IntInc); value, scale, delta (QW_PMInc).
TEST(IntInc, KeepsTheFractionBetweenDeltas)
{
    UiTable t{L"QW_IntInc"};
    t.start = false;
    t.rows = {
        setOnly(2, i32(10)),
        setOnly(3, f32(1)),
        deliver(4, f32(0.4f)).because("0.4"),
        deliver(4, f32(0.4f)).because("0.8"),
        deliver(4, f32(0.4f), {{0, i32(1)}}).because("1.2"),
        deliver(4, f32(0.4f)).because("1.6"),
        deliver(4, f32(0.4f), {{0, i32(2)}}).because("2.0: the fraction kept past the module's own write"),
        deliver(4, f32(100), {{0, i32(10)}}).because("parked at the maximum"),
        deliver(4, f32(-0.4f), {{0, i32(9)}}).because("9.6, not 109.6"),
        deliver(4, f32(0)).because("a delta of 0"),
        deliver(4, f32(kNaN)).because("a NaN delta"),
        deliver(4, f32(-0.4f)).because("9.2: the accumulator survived the NaN"),
        deliver(4, f32(-0.4f), {{0, i32(8)}}).because("8.8"),
        deliver(0, i32(5)).because("a value from outside restarts the accumulator"),
        deliver(4, f32(0.5f)).because("5.5"),
        deliver(4, f32(0.5f), {{0, i32(6)}}),
        deliver(4, f32(-100), {{0, i32(0)}}).because("parked at the minimum"),
        deliver(4, f32(0.5f)).because("0.5"),
    };
    runUiTable(t);
}

TEST(IntInc, DeltaOfZeroLeavesAValueOutsideTheLimits)
{
    UiTable t{L"QW_IntInc"};
    t.start = false;
    t.rows = {
        setOnly(2, i32(10)),
        setOnly(3, f32(1)),
        deliver(0, i32(50)),
        deliver(4, f32(0)).because("a delta of 0"),
        deliver(4, f32(kNaN)).because("a NaN delta"),
        deliver(4, f32(-1), {{0, i32(10)}}).because("49 held at the maximum"),
    };
    runUiTable(t);
}

TEST(IntInc, LimitsBothZeroGiveZero)
{
    UiTable t{L"QW_IntInc"};
    t.start = false;
    t.rows = {
        setOnly(3, f32(1)),
        deliver(4, f32(5)),
        deliver(4, f32(-7.5f)),
        deliver(0, i32(3)),
        deliver(4, f32(0.1f), {{0, i32(0)}}).because("3.1 held at 0"),
    };
    runUiTable(t);
}

TEST(IntInc, ScaleNegativeAndNanScale)
{
    UiTable t{L"QW_IntInc"};
    t.start = false;
    t.rows = {
        setOnly(1, i32(-10)),
        setOnly(2, i32(10)),
        setOnly(3, f32(-2)),
        deliver(4, f32(1.25f), {{0, i32(-2)}}).because("-2.5 truncated toward zero"),
        setOnly(3, f32(kNaN)),
        deliver(4, f32(1)).because("a NaN step changes nothing"),
        setOnly(3, f32(1)),
        deliver(4, f32(0.5f)).because("-2.0: unchanged"),
        deliver(4, f32(1.5f), {{0, i32(0)}}).because("-0.5 truncates to 0"),
    };
    runUiTable(t);
}

TEST(FloatInc, ScaledDeltaWithinTheLimits)
{
    UiTable t{L"QW_FloatInc"};
    t.start = false;
    t.rows = {
        setOnly(0, f32(50)),
        setOnly(2, f32(10)),
        deliver(4, f32(0)).because("a delta of 0 leaves a value outside the limits alone"),
        setOnly(0, f32(2)),
        setOnly(2, f32(10)),
        setOnly(3, f32(0.5f)),
        deliver(4, f32(3), one(0, 3.5)),
        deliver(4, f32(100), one(0, 10)),
        deliver(4, f32(-100), one(0, 0)),
        deliver(4, f32(0)).because("a delta of 0"),
        deliver(4, f32(kNaN)).because("a NaN delta"),
        deliver(4, f32(-kNaN)).because("a NaN delta of the other sign"),
        deliver(4, f32(std::numeric_limits<float>::infinity()), one(0, 10)).because("held by the clamp"),
        setOnly(3, f32(0)),
        deliver(4, f32(std::numeric_limits<float>::infinity())).because("infinity times 0: no number"),
        setOnly(1, f32(20)),
        setOnly(3, f32(1)),
        deliver(4, f32(1), one(0, 20)).because("limits crossed: below the minimum gives the minimum"),
    };
    runUiTable(t);
}

TEST(PMInc, ScaledDeltaWithinZeroAndOne)
{
    UiTable t{L"QW_PMInc"};
    t.start = false;
    t.rows = {
        setOnly(0, f32(0.9f)),
        setOnly(1, f32(1)),
        deliver(2, f32(0.3f), one(0, 1)),
        deliver(2, f32(-2), one(0, 0)),
        deliver(2, f32(0.25f), one(0, 0.25)),
        deliver(2, f32(0)).because("a delta of 0"),
        deliver(2, f32(kNaN)).because("a NaN delta"),
        setOnly(1, f32(-0.5f)),
        deliver(2, f32(0.1f), one(0, 0.25 - 0.05, 1e-7)),
    };
    runUiTable(t);
}
} // namespace
