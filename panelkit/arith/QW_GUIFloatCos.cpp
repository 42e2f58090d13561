// Cosine of an angle: mode 1 degrees, 2 turns, any other radians; back: the arc cosine in
// that unit, 0 for a result outside [-1, 1].
#include "float_family.h"

class QW_GUIFloatCos : public qw::FloatFunction
{
public:
    QW_GUIFloatCos() : FloatFunction(true) {}

private:
    Values forward() override { return {std::cos(x() * qw::radiansPerUnit(mode_))}; }
    Values inverse(const Values& r) override { return {qw::arcIn(acosf, r[0], mode_)}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatCos", &gmpi::Register<QW_GUIFloatCos>::withId);
} // namespace
