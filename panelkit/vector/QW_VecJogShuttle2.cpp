// Jog shuttle knob drawn with vectors: turning it about its centre changes a
// value by (maximum - minimum) / turns per full turn, so the value can pass
// through several turns of the knob between its limits, or run without them.
// The cap shows the value's angle from a start angle.
#include "knob_face.h"
#include "turned_value.h"

using namespace qw::vector;
using qw::controls::limit;

class QW_VecJogShuttle2 : public KnobBase
{
public:
    QW_VecJogShuttle2()
    {
        initializePin(valuePin_, &QW_VecJogShuttle2::onSetValueMinMax);
        initializePin(minimumPin_, &QW_VecJogShuttle2::onSetValueMinMax);
        initializePin(maximumPin_, &QW_VecJogShuttle2::onSetValueMinMax);
        initializePin(turnsPin_, &QW_VecJogShuttle2::onSetTurns);
        initializePin(startAngle_, &QW_VecJogShuttle2::onSetStartAngle);
        initializePin(unlimited_);
        initializePin(bodyColour_, &QW_VecJogShuttle2::onSetCosmetics);
        initializePin(capColour_, &QW_VecJogShuttle2::onSetCosmetics);
        initializePin(gloss_, &QW_VecJogShuttle2::onSetCosmetics);
        initializePin(invertedCap_, &QW_VecJogShuttle2::onSetCosmetics);
        initializePin(capDot_, &QW_VecJogShuttle2::onSetCosmetics);
        initializePin(shading_, &QW_VecJogShuttle2::onSetCosmetics);
        initializePin(bevel_, &QW_VecJogShuttle2::onSetCosmetics);
        initializePin(hint_);
        initializePin(menuItems_);
        initializePin(menuChoice_);
        initializePin(pointerDown_);
        expectOwnEchoes();
    }

    // Pin values that arrive before this draw nothing: redraws start here.
    int32_t initialize() override
    {
        initialised_ = true;
        redraw();
        return gmpi::MP_OK;
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const GmpiDrawing::Rect r = getRect();
        const float a = knob_.angle(startAngle_);
        face_.draw(g, r.getWidth(), r.getHeight(), look_, qw::fm::sinTurns(a), qw::fm::cosTurns(a));
        return gmpi::MP_OK;
    }

    // Inside the knob drawn last; nothing before the first drawing.
    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override
    {
        const GmpiDrawing::Rect r = getRect();
        return face_.hit(point.x, point.y, r.getWidth(), r.getHeight()) ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
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
        const float delta = a - lastAngle_;
        lastAngle_ = a;
        if (delta == 0.0f)
            return 1;
        float v = 0.0f;
        if (!knob_.turnedBy(wrapTurns(delta), unlimited_, v))
            return 1; // beyond what a float holds: the value stays
        // The knob shows its own value at once, so a drag adds up whether or
        // not the host hands the value back; that echo then changes nothing.
        if (v != knob_.shown)
        {
            knob_.shown = v;
            redraw();
        }
        valuePin_ = v;
        return 1;
    }

    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT) override
    {
        if (getCapture())
        {
            releaseCapture();
            pointerDown_ = false;
        }
        return gmpi::MP_OK;
    }

private:
    void redraw()
    {
        if (initialised_)
            invalidateRect();
    }

    void onSetValueMinMax()
    {
        knob_.setLimits(minimumPin_, maximumPin_);
        if (knob_.show(valuePin_, unlimited_))
            redraw();
    }

    // Fewer than a thousandth of a turn (or not a number) counts as that.
    void onSetTurns()
    {
        knob_.turns = turnsPin_ > 0.001f ? turnsPin_.getValue() : 0.001f;
        redraw();
    }

    void onSetStartAngle() { redraw(); }

    // Any look pin draws the body and the cap anew.
    void onSetCosmetics()
    {
        knobColours(bodyColour_, capColour_, look_.body, look_.cap);
        look_.shine = gloss_;
        look_.concave = invertedCap_;
        look_.spot = capDot_;
        look_.shade = limit(shading_, 0.0f, 1.0f);
        look_.bevel = limit(bevel_, 0.0f, 1.0f);
        face_.drop();
        redraw();
    }

    MpGuiPin<float> valuePin_;
    MpGuiPin<float> minimumPin_;
    MpGuiPin<float> maximumPin_;
    MpGuiPin<float> turnsPin_;
    MpGuiPin<float> startAngle_;
    MpGuiPin<bool> unlimited_;
    StringGuiPin bodyColour_;
    StringGuiPin capColour_;
    MpGuiPin<bool> gloss_;
    MpGuiPin<bool> invertedCap_;
    MpGuiPin<bool> capDot_;
    MpGuiPin<float> shading_;
    MpGuiPin<float> bevel_;
    MpGuiPin<bool> pointerDown_;

    KnobFace face_;
    KnobLook look_; // white until the look pins arrive
    TurnedValue knob_;
    float lastAngle_ = 0.0f; // of the previous pointer event
    bool initialised_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_VecJogShuttle2", &gmpi::Register<QW_VecJogShuttle2>::withId);
} // namespace
