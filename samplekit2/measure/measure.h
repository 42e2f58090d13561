// What both halves of the sample measurements compute: a sample's duration,
// the value of one frame and the peak level of a range of frames.
#pragma once

#include <cstdint>

namespace qw::measure
{
struct Duration
{
    int32_t minutes = 0, seconds = 0, hundredths = 0;
};

// The duration of `frames` frames at `rate` frames a second, in whole
// hundredths (truncated, worked out in double precision). A rate that is not
// above 0 (or NaN) gives 0:00.00; a duration beyond the int range saturates
// at 2147483647:59.99.
Duration duration(int64_t frames, double rate);

// Frame `position` of a sample of count > 0 frames; a position before the
// first frame reads the first, one past the last reads the last.
float valueAt(const float* frames, int32_t count, int32_t position);

struct Level
{
    float level = 0.0f;
    int32_t position = 0;
};

// Units of the level: 0 the peak magnitude, 1 the peak x 10, any other value
// decibels.
enum Units
{
    kLinear = 0,
    kTimesTen = 1,
};

// The peak magnitude of frames start..end (either order, both included) of a
// sample of count > 0 frames, and the index of the first frame that reaches
// it (0 when every frame is 0; a NaN frame never counts). A start or end
// that is negative, or at or past the end, counts as the last frame. In
// decibels a peak of 0 is -infinity.
Level level(const float* frames, int32_t count, int32_t start, int32_t end, int32_t units);

// The level of an empty sample: 0, or -infinity in decibels.
float levelOfNothing(int32_t units);
} // namespace qw::measure
