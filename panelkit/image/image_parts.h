// What the skinned image controls share: the base of the two rotary ones
// (alpha hit threshold, rotation centre and its marker, the size of a padded
// frame), the opacity of a pin and angles of the pointer about a point.
#pragma once

#include "Drawing.h"
#include "ImageBase.h"

#include <cstdint>

namespace qw::image
{
// An image control that turns about a centre: the middle of the module moved
// by two offset pins, with a marker shown on request, and hit where a
// pixel's alpha reaches a threshold pin. Desired size: one frame with its
// paddings (10 by 10 without an image).
class CentredImage : public ImageBase
{
public:
    int32_t measure(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE* desired) override;

protected:
    // Registers the alpha threshold, the centre's X and Y offsets and the
    // marker's switch, in that order.
    void initializeCentrePins();
    GmpiDrawing::Point centre() const;
    // The marker, when it is switched on: two opaque black lines 1 wide
    // through the centre, 30 to each side of it.
    void drawCentreMarker(const GmpiDrawing::Graphics_base& g) const;
    // Whether a pixel's alpha (its top byte) reaches the threshold, compared
    // unsigned: a negative threshold is reached by no pixel.
    bool alphaReaches(uint32_t pixel) const
    {
        return (pixel >> 24) >= static_cast<uint32_t>(alphaThreshold_.getValue());
    }

private:
    void onSetCenter();

    MpGuiPin<int> alphaThreshold_;
    MpGuiPin<int> centreX_;
    MpGuiPin<int> centreY_;
    MpGuiPin<bool> showCentre_;
    float offsetX_ = 0.0f, offsetY_ = 0.0f;
};

// An opacity pin's value within [0, 1]; NaN gives 0.
inline float opacity(float v)
{
    return v >= 0.0f ? (v <= 1.0f ? v : 1.0f) : 0.0f;
}

// Angle of (x, y) about (cx, cy) in radians, in [-pi, pi], y growing downwards
// (so clockwise on screen is positive); worked in double.
double angleAbout(double x, double y, double cx, double cy);

// An angle difference brought into [-pi, pi] by one whole turn.
double wrapHalfTurn(double d);
} // namespace qw::image
