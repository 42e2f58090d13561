// A MIDI note number to pitch volts (note 69 = 5 V), and back: a pitch
// converts into the note number it lies on, truncated toward zero.
#include "units.h"

class QW_GUI_MIDI2Pitch : public qw::UnitPair<int, float>
{
private:
    Results forward() override { return {qw::pitchOfNote(in(0))}; }
    Values inverse(const Results& r) override { return {qw::noteOfPitch(r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUI_MIDI2Pitch", &gmpi::Register<QW_GUI_MIDI2Pitch>::withId);
} // namespace
