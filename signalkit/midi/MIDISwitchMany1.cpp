// One of several MIDI inputs, chosen by index, to one output; messages on the
// other inputs are dropped.
#include "midi_message.h"

class QW_MIDISwitchMany1 final : public MpBase2
{
public:
    using MpBase2::onMidiMessage;

    int32_t open() override
    {
        initializePin(pinSelect_);
        initializePin(pinOut_);
        initializePin(pinNotesOff_);
        firstInput_ = qw::midi::addHostPins(*this, inputs_, [](int direction, int datatype) {
            return direction == gmpi::MP_IN && datatype == gmpi::MP_MIDI;
        });
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (!pinSelect_.isUpdated())
            return;
        selected_ = pinSelect_;
        if (pinNotesOff_)
            qw::midi::sendAllNotesOffBurst(pinOut_);
    }

    void onMidiMessage(int pin, const unsigned char* bytes, int size) override
    {
        if (firstInput_ >= 0 && static_cast<int64_t>(pin) - firstInput_ == selected_)
            pinOut_.send(bytes, size);
    }

private:
    EnumInPin pinSelect_;
    MidiOutPin pinOut_;
    BoolInPin pinNotesOff_;
    std::vector<std::unique_ptr<MidiInPin>> inputs_;
    int selected_ = 0;
    int firstInput_ = -1;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_MIDISwitchMany1", &gmpi::Register<QW_MIDISwitchMany1>::withId);
}
