// Volts to decibels (10 V = 0 dB), and back: a value on either pin converts into the other.
#include "units.h"

class QW_V2dB : public qw::UnitPair<float>
{
private:
    Results forward() override { return {qw::dBOfVolts(x())}; }
    Values inverse(const Results& r) override { return {qw::voltsOfdB(r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_V2dB", &gmpi::Register<QW_V2dB>::withId);
} // namespace
