// Negation of a float; back: the negated result.
#include "float_family.h"

class QW_GUIFloatInvert : public qw::FloatFunction
{
public:
    QW_GUIFloatInvert() : FloatFunction(false) {}

private:
    Values forward() override { return {-x()}; }
    Values inverse(const Values& r) override { return {-r[0]}; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatInvert", &gmpi::Register<QW_GUIFloatInvert>::withId);
} // namespace
