#include "control_parts.h"

#include "FontCache.h"
#include "it_enum_list.h"
#include "mp_api_dialogs.h"
#include "mp_sdk_gui2.h"
#include "skin_text.h"
#include "srgb.h"

#include <algorithm>
#include <cmath>

namespace qw::controls
{
using GmpiDrawing::RoundedRect;

Color colorOf(const std::wstring& text, const Color& otherwise)
{
    GmpiDrawing_API::MP1_COLOR c;
    return mp_sdk::colorFromText(text, c) ? Color(c) : otherwise;
}

Color colorOf(uint32_t argb)
{
    return Color(mp_sdk::colorFromArgb(argb));
}

void addMenuItems(gmpi::IMpUnknown* sink, const std::wstring& text)
{
    gmpi_sdk::mp_shared_ptr<gmpi_gui::IMpContextItemSink> items;
    if (!sink || sink->queryInterface(gmpi::MP_IID_CONTEXT_ITEMS_SINK, items.asIMpUnknownPtr()) != gmpi::MP_OK ||
        !items)
        return;
    it_enum_list list(text);
    int taken = 0;
    for (list.First(); !list.IsDone() && taken < kMaxListEntries; list.Next(), ++taken)
    {
        std::string utf8; // empty when the entry has no UTF-8 form
        skin::toUtf8Exact(list.current().text, utf8);
        items->AddItem(utf8.c_str(), list.current().value, 0);
    }
}

GmpiDrawing::TextFormat_readonly keyedTextFormat(gmpi_gui::MpGuiGfxBase& module, const std::string& key,
                                                 const std::string& styleUtf8, int32_t wrapping,
                                                 const FontMetadata*& metadata)
{
    metadata = nullptr;
    gmpi::IMpUserInterfaceHost2* host = module.getHost();
    gmpi_gui::IMpGraphicsHost* graphicsHost = module.getGuiHost();
    if (!graphicsHost)
        return {};
    FontCache& cache = FontCache::instance();
    FontMetadata* kept = nullptr;
    GmpiDrawing::TextFormat_readonly format = cache.TextFormatExists(host, graphicsHost, key, &kept);
    if (format.isNull())
    {
        FontMetadata* style = nullptr;
        cache.GetTextFormat(host, graphicsHost, styleUtf8, &style);
        if (!style)
            return {};
        GmpiDrawing::TextFormat custom = cache.AddCustomTextFormat(host, graphicsHost, key, style);
        if (custom.isNull())
            return {};
        custom.SetWordWrapping(static_cast<GmpiDrawing::WordWrapping>(wrapping));
        format = cache.TextFormatExists(host, graphicsHost, key, &kept);
    }
    if (!format.isNull())
        metadata = kept;
    return format;
}

void drawTextField(const Graphics_base& g, float width, float height, float inset, const FontMetadata* style,
                   const GmpiDrawing::TextFormat_readonly& format, Color background, Color text, float fade,
                   const std::string& utf8)
{
    const Color none(0.0f, 0.0f, 0.0f, 0.0f);
    if (background.a == kStyleColour)
        background = style ? style->getBackgroundColor() : none;
    if (text.a == kStyleColour)
        text = style ? style->getColor() : none;

    const float dx = std::min(inset, width * 0.5f), dy = std::min(inset, height * 0.5f);
    Rect r(dx, dy, width - dx, height - dy);
    auto brush = g.CreateSolidColorBrush(faded(background, fade));
    g.FillRectangle(r, brush);
    if (format.isNull())
        return;
    if (style && style->legacySizing)
    {
        const float offset = static_cast<float>(style->getLegacyVerticalOffset());
        r.top += offset;
        r.bottom += offset;
    }
    brush.SetColor(faded(text, fade));
    g.DrawTextU(utf8, format, r, brush, 2);
}

int32_t answerToolTip(gmpi::IString* out, const std::string& utf8)
{
    if (!out)
        return gmpi::MP_FAIL;
    out->setData(utf8.data(), static_cast<int32_t>(utf8.size()));
    return gmpi::MP_OK;
}

namespace
{
Rect shifted(const Rect& r, float d)
{
    return Rect(r.left + d, r.top + d, r.right + d, r.bottom + d);
}

void drawGrip(const Graphics_base& g, const Rect& k, const Color& c, GmpiDrawing::SolidColorBrush& brush,
              bool horizontal)
{
    const Color light(c.r + 0.2f, c.g + 0.2f, c.b + 0.2f, c.a);
    const Color dark(c.r * 0.5f, c.g * 0.5f, c.b * 0.5f, c.a);
    // Along the axis: 14 units of ridges need 8 free on either side.
    const float along = horizontal ? k.right - k.left : k.bottom - k.top;
    const float m = (along - 14.0f) * 0.5f;
    if (!(m >= 8.0f))
        return;
    const float a0 = (horizontal ? k.top : k.left) + 6.0f;
    const float a1 = (horizontal ? k.bottom : k.right) - 6.0f;
    if (!(a1 - a0 >= 2.0f))
        return;
    float p = std::floor((horizontal ? k.left : k.top) + m) + 0.5f;
    auto line = [&](float at, float from, float to) {
        if (horizontal)
            g.DrawLine(Point(at, from), Point(at, to), brush, 1.0f);
        else
            g.DrawLine(Point(from, at), Point(to, at), brush, 1.0f);
    };
    for (int i = 0; i < 5; ++i)
    {
        brush.SetColor(light);
        line(p, a0, a1);
        p += 1.0f;
        brush.SetColor(dark);
        line(p, a0 + 1.0f, a1 + 1.0f);
        p += 2.0f;
    }
}
} // namespace

void drawCursor(const Graphics_base& g, const Rect& k, const CursorLook& look)
{
    const Color& c = look.color;
    const float r = look.radius;
    GmpiDrawing::SolidColorBrush brush = g.CreateSolidColorBrush(c);
    if (look.bevel)
    {
        brush.SetColor(Color(c.r + 0.25f, c.g + 0.25f, c.b + 0.25f, c.a));
        g.FillRoundedRectangle(RoundedRect(shifted(k, -1.0f), r, r), brush);
        brush.SetColor(Color(c.r * 0.5f, c.g * 0.5f, c.b * 0.5f, c.a));
        g.FillRoundedRectangle(RoundedRect(shifted(k, 1.0f), r, r), brush);
        brush.SetColor(c);
    }
    g.FillRoundedRectangle(RoundedRect(k, r, r), brush);
    if (look.grip)
        drawGrip(g, k, c, brush, look.horizontal);
}

void drawBackground(const Graphics_base& g, float width, float height, const BackgroundLook& look)
{
    const float half = look.outline * 0.5f;
    const Rect outer = centred(width, height, look.fx, look.fy);
    const RoundedRect shape(Rect(outer.left + half, outer.top + half, outer.right - half, outer.bottom - half),
                            look.radius, look.radius);
    GmpiDrawing::SolidColorBrush brush = g.CreateSolidColorBrush(look.fill);
    g.FillRoundedRectangle(shape, brush);
    brush.SetColor(look.line);
    g.DrawRoundedRectangle(shape, brush, look.outline);
}

BackgroundLook backgroundLook(float lengthPercent, float thicknessPercent, bool horizontal, float outline, float radius,
                              const Color& fill, const Color& line, float k)
{
    const float along = percent(lengthPercent, 0.1f, 1.0f), across = percent(thicknessPercent, 0.1f, 1.0f);
    BackgroundLook look;
    look.fx = horizontal ? along : across;
    look.fy = horizontal ? across : along;
    look.outline = limit(outline, 1.0f, 20.0f);
    look.radius = limit(radius, 0.0f, 20.0f);
    look.fill = faded(fill, k);
    look.line = faded(line, k);
    return look;
}

void drawRoundedControl(const Graphics_base& g, const Rect& arranged, float width, float height, CachedLayer& cache,
                        const BackgroundLook& background, const Rect& cursor, const CursorLook& look)
{
    g.FillRectangle(arranged, g.CreateSolidColorBrush(Color(0.0f, 0.0f, 0.0f, 0.0f)));
    cache.draw(g, GmpiDrawing::Size(width, height), Rect(0.0f, 0.0f, width, height), arranged,
               [&](const Graphics_base& target, Point) { drawBackground(target, width, height, background); });
    drawCursor(g, cursor, look);
}
} // namespace qw::controls
