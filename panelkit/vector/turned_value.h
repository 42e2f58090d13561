// The value of a knob that turns through several turns across its range:
// each full turn changes it by (maximum - minimum) / turns, and it stays
// within the limits unless the knob is unlimited. Angles are in turns.
#pragma once

#include <cmath>

namespace qw::vector
{
struct TurnedValue
{
    float minimum = 0.0f, maximum = 10.0f;
    float turns = 10.0f;
    float shown = 0.0f; // what the knob shows, and turns on from

    // Limits from pins: one that is not a finite number counts as 0.
    void setLimits(float lo, float hi)
    {
        minimum = std::isfinite(lo) ? lo : 0.0f;
        maximum = std::isfinite(hi) ? hi : 0.0f;
    }

    // Within the limits, the minimum tested first (it wins when the limits
    // cross); NaN gives the minimum.
    float clamped(float v) const
    {
        if (minimum > v || std::isnan(v))
            return minimum;
        return v > maximum ? maximum : v;
    }

    // A value from outside, clamped unless unlimited (where one that is not
    // finite is refused). Whether the shown value changed.
    bool show(float v, bool unlimited)
    {
        if (!unlimited)
            v = clamped(v);
        else if (!std::isfinite(v))
            return false;
        if (v == shown)
            return false;
        shown = v;
        return true;
    }

    // The value turned on by `delta` turns, clamped unless unlimited, in
    // `out`; false (and `out` untouched) when it would not be finite.
    bool turnedBy(float delta, bool unlimited, float& out) const
    {
        float v = shown + (maximum - minimum) * delta / turns;
        if (!unlimited)
            v = clamped(v);
        if (!std::isfinite(v))
            return false;
        out = v;
        return true;
    }

    // The angle that shows the value: `start` at the minimum, one turn more
    // for each (maximum - minimum) / turns; `start` alone when the limits
    // leave no range or the angle is not finite (a start that is not finite
    // counts as 0).
    float angle(float start) const
    {
        const float s = std::isfinite(start) ? start : 0.0f;
        if (!(maximum > minimum))
            return s;
        const float a = s + (shown - minimum) * turns / (maximum - minimum);
        return std::isfinite(a) ? a : s;
    }
};
} // namespace qw::vector
