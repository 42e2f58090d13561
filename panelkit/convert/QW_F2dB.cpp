// A plain factor to decibels, and back: a value on either pin converts into the other.
#include "units.h"

class QW_F2dB : public qw::UnitPair<float>
{
private:
    Results forward() override { return {qw::dBOfFactor(x())}; }
    Values inverse(const Results& r) override { return {qw::factorOfdB(r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_F2dB", &gmpi::Register<QW_F2dB>::withId);
} // namespace
