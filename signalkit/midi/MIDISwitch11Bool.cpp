// MIDI on/off switch controlled by a boolean.
#include "midi_switch.h"

class QW_MIDISwitch11Bool final : public qw::MidiSwitch11<BoolInPin>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_MIDISwitch11Bool", &gmpi::Register<QW_MIDISwitch11Bool>::withId);
}
