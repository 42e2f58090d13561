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
        return measureAtLeast(available, desired, 8.0f);
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const float fade = enabled_ ? 1.0f : limit(disabledAlpha_, 0.0f, 1.0f);
        drawTextField(g, span(rect_.left, rect_.right), span(rect_.top, rect_.bottom), 4.0f, metadata_, textFormat_,
                      backgroundColour_, textColour_, fade, textFormat_.isNull() ? std::string() : displayText());
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
    void reDraw() { invalidateRect(); }

    void onSetStyle()
    {
        const std::string name = style_;
        textFormat_ = keyedTextFormat(*this, "QWListEntry:text:" + name, name, 1, metadata_);
        invalidateMeasure();
        invalidateRect();
    }

    void onSetColors()
    {
        textColour_ = fieldColour(textColourPin_.getValue());
        backgroundColour_ = fieldColour(backgroundColourPin_.getValue());
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

    Color textColour_{0.0f, 0.0f, 0.0f, kStyleColour};
    Color backgroundColour_{0.0f, 0.0f, 0.0f, kStyleColour};
    GmpiDrawing::TextFormat_readonly textFormat_;
    const FontMetadata* metadata_ = nullptr;
    GmpiGui::PopupMenu menu_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ListEntry", &gmpi::Register<QW_ListEntry>::withId);
} // namespace
