// Polar to Cartesian: (magnitude, angle) to (X, Y) by the fast sine and
// cosine; back: (X, Y) to magnitude and angle, the angle in [0, 1) turns,
// [0, 360) degrees or [0, 2 pi) radians. Angle unit 0 radians, 1 degrees, any
// other turns.
//
// Pins: magnitude, angle, X and Y left, X and Y right, unit, switch.
#include "float_family.h"

class QW_GUIFloatP2C : public qw::Bidirectional<float, 2>
{
public:
    QW_GUIFloatP2C()
    {
        registerInputs();
        registerCopies();
        initializePin(unit_);
        registerSwitch();
    }

private:
    Values forward() override { return qw::toCartesian(in(0), in(1), unit_); }
    Values inverse(const Values& r) override { return qw::toPolar(r[0], r[1], unit_); }

    MpGuiPin<int> unit_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatP2C", &gmpi::Register<QW_GUIFloatP2C>::withId);
} // namespace
