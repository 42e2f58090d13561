// Square root of a float, 0 for a negative one (a NaN stays NaN); back: the result squared.
#include "float_family.h"

class QW_GUIFloatSqrt : public qw::FloatFunction
{
public:
    QW_GUIFloatSqrt() : FloatFunction(false) {}

private:
    Values forward() override { return {x() < 0.0f ? 0.0f : std::sqrt(x())}; }
    Values inverse(const Values& r) override { return {r[0] * r[0]}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatSqrt", &gmpi::Register<QW_GUIFloatSqrt>::withId);
} // namespace
