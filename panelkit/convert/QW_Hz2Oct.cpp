// Hertz to octave volts (440 Hz = 5 V), and back: a value on either pin converts into the other.
#include "units.h"

class QW_Hz2Oct : public qw::UnitPair<float>
{
private:
    Results forward() override { return {qw::octaveOfHz(x())}; }
    Values inverse(const Results& r) override { return {qw::hzOfOctave(r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Hz2Oct", &gmpi::Register<QW_Hz2Oct>::withId);
} // namespace
