// Pieces of the swept delays: a quadrature oscillator turned once per sample
// and brought back to the unit circle after every 64th sample it turns
// (whatever the host's block size), and the linearly interpolated tap of a
// power-of-two ring read through a fixed-point position.
#pragma once

#include "effect_pattern.h"
#include "qw_fm.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qw
{
namespace sweep
{
class Oscillator
{
public:
    // A rotation of f / fs turns per sample.
    void setRate(float f, float fs)
    {
        const float turns = fs > 0.0f ? f / fs : 0.0f;
        cosW_ = qw::fm::cosTurns(turns);
        sinW_ = qw::fm::sinTurns(turns);
    }

    float c() const { return c_; }
    float s() const { return s_; }

    void turn()
    {
        const float c = c_ * cosW_ - s_ * sinW_;
        s_ = c_ * sinW_ + s_ * cosW_;
        c_ = c;
        if (++turns_ == 64)
        {
            turns_ = 0;
            const float r = std::sqrt(c_ * c_ + s_ * s_);
            if (r > 0.0f && r - r == 0.0f)
            {
                c_ /= r;
                s_ /= r;
            }
            else
            {
                c_ = 1.0f;
                s_ = 0.0f;
            }
        }
    }

private:
    float c_ = 1.0f, s_ = 0.0f;
    float cosW_ = 1.0f, sinW_ = 0.0f;
    int turns_ = 0; // since the last renormalisation
};

// Ring of 2^Bits floats, positions with 32 - Bits fraction bits.
template <int Bits> struct Ring
{
    static constexpr int kSize = 1 << Bits;
    static constexpr int kShift = 32 - Bits;
    static constexpr uint32_t kStep = 1u << kShift;
    static constexpr float kScale = static_cast<float>(kStep);
    static constexpr float kFraction = 1.0f / kScale;

    // The tap `delay` samples (at least 0) behind write position w.
    static float tap(const float* ring, uint32_t w, float delay)
    {
        const uint32_t p = w - static_cast<uint32_t>(static_cast<int64_t>(std::max(delay, 0.0f) * kScale));
        const uint32_t i = p >> kShift;
        const float f = static_cast<float>(p & (kStep - 1)) * kFraction;
        return ring[i] * (1.0f - f) + ring[(i + 1) & (kSize - 1)] * f;
    }
};

// A depth-modulation sample clamped to [0, 1]; not a number counts as 0.
inline float modulation(float m)
{
    return qw::effect::clampOrZero(m, 0.0f, 1.0f);
}
} // namespace sweep
} // namespace qw
