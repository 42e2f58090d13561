// Power of a float: mode 0 base 2, 1 base e, any other base 10; back: the logarithm.
#include "float_family.h"

class QW_GUIFloatExp : public qw::FloatFunction
{
public:
    QW_GUIFloatExp() : FloatFunction(true) {}

private:
    Values forward() override { return {qw::expIn(x(), mode_)}; }
    Values inverse(const Values& r) override { return {qw::logIn(r[0], mode_)}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatExp", &gmpi::Register<QW_GUIFloatExp>::withId);
} // namespace
