// Difference of two floats; back: the result plus the second operand.
#include "float_family.h"

class QW_GUIFloatSub : public qw::FloatOperation
{
public:
    QW_GUIFloatSub() = default;

private:
    Values forward() override { return {x() - b()}; }
    Values inverse(const Values& r) override { return {r[0] + b()}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatSub", &gmpi::Register<QW_GUIFloatSub>::withId);
} // namespace
