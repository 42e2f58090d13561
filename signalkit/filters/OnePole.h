// One-pole low-pass filters: y = (y - x) x p + x with p = exp(-2 pi fc / fs),
// the cutoff an audio signal in hertz (10 Hz per unit) or as a pitch (1 V per
// octave, 5 V = 440 Hz). The pole is recomputed only when the cutoff sample
// changes. Where y - x overflows (values near opposite float limits) the step
// is worked out in double: its result lies between them. While the signal input is static the filter runs until its output
// repeats itself, then holds that value as a static output.
#pragma once

#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "qw_fm.h"
#include "settle.h"

#include <algorithm>

namespace qw
{
namespace onepole
{
constexpr float kLog2eTwoPi = -9.06472f; // -2 pi log2(e): 2^(k f / fs) = exp(-2 pi f / fs)

// The pole for a cutoff sample c (not a number counts as 0). hertz = -9.06472
// x 10 / fs, pitch = -9.06472 x 440 / fs. Every argument of exp2Fast stays in
// [-126, 127]; the pole in [0, 1].
inline float poleOf(float c, bool pitchMode, float hertz, float pitch)
{
    c = c == c ? c : 0.0f;
    float p;
    if (!pitchMode)
        p = qw::fm::exp2Fast(std::clamp(hertz * c, -126.0f, 0.0f));
    else
    {
        const float e = qw::fm::exp2Fast(std::clamp(10.0f * c - 5.0f, -126.0f, 127.0f));
        p = qw::fm::exp2Fast(std::clamp(e * pitch, -126.0f, 0.0f));
    }
    return std::clamp(p, 0.0f, 1.0f);
}

// One step y = (y - x) p + x; an infinite x gives NaN, which the span's end
// clears.
inline float step(float y, float x, float p)
{
    return qw::finite::finiteOr((y - x) * p + x,
                                [=] { return (static_cast<double>(y) - x) * p + qw::finite::infinityAsNaN(x); });
}
} // namespace onepole

template <bool HasReset> class OnePoleFilter : public MpBase2
{
public:
    OnePoleFilter()
    {
        if constexpr (HasReset)
            initializePin(pinReset_);
        initializePin(pinSignal_);
        initializePin(pinCutoff_);
        initializePin(pinMode_);
        initializePin(pinOutput_);
    }

    int32_t open() override
    {
        const float rate = getSampleRate();
        hertz_ = rate > 0.0f ? onepole::kLog2eTwoPi * 10.0f / rate : 0.0f;
        pitch_ = rate > 0.0f ? onepole::kLog2eTwoPi * 440.0f / rate : 0.0f;
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (pinSignal_.isUpdated())
        {
            if (pinSignal_.isStreaming())
                setSubProcess(&OnePoleFilter::subProcess);
            else
                setSubProcess(&OnePoleFilter::subProcessPreStatic);
            pinOutput_.setStreaming(true);
        }
        if (pinMode_.isUpdated())
            stale_ = true; // the next sample computes the pole in the new mode
        if constexpr (HasReset)
        {
            if (pinReset_.isUpdated() && pinReset_.getValue() == 1.0f)
            {
                y_ = 0.0f;
                // Held static: the output changes, so it streams and settles again.
                if (saveSubProcess_ == static_cast<SubProcess_ptr>(&OnePoleFilter::subProcessStatic))
                {
                    setSubProcess(&OnePoleFilter::subProcessPreStatic);
                    pinOutput_.setStreaming(true);
                }
            }
        }
    }

    void subProcess(int n)
    {
        const float* in = pinSignal_.getBuffer() + blockPosition_;
        const float* cut = pinCutoff_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        const bool pitchMode = pinMode_.getValue() != 0;
        const float hertz = hertz_, pitch = pitch_;
        float y = y_, cached = cached_, p = p_;
        bool stale = stale_;
        for (int i = 0; i < n; ++i)
        {
            const float c = cut[i];
            if (c != cached || stale)
            {
                p = onepole::poleOf(c, pitchMode, hertz, pitch);
                cached = c;
                stale = false;
            }
            y = onepole::step(y, in[i], p);
            out[i] = y;
        }
        cached_ = cached, p_ = p, stale_ = stale;
        y_ = finiteOrZero(y);
    }

    void subProcessPreStatic(int n)
    {
        const float* in = pinSignal_.getBuffer() + blockPosition_;
        const float* cut = pinCutoff_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        const int at = runUntilSettled(
            out, n,
            [&](int i) {
                const float p = pole(cut[i]);
                last_ = y_;
                y_ = onepole::step(y_, in[i], p);
                return y_;
            },
            [&](float y) { return y == last_; });
        y_ = finiteOrZero(y_);
        if (at >= 0)
        {
            pinOutput_.setStreaming(false, blockPosition_ + at);
            setSubProcess(&OnePoleFilter::subProcessStatic);
        }
    }

    void subProcessStatic(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, y_); }

private:
    float pole(float c)
    {
        if (c != cached_ || stale_)
        {
            p_ = onepole::poleOf(c, pinMode_.getValue() != 0, hertz_, pitch_);
            cached_ = c;
            stale_ = false;
        }
        return p_;
    }

    FloatInPin pinReset_; // only a pin when HasReset
    AudioInPin pinSignal_;
    AudioInPin pinCutoff_;
    EnumInPin pinMode_;
    AudioOutPin pinOutput_;

    float hertz_ = 0.0f, pitch_ = 0.0f;
    float cached_ = 0.0f, p_ = 0.0f;
    bool stale_ = true;
    float y_ = 0.0f, last_ = 0.0f;
};
} // namespace qw
