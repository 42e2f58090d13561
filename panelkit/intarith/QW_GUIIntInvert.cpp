// Negation of an integer (-2147483648 stays so); back: the negated result.
#include "int_family.h"

class QW_GUIIntInvert : public qw::Function<int>
{
public:
    QW_GUIIntInvert() : Function(false) {}

private:
    Values forward() override { return {qw::i32::invert(x())}; }
    Values inverse(const Values& r) override { return {qw::i32::invert(r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIIntInvert", &gmpi::Register<QW_GUIIntInvert>::withId);
} // namespace
