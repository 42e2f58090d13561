// The face of the vector knobs: a round body with bevelled rims and an
// optional shine, and a small round finger dimple (the cap) near its rim.
// Body and cap are drawn once into two off-screen bitmaps, rebuilt when the
// knob's size changes or the look is dropped; an ordinary redraw copies the
// body and places the cap at the knob's angle. A knob too large to keep is
// painted anew each time.
#pragma once

#include "../controls/control_parts.h"
#include "mp_sdk_gui2.h"
#include "qw_fm.h"

#include <cmath>
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
    // A knob larger than this is drawn straight onto the screen each time:
    // its bitmaps would hold far more than a screen shows.
    static constexpr float kMaxCachedSize = 4096.0f;

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

// Base of the two knobs: the tool tip, context-menu and menu-choice pins,
// which each knob registers in its own pin order, and what the host asks of
// them.
class KnobBase : public gmpi_gui::MpGuiGfxBase
{
public:
    // The tool tip pin's text, wherever the pointer is.
    int32_t getToolTip(GmpiDrawing_API::MP1_POINT, gmpi::IString* out) override
    {
        return controls::answerToolTip(out, hint_);
    }
    // Every entry of the menu-items text, with its value as id.
    int32_t populateContextMenu(float, float, gmpi::IMpUnknown* sink) override
    {
        controls::addMenuItems(sink, menuItems_.getValue());
        return gmpi::MP_OK;
    }
    // The chosen id, then -1.
    int32_t onContextMenu(int32_t id) override
    {
        menuChoice_ = id;
        menuChoice_ = -1;
        return gmpi::MP_OK;
    }

protected:
    // A change between two angles in turns, the short way round: in [-0.5, 0.5].
    static float wrapTurns(float delta)
    {
        if (delta > 0.5f)
            return delta - 1.0f;
        return delta < -0.5f ? delta + 1.0f : delta;
    }

    // The pointer's angle about the arranged rectangle's centre: in turns
    // clockwise from straight up, in [0, 1); 0 at the centre or for a point
    // that is not a number.
    float angleOf(GmpiDrawing_API::MP1_POINT p) const
    {
        const GmpiDrawing::Rect r = getRect();
        const float a = qw::fm::atan2Turns(p.x - 0.5f * r.getWidth(), 0.5f * r.getHeight() - p.y);
        return std::isfinite(a) ? a : 0.0f;
    }

    StringGuiPin hint_;
    StringGuiPin menuItems_;
    MpGuiPin<int> menuChoice_;
};
} // namespace qw::vector
