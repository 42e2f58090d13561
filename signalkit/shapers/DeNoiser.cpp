// Noise-floor remover: moves both half-waves towards zero by the threshold
// level, so everything below it becomes silence.
#include "qw_fm.h"
#include "shapers.h"

class QW_DeNoiser final : public MpBase2
{
public:
    QW_DeNoiser()
    {
        initializePin(pinIn_);
        initializePin(pinThreshold_);
        initializePin(pinOut_);
        setSubProcess(&QW_DeNoiser::subProcess);
    }

    void onSetPins() override
    {
        if (pinThreshold_.isUpdated())
        {
            // 10^(dB/20); a threshold that is not a number removes nothing.
            const float db = pinThreshold_;
            threshold_ = db == db ? qw::fm::exp2Acc(std::clamp(db * 0.1660964f, -127.0f, 128.0f)) : 0.0f;
        }
        if (pinIn_.isUpdated())
            pinOut_.setStreaming(pinIn_.isStreaming());
    }

    void subProcess(int sampleFrames)
    {
        const float* x = pinIn_.getBuffer() + blockPosition_;
        float* out = pinOut_.getBuffer() + blockPosition_;
        const float t = threshold_;
        for (int i = 0; i < sampleFrames; ++i)
        {
            const float m = std::max(0.0f, std::fabs(x[i]) - t);
            out[i] = x[i] < 0.0f ? -m : m;
        }
    }

private:
    AudioInPin pinIn_;
    FloatInPin pinThreshold_;
    AudioOutPin pinOut_;
    float threshold_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_DeNoiser", &gmpi::Register<QW_DeNoiser>::withId);
}
