// Hover box: an invisible area that reports where the pointer is while it
// passes over it (in pixels, or as fractions of the box), with a pulse at
// every report, and its own size in whole pixels. It never takes a hit, so
// clicks reach the controls beneath it.
#include "mp_sdk_gui2.h"
#include "skin_text.h"

#include <cmath>

class QW_HoverBox : public gmpi_gui::MpGuiGfxBase
{
public:
    QW_HoverBox()
    {
        initializePin(normalised_);
        initializePin(x_);
        initializePin(y_);
        initializePin(pulse_);
        initializePin(width_);
        initializePin(height_);
    }

    // Reports the size; the box keeps no rectangle and draws nothing.
    int32_t arrange(GmpiDrawing_API::MP1_RECT r) override
    {
        const float w = r.right - r.left, h = r.bottom - r.top;
        width_ = skin::toInt32(w);
        height_ = skin::toInt32(h);
        scaleX_ = scaleOf(w);
        scaleY_ = scaleOf(h);
        return gmpi::MP_OK;
    }

    // The host asks whether the pointer hits the box: it writes where the
    // pointer is and pulses, and answers no.
    int32_t hitTest(GmpiDrawing_API::MP1_POINT p) override
    {
        float x = p.x, y = p.y;
        if (normalised_)
        {
            x *= scaleX_;
            y *= scaleY_;
        }
        // A point that is not a number (or a fraction of one) is no place.
        if (std::isfinite(x))
            x_ = x;
        if (std::isfinite(y))
            y_ = y;
        pulse_ = true;
        pulse_ = false;
        return gmpi::MP_UNHANDLED;
    }

private:
    // From 0 at the first pixel to 1 at the last; a box of one pixel or less
    // (or of no size a number gives) has only 0.
    static float scaleOf(float length)
    {
        return length > 1.0f && std::isfinite(length) ? 1.0f / (length - 1.0f) : 0.0f;
    }

    MpGuiPin<bool> normalised_;
    MpGuiPin<float> x_;
    MpGuiPin<float> y_;
    MpGuiPin<bool> pulse_;
    MpGuiPin<int32_t> width_;
    MpGuiPin<int32_t> height_;

    float scaleX_ = 0.0f, scaleY_ = 0.0f; // none before the first arrange
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_HoverBox", &gmpi::Register<QW_HoverBox>::withId);
} // namespace
