// Two-dimensional joystick: one frame of a skin image, the handle, dragged
// inside the module over a vertical two-colour gradient, sets an X and a Y
// value between limits within [0, 1] (Y = 1 at the top).
#include "../controls/control_parts.h"
#include "ImageBase.h"
#include "fine_drag.h"

#include <cmath>

using qw::controls::Color;

class QW_JoystickImg : public ImageBase
{
public:
    QW_JoystickImg()
    {
        initializePin(animationPosition_, static_cast<void (ImageBase::*)()>(&ImageBase::calcDrawAt));
        initializePin(pinFilename, &ImageBase::onSetFilename);
        initializePin(pinHint);
        initializePin(pinMenuItems);
        initializePin(pinMenuSelection);
        initializePin(pointerDown_);
        initializePin(pointerDown2_);
        initializePin(posX_, &QW_JoystickImg::onSetPosX);
        initializePin(posY_, &QW_JoystickImg::onSetPosY);
        initializePin(jump_);
        initializePin(grabAnywhere_);
        initializePin(relative_);
        initializePin(subPixel_);
        initializePin(xMinPin_, &QW_JoystickImg::onSetXMin);
        initializePin(xMaxPin_, &QW_JoystickImg::onSetXMax);
        initializePin(yMinPin_, &QW_JoystickImg::onSetYMin);
        initializePin(yMaxPin_, &QW_JoystickImg::onSetYMax);
        initializePin(topColour_, &QW_JoystickImg::onSetColors);
        initializePin(bottomColour_, &QW_JoystickImg::onSetColors);
        initializePin(fineFactor_);
        initializePin(frameCount_);
        initializePin(pinMouseDown);
        initializePin(pinMouseDown2);
        expectOwnEchoes();
    }

    float getAnimationPos() override { return animationPosition_; }
    void setAnimationPos(float v) override { animationPosition_ = v; }
    std::wstring getHint() override { return pinHint; }

    void onLoaded() override
    {
        const ImageMetadata& m = *getMetadata();
        // A frame of no height is one frame of the whole image.
        const int64_t frameHeight = m.frameHeight > 0 ? m.frameHeight : int64_t{m.imageHeight};
        frameCount_ = frameHeight > 0 ? static_cast<int32_t>(m.imageHeight / frameHeight) : 1;
        handleWidth_ = static_cast<float>(m.frameWidth) + m.paddingLeft + m.paddingRight;
        handleHeight_ = static_cast<float>(frameHeight) + m.paddingTop + m.paddingBottom;
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const GmpiDrawing::Rect r = getRect();
        const float h = r.getHeight();
        if (top_.a > 0.0f || bottom_.a > 0.0f)
        {
            auto brush = g.CreateLinearGradientBrush(top_, bottom_, GmpiDrawing::Point(0.0f, 0.0f),
                                                     GmpiDrawing::Point(0.0f, h - 1.0f));
            g.FillRectangle(r, brush);
        }
        if (!loaded())
            return gmpi::MP_OK;
        handleX_ = x_ * spanX();
        handleY_ = (1.0f - y_) * spanY();
        const float px = subPixel_ ? handleX_ : std::trunc(handleX_);
        const float py = subPixel_ ? handleY_ : std::trunc(handleY_);
        const ImageMetadata& m = *getMetadata();
        const float fw = static_cast<float>(m.frameWidth), fh = static_cast<float>(m.frameHeight);
        const float t = static_cast<float>(getDrawAt());
        g.PushAxisAlignedClip(r);
        g.DrawBitmap(getBitmap(), GmpiDrawing::Rect(px, py, px + fw, py + fh), GmpiDrawing::Rect(0.0f, t, fw, t + fh),
                     1.0f, GmpiDrawing::BitmapInterpolationMode::Linear);
        g.PopAxisAlignedClip();
        return gmpi::MP_OK;
    }

    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override
    {
        if (!loaded())
            return gmpi::MP_UNHANDLED;
        return onHandle(point) || grabAnywhere_ || jump_ ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON) || !loaded() ||
            (!onHandle(point) && !grabAnywhere_ && !jump_))
            return gmpi::MP_UNHANDLED;
        setCapture();
        pointerDown2_ = true;
        pointerDown_ = true;
        if (jump_)
        {
            // The handle's centre goes to the pointer.
            reference_ = normalised(point);
            dragX_ = set(posX_, x_, ratio(point.x - 0.5f * handleWidth_, spanX()), xMin_, xMax_);
            dragY_ = set(posY_, y_, fromTop(point.y - 0.5f * handleHeight_, spanY()), yMin_, yMax_);
            reDraw();
        }
        else
        {
            reference_ = normalised(point);
            dragX_ = x_;
            dragY_ = y_;
        }
        return gmpi::MP_OK;
    }

    int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!getCapture())
            return gmpi::MP_UNHANDLED;
        const float fine = std::isfinite(fineFactor_.getValue()) ? fineFactor_.getValue() : 1.0f;
        const float m = (flags & gmpi_gui::FINE_DRAG_MODIFIER) ? fine : 1.0f;
        const GmpiDrawing::Point p = normalised(point);
        const float dx = (p.x - reference_.x) * m, dy = (p.y - reference_.y) * m;
        float nx, ny;
        if (relative_)
        {
            nx = x_ + dx;
            ny = y_ + dy;
        }
        else
        {
            // Past a limit the handle waits until the pointer has come back.
            dragX_ += dx;
            dragY_ += dy;
            nx = dragX_;
            ny = dragY_;
        }
        set(posX_, x_, nx, xMin_, xMax_);
        set(posY_, y_, ny, yMin_, yMax_);
        reference_ = p;
        reDraw();
        return gmpi::MP_OK;
    }

    int32_t onPointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        pointerDown2_ = false;
        pointerDown_ = false;
        return ImageBase::onPointerUp(flags, point);
    }

private:
    // v within [lo, hi]; NaN gives lo.
    static float clamp(float v, float lo, float hi)
    {
        if (v < lo || std::isnan(v))
            return lo;
        return v > hi ? hi : v;
    }
    // a / span; a span of 0 (or one that is not a finite number) gives 0.
    static float ratio(float a, float span)
    {
        const float r = span != 0.0f && std::isfinite(span) ? a / span : 0.0f;
        return std::isfinite(r) ? r : 0.0f;
    }

    // 1 - a / span, the upward coordinate; a span of 0 gives 0 as well.
    static float fromTop(float a, float span)
    {
        return span != 0.0f && std::isfinite(span) ? 1.0f - ratio(a, span) : 0.0f;
    }

    bool loaded() const { return getMetadata() && !getBitmap().isNull(); }
    float spanX() const { return getRect().getWidth() - handleWidth_; }
    float spanY() const { return getRect().getHeight() - handleHeight_; }
    GmpiDrawing::Point normalised(GmpiDrawing_API::MP1_POINT p) const
    {
        return GmpiDrawing::Point(ratio(p.x, spanX()), fromTop(p.y, spanY()));
    }

    // The clamped value written to its pin and taken at once (the host's
    // echo of it then changes nothing); returns it.
    float set(MpGuiPin<float>& pin, float& value, float v, float lo, float hi)
    {
        value = clamp(v, lo, hi);
        pin = value;
        return value;
    }

    bool onHandle(GmpiDrawing_API::MP1_POINT p)
    {
        if (!loaded())
            return false;
        const ImageMetadata& m = *getMetadata();
        return bitmapHitTestLocal({p.x - handleX_ + m.paddingLeft, p.y - handleY_ + m.paddingTop});
    }

    void onSetPos(const MpGuiPin<float>& pin, float& value, float lo, float hi)
    {
        const float v = clamp(pin, lo, hi);
        if (v != value)
        {
            value = v;
            reDraw();
        }
    }
    void onSetPosX() { onSetPos(posX_, x_, xMin_, xMax_); }
    void onSetPosY() { onSetPos(posY_, y_, yMin_, yMax_); }

    // Limits within [0, 1]; NaN leaves the limit as it was.
    static void setLimit(float& limit, float v)
    {
        if (!std::isnan(v))
            limit = clamp(v, 0.0f, 1.0f);
    }
    void onSetXMin() { setLimit(xMin_, xMinPin_); }
    void onSetXMax() { setLimit(xMax_, xMaxPin_); }
    void onSetYMin() { setLimit(yMin_, yMinPin_); }
    void onSetYMax() { setLimit(yMax_, yMaxPin_); }

    void onSetColors()
    {
        top_ = qw::controls::colorOf(topColour_, qw::controls::colorOf(0xFF000000u));
        bottom_ = qw::controls::colorOf(bottomColour_, qw::controls::colorOf(0xFF606060u));
        reDraw();
    }

    MpGuiPin<float> animationPosition_;
    MpGuiPin<bool> pointerDown_;
    MpGuiPin<bool> pointerDown2_;
    MpGuiPin<float> posX_;
    MpGuiPin<float> posY_;
    MpGuiPin<bool> jump_;
    MpGuiPin<bool> grabAnywhere_;
    MpGuiPin<bool> relative_;
    MpGuiPin<bool> subPixel_;
    MpGuiPin<float> xMinPin_;
    MpGuiPin<float> xMaxPin_;
    MpGuiPin<float> yMinPin_;
    MpGuiPin<float> yMaxPin_;
    StringGuiPin topColour_;
    StringGuiPin bottomColour_;
    MpGuiPin<float> fineFactor_;
    MpGuiPin<int> frameCount_;

    float handleWidth_ = 0.0f, handleHeight_ = 0.0f;
    float handleX_ = 0.0f, handleY_ = 0.0f;    // drawing position of the last render, unrounded
    GmpiDrawing::Point reference_{0.0f, 0.0f}; // last pointer position, normalised
    float dragX_ = 0.0f, dragY_ = 0.0f;
    float x_ = 0.0f, y_ = 0.0f;
    float xMin_ = 0.0f, yMin_ = 0.0f, xMax_ = 1.0f, yMax_ = 1.0f;
    Color top_ = qw::controls::colorOf(0xFF000000u);
    Color bottom_ = qw::controls::colorOf(0xFF606060u);
};

namespace
{
auto r1 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_JoystickImg", &gmpi::Register<QW_JoystickImg>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_JoystickImgC", &gmpi::Register<QW_JoystickImg>::withId);
auto r3 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_JoystickImgCC", &gmpi::Register<QW_JoystickImg>::withId);
} // namespace
