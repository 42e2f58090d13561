// Sine of an angle: mode 1 degrees, 2 turns, any other radians; back: the arc sine in that
// unit, 0 for a result outside [-1, 1].
#include "float_family.h"

class QW_GUIFloatSin : public qw::FloatFunction
{
public:
    QW_GUIFloatSin() : FloatFunction(true) {}

private:
    Values forward() override { return {std::sin(x() * qw::radiansPerUnit(mode_))}; }
    Values inverse(const Values& r) override { return {qw::arcIn(asinf, r[0], mode_)}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatSin", &gmpi::Register<QW_GUIFloatSin>::withId);
} // namespace
