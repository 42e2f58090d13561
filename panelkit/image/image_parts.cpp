#include "image_parts.h"

#include <cmath>

namespace qw::image
{
void drawCentreMarker(const GmpiDrawing::Graphics_base& g, GmpiDrawing::Point c)
{
    const auto brush = g.CreateSolidColorBrush(GmpiDrawing::Color(0.0f, 0.0f, 0.0f, 1.0f));
    g.DrawLine(GmpiDrawing::Point(c.x - 30.0f, c.y), GmpiDrawing::Point(c.x + 30.0f, c.y), brush, 1.0f);
    g.DrawLine(GmpiDrawing::Point(c.x, c.y - 30.0f), GmpiDrawing::Point(c.x, c.y + 30.0f), brush, 1.0f);
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
