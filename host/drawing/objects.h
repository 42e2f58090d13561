// Inner objects of the drawing stand-in: brushes, gradient stops, text
// formats, path geometries and locked pixels.
#pragma once

#include "drawing/drawing.h"

#include <cairo-ft.h>

#include <string>
#include <vector>

namespace qwhost::drawing
{
// Holds one reference to the factory, which every object answers GetFactory with.
class FactoryRef
{
public:
    explicit FactoryRef(Factory* f) : f_(f) { f_->addRef(); }
    FactoryRef(const FactoryRef&) = delete;
    FactoryRef& operator=(const FactoryRef&) = delete;
    ~FactoryRef() { f_->release(); }
    Factory* get() const { return f_; }
    Factory* operator->() const { return f_; }
    int32_t hand(GmpiDrawing_API::IMpFactory** out) const
    {
        if (!out)
            return gmpi::MP_FAIL;
        f_->addRef();
        *out = f_;
        return gmpi::MP_OK;
    }

private:
    Factory* f_;
};

// What a brush paints with. Each call makes a new pattern (caller destroys).
class PatternSource
{
public:
    virtual ~PatternSource() = default;
    virtual cairo_pattern_t* createPattern() const = 0;
    virtual const char* kind() const = 0;
    virtual GmpiDrawing_API::MP1_COLOR colorForRecord() const { return {}; }
};

// A solid pattern of a linear-light colour.
cairo_pattern_t* solidPattern(const GmpiDrawing_API::MP1_COLOR& c);

class SolidBrush final : public Counted<GmpiDrawing_API::IMpSolidColorBrush>, public PatternSource
{
public:
    SolidBrush(Factory* f, const GmpiDrawing_API::MP1_COLOR& c) : factory_(f), color_(c) {}
    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override;
    int32_t GetFactory(GmpiDrawing_API::IMpFactory** out) override { return factory_.hand(out); }
    int32_t SetColor(const GmpiDrawing_API::MP1_COLOR* c) override
    {
        if (!c)
            return gmpi::MP_FAIL;
        color_ = *c;
        return gmpi::MP_OK;
    }
    cairo_pattern_t* createPattern() const override;
    const char* kind() const override { return "solid"; }
    GmpiDrawing_API::MP1_COLOR colorForRecord() const override { return color_; }

private:
    FactoryRef factory_;
    GmpiDrawing_API::MP1_COLOR color_;
};

class StopCollection final : public Counted<GmpiDrawing_API::IMpGradientStopCollection>
{
public:
    StopCollection(Factory* f, const GmpiDrawing_API::MP1_GRADIENT_STOP* stops, uint32_t count)
        : factory_(f), stops_(stops, stops + count)
    {}
    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override;
    int32_t GetFactory(GmpiDrawing_API::IMpFactory** out) override { return factory_.hand(out); }
    const std::vector<GmpiDrawing_API::MP1_GRADIENT_STOP>& stops() const { return stops_; }

private:
    FactoryRef factory_;
    std::vector<GmpiDrawing_API::MP1_GRADIENT_STOP> stops_;
};

// Shared part of the two gradient brushes.
struct GradientData
{
    std::vector<GmpiDrawing_API::MP1_GRADIENT_STOP> stops;
    float opacity = 1.0f;
    cairo_matrix_t brushToUser; // the brush transform

    GradientData(const StopCollection& c, const GmpiDrawing_API::MP1_BRUSH_PROPERTIES* p);
    void addStops(cairo_pattern_t* pattern) const;
    // Pattern matrix: user space -> brush space, then brushSpaceToPattern.
    void setMatrix(cairo_pattern_t* pattern, const cairo_matrix_t& brushSpaceToPattern) const;
};

class LinearBrush final : public Counted<GmpiDrawing_API::IMpLinearGradientBrush>, public PatternSource
{
public:
    LinearBrush(Factory* f, const GmpiDrawing_API::MP1_LINEAR_GRADIENT_BRUSH_PROPERTIES& p, GradientData d)
        : factory_(f), props_(p), data_(std::move(d))
    {}
    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override;
    int32_t GetFactory(GmpiDrawing_API::IMpFactory** out) override { return factory_.hand(out); }
    cairo_pattern_t* createPattern() const override;
    const char* kind() const override { return "linear"; }

private:
    FactoryRef factory_;
    GmpiDrawing_API::MP1_LINEAR_GRADIENT_BRUSH_PROPERTIES props_;
    GradientData data_;
};

class RadialBrush final : public Counted<GmpiDrawing_API::IMpRadialGradientBrush>, public PatternSource
{
public:
    RadialBrush(Factory* f, const GmpiDrawing_API::MP1_RADIAL_GRADIENT_BRUSH_PROPERTIES& p, GradientData d)
        : factory_(f), props_(p), data_(std::move(d))
    {}
    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override;
    int32_t GetFactory(GmpiDrawing_API::IMpFactory** out) override { return factory_.hand(out); }
    cairo_pattern_t* createPattern() const override;
    const char* kind() const override { return "radial"; }

private:
    FactoryRef factory_;
    GmpiDrawing_API::MP1_RADIAL_GRADIENT_BRUSH_PROPERTIES props_;
    GradientData data_;
};

class TextFormat final : public Counted<GmpiDrawing_API::IMpTextFormat>
{
public:
    // Takes over the scaled font.
    TextFormat(Factory* f, std::string family, cairo_scaled_font_t* font);

    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override;
    int32_t SetTextAlignment(GmpiDrawing_API::MP1_TEXT_ALIGNMENT a) override;
    int32_t SetParagraphAlignment(GmpiDrawing_API::MP1_PARAGRAPH_ALIGNMENT a) override;
    int32_t SetWordWrapping(GmpiDrawing_API::MP1_WORD_WRAPPING w) override;
    int32_t GetTextExtentU(const char* utf8, int32_t length, GmpiDrawing_API::MP1_SIZE* out) override;
    int32_t GetFontMetrics(GmpiDrawing_API::MP1_FONT_METRICS* out) override;
    int32_t SetLineSpacing(float lineSpacing, float baseline) override;

    cairo_scaled_font_t* font() const { return font_; }
    const std::string& family() const { return family_; }
    double advance(const std::string& utf8) const;
    double lineHeight() const;
    double baseline() const;
    // Lines of the text: split at line feeds, and at spaces to fit maxWidth
    // while word wrapping is on (maxWidth <= 0: no limit).
    std::vector<std::string> lines(const std::string& text, double maxWidth) const;

    int32_t alignment = 0;
    int32_t paragraphAlignment = 0;
    int32_t wordWrapping = 0;

private:
    ~TextFormat() override;
    FactoryRef factory_;
    std::string family_;
    cairo_scaled_font_t* font_;
    float lineSpacing_ = -1.0f;
    float baseline_ = 0.0f;
};

struct Figure
{
    GmpiDrawing_API::MP1_POINT start;
    std::vector<GmpiDrawing_API::MP1_POINT> points;
    bool filled = true;
    bool closed = false;
};

class PathGeometry final : public Counted<GmpiDrawing_API::IMpPathGeometry>
{
public:
    explicit PathGeometry(Factory* f) : factory_(f) {}
    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override;
    int32_t GetFactory(GmpiDrawing_API::IMpFactory** out) override { return factory_.hand(out); }
    int32_t Open(GmpiDrawing_API::IMpGeometrySink** returnSink) override;

    // Figures, drawable once the sink is closed.
    std::vector<Figure> figures;
    bool opened = false;
    bool closed = false;

private:
    FactoryRef factory_;
};

class GeometrySink final : public Counted<GmpiDrawing_API::IMpGeometrySink>
{
public:
    explicit GeometrySink(PathGeometry* g) : geometry_(g) { geometry_->addRef(); }
    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override;
    int32_t BeginFigure(GmpiDrawing_API::MP1_POINT start, GmpiDrawing_API::MP1_FIGURE_BEGIN begin) override;
    int32_t unusedSlot4() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot5() override { return gmpi::MP_NOSUPPORT; }
    int32_t EndFigure(GmpiDrawing_API::MP1_FIGURE_END end) override;
    int32_t Close() override;
    int32_t AddLine(GmpiDrawing_API::MP1_POINT point) override;

private:
    ~GeometrySink() override { geometry_->release(); }
    PathGeometry* geometry_;
    bool inFigure_ = false;
};

// Locked pixels in the pixel format the factory reports (Factory::pixelFormat).
// In formats 3 and 4 they are the surface's own bytes (blue, green, red,
// alpha); in formats 0 to 2 a copy laid out in that format, written back to
// the surface when a write lock ends.
class BitmapPixels final : public Counted<GmpiDrawing_API::IMpBitmapPixels>
{
public:
    BitmapPixels(Bitmap* b, int32_t flags, int32_t format);
    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override;
    uint8_t* getAddress() override;
    int32_t getBytesPerRow() override;
    int32_t getPixelFormat() override { return format_; }

private:
    ~BitmapPixels() override;
    Bitmap* bitmap_;
    int32_t flags_;
    int32_t format_;
    std::vector<uint8_t> copy_; // formats 0 to 2
};

// Answers MP_IID_UNKNOWN with the object itself.
int32_t answerUnknown(gmpi::IMpUnknown* self, const gmpi::MpGuid& iid, void** out);
} // namespace qwhost::drawing
