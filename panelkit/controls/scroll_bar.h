// Geometry of a scroll bar: an integer Offset in [0, Total - Visible] shown as
// a cursor along a track, whose length stands for Visible out of Total.
#pragma once

#include "Drawing.h"

#include <cstdint>

namespace qw
{
class ScrollBar
{
public:
    int32_t Total = 1;           // items, at least 1
    int32_t Visible = 1;         // items in one page, 1..Total
    int32_t Offset = 0;          // first visible item, 0..Total - Visible
    float cursorPosition = 0.0f; // cursor start from the track start (fractional)
    GmpiDrawing::Rect track{0.0f, 0.0f, 1.0f, 1.0f};
    bool horizontal = true;
    GmpiDrawing::Rect cursor{0.0f, 0.0f, 1.0f, 1.0f};
    float minimumCursorLength = 10.0f;

    // The three values as a host may give them: Total below 2 is 1, Visible
    // is 1..Total, Offset 0..Total - Visible. Then the cursor follows.
    void set(int32_t total, int32_t visible, int32_t offset);
    // The minimum cursor length for a cursor of that corner radius: max(10, 2 radius).
    void setCursorRadius(float radius);

    int32_t maxOffset() const { return Total - Visible; }
    // Along the axis, counting both edge pixels.
    float trackLength() const;
    // Visible out of Total of the track, at least the minimum length.
    float cursorLength() const;
    // How far the cursor can move; 0 when it fills the track.
    float room() const;

    void updateCursorPos();
    void updateCursorRect();
    // Offset of the cursor position, rounded to the nearest item. Without
    // room the Offset stays.
    void updateOffset();

    // Offset moved by `by` items, limited to [0, Total - Visible]; the cursor
    // follows. The sum is taken in 64 bits.
    void moveOffset(int64_t by);
    // The cursor moved by `distance` along the track, within it; the Offset
    // follows, rounded. A distance that is not finite changes nothing.
    void drag(float distance);

    // On the track rectangle (edges included).
    bool inTrack(GmpiDrawing::Point p) const;
};
} // namespace qw
