// Interpolating sample readers: one output value from a mono float sample at
// a fractional read position. Every playing routine is compiled once per
// reader (the reader is a template argument), so the interpolation choice
// costs no branch per sample.
//
//   reader        code   kernel                           half-width R (frames)
//   NaiveReader   0 *    the frame at the truncated index  -
//   LinReader     1      triangle 1 - d                    1
//   CubicReader   2      Keys cubic, a = -0.5              2
//   Sinc4Reader   3      windowed sinc, 4 zero crossings   4
//   Sinc8Reader   4      windowed sinc, 8 zero crossings   8
//   (* and every code not listed)
//
// A kernel reader sums x[k] K(d_k) over the taps around the position and
// multiplies by the stretch w: d_k is the tap's distance from the position
// times w. With w = 1 that is plain interpolation; reading faster than one
// frame per output sample (increment inc > 1) the caller passes w = 1/inc,
// which widens the kernel into a low-pass filter at the new rate (the sum of
// the weights is then about 1/w, which the final factor w undoes). The
// stretch is limited to 16 times (w >= 1/16), so a tap count never exceeds
// about 32 R per output sample however fast a sample is read.
//
// Two read forms:
//   bounded(x, length, i, frac, w): taps outside frames 0 .. length - 1 are
//     left out (nothing added, the sum is not renormalised). 0 <= i < length.
//   looped(x, length, i, frac, w): x is a loop region of `length` frames and
//     taps wrap inside it (left of frame 0 is frame length - 1, right of
//     frame length - 1 is frame 0). 0 <= i < length.
// i is the position truncated toward zero and frac the rest (0 <= frac < 1);
// `split` makes them from a position.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace qw::resamp
{
// The smallest stretch: the kernel widens at most 16 times.
constexpr float kMinStretch = 1.0f / 16.0f;

// The stretch for reading `inc` frames per output sample: min(1, 1/inc),
// limited to kMinStretch. An increment of 0 (or not a number) reads at w = 1.
inline float stretch(double inc)
{
    if (!(inc > 1.0))
        return 1.0f;
    return std::max(static_cast<float>(1.0 / inc), kMinStretch);
}
inline float stretch(float inc)
{
    if (!(inc > 1.0f))
        return 1.0f;
    return std::max(1.0f / inc, kMinStretch);
}

// A position as frame index (truncated toward zero) and fraction.
inline void split(double position, int& i, float& frac)
{
    i = static_cast<int>(position);
    frac = static_cast<float>(position - i);
}
inline void split(float position, int& i, float& frac)
{
    i = static_cast<int>(position);
    frac = position - static_cast<float>(i);
}

// ---------------------------------------------------------------------------
// Windowed-sinc tables: one side of sinc(x) = sin(pi x) / (pi x) times the
// window 1 - 3u^2 + 2u^3 (u = x / Crossings), at Points entries per zero
// crossing, computed in double and rounded to float; four zeros after the
// last entry, where the read of the last tap may reach.

namespace detail
{
constexpr double kPi = 3.14159265358979323846;

// sin(pi m / points) for integer m, with the argument reduced exactly to the
// first quarter turn (so sinc is exactly 0 at its zero crossings).
constexpr double sinPiFraction(int m, int points)
{
    m %= 2 * points;
    double sign = 1.0;
    if (m >= points)
    {
        m -= points;
        sign = -1.0;
    }
    if (2 * m > points)
        m = points - m;
    const double x = kPi * m / points; // 0 .. pi/2: the series converges fast
    double term = x, sum = x;
    for (int k = 1; k < 14; ++k)
    {
        term *= -x * x / ((2.0 * k) * (2.0 * k + 1.0));
        sum += term;
    }
    return sign * sum;
}

template <int Crossings, int Points> constexpr std::array<float, Crossings * Points + 4> windowedSinc()
{
    std::array<float, Crossings * Points + 4> table{};
    for (int j = 0; j < Crossings * Points; ++j)
    {
        const double x = static_cast<double>(j) / Points;
        const double sinc = j == 0 ? 1.0 : sinPiFraction(j, Points) / (kPi * x);
        const double u = x / Crossings;
        table[static_cast<size_t>(j)] = static_cast<float>(sinc * (1.0 - 3.0 * u * u + 2.0 * u * u * u));
    }
    return table;
}
} // namespace detail

inline constexpr std::array<float, 8 * 16 + 4> WindowedSinc_8x16_Table = detail::windowedSinc<8, 16>();
inline constexpr std::array<float, 4 * 16 + 4> WindowedSinc_4x16_Table = detail::windowedSinc<4, 16>();

// ---------------------------------------------------------------------------
// Kernels, walked outward one tap at a time: constructed at the first tap's
// stretched distance d (>= 0) with the step w, `inside` while the tap is
// within the half-width.

struct LinKernel
{
    float weight, step;
    LinKernel(float d, float w) : weight(1.0f - d), step(w) {}
    bool inside() const { return weight > 0.0f; }
    float value() const { return weight; }
    void next() { weight -= step; }
};

struct CubicKernel
{
    float d, step;
    CubicKernel(float d0, float w) : d(d0), step(w) {}
    bool inside() const { return d < 2.0f; }
    float value() const
    {
        return d < 1.0f ? (1.5f * d - 2.5f) * d * d + 1.0f : ((-0.5f * d + 2.5f) * d - 4.0f) * d + 2.0f;
    }
    void next() { d += step; }
};

// The table read at t = Points x d, linear between entries.
template <int Crossings, int Points, const std::array<float, Crossings * Points + 4>* Table> struct SincKernel
{
    float t, step;
    SincKernel(float d, float w) : t(Points * d), step(Points * w) {}
    bool inside() const { return t < static_cast<float>(Crossings * Points); }
    float value() const
    {
        const int j = static_cast<int>(t);
        const float f = t - static_cast<float>(j);
        return (1.0f - f) * (*Table)[static_cast<size_t>(j)] + f * (*Table)[static_cast<size_t>(j) + 1];
    }
    void next() { t += step; }
};

// ---------------------------------------------------------------------------
// Readers

struct NaiveReader
{
    static constexpr bool kInterpolates = false;
    static float bounded(const float* x, int, int i, float, float) { return x[i]; }
    static float looped(const float* x, int, int i, float, float) { return x[i]; }
};

template <class Kernel> struct KernelReader
{
    static constexpr bool kInterpolates = true;

    static float bounded(const float* x, int length, int i, float frac, float w)
    {
        float sum = 0.0f;
        Kernel left(frac * w, w);
        for (int k = i; k >= 0 && left.inside(); --k, left.next())
            sum += x[k] * left.value();
        Kernel right((1.0f - frac) * w, w);
        for (int k = i + 1; k < length && right.inside(); ++k, right.next())
            sum += x[k] * right.value();
        return w * sum;
    }

    static float looped(const float* x, int length, int i, float frac, float w)
    {
        float sum = 0.0f;
        const int last = length - 1;
        Kernel left(frac * w, w);
        for (int k = i; left.inside(); left.next())
        {
            sum += x[k] * left.value();
            k = k == 0 ? last : k - 1;
        }
        Kernel right((1.0f - frac) * w, w);
        for (int k = i == last ? 0 : i + 1; right.inside(); right.next())
        {
            sum += x[k] * right.value();
            k = k == last ? 0 : k + 1;
        }
        return w * sum;
    }
};

struct LinReader : KernelReader<LinKernel>
{};
struct CubicReader : KernelReader<CubicKernel>
{};
template <int Crossings, int Points, const std::array<float, Crossings * Points + 4>* Table>
struct SincReader : KernelReader<SincKernel<Crossings, Points, Table>>
{};
using Sinc4Reader = SincReader<4, 16, &WindowedSinc_4x16_Table>;
using Sinc8Reader = SincReader<8, 16, &WindowedSinc_8x16_Table>;

// Calls f(Reader{}) with the reader of an interpolation code: 1 linear, 2
// cubic, 3 and 4 windowed sinc with 4 and 8 crossings, anything else naive.
template <class F> decltype(auto) withReader(int code, F&& f)
{
    switch (code)
    {
    case 1:
        return f(LinReader{});
    case 2:
        return f(CubicReader{});
    case 3:
        return f(Sinc4Reader{});
    case 4:
        return f(Sinc8Reader{});
    default:
        return f(NaiveReader{});
    }
}
} // namespace qw::resamp
