// The arithmetic of the maths modules, one small inline function per
// operation, shared by the control-rate modules (once per pin change) and the
// audio-rate modules (once per sample). Floats are IEEE single precision
// throughout; integers are 32-bit two's complement and wrap on overflow.
//
// Option values (enumeration pins; any value not listed takes the last
// meaning):
//   angle unit   0 radians, 1 degrees, other turns
//   base         0 two, 1 e, other ten
//   rounding     0 truncate towards zero, other nearest (halves away from zero)
//   comparison   0 signed values, other magnitudes
//   clip         0 lower bound only, 1 upper bound only, other both bounds
//   cleaning     0 clamp to +-1, 1 clamp to +-10, other flush to 0
//   logic        0 AND, 1 OR, other XOR
#pragma once

#include "qw_fm.h"
#include "qw_int32.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace qw::maths
{
// ---------------------------------------------------------------------------
// 32-bit float

namespace flt
{
constexpr float kRadiansToTurns = 0.15915494f;
constexpr float kTurnsToRadians = 6.2831855f;

struct Complex
{
    float re;
    float im;
};

// An angle in the given unit as turns.
inline float toTurns(float x, int unit)
{
    if (unit == 0)
        return x * kRadiansToTurns;
    return unit == 1 ? x / 360.0f : x;
}

// Turns as an angle in the given unit.
inline float fromTurns(float t, int unit)
{
    if (unit == 0)
        return t * kTurnsToRadians;
    static constexpr float kFactor[2] = {1.0f, 360.0f};
    return t * kFactor[unit == 1];
}

inline float abs(float x)
{
    return std::fabs(x);
}
inline float add(float a, float b)
{
    return a + b;
}
inline float sub(float a, float b)
{
    return a - b;
}
inline float mul(float a, float b)
{
    return a * b;
}
// IEEE: +-Inf or NaN for b = 0.
inline float div(float a, float b)
{
    return a / b;
}
inline float invert(float x)
{
    return -x;
}

inline Complex cadd(Complex a, Complex b)
{
    return {a.re + b.re, a.im + b.im};
}
inline Complex csub(Complex a, Complex b)
{
    return {a.re - b.re, a.im - b.im};
}
inline Complex cmul(Complex a, Complex b)
{
    return {a.re * b.re - a.im * b.im, a.im * b.re + a.re * b.im};
}
// The quotient a / b; +-Inf or NaN for b = 0.
inline Complex cdiv(Complex a, Complex b)
{
    const float d = 1.0f / (b.re * b.re + b.im * b.im);
    return {(b.re * a.re + b.im * a.im) * d, (a.im * b.re - a.re * b.im) * d};
}

inline float cos(float x, int unit)
{
    return qw::fm::cosTurns(toTurns(x, unit));
}
inline float sin(float x, int unit)
{
    return qw::fm::sinTurns(toTurns(x, unit));
}

// base^x; 2^128 and above give +Inf, 2^-127 and below 0.
inline float exp(float x, int base)
{
    if (base == 0)
        return qw::fm::exp2Acc(x);
    return qw::fm::exp2Acc(base == 1 ? x * 1.442695f : x * 3.321928f);
}

// Logarithm to the base; -Inf for x <= 0.
inline float log(float x, int base)
{
    if (x <= 0.0f)
        return -std::numeric_limits<float>::infinity();
    const float l = qw::fm::log2Acc(x);
    if (base == 0)
        return l;
    return base == 1 ? l * 0.6931472f : l * 0.30103f;
}

// Truncation, or to nearest by adding the largest float below 0.5 with the
// sign of x: 0.5 gives 1, 0.49999997 gives 0. Float operations only, so any
// value (huge, infinite, NaN) is safe.
inline float round(float x, int mode)
{
    if (mode == 0)
        return std::trunc(x);
    return std::trunc(x + std::copysign(0.49999997f, x));
}

// The fractional part with the sign of x.
inline float frac(float x)
{
    return x - std::trunc(x);
}

inline float rangeScale(float x, float inLow, float inHigh, float outLow, float outHigh)
{
    if (inLow == inHigh)
        return outLow;
    return outLow + (x - inLow) * (outHigh - outLow) / (inHigh - inLow);
}

// The chosen input's signed value; ties and NaN go to a (signed) or b (magnitudes).
inline float max(float a, float b, int comparison)
{
    if (comparison == 0)
        return b > a ? b : a;
    return std::fabs(a) > std::fabs(b) ? a : b;
}
inline float min(float a, float b, int comparison)
{
    if (comparison == 0)
        return b < a ? b : a;
    return std::fabs(a) < std::fabs(b) ? a : b;
}

// 0 for a negative base.
inline float pow(float base, float exponent)
{
    return base < 0.0f ? 0.0f : std::pow(base, exponent);
}

// 0 for x <= 0.
inline float sqrt(float x)
{
    return x <= 0.0f ? 0.0f : std::sqrt(x);
}

// x into [0, range); 0 for range <= 0. Where x / range leaves the float range
// or the product has lost the remainder (x huge against range), the exact
// remainder is taken instead, so a finite x always lands in [0, range).
inline float wrap(float x, float range)
{
    if (!(range > 0.0f))
        return 0.0f;
    float r = x - std::floor(x / range) * range;
    if (r < 0.0f)
        r += range;
    if (r >= 0.0f && r < range)
        return r;
    if (!std::isfinite(x))
        return r; // NaN
    r = std::fmod(x, range);
    if (r < 0.0f)
        r += range;
    return r < range ? r : 0.0f; // a tiny negative remainder plus range can round up to range
}

// The lower bound wins when the bounds cross.
inline float clip(float x, float lower, float upper, int mode)
{
    if (mode == 0)
        return lower > x ? lower : x;
    if (mode == 1)
        return x > upper ? upper : x;
    if (lower > std::min(upper, x))
        return lower;
    return x > upper ? upper : x;
}

inline float radius(float re, float im)
{
    return std::sqrt(re * re + im * im);
}

// The angle of (re, im) in [0, 1) turns, in the given unit.
inline float angle(float re, float im, int unit)
{
    return fromTurns(qw::fm::atan2Turns(im, re), unit);
}

inline Complex polarToCartesian(float r, float angle, int unit)
{
    const float t = toTurns(angle, unit);
    return {r * qw::fm::cosTurns(t), r * qw::fm::sinTurns(t)};
}

// -1 for x < 0, else 1 (0, -0 and NaN included).
inline float sign(float x)
{
    return x < 0.0f ? -1.0f : 1.0f;
}

// The mix is clamped to [0, 1].
inline float crossfade(float a, float b, float mix)
{
    const float m = std::clamp(mix, 0.0f, 1.0f);
    return (1.0f - m) * a + m * b;
}

// The tangent of t turns by the fast polynomials over the half-turn period:
// very large or infinite near a quarter turn, NaN for infinite t.
inline float tanTurns(float t)
{
    const float u = t - 0.5f * std::floor(2.0f * t + 0.5f);
    const float s = u < 0.0f ? -1.0f : 1.0f;
    const float v = s * u;
    return s * qw::fm::detail::sinQuarter(v) / qw::fm::detail::cosQuarter(v);
}

// Radians through the standard library; degrees and turns by the fast
// polynomials over the half-turn period, very large or infinite near a
// quarter turn.
inline float tan(float x, int unit)
{
    if (unit == 0)
        return std::tan(x);
    return tanTurns(unit == 1 ? x / 360.0f : x);
}

// NaN becomes 0; +-Inf +-1, +-10 or 0 by the option; finite values pass.
inline float cleanInfNan(float x, int option)
{
    if (std::isnan(x))
        return 0.0f;
    if (!std::isinf(x))
        return x;
    if (option != 0 && option != 1)
        return 0.0f;
    const float limit = option == 0 ? 1.0f : 10.0f;
    return x < 0.0f ? -limit : limit;
}
} // namespace flt

// ---------------------------------------------------------------------------
// 32-bit integer, wrapping on overflow

namespace i32
{
// The wrapping operations, shared with the interface modules.
using namespace ::qw::i32;

// The lower bound wins when the bounds cross.
inline int32_t clip(int32_t x, int32_t lower, int32_t upper, int mode)
{
    if (mode == 0)
        return x < lower ? lower : x;
    if (mode == 1)
        return x > upper ? upper : x;
    if (std::min(upper, x) < lower)
        return lower;
    return upper < x ? upper : x;
}

// -1 for x < 0, else 1.
inline int32_t sign(int32_t x)
{
    return x < 0 ? -1 : 1;
}
} // namespace i32
} // namespace qw::maths
