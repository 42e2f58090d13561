// Pitch volts to the MIDI note number they lie on (5 V = note 69), truncated
// toward zero, and back.
#include "units.h"

class QW_GUI_Pitch2MIDI : public qw::UnitPair<float, int>
{
private:
    Results forward() override { return {qw::noteOfPitch(in(0))}; }
    Values inverse(const Results& r) override { return {qw::pitchOfNote(r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUI_Pitch2MIDI", &gmpi::Register<QW_GUI_Pitch2MIDI>::withId);
} // namespace
