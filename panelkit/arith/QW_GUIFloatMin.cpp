// The smaller of two floats; with a non-zero magnitude mode the one of smaller
// magnitude, with its sign (equal magnitudes give the second). A NaN first
// operand is the result.
//
// Pins: operands, result on two copies, magnitude mode.
#include "float_family.h"

class QW_GUIFloatMin : public qw::FloatOfTwo
{
public:
    QW_GUIFloatMin() { initializePin(magnitudeMode_); }

private:
    float compute() const override
    {
        const float a = a_, b = b_;
        if (magnitudeMode_ == 0)
            return a > b ? b : a;
        return std::fabs(b) > std::fabs(a) ? a : b;
    }

    MpGuiPin<int> magnitudeMode_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatMin", &gmpi::Register<QW_GUIFloatMin>::withId);
} // namespace
