#include "list_box.h"

#include "it_enum_list.h"

#include <algorithm>
#include <cmath>

namespace qw::controls
{
ListBox::ListBox(bool thumbWhenEmpty) : thumbWhenEmpty_(thumbWhenEmpty) {}

int32_t ListBox::measure(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE* desired)
{
    return measureAtLeast(available, desired, 4.0f);
}

int32_t ListBox::arrange(GmpiDrawing_API::MP1_RECT finalRect)
{
    MpGuiGfxBase::arrange(finalRect);
    recount();
    return gmpi::MP_OK;
}

int32_t ListBox::OnRender(GmpiDrawing_API::IMpDeviceContext* context)
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
        if (count_ > 0 || thumbWhenEmpty_)
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

int32_t ListBox::onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point)
{
    if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON))
        return gmpi::MP_UNHANDLED;
    setCapture();
    // A point that is not a number points at nothing.
    if (!std::isfinite(point.x) || !std::isfinite(point.y))
        return gmpi::MP_OK;

    if (scrollBarShown_ && point.x > width() - kBarWidth)
    {
        if (count_ == 0 && !thumbWhenEmpty_)
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
        choice_ = entries_[static_cast<size_t>(row)].value;
        pointerDown_ = true;
        invalidateRect();
    }
    return gmpi::MP_OK;
}

// Dragging the thumb scrolls one row for every row height of travel, at most
// one row per move.
int32_t ListBox::onPointerMove(int32_t, GmpiDrawing_API::MP1_POINT point)
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

int32_t ListBox::onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT)
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

// The thumb's offset along the track and its length; with no rows, the
// whole track.
float ListBox::scrollBarStart() const
{
    return count_ > 0 ? (height() - 4.0f) * static_cast<float>(top_) / static_cast<float>(count_) : 0.0f;
}

float ListBox::scrollBarLength() const
{
    const float track = height() - 4.0f;
    return count_ > 0 ? track * std::min(1.0f, static_cast<float>(rows_) / static_cast<float>(count_)) : track;
}

std::string ListBox::styleName() const
{
    return gmpi_sdk::toUtf8(style_.getValue());
}

void ListBox::recount()
{
    count_ = static_cast<int32_t>(entries_.size());
    const double fit = std::floor(static_cast<double>(height()) / rowHeight_);
    rows_ = fit < 2.0 ? 1 : static_cast<int32_t>(std::min(fit, 1.0e9));
    top_ = std::min(maxTop(), top_);
}

// Scrolls the chosen row into view.
void ListBox::onSetChoice()
{
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

void ListBox::onSetItemList()
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

void ListBox::onSetStyle()
{
    if (style_.getValue().empty())
        style_ = L"normal";
    loadStyle();
    invalidateMeasure();
    recount();
    invalidateRect();
}

// The style's text format; a row is as high as its ascent, descent and line
// gap plus 2 (at least 1).
void ListBox::loadStyle()
{
    textFormat_ = GetTextFormat(styleName());
    if (textFormat_.isNull())
        return;
    const auto m = textFormat_.GetFontMetrics();
    const float h = m.ascent + m.descent + m.lineGap + 2.0f;
    rowHeight_ = h >= 1.0f && h < 1.0e6f ? h : 1.0f;
    recount();
}

void ListBox::readColours(const StringGuiPin* const (&pins)[ColourCount], const uint32_t (&defaults)[ColourCount])
{
    for (int i = 0; i < ColourCount; ++i)
        colours_[i] = colorOf(pins[i]->getValue(), colorOf(defaults[i]));
    invalidateRect();
}

void ListBox::onSetLook()
{
    invalidateRect();
}
} // namespace qw::controls
