#include "image_parts.h"

#include <cmath>

namespace qw::image
{
int32_t CentredImage::measure(GmpiDrawing_API::MP1_SIZE, GmpiDrawing_API::MP1_SIZE* desired)
{
    if (desired)
        *desired = paddedFrameSize();
    return gmpi::MP_OK;
}

void CentredImage::initializeCentrePins()
{
    initializePin(alphaThreshold_);
    initializePin(centreX_, &CentredImage::onSetCenter);
    initializePin(centreY_, &CentredImage::onSetCenter);
    initializePin(showCentre_, &CentredImage::onSetCenter);
}

GmpiDrawing::Point CentredImage::centre() const
{
    const GmpiDrawing::Rect r = getRect();
    return GmpiDrawing::Point(0.5f * r.getWidth() + offsetX_, 0.5f * r.getHeight() + offsetY_);
}

void CentredImage::drawCentreMarker(const GmpiDrawing::Graphics_base& g) const
{
    if (!showCentre_)
        return;
    const GmpiDrawing::Point c = centre();
    const auto brush = g.CreateSolidColorBrush(GmpiDrawing::Color(0.0f, 0.0f, 0.0f, 1.0f));
    g.DrawLine(GmpiDrawing::Point(c.x - 30.0f, c.y), GmpiDrawing::Point(c.x + 30.0f, c.y), brush, 1.0f);
    g.DrawLine(GmpiDrawing::Point(c.x, c.y - 30.0f), GmpiDrawing::Point(c.x, c.y + 30.0f), brush, 1.0f);
}

void CentredImage::onSetCenter()
{
    offsetX_ = static_cast<float>(centreX_.getValue());
    offsetY_ = static_cast<float>(centreY_.getValue());
    reDraw();
}

double angleAbout(double x, double y, double cx, double cy)
{
    return std::atan2(y - cy, x - cx);
}

double wrapHalfTurn(double d)
{
    constexpr double pi = 3.14159265358979323846;
    if (d > pi)
        return d - 2.0 * pi;
    if (d < -pi)
        return d + 2.0 * pi;
    return d;
}
} // namespace qw::image
