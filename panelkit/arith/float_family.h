// What the float arithmetic interface modules share: their usual pin layouts
// on the bidirectional frame, and the conversions that two modules make in
// opposite directions. All arithmetic is 32-bit float with IEEE results:
// infinities and NaN pass through as values.
#pragma once

#include "bidirectional.h"
#include "qw_fm.h"

#include <cmath>
#include <limits>

namespace qw
{
constexpr float kMinusInfinity = -std::numeric_limits<float>::infinity();

// The usual layouts with float values.
class FloatFunction : public Function<float>
{
protected:
    using Function::Function;
};
using FloatOperation = Operation<float>;
using FloatOfTwo = OfTwo<float>;

// Base 2 (mode 0), e (1) or 10 (any other mode), through base 2.
inline float expIn(float x, int32_t mode)
{
    return mode == 0 ? std::exp2(x) : mode == 1 ? std::exp(x) : std::exp2(x * 3.321928f);
}
// The inverse of expIn; negative infinity below 0.
inline float logIn(float x, int32_t mode)
{
    if (x < 0.0f)
        return kMinusInfinity;
    return mode == 0 ? std::log2(x) : mode == 1 ? std::log(x) : std::log2(x) * 0.30103f;
}

// Angle units of the trigonometric functions: radians per unit of the angle
// (mode 1 degrees, 2 turns, any other radians), and units per radian.
inline float radiansPerUnit(int32_t mode)
{
    return mode == 1 ? 0.017453292f : mode == 2 ? 6.2831855f : 1.0f;
}
inline float unitsPerRadian(int32_t mode)
{
    return mode == 1 ? 57.295776f : mode == 2 ? 0.15915494f : 1.0f;
}

// An arc cosine or arc sine in the mode's unit: 0 outside [-1, 1] (a NaN
// passes).
inline float arcIn(float (*arc)(float), float r, int32_t mode)
{
    if (!(r >= -1.0f && r <= 1.0f) && r == r)
        return 0.0f;
    return arc(r) * unitsPerRadian(mode);
}

// Points: angle units 0 radians, 1 degrees, any other turns.
inline float toTurns(float angle, int32_t unit)
{
    return unit == 0 ? angle * 0.15915494f : unit == 1 ? angle / 360.0f : angle;
}
// Turns in [0, 1) give radians in [0, 2 pi) and degrees in [0, 360).
inline float fromTurns(float turns, int32_t unit)
{
    return unit == 0 ? turns * 6.2831855f : unit == 1 ? turns * 360.0f : turns;
}
inline float magnitudeOf(float x, float y)
{
    return std::sqrt(x * x + y * y);
}
// (magnitude, angle) from (X, Y); the zero vector has angle 0.
inline std::array<float, 2> toPolar(float x, float y, int32_t unit)
{
    return {magnitudeOf(x, y), fromTurns(fm::atan2Turns(y, x), unit)};
}
// (X, Y) from (magnitude, angle).
inline std::array<float, 2> toCartesian(float magnitude, float angle, int32_t unit)
{
    float s, c;
    fm::sinCosTurns(toTurns(angle, unit), s, c);
    return {magnitude * c, magnitude * s};
}

// v mapped linearly from a1 .. a2 to b1 .. b2, evaluated in that order; b1
// when a1 = a2. Nothing is clamped: reversed ends invert the slope.
inline float mapRange(float v, float a1, float a2, float b1, float b2)
{
    if (a1 == a2)
        return b1;
    return b1 + ((v - a1) * (b2 - b1)) / (a2 - a1);
}
} // namespace qw
