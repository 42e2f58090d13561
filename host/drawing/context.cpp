#include "drawing/objects.h"

#include "mp_sdk_common.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace qwhost::drawing
{
using namespace GmpiDrawing_API;

namespace
{
// cairo keeps coordinates in fixed point; far-off values are pulled in.
constexpr double kFar = 1.0e6;

double c(float v)
{
    return std::clamp(static_cast<double>(v), -kFar, kFar);
}

bool finite(std::initializer_list<float> values)
{
    for (float v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

bool finiteRect(const MP1_RECT* r)
{
    return r && finite({r->left, r->top, r->right, r->bottom});
}

bool usableWidth(float w)
{
    return std::isfinite(w) && w >= 0.0f;
}

std::vector<double> rectValues(const MP1_RECT* r)
{
    if (!r)
        return {};
    return {r->left, r->top, r->right, r->bottom};
}

void rectanglePath(cairo_t* cr, const MP1_RECT& r)
{
    const double l = c(std::min(r.left, r.right)), t = c(std::min(r.top, r.bottom));
    cairo_rectangle(cr, l, t, c(std::max(r.left, r.right)) - l, c(std::max(r.top, r.bottom)) - t);
}

// Valid UTF-8 of the caller's bytes; a line's carriage return is dropped.
std::string cleanText(const char* text, int32_t length)
{
    std::string s = gmpi_sdk::toUtf8(gmpi_sdk::fromUtf8(text ? text : "", static_cast<size_t>(length)));
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    s.erase(std::find(s.begin(), s.end(), '\0'), s.end());
    return s;
}

void addFigures(cairo_t* cr, const PathGeometry& g, bool forFill)
{
    for (auto& f : g.figures)
    {
        if (forFill && !f.filled)
            continue;
        cairo_new_sub_path(cr);
        cairo_move_to(cr, c(f.start.x), c(f.start.y));
        for (auto& p : f.points)
            cairo_line_to(cr, c(p.x), c(p.y));
        if (f.closed || forFill)
            cairo_close_path(cr);
    }
}

std::vector<MP1_POINT> pathPoints(const PathGeometry* g)
{
    std::vector<MP1_POINT> out;
    if (g)
        for (auto& f : g->figures)
        {
            out.push_back(f.start);
            out.insert(out.end(), f.points.begin(), f.points.end());
        }
    return out;
}

bool finiteGeometry(const PathGeometry& g)
{
    for (auto& f : g.figures)
    {
        if (!finite({f.start.x, f.start.y}))
            return false;
        for (auto& p : f.points)
            if (!finite({p.x, p.y}))
                return false;
    }
    return true;
}
} // namespace

DeviceContext::DeviceContext(Factory* factory, Bitmap* target, int targetId, bool offscreen)
    : factory_(factory), target_(target), cr_(cairo_create(target->surface())), targetId_(targetId),
      offscreen_(offscreen)
{
    factory_->addRef();
    target_->addRef();
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_GRAY);
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_MITER);
}

DeviceContext::~DeviceContext()
{
    cairo_destroy(cr_);
    cairo_surface_flush(target_->surface());
    target_->release();
    factory_->release();
}

int32_t DeviceContext::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    if (out && iid == gmpi::MP_IID_DEVICECONTEXT_MPGUI)
    {
        *out = static_cast<IMpDeviceContext*>(this);
        addRef();
        return gmpi::MP_OK;
    }
    return answerUnknown(this, iid, out);
}

int32_t DeviceContext::GetFactory(IMpFactory** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    factory_->addRef();
    *out = factory_;
    return gmpi::MP_OK;
}

void DeviceContext::record(DrawCall call)
{
    call.target = targetId_;
    factory_->record(std::move(call));
}

// Makes the brush the source of the next fill or stroke; false (and nothing
// drawn) for a null brush or one the factory did not make.
bool DeviceContext::setSource(IMpBrush* brush, DrawCall& call)
{
    auto* source = brush ? dynamic_cast<PatternSource*>(brush) : nullptr;
    if (!source)
        return false;
    call.brush = source->kind();
    call.color = source->colorForRecord();
    cairo_pattern_t* p = source->createPattern();
    cairo_set_source(cr_, p);
    cairo_pattern_destroy(p);
    return true;
}

// ---------------------------------------------------------------------------
// Resources

int32_t DeviceContext::CreateSolidColorBrush(const MP1_COLOR* color, IMpSolidColorBrush** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    if (!color)
        return gmpi::MP_FAIL;
    *out = new SolidBrush(factory_, *color);
    return gmpi::MP_OK;
}

int32_t DeviceContext::CreateGradientStopCollection(const MP1_GRADIENT_STOP* stops, uint32_t count,
                                                    IMpGradientStopCollection** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    if ((!stops && count) || count > 4096)
        return gmpi::MP_FAIL;
    *out = new StopCollection(factory_, stops, count);
    return gmpi::MP_OK;
}

int32_t DeviceContext::CreateLinearGradientBrush(const MP1_LINEAR_GRADIENT_BRUSH_PROPERTIES* properties,
                                                 const MP1_BRUSH_PROPERTIES* brushProperties,
                                                 IMpGradientStopCollection* stops, IMpLinearGradientBrush** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    auto* collection = stops ? dynamic_cast<StopCollection*>(stops) : nullptr;
    // Recorded with its points, then each stop's position and colour.
    DrawCall call{"CreateLinearGradientBrush", {}};
    if (properties)
        call.values = {properties->startPoint.x, properties->startPoint.y, properties->endPoint.x,
                       properties->endPoint.y};
    if (collection)
        for (auto& s : collection->stops())
            call.values.insert(call.values.end(), {s.position, s.color.r, s.color.g, s.color.b, s.color.a});
    record(std::move(call));
    if (!properties || !collection ||
        !finite({properties->startPoint.x, properties->startPoint.y, properties->endPoint.x, properties->endPoint.y}))
        return gmpi::MP_FAIL;
    *out = new LinearBrush(factory_, *properties, GradientData(*collection, brushProperties));
    return gmpi::MP_OK;
}

int32_t DeviceContext::CreateRadialGradientBrush(const MP1_RADIAL_GRADIENT_BRUSH_PROPERTIES* properties,
                                                 const MP1_BRUSH_PROPERTIES* brushProperties,
                                                 IMpGradientStopCollection* stops, IMpRadialGradientBrush** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    auto* collection = stops ? dynamic_cast<StopCollection*>(stops) : nullptr;
    DrawCall call{"CreateRadialGradientBrush", {}};
    if (properties)
        call.values = {properties->center.x,
                       properties->center.y,
                       properties->gradientOriginOffset.x,
                       properties->gradientOriginOffset.y,
                       properties->radiusX,
                       properties->radiusY};
    if (collection)
        for (auto& s : collection->stops())
            call.values.insert(call.values.end(), {s.position, s.color.r, s.color.g, s.color.b, s.color.a});
    record(std::move(call));
    if (!properties || !collection ||
        !finite({properties->center.x, properties->center.y, properties->gradientOriginOffset.x,
                 properties->gradientOriginOffset.y, properties->radiusX, properties->radiusY}))
        return gmpi::MP_FAIL;
    *out = new RadialBrush(factory_, *properties, GradientData(*collection, brushProperties));
    return gmpi::MP_OK;
}

int32_t DeviceContext::CreateCompatibleRenderTarget(const MP1_SIZE* size, IMpBitmapRenderTarget** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    DrawCall call{"CreateCompatibleRenderTarget", {}};
    if (size)
        call.values = {size->width, size->height};
    if (!size || !(size->width > 0.0f) || !(size->height > 0.0f) || !(size->width <= Factory::kMaxSide) ||
        !(size->height <= Factory::kMaxSide))
    {
        record(std::move(call));
        return gmpi::MP_FAIL;
    }
    Bitmap* bitmap =
        factory_->createBitmap(static_cast<int>(std::ceil(size->width)), static_cast<int>(std::ceil(size->height)));
    if (!bitmap)
    {
        record(std::move(call));
        return gmpi::MP_FAIL;
    }
    const int id = factory_->nextTargetId();
    call.values.push_back(id);
    record(std::move(call));
    *out = new DeviceContext(factory_, bitmap, id, true);
    bitmap->release();
    return gmpi::MP_OK;
}

int32_t DeviceContext::GetBitmap(IMpBitmap** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    *out = nullptr;
    if (!offscreen_)
        return gmpi::MP_NOSUPPORT;
    record({"GetBitmap", {}});
    // A copy: drawing on afterwards leaves the bitmap as it is.
    Bitmap* copy = factory_->createBitmap(target_->width(), target_->height());
    if (!copy)
        return gmpi::MP_FAIL;
    cairo_t* cr = cairo_create(copy->surface());
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_surface_flush(target_->surface());
    cairo_set_source_surface(cr, target_->surface(), 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(copy->surface());
    *out = copy;
    return gmpi::MP_OK;
}

// ---------------------------------------------------------------------------
// Drawing

int32_t DeviceContext::DrawLine(MP1_POINT p0, MP1_POINT p1, IMpBrush* brush, float width, IMpStrokeStyle*)
{
    DrawCall call{"DrawLine", {p0.x, p0.y, p1.x, p1.y, width}};
    const bool ok = finite({p0.x, p0.y, p1.x, p1.y}) && usableWidth(width) && setSource(brush, call);
    record(std::move(call));
    if (!ok)
        return gmpi::MP_FAIL;
    cairo_new_path(cr_);
    cairo_move_to(cr_, c(p0.x), c(p0.y));
    cairo_line_to(cr_, c(p1.x), c(p1.y));
    cairo_set_line_width(cr_, width);
    cairo_stroke(cr_);
    return gmpi::MP_OK;
}

int32_t DeviceContext::DrawRectangle(const MP1_RECT* rect, IMpBrush* brush, float width, IMpStrokeStyle*)
{
    DrawCall call{"DrawRectangle", rectValues(rect)};
    call.values.push_back(width);
    const bool ok = finiteRect(rect) && usableWidth(width) && setSource(brush, call);
    record(std::move(call));
    if (!ok)
        return gmpi::MP_FAIL;
    cairo_new_path(cr_);
    rectanglePath(cr_, *rect);
    cairo_set_line_width(cr_, width);
    cairo_stroke(cr_);
    return gmpi::MP_OK;
}

int32_t DeviceContext::FillRectangle(const MP1_RECT* rect, IMpBrush* brush)
{
    DrawCall call{"FillRectangle", rectValues(rect)};
    const bool ok = finiteRect(rect) && setSource(brush, call);
    record(std::move(call));
    if (!ok)
        return gmpi::MP_FAIL;
    cairo_new_path(cr_);
    rectanglePath(cr_, *rect);
    cairo_fill(cr_);
    return gmpi::MP_OK;
}

// Radii are limited to half the rectangle's sides; 0 gives square corners.
void DeviceContext::roundedRectPath(const MP1_ROUNDED_RECT& rr)
{
    const double l = c(std::min(rr.rect.left, rr.rect.right)), r = c(std::max(rr.rect.left, rr.rect.right));
    const double t = c(std::min(rr.rect.top, rr.rect.bottom)), b = c(std::max(rr.rect.top, rr.rect.bottom));
    const double rx = std::clamp(static_cast<double>(rr.radiusX), 0.0, (r - l) * 0.5);
    const double ry = std::clamp(static_cast<double>(rr.radiusY), 0.0, (b - t) * 0.5);
    cairo_new_path(cr_);
    if (rx <= 0.0 || ry <= 0.0)
    {
        cairo_rectangle(cr_, l, t, r - l, b - t);
        return;
    }
    auto corner = [&](double cx, double cy, double from, double to) {
        cairo_save(cr_);
        cairo_translate(cr_, cx, cy);
        cairo_scale(cr_, rx, ry);
        cairo_arc(cr_, 0.0, 0.0, 1.0, from, to);
        cairo_restore(cr_);
    };
    const double pi = M_PI;
    corner(r - rx, t + ry, -pi / 2, 0.0);
    corner(r - rx, b - ry, 0.0, pi / 2);
    corner(l + rx, b - ry, pi / 2, pi);
    corner(l + rx, t + ry, pi, 3 * pi / 2);
    cairo_close_path(cr_);
}

int32_t DeviceContext::DrawRoundedRectangle(const MP1_ROUNDED_RECT* rr, IMpBrush* brush, float width, IMpStrokeStyle*)
{
    DrawCall call{"DrawRoundedRectangle", rr ? rectValues(&rr->rect) : std::vector<double>{}};
    if (rr)
        call.values.insert(call.values.end(), {rr->radiusX, rr->radiusY});
    call.values.push_back(width);
    const bool ok = rr && finiteRect(&rr->rect) && finite({rr->radiusX, rr->radiusY}) && usableWidth(width) &&
                    setSource(brush, call);
    record(std::move(call));
    if (!ok)
        return gmpi::MP_FAIL;
    roundedRectPath(*rr);
    cairo_set_line_width(cr_, width);
    cairo_stroke(cr_);
    return gmpi::MP_OK;
}

int32_t DeviceContext::FillRoundedRectangle(const MP1_ROUNDED_RECT* rr, IMpBrush* brush)
{
    DrawCall call{"FillRoundedRectangle", rr ? rectValues(&rr->rect) : std::vector<double>{}};
    if (rr)
        call.values.insert(call.values.end(), {rr->radiusX, rr->radiusY});
    const bool ok = rr && finiteRect(&rr->rect) && finite({rr->radiusX, rr->radiusY}) && setSource(brush, call);
    record(std::move(call));
    if (!ok)
        return gmpi::MP_FAIL;
    roundedRectPath(*rr);
    cairo_fill(cr_);
    return gmpi::MP_OK;
}

// False when the ellipse has no area (nothing to draw).
bool DeviceContext::ellipsePath(const MP1_ELLIPSE& e)
{
    cairo_new_path(cr_);
    const double rx = std::min(std::fabs(static_cast<double>(e.radiusX)), kFar);
    const double ry = std::min(std::fabs(static_cast<double>(e.radiusY)), kFar);
    if (rx <= 0.0 || ry <= 0.0)
        return false;
    cairo_save(cr_);
    cairo_translate(cr_, c(e.point.x), c(e.point.y));
    cairo_scale(cr_, rx, ry);
    cairo_arc(cr_, 0.0, 0.0, 1.0, 0.0, 2 * M_PI);
    cairo_close_path(cr_);
    cairo_restore(cr_);
    return true;
}

int32_t DeviceContext::DrawEllipse(const MP1_ELLIPSE* e, IMpBrush* brush, float width, IMpStrokeStyle*)
{
    DrawCall call{"DrawEllipse", {}};
    if (e)
        call.values = {e->point.x, e->point.y, e->radiusX, e->radiusY};
    call.values.push_back(width);
    const bool ok =
        e && finite({e->point.x, e->point.y, e->radiusX, e->radiusY}) && usableWidth(width) && setSource(brush, call);
    record(std::move(call));
    if (!ok)
        return gmpi::MP_FAIL;
    if (ellipsePath(*e))
    {
        cairo_set_line_width(cr_, width);
        cairo_stroke(cr_);
    }
    return gmpi::MP_OK;
}

int32_t DeviceContext::FillEllipse(const MP1_ELLIPSE* e, IMpBrush* brush)
{
    DrawCall call{"FillEllipse", {}};
    if (e)
        call.values = {e->point.x, e->point.y, e->radiusX, e->radiusY};
    const bool ok = e && finite({e->point.x, e->point.y, e->radiusX, e->radiusY}) && setSource(brush, call);
    record(std::move(call));
    if (!ok)
        return gmpi::MP_FAIL;
    if (ellipsePath(*e))
        cairo_fill(cr_);
    return gmpi::MP_OK;
}

int32_t DeviceContext::DrawGeometry(IMpPathGeometry* geometry, IMpBrush* brush, float width, IMpStrokeStyle*)
{
    DrawCall call{"DrawGeometry", {width}};
    auto* g = geometry ? dynamic_cast<PathGeometry*>(geometry) : nullptr;
    if (factory_->recording())
        call.path = pathPoints(g);
    // A geometry is drawable once its sink is closed.
    const bool ok = g && g->closed && finiteGeometry(*g) && usableWidth(width) && setSource(brush, call);
    record(std::move(call));
    if (!ok)
        return gmpi::MP_FAIL;
    cairo_new_path(cr_);
    addFigures(cr_, *g, false);
    cairo_set_line_width(cr_, width);
    cairo_stroke(cr_);
    return gmpi::MP_OK;
}

int32_t DeviceContext::FillGeometry(IMpPathGeometry* geometry, IMpBrush* brush, IMpBrush* opacityBrush)
{
    DrawCall call{"FillGeometry", {}};
    auto* g = geometry ? dynamic_cast<PathGeometry*>(geometry) : nullptr;
    if (factory_->recording())
        call.path = pathPoints(g);
    auto* mask = opacityBrush ? dynamic_cast<PatternSource*>(opacityBrush) : nullptr;
    const bool ok = g && g->closed && finiteGeometry(*g) && (!opacityBrush || mask) && setSource(brush, call);
    record(std::move(call));
    if (!ok)
        return gmpi::MP_FAIL;
    cairo_new_path(cr_);
    addFigures(cr_, *g, true);
    if (!mask)
    {
        cairo_fill(cr_);
        return gmpi::MP_OK;
    }
    // The opacity brush's alpha scales the fill.
    cairo_push_group(cr_);
    cairo_fill(cr_);
    cairo_pop_group_to_source(cr_);
    cairo_pattern_t* m = mask->createPattern();
    cairo_mask(cr_, m);
    cairo_pattern_destroy(m);
    return gmpi::MP_OK;
}

int32_t DeviceContext::DrawBitmap(IMpBitmap* bitmap, const MP1_RECT* dest, float opacity, int32_t interpolation,
                                  const MP1_RECT* source)
{
    DrawCall call{"DrawBitmap", rectValues(dest)};
    auto* b = bitmap ? dynamic_cast<Bitmap*>(bitmap) : nullptr;
    MP1_RECT src{0.0f, 0.0f, 0.0f, 0.0f};
    if (b)
        src = source ? *source : MP1_RECT{0.0f, 0.0f, static_cast<float>(b->width()), static_cast<float>(b->height())};
    const std::vector<double> s = rectValues(&src);
    call.values.insert(call.values.end(), s.begin(), s.end());
    call.values.insert(call.values.end(), {opacity, static_cast<double>(interpolation)});
    const bool ok = b && finiteRect(dest) && finiteRect(&src) && std::isfinite(opacity);
    record(std::move(call));
    if (!ok)
        return gmpi::MP_FAIL;

    const double sw = static_cast<double>(src.right) - src.left, sh = static_cast<double>(src.bottom) - src.top;
    const double dw = static_cast<double>(dest->right) - dest->left, dh = static_cast<double>(dest->bottom) - dest->top;
    if (!(sw > 0.0) || !(sh > 0.0) || !(dw > 0.0) || !(dh > 0.0))
        return gmpi::MP_OK; // nothing to draw

    cairo_surface_flush(b->surface());
    // A source part inside the bitmap is read on its own, so scaling never
    // blends in the pixels around it (the neighbouring frames of a strip).
    const bool inside = src.left >= 0.0f && src.top >= 0.0f && src.right <= b->width() && src.bottom <= b->height();
    cairo_surface_t* part = inside ? cairo_surface_create_for_rectangle(b->surface(), src.left, src.top, sw, sh)
                                   : cairo_surface_reference(b->surface());
    cairo_pattern_t* p = cairo_pattern_create_for_surface(part);
    cairo_surface_destroy(part);
    cairo_pattern_set_extend(p, inside ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    cairo_pattern_set_filter(p, interpolation == MP1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR
                                    ? CAIRO_FILTER_NEAREST
                                    : CAIRO_FILTER_BILINEAR);
    // Pattern space from user space: destination -> source.
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, sw / dw, sh / dh);
    cairo_matrix_translate(&m, -c(dest->left), -c(dest->top));
    if (!inside)
    {
        cairo_matrix_t shift;
        cairo_matrix_init_translate(&shift, src.left, src.top);
        cairo_matrix_multiply(&m, &m, &shift);
    }
    cairo_pattern_set_matrix(p, &m);

    cairo_save(cr_);
    cairo_new_path(cr_);
    rectanglePath(cr_, *dest);
    cairo_clip(cr_);
    cairo_set_source(cr_, p);
    cairo_paint_with_alpha(cr_, std::clamp(static_cast<double>(opacity), 0.0, 1.0));
    cairo_restore(cr_);
    cairo_pattern_destroy(p);
    return gmpi::MP_OK;
}

int32_t DeviceContext::DrawTextU(const char* utf8, int32_t length, IMpTextFormat* textFormat, const MP1_RECT* rect,
                                 IMpBrush* brush, int32_t options)
{
    DrawCall call{"DrawTextU", rectValues(rect)};
    call.values.insert(call.values.end(), {static_cast<double>(options), static_cast<double>(length)});
    auto* tf = textFormat ? dynamic_cast<TextFormat*>(textFormat) : nullptr;
    const bool argsOk = length >= 0 && (utf8 || length == 0);
    if (argsOk)
        call.text = cleanText(utf8, length);
    const bool ok = argsOk && tf && finiteRect(rect) && setSource(brush, call);
    record(std::move(call));
    if (!ok)
        return gmpi::MP_FAIL;
    const std::string text = cleanText(utf8, length);
    if (text.empty())
        return gmpi::MP_OK;

    const double left = c(rect->left), right = c(rect->right), top = c(rect->top), bottom = c(rect->bottom);
    const auto lines = tf->lines(text, right - left);
    const double lineHeight = tf->lineHeight();
    const double total = lineHeight * static_cast<double>(lines.size());
    double y = top;
    if (tf->paragraphAlignment == MP1_PARAGRAPH_ALIGNMENT_FAR)
        y = bottom - total;
    else if (tf->paragraphAlignment == MP1_PARAGRAPH_ALIGNMENT_CENTER)
        y = (top + bottom - total) * 0.5;

    cairo_save(cr_);
    if (options & MP1_DRAW_TEXT_OPTIONS_CLIP)
    {
        cairo_new_path(cr_);
        rectanglePath(cr_, *rect);
        cairo_clip(cr_);
    }
    cairo_set_scaled_font(cr_, tf->font());
    for (auto& line : lines)
    {
        const double w = tf->advance(line);
        double x = left;
        if (tf->alignment == MP1_TEXT_ALIGNMENT_TRAILING)
            x = right - w;
        else if (tf->alignment == MP1_TEXT_ALIGNMENT_CENTER)
            x = (left + right - w) * 0.5;
        if (!line.empty())
        {
            cairo_new_path(cr_);
            cairo_move_to(cr_, x, y + tf->baseline());
            cairo_show_text(cr_, line.c_str());
        }
        y += lineHeight;
    }
    cairo_restore(cr_);
    return gmpi::MP_OK;
}

int32_t DeviceContext::PushAxisAlignedClip(const MP1_RECT* rect)
{
    record({"PushAxisAlignedClip", rectValues(rect)});
    cairo_save(cr_);
    cairo_new_path(cr_);
    if (finiteRect(rect))
        rectanglePath(cr_, *rect);
    else
        cairo_rectangle(cr_, 0, 0, 0, 0); // nothing passes an unusable clip
    cairo_clip(cr_);
    ++clipDepth_;
    return rect ? gmpi::MP_OK : gmpi::MP_FAIL;
}

int32_t DeviceContext::PopAxisAlignedClip()
{
    record({"PopAxisAlignedClip", {}});
    if (clipDepth_ == 0)
        return gmpi::MP_FAIL;
    cairo_restore(cr_);
    --clipDepth_;
    return gmpi::MP_OK;
}

int32_t DeviceContext::Clear(const MP1_COLOR* color)
{
    DrawCall call{"Clear", {}};
    if (color)
        call.values = {color->r, color->g, color->b, color->a};
    record(std::move(call));
    if (!color)
        return gmpi::MP_FAIL;
    cairo_pattern_t* p = solidPattern(*color);
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
    cairo_set_source(cr_, p);
    cairo_paint(cr_);
    cairo_restore(cr_);
    cairo_pattern_destroy(p);
    return gmpi::MP_OK;
}

int32_t DeviceContext::BeginDraw()
{
    record({"BeginDraw", {}});
    drawing_ = true;
    return gmpi::MP_OK;
}

// Ends drawing; clips left pushed are popped, and the call then fails.
int32_t DeviceContext::EndDraw()
{
    record({"EndDraw", {}});
    const bool balanced = clipDepth_ == 0;
    while (clipDepth_ > 0)
    {
        cairo_restore(cr_);
        --clipDepth_;
    }
    cairo_surface_flush(target_->surface());
    const bool wasDrawing = drawing_;
    drawing_ = false;
    return (balanced && wasDrawing) ? gmpi::MP_OK : gmpi::MP_FAIL;
}

} // namespace qwhost::drawing
