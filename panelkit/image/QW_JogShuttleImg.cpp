// Endless rotary knob from a skin image strip: turning it about its centre
// changes a value between a minimum and a maximum, the whole range taking a
// set number of turns, and the frame shown follows the value's fraction of a
// turn, so the picture spins with the value. Each movement is also reported
// in turns.
#include "image_parts.h"

#include <cfloat>
#include <cmath>

class QW_JogShuttleImg : public qw::image::CentredImage
{
public:
    QW_JogShuttleImg()
    {
        initializeImagePins(2);
        initializePin(valuePin_, &QW_JogShuttleImg::onSetValue);
        initializePin(minimumPin_, &QW_JogShuttleImg::onSetMinMax);
        initializePin(maximumPin_, &QW_JogShuttleImg::onSetMinMax);
        initializePin(turnsPin_, &QW_JogShuttleImg::onSetTurns);
        initializePin(unlimitedPin_, &QW_JogShuttleImg::onSetUnlimited);
        initializeCentrePins();
        initializePin(frameCount_);
        initializePin(movement_);
        expectOwnEchoes();
    }

    float getAnimationPos() override { return jog_; }
    // Only the value turns the knob.
    void setAnimationPos(float) override {}
    std::wstring getHint() override { return pinHint; }
    int32_t getMouseResponse() override { return ImageMetadata::ROTARY; }

    // Takes a rotary knob strip of two frames or more; drops anything else.
    void onLoaded() override
    {
        const ImageMetadata* m = getMetadata();
        const int32_t frames = frameCount();
        if (!m || m->imageType != ImageMetadata::ANIMATED || m->orientation != ImageMetadata::ROTARY || frames < 2)
        {
            unload();
            return;
        }
        frameCount_ = frames;
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        ImageBase::OnRender(context);
        GmpiDrawing::Graphics g(context);
        drawCentreMarker(g);
        return gmpi::MP_OK;
    }

    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override
    {
        uint32_t pixel = 0;
        return pixelAt(point, pixel) && alphaReaches(pixel) ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!bitmapHitTestLocal(point))
            return gmpi::MP_UNHANDLED;
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON))
            return gmpi::MP_OK;
        lastAngle_ = angleOf(point);
        pinMouseDown = true;
        setCapture();
        return gmpi::MP_OK;
    }

    int32_t onPointerMove(int32_t, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!getCapture())
            return gmpi::MP_UNHANDLED;
        const double a = angleOf(point);
        const double d = qw::image::wrapHalfTurn(a - lastAngle_);
        lastAngle_ = a;
        if (!std::isfinite(d))
            return gmpi::MP_OK; // not a point: no movement
        const float dt = static_cast<float>(d * 0.15915494);
        double v = value_ + (static_cast<double>(maximum_) - minimum_) * dt / turns_;
        if (!unlimited_)
            v = v < minimum_ ? minimum_ : (v > maximum_ ? maximum_ : v);
        else if (!(std::fabs(v) <= FLT_MAX))
            return gmpi::MP_OK; // beyond what a float holds: the value stays
        const float next = static_cast<float>(v);
        if (next != value_)
        {
            value_ = next;
            valuePin_ = next;
            updateJog();
            // Every movement is sent, also one equal to the last.
            movement_ = 0.0f;
            movement_ = dt;
        }
        return gmpi::MP_OK;
    }

    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT) override
    {
        if (!getCapture())
            return gmpi::MP_UNHANDLED;
        releaseCapture();
        movement_ = 0.0f;
        pinMouseDown = false;
        return gmpi::MP_OK;
    }

private:
    // Angle of a point about the centre in radians, in [0, 2 pi]; grows
    // clockwise on screen.
    double angleOf(GmpiDrawing_API::MP1_POINT p) const
    {
        const GmpiDrawing::Point c = centre();
        return qw::image::angleAbout(p.x, p.y, c.x, c.y) + 3.14159265358979323846;
    }

    // A value from outside, within the limits unless unlimited (a value
    // above the maximum gives the maximum, any other below the minimum the
    // minimum); one that is not a number, or unlimited and not finite,
    // leaves the value as it is.
    void onSetValue()
    {
        float v = valuePin_;
        if (std::isnan(v) || (unlimited_ && std::isinf(v)))
            return;
        if (!unlimited_)
            v = v > maximum_ ? maximum_ : (v < minimum_ ? minimum_ : v);
        if (v == value_)
            return;
        value_ = v;
        updateJog();
    }

    // A limit that is not a finite number counts as 0.
    void onSetMinMax()
    {
        minimum_ = finiteOrZero(minimumPin_);
        maximum_ = finiteOrZero(maximumPin_);
        onSetValue();
    }

    // Turns of 0 or NaN act as 0.001, infinite ones as the largest float.
    void onSetTurns()
    {
        const float t = turnsPin_;
        turns_ = t == 0.0f || std::isnan(t) ? 0.001f : std::isinf(t) ? std::copysign(FLT_MAX, t) : t;
        updateJog();
    }

    void onSetUnlimited() { unlimited_ = unlimitedPin_; }

    // The fraction of a turn the value stands at, in [0, 1): 0 when the
    // limits are equal.
    void updateJog()
    {
        const double range = static_cast<double>(maximum_) - minimum_;
        double f = 0.0;
        if (range != 0.0)
        {
            const double x = (static_cast<double>(value_) - minimum_) * turns_ / range;
            f = x - std::trunc(x);
            if (f < 0.0)
                f += 1.0;
        }
        jog_ = static_cast<float>(f);
        if (!(jog_ < 1.0f))
            jog_ = 0.0f; // a whole turn but for rounding
        calcDrawAt();
    }

    static float finiteOrZero(float v) { return std::isfinite(v) ? v : 0.0f; }

    MpGuiPin<float> valuePin_;
    MpGuiPin<float> minimumPin_;
    MpGuiPin<float> maximumPin_;
    MpGuiPin<float> turnsPin_;
    MpGuiPin<bool> unlimitedPin_;
    MpGuiPin<int> frameCount_;
    MpGuiPin<float> movement_;

    float jog_ = 0.0f;
    float turns_ = 10.0f, value_ = 0.0f, minimum_ = 0.0f, maximum_ = 10.0f;
    bool unlimited_ = false;
    double lastAngle_ = 0.0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_JogShuttleImg", &gmpi::Register<QW_JogShuttleImg>::withId);
} // namespace
