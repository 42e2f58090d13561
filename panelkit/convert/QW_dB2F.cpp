// Decibels to a plain factor, and back: a value on either pin converts into the other.
#include "units.h"

class QW_dB2F : public qw::UnitPair<float>
{
private:
    Results forward() override { return {qw::factorOfdB(x())}; }
    Values inverse(const Results& r) override { return {qw::dBOfFactor(r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_dB2F", &gmpi::Register<QW_dB2F>::withId);
} // namespace
