#include "Drawing.h"

#include <cmath>

namespace GmpiDrawing
{
using namespace GmpiDrawing_API;

namespace
{
// A broken host that never ends its family list still ends ours.
constexpr int32_t kMaxFontFamilies = 65536;

// Size factor from a measured length at size 32; metrics of 0 (or nonsense)
// leave the size as asked.
float sizeFactor(float measured)
{
    const float f = 32.0f / measured;
    return (measured > 0.0f && std::isfinite(f) && f > 0.0f) ? f : 1.0f;
}
} // namespace

// ---------------------------------------------------------------------------
// Text formats

Size TextFormat_readonly::GetTextExtentU(const std::string& utf8) const
{
    MP1_SIZE s{0.0f, 0.0f};
    if (Get())
        Get()->GetTextExtentU(utf8.c_str(), static_cast<int32_t>(utf8.size()), &s);
    return s;
}

Size TextFormat_readonly::GetTextExtentU(const std::wstring& text) const
{
    return GetTextExtentU(gmpi_sdk::toUtf8(text));
}

MP1_FONT_METRICS TextFormat_readonly::GetFontMetrics() const
{
    MP1_FONT_METRICS m{};
    if (Get())
        Get()->GetFontMetrics(&m);
    return m;
}

// ---------------------------------------------------------------------------
// Bitmaps

SizeU Bitmap::GetSize() const
{
    MP1_SIZE_U s{0, 0};
    if (Get())
        Get()->GetSizeU(&s);
    return s;
}

BitmapPixels Bitmap::lockPixels(int32_t mode) const
{
    BitmapPixels pixels;
    if (Get())
        Get()->lockPixels(pixels.GetAddressOf(), mode);
    return pixels;
}

Factory Bitmap::GetFactory() const
{
    Factory f;
    if (Get())
        Get()->GetFactory(f.GetAddressOf());
    return f;
}

GeometrySink PathGeometry::Open()
{
    GeometrySink sink;
    if (Get())
        Get()->Open(sink.GetAddressOf());
    return sink;
}

// ---------------------------------------------------------------------------
// Factory

std::map<std::string, std::pair<float, float>>& Factory::availableFonts()
{
    static std::map<std::string, std::pair<float, float>> fonts;
    return fonts;
}

PathGeometry Factory::CreatePathGeometry() const
{
    PathGeometry g;
    if (Get())
        Get()->CreatePathGeometry(g.GetAddressOf());
    return g;
}

TextFormat Factory::CreateTextFormat(float fontSize, const char* fontFamilyName, FontWeight weight, FontStyle style,
                                     FontStretch stretch) const
{
    TextFormat tf;
    if (Get())
        Get()->CreateTextFormat(fontFamilyName, nullptr, static_cast<MP1_FONT_WEIGHT>(weight),
                                static_cast<MP1_FONT_STYLE>(style), static_cast<MP1_FONT_STRETCH>(stretch), fontSize,
                                nullptr, tf.GetAddressOf());
    return tf;
}

TextFormat Factory::CreateTextFormat2(float height, const FontStack& fontStack, FontWeight weight, FontStyle style,
                                      FontStretch stretch, bool heightIsCapHeight) const
{
    return createTextFormat2(height, fontStack, weight, style, stretch, heightIsCapHeight, false);
}

TextFormat Factory::createTextFormat2(float height, const FontStack& stack, FontWeight weight, FontStyle style,
                                      FontStretch stretch, bool heightIsCapHeight, bool isRetry) const
{
    if (!Get())
        return {};

    auto& fonts = availableFonts();
    if (fonts.empty())
    {
        IMpFactory2* factory2 = nullptr;
        if (Get()->queryInterface(MP_IID_FACTORY2_MPGUI, reinterpret_cast<void**>(&factory2)) == gmpi::MP_OK &&
            factory2)
        {
            fonts["Arial"] = {0.0f, 0.0f};
            for (int32_t i = 0; i < kMaxFontFamilies; ++i)
            {
                gmpi_sdk::MpString name;
                if (factory2->GetFontFamilyName(i, &name) != gmpi::MP_OK)
                    break;
                fonts.insert({name.str(), {0.0f, 0.0f}});
            }
            factory2->release();
        }
        else if (!stack.fontFamilies_.empty() && stack.fontFamilies_.front())
        {
            fonts[stack.fontFamilies_.front()] = {0.0f, 0.0f};
        }
    }

    for (const char* family : stack.fontFamilies_)
    {
        if (!family)
            continue;
        auto it = fonts.find(family);
        if (it == fonts.end())
            continue;

        auto factors = it->second;
        if (factors.first == 0.0f && factors.second == 0.0f)
        {
            TextFormat probe = CreateTextFormat(32.0f, family, weight, style, stretch);
            if (probe)
            {
                const MP1_FONT_METRICS m = probe.GetFontMetrics();
                factors = {sizeFactor(m.ascent + m.descent), sizeFactor(m.capHeight)};
                it->second = factors;
            }
            else
            {
                factors = {1.0f, 1.0f}; // nothing to measure; not remembered
            }
        }

        TextFormat tf = CreateTextFormat(height * (heightIsCapHeight ? factors.second : factors.first), family, weight,
                                         style, stretch);
        if (tf)
            tf.SetLineSpacing(-512.0f, 0.0f);
        return tf;
    }

    // No family of the stack is offered: fall back on Arial, once.
    if (isRetry)
        return {};
    return createTextFormat2(height, FontStack("Arial"), weight, style, stretch, heightIsCapHeight, true);
}

Bitmap Factory::CreateImage(int32_t width, int32_t height) const
{
    Bitmap b;
    if (Get())
        Get()->CreateImage(width, height, b.GetAddressOf());
    return b;
}

Bitmap Factory::LoadImageU(const char* utf8Uri) const
{
    Bitmap b;
    if (Get() && utf8Uri)
        Get()->LoadImageU(utf8Uri, b.GetAddressOf());
    return b;
}

// ---------------------------------------------------------------------------
// Device contexts

Factory Graphics_base::GetFactory() const
{
    Factory f;
    if (Get())
        Get()->GetFactory(f.GetAddressOf());
    return f;
}

SolidColorBrush Graphics_base::CreateSolidColorBrush(const Color& color) const
{
    SolidColorBrush brush;
    if (Get())
    {
        IMpSolidColorBrush* raw = nullptr;
        Get()->CreateSolidColorBrush(&color, &raw);
        brush.attach(raw);
    }
    return brush;
}

GradientStopCollection Graphics_base::CreateGradientStopCollection(const GradientStop* stops, uint32_t count) const
{
    GradientStopCollection c;
    if (Get())
        Get()->CreateGradientStopCollection(stops, count, c.GetAddressOf());
    return c;
}

LinearGradientBrush Graphics_base::CreateLinearGradientBrush(Color c1, Color c2, Point start, Point end) const
{
    const GradientStop stops[2] = {{0.0f, c1}, {1.0f, c2}};
    return CreateLinearGradientBrush(CreateGradientStopCollection(stops, 2), start, end);
}

LinearGradientBrush Graphics_base::CreateLinearGradientBrush(const GradientStopCollection& stops, Point start,
                                                             Point end) const
{
    LinearGradientBrush brush;
    if (Get())
    {
        const MP1_LINEAR_GRADIENT_BRUSH_PROPERTIES props{start, end};
        IMpLinearGradientBrush* raw = nullptr;
        Get()->CreateLinearGradientBrush(&props, nullptr, stops.Get(), &raw);
        brush.attach(raw);
    }
    return brush;
}

RadialGradientBrush Graphics_base::CreateRadialGradientBrush(MP1_POINT centre, float radius, MP1_COLOR inner,
                                                             MP1_COLOR outer) const
{
    const GradientStop stops[2] = {{0.0f, inner}, {1.0f, outer}};
    return CreateRadialGradientBrush(CreateGradientStopCollection(stops, 2), centre, Point(0.0f, 0.0f), radius, radius);
}

RadialGradientBrush Graphics_base::CreateRadialGradientBrush(const GradientStopCollection& stops, Point centre,
                                                             Point originOffset, float radiusX, float radiusY) const
{
    RadialGradientBrush brush;
    if (Get())
    {
        const MP1_RADIAL_GRADIENT_BRUSH_PROPERTIES props{centre, originOffset, radiusX, radiusY};
        IMpRadialGradientBrush* raw = nullptr;
        Get()->CreateRadialGradientBrush(&props, nullptr, stops.Get(), &raw);
        brush.attach(raw);
    }
    return brush;
}

void Graphics_base::DrawBitmap(const Bitmap& bitmap, const Rect& destination, const Rect& source, float opacity,
                               BitmapInterpolationMode mode) const
{
    const MP1_RECT d = destination;
    const MP1_RECT s = source;
    if (Get())
        Get()->DrawBitmap(bitmap.Get(), &d, opacity, static_cast<int32_t>(mode), &s);
}

void Graphics_base::DrawTextU(const std::string& utf8, const TextFormat_readonly& format, const Rect& rect,
                              const Brush& brush, int32_t options) const
{
    const MP1_RECT r = rect;
    if (Get())
        Get()->DrawTextU(utf8.c_str(), static_cast<int32_t>(utf8.size()), format.Get(), &r, brush.Get(), options);
}

void Graphics_base::DrawTextW(const std::wstring& text, const TextFormat_readonly& format, const Rect& rect,
                              const Brush& brush, int32_t options) const
{
    DrawTextU(gmpi_sdk::toUtf8(text), format, rect, brush, options);
}

BitmapRenderTarget Graphics_base::CreateCompatibleRenderTarget(Size desiredSize) const
{
    BitmapRenderTarget target;
    if (Get())
    {
        const MP1_SIZE s = desiredSize;
        IMpBitmapRenderTarget* raw = nullptr;
        Get()->CreateCompatibleRenderTarget(&s, &raw);
        target.attach(raw);
    }
    return target;
}

Graphics::Graphics(gmpi::IMpUnknown* drawingContext)
{
    if (drawingContext)
        drawingContext->queryInterface(MP_IID_DEVICECONTEXT_MPGUI, reinterpret_cast<void**>(GetAddressOf()));
}

Bitmap BitmapRenderTarget::GetBitmap() const
{
    Bitmap b;
    if (Get())
        Get()->GetBitmap(b.GetAddressOf());
    return b;
}

} // namespace GmpiDrawing
