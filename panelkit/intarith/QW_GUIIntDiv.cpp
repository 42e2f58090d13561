// Quotient of two integers toward zero, 0 for a second operand of 0;
// -2147483648 / -1 wraps to -2147483648. Back: the result times the second
// operand.
#include "int_family.h"

class QW_GUIIntDiv : public qw::Operation<int>
{
public:
    QW_GUIIntDiv() = default;

private:
    Values forward() override { return {qw::i32::div(x(), b())}; }
    Values inverse(const Values& r) override { return {qw::i32::mul(r[0], b())}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIIntDiv", &gmpi::Register<QW_GUIIntDiv>::withId);
} // namespace
