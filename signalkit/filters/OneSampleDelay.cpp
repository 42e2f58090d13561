// One-sample delay. When the input turns static, the output takes the static
// value one sample later and is reported static from that sample on.
#include "mp_sdk_audio.h"

#include <algorithm>

class QW_OneSampleDelay final : public MpBase2
{
public:
    QW_OneSampleDelay()
    {
        initializePin(pinSignal_);
        initializePin(pinOutput_);
    }

    void onSetPins() override
    {
        setSubProcess(&QW_OneSampleDelay::subProcess);
        pinOutput_.setStreaming(true);
    }

    void subProcess(int n)
    {
        const float* in = pinSignal_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        if (!pinSignal_.isStreaming())
        {
            // The last streamed sample, then the static value from the next on.
            out[0] = x1_;
            x1_ = in[0];
            pinOutput_.setStreaming(false, blockPosition_ + 1);
            setSubProcess(&QW_OneSampleDelay::subProcessStatic);
            std::fill(out + 1, out + n, x1_);
            return;
        }
        float x1 = x1_;
        for (int i = 0; i < n; ++i)
        {
            out[i] = x1;
            x1 = in[i];
        }
        x1_ = x1;
    }

    void subProcessStatic(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, x1_); }

private:
    AudioInPin pinSignal_;
    AudioOutPin pinOutput_;
    float x1_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_OneSampleDelay", &gmpi::Register<QW_OneSampleDelay>::withId);
}
