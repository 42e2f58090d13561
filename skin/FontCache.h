// Skin text styles: the skin's global style sheet (resource "global" of type
// "ImageMeta"), one record per style, and the per-bundle cache of the text
// formats made from them, shared by every drawn module of the bundle.
//
// Style sheet, one key and its values a line:
//   FONT_CATEGORY Normal          starts a style (names are lower-cased)
//   font-family Arial, 'Times New Roman', serif
//   font-size 12                  pixels
//   font-color #RRGGBB            or a decimal number; background-color alike
//   font-weight bold              or light, or a number (100..900)
//   text-align center             left, right, center
//   text-decoration underline
//   font-style italic
//   vst3-vertical-offset 2        pixels
//   legacy-vertical-offset 0      0: text formats sized by body height
//   GDI_pixelHeight 14            GDI_pixelWidth 8
// Lines with another first word are ignored; a style without a family gets
// "Verdana".
#pragma once

#include "Drawing.h"
#include "mp_api_gui.h"
#include "mp_api_gui2.h"
#include "mp_sdk_common.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// One text style of a skin.
class FontMetadata
{
public:
    // Style flags.
    enum : uint32_t
    {
        kCentre = 8,
        kRight = 16,
        kUnderline = 64,
        kBold = 128,
        kLight = 256,
        kItalic = 512,
    };

    FontMetadata() = default;
    explicit FontMetadata(std::string name) : styleName(std::move(name)) {}

    std::string styleName;
    std::vector<std::string> fontFamilies; // in order of preference
    uint32_t flags = 0;
    int32_t size = 12;        // pixels
    float bodyHeight = -1.0f; // pixels; -1 = unset (styles a module defines)
    bool sizeIsCapHeight = false;
    int32_t pixelWidth = 8;
    int32_t pixelHeight = 12;
    // Colours as stored: alpha in the top byte, then blue, green and red in
    // the low byte. Modules draw with getColor() and getBackgroundColor().
    uint32_t colorAbgr = 0xFFFFFFFF;
    uint32_t backgroundColorAbgr = 0x00000000;
    int32_t verticalOffset = 0; // pixels
    bool legacySizing = true;   // false: sized by body height over the whole font stack
    int32_t wordWrapping = 1;   // GmpiDrawing::WordWrapping
    int32_t paragraphAlignment = 0;

    // The text and background colours in linear light for drawing.
    GmpiDrawing::Color getColor() const { return toColor(colorAbgr); }
    GmpiDrawing::Color getBackgroundColor() const { return toColor(backgroundColorAbgr); }
    // The stored form of a colour as a drawing colour.
    static GmpiDrawing::Color toColor(uint32_t abgr);

    // Vertical offset plus the correction of the first family: pixel height
    // / -20 for "Arial", / -7 for "MS Sans Serif" (truncated), else 0.
    int32_t getLegacyVerticalOffset() const;
};

// One parsed style sheet.
class SkinMetadata
{
public:
    SkinMetadata();

    // Replaces the styles with those of the file (read whole through the host).
    void Serialise(gmpi_sdk::mp_shared_ptr<gmpi::IProtectedFile2> file);
    // The same from the text itself.
    void read(const std::string& text);

    // The first style of that name (compared lower-cased), else the default
    // style. Never null.
    const FontMetadata* getFont(std::string name) const;

    std::vector<std::unique_ptr<FontMetadata>> styles; // in file order
    FontMetadata defaultStyle;                         // "default": Arial, black
    std::string uri;                                   // where it was read from
};

// The text formats of the bundle: one per (drawing factory, style, style
// sheet), made on first use and kept until the last client is gone.
class FontCache
{
public:
    static FontCache& instance();

    // The style sheet of the host's skin, read once; an empty address (the
    // host cannot name one) gives a sheet with the default style only.
    SkinMetadata& getSkin(gmpi::IMpUserInterfaceHost2* host);
    SkinMetadata& getSkin(gmpi::IMpUserInterfaceHost2* host, const std::string& uri);

    // The format already made for the style name in the host's skin (one
    // reference added) and its metadata, or an empty format and null.
    GmpiDrawing::TextFormat_readonly TextFormatExists(gmpi::IMpUserInterfaceHost2* host,
                                                      gmpi_gui::IMpGraphicsHost* graphicsHost,
                                                      const std::string& styleName, FontMetadata** out);
    // The format of a style of the skin; names that match no style share the
    // default style's format. `out`, when given, receives the cache's copy of
    // the style (null when no format could be made).
    GmpiDrawing::TextFormat_readonly GetTextFormat(gmpi::IMpUserInterfaceHost2* host,
                                                   gmpi_gui::IMpGraphicsHost* graphicsHost, std::string name,
                                                   FontMetadata** out = nullptr);
    // Makes the format of a style and keeps it under the style's name,
    // replacing what was kept under that name. Empty, and nothing kept, when
    // the host makes no format.
    GmpiDrawing::TextFormat CreateTextFormatAndCache(gmpi::IMpUserInterfaceHost2* host,
                                                     gmpi_gui::IMpGraphicsHost* graphicsHost, const FontMetadata* style,
                                                     FontMetadata** out);
    // A module's own style, kept under `name`.
    GmpiDrawing::TextFormat AddCustomTextFormat(gmpi::IMpUserInterfaceHost2* host,
                                                gmpi_gui::IMpGraphicsHost* graphicsHost, std::string name,
                                                const FontMetadata* style);
    // The format kept under `name`, or one made from a copy of the skin's
    // `baseStyle` renamed `name` and changed by `customise` (which must be
    // callable).
    GmpiDrawing::TextFormat_readonly GetCustomTextFormat(gmpi::IMpUserInterfaceHost2* host,
                                                         gmpi_gui::IMpGraphicsHost* graphicsHost, std::string name,
                                                         std::string baseStyle,
                                                         std::function<void(FontMetadata*)> customise,
                                                         FontMetadata** out = nullptr);

    void AddClient() { ++clients_; }
    // The last client empties the formats (the style sheets stay).
    void RemoveClient();

    size_t formatCount() const { return formats_.size(); }
    uint32_t clientCount() const { return clients_; }

private:
    FontCache() = default;

    struct fontKey
    {
        const void* factory;
        std::string styleName;
        std::string uri;
        bool operator<(const fontKey& o) const;
    };
    struct TypefaceData
    {
        GmpiDrawing::TextFormat format;
        FontMetadata metadata;
    };

    // The style sheet's address as the host names it; empty when it cannot.
    static std::string skinUri(gmpi::IMpUserInterfaceHost2* host);

    std::map<fontKey, TypefaceData> formats_;
    std::vector<std::unique_ptr<SkinMetadata>> skins_;
    uint32_t clients_ = 0;
};

// Mixin of drawn modules (a gmpi_gui::MpGuiGfxBase) that draw skin text: a
// client of the font cache from construction to destruction.
class FontCacheClient
{
public:
    FontCacheClient();
    FontCacheClient(const FontCacheClient&);
    FontCacheClient& operator=(const FontCacheClient&) { return *this; }
    virtual ~FontCacheClient();

    // Through the module's own hosts; empty before the module has them.
    GmpiDrawing::TextFormat_readonly GetTextFormat(std::string styleName);
    GmpiDrawing::TextFormat_readonly GetTextFormat(gmpi::IMpUserInterfaceHost2* host,
                                                   gmpi_gui::IMpGraphicsHost* graphicsHost, std::string styleName,
                                                   FontMetadata** out = nullptr);
    // The style's record, owned by the cache: the copy kept with its text
    // format, or the skin's own record when no format could be made. Never
    // null.
    const FontMetadata* GetFontMetatdata(std::string styleName);
    GmpiDrawing::TextFormat AddCustomTextFormat(gmpi::IMpUserInterfaceHost2* host,
                                                gmpi_gui::IMpGraphicsHost* graphicsHost, std::string name,
                                                const FontMetadata* style);

private:
    bool moduleHosts(gmpi::IMpUserInterfaceHost2*& host, gmpi_gui::IMpGraphicsHost*& graphicsHost);
};
