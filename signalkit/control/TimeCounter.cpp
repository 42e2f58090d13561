// How long a bool gate stayed on, given when it goes off: in samples and in
// seconds. The module sleeps while the gate is off, and counts only while it
// is on, so a second off sends nothing new whatever the host's block size.
#include "control.h"

// 0 in bool gate; 1 out int samples; 2 out float seconds.
class QW_TimeCounter final : public MpBase2
{
public:
    QW_TimeCounter()
    {
        initializePin(gate_);
        initializePin(samples_);
        initializePin(seconds_);
        setSubProcess(&QW_TimeCounter::subProcess);
    }

    void onSetPins() override
    {
        if (gate_)
        {
            count_ = 0;
            setSleep(false);
        }
        else
        {
            setSleep(true);
            samples_ = count_;
            const float rate = getSampleRate();
            seconds_ = rate > 0.0f ? static_cast<float>(count_) / rate : 0.0f;
        }
    }

    void subProcess(int sampleFrames)
    {
        if (gate_)
            count_ = qw::control::addSaturated(count_, sampleFrames);
    }

private:
    BoolInPin gate_;
    IntOutPin samples_;
    FloatOutPin seconds_;
    int32_t count_ = 0;
};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_TimeCounter>(L"QW_TimeCounter");
    return true;
}();
} // namespace
