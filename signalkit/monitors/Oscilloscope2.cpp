// Oscilloscope with a line trace: the display joins the points of a frame
// with segments whose opacity falls from the newest point backwards, and
// leaves out the sweep's retraces.
#include "scope.h"

#include <algorithm>
#include <cmath>

using namespace qw::monitors;

// 0 X, 1 Y, 2 mode, 3 sweep Hz, 4 points.
class QW_Oscilloscope2 final : public ScopeDsp<false>
{};

// 0 blob points; 1-5 colour texts; 6 line width; 7 draw every segment;
// 8 trace length; 9 X range; 10 Y range.
class QW_Oscilloscope2GUI final : public gmpi_gui::MpGuiGfxBase
{
public:
    QW_Oscilloscope2GUI() : look_(0xFF00FFB0u)
    {
        initializePin(points_, &QW_Oscilloscope2GUI::onBlob);
        for (auto& pin : colourPins_)
            initializePin(pin, &QW_Oscilloscope2GUI::onSetColors);
        initializePin(lineWidth_);
        initializePin(everySegment_);
        initializePin(traceLength_);
        initializePin(xRange_, &QW_Oscilloscope2GUI::onSetXRng);
        initializePin(yRange_, &QW_Oscilloscope2GUI::onSetYRng);
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const int w = wholePixels(rect_.left, rect_.right), h = wholePixels(rect_.top, rect_.bottom);
        if (w < 1 || h < 1)
            return gmpi::MP_OK;
        if (look_.resize(w, h))
            trace_.drop();
        look_.drawBackground(g);
        look_.drawGrid(g);
        const size_t n = static_cast<size_t>(points_.getValue().getSize()) / sizeof(MsgPt);
        if (n >= 2)
            drawTrace(g, w, h, n);
        return gmpi::MP_OK;
    }

private:
    void onBlob()
    {
        trace_.drop();
        invalidateRect();
    }
    void onSetColors()
    {
        std::wstring texts[ScopeLook::ColourCount];
        for (int i = 0; i < ScopeLook::ColourCount; ++i)
            texts[i] = colourPins_[i].getValue();
        look_.readColours(texts);
        trace_.drop();
        invalidateRect();
    }
    void onSetXRng()
    {
        if (look_.setXRange(xRange_))
            trace_.drop();
        invalidateRect();
    }
    void onSetYRng()
    {
        if (look_.setYRange(yRange_))
            trace_.drop();
        invalidateRect();
    }

    // The trace layer covers only the box around the segments drawn: outside
    // it a layer of the panel's size would stay transparent, and drawing a
    // transparent pixel over another changes nothing, so the frame is the
    // same while a new frame of points costs a fraction of the panel. The box
    // is in whole pixels, so shifting the segments into it moves them by whole
    // pixels exactly.
    void drawTrace(const GmpiDrawing::Graphics& g, int w, int h, size_t n)
    {
        if (!trace_.cached())
        {
            float box[4] = {1e30f, 1e30f, -1e30f, -1e30f};
            paint(nullptr, w, h, n, 0.0f, 0.0f, box);
            // A segment's stroke reaches half its width beyond its ends and
            // sides, its smoothed edge a pixel further.
            if (!(box[0] <= box[2]))
                return; // no segment drawn
            // Ends lie within 16 panel sides of it, so these fit an int.
            const float margin = 0.5f * width() + 2.0f;
            const int x0 = std::max(0, static_cast<int>(std::floor(box[0] - margin)));
            const int y0 = std::max(0, static_cast<int>(std::floor(box[1] - margin)));
            const int x1 = std::min(w, static_cast<int>(std::ceil(box[2] + margin)));
            const int y1 = std::min(h, static_cast<int>(std::ceil(box[3] + margin)));
            if (x1 <= x0 || y1 <= y0)
                return; // every segment outside the panel
            traceBox_ =
                Rect(static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1), static_cast<float>(y1));
            const float dx = traceBox_.left, dy = traceBox_.top;
            trace_.draw(
                g, x1 - x0, y1 - y0, [&](const Graphics_base& t) { paint(&t, w, h, n, dx, dy, nullptr); }, &traceBox_);
            return;
        }
        trace_.draw(
            g, static_cast<int>(traceBox_.getWidth()), static_cast<int>(traceBox_.getHeight()),
            [](const Graphics_base&) {}, &traceBox_);
    }

    float width() const { return static_cast<float>(std::clamp(lineWidth_.getValue(), 1, 100)); }

    // Segments from each point to the next older one, newest first, shifted
    // by (-dx, -dy); with box, only their ends' extent (left, top, right,
    // bottom) is gathered there and nothing is drawn.
    void paint(const Graphics_base* g, int w, int h, size_t n, float dx, float dy, float* box)
    {
        const float length = traceLength_;
        const float spread = (length < 1.0f ? length : 1.0f) * static_cast<float>(n - 1);
        const float step = spread >= 1.0f ? 1.0f / spread : 1.0f; // NaN or below 1: one step
        const float width = this->width();
        const bool every = everySegment_;
        const float sx = 10.0f / look_.xRange(), sy = -10.0f / look_.yRange();
        const float hw = 0.5f * static_cast<float>(w), hh = 0.5f * static_cast<float>(h);
        // Ends far outside the panel (or not finite) leave their segment out.
        const float limit = 16.0f * static_cast<float>(std::max(w, h));
        const char* data = points_.getValue().getData();
        auto at = [&](size_t i) {
            MsgPt pt;
            std::memcpy(&pt, data + i * sizeof(MsgPt), sizeof pt);
            return Point((sx * pt.x + 1.0f) * hw, (sy * pt.y + 1.0f) * hh);
        };
        auto usable = [limit](const Point& p) { return std::fabs(p.x) <= limit && std::fabs(p.y) <= limit; };

        Color c = look_.colour(ScopeLook::Trace);
        GmpiDrawing::SolidColorBrush brush;
        if (g)
            brush = g->CreateSolidColorBrush(c);
        float a = c.a;
        Point newer = at(n - 1);
        for (size_t i = n - 1; i-- > 0 && a > 0.0f;)
        {
            const Point older = at(i);
            if ((every || newer.x > older.x) && usable(newer) && usable(older))
            {
                if (box)
                {
                    box[0] = std::min({box[0], newer.x, older.x});
                    box[1] = std::min({box[1], newer.y, older.y});
                    box[2] = std::max({box[2], newer.x, older.x});
                    box[3] = std::max({box[3], newer.y, older.y});
                }
                else
                {
                    c.a = a;
                    brush.SetColor(c);
                    g->DrawLine(Point(newer.x - dx, newer.y - dy), Point(older.x - dx, older.y - dy), brush, width);
                }
            }
            a = std::max(0.0f, a - step);
            newer = older;
        }
    }

    MpGuiPin<MpBlob> points_;
    StringGuiPin colourPins_[ScopeLook::ColourCount];
    MpGuiPin<int> lineWidth_;
    MpGuiPin<bool> everySegment_;
    MpGuiPin<float> traceLength_;
    MpGuiPin<float> xRange_;
    MpGuiPin<float> yRange_;

    ScopeLook look_;
    CachedBitmap trace_;
    Rect traceBox_; // where the trace layer lies on the panel
};

namespace
{
auto r0 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Oscilloscope2", &gmpi::Register<QW_Oscilloscope2>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Oscilloscope2", &gmpi::Register<QW_Oscilloscope2GUI>::withId);
} // namespace
