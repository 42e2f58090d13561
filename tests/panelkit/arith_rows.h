// Rows shared by the tests of the float arithmetic interface modules.
#pragma once

#include "ui_table.h"

namespace arith
{
using namespace qwtest;

// A value no result of these tests takes. Stored on a pin first (setPin
// alone), it makes any result written there a change, 0 included, so that
// the module sends it.
constexpr float kMark = 12345.0f;
inline UiRow mark(int pin)
{
    return setOnly(pin, f32(kMark));
}

// A result on both copies: the right copy first, then the left one.
inline UiSends copies(int left, int right, double v, double tolerance = 0.0)
{
    return {near(right, v, tolerance), near(left, v, tolerance)};
}

// A value the module writes on one pin.
inline UiSends one(int pin, double v, double tolerance = 0.0)
{
    return {near(pin, v, tolerance)};
}
} // namespace arith
