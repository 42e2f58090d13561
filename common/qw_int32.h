// 32-bit integer arithmetic that wraps in two's complement on overflow, with
// no signed overflow in the code; and floats made into integers safely.
//
// Option values (enumeration pins; any value not listed takes the last
// meaning):
//   comparison   0 signed values, other magnitudes
//   logic        0 AND, 1 OR, other XOR
#pragma once

#include <cstdint>
#include <limits>

namespace qw
{
namespace i32
{
// The low 32 bits of v as a signed value.
inline int32_t low32(int64_t v)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

// |x| as an unsigned value: 2147483648 for -2147483648.
inline uint32_t magnitude(int32_t x)
{
    const uint32_t u = static_cast<uint32_t>(x);
    return x < 0 ? 0u - u : u;
}

// -2147483648 stays -2147483648.
inline int32_t abs(int32_t x)
{
    return static_cast<int32_t>(magnitude(x));
}
inline int32_t add(int32_t a, int32_t b)
{
    return low32(static_cast<int64_t>(a) + b);
}
inline int32_t sub(int32_t a, int32_t b)
{
    return low32(static_cast<int64_t>(a) - b);
}
inline int32_t mul(int32_t a, int32_t b)
{
    return low32(static_cast<int64_t>(a) * b);
}
inline int32_t invert(int32_t x)
{
    return low32(-static_cast<int64_t>(x));
}

// Truncated towards zero; 0 for b = 0. -2147483648 / -1 wraps to
// -2147483648 like every other overflowing result.
inline int32_t div(int32_t a, int32_t b)
{
    if (b == 0)
        return 0;
    return low32(static_cast<int64_t>(a) / b);
}

// Ties go to a (signed) or b (magnitudes, compared as unsigned values).
inline int32_t max(int32_t a, int32_t b, int comparison)
{
    if (comparison == 0)
        return a < b ? b : a;
    return magnitude(a) > magnitude(b) ? a : b;
}
inline int32_t min(int32_t a, int32_t b, int comparison)
{
    if (comparison == 0)
        return b < a ? b : a;
    return magnitude(a) < magnitude(b) ? a : b;
}

// x into [0, range - 1]; 0 for range < 1.
inline int32_t wrap(int32_t x, int32_t range)
{
    if (range < 1)
        return 0;
    const int32_t r = x % range;
    return r < 0 ? r + range : r;
}

inline int32_t logic(int32_t a, int32_t b, int operation)
{
    if (operation == 0)
        return a & b;
    return operation == 1 ? (a | b) : (a ^ b);
}

// Truncation toward zero that saturates at the 32-bit limits; NaN gives 0.
inline int32_t truncate(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483648.0)
        return std::numeric_limits<int32_t>::max();
    if (v <= -2147483649.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}
} // namespace i32
} // namespace qw
