// Cartesian to polar: (X, Y) to magnitude and angle, the angle by the fast arc
// tangent in [0, 1) turns, [0, 360) degrees or [0, 2 pi) radians, 0 for
// (0, 0); back: (magnitude, angle) to (X, Y). Angle unit 0 radians, 1
// degrees, any other turns.
//
// Pins: X, Y, magnitude and angle left, magnitude and angle right, unit,
// switch.
#include "float_family.h"

class QW_GUIFloatC2P : public qw::Bidirectional<float, 2>
{
public:
    QW_GUIFloatC2P()
    {
        registerInputs();
        registerCopies();
        initializePin(unit_);
        registerSwitch();
    }

private:
    Values forward() override { return qw::toPolar(in(0), in(1), unit_); }
    Values inverse(const Values& r) override { return qw::toCartesian(r[0], r[1], unit_); }

    MpGuiPin<int> unit_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatC2P", &gmpi::Register<QW_GUIFloatC2P>::withId);
} // namespace
