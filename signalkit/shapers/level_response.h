// Curve-driven level response: the peak of each analysis frame is placed on a
// decibel scale (0 silence, 1/7 at -60 dB, 1 at 0 dB), the position is looked
// up in a table rendered from a breakpoint shape, and the ratio of the
// looked-up level to the peak is the frame's gain.
//
// LevelResponse holds what the three modules share: the pins (one or two
// channels), the curve, frame length, latency report, streaming and tail.
// Each module adds its own frame routine.
#pragma once

#include "mp_sdk_audio.h"
#include "qw_shape.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace qw::levresp
{
// Peaks below this count as silence: the gain of a subnormal peak would be
// infinite (and depend on the processor's mode).
constexpr float kQuietPeak = 1e-20f;
// Samples held in the frame buffers are limited to this magnitude (a NaN
// becomes 0), so that a burst of non-finite input cannot outlive the frame
// and sums of scaled samples cannot overflow.
constexpr float kLargest = 1e30f;

inline float held(float x)
{
    if (std::fabs(x) <= kLargest)
        return x;
    return x > 0.0f ? kLargest : (x < 0.0f ? -kLargest : 0.0f);
}

// The transfer curve: the shape, its table and the amount.
template <int T> struct Curve
{
    Shape::Interpolator interpolator{Shape(L"(-5,-5)(5,5)"), T};
    LevelScale scale{LevelScale::kDecibel, -INFINITY, 0.0f, -60.0f};
    float table[T] = {};
    float amount = 0.0f;

    Curve() { rebuild(); }

    // Renders the held shape (when it changed) and refills the table:
    // entry i = (curve at i / (T - 1) + 1) / 2, so y in [-1, 1] spans 0 to 1.
    void rebuild()
    {
        interpolator.render();
        for (float& e : table)
            e = (interpolator.readNext() + 1.0f) * 0.5f;
    }

    void setAmount(float v) { amount = v >= 0.0f ? (v > 10.0f ? 1.0f : v * 0.1f) : 0.0f; } // NaN: 0

    // The gain for a frame peak P; u and v the measured and mapped positions.
    float gain(float peak, float& u, float& v) const
    {
        if (!(peak >= kQuietPeak))
            peak = 0.0f;
        u = scale.normalised(peak);
        const float t = std::clamp(u, 0.0f, 1.0f) * static_cast<float>(T - 1);
        const int i = static_cast<int>(t);
        float y;
        if (i >= T - 1)
            y = table[T - 1];
        else
        {
            const float f = t - static_cast<float>(i);
            y = (1.0f - f) * table[i] + f * table[i + 1];
        }
        v = (1.0f - amount) * u + amount * y;
        if (peak == 0.0f)
            return 1.0f;
        return scale.levelFromNormalised(v) / peak;
    }
};

template <int Channels, int TableSize> class LevelResponse : public MpBase2
{
public:
    LevelResponse()
    {
        if constexpr (Channels == 1)
            initializePin(pinIn_[0]);
        else
            for (auto& pin : pinIn_)
                initializePin(pin);
        initializePin(pinShape_);
        initializePin(pinItp_);
        initializePin(pinFrame_);
        initializePin(pinAmount_);
        initializePin(pinLatency_);
        initializePin(pinMeasured_);
        initializePin(pinMapped_);
        for (auto& pin : pinOut_)
            initializePin(pin);
        // Silence until an input first streams.
        setSubProcess(&LevelResponse::subProcessSilence);
    }

    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        for (auto& pin : pinOut_)
            pin.setStreaming(false);
    }

    void onSetPins() override
    {
        if (pinShape_.isUpdated())
            blobPending_ = true;
        if (pinItp_.isUpdated())
        {
            curve_.interpolator.shape.setItp(pinItp_);
            renderPending_ = true;
        }
        if (pinAmount_.isUpdated())
            curve_.setAmount(pinAmount_);
        const bool frameChanged = pinFrame_.isUpdated();
        if (frameChanged)
        {
            changeFrame(frameLength(pinFrame_));
            if (tail_ != 0)
            {
                tail_ = 0;
                stopOutputs(blockPosition_);
            }
        }
        // The latency follows the frame length and the report switch; turning
        // the report off takes it back.
        if (frameChanged || pinLatency_.isUpdated())
        {
            const int latency = pinLatency_ ? N_ : 0;
            if (getProcessorHost() && (frameChanged ? pinLatency_.getValue() : latency != reported_))
            {
                getProcessorHost()->setLatency(latency);
                reported_ = latency;
            }
        }
        bool updated = false, streams = false;
        for (auto& pin : pinIn_)
        {
            updated |= pin.isUpdated();
            streams |= pin.isStreaming();
        }
        if (updated)
        {
            if (streams)
            {
                if (tail_ == 0)
                {
                    onStart();
                    setSubProcess(&LevelResponse::subProcessFrames);
                    for (auto& pin : pinOut_)
                        pin.setStreaming(true);
                    streaming_ = true;
                }
                else
                    tail_ = 0;
            }
            else if (streaming_ && tail_ == 0)
                tail_ = N_;
        }
    }

    void subProcessSilence(int n)
    {
        for (auto& pin : pinOut_)
            std::fill_n(pin.getBuffer() + blockPosition_, n, 0.0f);
    }

    // The module's frame routine over a span, then the tail's end within it.
    void subProcessFrames(int n)
    {
        // The span stops where the tail ends: the rest is silence.
        const int run = tail_ > 0 ? std::min(n, tail_) : n;
        runFrames(blockPosition_, run);
        if (tail_ > 0)
        {
            if (tail_ > run)
                tail_ -= run;
            else
            {
                tail_ = 0;
                const int end = blockPosition_ + run;
                stopOutputs(end);
                for (auto& pin : pinOut_)
                    std::fill(pin.getBuffer() + end, pin.getBuffer() + blockPosition_ + n, 0.0f);
            }
        }
    }

protected:
    // The frame length for an exponent pin value.
    virtual int frameLength(int exponent) const = 0;
    // A new frame length (also the first, before any audio).
    virtual void changeFrame(int n) = 0;
    // An input starts streaming with no tail running.
    virtual void onStart() {}
    // Samples [from, from + n) of the block.
    virtual void runFrames(int from, int n) = 0;

    // Pending shape changes, at a frame boundary.
    void applyShape()
    {
        bool changed = false;
        if (blobPending_)
        {
            const MpBlob& blob = pinShape_;
            changed = curve_.interpolator.shape.setBlob(static_cast<unsigned long>(blob.getSize()), blob.getData());
            blobPending_ = false;
        }
        if (changed || renderPending_)
            curve_.rebuild();
        renderPending_ = false;
    }

    // The gain of a frame with this peak; the level outputs at that sample.
    float frameGain(float peak, int position)
    {
        float u, v;
        const float g = curve_.gain(peak, u, v);
        pinMeasured_.setValue(10.0f * u, position);
        pinMapped_.setValue(10.0f * v, position);
        return g;
    }

    void stopOutputs(int position)
    {
        for (auto& pin : pinOut_)
            pin.setStreaming(false, position);
        streaming_ = false;
        setSubProcess(&LevelResponse::subProcessSilence);
    }

    int32_t openFrame()
    {
        changeFrame(frameLength(pinFrame_));
        return MpBase2::open();
    }

    AudioInPin pinIn_[Channels];
    BlobInPin pinShape_;
    EnumInPin pinItp_;
    EnumInPin pinFrame_;
    FloatInPin pinAmount_;
    BoolInPin pinLatency_;
    FloatOutPin pinMeasured_;
    FloatOutPin pinMapped_;
    AudioOutPin pinOut_[Channels];

    Curve<TableSize> curve_;
    int N_ = 0;        // frame length
    int p_ = 0;        // frame position
    int tail_ = 0;     // samples of tail left; 0 = none
    int reported_ = 0; // latency last reported
    bool streaming_ = false;
    bool blobPending_ = false;
    bool renderPending_ = false;
};
} // namespace qw::levresp
