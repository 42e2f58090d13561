// Values made safe for signal state: a not-a-number control value counts as
// 0, and a delay line or ring keeps nothing non-finite past the block that
// wrote it (one bad sample must not disable a module for good).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace qw
{
namespace finite
{
// Not a number counts as 0.
inline float orZero(float v)
{
    return v == v ? v : 0.0f;
}

constexpr float kLargest = 3.4028235e38f; // the largest finite float

// v limited to the finite range: a sum that overflowed to +-infinity stays at
// the largest float of its sign; finite values pass unchanged (and NaN too).
inline float saturated(float v)
{
    return std::min(std::max(v, -kLargest), kLargest);
}

// A result worked out in double, brought back into the float range: beyond
// it, the largest float of its sign (an infinity too); NaN stays NaN.
inline float narrowed(double v)
{
    constexpr double most = kLargest;
    return static_cast<float>(v > most ? most : (v < -most ? -most : v));
}

// `fast` (a result worked out in float) where it is finite; else `wide()`,
// the same result worked out in double, narrowed. Where the float arithmetic
// overflows on the way (a square, a difference of values near opposite
// limits, a sum of several terms) the exact result comes out, saturated;
// every result the float arithmetic gives stays what it was to the bit. A NaN
// or infinite input gives what `wide` makes of it (NaN stays NaN).
template <class Wide> inline float finiteOr(float fast, const Wide& wide);

namespace detail
{
// Out of line and cold, so the check in finiteOr stays a predicted branch
// beside the float arithmetic (off a recurrence's chain of dependent steps).
template <class Wide> [[gnu::noinline, gnu::cold]] float narrowedWide(const Wide& wide)
{
    return narrowed(wide());
}
} // namespace detail

template <class Wide> inline float finiteOr(float fast, const Wide& wide)
{
    if (__builtin_expect(std::fabs(fast) <= kLargest, 1))
        return fast;
    return detail::narrowedWide(wide);
}

// Whether all n values are finite: v - v is +0 (all bits clear) for every
// finite v and NaN otherwise; the bits of the differences ORed together, a
// loop the compiler vectorises.
inline bool allFinite(const float* v, int n)
{
    uint32_t bad = 0;
    for (int i = 0; i < n; ++i)
    {
        const float zero = v[i] - v[i];
        uint32_t bits;
        std::memcpy(&bits, &zero, sizeof bits);
        bad |= bits;
    }
    return bad == 0;
}

// Whether the n entries of a ring of `size` entries from index w on
// (wrapping; n at most size) are all finite.
inline bool allFiniteInRing(const float* ring, int size, int w, int n)
{
    const int first = std::min(n, size - w);
    return allFinite(ring + w, first) && allFinite(ring, n - first);
}

// After a span of results worked out in float: each one that is not finite
// is worked out again by wide(i) (in double) and narrowed. One vectorised
// pass finds whether there is any, so a loop of plain float arithmetic keeps
// its speed.
template <class Wide> inline void finiteOrWide(float* y, int n, const Wide& wide)
{
    if (__builtin_expect(allFinite(y, n), 1))
        return;
    for (int i = 0; i < n; ++i)
        if (!(std::fabs(y[i]) <= kLargest))
            y[i] = narrowed(wide(i));
}

// A recurrence compiled twice: a fast pass of plain float arithmetic over a
// span, and a guarded pass that runs the span again from the same state
// where the fast one left a value that is not finite (in its outputs, what
// it wrote or its state). Every guarded step gives the fast step's result
// while that is finite, so the guarded pass changes no sample the fast one
// got right. These are the steps: the plain result in the fast pass,
// finiteOr or saturated of it in the guarded one.
template <bool Guarded, class Wide> inline float finiteOrIf(float fast, const Wide& wide)
{
    if constexpr (Guarded)
        return finiteOr(fast, wide);
    else
        return fast;
}

template <bool Guarded> inline float saturatedIf(float v)
{
    if constexpr (Guarded)
        return saturated(v);
    else
        return v;
}

// The n entries (at most N) of a ring of `size` entries from index w on,
// wrapping: what a span that writes them found there, so the span can run
// again over the same line.
template <int N> class RingSpan
{
public:
    RingSpan(const float* ring, int size, int w, int n) : w_(w), first_(std::min(n, size - w)), n_(n)
    {
        std::memcpy(v_, ring + w, sizeof(float) * static_cast<size_t>(first_));
        std::memcpy(v_ + first_, ring, sizeof(float) * static_cast<size_t>(n - first_));
    }

    void restore(float* ring) const
    {
        std::memcpy(ring + w_, v_, sizeof(float) * static_cast<size_t>(first_));
        std::memcpy(ring, v_ + first_, sizeof(float) * static_cast<size_t>(n_ - first_));
    }

private:
    int w_, first_, n_;
    float v_[N];
};

// What a span of a feedback loop reports: whether any value it wrote was not
// finite, and whether every value was (its outputs and the loop's state too);
// the sample its ring-out ended at (-1: none).
struct SpanReport
{
    bool poisoned = false;
    bool finite = true;
    int ended = -1;
};

// Runs n samples of a feedback loop as spans of at most N, each in plain
// float first and, where that leaves a value that is not finite, again
// guarded from the state it started from. save(m), called before a span of m
// samples, returns what puts the loop's state back; pass(guarded, from, m)
// runs the span (guarded a std::bool_constant). Stops after the span its
// ring-out ended in. Reports whether any span wrote a value that is not
// finite, and the sample (from 0) the ring-out ended at.
template <int N, class Save, class Pass> SpanReport runSpans(int n, Save save, Pass pass)
{
    SpanReport all;
    for (int from = 0; from < n && all.ended < 0; from += N)
    {
        const int m = std::min(N, n - from);
        const auto restore = save(m);
        SpanReport r = pass(std::false_type{}, from, m);
        if (__builtin_expect(!r.finite, 0))
        {
            restore();
            r = pass(std::true_type{}, from, m);
        }
        all.poisoned |= r.poisoned;
        if (r.ended >= 0)
            all.ended = from + r.ended;
    }
    return all;
}

// NaN for +-infinity, v itself (to the bit) for every other value: input that
// is not finite stays so through a saturating sum, and is cleared with the
// rest of what is not finite instead of ringing on at the float limit.
inline float infinityAsNaN(float v)
{
    return v + v * 0.0f;
}

// v in [lo, hi]; not a number counts as 0 first.
inline float clampOrZero(float v, float lo, float hi)
{
    return std::min(std::max(orZero(v), lo), hi);
}

// v - v is 0 for every finite v and NaN otherwise: summed over the values a
// span wrote, it says whether any of them was not finite.
inline float poisonOf(float v)
{
    return v - v;
}

// Replaces what is not finite in a line by 0; `poison` is the sum of
// poisonOf over the values written in the block (0 while all were finite).
inline void clearNonFinite(float* line, int n, float poison)
{
    if (poison == 0.0f)
        return;
    for (int i = 0; i < n; ++i)
        if (!(line[i] - line[i] == 0.0f))
            line[i] = 0.0f;
}

// Zeroes the entries that are not finite among the `count` entries of a ring
// (size mask + 1) written last before index w.
inline void scrubRecent(float* ring, int mask, int w, int count)
{
    count = std::min(count, mask + 1);
    for (int i = 1; i <= count; ++i)
    {
        float& v = ring[(w - i) & mask];
        if (v - v != 0.0f)
            v = 0.0f;
    }
}
} // namespace finite
} // namespace qw
