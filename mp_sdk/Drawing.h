// Value classes over the host's drawing interfaces. Drawn modules draw only
// through these.
//
// Ownership, the same for every wrapper: construction from a raw pointer adds
// one reference and destruction releases it; copying or assigning (also from
// an rvalue) gives this wrapper the other's pointer with a reference of its
// own, and the other wrapper keeps its own. A wrapper returned by a creating
// call is empty when the host failed; test with isNull() before use. Calls on
// an empty wrapper do nothing and answer an empty or zero result.
#pragma once

#include "mp_api_drawing.h"
#include "mp_sdk_common.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace GmpiDrawing
{
using GmpiDrawing_API::MP1_COLOR;
using GmpiDrawing_API::MP1_FONT_METRICS;
using GmpiDrawing_API::MP1_POINT;
using GmpiDrawing_API::MP1_RECT;
using GmpiDrawing_API::MP1_SIZE;
using GmpiDrawing_API::MP1_SIZE_U;

enum class FontWeight : int32_t
{
    Thin = 100,
    ExtraLight = 200,
    Light = 300,
    Normal = 400,
    Regular = 400,
    Medium = 500,
    SemiBold = 600,
    Bold = 700,
    ExtraBold = 800,
    Black = 900,
};

enum class FontStyle : int32_t
{
    Normal = 0,
    Oblique = 1,
    Italic = 2,
};

enum class FontStretch : int32_t
{
    Normal = 5,
};

enum class TextAlignment : int32_t
{
    Leading = 0,
    Trailing = 1,
    Center = 2,
};

enum class ParagraphAlignment : int32_t
{
    Near = 0,
    Far = 1,
    Center = 2,
};

enum class WordWrapping : int32_t
{
    Wrap = 0,
    NoWrap = 1,
};

enum class DrawTextOptions : int32_t
{
    None = 0,
    NoSnap = 1,
    Clip = 2,
};

enum class FigureBegin : int32_t
{
    Filled = 0,
    Hollow = 1,
};

enum class FigureEnd : int32_t
{
    Open = 0,
    Closed = 1,
};

enum class BitmapInterpolationMode : int32_t
{
    NearestNeighbor = 0,
    Linear = 1,
};

enum class BitmapLockFlags : int32_t
{
    Read = 1,
    Write = 2,
    ReadWrite = 3,
};

// ---------------------------------------------------------------------------
// Value types.

template <class T> struct PointBase
{
    T x{};
    T y{};

    constexpr PointBase() = default;
    constexpr PointBase(T px, T py) : x(px), y(py) {}
    constexpr PointBase(const MP1_POINT& p) : x(static_cast<T>(p.x)), y(static_cast<T>(p.y)) {}
    constexpr operator MP1_POINT() const { return {static_cast<float>(x), static_cast<float>(y)}; }

    constexpr bool operator==(const PointBase& o) const { return x == o.x && y == o.y; }
    constexpr bool operator!=(const PointBase& o) const { return !(*this == o); }
};
using Point = PointBase<float>;

template <class T> struct SizeBase
{
    T width{};
    T height{};

    constexpr SizeBase() = default;
    constexpr SizeBase(T w, T h) : width(w), height(h) {}

    constexpr bool operator==(const SizeBase& o) const { return width == o.width && height == o.height; }
    constexpr bool operator!=(const SizeBase& o) const { return !(*this == o); }
};

struct Size : SizeBase<float>
{
    using SizeBase<float>::SizeBase;
    constexpr Size() = default;
    constexpr Size(const MP1_SIZE& s) : SizeBase<float>(s.width, s.height) {}
    constexpr operator MP1_SIZE() const { return {width, height}; }
};

struct SizeU : SizeBase<uint32_t>
{
    using SizeBase<uint32_t>::SizeBase;
    constexpr SizeU() = default;
    constexpr SizeU(const MP1_SIZE_U& s) : SizeBase<uint32_t>(s.width, s.height) {}
    constexpr operator MP1_SIZE_U() const { return {width, height}; }
};

template <class T> struct RectBase
{
    T left{};
    T top{};
    T right{};
    T bottom{};

    constexpr RectBase() = default;
    constexpr RectBase(T l, T t, T r, T b) : left(l), top(t), right(r), bottom(b) {}
    constexpr RectBase(const MP1_RECT& r)
        : left(static_cast<T>(r.left)), top(static_cast<T>(r.top)), right(static_cast<T>(r.right)),
          bottom(static_cast<T>(r.bottom))
    {}
    constexpr operator MP1_RECT() const
    {
        return {static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                static_cast<float>(bottom)};
    }

    constexpr T getWidth() const { return right - left; }
    constexpr T getHeight() const { return bottom - top; }

    constexpr bool operator==(const RectBase& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    constexpr bool operator!=(const RectBase& o) const { return !(*this == o); }
};
using Rect = RectBase<float>;

// Linear-light colour with alpha; the default is opaque black.
struct Color : MP1_COLOR
{
    constexpr Color() : MP1_COLOR{0.0f, 0.0f, 0.0f, 1.0f} {}
    constexpr Color(float red, float green, float blue, float alpha = 1.0f) : MP1_COLOR{red, green, blue, alpha} {}
    constexpr Color(const MP1_COLOR& c) : MP1_COLOR(c) {}

    constexpr bool operator==(const Color& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    constexpr bool operator!=(const Color& o) const { return !(*this == o); }
};

struct Ellipse : GmpiDrawing_API::MP1_ELLIPSE
{
    constexpr Ellipse(Point centre, float rx, float ry) : MP1_ELLIPSE{centre, rx, ry} {}
    constexpr Ellipse(Point centre, float radius) : MP1_ELLIPSE{centre, radius, radius} {}
};

struct RoundedRect : GmpiDrawing_API::MP1_ROUNDED_RECT
{
    constexpr RoundedRect(Rect r, float rx, float ry) : MP1_ROUNDED_RECT{r, rx, ry} {}
    constexpr RoundedRect(Rect r, float radius) : MP1_ROUNDED_RECT{r, radius, radius} {}
};

struct GradientStop : GmpiDrawing_API::MP1_GRADIENT_STOP
{
    constexpr GradientStop(float position, Color color) : MP1_GRADIENT_STOP{position, color} {}
};

// ---------------------------------------------------------------------------
// Holder of one counted interface pointer.

template <class I> class Object
{
public:
    Object() = default;
    Object(I* p) : p_(p)
    {
        if (p_)
            p_->addRef();
    }
    Object(const Object& o) : Object(o.p_) {}
    // An rvalue is copied too: the other keeps its reference.
    Object(Object&& o) : Object(o.p_) {}
    ~Object()
    {
        if (p_)
            p_->release();
    }
    Object& operator=(const Object& o)
    {
        assign(o.p_);
        return *this;
    }
    Object& operator=(Object&& o)
    {
        assign(o.p_);
        return *this;
    }

    I* Get() const { return p_; }
    bool isNull() const { return p_ == nullptr; }
    explicit operator bool() const { return p_ != nullptr; }

    // Out-pointer for a creating call that hands over one reference; releases
    // what the wrapper held.
    I** GetAddressOf()
    {
        setNull();
        return &p_;
    }
    void setNull()
    {
        if (p_)
            p_->release();
        p_ = nullptr;
    }
    // Takes over one reference the caller holds (no addRef).
    void attach(I* p)
    {
        setNull();
        p_ = p;
    }

private:
    void assign(I* p)
    {
        if (p == p_)
            return;
        if (p)
            p->addRef();
        if (p_)
            p_->release();
        p_ = p;
    }

    I* p_ = nullptr;
};

class Factory;
class Bitmap;
class BitmapRenderTarget;

// ---------------------------------------------------------------------------
// Brushes.

class Brush : public Object<GmpiDrawing_API::IMpBrush>
{
public:
    using Object::Object;
};

class SolidColorBrush : public Brush
{
public:
    SolidColorBrush() = default;
    SolidColorBrush(GmpiDrawing_API::IMpSolidColorBrush* p) : Brush(p) {}

    GmpiDrawing_API::IMpSolidColorBrush* Get() const
    {
        return static_cast<GmpiDrawing_API::IMpSolidColorBrush*>(Brush::Get());
    }
    void SetColor(const Color& color)
    {
        if (auto* b = Get())
            b->SetColor(&color);
    }
};

class LinearGradientBrush : public Brush
{
public:
    LinearGradientBrush() = default;
    LinearGradientBrush(GmpiDrawing_API::IMpLinearGradientBrush* p) : Brush(p) {}
};

class RadialGradientBrush : public Brush
{
public:
    RadialGradientBrush() = default;
    RadialGradientBrush(GmpiDrawing_API::IMpRadialGradientBrush* p) : Brush(p) {}
};

class GradientStopCollection : public Object<GmpiDrawing_API::IMpGradientStopCollection>
{
public:
    using Object::Object;
};

// ---------------------------------------------------------------------------
// Text formats.

class TextFormat_readonly : public Object<GmpiDrawing_API::IMpTextFormat>
{
public:
    using Object::Object;

    // Size of the text in this format (0, 0 when the host fills nothing).
    Size GetTextExtentU(const std::wstring& text) const;
    Size GetTextExtentU(const std::string& utf8) const;
    // Ascent, descent, line gap, cap height, x height (all 0 when unknown).
    MP1_FONT_METRICS GetFontMetrics() const;
};

class TextFormat : public TextFormat_readonly
{
public:
    using TextFormat_readonly::TextFormat_readonly;

    int32_t SetTextAlignment(TextAlignment a)
    {
        return Get() ? Get()->SetTextAlignment(static_cast<GmpiDrawing_API::MP1_TEXT_ALIGNMENT>(a)) : gmpi::MP_FAIL;
    }
    int32_t SetParagraphAlignment(ParagraphAlignment a)
    {
        return Get() ? Get()->SetParagraphAlignment(static_cast<GmpiDrawing_API::MP1_PARAGRAPH_ALIGNMENT>(a))
                     : gmpi::MP_FAIL;
    }
    int32_t SetWordWrapping(WordWrapping w)
    {
        return Get() ? Get()->SetWordWrapping(static_cast<GmpiDrawing_API::MP1_WORD_WRAPPING>(w)) : gmpi::MP_FAIL;
    }
    int32_t SetLineSpacing(float lineSpacing, float baseline)
    {
        return Get() ? Get()->SetLineSpacing(lineSpacing, baseline) : gmpi::MP_FAIL;
    }
};

// ---------------------------------------------------------------------------
// Bitmaps.

class BitmapPixels : public Object<GmpiDrawing_API::IMpBitmapPixels>
{
public:
    using Object::Object;

    // First byte of the top row (4 bytes a pixel, in the order getPixelFormat names).
    uint8_t* getAddress() const { return Get() ? Get()->getAddress() : nullptr; }
    int32_t getBytesPerRow() const { return Get() ? Get()->getBytesPerRow() : 0; }
    int32_t getPixelFormat() const { return Get() ? Get()->getPixelFormat() : -1; }
};

class Bitmap : public Object<GmpiDrawing_API::IMpBitmap>
{
public:
    using Object::Object;

    SizeU GetSize() const;
    // mode: 1 read, 3 read and write (BitmapLockFlags).
    BitmapPixels lockPixels(int32_t mode = static_cast<int32_t>(BitmapLockFlags::Read)) const;
    BitmapPixels lockPixels(BitmapLockFlags mode) const { return lockPixels(static_cast<int32_t>(mode)); }
    Factory GetFactory() const;
};

// ---------------------------------------------------------------------------
// Path geometry.

class GeometrySink : public Object<GmpiDrawing_API::IMpGeometrySink>
{
public:
    using Object::Object;

    void BeginFigure(Point start, FigureBegin begin = FigureBegin::Filled)
    {
        if (Get())
            Get()->BeginFigure(start, static_cast<GmpiDrawing_API::MP1_FIGURE_BEGIN>(begin));
    }
    void BeginFigure(float x, float y, FigureBegin begin = FigureBegin::Filled) { BeginFigure(Point(x, y), begin); }
    void AddLine(Point p)
    {
        if (Get())
            Get()->AddLine(p);
    }
    void EndFigure(FigureEnd end = FigureEnd::Closed)
    {
        if (Get())
            Get()->EndFigure(static_cast<GmpiDrawing_API::MP1_FIGURE_END>(end));
    }
    void Close()
    {
        if (Get())
            Get()->Close();
    }
};

class PathGeometry : public Object<GmpiDrawing_API::IMpPathGeometry>
{
public:
    using Object::Object;

    GeometrySink Open();
};

// ---------------------------------------------------------------------------
// Drawing factory.

class Factory : public Object<GmpiDrawing_API::IMpFactory>
{
public:
    using Object::Object;

    // Font families in order of preference, as pointers to NUL-terminated
    // UTF-8 names; the names must outlive the stack.
    struct FontStack
    {
        FontStack() = default;
        FontStack(const char* family) { fontFamilies_.push_back(family); }
        FontStack(std::initializer_list<const char*> families) : fontFamilies_(families) {}
        FontStack(const std::vector<std::string>& families)
        {
            for (auto& f : families)
                fontFamilies_.push_back(f.c_str());
        }
        std::vector<const char*> fontFamilies_;
    };

    // Family name -> (body-height factor, cap-height factor); (0, 0) = not
    // yet measured. One table per deliverable, filled by the first
    // CreateTextFormat2.
    static std::map<std::string, std::pair<float, float>>& availableFonts();

    PathGeometry CreatePathGeometry() const;
    TextFormat CreateTextFormat(float fontSize, const char* fontFamilyName = "Arial",
                                FontWeight weight = FontWeight::Normal, FontStyle style = FontStyle::Normal,
                                FontStretch stretch = FontStretch::Normal) const;
    // A text format whose body height (ascent + descent), or cap height, is
    // the given number of pixels, from the first family of the stack that
    // the host offers; {"Arial"} when none is.
    TextFormat CreateTextFormat2(float height, const FontStack& fontStack = FontStack(),
                                 FontWeight weight = FontWeight::Normal, FontStyle style = FontStyle::Normal,
                                 FontStretch stretch = FontStretch::Normal, bool heightIsCapHeight = false) const;
    // A transparent bitmap of that many pixels.
    Bitmap CreateImage(int32_t width, int32_t height) const;
    Bitmap LoadImageU(const char* utf8Uri) const;
    Bitmap LoadImageU(const std::string& utf8Uri) const { return LoadImageU(utf8Uri.c_str()); }

private:
    TextFormat createTextFormat2(float height, const FontStack& stack, FontWeight weight, FontStyle style,
                                 FontStretch stretch, bool heightIsCapHeight, bool isRetry) const;
};

// ---------------------------------------------------------------------------
// Device contexts.

class Graphics_base : public Object<GmpiDrawing_API::IMpDeviceContext>
{
public:
    using Object::Object;

    Factory GetFactory() const;

    SolidColorBrush CreateSolidColorBrush(const Color& color) const;
    GradientStopCollection CreateGradientStopCollection(const GradientStop* stops, uint32_t count) const;
    GradientStopCollection CreateGradientStopCollection(const std::vector<GradientStop>& stops) const
    {
        return CreateGradientStopCollection(stops.data(), static_cast<uint32_t>(stops.size()));
    }
    // Two stops: c1 at 0.0 on start, c2 at 1.0 on end.
    LinearGradientBrush CreateLinearGradientBrush(Color c1, Color c2, Point start, Point end) const;
    LinearGradientBrush CreateLinearGradientBrush(const GradientStopCollection& stops, Point start, Point end) const;
    // Two stops: inner at the centre (0.0), outer at the radius (1.0).
    RadialGradientBrush CreateRadialGradientBrush(MP1_POINT centre, float radius, MP1_COLOR inner,
                                                  MP1_COLOR outer) const;
    RadialGradientBrush CreateRadialGradientBrush(const GradientStopCollection& stops, Point centre, Point originOffset,
                                                  float radiusX, float radiusY) const;

    void DrawLine(Point p0, Point p1, const Brush& brush, float strokeWidth = 1.0f,
                  GmpiDrawing_API::IMpStrokeStyle* strokeStyle = nullptr) const
    {
        if (Get())
            Get()->DrawLine(p0, p1, brush.Get(), strokeWidth, strokeStyle);
    }
    void DrawRectangle(const Rect& rect, const Brush& brush, float strokeWidth = 1.0f,
                       GmpiDrawing_API::IMpStrokeStyle* strokeStyle = nullptr) const
    {
        const MP1_RECT r = rect;
        if (Get())
            Get()->DrawRectangle(&r, brush.Get(), strokeWidth, strokeStyle);
    }
    void FillRectangle(const Rect& rect, const Brush& brush) const
    {
        const MP1_RECT r = rect;
        if (Get())
            Get()->FillRectangle(&r, brush.Get());
    }
    void DrawRoundedRectangle(const RoundedRect& rect, const Brush& brush, float strokeWidth = 1.0f,
                              GmpiDrawing_API::IMpStrokeStyle* strokeStyle = nullptr) const
    {
        if (Get())
            Get()->DrawRoundedRectangle(&rect, brush.Get(), strokeWidth, strokeStyle);
    }
    void FillRoundedRectangle(const RoundedRect& rect, const Brush& brush) const
    {
        if (Get())
            Get()->FillRoundedRectangle(&rect, brush.Get());
    }
    void DrawEllipse(const Ellipse& ellipse, const Brush& brush, float strokeWidth = 1.0f,
                     GmpiDrawing_API::IMpStrokeStyle* strokeStyle = nullptr) const
    {
        if (Get())
            Get()->DrawEllipse(&ellipse, brush.Get(), strokeWidth, strokeStyle);
    }
    void FillEllipse(const Ellipse& ellipse, const Brush& brush) const
    {
        if (Get())
            Get()->FillEllipse(&ellipse, brush.Get());
    }
    void DrawGeometry(const PathGeometry& geometry, const Brush& brush, float strokeWidth = 1.0f,
                      GmpiDrawing_API::IMpStrokeStyle* strokeStyle = nullptr) const
    {
        if (Get())
            Get()->DrawGeometry(geometry.Get(), brush.Get(), strokeWidth, strokeStyle);
    }
    void FillGeometry(const PathGeometry& geometry, const Brush& brush) const
    {
        if (Get())
            Get()->FillGeometry(geometry.Get(), brush.Get(), nullptr);
    }
    // The source part of the bitmap drawn scaled into the destination.
    void DrawBitmap(const Bitmap& bitmap, const Rect& destination, const Rect& source, float opacity = 1.0f,
                    BitmapInterpolationMode mode = BitmapInterpolationMode::Linear) const;
    // The source part at its own size with its top-left corner at the point.
    void DrawBitmap(const Bitmap& bitmap, Point destinationTopLeft, const Rect& source) const
    {
        DrawBitmap(bitmap,
                   Rect(destinationTopLeft.x, destinationTopLeft.y, destinationTopLeft.x + source.getWidth(),
                        destinationTopLeft.y + source.getHeight()),
                   source);
    }

    // Text: options 2 (DrawTextOptions::Clip) clips to the rectangle.
    void DrawTextU(const std::string& utf8, const TextFormat_readonly& format, const Rect& rect, const Brush& brush,
                   int32_t options = 0) const;
    void DrawTextW(const std::wstring& text, const TextFormat_readonly& format, const Rect& rect, const Brush& brush,
                   int32_t options = 0) const;
    void DrawTextW(const std::wstring& text, const TextFormat_readonly& format, const Rect& rect, const Brush& brush,
                   DrawTextOptions options) const
    {
        DrawTextW(text, format, rect, brush, static_cast<int32_t>(options));
    }
    // Laid out in (x, y, x + 10000, y + 10000).
    void DrawTextW(const std::wstring& text, const TextFormat_readonly& format, float x, float y, const Brush& brush,
                   DrawTextOptions options = DrawTextOptions::None) const
    {
        DrawTextW(text, format, Rect(x, y, x + 10000.0f, y + 10000.0f), brush, static_cast<int32_t>(options));
    }

    void PushAxisAlignedClip(const Rect& rect) const
    {
        const MP1_RECT r = rect;
        if (Get())
            Get()->PushAxisAlignedClip(&r);
    }
    void PopAxisAlignedClip() const
    {
        if (Get())
            Get()->PopAxisAlignedClip();
    }
    void Clear(const Color& color) const
    {
        if (Get())
            Get()->Clear(&color);
    }
    void BeginDraw() const
    {
        if (Get())
            Get()->BeginDraw();
    }
    int32_t EndDraw() const { return Get() ? Get()->EndDraw() : gmpi::MP_FAIL; }

    BitmapRenderTarget CreateCompatibleRenderTarget(Size desiredSize) const;
};

// The context handed to OnRender, asked for MP_IID_DEVICECONTEXT_MPGUI.
class Graphics : public Graphics_base
{
public:
    Graphics() = default;
    explicit Graphics(gmpi::IMpUnknown* drawingContext);
};

// Off-screen context that draws into a bitmap.
class BitmapRenderTarget : public Graphics_base
{
public:
    BitmapRenderTarget() = default;
    BitmapRenderTarget(GmpiDrawing_API::IMpBitmapRenderTarget* p) : Graphics_base(p) {}

    GmpiDrawing_API::IMpBitmapRenderTarget* Get() const
    {
        return static_cast<GmpiDrawing_API::IMpBitmapRenderTarget*>(Graphics_base::Get());
    }
    // What was drawn so far.
    Bitmap GetBitmap() const;
};

} // namespace GmpiDrawing
