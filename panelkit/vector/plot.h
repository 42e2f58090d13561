// The formula plots' frame: a view of an x and a y range over the arranged
// rectangle, its background with a decimal grid and highlighted zero lines,
// and the curve of a formula of x drawn with one point per pixel column.
#pragma once

#include "../controls/control_parts.h"
#include "mp_sdk_gui2.h"
#include "qw_formula.h"

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
};

struct PlotColours
{
    controls::Color grid, axis, background;
};

// Fills the arranged rectangle with the background; then, for a view of at
// least 20 x 20 pixels whose ranges are finite and not empty, draws the grid
// and answers true: the curves may follow, clipped to the rectangle.
bool drawPlotGround(const controls::Graphics_base& g, const controls::Rect& arranged, const PlotView& v,
                    const PlotColours& colours);

// The curve of the parser's formula of x, one vertex a column; nothing when
// the first column's evaluation fails (an empty text, an assignment or an
// error). Later failures draw the parser's result (0 after an error); NaN
// results lie at the row of 0, others are held within one unit beyond the y
// range.
void drawPlotCurve(const controls::Graphics_base& g, const PlotView& v, FormulaParser& parser,
                   const GmpiDrawing::Brush& brush, float stroke);

// A formula pin's text up to its first zero byte, with its ASCII capitals in
// lower case, into a parser.
void setPlotFormula(FormulaParser& parser, std::string text);

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
