// Text entry: a text pin shown in a filled box in a skin text style; a click
// opens the host's text edit over the module with the text, and an accepted
// edit writes the new text back. Not editable, it draws dimmed and may still
// report presses; it also offers a tool tip and a context menu from a list.
#include "FontCache.h"
#include "control_parts.h"
#include "mp_sdk_dialogs.h"
#include "mp_sdk_gui2.h"
#include "skin_text.h"

#include <string>

using namespace qw::controls;

class QW_TextEntry : public gmpi_gui::MpGuiGfxBase, public FontCacheClient
{
public:
    QW_TextEntry()
    {
        initializePin(text_, &QW_TextEntry::reDraw);
        initializePin(style_, &QW_TextEntry::onSetStyle);
        initializePin(textColourPin_, &QW_TextEntry::onSetColors);
        initializePin(backgroundColourPin_, &QW_TextEntry::onSetColors);
        initializePin(multiLine_, &QW_TextEntry::onSetStyle);
        initializePin(editable_, &QW_TextEntry::reDraw);
        initializePin(clickable_);
        initializePin(opacity_, &QW_TextEntry::reDraw);
        initializePin(hint_);
        initializePin(menuItems_);
        initializePin(menuSelection_);
        initializePin(pointerDown_);
        expectOwnEchoes();
    }

    int32_t populateContextMenu(float, float, gmpi::IMpUnknown* sink) override
    {
        addMenuItems(sink, menuItems_.getValue());
        return gmpi::MP_OK;
    }

    int32_t onContextMenu(int32_t selection) override
    {
        menuSelection_ = selection;
        menuSelection_ = -1;
        return gmpi::MP_OK;
    }

    int32_t measure(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE* desired) override
    {
        return measureAtLeast(available, desired, 4.0f);
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        // Nothing to draw with until a style is applied.
        if (!metadata_ || textFormat_.isNull())
            return gmpi::MP_OK;
        // Inset by 3; not editable, both colours fade.
        GmpiDrawing::Graphics g(context);
        const float fade = editable_ ? 1.0f : limit(opacity_, 0.0f, 1.0f);
        drawTextField(g, span(rect_.left, rect_.right), span(rect_.top, rect_.bottom), 3.0f, metadata_, textFormat_,
                      backgroundColour_, textColour_, fade, narrow(text_));
        return gmpi::MP_OK;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT) override
    {
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON))
            return gmpi::MP_UNHANDLED;
        if (!editable_ && !clickable_)
            return gmpi::MP_OK;
        setCapture();
        pointerDown_ = true;
        return gmpi::MP_OK;
    }

    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT) override
    {
        pointerDown_ = false;
        if (!getCapture())
            return gmpi::MP_UNHANDLED;
        releaseCapture();
        if (!editable_ || !metadata_)
            return gmpi::MP_OK;

        // The edit box over the whole module, replacing one still open.
        edit_ = GmpiGui::GraphicsHost(getGuiHost()).createPlatformTextEdit(getRect());
        const int32_t horizontal = (metadata_->flags & FontMetadata::kCentre)  ? 2
                                   : (metadata_->flags & FontMetadata::kRight) ? 1
                                                                               : 0;
        edit_.SetAlignment((multiLine_ ? gmpi_gui::MP_TEXT_EDIT_MULTILINE : 0) + horizontal);
        edit_.SetTextSize(static_cast<float>(metadata_->size));
        edit_.SetText(narrow(text_));
        edit_.ShowAsync([this](int32_t result) { OnTextEnteredComplete(result); });
        return gmpi::MP_OK;
    }

    int32_t getToolTip(GmpiDrawing_API::MP1_POINT, gmpi::IString* out) override { return answerToolTip(out, hint_); }

private:
    // Pin text for the host's narrow-text services: UTF-8, or empty when a
    // character has no UTF-8 form.
    static std::string narrow(const StringGuiPin& pin)
    {
        std::string utf8;
        skin::toUtf8Exact(pin.getValue(), utf8);
        return utf8;
    }

    void reDraw() { invalidateRect(); }

    // Single- and multi-line entries of one style keep a format each, which
    // every entry of that style and mode shares.
    void onSetStyle()
    {
        std::string key = "QWTextEntry:text:" + narrow(style_);
        if (multiLine_)
            key += ":multiline";
        textFormat_ = keyedTextFormat(*this, key, style_, multiLine_ ? 0 : 1, metadata_);
        invalidateMeasure();
        invalidateRect();
    }

    void onSetColors()
    {
        textColour_ = fieldColour(textColourPin_.getValue());
        backgroundColour_ = fieldColour(backgroundColourPin_.getValue());
        invalidateRect();
    }

    // Accepted: the edited text (UTF-8, invalid bytes as U+FFFD) becomes the
    // text. The box is let go in every case.
    void OnTextEnteredComplete(int32_t result)
    {
        if (result == 0)
        {
            text_ = gmpi_sdk::fromUtf8(edit_.GetText());
            invalidateRect();
        }
        edit_ = GmpiGui::TextEdit();
    }

    StringGuiPin text_;
    StringGuiPin style_;
    StringGuiPin textColourPin_;
    StringGuiPin backgroundColourPin_;
    MpGuiPin<bool> multiLine_;
    MpGuiPin<bool> editable_;
    MpGuiPin<bool> clickable_;
    MpGuiPin<float> opacity_;
    StringGuiPin hint_;
    StringGuiPin menuItems_;
    MpGuiPin<int> menuSelection_;
    MpGuiPin<bool> pointerDown_;

    Color textColour_{0.0f, 0.0f, 0.0f, kStyleColour};
    Color backgroundColour_{0.0f, 0.0f, 0.0f, kStyleColour};
    GmpiDrawing::TextFormat_readonly textFormat_;
    const FontMetadata* metadata_ = nullptr;
    GmpiGui::TextEdit edit_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_TextEntry", &gmpi::Register<QW_TextEntry>::withId);
} // namespace
