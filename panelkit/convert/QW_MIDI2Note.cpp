// A MIDI note number as a note index and an octave, and back: note 69 is A
// (index 0) of octave 5, middle C (60) index 3 of octave 4. The index takes
// the sign of note - 9: notes 0 to 8 give indices -9 to -1 of octave 0.
#include "note_name.h"

class QW_MIDI2Note : public qw::NoteName<int>
{
private:
    Key split(int note) const override
    {
        const int64_t d = int64_t{note} - 9;
        const int64_t q = d / 12;
        return {static_cast<int32_t>(d - 12 * q), static_cast<int32_t>(q)};
    }
    // index + 12 octave + 9, wrapping in two's complement.
    int join(int32_t index, int32_t octave) const override
    {
        return static_cast<int32_t>(uint32_t(index) + uint32_t(octave) * 12u + 9u);
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_MIDI2Note", &gmpi::Register<QW_MIDI2Note>::withId);
} // namespace
