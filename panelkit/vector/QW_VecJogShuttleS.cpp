// Endless jog wheel drawn with vectors: turning the knob emits a set number of
// trigger pulses per turn, on one pin clockwise and on another
// counter-clockwise; pulses that arrive on those pins from outside turn the
// drawn knob one step each.
#include "knob_face.h"
#include "qw_fm.h"

#include <algorithm>
#include <cmath>

using namespace qw::vector;

class QW_VecJogShuttleS : public KnobBase
{
public:
    // Pulses per turn above this count as this many: a move never writes
    // more than half of them.
    static constexpr int32_t kMaxSteps = 1000;

    QW_VecJogShuttleS()
    {
        initializePin(steps_);
        initializePin(pulseCW_, &QW_VecJogShuttleS::onSetPulseCW);
        initializePin(pulseCCW_, &QW_VecJogShuttleS::onSetPulseCCW);
        initializePin(pointerDown_);
        initializePin(initialAngle_);
        initializePin(bodyColour_, &QW_VecJogShuttleS::onSetCosmetics);
        initializePin(capColour_, &QW_VecJogShuttleS::onSetCosmetics);
        initializePin(shine_, &QW_VecJogShuttleS::onSetCosmetics);
        initializePin(concave_, &QW_VecJogShuttleS::onSetCosmetics);
        initializePin(spot_, &QW_VecJogShuttleS::onSetCosmetics);
        initializePin(shade_, &QW_VecJogShuttleS::onSetCosmetics);
        initializePin(bevel_, &QW_VecJogShuttleS::onSetCosmetics);
        initializePin(hint_);
        initializePin(menuItems_);
        initializePin(menuChoice_);
        expectOwnEchoes();
    }

    int32_t initialize() override
    {
        initialised_ = true;
        position_ = frac(initialAngle_);
        invalidateRect();
        return gmpi::MP_OK;
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const GmpiDrawing::Rect r = getRect();
        KnobLook look;
        look.body = body_;
        look.cap = cap_;
        look.shine = shine_;
        look.concave = concave_;
        look.spot = spot_;
        look.shade = qw::controls::limit(shade_, 0.0f, 1.0f);
        look.bevel = qw::controls::limit(bevel_, 0.0f, 1.0f);
        face_.draw(g, r.getWidth(), r.getHeight(), look, qw::fm::sinTurns(position_), qw::fm::cosTurns(position_));
        return gmpi::MP_OK;
    }

    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override
    {
        const GmpiDrawing::Rect r = getRect();
        return face_.hit(point.x, point.y, r.getWidth(), r.getHeight()) ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON))
            return gmpi::MP_UNHANDLED;
        position_ = angleOf(point);
        setCapture();
        pointerDown_ = true;
        return gmpi::MP_OK;
    }

    int32_t onPointerMove(int32_t, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!getCapture())
            return gmpi::MP_OK;
        const float a = angleOf(point);
        float delta = a - position_;
        if (delta == 0.0f)
            return 1;
        delta = wrapTurns(delta);
        const float n = static_cast<float>(steps());
        const auto pulses =
            static_cast<int32_t>(std::fabs(std::floor(n * (position_ + delta)) - std::floor(n * position_)));
        MpGuiPin<bool>& target = delta >= 0.0f ? pulseCW_ : pulseCCW_;
        // The host may hand each pulse straight back: that must not turn the
        // knob a second time.
        echoGuard_ = true;
        for (int32_t i = 0; i < pulses; ++i)
        {
            target = true;
            target = false;
        }
        echoGuard_ = false;
        position_ = a;
        invalidateRect();
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
    // x - floor(x) in [0, 1); not a finite number gives 0.
    static float frac(float x)
    {
        if (!std::isfinite(x))
            return 0.0f;
        const float f = x - std::floor(x);
        return f < 1.0f ? f : 0.0f;
    }

    int32_t steps() const { return std::clamp<int32_t>(steps_, 1, kMaxSteps); }

    void step(const MpGuiPin<bool>& pin, float direction)
    {
        if (echoGuard_ || !pin.getValue())
            return;
        position_ = frac(position_ + direction / static_cast<float>(steps()));
        if (initialised_)
            invalidateRect();
    }
    void onSetPulseCW() { step(pulseCW_, 1.0f); }
    void onSetPulseCCW() { step(pulseCCW_, -1.0f); }

    void onSetCosmetics()
    {
        knobColours(bodyColour_, capColour_, body_, cap_);
        face_.drop();
        if (initialised_)
            invalidateRect();
    }

    MpGuiPin<int> steps_;
    MpGuiPin<bool> pulseCW_;
    MpGuiPin<bool> pulseCCW_;
    MpGuiPin<bool> pointerDown_;
    MpGuiPin<float> initialAngle_;
    StringGuiPin bodyColour_;
    StringGuiPin capColour_;
    MpGuiPin<bool> shine_;
    MpGuiPin<bool> concave_;
    MpGuiPin<bool> spot_;
    MpGuiPin<float> shade_;
    MpGuiPin<float> bevel_;

    KnobFace face_;
    Color body_{1.0f, 1.0f, 1.0f, 1.0f};
    Color cap_{1.0f, 1.0f, 1.0f, 1.0f};
    float position_ = 0.0f; // the knob's angle in turns, in [0, 1)
    bool initialised_ = false;
    bool echoGuard_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_VecJogShuttleS", &gmpi::Register<QW_VecJogShuttleS>::withId);
} // namespace
