// Quotient of two floats (IEEE for a divisor of 0); back: the result times the divisor.
#include "float_family.h"

class QW_GUIFloatDiv : public qw::FloatOperation
{
public:
    QW_GUIFloatDiv() = default;

private:
    Values forward() override { return {x() / b()}; }
    Values inverse(const Values& r) override { return {r[0] * b()}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatDiv", &gmpi::Register<QW_GUIFloatDiv>::withId);
} // namespace
