// The shared pseudo-random generator: a 32-bit linear congruential step on a
// state the caller owns, and the conversions of a state to numbers. The low
// 23 bits give the mantissa of the float conversions; integers in a range
// come from the high bits (the low bits of this generator repeat with short
// periods).
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <utility>

namespace qw
{
namespace rnd
{
constexpr uint32_t kMultiplier = 1664525u;
constexpr uint32_t kIncrement = 1013904223u;

// The next state.
constexpr uint32_t step(uint32_t state)
{
    return state * kMultiplier + kIncrement;
}

// The float in [1, 2) whose mantissa is the state's low 23 bits.
inline float oneToTwo(uint32_t s)
{
    const uint32_t bits = (s & 0x007FFFFFu) | 0x3F800000u;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// [0, 1) in steps of 2^-23.
inline float unit(uint32_t s)
{
    return oneToTwo(s) - 1.0f;
}

// [-1, 1).
inline float bipolar(uint32_t s)
{
    return (oneToTwo(s) - 1.5f) * 2.0f;
}

// [-0.5, 0.5).
inline float halfBipolar(uint32_t s)
{
    return oneToTwo(s) - 1.5f;
}

// lo..hi inclusive (bounds in either order), from the state's high bits; the
// full 32-bit range included.
inline int32_t integer(uint32_t s, int32_t lo, int32_t hi)
{
    if (lo > hi)
        std::swap(lo, hi);
    const uint64_t n = static_cast<uint64_t>(static_cast<int64_t>(hi) - lo + 1);
    const int64_t v = static_cast<int64_t>(lo) + static_cast<int64_t>((static_cast<uint64_t>(s) * n) >> 32);
    return static_cast<int32_t>(v);
}

// 0 .. 2^31 - 1.
constexpr uint32_t bits31(uint32_t s)
{
    return s & 0x7FFFFFFFu;
}

// A generator whose state starts from the system's random source, so that two
// instances do not give the same sequence; or from a fixed seed, for a pattern
// that must repeat.
class RndIterator
{
public:
    RndIterator() : state_(fromSystem()) {}
    explicit RndIterator(uint32_t seed) : state_(seed) {}

    // One step; the new state.
    uint32_t next()
    {
        state_ = step(state_);
        return state_;
    }
    float nextUnit() { return unit(next()); }
    float nextBipolar() { return bipolar(next()); }
    float nextHalfBipolar() { return halfBipolar(next()); }
    int32_t nextInteger(int32_t lo, int32_t hi) { return integer(next(), lo, hi); }
    uint32_t next31() { return bits31(next()); }

    uint32_t state() const { return state_; }
    void seed(uint32_t s) { state_ = s; }

private:
    static uint32_t fromSystem()
    {
        try
        {
            std::random_device device;
            return static_cast<uint32_t>(device());
        }
        catch (...)
        {
            // No system source: differ at least by where the state lives and when.
            static uint32_t counter = 0;
            return step(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&counter)) ^ ++counter * 2654435761u);
        }
    }

    uint32_t state_;
};
} // namespace rnd
} // namespace qw
