// Logarithm of a float, negative infinity below 0: mode 0 base 2, 1 base e, any other base
// 10; back: the power.
#include "float_family.h"

class QW_GUIFloatLog : public qw::FloatFunction
{
public:
    QW_GUIFloatLog() : FloatFunction(true) {}

private:
    Values forward() override { return {qw::logIn(x(), mode_)}; }
    Values inverse(const Values& r) override { return {qw::expIn(r[0], mode_)}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatLog", &gmpi::Register<QW_GUIFloatLog>::withId);
} // namespace
