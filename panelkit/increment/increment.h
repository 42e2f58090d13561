// What the stepping and accumulating interface modules share: one step of a
// value within limits, wrapped or clamped, and an accumulator's move by a
// scaled delta. A NaN step or delta changes nothing, like a delta of 0.
#pragma once

#include "mp_sdk_gui.h"

#include <cmath>
#include <cstdint>

namespace qw
{
// value + step (or - step), in 64 bits. Wrapped: into lo .. hi with the
// period hi - lo + 1, the value repeated subtractions and additions of the
// period would give; a period below 1 (hi < lo) clamps instead. Clamped: to
// lo, then to hi (so hi wins when the limits cross).
inline int32_t stepped(int32_t value, int32_t lo, int32_t hi, int32_t step, bool down, bool wrap)
{
    const int64_t v = static_cast<int64_t>(value) + (down ? -static_cast<int64_t>(step) : static_cast<int64_t>(step));
    const int64_t period = static_cast<int64_t>(hi) - lo + 1;
    if (wrap && period >= 1)
    {
        int64_t m = (v - lo) % period;
        if (m < 0)
            m += period;
        return static_cast<int32_t>(lo + m);
    }
    int64_t c = v < lo ? lo : v;
    c = c > hi ? hi : c;
    return static_cast<int32_t>(c);
}

// Float steps: a wrapping loop ends after this many periods, or when one
// leaves the value unchanged, and the value is then clamped.
constexpr int kMaxWrapPeriods = 1000;

// The same in float arithmetic; false (nothing to write) for a NaN result (a
// NaN step or value, infinities of opposite signs). Wrapped, the period is
// subtracted while the value lies above hi, then added while it lies below
// lo, so an overshoot that is no whole number of periods may end outside the
// range (1.1 in 0 .. 1 stays 1.1); a loop cut short clamps. The limits
// crossed, or a period that is not finite, clamp instead.
inline bool stepped(float value, float lo, float hi, float step, bool down, bool wrap, float& out)
{
    float v = value + (down ? -step : step);
    const float period = hi - lo + 1.0f;
    bool clamp = !(wrap && hi >= lo && std::isfinite(period));
    for (int n = 0; !clamp && v > hi; ++n)
    {
        const float next = v - period;
        clamp = next == v || n == kMaxWrapPeriods;
        v = next;
    }
    for (int n = 0; !clamp && v < lo; ++n)
    {
        const float next = v + period;
        clamp = next == v || n == kMaxWrapPeriods;
        v = next;
    }
    if (clamp)
    {
        v = v < lo ? lo : v;
        v = v > hi ? hi : v;
    }
    if (std::isnan(v))
        return false;
    out = v;
    return true;
}

// An accumulator's move: delta x scale + from, below lo giving lo, else above
// hi giving hi. False (nothing changes) for a delta of 0 or NaN, or a NaN sum
// (a NaN scale or value, an infinite delta by a scale of 0).
inline bool accumulated(float delta, float scale, float from, float lo, float hi, float& out)
{
    if (delta == 0.0f || std::isnan(delta))
        return false;
    const float v = delta * scale + from;
    if (std::isnan(v))
        return false;
    out = v < lo ? lo : v > hi ? hi : v;
    return true;
}
} // namespace qw
