// Splits a signal into its positive and negative half-waves; the negative
// part can come out as a positive magnitude.
#include "shapers.h"

class QW_SignSplit final : public MpBase2
{
public:
    QW_SignSplit()
    {
        initializePin(pinIn_);
        initializePin(pinInvert_);
        initializePin(pinPositive_);
        initializePin(pinNegative_);
        setSubProcess(&QW_SignSplit::subProcess);
    }

    void onSetPins() override
    {
        if (pinIn_.isUpdated())
        {
            pinPositive_.setStreaming(pinIn_.isStreaming());
            pinNegative_.setStreaming(pinIn_.isStreaming());
        }
    }

    void subProcess(int sampleFrames)
    {
        const float* x = pinIn_.getBuffer() + blockPosition_;
        float* pos = pinPositive_.getBuffer() + blockPosition_;
        float* neg = pinNegative_.getBuffer() + blockPosition_;
        const float sign = pinInvert_ ? -1.0f : 1.0f;
        for (int i = 0; i < sampleFrames; ++i)
        {
            pos[i] = std::max(0.0f, x[i]);
            neg[i] = std::min(0.0f, x[i]) * sign;
        }
    }

private:
    AudioInPin pinIn_;
    BoolInPin pinInvert_;
    AudioOutPin pinPositive_;
    AudioOutPin pinNegative_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_SignSplit", &gmpi::Register<QW_SignSplit>::withId);
}
