// Vector slider: a rounded cursor dragged along a rounded groove to set a
// value between 0 and 1; horizontal when at least as wide as high. The groove
// is drawn once into a bitmap and reused.
#include "control_parts.h"
#include "fine_drag.h"
#include "mp_sdk_gui2.h"
#include "slider.h"

#include <cmath>

using namespace qw::controls;

class QW_VecSlider : public gmpi_gui::MpGuiGfxBase
{
public:
    QW_VecSlider()
    {
        initializePin(value_, &QW_VecSlider::onSetAnimPos);
        initializePin(pointerDown_);
        initializePin(enabled_, &QW_VecSlider::onSetCosmetic);
        initializePin(disabledAlpha_, &QW_VecSlider::onSetCosmetic);
        initializePin(cursorLength_, &QW_VecSlider::onSetCosmetic);
        initializePin(cursorRadius_, &QW_VecSlider::onSetCosmetic);
        initializePin(bevel_, &QW_VecSlider::onSetCosmetic);
        initializePin(grip_, &QW_VecSlider::onSetCosmetic);
        initializePin(colourPins_[Cursor], &QW_VecSlider::onSetColors);
        initializePin(colourPins_[CursorPressed], &QW_VecSlider::onSetColors);
        initializePin(travelLength_, &QW_VecSlider::onSetCosmetic);
        initializePin(travelThickness_, &QW_VecSlider::onSetCosmetic);
        initializePin(grooveRadius_, &QW_VecSlider::onSetCosmetic);
        initializePin(grooveOutlineWidth_, &QW_VecSlider::onSetCosmetic);
        initializePin(colourPins_[GrooveOutline], &QW_VecSlider::onSetColors);
        initializePin(grooveLength_, &QW_VecSlider::onSetCosmetic);
        initializePin(grooveThickness_, &QW_VecSlider::onSetCosmetic);
        initializePin(colourPins_[GrooveFill], &QW_VecSlider::onSetColors);
        expectOwnEchoes();
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const Rect arranged = getRect();
        layOut(span(arranged.left, arranged.right), span(arranged.top, arranged.bottom));
        if (!usable())
            return gmpi::MP_OK;

        const float k = enabled_ ? 1.0f : limit(disabledAlpha_, 0.0f, 1.0f);
        const Color c = faded(colours_[pressed_ ? CursorPressed : Cursor], k);
        drawRoundedControl(g, arranged, width_, height_, groove_,
                           backgroundLook(grooveLength_, grooveThickness_, slider_.horizontal, grooveOutlineWidth_,
                                          grooveRadius_, colours_[GrooveFill], colours_[GrooveOutline], k),
                           slider_.cursor,
                           CursorLook{c, limit(cursorRadius_, 0.0f, 20.0f), bevel_, grip_, slider_.horizontal});
        return gmpi::MP_OK;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON) || !enabled_ || !usable() || !slider_.inTravel(point))
            return gmpi::MP_UNHANDLED;
        last_ = along(point);
        setCapture();
        pointerDown_ = true;
        pressed_ = true;
        invalidateRect();
        return 1;
    }

    // Relative: the press does not move the cursor to the pointer.
    int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!getCapture())
            return gmpi::MP_OK;
        const float c = along(point);
        if (!std::isfinite(c))
            return 1;
        slider_.drag((c - last_) * gmpi_gui::fineDragFactor(flags));
        // The host may hand the value straight back: it must not re-place
        // the cursor, which sits between the steps a value can show.
        echoGuard_ = true;
        value_ = slider_.value;
        echoGuard_ = false;
        invalidateRect();
        last_ = c;
        return 1;
    }

    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT) override
    {
        if (getCapture())
            releaseCapture();
        pointerDown_ = false;
        pressed_ = false;
        invalidateRect();
        return gmpi::MP_OK;
    }

    // Only the cursor is hit.
    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override
    {
        return usable() && slider_.onCursor(point) ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
    }

private:
    enum Colour
    {
        Cursor,
        CursorPressed,
        GrooveOutline,
        GrooveFill,
        ColourCount
    };

    void onSetAnimPos()
    {
        if (echoGuard_)
            return;
        slider_.value = limit(value_, 0.0f, 1.0f);
        slider_.updateCursorPos();
        slider_.updateCursorRect();
        invalidateRect();
    }

    void onSetCosmetic()
    {
        width_ = height_ = 0.0f;
        groove_.drop();
        invalidateRect();
    }

    void onSetColors()
    {
        static const uint32_t defaults[ColourCount] = {0xFFD0D0D0u, 0xFFFFFFFFu, 0xFF000000u, 0xFF004080u};
        for (int i = 0; i < ColourCount; ++i)
            colours_[i] = colorOf(colourPins_[i].getValue(), colorOf(defaults[i]));
        groove_.drop();
        invalidateRect();
    }

    // A new size, or a cosmetic pin since the last layout, places the travel
    // and the cursor anew.
    void layOut(float w, float h)
    {
        if (w == width_ && h == height_)
            return;
        width_ = w;
        height_ = h;
        slider_.horizontal = w >= h;
        slider_.travel = centredOnAxis(w, h, travelLength_, travelThickness_, slider_.horizontal);
        slider_.cursorFraction = percent(cursorLength_, 0.0f, 0.5f);
        slider_.updateCursorPos();
        slider_.updateCursorRect();
        groove_.drop();
    }

    bool usable() const { return width_ >= 10.0f && height_ >= 10.0f; }
    float along(GmpiDrawing_API::MP1_POINT p) const { return slider_.horizontal ? p.x : p.y; }

    MpGuiPin<float> value_;
    MpGuiPin<bool> pointerDown_;
    MpGuiPin<bool> enabled_;
    MpGuiPin<float> disabledAlpha_;
    MpGuiPin<float> cursorLength_;
    MpGuiPin<float> cursorRadius_;
    MpGuiPin<bool> bevel_;
    MpGuiPin<bool> grip_;
    MpGuiPin<float> travelLength_;
    MpGuiPin<float> travelThickness_;
    MpGuiPin<float> grooveRadius_;
    MpGuiPin<float> grooveOutlineWidth_;
    MpGuiPin<float> grooveLength_;
    MpGuiPin<float> grooveThickness_;
    StringGuiPin colourPins_[ColourCount];

    qw::Slider slider_;
    Color colours_[ColourCount] = {Color(1, 1, 1), Color(1, 1, 1), Color(1, 1, 1), Color(1, 1, 1)};
    float width_ = 0.0f, height_ = 0.0f; // of the last layout
    float last_ = 0.0f;                  // pointer coordinate along the axis
    bool pressed_ = false;
    bool echoGuard_ = false;
    CachedLayer groove_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_VecSlider", &gmpi::Register<QW_VecSlider>::withId);
} // namespace
