// First difference: output = x - previous x, saturated at the float limit
// (inputs near opposite limits). When the input turns static the last
// difference is output once, then zeros as a static output.
#include "mp_sdk_audio.h"
#include "qw_finite.h"

#include <algorithm>

class QW_Derivator final : public MpBase2
{
public:
    QW_Derivator()
    {
        initializePin(pinSignal_);
        initializePin(pinOutput_);
    }

    void onSetPins() override
    {
        pinOutput_.setStreaming(true);
        if (pinSignal_.isStreaming())
            setSubProcess(&QW_Derivator::subProcess);
        else
            setSubProcess(&QW_Derivator::subProcessPreStatic);
    }

    void subProcess(int n)
    {
        const float* in = pinSignal_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        float x1 = x1_;
        for (int i = 0; i < n; ++i)
        {
            out[i] = qw::finite::saturated(in[i] - x1);
            x1 = in[i];
        }
        x1_ = x1;
    }

    void subProcessPreStatic(int n)
    {
        float* out = pinOutput_.getBuffer() + blockPosition_;
        const float x = pinSignal_.getBuffer()[blockPosition_];
        out[0] = qw::finite::saturated(x - x1_);
        x1_ = x;
        pinOutput_.setStreaming(false, blockPosition_ + 1);
        setSubProcess(&QW_Derivator::subProcessStatic);
        std::fill(out + 1, out + n, 0.0f);
    }

    void subProcessStatic(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, 0.0f); }

private:
    AudioInPin pinSignal_;
    AudioOutPin pinOutput_;
    float x1_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Derivator", &gmpi::Register<QW_Derivator>::withId);
}
