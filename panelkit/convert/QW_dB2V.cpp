// Decibels to volts (0 dB = 10 V), and back: a value on either pin converts into the other.
#include "units.h"

class QW_dB2V : public qw::UnitPair<float>
{
private:
    Results forward() override { return {qw::voltsOfdB(x())}; }
    Values inverse(const Results& r) override { return {qw::dBOfVolts(r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_dB2V", &gmpi::Register<QW_dB2V>::withId);
} // namespace
