// The older scroll bar, kept for existing patches: Offset, Visible and Total
// held as numbers with fractions, a fixed look (gradient track with an
// optional groove, bevelled cursor with arrow marks), page clicks, a drag
// whose fine factor is 1/20, and Dec/Inc pins that repeat after 15 idle ticks
// of the bundle's default timer, which this control sets to 10 ms.
#include "TimerManager.h"
#include "control_parts.h"
#include "mp_sdk_gui2.h"

#include <algorithm>
#include <climits>
#include <cmath>

using namespace qw::controls;
using GmpiDrawing::RoundedRect;

class QW_ScrollBar : public gmpi_gui::MpGuiGfxBase, public TimerClient
{
public:
    QW_ScrollBar()
    {
        SetTimerIntervalMs(10);
        initializePin(offsetPin_, &QW_ScrollBar::onSetOffset);
        initializePin(visiblePin_, &QW_ScrollBar::onSetVisible);
        initializePin(totalPin_, &QW_ScrollBar::onSetTotal);
        initializePin(pointerDown_);
        initializePin(dec_, &QW_ScrollBar::onSetDec);
        initializePin(inc_, &QW_ScrollBar::onSetInc);
        for (auto& pin : colourPins_)
            initializePin(pin, &QW_ScrollBar::onSetColors);
        initializePin(groove_);
        expectOwnEchoes();
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const Rect arranged = getRect();
        layOut(span(arranged.left, arranged.right), span(arranged.top, arranged.bottom));
        if (!(width_ > 0.0f && height_ > 0.0f))
            return gmpi::MP_OK;

        const float w = width_, h = height_;
        trackLayer_.draw(g, GmpiDrawing::Size(w, h), Rect(0.0f, 0.0f, w, h), arranged,
                         [&](const Graphics_base& t, Point) { paintTrack(t); });

        const float sx = horizontal_ ? cursorLength_ : w, sy = horizontal_ ? h : cursorLength_;
        const Point at = horizontal_ ? Point(cursorStart_, 0.0f) : Point(0.0f, cursorStart_);
        cursorLayer_.draw(g, GmpiDrawing::Size(sx, sy), Rect(at.x, at.y, at.x + sx - 1.0f, at.y + sy - 1.0f),
                          Rect(0.0f, 0.0f, sx - 1.0f, sy - 1.0f),
                          [&](const Graphics_base& t, Point origin) { paintCursor(t, origin, sx, sy); });
        return gmpi::MP_OK;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        // Before the first render there is no cursor to page around.
        const float c = along(point);
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON) || !(width_ > 0.0f && height_ > 0.0f) ||
            !std::isfinite(c))
            return gmpi::MP_UNHANDLED;
        if (c < cursorStart_)
        {
            setOffset(std::max(0.0, offset_ - visible_));
            return gmpi::MP_OK;
        }
        if (c > cursorEnd_)
        {
            setOffset(std::clamp(offset_ + visible_, 0.0, std::max(0.0, total_ - visible_)));
            return gmpi::MP_OK;
        }
        pointerDown_ = true;
        anchor_ = c;
        lastSent_ = whole(offset_);
        setCapture();
        dragging_ = true;
        cursorLayer_.drop();
        invalidateRect();
        return 1;
    }

    int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!getCapture())
            return gmpi::MP_OK;
        const float c = along(point);
        if (!std::isfinite(c))
            return 1;
        static const float fineFactors[2] = {0.05f, 1.0f};
        const float k = fineFactors[(flags & gmpi_gui_api::GG_POINTER_KEY_CONTROL) ? 0 : 1];
        const double d = static_cast<double>(c - anchor_) * k;
        anchor_ = c;
        const Rect r = getRect();
        const double length = horizontal_ ? span(r.left, r.right) : span(r.top, r.bottom);
        const double free = length - cursorLength_, range = total_ - visible_;
        // A cursor that fills the track has nowhere to go.
        if (free > 0.0 && range > 0.0)
        {
            double o = std::clamp(offset_ + d * range / free, 0.0, range);
            // Steps there and back must land on the whole offset they left.
            const double nearest = std::round(o);
            if (std::fabs(o - nearest) < 1e-9 * std::max(1.0, nearest))
                o = nearest;
            offset_ = o;
        }
        invalidateRect();
        if (whole(offset_) != lastSent_)
        {
            echoGuard_ = true;
            offsetPin_ = whole(offset_);
            echoGuard_ = false;
            lastSent_ = whole(offset_);
        }
        return 1;
    }

    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT) override
    {
        if (getCapture())
            releaseCapture();
        pointerDown_ = false;
        dragging_ = false;
        cursorLayer_.drop();
        invalidateRect();
        return gmpi::MP_OK;
    }

    // After a press, 15 ticks pass idle; then each tick steps while Dec or
    // Inc is held, and the first tick with neither leaves the timer.
    bool OnTimer() override
    {
        if (idleTicks_ <= 14)
        {
            ++idleTicks_;
            return true;
        }
        if (dec_)
        {
            stepDown();
            return true;
        }
        if (inc_)
        {
            stepUp();
            return true;
        }
        return false;
    }

private:
    enum Colour
    {
        TrackStart,
        TrackEnd,
        Cursor,
        ColourCount
    };

    void onSetOffset()
    {
        // During a drag the host may hand back the last whole value sent, after
        // the fact: taking it would cut off the fraction the drag goes on from.
        if (echoGuard_ || (dragging_ && offsetPin_.getValue() == lastSent_))
            return;
        offset_ = std::max(0, offsetPin_.getValue());
        invalidateRect();
    }

    void onSetVisible()
    {
        visible_ = std::max(0, visiblePin_.getValue());
        cursorLayer_.drop();
        invalidateRect();
    }

    void onSetTotal()
    {
        total_ = std::max(0, totalPin_.getValue());
        cursorLayer_.drop();
        invalidateRect();
    }

    void onSetDec()
    {
        if (!dec_ || total_ <= visible_)
        {
            StopTimer();
            return;
        }
        stepDown();
        StartTimer();
        idleTicks_ = 0;
    }

    void onSetInc()
    {
        if (!inc_ || total_ <= visible_)
        {
            StopTimer();
            return;
        }
        stepUp();
        StartTimer();
        idleTicks_ = 0;
    }

    void stepDown()
    {
        if (offset_ > 0.0)
            setOffset(std::max(0.0, offset_ - 1.0));
    }

    void stepUp()
    {
        const double range = total_ - visible_;
        if (range > offset_)
            setOffset(std::min(range, offset_ + 1.0));
    }

    void onSetColors()
    {
        static const uint32_t defaults[ColourCount] = {0xFF808080u, 0xFFFFFFFFu, 0xFF0080FFu};
        for (int i = 0; i < ColourCount; ++i)
            colours_[i] = colorOf(colourPins_[i].getValue(), colorOf(defaults[i]));
        const Color& c = colours_[Cursor];
        light_ = Color((2.0f + c.r) * 0.333f, (2.0f + c.g) * 0.333f, (2.0f + c.b) * 0.333f, c.a);
        dark_ = Color(c.r * 0.333f, c.g * 0.333f, c.b * 0.333f, c.a);
        trackLayer_.drop();
        cursorLayer_.drop();
        invalidateRect();
    }

    // The Offset the control moved itself to, sent and shown at once.
    void setOffset(double o)
    {
        offset_ = o;
        offsetPin_ = whole(o);
        invalidateRect();
    }

    static int32_t whole(double o) { return static_cast<int32_t>(std::clamp(std::trunc(o), 0.0, double(INT_MAX))); }

    void layOut(float w, float h)
    {
        thickness_ = std::min(w, h);
        const float length = std::max(w, h);
        bevel_ = 0.1f * thickness_;
        radius_ = 0.45f * thickness_;
        horizontal_ = w > h;
        if (visible_ >= total_)
        {
            cursorStart_ = 0.0f;
            cursorLength_ = length;
        }
        else
        {
            const float q = radius_ * 0.5f;
            const float shortest = 0.9f * thickness_ + q + q + 2.0f;
            cursorLength_ = std::max(shortest, static_cast<float>(visible_ * length / total_));
            const float free = length - cursorLength_;
            // Offset may lie beyond Total - Visible: the cursor stops at the end.
            const float at = static_cast<float>(offset_ * free / (total_ - visible_));
            cursorStart_ = std::max(0.0f, std::min(free, at));
        }
        cursorEnd_ = cursorStart_ + cursorLength_ - 1.0f;
        if (w != width_ || h != height_)
        {
            width_ = w;
            height_ = h;
            trackLayer_.drop();
            cursorLayer_.drop();
        }
    }

    void paintTrack(const Graphics_base& g) const
    {
        const float w = width_, h = height_;
        if (colours_[TrackStart].a > 0.0f || colours_[TrackEnd].a > 0.0f)
        {
            const Point end = horizontal_ ? Point(w - 1.0f, 0.0f) : Point(0.0f, h - 1.0f);
            g.FillRectangle(Rect(0.0f, 0.0f, w - 1.0f, h - 1.0f),
                            g.CreateLinearGradientBrush(colours_[TrackStart], colours_[TrackEnd], Point(0, 0), end));
        }
        if (!groove_)
            return;
        auto brush = g.CreateSolidColorBrush(colorOf(0x80000000u));
        for (float side : {-1.0f, 1.0f})
        {
            if (horizontal_)
                g.DrawLine(Point(h, h * 0.5f + side), Point(w - h, h * 0.5f + side), brush, 1.0f);
            else
                g.DrawLine(Point(w * 0.5f + side, w), Point(w * 0.5f + side, h - w), brush, 1.0f);
            brush.SetColor(colorOf(0x80FFFFFFu));
        }
    }

    // A light rounded rectangle offset up-left and a dark one down-right
    // under the cursor colour (all shifted by one while pressed), and two
    // arrowheads pointing to the ends.
    void paintCursor(const Graphics_base& g, Point o, float sx, float sy) const
    {
        const float f = dragging_ ? 1.0f : 0.0f, b = bevel_, r = radius_, q = r * 0.5f;
        const float x = o.x + f, y = o.y + f;
        auto brush = g.CreateSolidColorBrush(light_);
        g.FillRoundedRectangle(RoundedRect(Rect(x, y, x + sx - b - 1.0f, y + sy - b - 1.0f), r, r), brush);
        brush.SetColor(dark_);
        g.FillRoundedRectangle(RoundedRect(Rect(o.x + b, o.y + b, o.x + sx - 1.0f, o.y + sy - 1.0f), r, r), brush);
        brush.SetColor(colours_[Cursor]);
        g.FillRoundedRectangle(
            RoundedRect(Rect(x + b * 0.5f, y + b * 0.5f, x + sx - b * 0.5f - 1.0f, y + sy - b * 0.5f - 1.0f), r, r),
            brush);

        brush.SetColor(light_);
        const float middle = thickness_ * 0.5f;
        const float extent = horizontal_ ? sx : sy;
        // (along, across) in the cursor's own axes.
        auto at = [&](float a, float c) { return horizontal_ ? Point(x + a, y + c) : Point(x + c, y + a); };
        const float tips[2][2] = {{r, r + q}, {extent - 1.0f - r, extent - 1.0f - r - q}}; // tip, back
        for (const auto& t : tips)
        {
            g.DrawLine(at(t[0], middle), at(t[1], middle - q), brush, 2.0f);
            g.DrawLine(at(t[0], middle), at(t[1], middle + q), brush, 2.0f);
        }
    }

    float along(GmpiDrawing_API::MP1_POINT p) const { return horizontal_ ? p.x : p.y; }

    MpGuiPin<int> offsetPin_;
    MpGuiPin<int> visiblePin_;
    MpGuiPin<int> totalPin_;
    MpGuiPin<bool> pointerDown_;
    MpGuiPin<bool> dec_;
    MpGuiPin<bool> inc_;
    StringGuiPin colourPins_[ColourCount];
    MpGuiPin<bool> groove_;

    // Held with fractions: a drag moves the Offset between whole items.
    double total_ = 0.0, visible_ = 0.0, offset_ = 0.0;
    Color colours_[ColourCount] = {colorOf(0xFF808080u), colorOf(0xFFFFFFFFu), colorOf(0xFF0080FFu)};
    Color light_ = Color(1.0f, 1.0f, 1.0f), dark_ = Color(1.0f, 1.0f, 1.0f);

    float width_ = 0.0f, height_ = 0.0f; // of the last render
    float thickness_ = 0.0f, bevel_ = 0.0f, radius_ = 0.0f;
    bool horizontal_ = false;
    float cursorStart_ = 0.0f, cursorEnd_ = 0.0f, cursorLength_ = 0.0f;
    float anchor_ = 0.0f;
    int32_t lastSent_ = 0;
    int idleTicks_ = 0;
    bool dragging_ = false;
    bool echoGuard_ = false;
    CachedLayer trackLayer_, cursorLayer_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ScrollBar", &gmpi::Register<QW_ScrollBar>::withId);
} // namespace
