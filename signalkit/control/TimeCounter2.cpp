// The time since a bool gate went on, as two audio ramps: samples x 0.1 and
// seconds x 0.1 (volts). While the gate is off both hold and stop streaming.
#include "control.h"

#include <limits>

// 0 in bool gate; 1 out audio samples (volts); 2 out audio seconds (volts).
class QW_TimeCounter2 final : public MpBase2
{
public:
    QW_TimeCounter2()
    {
        initializePin(gate_);
        initializePin(samples_);
        initializePin(seconds_);
        setSubProcess(&QW_TimeCounter2::subProcess);
    }

    int32_t open() override
    {
        const float rate = getSampleRate();
        factor_ = rate > 0.0f ? 1.0f / (rate * 10.0f) : 0.0f;
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (gate_)
            count_ = 0;
        samples_.setStreaming(gate_);
        seconds_.setStreaming(gate_);
    }

    void subProcess(int sampleFrames)
    {
        const int p = getBlockPosition();
        float* a = samples_.getBuffer() + p;
        float* b = seconds_.getBuffer() + p;
        const int32_t step = samples_.isStreaming() ? 1 : 0;
        for (int i = 0; i < sampleFrames; ++i)
        {
            a[i] = static_cast<float>(count_) * 0.1f;
            b[i] = static_cast<float>(count_) * factor_;
            if (count_ < std::numeric_limits<int32_t>::max())
                count_ += step;
        }
    }

private:
    BoolInPin gate_;
    AudioOutPin samples_;
    AudioOutPin seconds_;
    int32_t count_ = 0;
    float factor_ = 0.0f;
};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_TimeCounter2>(L"QW_TimeCounter2");
    return true;
}();
} // namespace
