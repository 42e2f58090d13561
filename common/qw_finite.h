// Values made safe for signal state: a not-a-number control value counts as
// 0, and a delay line or ring keeps nothing non-finite past the block that
// wrote it (one bad sample must not disable a module for good).
#pragma once

#include <algorithm>

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

// True when all n values are finite: an or over the values instead of a
// carried sum, so the loop runs several values at a time.
inline bool allFinite(const float* v, int n)
{
    int bad = 0;
    for (int i = 0; i < n; ++i)
        bad |= !(v[i] - v[i] == 0.0f);
    return bad == 0;
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
