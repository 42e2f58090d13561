#include "scroll_bar.h"

#include <algorithm>
#include <cmath>

namespace qw
{
void ScrollBar::set(int32_t total, int32_t visible, int32_t offset)
{
    Total = total < 2 ? 1 : total;
    Visible = visible < 1 ? 1 : std::min(Total, visible);
    Offset = offset < 0 ? 0 : std::min(maxOffset(), offset);
    updateCursorPos();
    updateCursorRect();
}

void ScrollBar::setCursorRadius(float radius)
{
    minimumCursorLength = std::max(10.0f, 2.0f * radius);
}

float ScrollBar::trackLength() const
{
    return horizontal ? track.right - track.left + 1.0f : track.bottom - track.top + 1.0f;
}

float ScrollBar::cursorLength() const
{
    const float share = trackLength() * static_cast<float>(Visible) / static_cast<float>(Total);
    return std::max(minimumCursorLength, share);
}

float ScrollBar::room() const
{
    const float r = trackLength() - cursorLength();
    return r > 0.0f ? r : 0.0f;
}

void ScrollBar::updateCursorPos()
{
    const int32_t range = maxOffset();
    cursorPosition = range > 0 ? room() * (static_cast<float>(Offset) / static_cast<float>(range)) : 0.0f;
}

void ScrollBar::updateCursorRect()
{
    const float end = cursorPosition + cursorLength() - 1.0f;
    if (horizontal)
        cursor = GmpiDrawing::Rect(track.left + cursorPosition, track.top, track.left + end, track.bottom);
    else
        cursor = GmpiDrawing::Rect(track.left, track.top + cursorPosition, track.right, track.top + end);
}

void ScrollBar::updateOffset()
{
    const float free = room();
    if (!(free > 0.0f))
        return;
    const double range = maxOffset();
    const double o = std::trunc(range * cursorPosition / free + 0.5);
    Offset = static_cast<int32_t>(std::clamp(o, 0.0, range));
}

void ScrollBar::moveOffset(int64_t by)
{
    const int64_t o = static_cast<int64_t>(Offset) + by;
    Offset = static_cast<int32_t>(std::clamp<int64_t>(o, 0, maxOffset()));
    updateCursorPos();
    updateCursorRect();
}

void ScrollBar::drag(float distance)
{
    if (!std::isfinite(distance))
        return;
    const float p = cursorPosition + distance;
    cursorPosition = p < 0.0f ? 0.0f : std::min(room(), p);
    updateOffset();
    updateCursorRect();
}

bool ScrollBar::inTrack(GmpiDrawing::Point p) const
{
    return p.x >= track.left && p.x <= track.right && p.y >= track.top && p.y <= track.bottom;
}
} // namespace qw
