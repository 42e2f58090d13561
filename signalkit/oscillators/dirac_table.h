// The sine table the Dirac oscillators share through the host: one whole
// cycle in 2^18 floats. The first half is the double-precision sine of an
// angle advanced by repeated addition of pi / 131072; the second half is the
// first with its sign flipped, so the two halves are exact negatives.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace qw
{
namespace dirac
{
constexpr wchar_t kTableName[] = L"QW DIRAC OSC SINE TABLE";
constexpr int kEntries = 1 << 18;
constexpr int kHalf = kEntries / 2;
constexpr uint32_t kMask = kEntries - 1;
constexpr int32_t kBytes = kEntries * 4;

inline void fill(float* table)
{
    const double step = 3.14159265358979323846 / kHalf;
    double a = 0.0;
    for (int i = 0; i < kHalf; ++i)
    {
        table[i] = static_cast<float>(std::sin(a));
        a += step;
    }
    for (int i = 0; i < kHalf; ++i)
    {
        uint32_t b;
        std::memcpy(&b, &table[i], 4);
        b ^= 0x80000000u;
        std::memcpy(&table[kHalf + i], &b, 4);
    }
}
} // namespace dirac
} // namespace qw
