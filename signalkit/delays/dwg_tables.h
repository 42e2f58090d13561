// The two tables the waveguide QW_DWG shares between its instances through
// the host: 1024 x 1024 floats each, row r for a coefficient g = r / 1023,
// column c for a period P = 1 + c x 4999 / 1023 samples (1 to 5000).
//   PCORR  the loop length that gives the period P when the loop holds the
//          one-pole loss filter of coefficient g (its phase delay taken off);
//   FBSCAL g ^ (261.6529068725 x P / rate): a reflection of g per period of
//          the reference 261.6529068725 Hz, so the decay per second does not
//          depend on the period.
#pragma once

#include <algorithm>
#include <cmath>

namespace qw
{
namespace dwg
{
constexpr int kSize = 1024;
constexpr int kLast = kSize - 1;
constexpr int kBytes = kSize * kSize * 4;
constexpr double kLongest = 5000.0;
constexpr double kReference = 261.6529068725;

inline double periodOf(int column)
{
    return 1.0 + column * (kLongest - 1.0) / kLast;
}

// The loop length for the period P with the loss filter y += g (y' - y),
// H(w) = (1 - g) / (1 - g e^-jw): P less the filter's phase delay at 2 pi / P.
inline double correctedLength(double g, double P)
{
    const double w = 2.0 * M_PI / P;
    return std::max(1.0, P - P * std::atan2(g * std::sin(w), 1.0 - g * std::cos(w)) / (2.0 * M_PI));
}

inline double reflectionScale(double g, double P, double rate)
{
    return std::pow(g, kReference * P / rate);
}

inline void fillLengths(float* table)
{
    for (int r = 0; r < kSize; ++r)
        for (int c = 0; c < kSize; ++c)
            table[r * kSize + c] = static_cast<float>(correctedLength(double(r) / kLast, periodOf(c)));
}

inline void fillScales(float* table, double rate)
{
    for (int r = 0; r < kSize; ++r)
        for (int c = 0; c < kSize; ++c)
            table[r * kSize + c] = static_cast<float>(reflectionScale(double(r) / kLast, periodOf(c), rate));
}

// Bilinear read at a fractional row and column in [0, 1023] (the last row and
// column have no further neighbour).
inline float bilinear(const float* table, float row, float column)
{
    row = std::min(std::max(row, 0.0f), float(kLast));
    column = std::min(std::max(column, 0.0f), float(kLast));
    const int r = static_cast<int>(row), c = static_cast<int>(column);
    const float fr = row - float(r), fc = column - float(c);
    const int r1 = std::min(r + 1, kLast), c1 = std::min(c + 1, kLast);
    const float* a = table + r * kSize;
    const float* b = table + r1 * kSize;
    const float top = a[c] + (a[c1] - a[c]) * fc;
    const float bottom = b[c] + (b[c1] - b[c]) * fc;
    return top + (bottom - top) * fr;
}
} // namespace dwg
} // namespace qw
