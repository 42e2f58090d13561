// Fractional part of a float, with its sign (-1.25 gives -0.25); back: the same of the result.
#include "float_family.h"

class QW_GUIFloatFrac : public qw::FloatFunction
{
public:
    QW_GUIFloatFrac() : FloatFunction(false) {}

private:
    Values forward() override { return {x() - std::trunc(x())}; }
    Values inverse(const Values& r) override { return {r[0] - std::trunc(r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatFrac", &gmpi::Register<QW_GUIFloatFrac>::withId);
} // namespace
