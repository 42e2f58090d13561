// Octave volts to hertz (5 V = 440 Hz), and back: a value on either pin converts into the other.
#include "units.h"

class QW_Oct2Hz : public qw::UnitPair<float>
{
private:
    Results forward() override { return {qw::hzOfOctave(x())}; }
    Values inverse(const Results& r) override { return {qw::octaveOfHz(r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Oct2Hz", &gmpi::Register<QW_Oct2Hz>::withId);
} // namespace
