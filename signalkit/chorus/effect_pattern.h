// The control pattern of the delay-line effects (chorus, detuner, vibrato,
// pitch shifters): a streaming input starts the outputs; a static input
// either stops them at once or starts a tail that ends at an exact sample.
// Also the small conversions these effects share: a not-a-number control
// value counts as 0, float-to-integer conversions saturate, and a delay line
// keeps nothing non-finite past the block that wrote it.
#pragma once

#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "qw_int32.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace qw
{
namespace effect
{
using qw::finite::clampOrZero;
using qw::finite::clearNonFinite;
using qw::finite::orZero;
using qw::finite::saturated;

// trunc(v) saturated at the range of int32 (not a number gives 0).
inline int32_t truncSaturated(double v)
{
    return i32::truncate(v);
}

// A tail of a fixed number of samples after the input turned static.
class Tail
{
public:
    bool running() const { return remaining_ > 0; }
    void start(int samples) { remaining_ = samples; }
    void clear() { remaining_ = 0; }
    // The samples of a span of n that the routine computes: all, or the rest
    // of a running tail.
    int limit(int n) const { return running() ? std::min(n, remaining_) : n; }
    // After a routine computed `done` samples: true when the tail ended there.
    bool consume(int done)
    {
        if (!running())
            return false;
        remaining_ -= done;
        return remaining_ <= 0 ? (remaining_ = 0, true) : false;
    }

private:
    int remaining_ = 0;
};

inline void setStreaming(std::initializer_list<AudioOutPin*> outs, bool on, int position = -1)
{
    for (auto* o : outs)
        o->setStreaming(on, position);
}

// The pattern's answer to a change of the signal input for a module with a
// tail: true when the input streams (the outputs stream and the caller
// chooses its routine); a static input starts the tail when the outputs
// stream and none runs.
inline bool onInputWithTail(const AudioInPin& in, std::initializer_list<AudioOutPin*> outs, Tail& tail, int length)
{
    if (in.isStreaming())
    {
        tail.clear();
        setStreaming(outs, true);
        return true;
    }
    if ((*outs.begin())->isStreaming() && !tail.running())
        tail.start(length);
    return false;
}

// The end of a tail inside a span [start, start + n) after `done` samples:
// zeros from there and the outputs not streaming from that sample.
inline void endTail(std::initializer_list<AudioOutPin*> outs, int start, int done, int n)
{
    for (auto* o : outs)
        std::fill(o->getBuffer() + start + done, o->getBuffer() + start + n, 0.0f);
    setStreaming(outs, false, start + done);
}

inline void writeZeros(std::initializer_list<AudioOutPin*> outs, int start, int n)
{
    for (auto* o : outs)
        std::fill_n(o->getBuffer() + start, n, 0.0f);
}
} // namespace effect

// A ring of 4096 floats read through 12.20 fixed-point positions: the
// interpolated tap and the crossfaded pair of taps half the ring apart.
namespace ring12
{
constexpr int kSize = 4096;
constexpr uint32_t kStep = 0x100000u;
constexpr float kFraction = 1.0f / 1048576.0f;

inline float tap(const float* ring, uint32_t i, float f)
{
    return ring[i] * (1.0f - f) + ring[(i + 1) & (kSize - 1)] * f;
}

// The window read at position p with phase q: weight 0 at q = 0 rising to 1
// at q = 2^31 on the tap at p, the rest on the tap half the ring away.
inline float windowRead(const float* ring, uint32_t p, uint32_t q)
{
    const uint32_t i = p >> 20;
    const float f = static_cast<float>(p & 0xFFFFFu) * kFraction;
    const float w = 1.0f - 2.0f * std::fabs(static_cast<float>(q) * 2.3283064e-10f - 0.5f);
    return w * tap(ring, i, f) + (1.0f - w) * tap(ring, i ^ 0x800u, f);
}
} // namespace ring12
} // namespace qw
