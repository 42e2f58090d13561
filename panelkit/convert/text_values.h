// Numbers read from and written as the texts of interface pins, the same in
// every process locale (the decimal separator is a point), and colour
// channels.
#pragma once

#include <cstdint>
#include <string>

namespace qw
{
// The decimal integer at the start of a text: white space skipped, an
// optional sign, then digits; what follows is ignored. A number beyond the
// 32-bit range gives its end. False when the text holds no digit there.
bool leadingInt(const std::wstring& text, int32_t& out);

// The floating-point number at the start of a text as the C library reads
// it (decimal, exponent, hexadecimal, infinity and NaN forms), white space
// skipped, what follows ignored. False when there is none.
bool leadingDouble(const std::wstring& text, double& out);

// A double saturated to the float range: a finite value beyond it gives the
// largest float of its sign; infinities and NaN pass.
float saturatedFloat(double v);

// Most significant digits a %g precision asks for: above the most that any
// float has in its exact decimal form, so a larger precision changes nothing.
constexpr int kMostDigits = 128;

// x in the C library's general notation (%g) at that precision: significant
// digits (0 counts as 1, a negative precision as 6; above kMostDigits as
// kMostDigits), trailing zeros removed, exponent form below 1e-4 or from
// 10^precision on.
std::wstring generalText(double x, int precision);

// A colour channel in [0, 1]: below 0 gives 0, above 1 gives 1, NaN 0.
inline float unitChannel(float c)
{
    return c > 0.0f ? (c < 1.0f ? c : 1.0f) : 0.0f;
}
} // namespace qw
