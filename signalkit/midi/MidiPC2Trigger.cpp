// An audio pulse of a set level and length for every MIDI program change that
// arrives while no pulse runs.
#include "midi_message.h"

#include <cstdint>

class QW_MidiPC2Trigger final : public MpBase2
{
public:
    using MpBase2::onMidiMessage;

    QW_MidiPC2Trigger()
    {
        initializePin(pinIn_);
        initializePin(pinLevel_);
        initializePin(pinLength_);
        initializePin(pinOut_);
        setSubProcess(&QW_MidiPC2Trigger::subProcess);
    }

    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        pinOut_.setStreaming(false);
    }

    void onMidiMessage(int, const unsigned char* bytes, int size) override
    {
        if (qw::midi::kind(bytes, size) != qw::midi::kProgramChange || remaining_ != 0)
            return;
        const int length = pinLength_;
        remaining_ = length >= 2 ? static_cast<uint32_t>(length) : 1u;
        pinOut_.setStreaming(true);
    }

    void subProcess(int sampleFrames)
    {
        const int p = blockPosition_;
        float* out = pinOut_.getBuffer() + p;
        const float level = qw::midi::finiteValue(pinLevel_) * 0.1f; // volts to signal units
        for (int i = 0; i < sampleFrames; ++i)
        {
            if (remaining_ > 0)
            {
                out[i] = level;
                if (--remaining_ == 0)
                    pinOut_.setStreaming(false, p + i + 1);
            }
            else
                out[i] = 0.0f;
        }
    }

private:
    MidiInPin pinIn_;
    FloatInPin pinLevel_;
    IntInPin pinLength_;
    AudioOutPin pinOut_;
    uint32_t remaining_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_MidiPC2Trigger", &gmpi::Register<QW_MidiPC2Trigger>::withId);
}
