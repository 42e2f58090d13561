// Band-limited pulse (impulse-train) oscillator: a discrete summation formula
// (the Dirichlet kernel less its constant term) gives A harmonics of equal
// amplitude and harmonic A + 1 faded in by the fractional harmonic count, all
// below the Nyquist limit or a set maximum. The cycle's parameters are taken
// from the inputs at each cycle start. Pitch 1 V per octave (5 V = 440 Hz),
// from 13.75 Hz to a quarter of the sample rate.
#include "mp_sdk_audio.h"
#include "quarter_sine.h"
#include "qw_finite.h"
#include "qw_fm.h"

#include <algorithm>
#include <cmath>

class QW_PulseOsc final : public MpBase2
{
public:
    static constexpr float kLargestVolts = 1e6f; // keeps the unnormalised sum finite

    QW_PulseOsc()
    {
        initializePin(pinMute_);
        initializePin(pinGate_);
        initializePin(pinPitch_);
        initializePin(pinHarmonics_);
        initializePin(pinAmplitude_);
        initializePin(pinUnnormalised_);
        initializePin(pinOutput_);
    }

    int32_t open() override
    {
        const float fs = getSampleRate();
        inverseRate_ = fs > 0.0f ? 1.0f / fs : 0.0f;
        halfRate_ = fs * 0.5f;
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (pinMute_.getValue() != 0)
        {
            setSubProcess(&QW_PulseOsc::subProcessStatic);
            if (pinOutput_.isStreaming())
                pinOutput_.setStreaming(false);
            return;
        }
        if (!pinGate_.isUpdated())
            return;
        if (pinGate_.getValue())
        {
            setSubProcess(&QW_PulseOsc::subProcess);
            pinOutput_.setStreaming(true);
            A_ = B_ = C_ = phase_ = 0.0f;
            increment_ = 1.0f; // the first sample starts a new cycle
        }
        else
        {
            setSubProcess(&QW_PulseOsc::subProcessStatic);
            if (pinOutput_.isStreaming())
                pinOutput_.setStreaming(false);
        }
    }

    void subProcess(int n)
    {
        const float* pitch = pinPitch_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        for (int i = 0; i < n; ++i)
        {
            float next = phase_ + increment_;
            if (next >= 1.0f)
            {
                newCycle(pitch[i]);
                next -= 1.0f;
            }
            out[i] = DSF(phase_, A_, B_, C_);
            phase_ = next;
        }
    }

    void subProcessStatic(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, 0.0f); }

    // One sample of the kernel at phase x: A harmonics of amplitude 2C and
    // harmonic A + 1 at 2BC.
    static float DSF(float x, float A, float B, float C)
    {
        const float d = qw::osc::quarterSine(std::min(x, 1.0f - x) * 64.0f);
        if (d == 0.0f)
            return 2.0f * C * (A + B); // the kernel's limit at x = 0
        const float s1 = sineOf(x * (A + 1.5f));
        const float s2 = sineOf(x * (A + 0.5f));
        return C * ((B * s1 + (1.0f - B) * s2) / d - 1.0f);
    }

private:
    // ~sin(2 pi g) for g >= 0.
    static float sineOf(float g)
    {
        const float u = g - std::floor(g);
        const float v = std::min(1.0f - u, u);
        const float s = qw::osc::quarterSine(std::min(0.5f - v, v) * 128.0f);
        return u >= 0.5f ? -s : s;
    }

    void newCycle(float pitch)
    {
        const float p = std::clamp(std::max(0.0f, qw::finite::orZero(pitch)) * 10.0f - 5.0f, -127.0f, 128.0f);
        const float f = std::min(440.0f * qw::fm::exp2Acc(p), halfRate_ * 0.5f);
        float N = halfRate_ / f - 1.0f;
        const int most = pinHarmonics_.getValue();
        if (most > 0)
            N = std::min(N, static_cast<float>(most));
        N = N >= 1.0f ? N : 1.0f; // a host rate of 0 leaves no room: one harmonic then
        const float volts = qw::finite::clampOrZero(pinAmplitude_.getValue(), -kLargestVolts, kLargestVolts);
        C_ = volts * 0.1f * (pinUnnormalised_.getValue() ? 1.0f : 0.5f / N);
        A_ = std::floor(N);
        B_ = N - A_;
        increment_ = f * inverseRate_;
    }

    IntInPin pinMute_;
    BoolInPin pinGate_;
    AudioInPin pinPitch_;
    IntInPin pinHarmonics_;
    FloatInPin pinAmplitude_;
    BoolInPin pinUnnormalised_;
    AudioOutPin pinOutput_;

    float halfRate_ = 0.0f, inverseRate_ = 0.0f;
    float A_ = 0.0f, B_ = 0.0f, C_ = 0.0f;
    float phase_ = 0.0f, increment_ = 1.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_PulseOsc", &gmpi::Register<QW_PulseOsc>::withId);
}
