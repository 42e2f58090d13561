// A value between 0 and 1 shown as a bar over a gradient background, dragged
// by the user: the common part of QW_LevelBar2 and its older form
// QW_LevelBar, which differ in pin order, the centre mode and when the bar's
// brush is made.
#pragma once

#include "control_parts.h"
#include "mp_sdk_gui2.h"

namespace qw::controls
{
class LevelBar : public gmpi_gui::MpGuiGfxBase
{
public:
    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override;
    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t onPointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override;

protected:
    enum Colour
    {
        BackgroundA,
        BackgroundB,
        BarA,
        BarB,
        Border,
        ColourCount
    };

    // centreMode: the centre pin counts; barBrushEveryRender: the older
    // form's brush, made on every render with the background's points.
    LevelBar(bool centreMode, bool barBrushEveryRender);

    void reDraw();
    void onSetColors();

    MpGuiPin<float> level_;
    MpGuiPin<bool> pointerDown_;
    MpGuiPin<int> orientation_;
    MpGuiPin<bool> centre_;
    MpGuiPin<bool> passThrough_;
    StringGuiPin colourPins_[ColourCount];

private:
    void drawBar(const GmpiDrawing::Graphics& g, float width, float height, float v) const;

    const bool centreMode_;
    const bool barBrushEveryRender_;
    Color colours_[ColourCount];
    float dragWidth_ = 0.0f, dragHeight_ = 0.0f; // of the last render
    Point last_;
};
} // namespace qw::controls
