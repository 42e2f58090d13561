// What the table-lookup oscillators share. Each plays a second-generation
// sample as one cycle of a periodic waveform: a phase in [0, 1) runs through
// the table at a rate given by its pitch (or rate) input, and the table is
// read cyclically through one of the interpolating readers (one block routine
// per reader). Kernel readers are stretched by the number of table entries
// passed per output sample (w = 1 / (increment x length), at most 16 times),
// so a long table read fast is low-passed rather than aliased.
//
// Pitch: 1 V per octave on pin values (0.1 per octave), 5 V (0.5) = 440 Hz;
// the increment is at most a quarter cycle per sample.
#pragma once

#include "Sample2Pins.h"
#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "qw_fm.h"
#include "resamp.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qw::lut
{
// Cycles per output sample are held at or below this.
constexpr float kMaxIncrement = 0.25f;
// Pitch exponents above this are taken as this: far beyond the increment cap,
// and well inside the range of the fast 2^x.
constexpr float kMaxOctaves = 64.0f;

// 2^(10 v - 5), the pitch factor of a pin value v (not a number counts as 0 V).
inline float pitchFactor(float v)
{
    return qw::fm::exp2Fast(std::clamp(10.0f * qw::finite::orZero(v) - 5.0f, -126.0f, kMaxOctaves));
}

// A value in [lo, hi]; not a number counts as 0 first.
inline float clampInput(float v, float lo, float hi)
{
    return qw::finite::clampOrZero(v, lo, hi);
}

// The fraction of a phase, in [0, 1]: the fraction of a tiny negative phase
// rounds to 1, which `locate` reads as entry 0.
inline float wrap(float phase)
{
    return phase - std::floor(phase);
}

// Entry index and fraction of a phase over n entries. A product that rounds
// up to n (a phase just below 1, or 1 itself) reads entry 0.
inline void locate(float phase, int n, int& i, float& frac)
{
    float p = phase * static_cast<float>(n);
    if (!(p >= 0.0f && p < static_cast<float>(n)))
        p = 0.0f;
    i = std::min(static_cast<int>(p), n - 1);
    frac = p - static_cast<float>(i);
}

// The table x of n entries read as a cycle at a phase, with stretch w.
template <class R> inline float readCycle(const float* x, int n, float phase, float w)
{
    int i;
    float frac;
    locate(phase, n, i, frac);
    return R::looped(x, n, i, frac, w);
}

// The readers' stretch for `inc` cycles per sample over n entries.
inline float stretchFor(float inc, int n)
{
    return qw::resamp::stretch(std::abs(inc) * static_cast<float>(n));
}

// The sum of n frames in frame order, over n.
inline float tableMean(const float* x, int n)
{
    float sum = 0.0f;
    for (int k = 0; k < n; ++k)
        sum += x[k];
    return sum / static_cast<float>(n);
}

// Where a cycle is and how fast it runs.
struct Cycle
{
    float phase = 0.0f;
    float inc = 0.0f; // cycles per sample
    float e = 0.0f;   // the pitch factor the increment came from
    float w = 1.0f;   // the readers' stretch for inc over the table
    // The pitch value the increment came from. Not a number after a restart,
    // which no input equals, so the first sample always sets the increment.
    float lastPitch = std::numeric_limits<float>::quiet_NaN();

    void restart() { *this = Cycle(); }

    // A new pitch value (a NaN always counts as new) sets the increment.
    void follow(float v, float rateFactor, int n)
    {
        if (v == lastPitch)
            return;
        lastPitch = v;
        e = pitchFactor(v);
        inc = std::min(kMaxIncrement, e * rateFactor);
        w = stretchFor(inc, n);
    }

    // One sample on; true when the phase wrapped.
    bool advance()
    {
        phase += inc;
        if (phase < 1.0f)
            return false;
        phase -= 1.0f;
        return true;
    }
};

// The working table of the synced oscillator: the table read from position 0
// at `s` entries per entry, crossfaded into the same read started at frac(1 -
// s) x n, which lands on a multiple of n after n steps, so the end joins the
// start. Positions wrap by the remainder however short the table.
//
// Reads: with `Stretched`, the reader's kernel widened by min(1, 1/s) (the
// naive reader takes the entry); without, the kernel at its natural width
// (the naive reader interpolates linearly).
template <class R, bool Stretched> float syncRead(const float* x, int n, double p, float w)
{
    int i = static_cast<int>(p);
    float frac = static_cast<float>(p - i);
    if (i >= n)
        i = 0, frac = 0.0f;
    if constexpr (!R::kInterpolates && Stretched)
        return x[i];
    else if constexpr (!R::kInterpolates)
        return qw::resamp::LinReader::looped(x, n, i, frac, 1.0f);
    else
        return R::looped(x, n, i, frac, w);
}

inline double reduce(double p, int n)
{
    if (p < n)
        return p;
    p -= n;
    return p < n ? p : std::fmod(p, static_cast<double>(n));
}

template <class R, bool Stretched> void syncRebuild(const float* x, int n, float s, float* out)
{
    const float w = Stretched ? qw::resamp::stretch(s) : 1.0f;
    const double step = s;
    const double start = 1.0 - step;
    double p1 = 0.0, p0 = (start - std::floor(start)) * n;
    p0 = reduce(p0, n);
    const double dg = 1.0 / n;
    for (int k = 0; k < n; ++k)
    {
        const float g = static_cast<float>(k * dg);
        out[k] = (1.0f - g) * syncRead<R, Stretched>(x, n, p1, w) + g * syncRead<R, Stretched>(x, n, p0, w);
        p1 = reduce(p1 + step, n);
        p0 = reduce(p0 + step, n);
    }
}

// Entry k of syncRebuild's working table on its own, for a player that fills
// the table only where it reads it. The rebuild's read positions are sums of
// s wrapped into [0, n). With s in [1/16, 16) every such sum is a multiple of
// 2^-27 (the spacing of floats from 1/16 on), and with n <= 2^21 it stays
// below 2^26, so every step is exact in double and the position after k
// steps is (first + k s) mod n, worked out exactly here at once.
inline bool syncEntryExact(float s, int n)
{
    return s >= 0.0625f && s < 16.0f && n > 0 && n <= (1 << 21);
}

// p mod n for 0 <= p < 2^26, p a multiple of 2^-27 (see syncEntryExact).
// The quotient's floor is exact: a p below a multiple j n lies at least
// 2^-27 below it, so p / n lies more than j 2^-53 below j and never rounds up
// to it. Then p - j n, a multiple of 2^-27 in [0, n), is exact too.
inline double exactMod(double p, double n)
{
    return p - std::floor(p / n) * n;
}

// What syncEntry needs of a ratio.
struct SyncPlan
{
    double step = 0.0;  // s
    double first = 0.0; // the second read's first position
    float w = 1.0f;     // the readers' stretch
};

template <bool Stretched> SyncPlan syncPlan(float s, int n)
{
    SyncPlan plan;
    plan.w = Stretched ? qw::resamp::stretch(s) : 1.0f;
    plan.step = s;
    const double start = 1.0 - plan.step;
    plan.first = reduce((start - std::floor(start)) * n, n);
    return plan;
}

// The same value as syncRebuild's out[k] where syncEntryExact(s, n).
template <class R, bool Stretched> float syncEntry(const float* x, int n, const SyncPlan& plan, int k)
{
    const double dg = 1.0 / n;
    const float g = static_cast<float>(k * dg);
    const double moved = static_cast<double>(k) * plan.step;
    const double nd = n;
    return (1.0f - g) * syncRead<R, Stretched>(x, n, exactMod(moved, nd), plan.w) +
           g * syncRead<R, Stretched>(x, n, exactMod(plan.first + moved, nd), plan.w);
}

// The base of the oscillators: the output, the silent routine, mute, and the
// choice between playing and silence.
class OscBase : public MpBase2
{
public:
    int32_t open() override
    {
        const float rate = getSampleRate();
        rateFactor_ = rate > 0.0f ? 440.0f / rate : 0.0f;
        setSubProcess(&OscBase::subProcessSilence);
        return MpBase2::open();
    }

    void subProcessSilence(int n) { std::fill_n(output_.getBuffer() + blockPosition_, n, 0.0f); }

protected:
    // While the mute pin is non-zero the module is silent and its output
    // static; answers true then. `ended` says that a mute has just ended:
    // the caller then takes up the table as if it had just arrived.
    bool applyMute(int mute, bool& ended)
    {
        const bool muted = mute != 0;
        ended = muted_ && !muted;
        muted_ = muted;
        if (muted)
        {
            active_ = false;
            setSubProcess(&OscBase::subProcessSilence);
            if (output_.isStreaming())
                output_.setStreaming(false);
        }
        return muted;
    }

    // Plays `routine` while active, else silence; the output streams exactly then.
    template <class D> void activate(bool active, void (D::*routine)(int))
    {
        active_ = active;
        if (active)
            setSubProcess(routine);
        else
            setSubProcess(&OscBase::subProcessSilence);
        output_.setStreaming(active);
    }

    AudioOutPin output_;
    float rateFactor_ = 0.0f; // 440 Hz in cycles per sample
    bool active_ = false;
    bool muted_ = false;
};
} // namespace qw::lut
