// Magnitude of a float; back: the magnitude of the result.
#include "float_family.h"

class QW_GUIFloatAbs : public qw::FloatFunction
{
public:
    QW_GUIFloatAbs() : FloatFunction(false) {}

private:
    Values forward() override { return {std::fabs(x())}; }
    Values inverse(const Values& r) override { return {std::fabs(r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatAbs", &gmpi::Register<QW_GUIFloatAbs>::withId);
} // namespace
