// Power of a base that is not negative (+0 for a negative one); back: the root of the result by
// the exponent, 0 for a negative result.
#include "float_family.h"

class QW_GUIFloatPow : public qw::FloatOperation
{
public:
    QW_GUIFloatPow() = default;

private:
    Values forward() override { return {x() < 0.0f ? 0.0f : std::pow(x(), b())}; }
    Values inverse(const Values& r) override { return {r[0] < 0.0f ? 0.0f : std::pow(r[0], 1.0f / b())}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatPow", &gmpi::Register<QW_GUIFloatPow>::withId);
} // namespace
