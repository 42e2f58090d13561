// Plot of two formulas of x over one x and y range, on a background with a
// decimal grid and highlighted zero axes. The formulas may use the parameters
// a, b, c and d from pins; each is evaluated once per pixel column of every
// render. The control only displays.
#include "plot.h"

class QW_FuncPlotDuo : public qw::vector::FormulaPlot<2, 4>
{
public:
    QW_FuncPlotDuo() : FormulaPlot({0xFF000000u, 0xFF0000FFu}) {} // black, then blue over it
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_FuncPlotDuo", &gmpi::Register<QW_FuncPlotDuo>::withId);
} // namespace
