// A one-sample boolean pulse for every MIDI program change.
#include "midi_message.h"

class QW_MidiPC2TriggerBool final : public MpBase2
{
public:
    using MpBase2::onMidiMessage;

    QW_MidiPC2TriggerBool()
    {
        initializePin(pinIn_);
        initializePin(pinTrigger_);
    }

    void onMidiMessage(int, const unsigned char* bytes, int size) override
    {
        if (qw::midi::kind(bytes, size) != qw::midi::kProgramChange)
            return;
        const int p = getBlockPosition();
        pinTrigger_.setValue(true, p);
        pinTrigger_.setValue(false, p + 1);
    }

private:
    MidiInPin pinIn_;
    BoolOutPin pinTrigger_;
};

namespace
{
auto r =
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_MidiPC2TriggerBool", &gmpi::Register<QW_MidiPC2TriggerBool>::withId);
}
