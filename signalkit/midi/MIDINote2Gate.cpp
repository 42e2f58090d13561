// One MIDI note on channel 1 to a gate and a velocity signal.
#include "midi_message.h"

class QW_MIDINote2Gate final : public MpBase2
{
public:
    using MpBase2::onMidiMessage;

    QW_MIDINote2Gate()
    {
        initializePin(pinIn_);
        initializePin(pinNote_);
        initializePin(pinReleaseVelocity_);
        initializePin(pinGate_);
        initializePin(pinVelocity_);
        setSubProcess(&QW_MIDINote2Gate::subProcess);
    }

    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        pinVelocity_.setStreaming(false);
    }

    void onMidiMessage(int, const unsigned char* bytes, int size) override
    {
        if (!qw::midi::isThreeByte(bytes, size))
            return;
        int status = bytes[0];
        const int data1 = bytes[1];
        const int data2 = bytes[2];
        if (status == 0x90 && data2 == 0)
            status = 0x80;
        const bool watched = data1 == pinNote_.getValue();
        if (status == 0x80 && watched)
        {
            pinGate_ = false;
            if (!pinReleaseVelocity_)
                return;
            velocity_ = static_cast<float>(data2) / 127.0f;
        }
        else if (status == 0x90 && watched)
        {
            pinGate_ = true;
            velocity_ = static_cast<float>(data2) / 127.0f;
        }
        else if (status == 0xB0 && data1 == qw::midi::kAllNotesOffController)
        {
            pinGate_ = false;
            velocity_ = 0.0f;
        }
        else
            return;
        pinVelocity_.setStreaming(false);
    }

    void subProcess(int sampleFrames)
    {
        float* out = pinVelocity_.getBuffer() + blockPosition_;
        for (int i = 0; i < sampleFrames; ++i)
            out[i] = velocity_;
    }

private:
    MidiInPin pinIn_;
    IntInPin pinNote_;
    BoolInPin pinReleaseVelocity_;
    BoolOutPin pinGate_;
    AudioOutPin pinVelocity_;
    float velocity_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_MIDINote2Gate", &gmpi::Register<QW_MIDINote2Gate>::withId);
}
