// Cursor geometry of a slider: where the cursor of a value lies in its travel
// rectangle, and how a drag moves it.
#pragma once

#include "Drawing.h"

namespace qw
{
class Slider
{
public:
    float value = 0.0f; // 0..1: left or bottom end to right or top end
    GmpiDrawing::Rect travel{0.0f, 0.0f, 1.0f, 1.0f};
    float cursorFraction = 0.2f; // cursor length over travel length
    float cursorPosition = 0.0f; // leading edge of the cursor from the travel start
    bool horizontal = true;
    GmpiDrawing::Rect cursor{0.0f, 0.0f, 1.0f, 1.0f};

    // Along the axis, counting both edge pixels.
    float travelLength() const;
    // At least 10.
    float cursorLength() const;
    // How far the cursor can move; 0 when it fills the travel.
    float room() const;

    // Cursor position of the value (at the travel start when there is no room).
    void updateCursorPos();
    void updateCursorRect();
    // Moves the cursor by `distance` along the axis, within the travel, and
    // takes the value from where it lands. Without room (or for a distance
    // that is not finite) nothing changes.
    void drag(float distance);

    // On the travel rectangle (edges included).
    bool inTravel(GmpiDrawing::Point p) const;
    // On the travel rectangle and, along the axis, on the cursor.
    bool onCursor(GmpiDrawing::Point p) const;
};
} // namespace qw
