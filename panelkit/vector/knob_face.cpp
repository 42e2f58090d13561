#include "knob_face.h"

#include "srgb.h"

#include <algorithm>

namespace qw::vector
{
using GmpiDrawing::Ellipse;
using GmpiDrawing::Rect;
using GmpiDrawing::Size;

namespace
{
Color opaque(Color c)
{
    c.a = 1.0f;
    return c;
}

Color shaded(const Color& c, float k)
{
    return Color(k * c.r, k * c.g, k * c.b, 1.0f);
}

void disc(const Graphics_base& g, Point o, float x, float y, float r, const GmpiDrawing::Brush& brush)
{
    g.FillEllipse(Ellipse(Point(o.x + x, o.y + y), r), brush);
}

void paintBody(const Graphics_base& g, Point o, float s, const KnobLook& look)
{
    const float d = 0.04f * s;
    const float r = 0.5f * (s - d) - 1.0f;
    const float h = 0.5f * s;
    disc(g, o, h - 0.5f * d, h - 0.5f * d, r, g.CreateSolidColorBrush(Color(0.0f, 0.0f, 0.0f, look.bevel)));
    disc(g, o, h + 0.5f * d, h + 0.5f * d, r, g.CreateSolidColorBrush(Color(1.0f, 1.0f, 1.0f, look.bevel)));
    disc(g, o, h, h, r, g.CreateSolidColorBrush(Color(0.0f, 0.0f, 0.0f, 1.0f)));

    // Below 80 pixels the face keeps a 2-pixel rim; the two agree at 80.
    const float f = s < 80.0f ? 1.0f - 4.000001f / s : 0.95f;
    disc(g, o, h, h, 0.5f * (s - d) * f,
         g.CreateLinearGradientBrush(look.body, shaded(look.body, look.shade), o, Point(o.x + s, o.y + s)));
    if (look.shine)
        g.FillEllipse(Ellipse(Point(o.x + h, o.y + 0.25f * s), 0.3f * f * s, 0.18f * f * s),
                      g.CreateLinearGradientBrush(Color(1.0f, 1.0f, 1.0f, 0.0f), Color(1.0f, 1.0f, 1.0f, 1.0f), o,
                                                  Point(o.x, o.y + f * s)));
}

void paintCap(const Graphics_base& g, Point o, float c, const KnobLook& look)
{
    const Color near = look.concave ? shaded(look.cap, look.shade) : look.cap;
    const Color far = look.concave ? look.cap : shaded(look.cap, look.shade);
    const float h = 0.5f * c;
    disc(g, o, h, h, h - 1.0f, g.CreateLinearGradientBrush(near, far, o, Point(o.x + c, o.y + c)));
    if (!look.spot)
        return;
    const float offset = 0.55f * h * 0.6f; // 0.0495 s
    const float r1 = 0.45f * c * 0.5f;     // 0.0675 s
    const float q = look.concave ? h + offset : h - offset;
    const Color light(1.0f, 1.0f, 1.0f, 0.4392157f); // 112 of 255
    if (look.shine)
        disc(g, o, q, q, 0.5f * r1, g.CreateSolidColorBrush(light));
    else
        disc(g, o, q, q, r1,
             g.CreateRadialGradientBrush(Point(o.x + q, o.y + q), r1, light, Color(1.0f, 1.0f, 1.0f, 0.0f)));
}
} // namespace

Color knobDefaultColour()
{
    return controls::colorOf(0xFFA0C8FFu);
}

void knobColours(const std::wstring& bodyText, const std::wstring& capText, Color& body, Color& cap)
{
    body = opaque(controls::colorOf(bodyText, knobDefaultColour()));
    cap = opaque(controls::colorOf(capText, body));
}

void KnobFace::draw(const Graphics_base& g, float width, float height, const KnobLook& look, float dx, float dy)
{
    const float s = std::min(width, height);
    if (!(s >= 1.0f) || !(std::max(width, height) <= 3.0e38f))
        return;
    const float c = 0.3f * s;
    if (s != size_ || !body_.cached() || !cap_.cached())
    {
        drop();
        size_ = s;
    }
    const float x0 = width > height ? 0.5f * (width - s) : 0.0f;
    const float y0 = height < width ? 0.0f : 0.5f * (height - s);
    const float radius = 0.25f * (s + 0.2f * (s - 2.0f * c)); // 0.27 s
    const float left = 0.5f * width + radius * dx - 0.5f * c;
    const float top = 0.5f * height - radius * dy - 0.5f * c;
    const Rect body(x0, y0, x0 + s - 1.0f, y0 + s - 1.0f), cap(left, top, left + c - 1.0f, top + c - 1.0f);
    auto paintBodyAt = [&](const Graphics_base& t, Point o) { paintBody(t, o, s, look); };
    auto paintCapAt = [&](const Graphics_base& t, Point o) { paintCap(t, o, c, look); };
    if (s > kMaxCachedSize)
    {
        drop();
        controls::CachedLayer::drawDirect(g, body, paintBodyAt);
        controls::CachedLayer::drawDirect(g, cap, paintCapAt);
        return;
    }
    body_.draw(g, Size(s, s), body, Rect(0.0f, 0.0f, s - 1.0f, s - 1.0f), paintBodyAt);
    cap_.draw(g, Size(c, c), cap, Rect(0.0f, 0.0f, c - 1.0f, c - 1.0f), paintCapAt);
}

bool KnobFace::hit(float x, float y, float width, float height) const
{
    const float dx = x - 0.5f * width, dy = y - 0.5f * height;
    return dx * dx + dy * dy < 0.25f * size_ * size_;
}
} // namespace qw::vector
