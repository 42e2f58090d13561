// Plotter: the processing half measures the minimum and maximum of the scaled
// input over each period and sends them as a message; the display scrolls its
// chart one column to the left per drawing that follows new data and paints
// the new column from the minimum to the maximum.
#include "monitor_parts.h"

#include "mp_sdk_audio.h"
#include "mp_sdk_gui2.h"

#include <algorithm>

using namespace qw::monitors;

namespace
{
// Message to the display: id 0, f32 minimum, f32 maximum.
struct PlotMsg
{
    float minimum, maximum;
};
} // namespace

// 0 audio signal; 1 float period (ms, at least 10); 2 float full scale (V).
class QW_Plotter final : public MpBase2
{
public:
    QW_Plotter()
    {
        initializePin(signal_);
        initializePin(periodMs_);
        initializePin(fullScale_);
        setSubProcess(&QW_Plotter::subProcess);
        setSleep(false);
    }

    void onSetPins() override
    {
        if (periodMs_.isUpdated())
        {
            const float ms = periodMs_ >= 10.0f ? periodMs_.getValue() : 10.0f; // NaN as 10
            const double samples = static_cast<double>(ms) * getSampleRate() * 0.001;
            period_ = samples >= 1.0 ? (samples < 1.0e9 ? static_cast<int32_t>(samples) : 1000000000) : 1;
            counter_ = 0;
        }
        if (fullScale_.isUpdated())
        {
            const float s = fullScale_ * 0.1f;
            gain_ = s >= 1.0e-5f ? 1.0f / s : 100000.0f; // NaN as 0
        }
    }

    void subProcess(int sampleFrames)
    {
        const float* in = signal_.getBuffer() + getBlockPosition();
        for (int i = 0; i < sampleFrames; ++i)
        {
            const float v = in[i] * gain_;
            minimum_ = std::min(minimum_, v);
            maximum_ = std::max(maximum_, v);
            if (++counter_ >= period_)
            {
                const PlotMsg m{minimum_, maximum_};
                if (getHost())
                    getHost()->sendMessageToGui(0, sizeof m, &m);
                minimum_ = 1.0e30f;
                maximum_ = -1.0e30f;
                counter_ = 0;
            }
        }
    }

private:
    AudioInPin signal_;
    FloatInPin periodMs_;
    FloatInPin fullScale_;
    float gain_ = 1.0f;
    int32_t period_ = 1000;
    int32_t counter_ = 0;
    float minimum_ = 1.0e30f;
    float maximum_ = -1.0e30f;
};

// 0 bool hold; 1-4 colour texts: background top, background bottom, chart, grid.
class QW_PlotterGUI final : public gmpi_gui::MpGuiGfxBase
{
public:
    QW_PlotterGUI()
    {
        initializePin(hold_, &QW_PlotterGUI::onSetHold);
        for (auto& pin : colourPins_)
            initializePin(pin, &QW_PlotterGUI::onSetColors);
        readColours();
    }

    using MpGuiGfxBase::receiveMessageFromAudio;
    int32_t receiveMessageFromAudio(int32_t, int32_t size, const void* data) override
    {
        if (size < static_cast<int32_t>(sizeof(PlotMsg)) || !data)
            return gmpi::MP_OK;
        std::memcpy(&last_, data, sizeof last_);
        newData_ = true;
        invalidateRect();
        return gmpi::MP_OK;
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const int w = wholePixels(rect_.left, rect_.right), h = wholePixels(rect_.top, rect_.bottom);
        if (w < 1 || h < 1)
            return gmpi::MP_OK;
        if (w != width_ || h != height_)
        {
            width_ = w;
            height_ = h;
            background_.drop();
            chart_.setNull();
        }
        if (top_.a > 0.0f || bottom_.a > 0.0f || grid_.a > 0.0f)
            background_.draw(g, w, h, [&](const Graphics_base& t) { paintBackground(t, w, h); });
        if (chartColour_.a > 0.0f)
        {
            if (chart_.isNull())
                chart_ = drawingFactory(getGuiHost()).CreateImage(w, h);
            if (!chart_.isNull())
            {
                if (newData_ && !hold_)
                    advance(w, h);
                const Rect all(0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h));
                g.DrawBitmap(chart_, all, all, 1.0f, GmpiDrawing::BitmapInterpolationMode::NearestNeighbor);
            }
        }
        newData_ = false;
        return gmpi::MP_OK;
    }

private:
    void onSetHold() {}

    void onSetColors()
    {
        readColours();
        background_.drop();
        invalidateRect();
    }

    void readColours()
    {
        top_ = colourOf(colourPins_[0].getValue(), 0xFFD0E0FFu);
        bottom_ = colourOf(colourPins_[1].getValue(), 0xFF2060A0u);
        chartColour_ = pixelColourOf(colourPins_[2].getValue(), PixelColour{0, 0, 0, 128.0f / 255.0f});
        grid_ = colourOf(colourPins_[3].getValue(), 0x40000000u);
    }

    void paintBackground(const Graphics_base& g, int w, int h) const
    {
        fillGradient(g, w, h, top_, bottom_);
        if (!(grid_.a > 0.0f))
            return;
        auto brush = g.CreateSolidColorBrush(grid_);
        const float fh = static_cast<float>(h), right = static_cast<float>(w - 1);
        for (int k = 0; k <= 20; ++k)
        {
            const float y = static_cast<float>(k) * 0.05f * fh - 1.0f;
            g.DrawLine(Point(0.0f, y), Point(right, y), brush, 1.0f);
        }
    }

    // Shifts the chart one column left and paints the newest column.
    void advance(int w, int h)
    {
        auto pixels = chart_.lockPixels(GmpiDrawing::BitmapLockFlags::ReadWrite);
        uint8_t* base = pixels.getAddress();
        const int stride = pixels.getBytesPerRow();
        if (!base || stride < 4 * w)
            return;
        const int format = pixels.getPixelFormat();
        for (int y = 0; y < h; ++y)
        {
            uint8_t* row = base + static_cast<size_t>(y) * stride;
            std::memmove(row, row + 4, static_cast<size_t>(w - 1) * 4);
        }
        const float half = 0.5f * static_cast<float>(h), last = static_cast<float>(h - 1);
        // A value maps to h/2 - v h/2, limited to the chart (NaN as the middle).
        auto place = [&](float v) {
            const float y = half - v * half;
            return y >= 0.0f ? (y <= last ? y : last) : (y < 0.0f ? 0.0f : half);
        };
        float yTop = place(last_.maximum), yBottom = place(last_.minimum);
        if (yTop > yBottom)
            std::swap(yTop, yBottom);
        const bool clipped = half - std::min(last_.minimum, last_.maximum) * half > last;
        const int t = static_cast<int>(yTop), b = static_cast<int>(yBottom);
        const float a = chartColour_.a;
        uint8_t* column = base + static_cast<size_t>(w - 1) * 4;
        for (int y = 0; y < h; ++y)
            putPixel(column + static_cast<size_t>(y) * stride, format, chartColour_, y >= t && y <= b ? a : 0.0f);
        // The bar's ends are covered in part; a bar within one row, or one
        // running past the bottom edge, covers its end row whole.
        if (t < b)
        {
            putPixel(column + static_cast<size_t>(t) * stride, format, chartColour_,
                     a * (static_cast<float>(t + 1) - yTop));
            putPixel(column + static_cast<size_t>(b) * stride, format, chartColour_,
                     clipped ? a : a * (yBottom - static_cast<float>(b)));
        }
    }

    MpGuiPin<bool> hold_;
    StringGuiPin colourPins_[4];

    Color top_, bottom_, grid_;
    PixelColour chartColour_;
    PlotMsg last_{0.0f, 0.0f};
    bool newData_ = false;
    int width_ = -1, height_ = -1;
    CachedBitmap background_;
    GmpiDrawing::Bitmap chart_;
};

namespace
{
auto r0 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Plotter", &gmpi::Register<QW_Plotter>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_Plotter", &gmpi::Register<QW_PlotterGUI>::withId);
} // namespace
