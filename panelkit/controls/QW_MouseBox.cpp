// Mouse box: an invisible area that reports its size, the pointer's position
// (in units and as fractions of the size), its angle around the centre and
// the changes of all of these between pointer events, a pointer-down flag, a
// context menu from a list text and a tooltip.
#include "control_parts.h"
#include "it_enum_list.h"
#include "mp_api_dialogs.h"
#include "mp_sdk_gui2.h"
#include "skin_text.h"

#include <cmath>
#include <string>

using namespace qw::controls;

class QW_MouseBox : public gmpi_gui::MpGuiGfxBase
{
public:
    QW_MouseBox()
    {
        initializePin(axisFlags_);
        initializePin(hint_);
        initializePin(menuItems_);
        initializePin(menuChoice_);
        initializePin(pointerDown_);
        initializePin(width_);
        initializePin(height_);
        initializePin(x_);
        initializePin(y_);
        initializePin(fractionX_);
        initializePin(fractionY_);
        initializePin(angle_);
        initializePin(dx_);
        initializePin(dy_);
        initializePin(dFractionX_);
        initializePin(dFractionY_);
        initializePin(dAngle_);
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext*) override
    {
        w_ = rect_.right - rect_.left;
        width_ = skin::toInt32(w_);
        h_ = rect_.bottom - rect_.top;
        height_ = skin::toInt32(h_);
        return gmpi::MP_OK;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT p) override
    {
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON))
            return gmpi::MP_UNHANDLED;
        setCapture();
        place(p);
        previous_ = current_;
        pointerDown_ = true;
        updatePins();
        return gmpi::MP_OK;
    }

    // Any move while the capture is held counts, whatever the buttons.
    int32_t onPointerMove(int32_t, GmpiDrawing_API::MP1_POINT p) override
    {
        if (!getCapture())
            return gmpi::MP_UNHANDLED;
        place(p);
        updatePins();
        previous_ = current_;
        return gmpi::MP_OK;
    }

    // The position pins keep their last values; the changes return to 0.
    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT) override
    {
        pointerDown_ = false;
        dy_ = 0;
        dx_ = 0;
        dAngle_ = 0.0f;
        dFractionY_ = 0.0f;
        dFractionX_ = 0.0f;
        releaseCapture();
        return gmpi::MP_OK;
    }

    // Entries of the menu text as items, their values as ids; a sink that is
    // not a context-item sink gets nothing.
    int32_t populateContextMenu(float, float, gmpi::IMpUnknown* sink) override
    {
        addMenuItems(sink, menuItems_.getValue());
        return gmpi::MP_OK;
    }

    int32_t onContextMenu(int32_t id) override
    {
        menuChoice_ = id;
        menuChoice_ = -1;
        return gmpi::MP_OK;
    }

    int32_t getToolTip(GmpiDrawing_API::MP1_POINT, gmpi::IString* out) override { return answerToolTip(out, hint_); }

private:
    struct Position
    {
        float x = 0.0f, y = 0.0f;   // drawing units
        float fx = 0.0f, fy = 0.0f; // fractions of the size
        float angle = 0.0f;         // turns
    };

    // A fraction of a length; 0 for an empty or unusable box.
    static float fraction(float v, float length)
    {
        const float f = v / length;
        return std::isfinite(f) ? f : 0.0f;
    }

    void place(GmpiDrawing_API::MP1_POINT p)
    {
        Position& c = current_;
        c.x = p.x;
        c.y = p.y;
        if (axisFlags_ & 1)
            c.y = h_ - 1.0f - c.y;
        if (axisFlags_ & 2)
            c.x = w_ - 1.0f - c.x;
        c.fx = fraction(c.x, w_);
        c.fy = fraction(c.y, h_);
        // Turns clockwise from straight up: 0.25 right of the centre, 0.5 below.
        const float a = std::atan2(w_ * 0.5f - c.x, c.y - h_ * 0.5f) * 0.15915494f + 0.5f;
        c.angle = std::isfinite(a) ? a : 0.0f;
    }

    void updatePins()
    {
        const Position& c = current_;
        const Position& p = previous_;
        x_ = skin::toInt32(c.x);
        y_ = skin::toInt32(c.y);
        fractionX_ = c.fx;
        fractionY_ = c.fy;
        angle_ = c.angle;
        // Each change goes through 0, so that an equal change reaches the host again.
        dy_ = 0;
        dx_ = 0;
        dx_ = skin::toInt32(static_cast<double>(c.x) - p.x);
        dy_ = skin::toInt32(static_cast<double>(c.y) - p.y);
        dFractionY_ = 0.0f;
        dFractionX_ = 0.0f;
        dFractionX_ = finite(c.fx - p.fx);
        dFractionY_ = finite(c.fy - p.fy);
        float d = c.angle - p.angle;
        if (d > 0.5f)
            d -= 1.0f;
        else if (d < -0.5f)
            d += 1.0f;
        dAngle_ = 0.0f;
        dAngle_ = finite(d);
    }

    static float finite(float v) { return std::isfinite(v) ? v : 0.0f; }

    MpGuiPin<int> axisFlags_;
    StringGuiPin hint_;
    StringGuiPin menuItems_;
    MpGuiPin<int> menuChoice_;
    MpGuiPin<bool> pointerDown_;
    MpGuiPin<int> width_;
    MpGuiPin<int> height_;
    MpGuiPin<int> x_;
    MpGuiPin<int> y_;
    MpGuiPin<float> fractionX_;
    MpGuiPin<float> fractionY_;
    MpGuiPin<float> angle_;
    MpGuiPin<int> dx_;
    MpGuiPin<int> dy_;
    MpGuiPin<float> dFractionX_;
    MpGuiPin<float> dFractionY_;
    MpGuiPin<float> dAngle_;

    float w_ = 0.0f, h_ = 0.0f; // size at the last render
    Position current_, previous_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_MouseBox", &gmpi::Register<QW_MouseBox>::withId);
} // namespace
