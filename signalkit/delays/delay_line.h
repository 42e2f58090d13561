// Shared pieces of the delays and wideners: the 8192-sample ring, values from
// pins made safe (not a number counts as 0), and the clean-up that keeps a
// non-finite sample from staying in a line past the block it came in.
#pragma once

#include <algorithm>
#include <cstdint>

namespace qw
{
namespace delay
{
constexpr int kLength = 8192;
constexpr int kMask = kLength - 1;

// Not a number counts as 0.
inline float orZero(float v)
{
    return v == v ? v : 0.0f;
}

// v in [lo, hi]; not a number counts as 0 first.
inline float clampTo(float v, float lo, float hi)
{
    return std::min(std::max(orZero(v), lo), hi);
}

// v - v is 0 for every finite v and NaN otherwise: summed over the values a
// span wrote, it says whether any of them was not finite.
inline float poisonOf(float v)
{
    return v - v;
}

// Zeroes the entries that are not finite among the `count` entries of a ring
// (size mask + 1) written last before index w.
inline void scrub(float* ring, int mask, int w, int count)
{
    count = std::min(count, mask + 1);
    for (int i = 1; i <= count; ++i)
    {
        float& v = ring[(w - i) & mask];
        if (v - v != 0.0f)
            v = 0.0f;
    }
}
} // namespace delay
} // namespace qw
