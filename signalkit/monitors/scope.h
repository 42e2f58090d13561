// The two oscilloscopes: a processing half that samples X and Y (or a sweep
// instead of X) into frames of points and publishes each full frame on a blob
// pin, and the common ground of the displays (colours, ranges, background and
// volt grid).
#pragma once

#include "monitor_parts.h"

#include "mp_sdk_audio.h"
#include "mp_sdk_gui2.h"

#include <vector>

namespace qw::monitors
{
// Pins: 0 audio X, 1 audio Y, 2 enum mode (0 sweep), 3 float sweep Hz, then
// (with a clear pin) 4 bool clear and 5 blob points, else 4 blob points.
template <bool kHasClear> class ScopeDsp : public MpBase2
{
public:
    ScopeDsp()
    {
        initializePin(x_);
        initializePin(y_);
        initializePin(mode_);
        initializePin(sweepHz_);
        if constexpr (kHasClear)
            initializePin(clear_);
        initializePin(points_);
        setSubProcess(&ScopeDsp::subProcess);
        setSleep(false);
    }

    void onSetPins() override
    {
        if constexpr (kHasClear)
            if (clearPending_ || (clear_.isUpdated() && clear_))
            {
                clearPending_ = false;
                points_.sendPinUpdate(0, nullptr);
            }
        const float rate = getSampleRate();
        if (rate != rate_)
        {
            rate_ = rate;
            length_ = frameLength(rate);
            frame_.assign(static_cast<size_t>(length_), MsgPt{0.0f, 0.0f});
            index_ = 0;
            increment_ = sweepIncrement();
        }
        else if (sweepHz_.isUpdated())
            increment_ = sweepIncrement();
        if (mode_.isUpdated())
            sweep_ = mode_ == 0;
    }

    void subProcess(int sampleFrames)
    {
        const int p = getBlockPosition();
        const float* xs = x_.getBuffer() + p;
        const float* ys = y_.getBuffer() + p;
        MsgPt* frame = frame_.data();
        for (int i = 0; i < sampleFrames; ++i)
        {
            // The phase stays in [0, 1) whichever way the sweep runs.
            phase_ += increment_;
            if (phase_ >= 1.0f)
                phase_ -= 1.0f;
            else if (phase_ < 0.0f)
                phase_ += 1.0f;
            if (phase_ >= 1.0f)
                phase_ = 0.0f;
            frame[index_] = {sweep_ ? 2.0f * phase_ - 1.0f : xs[i], ys[i]};
            if (++index_ >= length_)
            {
                points_.sendPinUpdate(length_ * static_cast<int>(sizeof(MsgPt)), frame, p + i);
                index_ = 0;
            }
        }
    }

private:
    // Sweep frequency over the rate, the frequency limited to +-rate (NaN as 0).
    float sweepIncrement() const
    {
        if (!(rate_ > 0.0f) || !(rate_ < 1.0e9f))
            return 0.0f;
        const float f = sweepHz_;
        const float limited = f >= -rate_ ? (f <= rate_ ? f : rate_) : (f < 0.0f ? -rate_ : 0.0f);
        return limited / rate_;
    }

    AudioInPin x_;
    AudioInPin y_;
    EnumInPin mode_;
    FloatInPin sweepHz_;
    BoolInPin clear_;
    BlobOutPin points_;

    float rate_ = 0.0f;
    bool sweep_ = false;
    float phase_ = 0.0f;
    float increment_ = 50.0f / 44100.0f;
    int length_ = 1;
    std::vector<MsgPt> frame_ = std::vector<MsgPt>(1);
    int index_ = 0;
    bool clearPending_ = true;
};

// The display's colours and ranges, its background and grid layers.
class ScopeLook
{
public:
    enum
    {
        Top,
        Bottom,
        Trace,
        Grid,
        Axes,
        ColourCount
    };

    explicit ScopeLook(uint32_t traceDefault) : traceDefault_(traceDefault) { readColours(nullptr); }

    // The five colour texts (null: all defaults); drops background and grid.
    void readColours(const std::wstring* texts)
    {
        static const uint32_t kOthers[ColourCount] = {0xFF000000u, 0xFF708080u, 0, 0x40000000u, 0xC0604040u};
        for (int i = 0; i < ColourCount; ++i)
            colours_[i] = colourOf(texts ? texts[i] : std::wstring(), i == Trace ? traceDefault_ : kOthers[i]);
        background_.drop();
        grid_.drop();
    }
    // False (and nothing changes) for a range outside (0, 20].
    bool setXRange(float r) { return setRange(xRange_, r); }
    bool setYRange(float r) { return setRange(yRange_, r); }

    float xRange() const { return xRange_; }
    float yRange() const { return yRange_; }
    const Color& colour(int i) const { return colours_[i]; }

    // Drops the layers when the size changed; true when it did.
    bool resize(int w, int h)
    {
        if (w == width_ && h == height_)
            return false;
        width_ = w;
        height_ = h;
        background_.drop();
        grid_.drop();
        return true;
    }

    void drawBackground(const Graphics_base& g)
    {
        if (colours_[Top].a > 0.0f || colours_[Bottom].a > 0.0f)
            background_.draw(g, width_, height_, [this](const Graphics_base& t) {
                fillGradient(t, width_, height_, colours_[Top], colours_[Bottom]);
            });
    }
    void drawGrid(const Graphics_base& g)
    {
        if (colours_[Grid].a > 0.0f || colours_[Axes].a > 0.0f)
            grid_.draw(g, width_, height_, [this](const Graphics_base& t) {
                drawVoltGrid(t, width_, height_, xRange_, yRange_, colours_[Grid], colours_[Axes]);
            });
    }

private:
    bool setRange(float& range, float r)
    {
        if (!acceptRange(r))
            return false;
        range = r;
        grid_.drop();
        return true;
    }

    uint32_t traceDefault_;
    Color colours_[ColourCount];
    float xRange_ = 6.0f, yRange_ = 6.0f;
    int width_ = -1, height_ = -1;
    CachedBitmap background_, grid_;
};
} // namespace qw::monitors
