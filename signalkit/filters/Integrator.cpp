// Leaky integrator: y = y x leak + x, the leak an audio signal limited to
// [-1, 1]. The sum saturates at the float limit (an infinite input clears it
// instead). With both inputs static it runs until the output repeats itself,
// then holds it.
#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "settle.h"

#include <algorithm>

class QW_Integrator final : public MpBase2
{
public:
    QW_Integrator()
    {
        initializePin(pinSignal_);
        initializePin(pinLeak_);
        initializePin(pinOutput_);
    }

    void onSetPins() override
    {
        pinOutput_.setStreaming(true);
        if (pinSignal_.isStreaming() || pinLeak_.isStreaming())
            setSubProcess(&QW_Integrator::subProcess);
        else
            setSubProcess(&QW_Integrator::subProcessPreStatic);
    }

    void subProcess(int n)
    {
        const float* in = pinSignal_.getBuffer() + blockPosition_;
        const float* leak = pinLeak_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        float y = y_;
        for (int i = 0; i < n; ++i)
        {
            y = step(y, leakOf(leak[i]), in[i]);
            out[i] = y;
        }
        y_ = qw::finiteOrZero(y);
    }

    void subProcessPreStatic(int n)
    {
        const float* in = pinSignal_.getBuffer() + blockPosition_;
        const float* leak = pinLeak_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        float last = y_;
        const int at = qw::runUntilSettled(
            out, n,
            [&](int i) {
                last = y_;
                y_ = step(y_, leakOf(leak[i]), in[i]);
                return y_;
            },
            [&](float y) { return y == last; });
        y_ = qw::finiteOrZero(y_);
        if (at >= 0)
        {
            pinOutput_.setStreaming(false, blockPosition_ + at);
            setSubProcess(&QW_Integrator::subProcessStatic);
        }
    }

    void subProcessStatic(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, y_); }

private:
    // One step of the sum, saturated at the float limit; an infinite input
    // gives NaN, which the span's end clears.
    static float step(float y, float leak, float x)
    {
        return qw::finite::finiteOr(y * leak + x,
                                    [=] { return static_cast<double>(y) * leak + qw::finite::infinityAsNaN(x); });
    }

    // The leak limited to [-1, 1]; not a number counts as 0.
    static float leakOf(float v) { return v == v ? std::clamp(v, -1.0f, 1.0f) : 0.0f; }

    AudioInPin pinSignal_;
    AudioInPin pinLeak_;
    AudioOutPin pinOutput_;
    float y_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Integrator", &gmpi::Register<QW_Integrator>::withId);
}
