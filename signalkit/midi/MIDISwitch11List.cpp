// MIDI on/off switch controlled by a list choice: on when non-zero.
#include "midi_switch.h"

class QW_MIDISwitch11List final : public qw::MidiSwitch11<EnumInPin>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_MIDISwitch11List", &gmpi::Register<QW_MIDISwitch11List>::withId);
}
