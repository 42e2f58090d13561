// The formula plots' frame: a view of an x and a y range over the arranged
// rectangle, its background with a decimal grid and highlighted zero lines,
// and the curve of a formula of x drawn with one point per pixel column.
#pragma once

#include "../controls/control_parts.h"
#include "mp_sdk_gui2.h"
#include "qw_formula.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace qw::vector
{
// x from x0 to x1 over columns 0 .. w - 1, y from y0 (row h - 1) to y1 (row 0).
struct PlotView
{
    float x0, x1, y0, y1, w, h;
    float px(float x) const { return (x - x0) / (x1 - x0) * (w - 1.0f); }
    float py(float y) const { return (1.0f - (y - y0) / (y1 - y0)) * (h - 1.0f); }

    // At least 20 x 20 pixels, with ranges that are not empty and whose ends
    // and spans are finite: what a plot draws a grid and curves on.
    bool drawable() const
    {
        const float xr = x1 - x0, yr = y1 - y0;
        return w >= 20.0f && h >= 20.0f && xr > 0.0f && yr > 0.0f && std::isfinite(xr) && std::isfinite(yr);
    }
};

// A curve has one vertex a column; columns beyond this many (wider than any
// drawable surface) are not evaluated.
constexpr int64_t kMaxPlotColumns = 1 << 16;

// The vertices of the curve of the parser's formula of x, one a column from
// column 0, handed to vertex(point) in order; none, and false, when the first
// column's evaluation fails (an empty text, an assignment or an error). Later
// failures give the parser's result (0 after an error); NaN results lie on
// the row of 0, others are held within one unit beyond the y range. On a
// range of a tiny span one unit is a vast number of rows: rows are held
// within 256 plot heights beyond the plot, which moves no visible part of a
// line by more than 1/256 pixel and keeps every vertex finite.
template <class Vertex> bool plotCurve(const PlotView& v, FormulaParser& parser, Vertex&& vertex)
{
    const float dx = (v.x1 - v.x0) / (v.w - 1.0f);
    const float far = 256.0f * v.h;
    auto row = [&](float r) {
        const float p = v.py(std::isnan(r) ? 0.0f : std::clamp(r, v.y0 - 1.0f, v.y1 + 1.0f));
        return p >= -far ? (p <= v.h + far ? p : v.h + far) : -far;
    };

    float r = 0.0f;
    parser.setVar("x", v.x0);
    if (!parser.evaluate(&r))
        return false;
    vertex(GmpiDrawing::Point(0.0f, row(r)));
    const int64_t columns = std::min<int64_t>(static_cast<int64_t>(std::ceil(v.w)), kMaxPlotColumns);
    for (int64_t i = 1; i < columns; ++i)
    {
        parser.setVar("x", static_cast<float>(i) * dx + v.x0);
        parser.evaluate(&r); // a failure leaves its own result
        vertex(GmpiDrawing::Point(static_cast<float>(i), row(r)));
    }
    return true;
}

struct PlotColours
{
    controls::Color grid, axis, background;
};

// Fills the arranged rectangle with the background; then, for a drawable
// view, draws the grid and answers true: the curves may follow, clipped to
// the rectangle.
bool drawPlotGround(const controls::Graphics_base& g, const controls::Rect& arranged, const PlotView& v,
                    const PlotColours& colours);

// The curve of plotCurve as one open figure.
void drawPlotCurve(const controls::Graphics_base& g, const PlotView& v, FormulaParser& parser,
                   const GmpiDrawing::Brush& brush, float stroke);

// A formula pin's text up to its first zero byte, with its ASCII capitals in
// lower case, into a parser.
inline void setPlotFormula(FormulaParser& parser, std::string text)
{
    text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    parser.setFormula(text);
}

// A curve's width from its pin: 1 to 10 pixels; NaN gives 1.
inline float plotStroke(float pin)
{
    return controls::limit(pin, 1.0f, 10.0f);
}

// A plot module: pins for its formulas, their parameters (named a, b, c, ...
// in every formula), the x and y range, the curves' width and colours for
// each curve, the grid, the axes and the background. Its pins only display.
template <int Curves, int Parameters> class FormulaPlot : public gmpi_gui::MpGuiGfxBase
{
public:
    static constexpr int kColours = Curves + 3; // the curves', grid, axis, background

    explicit FormulaPlot(const uint32_t (&curveColours)[Curves])
    {
        for (auto& p : formulaPins_)
            initializePin(p, &FormulaPlot::onSetFormula);
        for (auto& p : parameterPins_)
            initializePin(p, &FormulaPlot::onSetAttrs);
        for (auto& p : rangePins_)
            initializePin(p, &FormulaPlot::onSetAttrs);
        initializePin(strokePin_, &FormulaPlot::onSetCosmetic);
        for (auto& p : colourPins_)
            initializePin(p, &FormulaPlot::onSetCosmetic);
        for (int i = 0; i < Curves; ++i)
            defaults_[i] = controls::colorOf(curveColours[i]);
        defaults_[Curves] = controls::colorOf(0xFF80C0FFu);     // grid
        defaults_[Curves + 1] = controls::colorOf(0xFFFF8080u); // axis
        defaults_[Curves + 2] = controls::colorOf(0xFFFFFFFFu); // background
        for (int i = 0; i < kColours; ++i)
            colours_[i] = defaults_[i];
    }

    // Pin values that arrive before this draw nothing: redraws start here.
    int32_t initialize() override
    {
        initialised_ = true;
        const int32_t r = MpGuiGfxBase::initialize();
        invalidateRect();
        return r;
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const GmpiDrawing::Rect r = getRect();
        const PlotView v{range_[0], range_[1], range_[2], range_[3], r.getWidth(), r.getHeight()};
        if (!drawPlotGround(g, r, v, {colours_[Curves], colours_[Curves + 1], colours_[Curves + 2]}))
            return gmpi::MP_OK;
        g.PushAxisAlignedClip(r);
        for (int i = 0; i < Curves; ++i)
            drawPlotCurve(g, v, parsers_[i], g.CreateSolidColorBrush(colours_[i]), stroke_);
        g.PopAxisAlignedClip();
        return gmpi::MP_OK;
    }

private:
    void redraw()
    {
        if (initialised_)
            invalidateRect();
    }

    // Either formula pin translates every formula anew.
    void onSetFormula()
    {
        for (int i = 0; i < Curves; ++i)
            setPlotFormula(parsers_[i], formulaPins_[i]);
        redraw();
    }

    // Each of these pins re-reads them all.
    void onSetAttrs()
    {
        static const char* const names[] = {"a", "b", "c", "d", "e", "f"};
        static_assert(Parameters <= 6);
        for (auto& parser : parsers_)
            for (int i = 0; i < Parameters; ++i)
                parser.setVar(names[i], parameterPins_[i]);
        for (int i = 0; i < 4; ++i)
            range_[i] = rangePins_[i];
        redraw();
    }

    void onSetCosmetic()
    {
        for (int i = 0; i < kColours; ++i)
            colours_[i] = controls::colorOf(colourPins_[i], defaults_[i]);
        stroke_ = plotStroke(strokePin_);
        redraw();
    }

    StringGuiPin formulaPins_[Curves];
    MpGuiPin<float> parameterPins_[Parameters];
    MpGuiPin<float> rangePins_[4]; // x minimum, x maximum, y minimum, y maximum
    MpGuiPin<float> strokePin_;
    StringGuiPin colourPins_[kColours];

    controls::Color defaults_[kColours], colours_[kColours];
    FormulaParser parsers_[Curves];
    bool initialised_ = false;
    float range_[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float stroke_ = 1.0f;
};
} // namespace qw::vector
