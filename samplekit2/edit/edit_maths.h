// The arithmetic of the edit commands that change frame values: gains in
// decibels, fade curves and the smoothing kernel.
#pragma once

#include "qw_fm.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace qw::edit
{
// A gain pin as a factor: the value itself, or in dB mode
// 2^(value x 0.1660964) with the exponent kept to [-127, 128] and the factor
// to the largest float. False (no factor) for a NaN or infinite value.
inline bool gainFactor(float value, bool dB, float& factor)
{
    if (!(value - value == 0.0f))
        return false;
    if (!dB)
    {
        factor = value;
        return true;
    }
    const float f = qw::fm::exp2Acc(value * 0.1660964f);
    factor = f < std::numeric_limits<float>::max() ? f : std::numeric_limits<float>::max();
    return true;
}

// A product brought back into the float range (a NaN stays NaN).
inline float saturated(double v)
{
    constexpr double most = std::numeric_limits<float>::max();
    return static_cast<float>(v > most ? most : (v < -most ? -most : v));
}

// The fade factor at t in [0, 1): t itself, or the exponential curve
// 2^(4.3 t - 4.3) x 1.0534807 - 0.053480767.
inline float fadeCurve(float t, bool exponential)
{
    return exponential ? qw::fm::exp2Acc(4.3f * t - 4.3f) * 1.0534807f - 0.053480767f : t;
}

// Widths the smoothing takes: below 2 counts as 1, above 1024 as 1024.
constexpr int kMaxSmoothWidth = 1024;

// The smoothing kernel's taps for a width, at the distances -reach .. reach
// (2 reach + 1 values, reach = 2 x width + 1 for the width taken), and the
// step that scales their sum.
std::vector<float> smoothTaps(int width, float& step);

// Smooths frames start..end of `frames` (count frames) with a cubic kernel
// stretched over width + 1 frames a lobe: k(u) = 1.5u^3 - 2.5u^2 + 1 below
// 1, -0.5u^3 + 2.5u^2 - 4u + 2 below 2, 0 beyond, at u = |j| / (width + 1)
// for the neighbour at distance j, the sum then scaled by 1 / (width + 1).
// Plainly the neighbours run over the whole sample and stop at its ends;
// cyclic, they run round the selection. `out` gets the end - start + 1
// results; the frames are only read.
void smooth(const float* frames, int64_t count, int64_t start, int64_t end, int width, bool cyclic,
            std::vector<float>& out);
} // namespace qw::edit
