// Fast maths for per-sample code: 2^x and log2 x (each in a fast and a more
// accurate form), sine and cosine of a phase in turns (one turn = 2 pi) and
// the angle of a point in turns. Every function is defined exactly, in 32-bit
// float arithmetic, so that all modules that use one produce the same numbers.
//
//   function          domain                       largest error
//   exp2Fast(x)       x < 128 (below -126: -126)   relative 5.2e-5
//   exp2Acc(x)        clamped to [-127, 128]       relative 6e-8 (0 at -127, +inf at 128)
//   log2Fast(x)       x > 0, finite                absolute 0.0098
//   log2Acc(x)        any x                        absolute 1e-6 (-inf for x <= 0)
//   sinTurns(x)       any finite x                 absolute 8e-8
//   cosTurns(x)       any finite x                 absolute 1.8e-7
//   atan2Turns(y, x)  any point                    3.7e-7 turns, result in [0, 1)
//
// exp2Fast and log2Fast do not guard their domains: a caller that feeds one
// from a pin value keeps the argument in range (clamps it) first.
//
// Conversions used by the modules: 10^(dB/20) = exp2(dB * 0.1660964);
// dB = log2(a) * 6.0206; 10^x = exp2(x * 3.321928); log10 x = log2 x * 0.30103.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

namespace qw::fm
{
// A pair of floats handled as one complex value; carries a stereo pair
// (left in re, right in im) through one buffer.
struct fcmpl
{
    float re = 0.0f;
    float im = 0.0f;

    constexpr fcmpl() = default;
    constexpr fcmpl(float r, float i = 0.0f) : re(r), im(i) {}

    constexpr fcmpl& operator+=(const fcmpl& o)
    {
        re += o.re;
        im += o.im;
        return *this;
    }
    constexpr fcmpl& operator-=(const fcmpl& o)
    {
        re -= o.re;
        im -= o.im;
        return *this;
    }
    constexpr fcmpl& operator*=(float k)
    {
        re *= k;
        im *= k;
        return *this;
    }
    friend constexpr fcmpl operator+(fcmpl a, const fcmpl& b) { return a += b; }
    friend constexpr fcmpl operator-(fcmpl a, const fcmpl& b) { return a -= b; }
    friend constexpr fcmpl operator-(const fcmpl& a) { return {-a.re, -a.im}; }
    friend constexpr fcmpl operator*(fcmpl a, float k) { return a *= k; }
    friend constexpr fcmpl operator*(float k, fcmpl a) { return a *= k; }
    friend constexpr fcmpl operator*(const fcmpl& a, const fcmpl& b)
    {
        return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
    }
    friend constexpr bool operator==(const fcmpl& a, const fcmpl& b) { return a.re == b.re && a.im == b.im; }
    friend constexpr bool operator!=(const fcmpl& a, const fcmpl& b) { return !(a == b); }
};
static_assert(sizeof(fcmpl) == 8, "fcmpl is two packed floats");

namespace detail
{
inline uint32_t bits(float x)
{
    uint32_t b;
    std::memcpy(&b, &x, 4);
    return b;
}

inline float fromBits(uint32_t b)
{
    float x;
    std::memcpy(&x, &b, 4);
    return x;
}

inline float absf(float x)
{
    return fromBits(bits(x) & 0x7FFFFFFFu);
}

// floor(x) for any finite x without a library call: beyond 2^23 every float
// is already a whole number.
inline float floorf(float x)
{
    if (!(absf(x) < 8388608.0f))
        return x;
    const float t = static_cast<float>(static_cast<int32_t>(x));
    return t > x ? t - 1.0f : t;
}

// x toward zero, for |x| < 2^31.
inline float truncf(float x)
{
    return static_cast<float>(static_cast<int32_t>(x));
}

// sin(2 pi v) and cos(2 pi v) for v in [0, 0.25].
inline float sinQuarter(float v)
{
    return v * (6.2832f +
                v * (-0.0010220848f +
                     v * (-41.313507f + v * (-0.3941775f + v * (84.63178f + v * (-12.5285425f + v * -53.44812f))))));
}

inline float cosQuarter(float v)
{
    return 1.0f + v * (1.69861e-5f +
                       v * (-19.740452f + v * (0.035351235f +
                                               v * (64.4206f + v * (4.3116903f + v * (-106.06275f + v * 53.44812f))))));
}

inline float negateIf(float x, bool negate)
{
    return fromBits(bits(x) ^ (negate ? 0x80000000u : 0u));
}

// A positive subnormal x is read at 2^23 x, its logarithm lowered by 23 after.
inline bool isSubnormal(uint32_t b)
{
    return (b & 0x7F800000u) == 0 && (b & 0x007FFFFFu) != 0;
}
} // namespace detail

// ~2^x. x below -126 is taken as -126; x of 128 or more is outside the domain.
inline float exp2Fast(float x)
{
    if (x < -126.0f)
        x = -126.0f;
    float f = x - detail::truncf(x);
    if (x < 0.0f)
        f += 1.0f;
    const float v = x + 121.274055f + 27.728024f / (4.8425255f - f) - 1.4901291f * f;
    const int64_t i = static_cast<int64_t>(v * 8388608.0f);
    return detail::fromBits(static_cast<uint32_t>(i));
}

// ~2^x with x clamped to [-127, 128]: 0 at -127, +infinity at 128. A NaN
// counts as -127 (0 out), so no level computed from it is ever NaN.
inline float exp2Acc(float x)
{
    x = !(x >= -127.0f) ? -127.0f : (x > 128.0f ? 128.0f : x);
    int32_t i = static_cast<int32_t>(x);
    float f = x - static_cast<float>(i);
    if (f < 0.0f)
    {
        f += 1.0f;
        i -= 1;
    }
    const float p =
        1.0f +
        f * (0.6931472f + f * (0.24022631f +
                               f * (0.055505503f +
                                    f * (0.009613149f + f * (0.0013432892f + f * (0.0001429277f + f * 2.16324e-5f))))));
    return detail::fromBits(detail::bits(p) + static_cast<uint32_t>(i) * 8388608u);
}

// ~log2 x for x > 0 (finite); exact at powers of two.
inline float log2Fast(float x)
{
    uint32_t b = detail::bits(x);
    const bool sub = detail::isSubnormal(b);
    if (sub)
        b = detail::bits(x * 8388608.0f);
    const float m = detail::fromBits((b & 0x807FFFFFu) | 0x3F800000u);
    const float r =
        ((6.0f - m) * m - 2.0f) * 0.33333334f + static_cast<float>(static_cast<int32_t>((b >> 23) & 255u) - 128);
    return sub ? r - 23.0f : r;
}

// ~log2 x for any x: -infinity for x <= 0, +infinity for +infinity, NaN for NaN.
inline float log2Acc(float x)
{
    if (x <= 0.0f)
        return -std::numeric_limits<float>::infinity();
    if (!(x < std::numeric_limits<float>::infinity()))
        return x;
    uint32_t b = detail::bits(x);
    const bool sub = detail::isSubnormal(b);
    if (sub)
        b = detail::bits(x * 8388608.0f);
    const float t = detail::fromBits((b & 0x807FFFFFu) | 0x3F000000u) - 0.75f;
    const float n = ((0.5777593f * t + 2.1220846f) * t + 1.0935184f) * t - 0.4150375f;
    const float d = ((0.11851852f * t + 1.0666667f) * t + 2.0f) * t + 1.0f;
    const float r = n / d + static_cast<float>(static_cast<int32_t>((b >> 23) & 255u) - 126);
    return sub ? r - 23.0f : r;
}

// ~cos(2 pi x), x in turns.
inline float cosTurns(float x)
{
    const float t = x - detail::floorf(x) - 0.5f;
    const float a = detail::absf(t) - 0.25f;
    return detail::negateIf(detail::sinQuarter(detail::absf(a)), !(a > 0.0f));
}

// ~sin(2 pi x), x in turns.
inline float sinTurns(float x)
{
    const float t = x - detail::floorf(x) - 0.5f;
    const float v = detail::absf(detail::absf(t) - 0.25f);
    return detail::negateIf(detail::cosQuarter(v), t > 0.0f);
}

// sinTurns(x) and cosTurns(x) from one fold of the phase (the same numbers).
inline void sinCosTurns(float x, float& s, float& c)
{
    const float t = x - detail::floorf(x) - 0.5f;
    const float a = detail::absf(t) - 0.25f;
    const float v = detail::absf(a);
    c = detail::negateIf(detail::sinQuarter(v), !(a > 0.0f));
    s = detail::negateIf(detail::cosQuarter(v), t > 0.0f);
}

// Angle of the point (x, y) in turns, counter-clockwise from the positive x
// axis, in [0, 1); 0 for (0, 0).
inline float atan2Turns(float y, float x)
{
    const float A = y < 0.0f ? -x : x;
    const float B = detail::absf(y);
    float N, X;
    if (A > 0.0f)
    {
        N = A;
        X = B;
    }
    else
    {
        N = B;
        X = -A;
    }
    float r;
    if (N > X)
        r = X / N;
    else
    {
        const float den = X + N;
        if (den == 0.0f)
            return 0.0f;
        r = (X - N) / den;
    }
    const float offset = (y < 0.0f ? 0.5f : 0.0f) + (A <= 0.0f ? 0.25f : 0.0f) + (N <= X ? 0.125f : 0.0f);
    const float p =
        0.1591569f +
        r * (-7.67094e-5f +
             r * (-0.052052658f + r * (-0.006151436f + r * (0.052188575f + r * (-0.03686849f + r * 0.008803822f)))));
    const float result = offset + r * p;
    // Just below a full turn the sum rounds up to 1, which is the angle 0.
    return result >= 1.0f ? result - 1.0f : result;
}
} // namespace qw::fm
