// The smaller of two integers; with a non-zero magnitude mode the one of
// smaller magnitude (compared unsigned, so -2147483648 has the largest),
// equal magnitudes giving the second.
//
// Pins: operands, result on two copies, magnitude mode.
#include "int_family.h"

class QW_GUIIntMin : public qw::OfTwo<int>
{
public:
    QW_GUIIntMin() { initializePin(magnitudeMode_); }

private:
    int compute() const override { return qw::i32::min(a_, b_, magnitudeMode_); }

    MpGuiPin<int> magnitudeMode_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIIntMin", &gmpi::Register<QW_GUIIntMin>::withId);
} // namespace
