// Angle of the point (X, Y), counter-clockwise from the positive X axis, 0 for
// (0, 0): unit 1 degrees in [0, 360), unit 0 signed radians in [-pi, pi] (a Y
// of -0 counts as above the axis), any other unit turns in [0, 1).
//
// Pins: X, Y, angle on two copies, unit.
#include "float_family.h"

class QW_GUIFloatAngle : public qw::FloatOfTwo
{
public:
    QW_GUIFloatAngle() { initializePin(unit_); }

private:
    float compute() const override
    {
        const float x = a_, y = b_;
        if (unit_ != 0)
            return qw::fromTurns(qw::fm::atan2Turns(y, x), unit_);
        const float a = qw::fromTurns(qw::fm::atan2Turns(std::fabs(y), x), 0);
        return y < 0.0f ? -a : a;
    }

    MpGuiPin<int> unit_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatAngle", &gmpi::Register<QW_GUIFloatAngle>::withId);
} // namespace
