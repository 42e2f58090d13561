// Sum of two floats; back: the result less the second operand.
#include "float_family.h"

class QW_GUIFloatAdd : public qw::FloatOperation
{
public:
    QW_GUIFloatAdd() = default;

private:
    Values forward() override { return {x() + b()}; }
    Values inverse(const Values& r) override { return {r[0] - b()}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatAdd", &gmpi::Register<QW_GUIFloatAdd>::withId);
} // namespace
