// Shared pieces of the shape envelopes: table helpers, and the gated
// single-voice envelope behind QW_ShapeEnv3 and QW_ShapeEnv4.
#pragma once

#include "mp_sdk_audio.h"
#include "qw_shape.h"

#include <cmath>
#include <vector>

namespace qw
{
namespace env
{
// Table entries and the levels taken from nodes stay inside this range
// unless clipped tighter; a blob's node values are not checked, and a table
// never carries a value that could overflow later arithmetic.
constexpr float kLevelLimit = 10.0f;

// v clamped to [lo, hi]; NaN becomes lo.
inline float clampTo(float v, float lo, float hi)
{
    return !(v >= lo) ? lo : (v > hi ? hi : v);
}

// Values this small become 0, so no result depends on how the processor
// treats denormal numbers.
inline float flushTiny(float v)
{
    return std::fabs(v) < 1e-30f ? 0.0f : v;
}

// Table points per sample for a run of `points` points lasting `ms`
// milliseconds (at least 1).
inline float increment(float points, float ms, float sampleRate)
{
    const float duration = !(ms >= 1.0f) ? 1.0f : ms;
    const float samples = duration * sampleRate * 0.001f;
    return samples > 0.0f ? points / samples : 0.0f;
}

// Linear reading between the entries around a position (0 <= pos <= last
// entry index - 1 is not required: the table has a spare entry after it).
inline float lookup(const float* table, float pos)
{
    const int i = static_cast<int>(pos);
    const float f = pos - static_cast<float>(i);
    return (1.0f - f) * table[i] + f * table[i + 1];
}

// The table point nearest to `level` among the truncated position and its
// two neighbours (0 .. last).
inline int nearestPoint(const float* table, int last, float pos, float level)
{
    const int i = static_cast<int>(clampTo(pos, 0.0f, static_cast<float>(last)));
    int best = i;
    float distance = std::fabs(level - table[i]);
    if (i < last && std::fabs(level - table[i + 1]) < distance)
    {
        best = i + 1;
        distance = std::fabs(level - table[i + 1]);
    }
    if (i >= 1 && std::fabs(level - table[i - 1]) < distance)
        best = i - 1;
    return best;
}

// Sustain node of a shape for a pin value: the index, or -1 when the value
// names no node before the last.
inline int sustainNode(int pinValue, const Shape& shape)
{
    return pinValue >= 0 && pinValue < shape.count - 1 ? pinValue : -1;
}
} // namespace env

// A single-voice envelope over a 4096-point table: the gate pin starts a run,
// a sustain node holds it, the release runs the rest; the output is the audio
// input times the envelope. The module classes add their last pins.
class ShapeEnvGated : public MpBase2
{
public:
    static constexpr int kPoints = 4096;

    int32_t open() override
    {
        const float rate = getSampleRate();
        rampRate_ = rate > 0.0f ? 1.0f / (0.02f * rate) : 0.0f;
        increment_ = env::increment(static_cast<float>(kPoints), pinTime_, rate);
        return MpBase2::open();
    }

    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        pinOut_.setStreaming(false);
        setSubProcess(&ShapeEnvGated::subProcessSilence);
    }

    void onSetPins() override
    {
        if (pinShape_.isUpdated())
            parsePending_ = true;
        if (pinType_.isUpdated() && interp_.shape.setItp(pinType_))
            lutPending_ = true;
        if (pinTime_.isUpdated())
            increment_ = env::increment(static_cast<float>(kPoints), pinTime_, getSampleRate());
        if (pinSustain_.isUpdated())
            susPending_ = true;
        if (pinClip_.isUpdated())
        {
            lutPending_ = true;
            susPending_ = true;
        }
        if (pinGate_.isUpdated())
        {
            if (pinGate_)
                gateOn();
            else
                gateOff();
        }
    }

    void subProcess(int sampleFrames)
    {
        const float* in = pinIn_.getBuffer() + blockPosition_;
        float* out = pinOut_.getBuffer() + blockPosition_;
        const float* table = table_.data();
        const bool bipolar = pinBipolar_;
        for (int i = 0; i < sampleFrames; ++i)
        {
            if (rampStep_ != 0.0f)
            {
                // The phase stands still; a ramp ends unless its target is still below.
                value_ = env::flushTiny(value_ + rampStep_);
                if (!(rampTarget_ < value_))
                    rampStep_ = 0.0f;
            }
            else if (phase_ >= static_cast<float>(kPoints))
            {
                // The run is over: silence from this sample on.
                for (int k = i; k < sampleFrames; ++k)
                    out[k] = 0.0f;
                value_ = 0.0f;
                pinOut_.setStreaming(false, blockPosition_ + i);
                setSubProcess(&ShapeEnvGated::subProcessSilence);
                return;
            }
            else
            {
                value_ = env::flushTiny(env::lookup(table, phase_) * scale_);
                phase_ = std::min(phase_ + increment_, limit_);
            }
            out[i] = in[i] * (bipolar ? 2.0f * value_ - 1.0f : value_);
        }
    }

    void subProcessSilence(int sampleFrames)
    {
        float* out = pinOut_.getBuffer() + blockPosition_;
        for (int i = 0; i < sampleFrames; ++i)
            out[i] = 0.0f;
    }

protected:
    // nearestSustain: the sustain position is the table point nearest to the
    // sustain level (else the node's own position); holdLast: the entries
    // after the table repeat its last value (else they are 0).
    ShapeEnvGated(bool nearestSustain, bool holdLast)
        : interp_(kPoints), table_(kPoints + 2, 0.0f), nearestSustain_(nearestSustain), holdLast_(holdLast)
    {
        initializePin(pinGate_);
        initializePin(pinShape_);
        initializePin(pinType_);
        initializePin(pinTime_);
        initializePin(pinSustain_);
        initializePin(pinIn_);
        setSubProcess(&ShapeEnvGated::subProcessSilence);
    }

    BoolInPin pinGate_;
    BlobInPin pinShape_;
    EnumInPin pinType_;
    FloatInPin pinTime_;
    IntInPin pinSustain_;
    AudioInPin pinIn_;
    BoolInPin pinBipolar_; // registered by the modules that have it
    BoolInPin pinClip_;
    AudioOutPin pinOut_;

private:
    void prepare()
    {
        if (parsePending_)
        {
            const MpBlob& blob = pinShape_;
            if (interp_.shape.setBlob(static_cast<unsigned long>(blob.getSize()), blob.getData()))
            {
                lutPending_ = true;
                susPending_ = true;
            }
            parsePending_ = false;
        }
        if (lutPending_)
        {
            interp_.render();
            const bool clip = pinClip_;
            const float lo = clip ? 0.0f : -env::kLevelLimit;
            const float hi = clip ? 1.0f : env::kLevelLimit;
            float* t = table_.data();
            for (int k = 0; k < kPoints; ++k)
                t[k] = env::flushTiny(env::clampTo((interp_.readNext() + 1.0f) * 0.5f, lo, hi));
            t[kPoints] = t[kPoints + 1] = holdLast_ ? t[kPoints - 1] : 0.0f;
            lutPending_ = false;
            susPending_ = true;
        }
        if (susPending_)
        {
            susNode_ = env::sustainNode(pinSustain_, interp_.shape);
            if (susNode_ >= 0)
            {
                const Shape::Node& node = interp_.shape.nodes[susNode_];
                susLevel_ = env::clampTo((node.y + 1.0f) * 0.5f, -env::kLevelLimit, env::kLevelLimit);
                const float pos = env::clampTo(node.x * (kPoints - 1), 0.0f, static_cast<float>(kPoints - 1));
                susPos_ = nearestSustain_
                              ? static_cast<float>(env::nearestPoint(table_.data(), kPoints - 1, pos, susLevel_))
                              : pos;
            }
            else
            {
                susLevel_ = 0.0f;
                susPos_ = -1.0f;
            }
            susPending_ = false;
        }
    }

    void gateOn()
    {
        prepare();
        const float startLevel =
            env::clampTo((interp_.shape.nodes[0].y + 1.0f) * 0.5f, -env::kLevelLimit, env::kLevelLimit);
        scale_ = 1.0f;
        rampStep_ = 0.0f;
        limit_ = susNode_ >= 0 ? susPos_ : static_cast<float>(kPoints);
        if (pinOut_.isStreaming())
        {
            rampTarget_ = startLevel;
            rampStep_ = env::flushTiny((startLevel - value_) * rampRate_);
        }
        else
        {
            setSubProcess(&ShapeEnvGated::subProcess);
            pinOut_.setStreaming(true);
        }
        phase_ = 0.0f;
    }

    void gateOff()
    {
        if (!pinOut_.isStreaming() || susNode_ < 0)
            return;
        limit_ = static_cast<float>(kPoints);
        if (phase_ == susPos_)
            return;
        if (value_ >= susLevel_ || !(susLevel_ > 0.0f))
        {
            rampTarget_ = susLevel_;
            rampStep_ = env::flushTiny((susLevel_ - value_) * rampRate_);
        }
        else
        {
            // The release starts at the current level. Below a sustain level
            // of 0 or above, |value / susLevel| <= 1 for every valid shape;
            // the clamp keeps repeated releases of a blob's odd levels finite.
            scale_ = env::flushTiny(env::clampTo(value_ / susLevel_, -1.0f, 1.0f));
        }
        phase_ = susPos_;
    }

    Shape::Interpolator interp_;
    std::vector<float> table_; // kPoints entries, then two spare ones
    const bool nearestSustain_;
    const bool holdLast_;

    bool parsePending_ = true;
    bool lutPending_ = true;
    bool susPending_ = true;
    int susNode_ = -1;
    float susPos_ = -1.0f;
    float susLevel_ = 0.0f;

    float rampRate_ = 0.0f;
    float increment_ = 0.0f;
    float phase_ = 0.0f;
    float limit_ = static_cast<float>(kPoints);
    float scale_ = 1.0f;
    float value_ = 0.0f;
    float rampStep_ = 0.0f;
    float rampTarget_ = 0.0f;
};
} // namespace qw
