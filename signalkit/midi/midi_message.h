// Reading and building the MIDI messages of the MIDI modules: status kinds,
// checked access to data bytes, and the all-notes-off burst.
#pragma once

#include "mp_sdk_audio.h"

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <memory>
#include <vector>

namespace qw
{
namespace midi
{
// Status nibbles of the channel messages.
enum Kind : int
{
    kNoteOff = 0x8,
    kNoteOn = 0x9,
    kPolyPressure = 0xA,
    kControlChange = 0xB,
    kProgramChange = 0xC,
    kChannelPressure = 0xD,
};

constexpr int kSustainController = 64;
constexpr int kAllNotesOffController = 123;

// Status nibble of a message; -1 for an empty one.
inline int kind(const unsigned char* bytes, int size)
{
    return size >= 1 ? bytes[0] >> 4 : -1;
}

// True when a message holds a status byte and `dataBytes` data bytes after
// it, each below 128. Bytes past a message are never read.
inline bool hasData(const unsigned char* bytes, int size, int dataBytes)
{
    if (size < 1 + dataBytes || bytes[0] < 0x80)
        return false;
    for (int i = 1; i <= dataBytes; ++i)
        if (bytes[i] >= 0x80)
            return false;
    return true;
}

// A well-formed 3-byte message of exactly that size.
inline bool isThreeByte(const unsigned char* bytes, int size)
{
    return size == 3 && hasData(bytes, size, 2);
}

// Sends a 3-byte message at the owner's current block position.
inline void send3(MidiOutPin& out, int status, int data1, int data2)
{
    const unsigned char m[3] = {static_cast<unsigned char>(status), static_cast<unsigned char>(data1 & 0x7F),
                                static_cast<unsigned char>(data2 & 0x7F)};
    out.send(m, 3);
}

// Control change 123 (all notes off) on MIDI channels 1 to 16 in order.
inline void sendAllNotesOffBurst(MidiOutPin& out)
{
    for (int channel = 0; channel < 16; ++channel)
        send3(out, 0xB0 | channel, kAllNotesOffController, 0);
}

// For every pin in the host's list of the module's pins that `wanted`
// (direction, datatype) accepts, creates a pin of type P and registers it
// under the next pin id, in the host's order (called in open). Answers the
// position in the host's list of the first one, -1 when there is none.
template <class P, class Wanted>
int addHostPins(MpPluginBase& module, std::vector<std::unique_ptr<P>>& pins, Wanted wanted)
{
    int first = -1;
    PinIterator it(&module);
    int position = 0;
    for (int32_t at = it.first(); at == 0; at = it.next(), ++position)
    {
        if (!wanted(it.getDirection(), it.getDatatype()))
            continue;
        if (first < 0)
            first = position;
        pins.push_back(std::make_unique<P>());
        module.initializePin(*pins.back());
    }
    return first;
}

// A pin value made safe for arithmetic: NaN counts as 0, infinities as the
// largest finite value of their sign.
inline float finiteValue(float v)
{
    return v == v ? std::clamp(v, -FLT_MAX, FLT_MAX) : 0.0f;
}
} // namespace midi
} // namespace qw
