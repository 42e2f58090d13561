// A float rounded to a whole number: mode 0 toward zero, any other mode to the
// nearest, halves away from zero; back: the result rounded the same way.
#include "float_family.h"

class QW_GUIFloatRound : public qw::FloatFunction
{
public:
    QW_GUIFloatRound() : FloatFunction(true) {}

private:
    // 0.49999997 is the float just below 0.5: 0.49999997 itself rounds to 0.
    float rounded(float v) const { return std::trunc(mode_ == 0 ? v : v + std::copysign(0.49999997f, v)); }

    Values forward() override { return {rounded(x())}; }
    Values inverse(const Values& r) override { return {rounded(r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatRound", &gmpi::Register<QW_GUIFloatRound>::withId);
} // namespace
