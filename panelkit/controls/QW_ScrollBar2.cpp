// Scroll bar: shows and sets the first visible item (Offset) of a list of
// Total items of which Visible fit in a page. The cursor is dragged (finely
// with the modifier), a click before or after it turns a page, and the Dec and
// Inc pins step by one item with auto-repeat while they are held. The rounded
// background is drawn once into a bitmap and reused.
#include "TimerManager.h"
#include "control_parts.h"
#include "fine_drag.h"
#include "mp_sdk_gui2.h"
#include "scroll_bar.h"

#include <cmath>

using namespace qw::controls;

class QW_ScrollBar2 : public gmpi_gui::MpGuiGfxBase, public TimerClient
{
public:
    QW_ScrollBar2()
    {
        initializePin(offset_, &QW_ScrollBar2::onSetTVO);
        initializePin(visible_, &QW_ScrollBar2::onSetTVO);
        initializePin(total_, &QW_ScrollBar2::onSetTVO);
        initializePin(pointerDown_);
        initializePin(enabled_, &QW_ScrollBar2::onSetCosmetic);
        initializePin(disabledAlpha_, &QW_ScrollBar2::onSetCosmetic);
        initializePin(repeatDelay_);
        initializePin(repeatInterval_);
        initializePin(cursorRadiusPin_, &QW_ScrollBar2::onSetCursorRound);
        initializePin(bevel_, &QW_ScrollBar2::onSetCosmetic);
        initializePin(grip_, &QW_ScrollBar2::onSetCosmetic);
        initializePin(colourPins_[Cursor], &QW_ScrollBar2::onSetColors);
        initializePin(colourPins_[CursorDragged], &QW_ScrollBar2::onSetColors);
        initializePin(trackLength_, &QW_ScrollBar2::onSetCosmetic);
        initializePin(trackThickness_, &QW_ScrollBar2::onSetCosmetic);
        initializePin(backgroundRadius_, &QW_ScrollBar2::onSetCosmetic);
        initializePin(backgroundOutlineWidth_, &QW_ScrollBar2::onSetCosmetic);
        initializePin(colourPins_[BackgroundOutline], &QW_ScrollBar2::onSetColors);
        initializePin(backgroundLength_, &QW_ScrollBar2::onSetCosmetic);
        initializePin(backgroundThickness_, &QW_ScrollBar2::onSetCosmetic);
        initializePin(colourPins_[BackgroundFill], &QW_ScrollBar2::onSetColors);
        initializePin(dec_, &QW_ScrollBar2::onSetDec);
        initializePin(inc_, &QW_ScrollBar2::onSetInc);
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
        const Color c = faded(colours_[dragging_ ? CursorDragged : Cursor], k);
        drawRoundedControl(g, arranged, width_, height_, background_,
                           backgroundLook(backgroundLength_, backgroundThickness_, bar_.horizontal,
                                          backgroundOutlineWidth_, backgroundRadius_, colours_[BackgroundFill],
                                          colours_[BackgroundOutline], k),
                           bar_.cursor, CursorLook{c, cursorRadius_, bevel_, grip_, bar_.horizontal});
        return gmpi::MP_OK;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON) || !enabled_ || !usable() || !bar_.inTrack(point))
            return gmpi::MP_UNHANDLED;
        const float c = along(point);
        const float start = bar_.horizontal ? bar_.cursor.left : bar_.cursor.top;
        const float end = bar_.horizontal ? bar_.cursor.right : bar_.cursor.bottom;
        if (c < start || c > end)
        {
            // A page towards the click.
            bar_.moveOffset(c < start ? -static_cast<int64_t>(bar_.Visible) : bar_.Visible);
            echoGuard_ = true;
            offset_ = bar_.Offset;
            invalidateRect();
            echoGuard_ = false;
            return 1;
        }
        anchor_ = c;
        setCapture();
        pointerDown_ = true;
        dragging_ = true;
        invalidateRect();
        return 1;
    }

    // The cursor follows the pointer smoothly; the Offset is rounded.
    int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!getCapture())
            return gmpi::MP_OK;
        const float c = along(point);
        if (!std::isfinite(c))
            return 1;
        bar_.drag((c - anchor_) * gmpi_gui::fineDragFactor(flags));
        offset_ = bar_.Offset;
        invalidateRect();
        anchor_ = c;
        return 1;
    }

    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT) override
    {
        if (getCapture())
            releaseCapture();
        pointerDown_ = false;
        const bool wasDragging = dragging_;
        dragging_ = false;
        invalidateRect();
        if (wasDragging)
            onSetTVO(); // what the host sent during the drag
        return gmpi::MP_OK;
    }

    bool OnTimer() override
    {
        if (direction_ == 0)
            return false;
        bar_.moveOffset(direction_);
        offset_ = bar_.Offset;
        invalidateRect();
        StopTimer();
        StartTimer(milliseconds(repeatInterval_));
        return true;
    }

private:
    enum Colour
    {
        Cursor,
        CursorDragged,
        BackgroundOutline,
        BackgroundFill,
        ColourCount
    };

    // While dragging or stepping, the values from outside wait: the host
    // hands back what the control sends, and the control's own state leads.
    bool guarded() const { return echoGuard_ || dragging_ || direction_ != 0; }

    void onSetTVO()
    {
        if (guarded())
            return;
        bar_.set(total_, visible_, offset_);
        invalidateRect();
    }

    void onSetCosmetic()
    {
        width_ = height_ = 0.0f;
        background_.drop();
        invalidateRect();
    }

    void onSetCursorRound()
    {
        cursorRadius_ = limit(cursorRadiusPin_, 0.0f, 20.0f);
        bar_.setCursorRadius(cursorRadius_);
        bar_.updateCursorPos();
        bar_.updateCursorRect();
        invalidateRect();
    }

    void onSetColors()
    {
        static const uint32_t defaults[ColourCount] = {0xFF0080FFu, 0xFFFFFFFFu, 0xFF0080FFu, 0xFF004080u};
        for (int i = 0; i < ColourCount; ++i)
            colours_[i] = colorOf(colourPins_[i].getValue(), colorOf(defaults[i]));
        background_.drop();
        invalidateRect();
    }

    void onSetDec() { onSetStep(-1, dec_, inc_); }
    void onSetInc() { onSetStep(+1, inc_, dec_); }

    // A press of Dec or Inc steps at once and again after the delay, then at
    // every interval; a press while the other is held is ignored, and only the
    // release of the stepping pin stops the repeat.
    void onSetStep(int direction, bool held, bool otherHeld)
    {
        if (held)
        {
            if (otherHeld || direction_ != 0)
                return;
            direction_ = direction;
            bar_.moveOffset(direction);
            offset_ = bar_.Offset;
            invalidateRect();
            StartTimer(milliseconds(repeatDelay_));
        }
        else if (direction_ == direction)
        {
            StopTimer();
            direction_ = 0;
            onSetTVO(); // what the host sent while the pin was held
        }
    }

    // A timer interval of at least 1 ms.
    static int32_t milliseconds(int32_t pin) { return pin < 1 ? 1 : pin; }

    void layOut(float w, float h)
    {
        if (w == width_ && h == height_)
            return;
        width_ = w;
        height_ = h;
        bar_.horizontal = w >= h;
        bar_.track = centredOnAxis(w, h, trackLength_, trackThickness_, bar_.horizontal);
        bar_.updateCursorPos();
        bar_.updateCursorRect();
        background_.drop();
    }

    bool usable() const { return width_ >= 10.0f && height_ >= 10.0f; }
    float along(GmpiDrawing_API::MP1_POINT p) const { return bar_.horizontal ? p.x : p.y; }

    MpGuiPin<int> offset_;
    MpGuiPin<int> visible_;
    MpGuiPin<int> total_;
    MpGuiPin<bool> pointerDown_;
    MpGuiPin<bool> enabled_;
    MpGuiPin<float> disabledAlpha_;
    MpGuiPin<int> repeatDelay_;
    MpGuiPin<int> repeatInterval_;
    MpGuiPin<float> cursorRadiusPin_;
    MpGuiPin<bool> bevel_;
    MpGuiPin<bool> grip_;
    MpGuiPin<float> trackLength_;
    MpGuiPin<float> trackThickness_;
    MpGuiPin<float> backgroundRadius_;
    MpGuiPin<float> backgroundOutlineWidth_;
    MpGuiPin<float> backgroundLength_;
    MpGuiPin<float> backgroundThickness_;
    StringGuiPin colourPins_[ColourCount];
    MpGuiPin<bool> dec_;
    MpGuiPin<bool> inc_;

    qw::ScrollBar bar_;
    float cursorRadius_ = 0.0f;
    Color colours_[ColourCount] = {colorOf(0xFF0080FFu), colorOf(0xFFFFFFFFu), colorOf(0xFF0080FFu),
                                   colorOf(0xFF004080u)};
    float width_ = 0.0f, height_ = 0.0f; // of the last layout
    float anchor_ = 0.0f;                // last pointer coordinate along the track
    int direction_ = 0;                  // -1 or +1 while Dec or Inc repeats
    bool dragging_ = false;
    bool echoGuard_ = false;
    CachedLayer background_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ScrollBar2", &gmpi::Register<QW_ScrollBar2>::withId);
} // namespace
