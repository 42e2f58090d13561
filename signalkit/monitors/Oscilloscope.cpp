// Oscilloscope: the processing half publishes frames of points; the display
// paints each point as one pixel into a bitmap whose older traces fade.
#include "scope.h"

#include <algorithm>

using namespace qw::monitors;

// 0 X, 1 Y, 2 mode, 3 sweep Hz, 4 clear, 5 points.
class QW_Oscilloscope final : public ScopeDsp<true>
{};

// 0 blob points; 1-5 colour texts; 6 X range; 7 Y range; 8 persistence.
class QW_OscilloscopeGUI final : public gmpi_gui::MpGuiGfxBase
{
public:
    QW_OscilloscopeGUI() : look_(0xFF00FFC0u)
    {
        initializePin(points_, &QW_OscilloscopeGUI::onBlob);
        for (auto& pin : colourPins_)
            initializePin(pin, &QW_OscilloscopeGUI::onSetColors);
        initializePin(xRange_, &QW_OscilloscopeGUI::onSetXRng);
        initializePin(yRange_, &QW_OscilloscopeGUI::onSetYRng);
        initializePin(persistence_);
        const auto& c = look_.colour(ScopeLook::Trace);
        trace_ = {byteOf(c.r), byteOf(c.g), byteOf(c.b), c.a};
        traceDefault_ = trace_;
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const int w = wholePixels(rect_.left, rect_.right), h = wholePixels(rect_.top, rect_.bottom);
        if (w < 1 || h < 1)
            return gmpi::MP_OK;
        if (look_.resize(w, h))
            bitmap_.setNull();
        look_.drawBackground(g);
        look_.drawGrid(g);
        if (bitmap_.isNull())
            bitmap_ = drawingFactory(getGuiHost()).CreateImage(w, h);
        if (bitmap_.isNull())
            return gmpi::MP_OK;
        if (newData_)
        {
            newData_ = false;
            paint(w, h);
        }
        const Rect all(0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h));
        g.DrawBitmap(bitmap_, all, all, 1.0f, GmpiDrawing::BitmapInterpolationMode::NearestNeighbor);
        return gmpi::MP_OK;
    }

private:
    static uint8_t byteOf(float channel) { return static_cast<uint8_t>(std::clamp(channel, 0.0f, 1.0f) * 255.0f); }

    void onBlob()
    {
        if (points_.getValue().getSize() < static_cast<int>(sizeof(MsgPt)))
        {
            bitmap_.setNull();
            newData_ = false;
        }
        else
            newData_ = true;
        invalidateRect();
    }

    void onSetColors()
    {
        std::wstring texts[ScopeLook::ColourCount];
        for (int i = 0; i < ScopeLook::ColourCount; ++i)
            texts[i] = colourPins_[i].getValue();
        look_.readColours(texts);
        trace_ = pixelColourOf(texts[ScopeLook::Trace], traceDefault_);
        invalidateRect();
    }

    void onSetXRng()
    {
        if (look_.setXRange(xRange_))
            bitmap_.setNull();
        invalidateRect();
    }
    void onSetYRng()
    {
        if (look_.setYRange(yRange_))
            bitmap_.setNull();
        invalidateRect();
    }

    // Fades what the bitmap holds, then sets the frame's pixels, newest first
    // and most opaque.
    void paint(int w, int h)
    {
        auto pixels = bitmap_.lockPixels(GmpiDrawing::BitmapLockFlags::ReadWrite);
        uint8_t* base = pixels.getAddress();
        const int stride = pixels.getBytesPerRow();
        if (!base || stride < 4 * w)
            return;
        const int format = pixels.getPixelFormat();
        const MpBlob& blob = points_.getValue();
        const size_t n = static_cast<size_t>(blob.getSize()) / sizeof(MsgPt);
        const float p = persistence_;
        const float f = 1.0f / (std::clamp(p == p ? p : 0.0f, 0.0f, 1.0e6f) * 10.0f + 1.0f);
        const double fade = static_cast<double>(n) * f * 255.0;
        const uint8_t d = static_cast<uint8_t>(fade < 255.0 ? fade : 255.0);
        for (int y = 0; y < h; ++y)
        {
            uint8_t* row = base + static_cast<size_t>(y) * stride;
            for (int i = 0; i < 4 * w; ++i)
                row[i] = row[i] > d ? static_cast<uint8_t>(row[i] - d) : 0;
        }
        const float sx = 10.0f / look_.xRange(), sy = -10.0f / look_.yRange();
        const float hw = 0.5f * static_cast<float>(w - 1), hh = 0.5f * static_cast<float>(h - 1);
        const float right = static_cast<float>(w), bottom = static_cast<float>(h);
        float a = trace_.a;
        for (size_t i = n; i-- > 0;)
        {
            MsgPt pt;
            std::memcpy(&pt, blob.getData() + i * sizeof(MsgPt), sizeof pt);
            const float fx = (sx * pt.x + 1.0f) * hw, fy = (sy * pt.y + 1.0f) * hh;
            // Only points whose whole-pixel position lies inside (NaN fails too).
            if (fx > -1.0f && fx < right && fy > -1.0f && fy < bottom)
                putPixel(base + static_cast<size_t>(static_cast<int>(fy)) * stride + 4 * static_cast<int>(fx), format,
                         trace_, a);
            a = std::max(0.0f, a - f);
        }
    }

    MpGuiPin<MpBlob> points_;
    StringGuiPin colourPins_[ScopeLook::ColourCount];
    MpGuiPin<float> xRange_;
    MpGuiPin<float> yRange_;
    MpGuiPin<float> persistence_;

    ScopeLook look_;
    PixelColour trace_, traceDefault_;
    GmpiDrawing::Bitmap bitmap_;
    bool newData_ = false;
};

namespace
{
auto r0 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Oscilloscope", &gmpi::Register<QW_Oscilloscope>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Oscilloscope", &gmpi::Register<QW_OscilloscopeGUI>::withId);
} // namespace
