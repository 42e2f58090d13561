// Cumulative mean of every sample since the start or the last reset, summed
// in double precision. The output keeps streaming.
#include "mp_sdk_audio.h"

class QW_Averaging final : public MpBase2
{
public:
    QW_Averaging()
    {
        initializePin(pinSignal_);
        initializePin(pinReset_);
        initializePin(pinOutput_);
        setSubProcess(&QW_Averaging::subProcess);
    }

    void onSetPins() override
    {
        if (pinReset_.isUpdated() && pinReset_.getValue())
            sum_ = count_ = 0.0;
    }

    void subProcess(int n)
    {
        const float* in = pinSignal_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        double sum = sum_, count = count_;
        for (int i = 0; i < n; ++i)
        {
            sum += in[i];
            count += 1.0;
            out[i] = static_cast<float>(sum / count);
        }
        // A non-finite sample leaves nothing behind past this span.
        if (sum - sum != 0.0)
            sum = count = 0.0;
        sum_ = sum;
        count_ = count;
    }

private:
    AudioInPin pinSignal_;
    BoolInPin pinReset_;
    AudioOutPin pinOutput_;
    double sum_ = 0.0, count_ = 0.0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Averaging", &gmpi::Register<QW_Averaging>::withId);
}
