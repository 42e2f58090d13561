// The face of the vector knobs: a round body with bevelled rims and an
// optional shine, and a small round finger dimple (the cap) near its rim.
// Body and cap are drawn once into two off-screen bitmaps, rebuilt when the
// knob's size changes or the look is dropped; an ordinary redraw copies the
// body and places the cap at the knob's angle.
#pragma once

#include "../controls/control_parts.h"

#include <string>

namespace qw::vector
{
using controls::Color;
using controls::Graphics_base;
using controls::Point;

struct KnobLook
{
    Color body{1.0f, 1.0f, 1.0f, 1.0f};
    Color cap{1.0f, 1.0f, 1.0f, 1.0f};
    bool shine = false;
    bool concave = true;
    bool spot = true;   // highlight spot on the cap
    float shade = 0.4f; // far end of each gradient: the colour times this
    float bevel = 0.5f; // opacity of the two offset rims
};

// The knobs' default colour (sRGB A0C8FF, opaque).
Color knobDefaultColour();

// Colour pins: an empty body text gives the default colour, an empty cap
// text the body colour; both come out opaque whatever the text says.
void knobColours(const std::wstring& bodyText, const std::wstring& capText, Color& body, Color& cap);

class KnobFace
{
public:
    // Forgets both bitmaps; the next draw rebuilds them.
    void drop()
    {
        body_.drop();
        cap_.drop();
    }

    // Draws the knob square (s = the shorter side) centred along the longer
    // side of a width x height control, with the cap's centre 0.27 s from the
    // control's centre in the direction (dx, dy): dx to the right, dy up, a
    // unit vector. Nothing is drawn for a size below one pixel.
    void draw(const Graphics_base& g, float width, float height, const KnobLook& look, float dx, float dy);

    // Whether a point lies strictly inside the knob drawn last (none before
    // the first drawing).
    bool hit(float x, float y, float width, float height) const;

    float size() const { return size_; }

private:
    controls::CachedLayer body_, cap_;
    float size_ = 0.0f; // s of the cached bitmaps
};
} // namespace qw::vector
