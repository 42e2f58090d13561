// List box: the entries of an enumeration list as rows of skin text, the row
// whose value equals Choice highlighted; a click on a row writes its value to
// Choice. A 12-pixel scroll bar at the right edge pages and drags the first
// visible row, and can hide itself while every row fits. Separator and other
// marker entries have no row.
#include "FontCache.h"
#include "control_parts.h"
#include "it_enum_list.h"
#include "mp_sdk_gui2.h"
#include "skin_text.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace qw::controls;

class QW_ListBox2 : public gmpi_gui::MpGuiGfxBase, public FontCacheClient
{
public:
    QW_ListBox2()
    {
        initializePin(choice_, &QW_ListBox2::onSetChoice);
        initializePin(items_, &QW_ListBox2::onSetItemList);
        initializePin(pointerDown_);
        initializePin(style_, &QW_ListBox2::onSetStyle);
        for (auto& pin : colourPins_)
            initializePin(pin, &QW_ListBox2::onSetColors);
        initializePin(autoHide_, &QW_ListBox2::onSetLook);
        initializePin(backgroundMode_, &QW_ListBox2::onSetLook);
        expectOwnEchoes();
    }

    int32_t measure(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE* desired) override
    {
        if (!desired)
            return gmpi::MP_FAIL;
        desired->width = available.width >= 4.0f ? available.width : 4.0f;
        desired->height = available.height >= 4.0f ? available.height : 4.0f;
        return gmpi::MP_OK;
    }

    int32_t arrange(GmpiDrawing_API::MP1_RECT finalRect) override
    {
        MpGuiGfxBase::arrange(finalRect);
        recount();
        return gmpi::MP_OK;
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        if (textFormat_.isNull() && !style_.getValue().empty())
            loadStyle();
        const float w = width(), h = height();

        // Scroll bar.
        scrollBarShown_ = count_ > rows_ || !autoHide_;
        const float listWidth = scrollBarShown_ ? std::max(0.0f, w - kBarWidth) : w;
        auto brush = g.CreateSolidColorBrush(colours_[Track]);
        if (scrollBarShown_)
        {
            g.FillRectangle(Rect(w - kBarWidth, 0.0f, w, h), brush);
            if (count_ > 0)
            {
                const float s = scrollBarStart(), len = scrollBarLength();
                brush.SetColor(colours_[dragging_ ? ThumbDragged : Thumb]);
                g.FillRectangle(Rect(w - 10.0f, s + 2.0f, w - 2.0f, s + len + 3.0f), brush);
            }
        }

        g.PushAxisAlignedClip(Rect(0.0f, 0.0f, listWidth, h));

        // Background: a gradient over the whole list, or stripes that stay
        // with their rows while the list scrolls.
        const Color& a = colours_[BackgroundA];
        const Color& b = colours_[BackgroundB];
        if (a.a > 0.0f || b.a > 0.0f)
        {
            if (backgroundMode_ == 0)
            {
                auto gradient = g.CreateLinearGradientBrush(a, b, Point(0.0f, 0.0f), Point(0.0f, h));
                g.FillRectangle(Rect(0.0f, 0.0f, listWidth, h), gradient);
            }
            else
            {
                bool odd = (top_ & 1) != 0;
                for (int64_t k = 0; k * static_cast<double>(rowHeight_) < h && k <= rows_; ++k, odd = !odd)
                {
                    const float y = static_cast<float>(k * static_cast<double>(rowHeight_));
                    brush.SetColor(odd ? b : a);
                    g.FillRectangle(Rect(0.0f, y, listWidth, y + rowHeight_ + 1.0f), brush);
                }
            }
        }

        // Rows, whole ones only.
        Color text = colours_[Text], folderText = colours_[FolderText];
        if (colours_[Text].a == 0.0f)
            text = folderText = GetFontMetatdata(styleName())->getColor();
        Rect row(0.0f, 0.0f, listWidth, rowHeight_);
        for (int32_t i = top_; i < count_ && row.bottom <= h; ++i)
        {
            const Entry& e = entries_[static_cast<size_t>(i)];
            if (e.value == choice_)
            {
                brush.SetColor(colours_[Selection]);
                g.FillRectangle(row, brush);
            }
            brush.SetColor(e.folder ? folderText : text);
            g.DrawTextU(e.text, textFormat_, row, brush, 2);
            row.top += rowHeight_;
            row.bottom += rowHeight_;
        }

        g.PopAxisAlignedClip();
        return gmpi::MP_OK;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON))
            return gmpi::MP_UNHANDLED;
        setCapture();
        if (!std::isfinite(point.x) || !std::isfinite(point.y))
            return gmpi::MP_OK;

        if (scrollBarShown_ && point.x > width() - kBarWidth)
        {
            // With no rows there is no thumb and nothing to scroll.
            if (count_ == 0)
                return gmpi::MP_OK;
            const float s = scrollBarStart();
            const float e = s + scrollBarLength() - 1.0f;
            if (point.y < s)
                top_ = std::max(0, top_ - rows_);
            else if (point.y > e)
                top_ = std::min(maxTop(), static_cast<int32_t>(std::min<int64_t>(int64_t{top_} + rows_, INT32_MAX)));
            else
            {
                dragging_ = true;
                anchor_ = point;
            }
            invalidateRect();
            return gmpi::MP_OK;
        }

        if (point.y < 0.0f)
            return gmpi::MP_OK;
        const double row = std::floor(point.y / rowHeight_) + top_;
        if (row < count_)
        {
            echoGuard_ = true;
            choice_ = entries_[static_cast<size_t>(row)].value;
            echoGuard_ = false;
            pointerDown_ = true;
            invalidateRect();
        }
        return gmpi::MP_OK;
    }

    // Dragging the thumb scrolls one row for every row height of travel, at
    // most one row per move.
    int32_t onPointerMove(int32_t, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!getCapture() || !dragging_ || !std::isfinite(point.y))
            return gmpi::MP_OK;
        const float d = point.y - anchor_.y;
        if (d > rowHeight_)
        {
            anchor_.y += rowHeight_;
            top_ = std::min(maxTop(), top_ + 1);
            invalidateRect();
        }
        else if (d < -rowHeight_)
        {
            anchor_.y -= rowHeight_;
            top_ = std::max(0, top_ - 1);
            invalidateRect();
        }
        return gmpi::MP_OK;
    }

    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT) override
    {
        if (getCapture())
            releaseCapture();
        pointerDown_ = false;
        if (dragging_)
        {
            dragging_ = false;
            invalidateRect();
        }
        return gmpi::MP_OK;
    }

private:
    enum Colour
    {
        Text,
        FolderText,
        BackgroundA,
        BackgroundB,
        Selection,
        Thumb,
        ThumbDragged,
        Track,
        ColourCount
    };
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
    int32_t maxTop() const { return std::max(0, count_ - rows_); }
    float scrollBarStart() const { return (height() - 4.0f) * static_cast<float>(top_) / static_cast<float>(count_); }
    float scrollBarLength() const
    {
        return (height() - 4.0f) * std::min(1.0f, static_cast<float>(rows_) / static_cast<float>(count_));
    }
    std::string styleName() const { return gmpi_sdk::toUtf8(style_.getValue()); }

    void recount()
    {
        count_ = static_cast<int32_t>(entries_.size());
        const double fit = std::floor(static_cast<double>(height()) / rowHeight_);
        rows_ = fit < 2.0 ? 1 : static_cast<int32_t>(std::min(fit, 1.0e9));
        top_ = std::min(maxTop(), top_);
    }

    // Scrolls the chosen row into view.
    void onSetChoice()
    {
        if (echoGuard_)
            return;
        for (size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].value == choice_)
            {
                const int32_t row = static_cast<int32_t>(i);
                if (row < top_)
                    top_ = row;
                else if (row >= top_ + rows_)
                    top_ = row - rows_ + 1;
                break;
            }
        invalidateRect();
    }

    void onSetItemList()
    {
        entries_.clear();
        it_enum_list list(items_.getValue());
        int taken = 0;
        for (list.First(); !list.IsDone() && taken < kMaxListEntries; list.Next(), ++taken)
        {
            const enum_entry& e = list.current();
            if (e.getType() != 0)
                continue;
            const bool folder = !e.text.empty() && (e.text.back() == L'/' || e.text.back() == L'\\');
            entries_.push_back({e.value, gmpi_sdk::toUtf8(e.text), folder});
        }
        top_ = 0;
        recount();
        invalidateRect();
    }

    void onSetStyle()
    {
        if (style_.getValue().empty())
            style_ = L"normal";
        loadStyle();
        invalidateMeasure();
        recount();
        invalidateRect();
    }

    // The style's text format; a row is as high as its ascent, descent and
    // line gap plus 2 (at least 1).
    void loadStyle()
    {
        textFormat_ = GetTextFormat(styleName());
        if (textFormat_.isNull())
            return;
        const auto m = textFormat_.GetFontMetrics();
        const float h = m.ascent + m.descent + m.lineGap + 2.0f;
        rowHeight_ = h >= 1.0f && h < 1.0e6f ? h : 1.0f;
        recount();
    }

    void onSetColors()
    {
        static const uint32_t defaults[ColourCount] = {0xFF000000u, 0xFF000000u, 0xFFE0E0F0u, 0xFFD0D0E0u,
                                                       0xFF90D040u, 0xFF90A0B0u, 0xFFFFFFFFu, 0xFF506070u};
        for (int i = 0; i < ColourCount; ++i)
            colours_[i] = colorOf(colourPins_[i].getValue(), colorOf(defaults[i]));
        invalidateRect();
    }

    void onSetLook() { invalidateRect(); }

    MpGuiPin<int> choice_;
    StringGuiPin items_;
    MpGuiPin<bool> pointerDown_;
    StringGuiPin style_;
    StringGuiPin colourPins_[ColourCount];
    MpGuiPin<bool> autoHide_;
    MpGuiPin<int> backgroundMode_;

    std::vector<Entry> entries_;
    GmpiDrawing::TextFormat_readonly textFormat_;
    float rowHeight_ = 1.0f;
    int32_t top_ = 0;   // first visible row
    int32_t count_ = 0; // rows of the whole list
    int32_t rows_ = 1;  // rows that fit
    bool dragging_ = false;
    bool scrollBarShown_ = false;
    bool echoGuard_ = false;
    GmpiDrawing_API::MP1_POINT anchor_{0.0f, 0.0f};
    Color colours_[ColourCount] = {Color(1.0f, 1.0f, 1.0f, 1.0f), Color(1.0f, 1.0f, 1.0f, 1.0f),
                                   Color(1.0f, 1.0f, 1.0f, 1.0f), Color(1.0f, 1.0f, 1.0f, 1.0f),
                                   Color(1.0f, 1.0f, 1.0f, 1.0f), Color(1.0f, 1.0f, 1.0f, 1.0f),
                                   Color(1.0f, 1.0f, 1.0f, 1.0f), Color(1.0f, 1.0f, 1.0f, 1.0f)};
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ListBox2", &gmpi::Register<QW_ListBox2>::withId);
} // namespace
