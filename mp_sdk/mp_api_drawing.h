// The host's drawing services, as the modules see them: value records and the
// interfaces of the drawing factory, device contexts, brushes, text formats,
// bitmaps, render targets and path geometries.
//
// Like mp_api.h, every interface is an abstract class whose virtual functions
// stand in fixed slots (0-2 are queryInterface, addRef and release). Slots that
// the modules never call are kept as unusedSlotN so that the called ones keep
// their positions; a host answers them with MP_NOSUPPORT.
#pragma once

#include "mp_api.h"

#include <cstdint>

namespace GmpiDrawing_API
{
using gmpi::MP_IID_DEVICECONTEXT_MPGUI;
using gmpi::MP_IID_FACTORY2_MPGUI;
using gmpi::MP_IID_TEXTFORMAT_MPGUI;

// ---------------------------------------------------------------------------
// Value records (passed by value or through const pointers).

struct MP1_POINT
{
    float x;
    float y;
};

struct MP1_SIZE
{
    float width;
    float height;
};

// Bitmap sizes in pixels.
struct MP1_SIZE_U
{
    uint32_t width;
    uint32_t height;
};

struct MP1_RECT
{
    float left;
    float top;
    float right;
    float bottom;
};

// Linear-light colour, every component 0..1.
struct MP1_COLOR
{
    float r;
    float g;
    float b;
    float a;
};

struct MP1_ELLIPSE
{
    MP1_POINT point; // centre
    float radiusX;
    float radiusY;
};

struct MP1_ROUNDED_RECT
{
    MP1_RECT rect;
    float radiusX;
    float radiusY;
};

struct MP1_GRADIENT_STOP
{
    float position;
    MP1_COLOR color;
};

// Affine transform: x' = x*_11 + y*_21 + _31, y' = x*_12 + y*_22 + _32.
struct MP1_MATRIX_3X2
{
    float _11, _12;
    float _21, _22;
    float _31, _32;
};

struct MP1_BRUSH_PROPERTIES
{
    float opacity;
    MP1_MATRIX_3X2 transform;
};

struct MP1_LINEAR_GRADIENT_BRUSH_PROPERTIES
{
    MP1_POINT startPoint;
    MP1_POINT endPoint;
};

struct MP1_RADIAL_GRADIENT_BRUSH_PROPERTIES
{
    MP1_POINT center;
    MP1_POINT gradientOriginOffset;
    float radiusX;
    float radiusY;
};

// Font metrics of a text format at its size, in pixels.
struct MP1_FONT_METRICS
{
    float ascent;
    float descent;
    float lineGap;
    float capHeight;
    float xHeight;
};

// ---------------------------------------------------------------------------
// Codes passed through the interfaces.

enum MP1_FONT_WEIGHT : int32_t
{
    MP1_FONT_WEIGHT_THIN = 100,
    MP1_FONT_WEIGHT_EXTRA_LIGHT = 200,
    MP1_FONT_WEIGHT_LIGHT = 300,
    MP1_FONT_WEIGHT_NORMAL = 400,
    MP1_FONT_WEIGHT_MEDIUM = 500,
    MP1_FONT_WEIGHT_SEMI_BOLD = 600,
    MP1_FONT_WEIGHT_BOLD = 700,
    MP1_FONT_WEIGHT_EXTRA_BOLD = 800,
    MP1_FONT_WEIGHT_BLACK = 900,
};

enum MP1_FONT_STYLE : int32_t
{
    MP1_FONT_STYLE_NORMAL = 0,
    MP1_FONT_STYLE_OBLIQUE = 1,
    MP1_FONT_STYLE_ITALIC = 2,
};

// 1 (ultra condensed) .. 9 (ultra expanded); the system uses only 5.
enum MP1_FONT_STRETCH : int32_t
{
    MP1_FONT_STRETCH_NORMAL = 5,
};

enum MP1_TEXT_ALIGNMENT : int32_t
{
    MP1_TEXT_ALIGNMENT_LEADING = 0,
    MP1_TEXT_ALIGNMENT_TRAILING = 1,
    MP1_TEXT_ALIGNMENT_CENTER = 2,
};

enum MP1_PARAGRAPH_ALIGNMENT : int32_t
{
    MP1_PARAGRAPH_ALIGNMENT_NEAR = 0,
    MP1_PARAGRAPH_ALIGNMENT_FAR = 1,
    MP1_PARAGRAPH_ALIGNMENT_CENTER = 2,
};

enum MP1_WORD_WRAPPING : int32_t
{
    MP1_WORD_WRAPPING_WRAP = 0,
    MP1_WORD_WRAPPING_NO_WRAP = 1,
};

enum MP1_DRAW_TEXT_OPTIONS : int32_t
{
    MP1_DRAW_TEXT_OPTIONS_NONE = 0,
    MP1_DRAW_TEXT_OPTIONS_NO_SNAP = 1,
    MP1_DRAW_TEXT_OPTIONS_CLIP = 2,
};

enum MP1_FIGURE_BEGIN : int32_t
{
    MP1_FIGURE_BEGIN_FILLED = 0,
    MP1_FIGURE_BEGIN_HOLLOW = 1,
};

enum MP1_FIGURE_END : int32_t
{
    MP1_FIGURE_END_OPEN = 0,
    MP1_FIGURE_END_CLOSED = 1,
};

enum MP1_BITMAP_INTERPOLATION_MODE : int32_t
{
    MP1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR = 0,
    MP1_BITMAP_INTERPOLATION_MODE_LINEAR = 1,
};

// Modes of Bitmap lockPixels.
enum MP1_BITMAP_LOCK_FLAGS : int32_t
{
    MP1_BITMAP_LOCK_READ = 1,
    MP1_BITMAP_LOCK_WRITE = 2,
};

// Pixel format codes of locked bitmap pixels: 4 bytes a pixel in the order
// the code names, colour bytes premultiplied by alpha. Host bitmaps answer
// MP1_PIXEL_FORMAT_BGRA_SRGB (blue, green, red, alpha, sRGB-encoded) unless a
// host says otherwise; modules that write pixels honour whichever they get.
enum MP1_PIXEL_FORMAT : int32_t
{
    MP1_PIXEL_FORMAT_ARGB = 0,
    MP1_PIXEL_FORMAT_RGBA = 1,
    MP1_PIXEL_FORMAT_ABGR = 2,
    MP1_PIXEL_FORMAT_BGRA = 3,
    MP1_PIXEL_FORMAT_BGRA_SRGB = 4,
};

// ---------------------------------------------------------------------------
// Interfaces.

class IMpFactory;

// Anything the factory made; slot 3 gives that factory (one reference).
class IMpResource : public gmpi::IMpUnknown
{
public:
    virtual int32_t GetFactory(IMpFactory** returnFactory) = 0; // 3
};

class IMpBrush : public IMpResource
{};

class IMpSolidColorBrush : public IMpBrush
{
public:
    virtual int32_t SetColor(const MP1_COLOR* color) = 0; // 4
};

class IMpGradientStopCollection : public IMpResource
{};

class IMpLinearGradientBrush : public IMpBrush
{};

class IMpRadialGradientBrush : public IMpBrush
{};

// Stroke styles are never created by the system; drawing calls pass null.
class IMpStrokeStyle : public IMpResource
{};

// Locked pixels of a bitmap; the lock ends with the last release.
class IMpBitmapPixels : public gmpi::IMpUnknown
{
public:
    virtual uint8_t* getAddress() = 0;    // 3: first byte of the top row
    virtual int32_t getBytesPerRow() = 0; // 4
    virtual int32_t getPixelFormat() = 0; // 5: an MP1_PIXEL_FORMAT
};

class IMpBitmap : public IMpResource
{
public:
    virtual int32_t unusedSlot4() = 0;
    virtual int32_t unusedSlot5() = 0;
    virtual int32_t unusedSlot6() = 0;
    virtual int32_t GetSizeU(MP1_SIZE_U* returnSize) = 0;                          // 7
    virtual int32_t lockPixels(IMpBitmapPixels** returnPixels, int32_t flags) = 0; // 8: MP1_BITMAP_LOCK_FLAGS
};

class IMpGeometrySink : public gmpi::IMpUnknown
{
public:
    virtual int32_t BeginFigure(MP1_POINT startPoint, MP1_FIGURE_BEGIN figureBegin) = 0; // 3
    virtual int32_t unusedSlot4() = 0;
    virtual int32_t unusedSlot5() = 0;
    virtual int32_t EndFigure(MP1_FIGURE_END figureEnd) = 0; // 6
    virtual int32_t Close() = 0;                             // 7
    virtual int32_t AddLine(MP1_POINT point) = 0;            // 8
};

class IMpPathGeometry : public IMpResource
{
public:
    // A geometry is built once: the first Open gives the sink, later ones fail.
    virtual int32_t Open(IMpGeometrySink** returnSink) = 0; // 4
};

class IMpTextFormat : public gmpi::IMpUnknown
{
public:
    virtual int32_t SetTextAlignment(MP1_TEXT_ALIGNMENT alignment) = 0;                                     // 3
    virtual int32_t SetParagraphAlignment(MP1_PARAGRAPH_ALIGNMENT alignment) = 0;                           // 4
    virtual int32_t SetWordWrapping(MP1_WORD_WRAPPING wordWrapping) = 0;                                    // 5
    virtual int32_t GetTextExtentU(const char* utf8String, int32_t stringLength, MP1_SIZE* returnSize) = 0; // 6
    virtual int32_t GetFontMetrics(MP1_FONT_METRICS* returnFontMetrics) = 0;                                // 7
    // Line height in pixels (a negative height keeps the font's own) and the
    // baseline's distance from the top of a line (0 = the font's ascent).
    virtual int32_t SetLineSpacing(float lineSpacing, float baseline) = 0; // 8
};

class IMpDeviceContext;

class IMpFactory : public gmpi::IMpUnknown
{
public:
    virtual int32_t CreatePathGeometry(IMpPathGeometry** returnPathGeometry) = 0; // 3
    // out stays null when the family is not installed or the size unusable.
    virtual int32_t CreateTextFormat(const char* fontFamilyName, gmpi::IMpUnknown* fontCollection,
                                     MP1_FONT_WEIGHT fontWeight, MP1_FONT_STYLE fontStyle, MP1_FONT_STRETCH fontStretch,
                                     float fontSize, const char* localeName,
                                     IMpTextFormat** returnTextFormat) = 0; // 4
    // A transparent bitmap of that many pixels, for pixel access.
    virtual int32_t CreateImage(int32_t width, int32_t height, IMpBitmap** returnBitmap) = 0; // 5
    virtual int32_t LoadImageU(const char* utf8Uri, IMpBitmap** returnBitmap) = 0;            // 6
};

// Second version: the installed font families (MP_IID_FACTORY2_MPGUI).
class IMpFactory2 : public IMpFactory
{
public:
    virtual int32_t unusedSlot7() = 0;
    // Name of the index-th family; non-zero past the end.
    virtual int32_t GetFontFamilyName(int32_t fontIndex, gmpi::IString* returnName) = 0; // 8
};

class IMpBitmapRenderTarget;

// Device context (MP_IID_DEVICECONTEXT_MPGUI): what OnRender draws through.
class IMpDeviceContext : public IMpResource
{
public:
    virtual int32_t unusedSlot4() = 0;
    virtual int32_t CreateSolidColorBrush(const MP1_COLOR* color, IMpSolidColorBrush** returnBrush) = 0; // 5
    virtual int32_t CreateGradientStopCollection(const MP1_GRADIENT_STOP* gradientStops, uint32_t gradientStopsCount,
                                                 IMpGradientStopCollection** returnCollection) = 0; // 6
    // brushProperties may be null (opacity 1, identity transform).
    virtual int32_t CreateLinearGradientBrush(const MP1_LINEAR_GRADIENT_BRUSH_PROPERTIES* linearGradientBrushProperties,
                                              const MP1_BRUSH_PROPERTIES* brushProperties,
                                              IMpGradientStopCollection* gradientStopCollection,
                                              IMpLinearGradientBrush** returnBrush) = 0; // 7
    virtual int32_t CreateRadialGradientBrush(const MP1_RADIAL_GRADIENT_BRUSH_PROPERTIES* radialGradientBrushProperties,
                                              const MP1_BRUSH_PROPERTIES* brushProperties,
                                              IMpGradientStopCollection* gradientStopCollection,
                                              IMpRadialGradientBrush** returnBrush) = 0; // 8
    virtual int32_t DrawLine(MP1_POINT point0, MP1_POINT point1, IMpBrush* brush, float strokeWidth,
                             IMpStrokeStyle* strokeStyle) = 0; // 9
    virtual int32_t DrawRectangle(const MP1_RECT* rect, IMpBrush* brush, float strokeWidth,
                                  IMpStrokeStyle* strokeStyle) = 0;           // 10
    virtual int32_t FillRectangle(const MP1_RECT* rect, IMpBrush* brush) = 0; // 11
    virtual int32_t DrawRoundedRectangle(const MP1_ROUNDED_RECT* roundedRect, IMpBrush* brush, float strokeWidth,
                                         IMpStrokeStyle* strokeStyle) = 0;                          // 12
    virtual int32_t FillRoundedRectangle(const MP1_ROUNDED_RECT* roundedRect, IMpBrush* brush) = 0; // 13
    virtual int32_t DrawEllipse(const MP1_ELLIPSE* ellipse, IMpBrush* brush, float strokeWidth,
                                IMpStrokeStyle* strokeStyle) = 0;                 // 14
    virtual int32_t FillEllipse(const MP1_ELLIPSE* ellipse, IMpBrush* brush) = 0; // 15
    virtual int32_t DrawGeometry(IMpPathGeometry* geometry, IMpBrush* brush, float strokeWidth,
                                 IMpStrokeStyle* strokeStyle) = 0;                                        // 16
    virtual int32_t FillGeometry(IMpPathGeometry* geometry, IMpBrush* brush, IMpBrush* opacityBrush) = 0; // 17
    // sourceRectangle null = the whole bitmap.
    virtual int32_t DrawBitmap(IMpBitmap* bitmap, const MP1_RECT* destinationRectangle, float opacity,
                               int32_t interpolationMode, const MP1_RECT* sourceRectangle) = 0; // 18
    virtual int32_t DrawTextU(const char* utf8String, int32_t stringLength, IMpTextFormat* textFormat,
                              const MP1_RECT* layoutRect, IMpBrush* defaultForegroundBrush,
                              int32_t options) = 0; // 19: MP1_DRAW_TEXT_OPTIONS
    virtual int32_t unusedSlot20() = 0;
    virtual int32_t unusedSlot21() = 0;
    virtual int32_t PushAxisAlignedClip(const MP1_RECT* clipRect) = 0; // 22
    virtual int32_t PopAxisAlignedClip() = 0;                          // 23
    virtual int32_t unusedSlot24() = 0;
    virtual int32_t Clear(const MP1_COLOR* clearColor) = 0; // 25
    virtual int32_t BeginDraw() = 0;                        // 26
    virtual int32_t EndDraw() = 0;                          // 27
    // An off-screen context of that size in pixels that draws into a bitmap.
    virtual int32_t CreateCompatibleRenderTarget(const MP1_SIZE* desiredSize,
                                                 IMpBitmapRenderTarget** returnRenderTarget) = 0; // 28
};

class IMpBitmapRenderTarget : public IMpDeviceContext
{
public:
    // A bitmap of what was drawn so far (later drawing does not change it).
    virtual int32_t GetBitmap(IMpBitmap** returnBitmap) = 0; // 29
};

} // namespace GmpiDrawing_API
