#include "slider.h"

#include <algorithm>
#include <cmath>

namespace qw
{
float Slider::travelLength() const
{
    return horizontal ? travel.right - travel.left + 1.0f : travel.bottom - travel.top + 1.0f;
}

float Slider::cursorLength() const
{
    return std::max(10.0f, cursorFraction * travelLength());
}

float Slider::room() const
{
    const float r = travelLength() - cursorLength();
    return r > 0.0f ? r : 0.0f;
}

void Slider::updateCursorPos()
{
    const float v = horizontal ? value : 1.0f - value;
    cursorPosition = room() * v;
}

void Slider::updateCursorRect()
{
    const float end = cursorPosition + cursorLength() - 1.0f;
    if (horizontal)
        cursor = GmpiDrawing::Rect(travel.left + cursorPosition, travel.top, travel.left + end, travel.bottom);
    else
        cursor = GmpiDrawing::Rect(travel.left, travel.top + cursorPosition, travel.right, travel.top + end);
}

void Slider::drag(float distance)
{
    const float free = room();
    if (!(free > 0.0f) || !std::isfinite(distance))
        return;
    const float p = cursorPosition + distance;
    cursorPosition = p < 0.0f ? 0.0f : std::min(free, p);
    const float v = cursorPosition / free;
    value = horizontal ? v : 1.0f - v;
    updateCursorRect();
}

bool Slider::inTravel(GmpiDrawing::Point p) const
{
    return p.x >= travel.left && p.x <= travel.right && p.y >= travel.top && p.y <= travel.bottom;
}

bool Slider::onCursor(GmpiDrawing::Point p) const
{
    if (!inTravel(p))
        return false;
    return horizontal ? p.x >= cursor.left && p.x <= cursor.right : p.y >= cursor.top && p.y <= cursor.bottom;
}
} // namespace qw
