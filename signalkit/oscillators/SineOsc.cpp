// Sine oscillator with phase modulation and self-feedback: a phase in turns
// read through a 128-segment sine table. Pitch 1 V per octave (5 V = 440 Hz),
// held at a quarter of the sample rate. A reset value of exactly 1.0 restarts
// the phase while resetting is enabled; off writes zeros and keeps the phase.
#include "mp_sdk_audio.h"
#include "quarter_sine.h"
#include "qw_finite.h"
#include "qw_fm.h"

#include <algorithm>
#include <cmath>

class QW_SineOsc final : public MpBase2
{
public:
    QW_SineOsc()
    {
        initializePin(pinReset_);
        initializePin(pinOn_);
        initializePin(pinResetEnabled_);
        initializePin(pinPitch_);
        initializePin(pinPhaseMod_);
        initializePin(pinFeedback_);
        initializePin(pinOutput_);
    }

    int32_t open() override
    {
        const float fs = getSampleRate();
        pitchFactor_ = fs > 0.0f ? 440.0f / fs : 0.0f;
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (pinOn_.getValue())
        {
            if (pinPitch_.isStreaming())
                setSubProcess(&QW_SineOsc::subProcessStreamingPitch);
            else
            {
                // Exponent kept where 2^x is finite; NaN counts as 0.
                const float e = qw::finite::clampOrZero(10.0f * pinPitch_.getValue() - 5.0f, -126.0f, 127.0f);
                increment_ = std::min(0.25f, std::exp2(e) * pitchFactor_);
                setSubProcess(&QW_SineOsc::subProcessStaticPitch);
            }
            pinOutput_.setStreaming(true);
        }
        else
        {
            if (pinOutput_.isStreaming())
                pinOutput_.setStreaming(false);
            setSubProcess(&QW_SineOsc::subProcessOFF);
        }
        if (pinResetEnabled_.getValue() && pinReset_.isUpdated() && pinReset_.getValue() == 1.0f)
            phase_ = 0.0f;
    }

    void subProcessStreamingPitch(int n) { run<true>(n); }
    void subProcessStaticPitch(int n) { run<false>(n); }
    void subProcessOFF(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, 0.0f); }

private:
    template <bool StreamingPitch> void run(int n)
    {
        const float* pitch = pinPitch_.getBuffer() + blockPosition_;
        const float* pm = pinPhaseMod_.getBuffer() + blockPosition_;
        const float* fb = pinFeedback_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        float phase = phase_, increment = increment_, previous = previous_;
        const float factor = pitchFactor_;
        for (int i = 0; i < n; ++i)
        {
            if constexpr (StreamingPitch)
            {
                const float e = qw::finite::clampOrZero(10.0f * pitch[i] - 5.0f, -126.0f, 127.0f);
                increment = std::min(0.25f, qw::fm::exp2Fast(e) * factor);
            }
            const float m = qw::finite::clampOrZero(pm[i], -1.0f, 1.0f);
            const float k = qw::finite::clampOrZero(fb[i], 0.0f, 1.0f);
            const float x = phase + m + k * previous;
            const float y = qw::osc::sineOfTurn(x - std::floor(x));
            out[i] = y;
            previous = y;
            phase += increment;
            if (phase >= 1.0f)
                phase -= 1.0f;
        }
        // Nothing here can leave the finite range; a guard costs one test per span.
        phase_ = phase - phase == 0.0f ? phase : 0.0f;
        previous_ = previous - previous == 0.0f ? previous : 0.0f;
        increment_ = increment;
    }

    FloatInPin pinReset_;
    BoolInPin pinOn_;
    BoolInPin pinResetEnabled_;
    AudioInPin pinPitch_;
    AudioInPin pinPhaseMod_;
    AudioInPin pinFeedback_;
    AudioOutPin pinOutput_;

    float pitchFactor_ = 0.0f;
    float phase_ = 0.0f;
    float increment_ = 0.0f;
    float previous_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_SineOsc", &gmpi::Register<QW_SineOsc>::withId);
}
