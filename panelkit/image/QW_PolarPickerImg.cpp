// Two-dimensional picker in polar coordinates: a handle from a skin image
// over an optional elliptical background in a radial gradient; dragging the
// handle sets an angle (turns, counter-clockwise from the right) and a
// distance from the centre (0 to 1). The handle's frame follows its own
// position pin, so the handle can change its look too.
#include "../controls/control_parts.h"
#include "ImageBase.h"

#include <cmath>

using GmpiDrawing::Color;

class QW_PolarPickerImg : public ImageBase
{
public:
    QW_PolarPickerImg()
    {
        initializePin(position_, static_cast<void (ImageBase::*)()>(&ImageBase::calcDrawAt));
        initializeImagePins(1);
        initializePin(frameCount_);
        initializePin(anglePin_, &QW_PolarPickerImg::onSetAngle);
        initializePin(distancePin_, &QW_PolarPickerImg::onSetDist);
        initializePin(centreColour_, &QW_PolarPickerImg::onSetColors);
        initializePin(rimColour_, &QW_PolarPickerImg::onSetColors);
        initializePin(inset_, &QW_PolarPickerImg::onSetBGShrink);
        initializePin(offsetXPin_, &QW_PolarPickerImg::onSetBGXOff);
        initializePin(offsetYPin_, &QW_PolarPickerImg::onSetBGYOff);
        expectOwnEchoes();
    }

    float getAnimationPos() override { return position_; }
    void setAnimationPos(float position) override { position_ = position; }
    std::wstring getHint() override { return pinHint; }

    void onLoaded() override
    {
        frameCount_ = frameCount();
        handle_ = paddedFrameSize();
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const GmpiDrawing::Rect r = getRect();
        const float w = r.getWidth(), h = r.getHeight();
        const float rx = 0.5f * w - insetPixels_, ry = 0.5f * h - insetPixels_;
        if ((centre_.a > 0.0f || rim_.a > 0.0f) && rx > 0.0f && ry > 0.0f)
        {
            const GmpiDrawing::Point c(0.5f * w + offsetX_, 0.5f * h + offsetY_);
            const GmpiDrawing::GradientStop stops[2] = {{0.0f, centre_}, {1.0f, rim_}};
            GmpiDrawing::Brush brush =
                g.CreateRadialGradientBrush(g.CreateGradientStopCollection(stops, 2), c, {0.0f, 0.0f}, rx, ry);
            if (brush.isNull())
                brush = g.CreateSolidColorBrush(centre_);
            g.FillEllipse(GmpiDrawing::Ellipse(c, rx, ry), brush);
        }
        if (getBitmap().isNull() || !getMetadata())
            return gmpi::MP_OK;
        const ImageMetadata& m = *getMetadata();
        const double theta = 6.283185307179586 * angle_;
        const float x = static_cast<float>((w - handle_.width) * (1.0 + distance_ * std::cos(theta)) / 2.0);
        const float y = static_cast<float>((h - handle_.height) * (1.0 - distance_ * std::sin(theta)) / 2.0);
        const float fw = static_cast<float>(m.frameWidth), fh = static_cast<float>(m.frameHeight);
        const float d = static_cast<float>(getDrawAt());
        g.DrawBitmap(getBitmap(), GmpiDrawing::Rect(x, y, x + fw, y + fh), GmpiDrawing::Rect(0.0f, d, fw, d + fh), 1.0f,
                     GmpiDrawing::BitmapInterpolationMode::Linear);
        return gmpi::MP_OK;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON) || getBitmap().isNull())
            return gmpi::MP_OK;
        setCapture();
        pinMouseDown = true;
        pick(point);
        return gmpi::MP_OK;
    }

    int32_t onPointerMove(int32_t, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!getCapture())
            return gmpi::MP_UNHANDLED;
        pick(point);
        return gmpi::MP_OK;
    }

    int32_t onPointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        pinMouseDown = false;
        return ImageBase::onPointerUp(flags, point);
    }

private:
    // Where the handle's centre can go, as a fraction of the travel on one
    // axis; the middle when the handle leaves no room to travel.
    static double travel(float p, float handle, float size)
    {
        return handle < size ? (p - 0.5 * handle) / (static_cast<double>(size) - handle) : 0.5;
    }

    // The angle and distance of a point, sent, and shown at once (the
    // host's echo of them then changes nothing). A point that is not a
    // number picks nothing.
    void pick(GmpiDrawing_API::MP1_POINT p)
    {
        const GmpiDrawing::Rect r = getRect();
        const double X = 2.0 * travel(p.x, handle_.width, r.getWidth()) - 1.0;
        const double Y = 2.0 * (1.0 - travel(p.y, handle_.height, r.getHeight())) - 1.0; // upwards
        if (!std::isfinite(X) || !std::isfinite(Y))
            return;
        const double distance = std::min(1.0, std::hypot(X, Y));
        float angle = 0.0f;
        if (distance > 0.0)
        {
            double a = std::atan2(Y, X);
            if (Y < 0.0)
                a += 6.283185307179586;
            angle = static_cast<float>(a * 0.15915494309189535);
            if (!(angle < 1.0f))
                angle = 0.0f; // a whole turn but for rounding
        }
        angle_ = angle;
        distance_ = static_cast<float>(distance);
        anglePin_ = angle_;
        distancePin_ = distance_;
        reDraw();
    }

    static float unit(float v) { return qw::controls::limit(v, 0.0f, 1.0f); }

    void onSetAngle()
    {
        angle_ = unit(anglePin_);
        reDraw();
    }
    void onSetDist()
    {
        distance_ = unit(distancePin_);
        reDraw();
    }

    void onSetColors()
    {
        centre_ = qw::controls::colorOf(centreColour_, qw::controls::colorOf(kCentreDefault));
        rim_ = qw::controls::colorOf(rimColour_, qw::controls::colorOf(kRimDefault));
        reDraw();
    }

    // Not below 0 (NaN as 0).
    void onSetBGShrink()
    {
        insetPixels_ = inset_ > 0.0f ? inset_.getValue() : 0.0f;
        reDraw();
    }
    void onSetBGXOff()
    {
        offsetX_ = static_cast<float>(offsetXPin_.getValue());
        reDraw();
    }
    void onSetBGYOff()
    {
        offsetY_ = static_cast<float>(offsetYPin_.getValue());
        reDraw();
    }

    static constexpr uint32_t kCentreDefault = 0xFF002040u; // sRGB (0, 32, 64)
    static constexpr uint32_t kRimDefault = 0xFF4080C0u;    // sRGB (64, 128, 192)

    MpGuiPin<float> position_;
    MpGuiPin<int> frameCount_;
    MpGuiPin<float> anglePin_;
    MpGuiPin<float> distancePin_;
    StringGuiPin centreColour_;
    StringGuiPin rimColour_;
    MpGuiPin<float> inset_;
    MpGuiPin<int> offsetXPin_;
    MpGuiPin<int> offsetYPin_;

    GmpiDrawing_API::MP1_SIZE handle_{0.0f, 0.0f};
    float angle_ = 0.0f, distance_ = 0.0f;
    float insetPixels_ = 100.0f;
    float offsetX_ = 0.0f, offsetY_ = 0.0f;
    Color centre_ = qw::controls::colorOf(kCentreDefault);
    Color rim_ = qw::controls::colorOf(kRimDefault);
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_PolarPickerImg", &gmpi::Register<QW_PolarPickerImg>::withId);
} // namespace
