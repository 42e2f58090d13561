// The arithmetic of the frame-based pitch shifters, free of any module so it
// can be checked on its own: frame sizes per sample rate, the cubic read of a
// ring, the spreading weights of the anti-aliased resampler, the best-match
// lag search, the crossfade level correction, and the half-band kernel and
// window of the windowed shifter.
#pragma once

#include "qw_fm.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qw
{
namespace pitch
{
using qw::fm::fcmpl;

// --- frames of one or two channels ---

template <class T> constexpr int kChannels = std::is_same<T, fcmpl>::value ? 2 : 1;

inline float& channel(float& v, int)
{
    return v;
}
inline float& channel(fcmpl& v, int c)
{
    return c ? v.im : v.re;
}
inline float channel(const float& v, int)
{
    return v;
}
inline float channel(const fcmpl& v, int c)
{
    return c ? v.im : v.re;
}
// What the lag search compares: the sample, or left + right.
inline float mixOf(float v)
{
    return v;
}
inline float mixOf(const fcmpl& v)
{
    return v.re + v.im;
}

// --- frame size ---

// 1, 2 or 4 for the rates of the 44.1/48 kHz family and their doubles and
// quadruples; 0 at any other rate (the frame shifter does not run there).
inline int rateFactor(float rate)
{
    const double r = rate == rate ? std::trunc(static_cast<double>(rate)) : 0.0;
    if (r == 44100.0 || r == 48000.0)
        return 1;
    if (r == 88200.0 || r == 96000.0)
        return 2;
    if (r == 176400.0 || r == 192000.0)
        return 4;
    return 0;
}

constexpr int kMinExponent = 9;
constexpr int kMaxExponent = 13;

// Samples per frame for an exponent at a rate factor; 0 when the factor is.
inline int frameSize(int factor, int exponent)
{
    return factor << std::min(std::max(exponent, kMinExponent), kMaxExponent);
}

// --- interpolation ---

// The Catmull-Rom cubic through ring[i - 1 .. i + 2] (indices masked) at
// i = floor(q), fraction q - i; q in [0, mask + 1).
template <class T> inline T cubicAt(const T* ring, int mask, double q)
{
    const double fl = std::floor(q);
    const int i = static_cast<int>(fl);
    const float f = static_cast<float>(q - fl);
    const T x0 = ring[(i - 1) & mask];
    const T x1 = ring[i & mask];
    const T x2 = ring[(i + 1) & mask];
    const T x3 = ring[(i + 2) & mask];
    return x1 + 0.5f * f * (x2 - x0) + f * f * (x0 - 2.5f * x1 + 2.0f * x2 - 0.5f * x3) +
           0.5f * f * f * f * (3.0f * (x1 - x2) + x3 - x0);
}

// The same Catmull-Rom read worked out in double, for values whose float
// arithmetic would overflow.
inline double cubicWide(double x0, double x1, double x2, double x3, double f)
{
    return x1 + 0.5 * f * (x2 - x0) + f * f * (x0 - 2.5 * x1 + 2.0 * x2 - 0.5 * x3) +
           0.5 * f * f * f * (3.0 * (x1 - x2) + x3 - x0);
}

// A position stepped back and kept inside [0, size).
inline double wrapBack(double q, double size)
{
    return q < 0.0 ? q + size : q;
}

// The weights with which a value at fraction u past index i is spread onto
// indices i - 1 .. i + 2 (they sum to 1 for any u).
inline void spreadWeights(float u, float w[4])
{
    const float v = 1.0f - u;
    w[0] = -u * v * v;
    w[1] = v * v * (1.0f + 3.0f * u);
    w[2] = u * u * (4.0f - 3.0f * u);
    w[3] = u * u * (u - 1.0f);
}

// --- lag search ---

// Adds cost(t) = sum over probes p of |value[p] - line[(newest - back[p] - t) & mask]|
// to cost[t] for the lags t in [from, to), probe by probe in probe order: a
// lag's sum is the same float whichever ranges the lags are cut into.
inline void addLagCosts(const float* line, int mask, int newest, const float* value, const int32_t* back, int probes,
                        int from, int to, float* cost)
{
    for (int p = 0; p < probes; ++p)
    {
        const float v = value[p];
        int at = (newest - back[p] - from) & mask; // the line index at t, counted down
        for (int t = from; t < to;)
        {
            const int run = std::min(to - t, at + 1);
            const float* src = line + at; // src[-m] is the entry for lag t + m
            float* acc = cost + t;
            int m = 0;
#if defined(__SSE2__)
            const __m128 vv = _mm_set1_ps(v);
            const __m128 sign = _mm_set1_ps(-0.0f);
            for (; m + 4 <= run; m += 4)
            {
                const __m128 x =
                    _mm_shuffle_ps(_mm_loadu_ps(src - m - 3), _mm_loadu_ps(src - m - 3), _MM_SHUFFLE(0, 1, 2, 3));
                const __m128 d = _mm_andnot_ps(sign, _mm_sub_ps(vv, x));
                _mm_storeu_ps(acc + m, _mm_add_ps(_mm_loadu_ps(acc + m), d));
            }
#endif
            for (; m < run; ++m)
                acc[m] += std::fabs(v - src[-m]);
            t += run;
            at = mask;
        }
    }
}

// The lag t in [0, lags) with the smallest cost(t) (see addLagCosts); on a
// tie the smaller lag stays. `cost` is scratch of `lags` floats.
inline int bestLag(const float* line, int mask, int newest, const float* value, const int32_t* back, int probes,
                   int lags, float* cost)
{
    if (lags < 1)
        return 0;
    std::fill_n(cost, lags, 0.0f);
    addLagCosts(line, mask, newest, value, back, probes, 0, lags, cost);
    int best = 0;
    for (int t = 1; t < lags; ++t)
        if (cost[t] < cost[best])
            best = t;
    return best;
}

// --- crossfade level correction ---

struct Correction
{
    double s1 = 0, s2 = 0; // sums of the faded magnitudes and of the faded sum's
    float q = 1;           // S2 / S1, at least 0.5
};

// The level sums of entries [from, to) of one channel of an outgoing half a
// and an incoming half b of n samples crossfaded linearly: the faded
// magnitudes into s1, the faded sum's into s2.
template <class T> void addLevelSums(const T* a, const T* b, int n, int from, int to, int ch, double& s1, double& s2)
{
    for (int m = from; m < to; ++m)
    {
        const float t = static_cast<float>(m) / static_cast<float>(n);
        const float fa = (1.0f - t) * channel(a[m], ch);
        const float fb = t * channel(b[m], ch);
        s1 += std::fabs(fa) + std::fabs(fb);
        s2 += std::fabs(fa + fb);
    }
}

// S2 / S1, at least 0.5 (1 without any level).
inline float levelRatio(double s1, double s2)
{
    const float q = s1 > 0.0 ? static_cast<float>(s2 / s1) : 1.0f;
    return std::max(q, 0.5f);
}

// The gain at entry m of n for a ratio q below 1: 1 / (1 + 6.6 (q - 1) t (1 - t)),
// most in the middle of the fade.
inline float levelGain(float q, int m, int n)
{
    const float t = static_cast<float>(m) / static_cast<float>(n);
    return 1.0f / (1.0f + 6.6f * (q - 1.0f) * t * (1.0f - t));
}

// Over one channel of an outgoing half a and an incoming half b of n
// samples crossfaded linearly: when their sum dips below the sum of their
// parts (q < 1), both are raised by levelGain.
template <class T> Correction compensateChannel(T* a, T* b, int n, int ch)
{
    Correction c;
    addLevelSums(a, b, n, 0, n, ch, c.s1, c.s2);
    c.q = levelRatio(c.s1, c.s2);
    if (c.q < 1.0f)
        for (int m = 0; m < n; ++m)
        {
            const float g = levelGain(c.q, m, n);
            channel(a[m], ch) *= g;
            channel(b[m], ch) *= g;
        }
    return c;
}

// Each channel decided and corrected on its own.
template <class T> void compensateAM(T* a, T* b, int n)
{
    for (int ch = 0; ch < kChannels<T>; ++ch)
        compensateChannel(a, b, n, ch);
}

// --- windowed shifter ---

constexpr int kSincTaps = 15;

// Half a windowed sinc(k + 1/2): (1 + cos(2 pi (2k + 1) / 60)) (+-0.5) /
// (pi (2k + 1)), signs alternating from positive; used mirrored, 30 taps.
inline void computeSincKernel(float kernel[kSincTaps])
{
    for (int k = 0; k < kSincTaps; ++k)
    {
        const float odd = static_cast<float>(2 * k + 1);
        const float sign = (k & 1) ? -0.5f : 0.5f;
        kernel[k] = (1.0f + qw::fm::cosTurns(odd / 60.0f)) * sign / (3.14159265f * odd);
    }
}

// The Hann window of n samples: 0.5 (1 - cos(2 pi i / n)).
inline void computeWindow(float* w, int n)
{
    for (int i = 0; i < n; ++i)
        w[i] = 0.5f * (1.0f - qw::fm::cosTurns(static_cast<float>(i) / static_cast<float>(n)));
}

// The lag t in [0, n/2] at which scratch[t + q] matches ref[q] best over 16
// probes q = 0, n/32, ... below n/2; on a tie the larger lag wins.
inline int findMatchingOffset(const float* ref, const float* scratch, int n)
{
    if (n < 0)
        return -1;
    const int half = n / 2;
    const int step = std::max(n / 32, 1);
    int best = 0;
    float bestCost = 0.0f;
    for (int t = 0; t <= half; ++t)
    {
        float cost = 0.0f;
        for (int q = 0; q < half; q += step)
            cost += std::fabs(ref[q] - scratch[t + q]);
        if (t == 0 || cost <= bestCost)
        {
            best = t;
            bestCost = cost;
        }
    }
    return best;
}
} // namespace pitch
} // namespace qw
