// Magnitude of an integer (-2147483648 stays so); back: the magnitude of the
// result.
#include "int_family.h"

class QW_GUIIntAbs : public qw::Function<int>
{
public:
    QW_GUIIntAbs() : Function(false) {}

private:
    Values forward() override { return {qw::i32::abs(x())}; }
    Values inverse(const Values& r) override { return {qw::i32::abs(r[0])}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIIntAbs", &gmpi::Register<QW_GUIIntAbs>::withId);
} // namespace
