// Pitch volts as a note index and an octave, and back: 5 V is A (index 0) of
// octave 5, 4.5 V index 6 (D#) of octave 4; both truncate toward zero, so
// -0.5 V gives index -6 of octave 0. NaN counts as 0 V and pitches beyond the
// integer range give its ends.
#include "note_name.h"
#include "skin_text.h"

class QW_Pitch2Note : public qw::NoteName<float>
{
private:
    Key split(float pitch) const override
    {
        const int32_t k = skin::toInt32(pitch * 12.0f);
        return {k - 12 * (k / 12), skin::toInt32(pitch)};
    }
    float join(int32_t index, int32_t octave) const override
    {
        return static_cast<float>(index) / 12.0f + static_cast<float>(octave);
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Pitch2Note", &gmpi::Register<QW_Pitch2Note>::withId);
} // namespace
