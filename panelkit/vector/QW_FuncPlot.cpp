// Plot of a formula of x over an x and a y range, on a background with a
// decimal grid and highlighted zero lines. The formula may use the parameters
// a and b from pins; it is evaluated once per pixel column of every render.
// The control only displays.
#include "plot.h"

class QW_FuncPlot : public qw::vector::FormulaPlot<1, 2>
{
public:
    QW_FuncPlot() : FormulaPlot({0xFF000000u}) {} // a black curve
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_FuncPlot", &gmpi::Register<QW_FuncPlot>::withId);
} // namespace
