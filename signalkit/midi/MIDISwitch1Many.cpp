// One MIDI input to one of several outputs, chosen by index. Messages and the
// all-notes-off burst for an index that names no output are dropped.
#include "midi_message.h"

class QW_MIDISwitch1Many final : public MpBase2
{
public:
    using MpBase2::onMidiMessage;

    int32_t open() override
    {
        initializePin(pinSelect_);
        initializePin(pinIn_);
        initializePin(pinNotesOff_);
        qw::midi::addHostPins(*this, outputs_, [](int direction, int) { return direction == gmpi::MP_OUT; });
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (!pinSelect_.isUpdated())
            return;
        if (pinNotesOff_)
            if (MidiOutPin* left = output(selected_))
                qw::midi::sendAllNotesOffBurst(*left);
        selected_ = pinSelect_;
    }

    void onMidiMessage(int, const unsigned char* bytes, int size) override
    {
        if (MidiOutPin* out = output(selected_))
            out->send(bytes, size);
    }

private:
    MidiOutPin* output(int index) const
    {
        return index >= 0 && static_cast<size_t>(index) < outputs_.size() ? outputs_[static_cast<size_t>(index)].get()
                                                                          : nullptr;
    }

    EnumInPin pinSelect_;
    MidiInPin pinIn_;
    BoolInPin pinNotesOff_;
    std::vector<std::unique_ptr<MidiOutPin>> outputs_;
    int selected_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_MIDISwitch1Many", &gmpi::Register<QW_MIDISwitch1Many>::withId);
}
