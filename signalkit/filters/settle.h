// Settle and hold: while a module's inputs are static it keeps computing until
// its output meets a settling condition (exact float equality; a value that
// is not a number never equals), then holds that value as a static output so
// the host can let it sleep.
#pragma once

#include <algorithm>

namespace qw
{
// Runs next(i) for the samples [0, n) of a span, writing each value to out,
// until settled(value) accepts one: the rest of the span takes that value.
// Answers the index of that sample, or -1.
template <class Next, class Settled> inline int runUntilSettled(float* out, int n, Next next, Settled settled)
{
    for (int i = 0; i < n; ++i)
    {
        const float v = next(i);
        out[i] = v;
        if (settled(v))
        {
            std::fill(out + i + 1, out + n, v);
            return i;
        }
    }
    return -1;
}

// A value that is not finite counts as 0 (the state it came from is cleared).
inline float finiteOrZero(float v)
{
    return v - v == 0.0f ? v : 0.0f;
}
} // namespace qw
