// The general skinned control: one frame of a skin image chosen by a
// position between 0 and 1, which the user changes by dragging, turning,
// clicking or stepping as the image's metadata asks. The same module is a
// knob, slider, button, bar graph or plain picture.
#include "fine_drag.h"
#include "image_parts.h"
#include "skin_text.h"

#include <cmath>

class QW_Image : public qw::image::CentredImage
{
public:
    QW_Image()
    {
        initializePin(position_, static_cast<void (ImageBase::*)()>(&ImageBase::calcDrawAt));
        initializeImagePins(2);
        initializeCentrePins();
        initializePin(disabledOpacity_);
        initializePin(enabled_, &QW_Image::onSetEnabled);
        initializePin(frameCount_);
        initializePin(hitPulse_);
        initializePin(hitX_);
        initializePin(hitY_);
        expectOwnEchoes();
    }

    float getAnimationPos() override { return position_; }
    void setAnimationPos(float position) override { position_ = position; }
    std::wstring getHint() override { return pinHint; }
    int32_t getMouseResponse() override { return getMetadata() ? getMetadata()->orientation : 0; }

    void onLoaded() override
    {
        if (getMetadata())
            frameCount_ = frameCount();
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        if (loaded())
            renderBitmap(g, {0, 0}, enabled_ ? 1.0f : qw::image::opacity(disabledOpacity_));
        drawCentreMarker(g);
        return gmpi::MP_OK;
    }

    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override
    {
        if (!loaded() || (!enabled_ && disabledOpacity_ == 0.0f))
            return gmpi::MP_UNHANDLED;
        if (getMetadata()->imageType == ImageMetadata::BARGRAPH)
            return gmpi::MP_OK;
        uint32_t pixel = 0;
        if (!pixelAt(point, pixel))
            return gmpi::MP_UNHANDLED;
        hitX_ = point.x;
        hitY_ = point.y;
        if (!alphaReaches(pixel))
            return gmpi::MP_UNHANDLED;
        hitPulse_ = true;
        hitPulse_ = false;
        return gmpi::MP_OK;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!enabled_ || !loaded() || hitTest(point) != gmpi::MP_OK)
            return gmpi::MP_UNHANDLED;
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON))
            return gmpi::MP_OK;
        last_ = point;
        switch (getMouseResponse())
        {
        case ImageMetadata::MOMENTARY:
            moveTo(getAnimationPos() == 0.0f ? 1.0f : 0.0f);
            break;
        case ImageMetadata::STEP:
            step();
            break;
        case ImageMetadata::UNSET:
            break;
        default:
            vote_ = 0.0f;
            break;
        }
        pinMouseDown = true;
        setCapture();
        return gmpi::MP_OK;
    }

    int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!getCapture())
            return gmpi::MP_UNHANDLED;
        const float dx = point.x - last_.x, dy = point.y - last_.y;
        const bool fine = (flags & gmpi_gui::FINE_DRAG_MODIFIER) != 0;
        const float k = fine ? 0.001f : 0.005f;
        float change = 0.0f;
        switch (getMouseResponse())
        {
        case ImageMetadata::MOMENTARY:
        case ImageMetadata::STEP:
            break;
        case ImageMetadata::ROTARY:
            change = rotaryChange(point, dy, flags);
            break;
        case ImageMetadata::VERTICAL:
            change = -k * dy;
            break;
        default:
            change = k * dx;
            break;
        }
        // A point that is not a number moves nothing.
        if (!std::isfinite(change))
            change = 0.0f;
        moveTo(getAnimationPos() + change);
        last_ = point;
        return gmpi::MP_OK;
    }

    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT) override
    {
        if (!getCapture())
            return gmpi::MP_UNHANDLED;
        releaseCapture();
        pinMouseDown = false;
        if (getMouseResponse() == ImageMetadata::MOMENTARY)
            moveTo(0.0f);
        return gmpi::MP_OK;
    }

private:
    bool loaded() const { return getMetadata() && !getBitmap().isNull(); }

    // The position, held within [0, 1] (NaN as 0), sent and shown.
    void moveTo(float p)
    {
        setAnimationPos(p >= 0.0f ? (p <= 1.0f ? p : 1.0f) : 0.0f);
        calcDrawAt();
    }

    // One click: on to the next frame, after the last back to the first,
    // past positions that show the frame already shown. An image of one
    // frame does not step.
    void step()
    {
        const int32_t n = getLastFrame();
        if (n <= 0)
            return;
        const int32_t before = getDrawAt();
        for (int32_t k = 0; k <= n; ++k)
        {
            const int32_t i = skin::toInt32(static_cast<double>(getAnimationPos()) * n + 0.5);
            const int32_t next = i >= n ? 0 : i + 1;
            moveTo(static_cast<float>(next) / static_cast<float>(n));
            if (getDrawAt() != before)
                break;
        }
    }

    // Rotary drag: turning about the centre, or moving up and down, as a vote
    // over the last moves decides. Turning counts more the farther the
    // pointer is from the centre, moving up and down more the closer it is
    // to the vertical through the centre.
    float rotaryChange(GmpiDrawing_API::MP1_POINT point, float dy, int32_t flags)
    {
        const GmpiDrawing::Point c = centre();
        const double ux = static_cast<double>(point.x) - c.x, uy = static_cast<double>(point.y) - c.y;
        const double dA = qw::image::wrapHalfTurn(qw::image::angleAbout(point.x, point.y, c.x, c.y) -
                                                  qw::image::angleAbout(last_.x, last_.y, c.x, c.y));
        const double w0 = 1.0 - std::min(skin::toInt32(std::fabs(ux)), 10) / 10.0;
        const GmpiDrawing::Rect r = getRect();
        const double size = static_cast<double>(r.getWidth()) + r.getHeight();
        const double reach = size > 0.0 ? 2.0 * (std::fabs(ux) + std::fabs(uy)) / size : 1.0;
        const double w1 = 20.0 * std::min(1.0, reach);
        const bool turning = std::fabs(dA * w1) > std::fabs(dy * w0);
        vote_ = 0.9f * vote_ + (turning ? 0.1f : -0.1f);
        const double change = vote_ > 0.0f ? dA * w1 : -dy;
        return static_cast<float>(change * gmpi_gui::fineDragFactor(flags) * 0.01);
    }

    void onSetEnabled() { reDraw(); }

    MpGuiPin<float> position_;
    MpGuiPin<float> disabledOpacity_;
    MpGuiPin<bool> enabled_;
    MpGuiPin<int> frameCount_;
    MpGuiPin<bool> hitPulse_;
    MpGuiPin<float> hitX_;
    MpGuiPin<float> hitY_;

    GmpiDrawing_API::MP1_POINT last_{0.0f, 0.0f};
    float vote_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Image", &gmpi::Register<QW_Image>::withId);
} // namespace
