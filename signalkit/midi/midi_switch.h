// The one-in, one-out MIDI switch: forwards messages while on, loses them
// while off, and can end sounding notes when switched off.
#pragma once

#include "midi_message.h"

namespace qw
{
// OnPin: the on/off control (boolean, or an enumeration that is on when non-zero).
template <class OnPin> class MidiSwitch11 : public MpBase2
{
public:
    using MpBase2::onMidiMessage;

    MidiSwitch11()
    {
        initializePin(pinOn_);
        initializePin(pinIn_);
        initializePin(pinNotesOff_);
        initializePin(pinOut_);
    }

    void onSetPins() override
    {
        if (!pinOn_.isUpdated())
            return;
        enabled_ = pinOn_.getValue() != 0;
        // Every arrival of an off value, also when already off.
        if (!enabled_ && pinNotesOff_)
            midi::sendAllNotesOffBurst(pinOut_);
    }

    void onMidiMessage(int, const unsigned char* bytes, int size) override
    {
        if (enabled_)
            pinOut_.send(bytes, size);
    }

private:
    OnPin pinOn_;
    MidiInPin pinIn_;
    BoolInPin pinNotesOff_;
    MidiOutPin pinOut_;
    bool enabled_ = false;
};
} // namespace qw
