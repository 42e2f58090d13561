// Monophonic MIDI to control signals: a gate, the pitch of the last note
// (1 V per octave, 5 V at note 69), its velocity, the release velocity and
// key pressure. Note changes are applied by the block routine at the sample
// of the message; a note-off is applied one sample before a note-on of the
// same sample, so a new note retriggers the gate.
#include "midi_message.h"

namespace
{
using namespace qw::midi;
}

class QW_MIDIMono2CV final : public MpBase2
{
public:
    using MpBase2::onMidiMessage;

    QW_MIDIMono2CV()
    {
        initializePin(pinIn_);
        initializePin(pinGate_);
        initializePin(pinPitch_);
        initializePin(pinVelocity_);
        initializePin(pinRelease_);
        initializePin(pinPressure_);
        setSubProcess(&QW_MIDIMono2CV::subProcess);
    }

    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        pinPitch_.setStreaming(false);
        pinVelocity_.setStreaming(false);
        pinRelease_.setStreaming(false);
        pinPressure_.setStreaming(false);
    }

    void onMidiMessage(int, const unsigned char* bytes, int size) override
    {
        if (!isThreeByte(bytes, size))
            return;
        int type = bytes[0] >> 4;
        const int data1 = bytes[1];
        const int data2 = bytes[2];
        if (type == kNoteOn && data2 == 0)
            type = kNoteOff;
        if (type == kNoteOn)
        {
            currentNote_ = data1;
            pendingOn_ = data2 | data1 << 8;
            pendingOffAfterOn_ = -1;
            pinPitch_.setStreaming(false);
            pinVelocity_.setStreaming(false);
            return;
        }
        if (type == kControlChange && data1 == kAllNotesOffController)
        {
            endNote(0);
            currentNote_ = -1;
            return;
        }
        if (currentNote_ < 0)
            return;
        if (type == kPolyPressure)
        {
            pinPressure_.setStreaming(true);
            pressure_ = data2;
            pressureOut_ = static_cast<float>(pressure_) / 127.0f;
        }
        else if (type == kNoteOff)
        {
            currentNote_ = -1;
            endNote(data2);
        }
    }

    void subProcess(int sampleFrames)
    {
        const int p = blockPosition_;
        float* pitch = pinPitch_.getBuffer() + p;
        float* velocity = pinVelocity_.getBuffer() + p;
        float* release = pinRelease_.getBuffer() + p;
        float* pressure = pinPressure_.getBuffer() + p;
        for (int i = 0; i < sampleFrames; ++i)
        {
            if (pendingOff_ >= 0)
            {
                pinGate_.setValue(false, p + i);
                release_ = static_cast<float>(pendingOff_) / 127.0f;
                pressureOut_ = 0.0f;
                pinRelease_.setStreaming(false, p + i);
                if (pinPressure_.isStreaming())
                    pinPressure_.setStreaming(false, p + i);
                pendingOff_ = -1;
            }
            else if (pendingOn_ >= 0)
            {
                pinGate_.setValue(true, p + i);
                const int note = (pendingOn_ >> 8) & 127;
                pitch_ = static_cast<float>(note - 69) / 120.0f + 0.5f;
                velocity_ = static_cast<float>(pendingOn_ & 127) / 127.0f;
                pressureOut_ = 0.0f;
                pinPitch_.setStreaming(false, p + i);
                pinVelocity_.setStreaming(false, p + i);
                pendingOn_ = -1;
                // A note-off that came after the note-on in the same sample
                // ends the note one sample later.
                pendingOff_ = pendingOffAfterOn_;
                pendingOffAfterOn_ = -1;
            }
            pitch[i] = pitch_;
            velocity[i] = velocity_;
            release[i] = release_;
            pressure[i] = pressureOut_;
        }
    }

private:
    // A note-off (or all notes off) with its release velocity.
    void endNote(int velocity)
    {
        if (pendingOn_ >= 0)
            pendingOffAfterOn_ = velocity;
        else
            pendingOff_ = velocity;
        pinRelease_.setStreaming(false);
    }

    MidiInPin pinIn_;
    BoolOutPin pinGate_;
    AudioOutPin pinPitch_;
    AudioOutPin pinVelocity_;
    AudioOutPin pinRelease_;
    AudioOutPin pinPressure_;

    int currentNote_ = -1;
    int pendingOn_ = -1;  // velocity | note << 8
    int pendingOff_ = -1; // release velocity
    int pendingOffAfterOn_ = -1;
    int pressure_ = 0;
    float pitch_ = 0.0f;
    float velocity_ = 0.0f;
    float release_ = 0.0f;
    float pressureOut_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_MIDIMono2CV", &gmpi::Register<QW_MIDIMono2CV>::withId);
}
