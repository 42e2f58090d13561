// Slew-rate limiter: the output follows the input by at most the rise rate
// upwards and the fall rate downwards (signal units per second; negative
// rates count as 0). With the input static it runs until it reaches the
// input, then holds it.
#include "mp_sdk_audio.h"
#include "settle.h"

#include <algorithm>

class QW_RampFilter final : public MpBase2
{
public:
    QW_RampFilter()
    {
        initializePin(pinSignal_);
        initializePin(pinRise_);
        initializePin(pinFall_);
        initializePin(pinOutput_);
    }

    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        pinOutput_.setStreaming(false);
    }

    void onSetPins() override
    {
        if (pinSignal_.isUpdated())
        {
            pinOutput_.setStreaming(true);
            if (pinSignal_.isStreaming())
                setSubProcess(&QW_RampFilter::subProcessStreaming);
            else
                setSubProcess(&QW_RampFilter::subProcessPreStatic);
        }
        if (pinRise_.isUpdated())
            up_ = stepOf(pinRise_);
        if (pinFall_.isUpdated())
            down_ = -stepOf(pinFall_);
    }

    void subProcessStreaming(int n)
    {
        const float* in = pinSignal_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        float y = y_;
        for (int i = 0; i < n; ++i)
        {
            y = step(y, in[i]);
            out[i] = y;
        }
        y_ = qw::finiteOrZero(y);
    }

    void subProcessPreStatic(int n)
    {
        const float* in = pinSignal_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        const int at = qw::runUntilSettled(
            out, n, [&](int i) { return y_ = step(y_, in[i]); }, [&](float y) { return y == in[0]; });
        y_ = qw::finiteOrZero(y_);
        if (at >= 0)
        {
            pinOutput_.setStreaming(false, blockPosition_ + at);
            setSubProcess(&QW_RampFilter::subProcessStatic);
        }
    }

    void subProcessStatic(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, y_); }

private:
    float step(float y, float x) const
    {
        const float d = x - y;
        return y + (d < down_ ? down_ : std::min(up_, d));
    }

    // The step per sample of a rate per second: below 0 or not a number as 0.
    float stepOf(float rate) const
    {
        const float fs = getSampleRate();
        return rate > 0.0f && fs > 0.0f ? rate / fs : 0.0f;
    }

    AudioInPin pinSignal_;
    FloatInPin pinRise_;
    FloatInPin pinFall_;
    AudioOutPin pinOutput_;

    float up_ = 0.0f, down_ = 0.0f;
    float y_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_RampFilter", &gmpi::Register<QW_RampFilter>::withId);
}
