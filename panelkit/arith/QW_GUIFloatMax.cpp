// The larger of two floats; with a non-zero magnitude mode the one of larger
// magnitude, with its sign (equal magnitudes give the second). A NaN first
// operand is the result.
//
// Pins: operands, result on two copies, magnitude mode.
#include "float_family.h"

class QW_GUIFloatMax : public qw::FloatOfTwo
{
public:
    QW_GUIFloatMax() { initializePin(magnitudeMode_); }

private:
    float compute() const override
    {
        const float a = a_, b = b_;
        if (magnitudeMode_ == 0)
            return b > a ? b : a;
        return std::fabs(a) > std::fabs(b) ? a : b;
    }

    MpGuiPin<int> magnitudeMode_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatMax", &gmpi::Register<QW_GUIFloatMax>::withId);
} // namespace
