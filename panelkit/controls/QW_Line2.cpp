// Line slider: one bar of a chosen thickness across the control, travelling
// down (orientation 0) or to the right, at a position from 0 to 1. A press
// can jump the bar to the pointer, jump and then drag it, or grab the bar
// itself and drag it, as the mouse-mode pin says.
#include "control_parts.h"
#include "fine_drag.h"
#include "mp_sdk_gui2.h"

#include <algorithm>
#include <cmath>

using namespace qw::controls;

class QW_Line2 : public gmpi_gui::MpGuiGfxBase
{
public:
    enum Mode
    {
        None,
        Jump,
        JumpAndDrag,
        DragBar
    };
    static constexpr float kMaxThickness = 64.0f;
    // The bar moves by this part of the pointer's travel while the
    // fine-adjustment modifier is held.
    static constexpr float kFineFactor = 0.1f;

    QW_Line2()
    {
        initializePin(positionPin_, &QW_Line2::onSetAnimPos);
        initializePin(pointerDown_);
        initializePin(orientationPin_, &QW_Line2::onSetOrient);
        initializePin(mode_);
        initializePin(thicknessPin_, &QW_Line2::onSetThickness);
        initializePin(barColourPin_, &QW_Line2::onSetColors);
        initializePin(backgroundColourPin_, &QW_Line2::onSetColors);
        expectOwnEchoes();
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const Rect r = getRect();
        g.FillRectangle(r, g.CreateSolidColorBrush(background_));
        const float s = barStart();
        const Rect bar =
            vertical() ? Rect(0.0f, s, r.getWidth(), s + thickness_) : Rect(s, 0.0f, s + thickness_, r.getHeight());
        g.FillRectangle(bar, g.CreateSolidColorBrush(bar_));
        return gmpi::MP_OK;
    }

    // Modes 1 and 2 take the whole control, mode 3 only the bar.
    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override
    {
        const int32_t m = mode_;
        const bool hit = m == Jump || m == JumpAndDrag || (m == DragBar && onBar(point));
        return hit ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
    }

    // A handled press answers 1.
    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        const int32_t m = mode_;
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON) || m == None)
            return gmpi::MP_UNHANDLED;
        if (m == Jump || m == JumpAndDrag)
        {
            pointerDown_ = true;
            if (m == JumpAndDrag)
            {
                setCapture();
                last_ = grab_ = point;
            }
            moveTo(along(point));
            return 1;
        }
        // Mode 3, and any other mode, grabs the bar where it is.
        if (!onBar(point))
            return gmpi::MP_UNHANDLED;
        pointerDown_ = true;
        setCapture();
        last_ = point;
        grab_.x = grab_.y = barStart() + 0.5f * thickness_;
        return 1;
    }

    // The grab point follows the pointer's travel (a tenth of it with the
    // fine modifier), and the bar's centre follows the grab point.
    int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!getCapture())
            return gmpi::MP_UNHANDLED;
        if (!std::isfinite(point.x) || !std::isfinite(point.y))
            return gmpi::MP_OK; // not a place: the grab stays where it is
        const float k = (flags & gmpi_gui::FINE_DRAG_MODIFIER) ? kFineFactor : 1.0f;
        if (vertical())
            grab_.y += (point.y - last_.y) * k;
        else
            grab_.x += (point.x - last_.x) * k;
        last_ = point;
        moveTo(along(grab_));
        return gmpi::MP_OK;
    }

    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT) override
    {
        if (getCapture())
            releaseCapture();
        pointerDown_ = false;
        return gmpi::MP_OK;
    }

private:
    bool vertical() const { return orientation_ == 0; }
    float along(GmpiDrawing_API::MP1_POINT p) const { return vertical() ? p.y : p.x; }
    // The travel: the height when the bar travels down, else the width.
    float travel() const
    {
        const Rect r = getRect();
        return vertical() ? r.getHeight() : r.getWidth();
    }
    float barStart() const { return (travel() - thickness_) * position_; }
    bool onBar(GmpiDrawing_API::MP1_POINT p) const
    {
        const float c = along(p), s = barStart();
        return s <= c && c <= s + thickness_;
    }

    // The position whose bar is centred on c, within [0, 1]; 0 when the bar
    // fills the travel or c is not a number.
    float positionAt(float c) const
    {
        const float room = travel() - thickness_;
        if (!(room > 0.0f))
            return 0.0f;
        return limit((c - 0.5f * thickness_) / room, 0.0f, 1.0f);
    }

    // The bar follows its own write at once; the echo of that write must
    // not run the handler again.
    void moveTo(float c)
    {
        echoGuard_ = true;
        position_ = positionAt(c);
        positionPin_ = position_;
        echoGuard_ = false;
        invalidateRect();
    }

    void onSetAnimPos()
    {
        if (echoGuard_)
            return;
        position_ = limit(positionPin_, 0.0f, 1.0f);
        invalidateRect();
    }

    void onSetOrient()
    {
        orientation_ = orientationPin_;
        invalidateRect();
    }

    // 1 to 64 pixels; 0 and below give 1.
    void onSetThickness()
    {
        const int32_t t = thicknessPin_;
        thickness_ = t <= 0 ? 1.0f : std::min(static_cast<float>(t), kMaxThickness);
        invalidateRect();
    }

    void onSetColors()
    {
        bar_ = colorOf(barColourPin_, colorOf(kBarDefault));
        background_ = colorOf(backgroundColourPin_, Color(0.0f, 0.0f, 0.0f, 0.0f));
        invalidateRect();
    }

    static constexpr uint32_t kBarDefault = 0xFFFF8000u; // orange

    MpGuiPin<float> positionPin_;
    MpGuiPin<bool> pointerDown_;
    MpGuiPin<int32_t> orientationPin_;
    MpGuiPin<int32_t> mode_;
    MpGuiPin<int32_t> thicknessPin_;
    StringGuiPin barColourPin_;
    StringGuiPin backgroundColourPin_;

    bool echoGuard_ = false;
    float position_ = 0.0f; // as drawn, 0 .. 1
    float thickness_ = 1.0f;
    int32_t orientation_ = 0;
    Color bar_ = colorOf(kBarDefault);
    Color background_{0.0f, 0.0f, 0.0f, 0.0f};
    GmpiDrawing::Point last_{0.0f, 0.0f}; // the pointer at the last event
    GmpiDrawing::Point grab_{0.0f, 0.0f}; // where the bar's centre is dragged to
};

namespace
{
auto r1 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Line2", &gmpi::Register<QW_Line2>::withId);
auto r3 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Line3", &gmpi::Register<QW_Line2>::withId);
} // namespace
