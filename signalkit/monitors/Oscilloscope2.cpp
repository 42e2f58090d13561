// Oscilloscope with a line trace: the display joins the points of a frame
// with segments whose opacity falls from the newest point backwards, and
// leaves out the sweep's retraces.
#include "scope.h"

#include <algorithm>

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
            trace_.draw(g, w, h, [&](const Graphics_base& t) { paint(t, w, h, n); });
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

    // Segments from each point to the next older one, newest first.
    void paint(const Graphics_base& g, int w, int h, size_t n)
    {
        const float length = traceLength_;
        const float spread = (length < 1.0f ? length : 1.0f) * static_cast<float>(n - 1);
        const float step = spread >= 1.0f ? 1.0f / spread : 1.0f; // NaN or below 1: one step
        const float width = static_cast<float>(std::clamp(lineWidth_.getValue(), 1, 100));
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
        auto brush = g.CreateSolidColorBrush(c);
        float a = c.a;
        Point newer = at(n - 1);
        for (size_t i = n - 1; i-- > 0 && a > 0.0f;)
        {
            const Point older = at(i);
            if ((every || newer.x > older.x) && usable(newer) && usable(older))
            {
                c.a = a;
                brush.SetColor(c);
                g.DrawLine(newer, older, brush, width);
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
};

namespace
{
auto r0 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Oscilloscope2", &gmpi::Register<QW_Oscilloscope2>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Oscilloscope2", &gmpi::Register<QW_Oscilloscope2GUI>::withId);
} // namespace
