// Difference of two integers, wrapping; back: the second operand plus the
// result.
#include "int_family.h"

class QW_GUIIntSub : public qw::Operation<int>
{
public:
    QW_GUIIntSub() = default;

private:
    Values forward() override { return {qw::i32::sub(x(), b())}; }
    Values inverse(const Values& r) override { return {qw::i32::add(b(), r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIIntSub", &gmpi::Register<QW_GUIIntSub>::withId);
} // namespace
