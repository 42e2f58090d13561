// List box: the entries of an enumeration list as rows of skin text, the row
// whose value equals Choice highlighted; a click on a row writes its value to
// Choice. A 12-pixel scroll bar at the right edge pages and drags the first
// visible row, and can hide itself while every row fits. Separator and other
// marker entries have no row. The common part of QW_ListBox2 and its older
// form QW_ListBox, which differ in pin order, the folder text colour and the
// thumb of an empty list. The forms expect their own echoes (of the choice
// a click writes, of the style "normal"): they move nothing.
#pragma once

#include "FontCache.h"
#include "control_parts.h"
#include "mp_sdk_gui2.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qw::controls
{
class ListBox : public gmpi_gui::MpGuiGfxBase, public FontCacheClient
{
public:
    int32_t measure(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE* desired) override;
    int32_t arrange(GmpiDrawing_API::MP1_RECT finalRect) override;
    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override;
    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t onPointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;

protected:
    enum Colour
    {
        Text,
        FolderText, // entries that end with "/" or "\"
        BackgroundA,
        BackgroundB,
        Selection,
        Thumb,
        ThumbDragged,
        Track,
        ColourCount
    };

    // thumbWhenEmpty: with no rows the thumb covers the whole track (and
    // takes presses in the bar as a drag that cannot move); otherwise there
    // is no thumb and the bar ignores presses.
    explicit ListBox(bool thumbWhenEmpty);

    void onSetChoice();
    void onSetItemList();
    void onSetStyle();
    void onSetLook();
    // Reads every colour from its pin (the same pin may serve two colours);
    // an empty text gives that colour's default (AARRGGBB).
    void readColours(const StringGuiPin* const (&pins)[ColourCount], const uint32_t (&defaults)[ColourCount]);

    MpGuiPin<int> choice_;
    StringGuiPin items_;
    MpGuiPin<bool> pointerDown_;
    StringGuiPin style_;
    MpGuiPin<bool> autoHide_;
    MpGuiPin<int> backgroundMode_;

private:
    static constexpr float kBarWidth = 12.0f;

    // A plain entry of the list: one row.
    struct Entry
    {
        int32_t value;
        std::string text; // UTF-8
        bool folder;      // ends with "/" or "\"
    };

    float width() const { return span(rect_.left, rect_.right); }
    float height() const { return span(rect_.top, rect_.bottom); }
    int32_t maxTop() const { return count_ > rows_ ? count_ - rows_ : 0; }
    float scrollBarStart() const;
    float scrollBarLength() const;
    std::string styleName() const;
    void recount();
    void loadStyle();

    const bool thumbWhenEmpty_;
    std::vector<Entry> entries_;
    GmpiDrawing::TextFormat_readonly textFormat_;
    float rowHeight_ = 1.0f;
    int32_t top_ = 0;   // first visible row
    int32_t count_ = 0; // rows of the whole list
    int32_t rows_ = 1;  // rows that fit
    bool dragging_ = false;
    bool scrollBarShown_ = false;
    GmpiDrawing_API::MP1_POINT anchor_{0.0f, 0.0f};
    Color colours_[ColourCount] = {Color(1.0f, 1.0f, 1.0f, 1.0f), Color(1.0f, 1.0f, 1.0f, 1.0f),
                                   Color(1.0f, 1.0f, 1.0f, 1.0f), Color(1.0f, 1.0f, 1.0f, 1.0f),
                                   Color(1.0f, 1.0f, 1.0f, 1.0f), Color(1.0f, 1.0f, 1.0f, 1.0f),
                                   Color(1.0f, 1.0f, 1.0f, 1.0f), Color(1.0f, 1.0f, 1.0f, 1.0f)};
};
} // namespace qw::controls
