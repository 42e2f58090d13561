// A quarter sine cycle in 32 linear segments (128 per cycle): the table of
// the sine and pulse oscillators, read at a position in [0, 32].
#pragma once

#include <algorithm>
#include <array>
#include <cmath>

namespace qw
{
namespace osc
{
// Entry i = sin(i pi / 64) for i = 0..32, and a 0 after the last so that a
// read at exactly 32 needs no test.
inline const std::array<float, 34> kQuarterSine = [] {
    std::array<float, 34> t{};
    for (int i = 0; i <= 32; ++i)
        t[size_t(i)] = static_cast<float>(std::sin(i * 3.14159265358979323846 / 64.0));
    t[0] = 0.0f;
    t[32] = 1.0f;
    return t;
}();

// Linear interpolation at q in [0, 32].
inline float quarterSine(float q)
{
    const int i = std::min(static_cast<int>(q), 32);
    const float u = q - static_cast<float>(i);
    return (1.0f - u) * kQuarterSine[size_t(i)] + u * kQuarterSine[size_t(i) + 1];
}

// ~sin(2 pi f) for f in [0, 1]: folded into the quarter, negated in the
// second half.
inline float sineOfTurn(float f)
{
    const float q = (0.25f - std::fabs(std::fabs(0.5f - f) - 0.25f)) * 128.0f;
    const float s = quarterSine(q);
    return f < 0.5f ? s : -s;
}
} // namespace osc
} // namespace qw
