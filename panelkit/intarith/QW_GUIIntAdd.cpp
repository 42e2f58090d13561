// Sum of two integers, wrapping; back: the result less the second operand.
#include "int_family.h"

class QW_GUIIntAdd : public qw::Operation<int>
{
public:
    QW_GUIIntAdd() = default;

private:
    Values forward() override { return {qw::i32::add(x(), b())}; }
    Values inverse(const Values& r) override { return {qw::i32::sub(r[0], b())}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIIntAdd", &gmpi::Register<QW_GUIIntAdd>::withId);
} // namespace
