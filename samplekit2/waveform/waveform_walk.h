// The column walk of a waveform: the frames in view spread over the pixel
// columns, each column reduced to its smallest and largest frame, every frame
// read once.
#pragma once

#include <cstdint>

namespace qw::wave
{
// Smallest and largest frame of one pixel column.
struct Column
{
    float lo, hi;
};

// The frames [offset, offset + visible) over the pixel columns c = 1, 2, ...
// while c <= width. Column c ends at frame offset + trunc(c x visible /
// width); it holds the frames from the previous column's end (the offset for
// the first) up to its own end, and at least the frame where it starts, so a
// column that gets no frame of its own shows the frame at its start again.
// NaN frames are left out; a column of NaN frames only reads 0. Writes one
// column per whole pixel (at most maxColumns) and returns how many.
//
// Reads nothing outside [offset, offset + visible); needs visible >= 1.
// Gives 0 columns for a width below one pixel (or NaN).
int walkColumns(const float* frames, int64_t offset, int64_t visible, double width, Column* out, int maxColumns);

// Smallest and largest of n >= 1 frames, NaN left out (both +inf and -inf
// when every frame is NaN).
void extremes(const float* frames, int64_t n, float& lo, float& hi);
} // namespace qw::wave
