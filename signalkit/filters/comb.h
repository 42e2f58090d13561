// Shared pieces of the comb filters: the delay length and the first-order
// all-pass read between two stored samples.
#pragma once

#include <algorithm>

namespace qw
{
namespace comb
{
constexpr float kQuietLevel = 1e-5f;

// The delay in samples, at least 1 and at most `longest`; not a number (a
// NaN delay input, or 0 / 0) gives the shortest.
inline float clampDelay(float d, float longest)
{
    return d >= 1.0f ? std::min(d, longest) : 1.0f;
}

// A level in [-1, 1]; not a number counts as 0.
inline float clampLevel(float v)
{
    return v == v ? std::clamp(v, -1.0f, 1.0f) : 0.0f;
}

// The interpolated read: a the all-pass coefficient, A the sample written i
// samples ago, B the one before it; d the previous result, updated.
inline float allPass(float& d, float a, float A, float B)
{
    d = (A - d) * a + B;
    return d;
}
} // namespace comb
} // namespace qw
