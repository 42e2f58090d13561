// Plot of two formulas of x over one x and y range, on a background with a
// decimal grid and highlighted zero axes. The formulas may use the parameters
// a, b, c and d from pins; they are parsed anew at every column of every
// render. The control only displays.
#include "../controls/control_parts.h"
#include "mp_sdk_gui2.h"
#include "qw_formula.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

using GmpiDrawing::Point;
using qw::controls::Color;

class QW_FuncPlotDuo : public gmpi_gui::MpGuiGfxBase
{
public:
    // A curve has one point a column; columns beyond this many (wider than
    // any drawable surface) are not evaluated.
    static constexpr int64_t kMaxColumns = 1 << 16;

    QW_FuncPlotDuo()
    {
        initializePin(formulaPins_[0], &QW_FuncPlotDuo::onSetFormula1);
        initializePin(formulaPins_[1], &QW_FuncPlotDuo::onSetFormula2);
        for (auto& p : parameterPins_)
            initializePin(p, &QW_FuncPlotDuo::onSetAttrs);
        for (auto& p : rangePins_)
            initializePin(p, &QW_FuncPlotDuo::onSetAttrs);
        initializePin(strokePin_, &QW_FuncPlotDuo::onSetCosmetic);
        for (auto& p : colourPins_)
            initializePin(p, &QW_FuncPlotDuo::onSetCosmetic);
        for (int i = 0; i < kColours; ++i)
            colours_[i] = qw::controls::colorOf(kDefaults[i]);
    }

    int32_t initialize() override
    {
        initialised_ = true;
        const int32_t r = MpGuiGfxBase::initialize();
        invalidateRect();
        return r;
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override;

private:
    enum Colour
    {
        Curve1,
        Curve2,
        Grid,
        Axes,
        Background,
        kColours
    };
    static constexpr uint32_t kDefaults[kColours] = {0xFF000000u, 0xFF0000FFu, 0xFF80C0FFu, 0xFFFF8080u, 0xFFFFFFFFu};

    // The view: x from x0 to x1 over columns 0 .. w - 1, y from y0 (row
    // h - 1) to y1 (row 0).
    struct View
    {
        float x0, x1, y0, y1, w, h;
        float px(float x) const { return (x - x0) / (x1 - x0) * (w - 1.0f); }
        float py(float y) const { return (1.0f - (y - y0) / (y1 - y0)) * (h - 1.0f); }
    };

    void setFormula(int i)
    {
        std::string text = formulaPins_[i];
        for (char& c : text)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        parsers_[i].setFormula(text);
        if (initialised_)
            invalidateRect();
    }
    void onSetFormula1() { setFormula(0); }
    void onSetFormula2() { setFormula(1); }

    void onSetAttrs()
    {
        static const char* const names[4] = {"a", "b", "c", "d"};
        for (auto& parser : parsers_)
            for (int i = 0; i < 4; ++i)
                parser.setVar(names[i], parameterPins_[i]);
        for (int i = 0; i < 4; ++i)
            range_[i] = rangePins_[i];
        if (initialised_)
            invalidateRect();
    }

    void onSetCosmetic()
    {
        for (int i = 0; i < kColours; ++i)
            colours_[i] = qw::controls::colorOf(colourPins_[i], qw::controls::colorOf(kDefaults[i]));
        stroke_ = qw::controls::limit(strokePin_, 1.0f, 10.0f);
        if (initialised_)
            invalidateRect();
    }

    void drawGrid(const GmpiDrawing::Graphics& g, const View& v, bool vertical, float step,
                  const GmpiDrawing::Brush& fine, const GmpiDrawing::Brush& grid, const GmpiDrawing::Brush& axis);
    void drawCurve(const GmpiDrawing::Graphics& g, const View& v, qw::FormulaParser& parser,
                   const GmpiDrawing::Brush& brush);

    StringGuiPin formulaPins_[2];
    MpGuiPin<float> parameterPins_[4];
    MpGuiPin<float> rangePins_[4]; // x minimum, x maximum, y minimum, y maximum
    MpGuiPin<float> strokePin_;
    StringGuiPin colourPins_[kColours];

    Color colours_[kColours];
    qw::FormulaParser parsers_[2];
    bool initialised_ = false;
    float range_[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float stroke_ = 1.0f;
};

// One set of grid lines: every `step` (0.1 or 1) from the truncated range
// start, when they lie at least 4 pixels apart. The lines are counted, so a
// step lost in the rounding of large values still ends the pass.
void QW_FuncPlotDuo::drawGrid(const GmpiDrawing::Graphics& g, const View& v, bool vertical, float step,
                              const GmpiDrawing::Brush& fine, const GmpiDrawing::Brush& grid,
                              const GmpiDrawing::Brush& axis)
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

void QW_FuncPlotDuo::drawCurve(const GmpiDrawing::Graphics& g, const View& v, qw::FormulaParser& parser,
                               const GmpiDrawing::Brush& brush)
{
    const float dx = (v.x1 - v.x0) / (v.w - 1.0f);
    const float zero = v.py(0.0f);
    auto row = [&](float r) { return std::isnan(r) ? zero : v.py(std::clamp(r, v.y0 - 1.0f, v.y1 + 1.0f)); };

    float r = 0.0f;
    parser.setVar("x", v.x0);
    if (!parser.evaluate(&r))
        return; // empty, an assignment or an error: no curve
    GmpiDrawing::PathGeometry path = g.GetFactory().CreatePathGeometry();
    GmpiDrawing::GeometrySink sink = path.Open();
    sink.BeginFigure(Point(0.0f, row(r)), GmpiDrawing::FigureBegin::Hollow);
    const int64_t columns = std::min<int64_t>(static_cast<int64_t>(std::ceil(v.w)), kMaxColumns);
    for (int64_t i = 1; i < columns; ++i)
    {
        const float x = static_cast<float>(i) * dx + v.x0;
        parser.setVar("x", x);
        parser.evaluate(&r); // a failure gives its own result (0 after an error)
        sink.AddLine(Point(static_cast<float>(i), row(r)));
    }
    sink.EndFigure(GmpiDrawing::FigureEnd::Open);
    sink.Close();
    g.DrawGeometry(path, brush, stroke_);
}

int32_t QW_FuncPlotDuo::OnRender(GmpiDrawing_API::IMpDeviceContext* context)
{
    GmpiDrawing::Graphics g(context);
    const GmpiDrawing::Rect r = getRect();
    const float w = r.getWidth(), h = r.getHeight();
    Color halfGrid = colours_[Grid];
    halfGrid.a *= 0.5f;
    const auto curve1 = g.CreateSolidColorBrush(colours_[Curve1]);
    const auto curve2 = g.CreateSolidColorBrush(colours_[Curve2]);
    const auto grid = g.CreateSolidColorBrush(colours_[Grid]);
    const auto fine = g.CreateSolidColorBrush(halfGrid);
    const auto axes = g.CreateSolidColorBrush(colours_[Axes]);
    const auto background = g.CreateSolidColorBrush(colours_[Background]);
    g.FillRectangle(r, background);

    const View v{range_[0], range_[1], range_[2], range_[3], w, h};
    if (!(w >= 20.0f && h >= 20.0f))
        return gmpi::MP_OK;
    // An empty range, or one whose ends or span are not finite, shows the
    // background only.
    const float xr = v.x1 - v.x0, yr = v.y1 - v.y0;
    if (!(xr > 0.0f && yr > 0.0f && std::isfinite(xr) && std::isfinite(yr)))
        return gmpi::MP_OK;

    drawGrid(g, v, false, 0.1f, fine, grid, axes);
    drawGrid(g, v, false, 1.0f, fine, grid, axes);
    drawGrid(g, v, true, 0.1f, fine, grid, axes);
    drawGrid(g, v, true, 1.0f, fine, grid, axes);

    g.PushAxisAlignedClip(r);
    drawCurve(g, v, parsers_[0], curve1);
    drawCurve(g, v, parsers_[1], curve2);
    g.PopAxisAlignedClip();
    return gmpi::MP_OK;
}

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_FuncPlotDuo", &gmpi::Register<QW_FuncPlotDuo>::withId);
} // namespace
