// The host's drawing services, standing in for the real host's: every drawing
// interface the modules call, rendered with cairo into 32-bit image surfaces.
//
// Colours arrive in linear light and are stored sRGB-encoded, premultiplied,
// 4 bytes a pixel in the order blue, green, red, alpha (pixel format code 4);
// blending happens on the stored values. Text uses the machine's installed
// fonts through fontconfig; a family that is not installed is not offered.
//
// The factory can record every drawing call it and its objects receive, in
// order, for tests that check what was drawn when.
#pragma once

#include "mp_api_drawing.h"

#include "counted.h"

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qwhost::drawing
{
using qwhost::Counted;

// One recorded call. target: 0 for a context made by the host (the screen),
// 1, 2, ... for render targets in order of creation.
struct DrawCall
{
    DrawCall() = default;
    DrawCall(std::string name, std::vector<double> v = {}) : op(std::move(name)), values(std::move(v)) {}

    int target = 0;
    std::string op;                     // the interface member's name, e.g. "FillRectangle"
    std::vector<double> values;         // its numbers in argument order (DrawTextU: rectangle, options, byte length;
                                        // CreateLinearGradientBrush: start, end, then position, r, g, b, a a stop;
                                        // CreateRadialGradientBrush: centre, origin offset, x and y radii, then
                                        // the stops likewise)
    std::string brush;                  // "solid", "linear", "radial" or "" (no brush)
    GmpiDrawing_API::MP1_COLOR color{}; // a solid brush's colour at the call
    std::string text;                   // drawn text (UTF-8)
    // DrawGeometry and FillGeometry: every point of every figure, start first.
    std::vector<GmpiDrawing_API::MP1_POINT> path;
};

class Factory;

// A bitmap: an ARGB32 cairo image surface.
class Bitmap final : public Counted<GmpiDrawing_API::IMpBitmap>
{
public:
    // Takes over the surface (one reference).
    Bitmap(Factory* factory, cairo_surface_t* surface);

    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t GetFactory(GmpiDrawing_API::IMpFactory** returnFactory) override;
    int32_t unusedSlot4() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot5() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot6() override { return gmpi::MP_NOSUPPORT; }
    int32_t GetSizeU(GmpiDrawing_API::MP1_SIZE_U* returnSize) override;
    int32_t lockPixels(GmpiDrawing_API::IMpBitmapPixels** returnPixels, int32_t flags) override;

    cairo_surface_t* surface() const { return surface_; }
    int width() const;
    int height() const;
    // Stored bytes of one pixel: blue, green, red, alpha (premultiplied).
    struct Pixel
    {
        uint8_t b, g, r, a;
    };
    Pixel pixel(int x, int y) const;
    // Writes a PNG file; false when it cannot be written.
    bool writePng(const std::string& path) const;

private:
    ~Bitmap() override;
    Factory* factory_;
    cairo_surface_t* surface_;
};

// Device context over a bitmap. The host's screen context and the modules'
// render targets are both of this class; only render targets answer
// GetBitmap.
class DeviceContext final : public Counted<GmpiDrawing_API::IMpBitmapRenderTarget>
{
public:
    DeviceContext(Factory* factory, Bitmap* target, int targetId, bool offscreen);

    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t GetFactory(GmpiDrawing_API::IMpFactory** returnFactory) override;
    int32_t unusedSlot4() override { return gmpi::MP_NOSUPPORT; }
    int32_t CreateSolidColorBrush(const GmpiDrawing_API::MP1_COLOR* color,
                                  GmpiDrawing_API::IMpSolidColorBrush** returnBrush) override;
    int32_t CreateGradientStopCollection(const GmpiDrawing_API::MP1_GRADIENT_STOP* stops, uint32_t count,
                                         GmpiDrawing_API::IMpGradientStopCollection** returnCollection) override;
    int32_t CreateLinearGradientBrush(const GmpiDrawing_API::MP1_LINEAR_GRADIENT_BRUSH_PROPERTIES* properties,
                                      const GmpiDrawing_API::MP1_BRUSH_PROPERTIES* brushProperties,
                                      GmpiDrawing_API::IMpGradientStopCollection* stops,
                                      GmpiDrawing_API::IMpLinearGradientBrush** returnBrush) override;
    int32_t CreateRadialGradientBrush(const GmpiDrawing_API::MP1_RADIAL_GRADIENT_BRUSH_PROPERTIES* properties,
                                      const GmpiDrawing_API::MP1_BRUSH_PROPERTIES* brushProperties,
                                      GmpiDrawing_API::IMpGradientStopCollection* stops,
                                      GmpiDrawing_API::IMpRadialGradientBrush** returnBrush) override;
    int32_t DrawLine(GmpiDrawing_API::MP1_POINT p0, GmpiDrawing_API::MP1_POINT p1, GmpiDrawing_API::IMpBrush* brush,
                     float strokeWidth, GmpiDrawing_API::IMpStrokeStyle* strokeStyle) override;
    int32_t DrawRectangle(const GmpiDrawing_API::MP1_RECT* rect, GmpiDrawing_API::IMpBrush* brush, float strokeWidth,
                          GmpiDrawing_API::IMpStrokeStyle* strokeStyle) override;
    int32_t FillRectangle(const GmpiDrawing_API::MP1_RECT* rect, GmpiDrawing_API::IMpBrush* brush) override;
    int32_t DrawRoundedRectangle(const GmpiDrawing_API::MP1_ROUNDED_RECT* rect, GmpiDrawing_API::IMpBrush* brush,
                                 float strokeWidth, GmpiDrawing_API::IMpStrokeStyle* strokeStyle) override;
    int32_t FillRoundedRectangle(const GmpiDrawing_API::MP1_ROUNDED_RECT* rect,
                                 GmpiDrawing_API::IMpBrush* brush) override;
    int32_t DrawEllipse(const GmpiDrawing_API::MP1_ELLIPSE* ellipse, GmpiDrawing_API::IMpBrush* brush,
                        float strokeWidth, GmpiDrawing_API::IMpStrokeStyle* strokeStyle) override;
    int32_t FillEllipse(const GmpiDrawing_API::MP1_ELLIPSE* ellipse, GmpiDrawing_API::IMpBrush* brush) override;
    int32_t DrawGeometry(GmpiDrawing_API::IMpPathGeometry* geometry, GmpiDrawing_API::IMpBrush* brush,
                         float strokeWidth, GmpiDrawing_API::IMpStrokeStyle* strokeStyle) override;
    int32_t FillGeometry(GmpiDrawing_API::IMpPathGeometry* geometry, GmpiDrawing_API::IMpBrush* brush,
                         GmpiDrawing_API::IMpBrush* opacityBrush) override;
    int32_t DrawBitmap(GmpiDrawing_API::IMpBitmap* bitmap, const GmpiDrawing_API::MP1_RECT* destination, float opacity,
                       int32_t interpolationMode, const GmpiDrawing_API::MP1_RECT* source) override;
    int32_t DrawTextU(const char* utf8String, int32_t stringLength, GmpiDrawing_API::IMpTextFormat* textFormat,
                      const GmpiDrawing_API::MP1_RECT* layoutRect, GmpiDrawing_API::IMpBrush* brush,
                      int32_t options) override;
    int32_t unusedSlot20() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot21() override { return gmpi::MP_NOSUPPORT; }
    int32_t PushAxisAlignedClip(const GmpiDrawing_API::MP1_RECT* clipRect) override;
    int32_t PopAxisAlignedClip() override;
    int32_t unusedSlot24() override { return gmpi::MP_NOSUPPORT; }
    int32_t Clear(const GmpiDrawing_API::MP1_COLOR* color) override;
    int32_t BeginDraw() override;
    int32_t EndDraw() override;
    int32_t CreateCompatibleRenderTarget(const GmpiDrawing_API::MP1_SIZE* desiredSize,
                                         GmpiDrawing_API::IMpBitmapRenderTarget** returnRenderTarget) override;
    int32_t GetBitmap(GmpiDrawing_API::IMpBitmap** returnBitmap) override;

    Bitmap* target() const { return target_; }
    int clipDepth() const { return clipDepth_; }

private:
    ~DeviceContext() override;
    struct Source;
    bool setSource(GmpiDrawing_API::IMpBrush* brush, DrawCall& call);
    void record(DrawCall call);
    void roundedRectPath(const GmpiDrawing_API::MP1_ROUNDED_RECT& r);
    bool ellipsePath(const GmpiDrawing_API::MP1_ELLIPSE& e);

    Factory* factory_;
    Bitmap* target_;
    cairo_t* cr_;
    int targetId_;
    bool offscreen_;
    bool drawing_ = false;
    int clipDepth_ = 0;
};

// The drawing factory, with the font families of the machine.
class Factory final : public Counted<GmpiDrawing_API::IMpFactory2>
{
public:
    Factory();

    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t CreatePathGeometry(GmpiDrawing_API::IMpPathGeometry** returnPathGeometry) override;
    int32_t CreateTextFormat(const char* fontFamilyName, gmpi::IMpUnknown* fontCollection,
                             GmpiDrawing_API::MP1_FONT_WEIGHT fontWeight, GmpiDrawing_API::MP1_FONT_STYLE fontStyle,
                             GmpiDrawing_API::MP1_FONT_STRETCH fontStretch, float fontSize, const char* localeName,
                             GmpiDrawing_API::IMpTextFormat** returnTextFormat) override;
    int32_t CreateImage(int32_t width, int32_t height, GmpiDrawing_API::IMpBitmap** returnBitmap) override;
    int32_t LoadImageU(const char* utf8Uri, GmpiDrawing_API::IMpBitmap** returnBitmap) override;
    int32_t unusedSlot7() override { return gmpi::MP_NOSUPPORT; }
    int32_t GetFontFamilyName(int32_t fontIndex, gmpi::IString* returnName) override;

    // A transparent bitmap (null when the size is unusable); one reference.
    Bitmap* createBitmap(int width, int height);
    // A context drawing into the bitmap, as the host hands one to OnRender;
    // one reference. Recorded as target 0.
    DeviceContext* createContext(Bitmap* target);

    // The installed families, sorted, each once.
    const std::vector<std::string>& fontFamilies() const;
    // The installed family of that name (any letter case), or "".
    std::string installedFamily(const std::string& name) const;

    // The pixel format locked bitmap pixels report and are laid out in: 0
    // ARGB, 1 RGBA, 2 ABGR, 3 BGRA; 4 (the host's own) BGRA as stored.
    int32_t pixelFormat = GmpiDrawing_API::MP1_PIXEL_FORMAT_BGRA_SRGB;

    void setRecording(bool on) { recording_ = on; }
    bool recording() const { return recording_; }
    std::vector<DrawCall>& calls() { return calls_; }
    void record(DrawCall call)
    {
        if (recording_)
            calls_.push_back(std::move(call));
    }
    int nextTargetId() { return ++targets_; }

    // While recording: every LoadImageU call's address, in order (loaded or
    // not), and every CreateTextFormat call (made or not).
    std::vector<std::string> imageLoads;
    struct TextFormatRequest
    {
        std::string family;
        int32_t weight, style, stretch;
        float size;
    };
    std::vector<TextFormatRequest> textFormatRequests;

    // Largest bitmap side accepted, in pixels.
    static constexpr int kMaxSide = 16384;

private:
    ~Factory() override = default;
    bool recording_ = false;
    std::vector<DrawCall> calls_;
    int targets_ = 0;
};

// Decodes an uncompressed Windows bitmap (1, 4, 8, 16, 24 or 32 bits a pixel,
// bottom-up or top-down, with or without bit-field masks) into rows of
// premultiplied pixels 0xAARRGGBB, top row first. False for anything else or
// when the data are cut short.
bool decodeBmp(const uint8_t* data, size_t size, int& width, int& height, std::vector<uint32_t>& pixels);

// Linear light (0..1, clamped; NaN as 0) to the sRGB-encoded value.
double linearToSrgb(double linear);
} // namespace qwhost::drawing
