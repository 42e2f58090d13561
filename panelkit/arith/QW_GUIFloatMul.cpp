// Product of two floats; back: the result divided by the second operand (IEEE for 0).
#include "float_family.h"

class QW_GUIFloatMul : public qw::FloatOperation
{
public:
    QW_GUIFloatMul() = default;

private:
    Values forward() override { return {x() * b()}; }
    Values inverse(const Values& r) override { return {r[0] / b()}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatMul", &gmpi::Register<QW_GUIFloatMul>::withId);
} // namespace
