#include "level_bar.h"

#include "fine_drag.h"

#include <cmath>

namespace qw::controls
{
namespace
{
const uint32_t kDefaults[] = {0xFFB0B0B0u, 0xFFFFFFFFu, 0x60FF0000u, 0x60FF0000u, 0x00000000u};
} // namespace

LevelBar::LevelBar(bool centreMode, bool barBrushEveryRender)
    : centreMode_(centreMode), barBrushEveryRender_(barBrushEveryRender)
{
    for (int i = 0; i < ColourCount; ++i)
        colours_[i] = colorOf(kDefaults[i]);
    expectOwnEchoes();
}

void LevelBar::reDraw()
{
    invalidateRect();
}

void LevelBar::onSetColors()
{
    for (int i = 0; i < ColourCount; ++i)
        colours_[i] = colorOf(colourPins_[i].getValue(), colorOf(kDefaults[i]));
    invalidateRect();
}

int32_t LevelBar::OnRender(GmpiDrawing_API::IMpDeviceContext* context)
{
    GmpiDrawing::Graphics g(context);
    const Rect r = getRect();
    const float w = span(r.left, r.right), h = span(r.top, r.bottom);
    dragWidth_ = w;
    dragHeight_ = h;
    const bool vertical = orientation_ != 0;
    // Vertical bars fill from the bottom: their gradients run upwards.
    const Point start = vertical ? Point(0.0f, h) : Point(0.0f, 0.0f);
    const Point end = vertical ? Point(0.0f, 0.0f) : Point(w, 0.0f);

    g.FillRectangle(r, g.CreateLinearGradientBrush(colours_[BackgroundA], colours_[BackgroundB], start, end));
    if (barBrushEveryRender_)
    {
        auto brush = g.CreateLinearGradientBrush(colours_[BarA], colours_[BarB], start, end);
        const float v = limit(level_, 0.0f, 1.0f);
        if (v > 0.0f)
            g.FillRectangle(vertical ? Rect(0.0f, (1.0f - v) * h, w, h) : Rect(0.0f, 0.0f, v * w, h), brush);
    }
    else
        drawBar(g, w, h, limit(level_, 0.0f, 1.0f));

    auto border = g.CreateSolidColorBrush(colours_[Border]);
    if (colours_[Border].a > 0.0f)
        g.DrawRectangle(Rect(0.5f, 0.5f, w - 0.5f, h - 0.5f), border, 1.0f);
    return gmpi::MP_OK;
}

// The gradient spans the whole control, or the whole half in centre mode,
// so that the bar uncovers a fixed ramp of colour.
void LevelBar::drawBar(const GmpiDrawing::Graphics& g, float w, float h, float v) const
{
    const bool vertical = orientation_ != 0;
    const Color a = colours_[BarA], b = colours_[BarB];
    if (!(centreMode_ && centre_))
    {
        if (!(v > 0.0f))
            return;
        if (vertical)
            g.FillRectangle(Rect(0.0f, (1.0f - v) * h, w, h),
                            g.CreateLinearGradientBrush(a, b, Point(0.0f, h), Point(0.0f, 0.0f)));
        else
            g.FillRectangle(Rect(0.0f, 0.0f, v * w, h),
                            g.CreateLinearGradientBrush(a, b, Point(0.0f, 0.0f), Point(w, 0.0f)));
        return;
    }
    // Centre mode: bar A at the middle, bar B at the ends; the half towards
    // the right or the top has its middle stop one unit beyond the middle.
    const float hw = w * 0.5f, hh = h * 0.5f;
    if (v < 0.5f)
    {
        if (vertical)
            g.FillRectangle(Rect(0.0f, hh, w, (1.0f - v) * h),
                            g.CreateLinearGradientBrush(a, b, Point(0.0f, hh), Point(0.0f, h)));
        else
            g.FillRectangle(Rect(v * w, 0.0f, hw, h),
                            g.CreateLinearGradientBrush(b, a, Point(0.0f, 0.0f), Point(hw, 0.0f)));
    }
    else if (v > 0.5f)
    {
        if (vertical)
            g.FillRectangle(Rect(0.0f, (1.0f - v) * h, w, hh),
                            g.CreateLinearGradientBrush(b, a, Point(0.0f, 0.0f), Point(0.0f, hh + 1.0f)));
        else
            g.FillRectangle(Rect(hw, 0.0f, v * w, h),
                            g.CreateLinearGradientBrush(a, b, Point(hw - 1.0f, 0.0f), Point(w, 0.0f)));
    }
}

int32_t LevelBar::onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point)
{
    if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON))
        return gmpi::MP_UNHANDLED;
    pointerDown_ = true;
    last_ = point;
    setCapture();
    return gmpi::MP_OK;
}

int32_t LevelBar::onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point)
{
    if (!getCapture())
        return gmpi::MP_UNHANDLED;
    if (!std::isfinite(point.x) || !std::isfinite(point.y))
        return gmpi::MP_OK;
    const float f = gmpi_gui::fineDragFactor(flags);
    const float dx = point.x - last_.x, dy = point.y - last_.y;
    last_ = point;
    const bool vertical = orientation_ != 0;
    const float size = vertical ? dragHeight_ : dragWidth_;
    // Before the first render there is no size to drag against.
    if (!(size > 0.0f) || !std::isfinite(dx) || !std::isfinite(dy))
        return gmpi::MP_OK;
    // Moving up raises a vertical bar.
    const float v = limit(vertical ? level_ - f * dy / size : level_ + f * dx / size, 0.0f, 1.0f);
    if (v != level_.getValue())
    {
        level_ = v;
        // The bar follows at once, whether or not the host echoes the value.
        invalidateRect();
    }
    return gmpi::MP_OK;
}

int32_t LevelBar::onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT)
{
    if (getCapture())
        releaseCapture();
    pointerDown_ = false;
    return gmpi::MP_OK;
}

int32_t LevelBar::hitTest(GmpiDrawing_API::MP1_POINT)
{
    return passThrough_ ? gmpi::MP_UNHANDLED : gmpi::MP_OK;
}
} // namespace qw::controls
