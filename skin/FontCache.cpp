#include "FontCache.h"

#include "mp_sdk_gui.h"
#include "mp_sdk_gui2.h"
#include "skin_text.h"
#include "srgb.h"

#include <cctype>
#include <cstdlib>
#include <tuple>

namespace
{
std::string lowerCase(std::string s)
{
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

char lowerFirst(const std::string& s)
{
    return s.empty() ? '\0' : static_cast<char>(std::tolower(static_cast<unsigned char>(s[0])));
}

// "#RRGGBB" (hexadecimal) or a decimal number, stored with red in the low
// byte, green next, blue above it and an opaque alpha.
uint32_t readColour(const std::string& text)
{
    uint32_t v;
    if (!text.empty() && text[0] == '#')
    {
        const unsigned long long h = std::strtoull(text.c_str() + 1, nullptr, 16);
        v = h > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(h);
    }
    else
    {
        v = static_cast<uint32_t>(StringToInt(text));
    }
    const uint32_t rotated = (v << 16) | (v >> 16);
    return (v & 0xFF00u) | rotated | 0xFF000000u;
}

// The drawing factory of a graphics host (one reference held by the wrapper).
GmpiDrawing::Factory factoryOf(gmpi_gui::IMpGraphicsHost* graphicsHost)
{
    GmpiDrawing::Factory f;
    if (graphicsHost)
        graphicsHost->GetDrawingFactory(f.GetAddressOf());
    return f;
}
} // namespace

// ---------------------------------------------------------------------------
// FontMetadata

GmpiDrawing::Color FontMetadata::toColor(uint32_t abgr)
{
    return mp_sdk::colorFromAbgr(abgr);
}

int32_t FontMetadata::getLegacyVerticalOffset() const
{
    int32_t correction = 0;
    if (!fontFamilies.empty())
    {
        if (fontFamilies.front() == "Arial")
            correction = pixelHeight / -20;
        else if (fontFamilies.front() == "MS Sans Serif")
            correction = pixelHeight / -7;
    }
    return skin::saturate(int64_t{verticalOffset} + correction);
}

// ---------------------------------------------------------------------------
// SkinMetadata

SkinMetadata::SkinMetadata() : defaultStyle("default")
{
    defaultStyle.fontFamilies.push_back("Arial");
    defaultStyle.colorAbgr = 0xFF000000u;
}

void SkinMetadata::Serialise(gmpi_sdk::mp_shared_ptr<gmpi::IProtectedFile2> file)
{
    read(skin::readText(std::move(file)));
}

void SkinMetadata::read(const std::string& text)
{
    styles.clear();
    FontMetadata* current = nullptr;
    std::vector<std::string> tokens;
    for (const std::string& line : skin::splitLines(text))
    {
        tokens.clear();
        SplitString(line.c_str(), tokens);
        if (tokens.empty())
            continue;
        const std::string& key = tokens[0];
        if (key == "FONT_CATEGORY" && tokens.size() > 1)
        {
            styles.push_back(std::make_unique<FontMetadata>(lowerCase(tokens[1])));
            current = styles.back().get();
        }
        if (!current || tokens.size() < 2)
            continue;
        const std::string& value = tokens[1];
        FontMetadata& s = *current;
        if (key == "font-family")
            s.fontFamilies.insert(s.fontFamilies.end(), tokens.begin() + 1, tokens.end());
        else if (key == "font-size")
            s.size = s.pixelHeight = StringToInt(value);
        else if (key == "vst3-vertical-offset")
            s.verticalOffset = StringToInt(value);
        else if (key == "legacy-vertical-offset")
            s.legacySizing = StringToInt(value) != 0;
        else if (key == "GDI_pixelHeight")
            s.pixelHeight = StringToInt(value);
        else if (key == "GDI_pixelWidth")
            s.pixelWidth = StringToInt(value);
        else if (key == "font-color")
            s.colorAbgr = readColour(value);
        else if (key == "background-color")
            s.backgroundColorAbgr = readColour(value);
        else if (key == "font-weight")
        {
            const char c = lowerFirst(value);
            if (c == 'b')
                s.flags |= FontMetadata::kBold;
            else if (c == 'l')
                s.flags |= FontMetadata::kLight;
            else
            {
                const int32_t w = StringToInt(value);
                if (w != 0 && w < 301)
                    s.flags |= FontMetadata::kLight;
                else if (w >= 551)
                    s.flags |= FontMetadata::kBold;
            }
        }
        else if (key == "text-align")
        {
            const char c = lowerFirst(value);
            if (c == 'r')
                s.flags |= FontMetadata::kRight;
            else if (c == 'c')
                s.flags |= FontMetadata::kCentre;
        }
        else if (key == "text-decoration")
        {
            if (lowerFirst(value) == 'u')
                s.flags |= FontMetadata::kUnderline;
        }
        else if (key == "font-style")
        {
            if (lowerFirst(value) == 'i')
                s.flags |= FontMetadata::kItalic;
        }
    }
    for (auto& s : styles)
        if (s->fontFamilies.empty())
            s->fontFamilies.push_back("Verdana");
}

const FontMetadata* SkinMetadata::getFont(std::string name) const
{
    name = lowerCase(std::move(name));
    for (auto& s : styles)
        if (s->styleName == name)
            return s.get();
    return &defaultStyle;
}

// ---------------------------------------------------------------------------
// FontCache

FontCache& FontCache::instance()
{
    static FontCache cache;
    return cache;
}

bool FontCache::fontKey::operator<(const fontKey& o) const
{
    return std::tie(factory, styleName, uri) < std::tie(o.factory, o.styleName, o.uri);
}

std::string FontCache::skinUri(gmpi::IMpUserInterfaceHost2* host)
{
    gmpi_sdk::MpString uri;
    if (!host || host->RegisterResourceUri("global", "ImageMeta", &uri) != gmpi::MP_OK)
        return {};
    return uri.str();
}

SkinMetadata& FontCache::getSkin(gmpi::IMpUserInterfaceHost2* host)
{
    return getSkin(host, skinUri(host));
}

SkinMetadata& FontCache::getSkin(gmpi::IMpUserInterfaceHost2* host, const std::string& uri)
{
    for (auto& s : skins_)
        if (s->uri == uri)
            return *s;
    skins_.push_back(std::make_unique<SkinMetadata>());
    SkinMetadata& skin = *skins_.back();
    skin.uri = uri;
    if (host && !uri.empty())
    {
        gmpi_sdk::mp_shared_ptr<gmpi::IProtectedFile2> file;
        host->OpenUri(uri.c_str(), file.getAddressOf());
        if (file)
            skin.Serialise(file);
    }
    return skin;
}

GmpiDrawing::TextFormat_readonly FontCache::TextFormatExists(gmpi::IMpUserInterfaceHost2* host,
                                                             gmpi_gui::IMpGraphicsHost* graphicsHost,
                                                             const std::string& styleName, FontMetadata** out)
{
    if (out)
        *out = nullptr;
    const GmpiDrawing::Factory factory = factoryOf(graphicsHost);
    if (!factory)
        return {};
    auto it = formats_.find({factory.Get(), styleName, skinUri(host)});
    if (it == formats_.end())
        return {};
    if (out)
        *out = &it->second.metadata;
    return it->second.format;
}

GmpiDrawing::TextFormat_readonly FontCache::GetTextFormat(gmpi::IMpUserInterfaceHost2* host,
                                                          gmpi_gui::IMpGraphicsHost* graphicsHost, std::string name,
                                                          FontMetadata** out)
{
    const FontMetadata* style = getSkin(host).getFont(std::move(name));
    GmpiDrawing::TextFormat_readonly format = TextFormatExists(host, graphicsHost, style->styleName, out);
    if (format)
        return format;
    return CreateTextFormatAndCache(host, graphicsHost, style, out);
}

GmpiDrawing::TextFormat FontCache::CreateTextFormatAndCache(gmpi::IMpUserInterfaceHost2* host,
                                                            gmpi_gui::IMpGraphicsHost* graphicsHost,
                                                            const FontMetadata* style, FontMetadata** out)
{
    if (out)
        *out = nullptr;
    const GmpiDrawing::Factory factory = factoryOf(graphicsHost);
    if (!factory || !style)
        return {};

    using GmpiDrawing::FontWeight;
    const uint32_t boldLight = style->flags & (FontMetadata::kBold | FontMetadata::kLight);
    const FontWeight weight = boldLight == FontMetadata::kBold    ? FontWeight::Bold
                              : boldLight == FontMetadata::kLight ? FontWeight::Light
                                                                  : FontWeight::Normal;
    const auto fontStyle =
        (style->flags & FontMetadata::kItalic) ? GmpiDrawing::FontStyle::Italic : GmpiDrawing::FontStyle::Normal;
    const auto stretch = GmpiDrawing::FontStretch::Normal;

    GmpiDrawing::TextFormat format;
    if (!style->legacySizing)
    {
        float height = style->bodyHeight;
        if (!(height > 0.0f))
            height = style->pixelHeight > 1 ? static_cast<float>(style->pixelHeight) : 1.0f;
        format = factory.CreateTextFormat2(height, GmpiDrawing::Factory::FontStack(style->fontFamilies), weight,
                                           fontStyle, stretch, style->sizeIsCapHeight);
    }
    else
    {
        const char* family = style->fontFamilies.empty() ? "" : style->fontFamilies.front().c_str();
        format = factory.CreateTextFormat(static_cast<float>(style->size), family, weight, fontStyle, stretch);
    }
    if (!format)
        return {};

    const auto alignment = (style->flags & FontMetadata::kCentre)  ? GmpiDrawing::TextAlignment::Center
                           : (style->flags & FontMetadata::kRight) ? GmpiDrawing::TextAlignment::Trailing
                                                                   : GmpiDrawing::TextAlignment::Leading;
    format.SetTextAlignment(alignment);
    format.SetParagraphAlignment(static_cast<GmpiDrawing::ParagraphAlignment>(style->paragraphAlignment));
    format.SetWordWrapping(static_cast<GmpiDrawing::WordWrapping>(style->wordWrapping));

    TypefaceData& entry = formats_[{factory.Get(), style->styleName, skinUri(host)}];
    entry.format = format;
    entry.metadata = *style;
    if (out)
        *out = &entry.metadata;
    return format;
}

GmpiDrawing::TextFormat FontCache::AddCustomTextFormat(gmpi::IMpUserInterfaceHost2* host,
                                                       gmpi_gui::IMpGraphicsHost* graphicsHost, std::string name,
                                                       const FontMetadata* style)
{
    if (!style)
        return {};
    FontMetadata copy = *style;
    copy.styleName = std::move(name);
    return CreateTextFormatAndCache(host, graphicsHost, &copy, nullptr);
}

GmpiDrawing::TextFormat_readonly FontCache::GetCustomTextFormat(gmpi::IMpUserInterfaceHost2* host,
                                                                gmpi_gui::IMpGraphicsHost* graphicsHost,
                                                                std::string name, std::string baseStyle,
                                                                std::function<void(FontMetadata*)> customise,
                                                                FontMetadata** out)
{
    GmpiDrawing::TextFormat_readonly format = TextFormatExists(host, graphicsHost, name, out);
    if (format)
        return format;
    FontMetadata copy = *getSkin(host).getFont(std::move(baseStyle));
    copy.styleName = std::move(name);
    customise(&copy);
    return CreateTextFormatAndCache(host, graphicsHost, &copy, out);
}

void FontCache::RemoveClient()
{
    if (clients_ > 0)
        --clients_;
    if (clients_ == 0)
        formats_.clear();
}

// ---------------------------------------------------------------------------
// FontCacheClient

FontCacheClient::FontCacheClient()
{
    FontCache::instance().AddClient();
}

FontCacheClient::FontCacheClient(const FontCacheClient&)
{
    FontCache::instance().AddClient();
}

FontCacheClient::~FontCacheClient()
{
    FontCache::instance().RemoveClient();
}

bool FontCacheClient::moduleHosts(gmpi::IMpUserInterfaceHost2*& host, gmpi_gui::IMpGraphicsHost*& graphicsHost)
{
    host = nullptr;
    graphicsHost = nullptr;
    if (auto* module = dynamic_cast<gmpi_gui::MpGuiGfxBase*>(this))
    {
        host = module->getHost();
        graphicsHost = module->getGuiHost();
    }
    return graphicsHost != nullptr;
}

GmpiDrawing::TextFormat_readonly FontCacheClient::GetTextFormat(std::string styleName)
{
    gmpi::IMpUserInterfaceHost2* host;
    gmpi_gui::IMpGraphicsHost* graphicsHost;
    if (!moduleHosts(host, graphicsHost))
        return {};
    return FontCache::instance().GetTextFormat(host, graphicsHost, std::move(styleName));
}

GmpiDrawing::TextFormat_readonly FontCacheClient::GetTextFormat(gmpi::IMpUserInterfaceHost2* host,
                                                                gmpi_gui::IMpGraphicsHost* graphicsHost,
                                                                std::string styleName, FontMetadata** out)
{
    return FontCache::instance().GetTextFormat(host, graphicsHost, std::move(styleName), out);
}

const FontMetadata* FontCacheClient::GetFontMetatdata(std::string styleName)
{
    gmpi::IMpUserInterfaceHost2* host;
    gmpi_gui::IMpGraphicsHost* graphicsHost;
    moduleHosts(host, graphicsHost);
    FontMetadata* kept = nullptr;
    FontCache::instance().GetTextFormat(host, graphicsHost, styleName, &kept);
    if (kept)
        return kept;
    return FontCache::instance().getSkin(host).getFont(std::move(styleName));
}

GmpiDrawing::TextFormat FontCacheClient::AddCustomTextFormat(gmpi::IMpUserInterfaceHost2* host,
                                                             gmpi_gui::IMpGraphicsHost* graphicsHost, std::string name,
                                                             const FontMetadata* style)
{
    return FontCache::instance().AddCustomTextFormat(host, graphicsHost, std::move(name), style);
}
