#include "waveform_walk.h"

#include <cmath>
#include <limits>

namespace qw::wave
{
void extremes(const float* frames, int64_t n, float& lo, float& hi)
{
    // Eight independent lanes, so the compiler can keep them in one vector
    // register each; a comparison with NaN is false, so NaN never wins.
    constexpr int kLanes = 8;
    const float inf = std::numeric_limits<float>::infinity();
    float l[kLanes], h[kLanes];
    for (int k = 0; k < kLanes; ++k)
        l[k] = inf, h[k] = -inf;
    int64_t i = 0;
    for (; i + kLanes <= n; i += kLanes)
        for (int k = 0; k < kLanes; ++k)
        {
            const float v = frames[i + k];
            l[k] = v < l[k] ? v : l[k];
            h[k] = v > h[k] ? v : h[k];
        }
    for (; i < n; ++i)
    {
        const float v = frames[i];
        l[0] = v < l[0] ? v : l[0];
        h[0] = v > h[0] ? v : h[0];
    }
    for (int k = 1; k < kLanes; ++k)
    {
        l[0] = l[k] < l[0] ? l[k] : l[0];
        h[0] = h[k] > h[0] ? h[k] : h[0];
    }
    lo = l[0];
    hi = h[0];
}

int walkColumns(const float* frames, int64_t offset, int64_t visible, double width, Column* out, int maxColumns)
{
    if (!(width >= 1.0) || visible < 1 || !frames)
        return 0;
    const double columns = std::floor(width);
    const int n = columns < maxColumns ? static_cast<int>(columns) : maxColumns;
    const int64_t last = offset + visible; // one past the last frame in view
    int64_t cursor = offset;
    for (int c = 1; c <= n; ++c)
    {
        // c x visible stays exact in a double (both far below 2^53).
        int64_t end = offset + static_cast<int64_t>(static_cast<double>(c) * static_cast<double>(visible) / width);
        if (end > last)
            end = last;
        const int64_t from = cursor < last ? cursor : last - 1;
        const int64_t count = end > from ? end - from : 1;
        float lo, hi;
        extremes(frames + from, count, lo, hi);
        if (lo > hi)
            lo = hi = 0.0f; // NaN only
        out[c - 1] = {lo, hi};
        if (end > cursor)
            cursor = end;
    }
    return n;
}
} // namespace qw::wave
