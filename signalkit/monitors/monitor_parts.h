// Parts shared by the monitor displays: colour pins, pixels written straight
// into a locked bitmap, the gradient background and the volt grid cached as
// off-screen bitmaps, and the point frames the oscilloscopes exchange.
#pragma once

#include "Drawing.h"
#include "mp_sdk_gui2.h"
#include "srgb.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace qw::monitors
{
using GmpiDrawing::Color;
using GmpiDrawing::Graphics_base;
using GmpiDrawing::Point;
using GmpiDrawing::Rect;

// One oscilloscope point as it travels in a frame: x, y in signal units.
struct MsgPt
{
    float x, y;
};

// Points per frame: 30 frames a second, at least one point whatever the rate.
inline int frameLength(float sampleRate)
{
    const float n = sampleRate / 30.0f;
    if (!(n >= 1.0f))
        return 1;
    return n < 1.0e6f ? static_cast<int>(n) : 1000000;
}

// AARRGGBB through the sRGB table.
inline Color colourOf(uint32_t argb)
{
    const GmpiDrawing_API::MP1_COLOR c = mp_sdk::colorFromArgb(argb);
    return Color(c.r, c.g, c.b, c.a);
}

// A colour pin's text through the sRGB table; an empty text gives the default.
inline Color colourOf(const std::wstring& text, uint32_t otherwise)
{
    GmpiDrawing_API::MP1_COLOR c = mp_sdk::colorFromArgb(otherwise);
    mp_sdk::colorFromText(text, c);
    return Color(c.r, c.g, c.b, c.a);
}

// A colour written straight into pixels: channel bytes as they are, alpha 0..1.
struct PixelColour
{
    uint8_t r = 0, g = 0, b = 0;
    float a = 0.0f;
};

// The colour pin's bytes without the sRGB table (each byte / 255); an empty
// text gives `otherwise`.
inline PixelColour pixelColourOf(const std::wstring& text, const PixelColour& otherwise)
{
    if (text.empty())
        return otherwise;
    const uint32_t v = static_cast<uint32_t>(std::wcstoul(text.c_str(), nullptr, 16));
    return {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v),
            static_cast<float>(v >> 24) / 255.0f};
}

// Writes colour c at opacity a (0..1, clamped; NaN as 0) into one 4-byte
// pixel: an alpha byte of a x 255 and the channels premultiplied as
// (channel x alpha) >> 8, in the order of the bitmap's pixel format (0 ARGB,
// 1 RGBA, 2 ABGR, anything else BGRA).
inline void putPixel(uint8_t* p, int format, const PixelColour& c, float a)
{
    const float k = a >= 0.0f ? (a <= 1.0f ? a : 1.0f) : 0.0f;
    const unsigned alpha = static_cast<unsigned>(k * 255.0f + 0.5f);
    const uint8_t A = static_cast<uint8_t>(alpha);
    const uint8_t R = static_cast<uint8_t>((c.r * alpha) >> 8);
    const uint8_t G = static_cast<uint8_t>((c.g * alpha) >> 8);
    const uint8_t B = static_cast<uint8_t>((c.b * alpha) >> 8);
    uint8_t bytes[4];
    switch (format)
    {
    case 0:
        bytes[0] = A, bytes[1] = R, bytes[2] = G, bytes[3] = B;
        break;
    case 1:
        bytes[0] = R, bytes[1] = G, bytes[2] = B, bytes[3] = A;
        break;
    case 2:
        bytes[0] = A, bytes[1] = B, bytes[2] = G, bytes[3] = R;
        break;
    default:
        bytes[0] = B, bytes[1] = G, bytes[2] = R, bytes[3] = A;
        break;
    }
    std::memcpy(p, bytes, 4);
}

// A range pin in volts: kept only for 0 < r <= 20.
inline bool acceptRange(float r)
{
    return r > 0.0f && r <= 20.0f;
}

// The drawing area of a module in whole pixels (0 when empty or not finite).
inline int wholePixels(float from, float to)
{
    const float d = to - from;
    return d >= 1.0f && d <= 16384.0f ? static_cast<int>(d) : 0;
}

// The drawing factory of the module's graphics host; null without one.
inline GmpiDrawing::Factory drawingFactory(gmpi_gui::IMpGraphicsHost* host)
{
    GmpiDrawing::Factory f;
    if (host)
        host->GetDrawingFactory(f.GetAddressOf());
    return f;
}

// Something drawn once into a transparent off-screen bitmap of w x h and then
// copied on every render until it is dropped.
class CachedBitmap
{
public:
    void drop() { bitmap_.setNull(); }
    bool cached() const { return !bitmap_.isNull(); }

    // paint(target) draws the layer, of w x h pixels; it covers the panel
    // from its top left corner, or the rectangle `at` of that size.
    template <class Paint> void draw(const Graphics_base& g, int w, int h, Paint&& paint, const Rect* at = nullptr)
    {
        const Rect all(0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h));
        if (bitmap_.isNull())
        {
            GmpiDrawing::BitmapRenderTarget target =
                g.CreateCompatibleRenderTarget(GmpiDrawing::Size(static_cast<float>(w), static_cast<float>(h)));
            if (target.isNull())
                return;
            target.BeginDraw();
            target.Clear(Color(0.0f, 0.0f, 0.0f, 0.0f));
            paint(static_cast<const Graphics_base&>(target));
            target.EndDraw();
            bitmap_ = target.GetBitmap();
        }
        if (!bitmap_.isNull())
            g.DrawBitmap(bitmap_, at ? *at : all, all, 1.0f, GmpiDrawing::BitmapInterpolationMode::Linear);
    }

private:
    GmpiDrawing::Bitmap bitmap_;
};

// A vertical linear gradient from `top` at y = 0 to `bottom` at y = h - 1.
inline void fillGradient(const Graphics_base& g, int w, int h, const Color& top, const Color& bottom)
{
    const float fh = static_cast<float>(h);
    g.FillRectangle(Rect(0.0f, 0.0f, static_cast<float>(w), fh),
                    g.CreateLinearGradientBrush(top, bottom, Point(0.0f, 0.0f), Point(0.0f, fh - 1.0f)));
}

// The oscilloscopes' grid: the axes in `axes` (or `grid` when `axes` is
// fully transparent), then one line per volt each side of them in `grid`.
inline void drawVoltGrid(const Graphics_base& g, int w, int h, float xRange, float yRange, const Color& grid,
                         const Color& axes)
{
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    auto brush = g.CreateSolidColorBrush(axes.a > 0.0f ? axes : grid);
    g.DrawLine(Point(0.0f, fh * 0.5f), Point(fw - 1.0f, fh * 0.5f), brush, 1.0f);
    g.DrawLine(Point(fw * 0.5f, 0.0f), Point(fw * 0.5f, fh - 1.0f), brush, 1.0f);
    brush.SetColor(grid);
    for (int k = static_cast<int>(yRange); k >= 1; --k)
        for (float sign : {1.0f, -1.0f})
        {
            const float y = (1.0f + sign * static_cast<float>(k) / yRange) * fh * 0.5f;
            g.DrawLine(Point(0.0f, y), Point(fw, y), brush, 1.0f);
        }
    for (int k = static_cast<int>(xRange); k >= 1; --k)
        for (float sign : {1.0f, -1.0f})
        {
            const float x = (1.0f + sign * static_cast<float>(k) / xRange) * fw * 0.5f;
            g.DrawLine(Point(x, 0.0f), Point(x, fh), brush, 1.0f);
        }
}
} // namespace qw::monitors
