// The larger of two integers; with a non-zero magnitude mode the one of
// larger magnitude (compared unsigned, so -2147483648 has the largest),
// equal magnitudes giving the second.
//
// Pins: operands, result on two copies, magnitude mode.
#include "int_family.h"

class QW_GUIIntMax : public qw::OfTwo<int>
{
public:
    QW_GUIIntMax() { initializePin(magnitudeMode_); }

private:
    int compute() const override { return qw::i32::max(a_, b_, magnitudeMode_); }

    MpGuiPin<int> magnitudeMode_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIIntMax", &gmpi::Register<QW_GUIIntMax>::withId);
} // namespace
