// Shared pieces of the control, routing and trigger modules: registration,
// conversions of times to sample counts that stay inside 32 bits, and
// saturating counts.
#pragma once

#include "mp_sdk_audio.h"
#include "qw_int32.h"

#include <cfloat>
#include <cstdint>
#include <limits>

namespace qw::control
{
// Registers a processing module class under its identifier.
template <class T> void registerModule(const wchar_t* id)
{
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, id, &gmpi::Register<T>::withId);
}

// Truncation toward zero that saturates at the 32-bit limits; NaN gives 0.
inline int32_t truncateToInt(float v)
{
    return i32::truncate(v);
}

// Milliseconds to samples in 32-bit float arithmetic: ms x 0.001 x rate.
inline int32_t msToSamples(float ms, float sampleRate)
{
    return truncateToInt(ms * 0.001f * sampleRate);
}

// The same for a time that cannot be negative (NaN and negatives give 0).
inline int32_t holdSamples(float ms, float sampleRate)
{
    return ms > 0.0f ? msToSamples(ms, sampleRate) : 0;
}

// a + b, held at the 32-bit limits.
inline int32_t addSaturated(int32_t a, int32_t b)
{
    const int64_t s = static_cast<int64_t>(a) + b;
    if (s > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (s < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(s);
}

// A pin value made safe for arithmetic: NaN counts as 0, infinities as the
// largest finite value of their sign.
inline float finite(float v)
{
    if (!(v == v))
        return 0.0f;
    return v > FLT_MAX ? FLT_MAX : (v < -FLT_MAX ? -FLT_MAX : v);
}
} // namespace qw::control
