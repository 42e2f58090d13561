// Frame of the audio-rate maths modules: audio inputs, then enumeration
// option pins, then audio outputs, in pin order. Each module runs one routine
// per span, chosen in onSetPins from its options, so the per-sample loops
// carry no option branches. Until a module's first routine is chosen its
// outputs carry zeros.
//
// Output streaming follows the inputs by one of three rules:
//   UnlessBothStream  report the inputs' state unless an input streams and the
//                     output already does (so a static input re-reports at
//                     every step, which restarts the sleep countdown)
//   Always            report the inputs' state at every step
//   OnInputChange     report the input's state only when it changed
// Reporting an output as not streaming restarts the framework's countdown of
// one host block, after which the module sleeps until the next event.
#pragma once

#include "control_modules.h"
#include "maths_ops.h"
#include "mp_sdk_audio.h"
#include "qw_fm.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

namespace qw::maths
{
enum class Streaming
{
    UnlessBothStream,
    Always,
    OnInputChange,
};

// The float just below 128: exp2 of it is finite (3.4e38), of 128 infinite.
constexpr float kBelow128 = 127.99999f;

// An argument of qw::fm::exp2Fast kept inside its domain: [-126, kBelow128],
// NaN as -126.
inline float fastExpArg(float y)
{
    return std::min(std::max(-126.0f, y), kBelow128);
}

// An argument of qw::fm::log2Fast kept inside its domain: positive and
// finite; 0, negative values and NaN count as the smallest normal float.
inline float fastLogArg(float x)
{
    return std::min(std::max(FLT_MIN, x), FLT_MAX);
}

// An argument of qw::fm::exp2Acc kept below the overflow, so a level stays
// finite (saturating near 3.4e38); NaN passes (exp2Acc gives 0 for it).
inline float belowOverflow(float y)
{
    return y > kBelow128 ? kBelow128 : y;
}

// OptionPin: the type of the pins between inputs and outputs.
// x k, saturated at the largest float where the product of a finite x
// overflows (volts of a huge sample, turns of a huge angle: every float that
// large is a whole number of turns), so no finite sample turns infinite on
// the way. Infinite and NaN samples stay what IEEE arithmetic makes them.
inline float scaled(float x, float k)
{
    const float y = x * k;
    return std::fabs(y) == HUGE_VALF && std::fabs(x) <= FLT_MAX ? std::copysign(FLT_MAX, y) : y;
}

// A sample in volts.
inline float volts(float x)
{
    return scaled(x, 10.0f);
}

template <int Ins, int Options, int Outs, Streaming Rule, class OptionPin = EnumInPin> class AudioFrame : public MpBase2
{
public:
    AudioFrame()
    {
        for (auto& p : in_)
            initializePin(p);
        for (int k = 0; k < Options; ++k)
            initializePin(option_[k]);
        for (auto& p : out_)
            initializePin(p);
        setSubProcess(&AudioFrame::subProcessZeros);
    }

    void subProcessZeros(int n)
    {
        for (auto& p : out_)
            std::fill_n(p.getBuffer() + blockPosition_, n, 0.0f);
    }

protected:
    void reconcileStreaming()
    {
        bool any = false, changed = false;
        for (auto& p : in_)
        {
            any |= p.isStreaming();
            changed |= p.isUpdated();
        }
        for (auto& p : out_)
        {
            if constexpr (Rule == Streaming::UnlessBothStream)
            {
                if (!(any && p.isStreaming()))
                    p.setStreaming(any);
            }
            else if constexpr (Rule == Streaming::Always)
                p.setStreaming(any);
            else if (changed)
                p.setStreaming(any);
        }
    }

    // After a new routine on a static input: the output changes, so it is
    // reported again (which also restarts the sleep countdown).
    void reportStaticChange()
    {
        bool any = false;
        for (auto& p : in_)
            any |= p.isStreaming();
        if (!any)
            for (auto& p : out_)
                p.setStreaming(false);
    }

    const float* in(int k) const { return in_[k].getBuffer() + blockPosition_; }
    float* out(int k) const { return out_[k].getBuffer() + blockPosition_; }
    int option(int k) const { return static_cast<int>(option_[k].getValue()); }
    bool optionUpdated(int k) const { return option_[k].isUpdated(); }

    // out 0 = f(in 0, in 1, ...) sample by sample over the span.
    template <class F> void map(int n, F f) { mapOf(n, f, std::make_index_sequence<Ins>()); }

    AudioInPin in_[Ins];
    OptionPin option_[Options > 0 ? Options : 1]; // the spare one of none is never registered
    AudioOutPin out_[Outs];

private:
    template <class F, size_t... K> void mapOf(int n, F f, std::index_sequence<K...>)
    {
        const float* x[Ins] = {in(static_cast<int>(K))...};
        float* y = out(0);
        for (int i = 0; i < n; ++i)
            y[i] = f(x[K][i]...);
    }
};
} // namespace qw::maths
