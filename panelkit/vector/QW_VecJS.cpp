// Value knob drawn with vectors: turning it changes a value by
// (maximum - minimum) / turns per full turn, held within [minimum, maximum]
// unless unlimited, and reports each change on a second pin.
#include "knob_face.h"
#include "turned_value.h"

#include <cmath>

using namespace qw::vector;
using qw::controls::limit;

class QW_VecJS : public KnobBase
{
public:
    QW_VecJS()
    {
        initializePin(valuePin, &QW_VecJS::onSetValue);
        initializePin(minimumPin, &QW_VecJS::onSetMinMax);
        initializePin(maximumPin, &QW_VecJS::onSetMinMax);
        initializePin(turnsPin, &QW_VecJS::onSetTurns);
        initializePin(startAnglePin, &QW_VecJS::onSetStartAngle);
        initializePin(unlimitedPin, &QW_VecJS::onSetUnlimited);
        initializePin(bodyColour_, &QW_VecJS::onSetCosmetics);
        initializePin(capColour_, &QW_VecJS::onSetCosmetics);
        initializePin(shine_, &QW_VecJS::onSetCosmetics);
        initializePin(concave_, &QW_VecJS::onSetCosmetics);
        initializePin(shade_, &QW_VecJS::onSetCosmetics);
        initializePin(bevel_, &QW_VecJS::onSetCosmetics);
        initializePin(hint_);
        initializePin(menuItems_);
        initializePin(menuChoice_);
        initializePin(pointerDown_);
        initializePin(change_);
        look_.body = look_.cap = knobDefaultColour();
        expectOwnEchoes();
    }

    // Pointer angle of (dx, dy), dx to the right and dy up: in turns
    // clockwise from straight up, in [0, 1); 0 at the centre. The arc
    // tangent's series, folded to within pi/8 of an axis, errs by less than
    // 3e-4 degrees.
    static float fastAngle(float dx, float dy)
    {
        if (dx == 0.0f && dy == 0.0f)
            return 0.0f;
        const float X = std::fabs(dx), Y = std::fabs(dy);
        const bool nearHorizontal = X > Y;
        const float a = nearHorizontal ? Y : X, b = nearHorizontal ? X : Y;
        float t = a / b, o = 0.0f;
        if (t >= 0.41421357f)
        {
            // The ratio turned back by pi/8.
            t = (0.9238795f * a - 0.38268343f * b) / (0.9238795f * b + 0.38268343f * a);
            o = 0.3926991f;
        }
        const float u = -t * t;
        const float s = t * (1.0f + u * (0.33333334f + u * (0.2f + u * (0.14285715f + u * 0.11111111f))));
        const float g = nearHorizontal ? 1.5707964f - o - s : o + s; // from the vertical
        const float turns = g * 0.15915494f;
        if (dy >= 0.0f)
            return dx >= 0.0f ? turns : 1.0f - turns;
        return dx >= 0.0f ? 0.5f - turns : 0.5f + turns;
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const GmpiDrawing::Rect r = getRect();
        width_ = r.getWidth();
        height_ = r.getHeight();
        const float theta = knob_.angle(startAngle_);
        float t = std::trunc(theta) - theta + 0.25f;
        if (t < -0.5f)
            t += 1.0f;
        const float phi = 6.2831855f * t;
        face_.draw(g, width_, height_, look_, std::cos(phi), std::sin(phi));
        return gmpi::MP_OK;
    }

    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override
    {
        return face_.hit(point.x, point.y, width_, height_) ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON))
            return gmpi::MP_UNHANDLED;
        lastAngle_ = angleOf(point);
        setCapture();
        pointerDown_ = true;
        return gmpi::MP_OK;
    }

    int32_t onPointerMove(int32_t, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!getCapture())
            return gmpi::MP_OK;
        const float a = angleOf(point);
        float delta = a - lastAngle_;
        lastAngle_ = a;
        if (delta == 0.0f)
            return 1;
        float v = 0.0f;
        if (!knob_.turnedBy(wrapTurns(delta), unlimited_, v))
            return 1; // beyond what a float holds: the value stays
        change_ = 0.0f;
        change_ = v - knob_.shown;
        // The knob follows its own value at once; the host's echo of it then
        // changes nothing.
        const bool redraw = v != knob_.shown;
        knob_.shown = v;
        valuePin = v;
        if (redraw)
            invalidateRect();
        return 1;
    }

    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT) override
    {
        if (getCapture())
        {
            releaseCapture();
            change_ = 0.0f;
            pointerDown_ = false;
        }
        return gmpi::MP_OK;
    }

private:
    float angleOf(GmpiDrawing_API::MP1_POINT p) const
    {
        const float a = fastAngle(p.x - 0.5f * width_, 0.5f * height_ - p.y);
        return std::isfinite(a) ? a : 0.0f;
    }

    void onSetValue()
    {
        if (knob_.show(valuePin, unlimited_))
            invalidateRect();
    }

    void onSetMinMax()
    {
        knob_.setLimits(minimumPin, maximumPin);
        onSetValue();
    }

    void onSetTurns()
    {
        knob_.turns = turnsPin > 0.0f ? turnsPin.getValue() : 0.001f;
        invalidateRect();
    }

    // Into [0, 1) by whole turns; what is not a finite number gives 0.
    void onSetStartAngle()
    {
        const float a = startAnglePin;
        float f = std::isfinite(a) ? a - std::floor(a) : 0.0f;
        if (!(f < 1.0f))
            f = 0.0f;
        startAngle_ = f;
        invalidateRect();
    }

    void onSetUnlimited() { unlimited_ = unlimitedPin; }

    void onSetCosmetics()
    {
        knobColours(bodyColour_, capColour_, look_.body, look_.cap);
        look_.shine = shine_;
        look_.concave = concave_;
        // Taken as they are, but for what is not a finite number.
        look_.shade = std::isfinite(shade_.getValue()) ? shade_.getValue() : 0.4f;
        look_.bevel = std::isfinite(bevel_.getValue()) ? bevel_.getValue() : 0.5f;
        face_.drop();
        invalidateRect();
    }

    MpGuiPin<float> valuePin;
    MpGuiPin<float> minimumPin;
    MpGuiPin<float> maximumPin;
    MpGuiPin<float> turnsPin;
    MpGuiPin<float> startAnglePin;
    MpGuiPin<bool> unlimitedPin;
    StringGuiPin bodyColour_;
    StringGuiPin capColour_;
    MpGuiPin<bool> shine_;
    MpGuiPin<bool> concave_;
    MpGuiPin<float> shade_;
    MpGuiPin<float> bevel_;
    MpGuiPin<bool> pointerDown_;
    MpGuiPin<float> change_;

    KnobFace face_;
    KnobLook look_;
    TurnedValue knob_;
    bool unlimited_ = false;
    float startAngle_ = 0.0f;
    float width_ = 0.0f, height_ = 0.0f; // of the last drawing
    float lastAngle_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_VecJS", &gmpi::Register<QW_VecJS>::withId);
} // namespace
