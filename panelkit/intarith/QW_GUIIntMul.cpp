// Product of two integers, wrapping; back: the result divided by the second
// operand (toward zero), 0 when that is 0.
#include "int_family.h"

class QW_GUIIntMul : public qw::Operation<int>
{
public:
    QW_GUIIntMul() = default;

private:
    Values forward() override { return {qw::i32::mul(x(), b())}; }
    Values inverse(const Values& r) override { return {qw::i32::div(r[0], b())}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIIntMul", &gmpi::Register<QW_GUIIntMul>::withId);
} // namespace
