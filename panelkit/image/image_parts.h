// What the skinned image controls share: the rotation centre and its marker,
// the alpha test of a hit and angles of the pointer about a point.
#pragma once

#include "Drawing.h"

#include <cstdint>

namespace qw::image
{
// The middle of a module of that size, moved by an offset.
inline GmpiDrawing::Point rotationCentre(const GmpiDrawing::Rect& arranged, float offsetX, float offsetY)
{
    return GmpiDrawing::Point(0.5f * arranged.getWidth() + offsetX, 0.5f * arranged.getHeight() + offsetY);
}

// Two opaque black lines 1 wide through the centre, 30 to each side of it.
void drawCentreMarker(const GmpiDrawing::Graphics_base& g, GmpiDrawing::Point centre);

// An opacity pin's value within [0, 1]; NaN gives 0.
inline float opacity(float v)
{
    return v >= 0.0f ? (v <= 1.0f ? v : 1.0f) : 0.0f;
}

// Whether a pixel's alpha (its top byte) reaches the threshold, compared
// unsigned: a negative threshold is reached by no pixel.
inline bool alphaReaches(uint32_t pixel, int32_t threshold)
{
    return (pixel >> 24) >= static_cast<uint32_t>(threshold);
}

// Angle of (x, y) about (cx, cy) in radians, in [-pi, pi], y growing downwards
// (so clockwise on screen is positive); worked in double.
double angleAbout(double x, double y, double cx, double cy);

// An angle difference brought into [-pi, pi] by one whole turn.
double wrapHalfTurn(double d);
} // namespace qw::image
