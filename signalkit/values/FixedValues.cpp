// Fixed values: the host keeps the value on the input pin and the module hands
// it to its output. QW_FixedVolts gives a constant audio level instead.
#include "value_pins.h"

// 0 in T; 1 out T.
template <class T> class QW_Fixed final : public MpBase2
{
public:
    QW_Fixed()
    {
        initializePin(in_);
        initializePin(out_);
    }
    void onSetPins() override { out_ = in_.getValue(); }

private:
    qw::ValueInPin<T> in_;
    qw::ValueOutPin<T> out_;
};

// 0 in float: level in volts; 1 out audio: the level as a signal (1.0 = 10 V),
// reported as a new constant level from the sample where it changes.
class QW_FixedVolts final : public MpBase2
{
public:
    QW_FixedVolts()
    {
        initializePin(volts_);
        initializePin(out_);
        setSubProcess(&QW_FixedVolts::subProcess);
    }

    void onSetPins() override
    {
        level_ = 0.1f * volts_;
        out_.setStreaming(false);
    }

    void subProcess(int sampleFrames)
    {
        float* out = out_.getBuffer() + getBlockPosition();
        std::fill(out, out + sampleFrames, level_);
    }

private:
    FloatInPin volts_;
    AudioOutPin out_;
    float level_ = 0.0f;
};

namespace
{
const bool registered = [] {
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_FixedInt", &gmpi::Register<QW_Fixed<int>>::withId);
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_FixedFloat", &gmpi::Register<QW_Fixed<float>>::withId);
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_FixedBool", &gmpi::Register<QW_Fixed<bool>>::withId);
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_FixedString", &gmpi::Register<QW_Fixed<std::wstring>>::withId);
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_FixedVolts", &gmpi::Register<QW_FixedVolts>::withId);
    return true;
}();
} // namespace
