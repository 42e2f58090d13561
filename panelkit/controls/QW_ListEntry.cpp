// List entry: a field showing the text of the chosen entry of an enumeration
// list in a skin text style; a click opens the host's pop-up menu of all
// entries with the chosen one ticked, and picking one writes its value.
#include "FontCache.h"
#include "control_parts.h"
#include "it_enum_list.h"
#include "mp_sdk_dialogs.h"
#include "mp_sdk_gui2.h"
#include "skin_text.h"

#include <algorithm>
#include <string>

using namespace qw::controls;

class QW_ListEntry : public gmpi_gui::MpGuiGfxBase, public FontCacheClient
{
public:
    QW_ListEntry()
    {
        initializePin(choice_, &QW_ListEntry::reDraw);
        initializePin(items_, &QW_ListEntry::reDraw);
        initializePin(style_, &QW_ListEntry::onSetStyle);
        initializePin(textColourPin_, &QW_ListEntry::onSetColors);
        initializePin(backgroundColourPin_, &QW_ListEntry::onSetColors);
        initializePin(enabled_, &QW_ListEntry::reDraw);
        initializePin(disabledAlpha_, &QW_ListEntry::reDraw);
        initializePin(hint_);
        expectOwnEchoes();
    }

    int32_t measure(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE* desired) override
    {
        if (!desired)
            return gmpi::MP_FAIL;
        desired->width = available.width >= 8.0f ? available.width : 8.0f;
        desired->height = available.height >= 8.0f ? available.height : 8.0f;
        return gmpi::MP_OK;
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);

        // Unset colours follow the style; without a style yet, they are not drawn.
        Color text = textColour_, background = backgroundColour_;
        if (text.a == kUnset)
            text = metadata_ ? metadata_->getColor() : Color(0.0f, 0.0f, 0.0f, 0.0f);
        if (background.a == kUnset)
            background = metadata_ ? metadata_->getBackgroundColor() : Color(0.0f, 0.0f, 0.0f, 0.0f);
        if (!enabled_)
        {
            const float k = limit(disabledAlpha_, 0.0f, 1.0f);
            text.a *= k;
            background.a *= k;
        }

        // Inset by 4, never past the middle.
        const float w = span(rect_.left, rect_.right), h = span(rect_.top, rect_.bottom);
        const float dx = std::min(4.0f, w * 0.5f), dy = std::min(4.0f, h * 0.5f);
        Rect r(dx, dy, w - dx, h - dy);

        auto brush = g.CreateSolidColorBrush(background);
        g.FillRectangle(r, brush);
        if (textFormat_.isNull())
            return gmpi::MP_OK;
        if (metadata_ && metadata_->legacySizing)
        {
            const float offset = static_cast<float>(metadata_->getLegacyVerticalOffset());
            r.top += offset;
            r.bottom += offset;
        }
        brush.SetColor(text);
        g.DrawTextU(displayText(), textFormat_, r, brush, 2);
        return gmpi::MP_OK;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT) override
    {
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON) || !enabled_)
            return gmpi::MP_UNHANDLED;
        setCapture();
        return 1;
    }

    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT) override
    {
        if (!getCapture())
            return gmpi::MP_UNHANDLED;
        releaseCapture();
        openMenu();
        return gmpi::MP_OK;
    }

    int32_t getToolTip(GmpiDrawing_API::MP1_POINT, gmpi::IString* out) override
    {
        if (!out)
            return gmpi::MP_FAIL;
        const std::string utf8 = hint_;
        out->setData(utf8.data(), static_cast<int32_t>(utf8.size()));
        return gmpi::MP_OK;
    }

private:
    static constexpr float kUnset = -1.0f; // alpha of a colour left to the style

    void reDraw() { invalidateRect(); }

    void onSetStyle()
    {
        const std::string name = style_;
        const std::string key = "QWListEntry:text:" + name;
        metadata_ = nullptr;
        gmpi::IMpUserInterfaceHost2* host = getHost();
        gmpi_gui::IMpGraphicsHost* graphicsHost = getGuiHost();
        FontMetadata* kept = nullptr;
        textFormat_ = FontCache::instance().TextFormatExists(host, graphicsHost, key, &kept);
        if (textFormat_.isNull() && graphicsHost)
        {
            FontMetadata* style = nullptr;
            GetTextFormat(host, graphicsHost, name, &style);
            if (style)
            {
                GmpiDrawing::TextFormat custom = AddCustomTextFormat(host, graphicsHost, key, style);
                custom.SetWordWrapping(static_cast<GmpiDrawing::WordWrapping>(1));
                textFormat_ = FontCache::instance().TextFormatExists(host, graphicsHost, key, &kept);
            }
        }
        metadata_ = textFormat_.isNull() ? nullptr : kept;
        invalidateMeasure();
        invalidateRect();
    }

    void onSetColors()
    {
        const Color unset(0.0f, 0.0f, 0.0f, kUnset);
        textColour_ = colorOf(textColourPin_.getValue(), unset);
        backgroundColour_ = colorOf(backgroundColourPin_.getValue(), unset);
        invalidateRect();
    }

    // The first entry of the chosen value that is not a marker; empty when none.
    std::string displayText() const
    {
        it_enum_list list(items_.getValue());
        int taken = 0;
        for (list.First(); !list.IsDone() && taken < kMaxListEntries; list.Next(), ++taken)
        {
            const enum_entry& e = list.current();
            const bool marker =
                e.text.size() >= 4 && e.text[1] == e.text[0] && e.text[2] == e.text[0] && e.text[3] == e.text[0];
            if (e.value == choice_ && !marker)
            {
                std::string utf8; // empty when the text has no UTF-8 form
                skin::toUtf8Exact(e.text, utf8);
                return utf8;
            }
        }
        return {};
    }

    // The pop-up menu over the control's top-left corner: every entry but
    // column breaks and submenu ends, separators and submenu starts flagged 8,
    // the chosen one ticked (4).
    void openMenu()
    {
        menu_ = GmpiGui::GraphicsHost(getGuiHost()).createPlatformMenu(GmpiDrawing_API::MP1_POINT{0.0f, 0.0f});
        if (menu_.isNull())
            return;
        it_enum_list list(items_.getValue());
        int taken = 0;
        for (list.First(); !list.IsDone() && taken < kMaxListEntries; list.Next(), ++taken)
        {
            const enum_entry& e = list.current();
            const int type = e.getType();
            if (type == 2 || type == 4)
                continue;
            int32_t flags = e.value == choice_ ? 4 : 0;
            if (type == 1 || type == 3)
                flags |= 8;
            menu_.AddItem(e.text, e.value, flags);
        }
        menu_.ShowAsync([this](int32_t result) { OnPopupmenuComplete(result); });
    }

    void OnPopupmenuComplete(int32_t result)
    {
        if (result == 0)
        {
            choice_ = menu_.GetSelectedId();
            invalidateRect();
        }
        menu_ = GmpiGui::PopupMenu();
    }

    MpGuiPin<int> choice_;
    StringGuiPin items_;
    StringGuiPin style_;
    StringGuiPin textColourPin_;
    StringGuiPin backgroundColourPin_;
    MpGuiPin<bool> enabled_;
    MpGuiPin<float> disabledAlpha_;
    StringGuiPin hint_;

    Color textColour_{0.0f, 0.0f, 0.0f, kUnset};
    Color backgroundColour_{0.0f, 0.0f, 0.0f, kUnset};
    GmpiDrawing::TextFormat_readonly textFormat_;
    const FontMetadata* metadata_ = nullptr;
    GmpiGui::PopupMenu menu_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ListEntry", &gmpi::Register<QW_ListEntry>::withId);
} // namespace
