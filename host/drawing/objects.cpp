#include "drawing/objects.h"

#include "mp_sdk_common.h"

#include <algorithm>
#include <cmath>

namespace qwhost::drawing
{
using namespace GmpiDrawing_API;

int32_t answerUnknown(gmpi::IMpUnknown* self, const gmpi::MpGuid& iid, void** out)
{
    if (!out)
        return gmpi::MP_FAIL;
    if (iid == gmpi::MP_IID_UNKNOWN)
    {
        *out = self;
        self->addRef();
        return gmpi::MP_OK;
    }
    *out = nullptr;
    return gmpi::MP_NOSUPPORT;
}

double linearToSrgb(double y)
{
    if (!(y > 0.0)) // also NaN
        return 0.0;
    if (y >= 1.0)
        return 1.0;
    return y <= 0.00313066844250063 ? 12.92 * y : 1.055 * std::pow(y, 1.0 / 2.4) - 0.055;
}

namespace
{
double unitAlpha(float a)
{
    return a > 0.0f ? std::min(1.0, static_cast<double>(a)) : 0.0; // NaN -> 0
}
} // namespace

// ---------------------------------------------------------------------------
// Brushes

int32_t SolidBrush::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    return answerUnknown(this, iid, out);
}

cairo_pattern_t* solidPattern(const MP1_COLOR& c)
{
    return cairo_pattern_create_rgba(linearToSrgb(c.r), linearToSrgb(c.g), linearToSrgb(c.b), unitAlpha(c.a));
}

cairo_pattern_t* SolidBrush::createPattern() const
{
    return solidPattern(color_);
}

int32_t StopCollection::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    return answerUnknown(this, iid, out);
}

GradientData::GradientData(const StopCollection& c, const MP1_BRUSH_PROPERTIES* p) : stops(c.stops())
{
    cairo_matrix_init_identity(&brushToUser);
    if (p)
    {
        opacity = static_cast<float>(unitAlpha(p->opacity));
        const MP1_MATRIX_3X2& t = p->transform;
        cairo_matrix_t m;
        cairo_matrix_init(&m, t._11, t._12, t._21, t._22, t._31, t._32);
        cairo_matrix_t inverse = m;
        const bool finite = std::isfinite(t._11) && std::isfinite(t._12) && std::isfinite(t._21) &&
                            std::isfinite(t._22) && std::isfinite(t._31) && std::isfinite(t._32);
        if (finite && cairo_matrix_invert(&inverse) == CAIRO_STATUS_SUCCESS)
            brushToUser = m;
    }
    // Stops in order of position (equal positions keep their order).
    std::stable_sort(stops.begin(), stops.end(),
                     [](const MP1_GRADIENT_STOP& a, const MP1_GRADIENT_STOP& b) { return a.position < b.position; });
}

void GradientData::addStops(cairo_pattern_t* pattern) const
{
    for (auto& s : stops)
    {
        const double pos = s.position > 0.0f ? std::min(1.0, static_cast<double>(s.position)) : 0.0;
        cairo_pattern_add_color_stop_rgba(pattern, pos, linearToSrgb(s.color.r), linearToSrgb(s.color.g),
                                          linearToSrgb(s.color.b), unitAlpha(s.color.a) * opacity);
    }
}

void GradientData::setMatrix(cairo_pattern_t* pattern, const cairo_matrix_t& brushSpaceToPattern) const
{
    cairo_matrix_t userToBrush = brushToUser;
    cairo_matrix_invert(&userToBrush); // invertible: checked on construction
    cairo_matrix_t m;
    cairo_matrix_multiply(&m, &userToBrush, &brushSpaceToPattern);
    cairo_pattern_set_matrix(pattern, &m);
}

int32_t LinearBrush::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    return answerUnknown(this, iid, out);
}

cairo_pattern_t* LinearBrush::createPattern() const
{
    cairo_pattern_t* p =
        cairo_pattern_create_linear(props_.startPoint.x, props_.startPoint.y, props_.endPoint.x, props_.endPoint.y);
    data_.addStops(p);
    cairo_matrix_t identity;
    cairo_matrix_init_identity(&identity);
    data_.setMatrix(p, identity);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
    return p;
}

int32_t RadialBrush::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    return answerUnknown(this, iid, out);
}

cairo_pattern_t* RadialBrush::createPattern() const
{
    const float rx = props_.radiusX, ry = props_.radiusY;
    if (!(rx > 0.0f) || !(ry > 0.0f) || data_.stops.empty())
    {
        // No extent: everything lies beyond the radius and takes the last stop.
        if (data_.stops.empty())
            return cairo_pattern_create_rgba(0, 0, 0, 0);
        const MP1_COLOR& c = data_.stops.back().color;
        return cairo_pattern_create_rgba(linearToSrgb(c.r), linearToSrgb(c.g), linearToSrgb(c.b),
                                         unitAlpha(c.a) * data_.opacity);
    }
    // In pattern space the ellipse is the unit circle around the origin.
    cairo_pattern_t* p = cairo_pattern_create_radial(props_.gradientOriginOffset.x / rx,
                                                     props_.gradientOriginOffset.y / ry, 0.0, 0.0, 0.0, 1.0);
    data_.addStops(p);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, 1.0 / rx, 1.0 / ry);
    cairo_matrix_translate(&m, -props_.center.x, -props_.center.y);
    data_.setMatrix(p, m);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
    return p;
}

// ---------------------------------------------------------------------------
// Text formats

TextFormat::TextFormat(Factory* f, std::string family, cairo_scaled_font_t* font)
    : factory_(f), family_(std::move(family)), font_(font)
{}

TextFormat::~TextFormat()
{
    cairo_scaled_font_destroy(font_);
}

int32_t TextFormat::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    if (out && iid == gmpi::MP_IID_TEXTFORMAT_MPGUI)
    {
        *out = static_cast<IMpTextFormat*>(this);
        addRef();
        return gmpi::MP_OK;
    }
    return answerUnknown(this, iid, out);
}

int32_t TextFormat::SetTextAlignment(MP1_TEXT_ALIGNMENT a)
{
    if (a < 0 || a > 2)
        return gmpi::MP_FAIL;
    alignment = a;
    return gmpi::MP_OK;
}

int32_t TextFormat::SetParagraphAlignment(MP1_PARAGRAPH_ALIGNMENT a)
{
    if (a < 0 || a > 2)
        return gmpi::MP_FAIL;
    paragraphAlignment = a;
    return gmpi::MP_OK;
}

int32_t TextFormat::SetWordWrapping(MP1_WORD_WRAPPING w)
{
    if (w < 0 || w > 1)
        return gmpi::MP_FAIL;
    wordWrapping = w;
    return gmpi::MP_OK;
}

int32_t TextFormat::SetLineSpacing(float lineSpacing, float baseline)
{
    if (!std::isfinite(lineSpacing) || !std::isfinite(baseline))
        return gmpi::MP_FAIL;
    lineSpacing_ = lineSpacing;
    baseline_ = baseline;
    return gmpi::MP_OK;
}

double TextFormat::advance(const std::string& utf8) const
{
    if (utf8.empty())
        return 0.0;
    cairo_text_extents_t e;
    cairo_scaled_font_text_extents(font_, utf8.c_str(), &e);
    return e.x_advance;
}

double TextFormat::lineHeight() const
{
    if (lineSpacing_ > 0.0f)
        return lineSpacing_;
    cairo_font_extents_t e;
    cairo_scaled_font_extents(font_, &e);
    return e.height;
}

double TextFormat::baseline() const
{
    if (lineSpacing_ > 0.0f && baseline_ > 0.0f)
        return baseline_;
    cairo_font_extents_t e;
    cairo_scaled_font_extents(font_, &e);
    return e.ascent;
}

std::vector<std::string> TextFormat::lines(const std::string& text, double maxWidth) const
{
    std::vector<std::string> out;
    size_t start = 0;
    while (true)
    {
        const size_t end = text.find('\n', start);
        std::string paragraph = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (wordWrapping == MP1_WORD_WRAPPING_WRAP && maxWidth > 0.0 && advance(paragraph) > maxWidth)
        {
            std::string line;
            size_t w = 0;
            while (w <= paragraph.size())
            {
                size_t sp = paragraph.find(' ', w);
                if (sp == std::string::npos)
                    sp = paragraph.size();
                const std::string word = paragraph.substr(w, sp - w);
                const std::string candidate = line.empty() ? word : line + " " + word;
                if (!line.empty() && advance(candidate) > maxWidth)
                {
                    out.push_back(line);
                    line = word;
                }
                else
                {
                    line = candidate;
                }
                w = sp + 1;
            }
            out.push_back(line);
        }
        else
        {
            out.push_back(paragraph);
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return out;
}

int32_t TextFormat::GetTextExtentU(const char* utf8, int32_t length, MP1_SIZE* out)
{
    if (!out || length < 0 || (!utf8 && length > 0))
        return gmpi::MP_FAIL;
    const std::string text = gmpi_sdk::toUtf8(gmpi_sdk::fromUtf8(utf8 ? utf8 : "", static_cast<size_t>(length)));
    double width = 0.0;
    const auto ls = lines(text, 0.0);
    for (auto& l : ls)
        width = std::max(width, advance(l));
    out->width = static_cast<float>(width);
    out->height = static_cast<float>(lineHeight() * static_cast<double>(ls.size()));
    return gmpi::MP_OK;
}

int32_t TextFormat::GetFontMetrics(MP1_FONT_METRICS* out)
{
    if (!out)
        return gmpi::MP_FAIL;
    cairo_font_extents_t fe;
    cairo_scaled_font_extents(font_, &fe);
    cairo_text_extents_t cap, x;
    cairo_scaled_font_text_extents(font_, "H", &cap);
    cairo_scaled_font_text_extents(font_, "x", &x);
    out->ascent = static_cast<float>(fe.ascent);
    out->descent = static_cast<float>(fe.descent);
    out->lineGap = static_cast<float>(std::max(0.0, fe.height - fe.ascent - fe.descent));
    out->capHeight = static_cast<float>(-cap.y_bearing);
    out->xHeight = static_cast<float>(-x.y_bearing);
    return gmpi::MP_OK;
}

// ---------------------------------------------------------------------------
// Path geometry

int32_t PathGeometry::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    return answerUnknown(this, iid, out);
}

int32_t PathGeometry::Open(IMpGeometrySink** returnSink)
{
    if (!returnSink)
        return gmpi::MP_FAIL;
    *returnSink = nullptr;
    if (opened)
        return gmpi::MP_FAIL;
    opened = true;
    *returnSink = new GeometrySink(this);
    return gmpi::MP_OK;
}

int32_t GeometrySink::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    return answerUnknown(this, iid, out);
}

int32_t GeometrySink::BeginFigure(MP1_POINT start, MP1_FIGURE_BEGIN begin)
{
    if (geometry_->closed)
        return gmpi::MP_FAIL;
    if (inFigure_)
        EndFigure(MP1_FIGURE_END_OPEN);
    Figure f;
    f.start = start;
    f.filled = begin == MP1_FIGURE_BEGIN_FILLED;
    geometry_->figures.push_back(std::move(f));
    inFigure_ = true;
    return gmpi::MP_OK;
}

int32_t GeometrySink::AddLine(MP1_POINT point)
{
    if (geometry_->closed || !inFigure_)
        return gmpi::MP_FAIL;
    geometry_->figures.back().points.push_back(point);
    return gmpi::MP_OK;
}

int32_t GeometrySink::EndFigure(MP1_FIGURE_END end)
{
    if (geometry_->closed || !inFigure_)
        return gmpi::MP_FAIL;
    geometry_->figures.back().closed = end == MP1_FIGURE_END_CLOSED;
    inFigure_ = false;
    return gmpi::MP_OK;
}

int32_t GeometrySink::Close()
{
    if (geometry_->closed)
        return gmpi::MP_FAIL;
    if (inFigure_)
        EndFigure(MP1_FIGURE_END_OPEN);
    geometry_->closed = true;
    return gmpi::MP_OK;
}

// ---------------------------------------------------------------------------
// Locked pixels

namespace
{
// Where blue, green, red and alpha of a stored pixel go in a pixel of the format.
struct Order
{
    int b, g, r, a;
};
Order orderOf(int32_t format)
{
    switch (format)
    {
    case MP1_PIXEL_FORMAT_ARGB:
        return {3, 2, 1, 0};
    case MP1_PIXEL_FORMAT_RGBA:
        return {2, 1, 0, 3};
    case MP1_PIXEL_FORMAT_ABGR:
        return {1, 2, 3, 0};
    default:
        return {0, 1, 2, 3};
    }
}
} // namespace

BitmapPixels::BitmapPixels(Bitmap* b, int32_t flags, int32_t format) : bitmap_(b), flags_(flags), format_(format)
{
    bitmap_->addRef();
    cairo_surface_t* s = bitmap_->surface();
    cairo_surface_flush(s);
    if (format_ < MP1_PIXEL_FORMAT_ARGB || format_ > MP1_PIXEL_FORMAT_ABGR)
        return;
    const Order o = orderOf(format_);
    const int stride = cairo_image_surface_get_stride(s), h = cairo_image_surface_get_height(s);
    const uint8_t* data = cairo_image_surface_get_data(s);
    copy_.resize(static_cast<size_t>(stride) * h);
    for (size_t i = 0; i + 4 <= copy_.size(); i += 4)
    {
        copy_[i + o.b] = data[i];
        copy_[i + o.g] = data[i + 1];
        copy_[i + o.r] = data[i + 2];
        copy_[i + o.a] = data[i + 3];
    }
}

BitmapPixels::~BitmapPixels()
{
    cairo_surface_t* s = bitmap_->surface();
    if (!copy_.empty() && (flags_ & MP1_BITMAP_LOCK_WRITE))
    {
        const Order o = orderOf(format_);
        uint8_t* data = cairo_image_surface_get_data(s);
        for (size_t i = 0; i + 4 <= copy_.size(); i += 4)
        {
            data[i] = copy_[i + o.b];
            data[i + 1] = copy_[i + o.g];
            data[i + 2] = copy_[i + o.r];
            data[i + 3] = copy_[i + o.a];
        }
    }
    if (flags_ & MP1_BITMAP_LOCK_WRITE)
        cairo_surface_mark_dirty(s);
    bitmap_->release();
}

int32_t BitmapPixels::queryInterface(const gmpi::MpGuid& iid, void** out)
{
    return answerUnknown(this, iid, out);
}

uint8_t* BitmapPixels::getAddress()
{
    if (!copy_.empty())
        return copy_.data();
    return cairo_image_surface_get_data(bitmap_->surface());
}

int32_t BitmapPixels::getBytesPerRow()
{
    return cairo_image_surface_get_stride(bitmap_->surface());
}

} // namespace qwhost::drawing
