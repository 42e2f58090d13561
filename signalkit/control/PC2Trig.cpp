// A pin change in the user interface fires an audio pulse: the interface half
// sends a message on every value of its pin, the processing half answers with
// a pulse of a set length (inverted on request).
#include "control.h"
#include "mp_sdk_gui.h"

#include <cstdint>

// 0 float length (ms); 1 bool inverted; 2 out audio.
class QW_PC2Trig final : public MpBase2
{
public:
    QW_PC2Trig()
    {
        initializePin(lengthMs_);
        initializePin(inverted_);
        initializePin(out_);
        setSubProcess(&QW_PC2Trig::subProcess);
    }

    void onSetPins() override
    {
        if (lengthMs_.isUpdated())
            length_ = qw::control::holdSamples(lengthMs_, getSampleRate());
        if (inverted_.isUpdated())
            invert_ = inverted_;
        out_.setStreaming(false);
    }

    int32_t receiveMessageFromGui(int32_t, int32_t, const void*) override
    {
        remaining_ = length_;
        out_.setStreaming(true);
        return gmpi::MP_OK;
    }

    // A length of L samples gives L - 1 samples of the active level.
    void subProcess(int sampleFrames)
    {
        const int p = getBlockPosition();
        float* out = out_.getBuffer() + p;
        const float idle = invert_ ? 1.0f : 0.0f;
        const float active = invert_ ? 0.0f : 1.0f;
        for (int i = 0; i < sampleFrames; ++i)
        {
            if (remaining_ > 1)
            {
                out[i] = active;
                --remaining_;
            }
            else
            {
                out[i] = idle;
                if (remaining_ == 1)
                {
                    remaining_ = 0;
                    out_.setStreaming(false, p + i);
                }
            }
        }
    }

private:
    using MpBase2::receiveMessageFromGui;

    FloatInPin lengthMs_;
    BoolInPin inverted_;
    AudioOutPin out_;
    int32_t length_ = 0;
    int32_t remaining_ = 0;
    bool invert_ = false;
};

// 0 int: every value the host sets fires the pulse.
class QW_PC2Trig_GUI final : public MpGuiInvisibleBase
{
public:
    QW_PC2Trig_GUI() { initializePin(pc_, &QW_PC2Trig_GUI::onSetPC); }

private:
    void onSetPC() { sendMessageToAudio(pc_, 0, nullptr); }

    MpGuiPin<int> pc_;
};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_PC2Trig>(L"QW_PC2Trig");
    RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_PC2Trig", &gmpi::Register<QW_PC2Trig_GUI>::withId);
    return true;
}();
} // namespace
