#include "plot.h"

#include <algorithm>
#include <cmath>

namespace qw::vector
{
using controls::Color;
using controls::Point;

namespace
{
// One family of grid lines: every `step` (0.1 or 1) from the truncated range
// start, when they lie at least 4 pixels apart. The lines are counted, so a
// step lost in the rounding of large values still ends the pass.
void drawGrid(const controls::Graphics_base& g, const PlotView& v, bool vertical, float step,
              const GmpiDrawing::Brush& fine, const GmpiDrawing::Brush& grid, const GmpiDrawing::Brush& axis)
{
    const float apart = vertical ? v.px(step) - v.px(0.0f) : v.py(0.0f) - v.py(step);
    if (!(apart >= 4.0f))
        return;
    const float lo = vertical ? v.x0 : v.y0, hi = vertical ? v.x1 : v.y1;
    const float size = vertical ? v.w : v.h;
    const float start = step == 1.0f ? std::trunc(lo) : std::trunc(10.0f * lo) * 0.1f;
    const int64_t most = static_cast<int64_t>(size) / 4 + 2;
    for (int64_t k = 0; k < most; ++k)
    {
        const float value = start + static_cast<float>(k) * step;
        if (!(value <= hi))
            break;
        const float at = vertical ? v.px(value) : v.py(value);
        if (!(at >= 0.0f && at < size))
            continue;
        const GmpiDrawing::Brush& brush = step == 1.0f ? (value == 0.0f ? axis : grid) : fine;
        if (vertical)
            g.DrawLine(Point(at, 0.0f), Point(at, v.h), brush, 1.0f);
        else
            g.DrawLine(Point(0.0f, at), Point(v.w, at), brush, 1.0f);
    }
}
} // namespace

bool drawPlotGround(const controls::Graphics_base& g, const controls::Rect& arranged, const PlotView& v,
                    const PlotColours& colours)
{
    g.FillRectangle(arranged, g.CreateSolidColorBrush(colours.background));
    if (!v.drawable())
        return false;

    const auto fine = g.CreateSolidColorBrush(controls::faded(colours.grid, 0.5f));
    const auto grid = g.CreateSolidColorBrush(colours.grid);
    const auto axis = g.CreateSolidColorBrush(colours.axis);
    drawGrid(g, v, false, 0.1f, fine, grid, axis);
    drawGrid(g, v, false, 1.0f, fine, grid, axis);
    drawGrid(g, v, true, 0.1f, fine, grid, axis);
    drawGrid(g, v, true, 1.0f, fine, grid, axis);
    return true;
}

void drawPlotCurve(const controls::Graphics_base& g, const PlotView& v, FormulaParser& parser,
                   const GmpiDrawing::Brush& brush, float stroke)
{
    GmpiDrawing::PathGeometry path;
    GmpiDrawing::GeometrySink sink;
    bool begun = false;
    plotCurve(v, parser, [&](Point p) {
        if (begun)
        {
            sink.AddLine(p);
            return;
        }
        begun = true;
        path = g.GetFactory().CreatePathGeometry();
        sink = path.Open();
        sink.BeginFigure(p, GmpiDrawing::FigureBegin::Hollow);
    });
    if (!begun)
        return;
    sink.EndFigure(GmpiDrawing::FigureEnd::Open);
    sink.Close();
    g.DrawGeometry(path, brush, stroke);
}
} // namespace qw::vector
