// Parts shared by the drag controls (level bars, sliders, scroll bars): pin
// value limits, colour pins, the rounded cursor with its bevel and grip, the
// rounded background, and a layer drawn once into an off-screen bitmap.
#pragma once

#include "Drawing.h"
#include "mp_sdk_common.h"

#include <cstdint>
#include <string>

class FontMetadata;
namespace gmpi_gui
{
class MpGuiGfxBase;
}

namespace qw::controls
{
using GmpiDrawing::Color;
using GmpiDrawing::Graphics_base;
using GmpiDrawing::Point;
using GmpiDrawing::Rect;

// v limited to [lo, hi]; NaN gives lo.
inline float limit(float v, float lo, float hi)
{
    return v >= lo ? (v <= hi ? v : hi) : lo;
}

// A percentage pin as a fraction limited to [lo, hi]; NaN gives lo.
inline float percent(float v, float lo, float hi)
{
    return limit(v * 0.01f, lo, hi);
}

// A control's desired size: the available size, at least `least` each way
// (NaN gives `least`); -1 without `desired`.
inline int32_t measureAtLeast(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE* desired, float least)
{
    if (!desired)
        return gmpi::MP_FAIL;
    desired->width = available.width >= least ? available.width : least;
    desired->height = available.height >= least ? available.height : least;
    return gmpi::MP_OK;
}

// Length from one edge to the other: 0 when it is negative or not finite.
inline float span(float from, float to)
{
    const float d = to - from;
    return d >= 0.0f && d <= 3.0e38f ? d : 0.0f;
}

// A colour pin's text (AARRGGBB, read as hexadecimal up to the first other
// character); an empty text gives the default.
Color colorOf(const std::wstring& text, const Color& otherwise);
Color colorOf(uint32_t argb);

// Context menu from an enumeration-list text: its entries (the first
// kMaxListEntries at most) in order, each with its value as id and flags 0,
// whatever its leading characters; an entry with no UTF-8 form gets an empty
// text. A sink that is not a context-menu sink gets nothing.
void addMenuItems(gmpi::IMpUnknown* sink, const std::wstring& items);

// A module's own text format for a skin style, kept in the bundle's font
// cache under `key` and shared by every module that asks for that key: made
// on first use from the style `styleUtf8` (the skin's default style for a
// name it does not define) with word wrapping `wrapping` (0 wrap, 1 no
// wrap). `metadata` receives the cache's record of it; empty and null when
// the module has no graphics host or no format could be made.
GmpiDrawing::TextFormat_readonly keyedTextFormat(gmpi_gui::MpGuiGfxBase& module, const std::string& key,
                                                 const std::string& styleUtf8, int32_t wrapping,
                                                 const FontMetadata*& metadata);

// Alpha that marks a text field's colour as the style's own (its pin empty).
constexpr float kStyleColour = -1.0f;
// A colour pin of a text field: AARRGGBB, or for an empty text the style's.
inline Color fieldColour(const std::wstring& text)
{
    return colorOf(text, Color(0.0f, 0.0f, 0.0f, kStyleColour));
}

// A text field of a width x height control: a box inset by `inset` from
// every edge (at most to the middle) filled in `background`, and `utf8` in
// `text` inside it, clipped to it and lower by the style's vertical offset
// where the style asks for that. Colours marked kStyleColour take the
// style's (transparent without a style); both alphas are scaled by `fade`.
// Without a format only the box is drawn.
void drawTextField(const Graphics_base& g, float width, float height, float inset, const FontMetadata* style,
                   const GmpiDrawing::TextFormat_readonly& format, Color background, Color text, float fade,
                   const std::string& utf8);

// Tool tip text handed to the host as UTF-8; -1 without `out`.
int32_t answerToolTip(gmpi::IString* out, const std::string& utf8);

// The colour with its alpha scaled by k.
inline Color faded(Color c, float k)
{
    c.a *= k;
    return c;
}

// Rectangle of fractions (fx, fy) of a W x H control, centred in it.
inline Rect centred(float width, float height, float fx, float fy)
{
    return Rect(width * 0.5f * (1.0f - fx), height * 0.5f * (1.0f - fy), width * 0.5f * (1.0f + fx),
                height * 0.5f * (1.0f + fy));
}

// The same from percentages along and across the control's axis (each
// limited to 10 .. 100).
inline Rect centredOnAxis(float width, float height, float alongPercent, float acrossPercent, bool horizontal)
{
    const float along = percent(alongPercent, 0.1f, 1.0f), across = percent(acrossPercent, 0.1f, 1.0f);
    return horizontal ? centred(width, height, along, across) : centred(width, height, across, along);
}

// A rounded cursor in colour c (alpha already scaled): plain, or bevelled (a
// lighter copy one unit up and left, a darker one down and right, then the
// cursor); with grip, five ridges of a light and a dark line across its
// middle when it is at least 30 long and 14 thick.
struct CursorLook
{
    Color color;
    float radius;
    bool bevel;
    bool grip;
    bool horizontal;
};
void drawCursor(const Graphics_base& g, const Rect& cursor, const CursorLook& look);

// The rounded background of fractions (fx, fy) of the control, inset by half
// its outline so that the outline stays inside: filled, then outlined.
struct BackgroundLook
{
    float fx, fy;
    float outline; // width
    float radius;
    Color fill, line;
};
void drawBackground(const Graphics_base& g, float width, float height, const BackgroundLook& look);
// From the pins: length and thickness in percent along and across the axis
// (10 .. 100), outline width (1 .. 20), radius (0 .. 20); colours faded by k.
BackgroundLook backgroundLook(float lengthPercent, float thicknessPercent, bool horizontal, float outline, float radius,
                              const Color& fill, const Color& line, float k);

// Something drawn once into an off-screen bitmap and then copied on every
// render until it is dropped. A layer the host cannot make a bitmap for (too
// large) is drawn directly, clipped to where the bitmap would go.
class CachedLayer
{
public:
    void drop() { bitmap_.setNull(); }
    bool cached() const { return !bitmap_.isNull(); }

    // paint(graphics, origin) draws the layer with its top-left corner at origin.
    template <class Paint>
    void draw(const Graphics_base& g, GmpiDrawing::Size size, const Rect& destination, const Rect& source,
              Paint&& paint)
    {
        if (bitmap_.isNull())
        {
            GmpiDrawing::BitmapRenderTarget target = g.CreateCompatibleRenderTarget(size);
            if (!target.isNull())
            {
                target.BeginDraw();
                target.Clear(Color(0.0f, 0.0f, 0.0f, 0.0f));
                paint(static_cast<const Graphics_base&>(target), Point(0.0f, 0.0f));
                target.EndDraw();
                bitmap_ = target.GetBitmap();
            }
        }
        if (bitmap_.isNull())
        {
            drawDirect(g, destination, paint);
            return;
        }
        g.DrawBitmap(bitmap_, destination, source, 1.0f, GmpiDrawing::BitmapInterpolationMode::Linear);
    }

    // Draws the layer straight onto g, clipped to the destination, keeping nothing.
    template <class Paint> static void drawDirect(const Graphics_base& g, const Rect& destination, Paint&& paint)
    {
        g.PushAxisAlignedClip(destination);
        paint(g, Point(destination.left, destination.top));
        g.PopAxisAlignedClip();
    }

private:
    GmpiDrawing::Bitmap bitmap_;
};

// A control drawn as a rounded background, kept in `cache`, under a rounded
// cursor, on a transparent ground over the arranged rectangle (W x H).
void drawRoundedControl(const Graphics_base& g, const Rect& arranged, float width, float height, CachedLayer& cache,
                        const BackgroundLook& background, const Rect& cursor, const CursorLook& look);
} // namespace qw::controls
