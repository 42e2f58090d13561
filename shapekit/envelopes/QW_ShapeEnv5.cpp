// Polyphonic shape envelope: one clone per voice, one table for all of them.
// A gate starts a run through the shape, a sustain node holds it, the gate's
// release runs the rest; velocity sets the speed and the level, and a short
// glide removes the click of a restart while the envelope is running.
#include "mp_base_poly.h"
#include "shape_env.h"

#include <cmath>
#include <cstdint>

namespace env = qw::env;

namespace
{
constexpr int kPoints = 1024;
constexpr int kLast = kPoints - 1;
constexpr float kLastF = static_cast<float>(kLast);
constexpr float kMinGlideStep = 1e-6f;

// Shared by the voices of one module.
struct ShapeEnv5Common
{
    float table[kPoints + 1] = {}; // the envelope, then a copy of its last point
    MpBlob blob;                   // the last shape blob taken from a shape pin
    qw::Shape::Interpolator interp{kPoints};
    int32_t susNode = -1;
    float endLevel = 0.0f; // output units
    float susLevel = 0.0f; // output units
    float susPos = kLastF;
    // Everything is pending at first, so the first run plays the shape the
    // voices have (the default shape when no blob came).
    uint8_t parsePending = 1;
    uint8_t lutPending = 1;
    uint8_t susPending = 1;

    ShapeEnv5Common()
    {
        // Room for the largest shape blob, so taking one never allocates.
        blob.resize(static_cast<int>(qw::Shape::kMaxBlobSize));
        blob.resize(0);
    }
};
} // namespace

class QW_ShapeEnv5 : public qw::MpBasePoly<ShapeEnv5Common>
{
public:
    QW_ShapeEnv5()
    {
        initializePin(pinRetrigger_);
        initializePin(pinGate_);
        initializePin(pinShape_);
        initializePin(pinType_);
        initializePin(pinSustain_);
        initializePin(pinDuration_);
        initializePin(pinAttackSpeed_);
        initializePin(pinReleaseSpeed_);
        initializePin(pinVelocityToLevel_);
        initializePin(pinVelocity_);
        initializePin(pinBipolar_);
        initializePin(pinClip_);
        initializePin(pinHardRetrigger_);
        initializePin(pinOut_);
        initializePin(pinPosition_);
        setSubProcess(&QW_ShapeEnv5::subProcessStatic);
    }

    int32_t open() override
    {
        const int32_t r = MpBasePoly::open();
        if (!common)
            allocCommonData();
        const float rate = getSampleRate();
        rampStep_ = rate > 0.0f ? 1.0f / (0.01f * rate) : 0.0f;
        return r;
    }

    void onGraphStart() override
    {
        MpBasePoly::onGraphStart();
        holdValue_ = env::flushTiny(gain_ * lastValue_);
        setSubProcess(&QW_ShapeEnv5::subProcessStatic);
        pinOut_.setStreaming(false);
    }

    void onSetPins() override
    {
        if (!common)
            return; // never opened
        ShapeEnv5Common& c = *common;
        if (pinShape_.isUpdated())
        {
            const MpBlob& b = pinShape_;
            if (static_cast<unsigned long>(b.getSize()) > qw::Shape::kMaxBlobSize)
            {
                // Refused whatever it holds, like an empty blob.
                c.blob.resize(0);
                c.parsePending = 1;
            }
            else if (!(b == c.blob))
            {
                c.blob.setValueRaw(static_cast<size_t>(b.getSize()), b.getData());
                c.parsePending = 1;
            }
        }
        if (pinType_.isUpdated() && c.interp.shape.setItp(pinType_))
            c.lutPending = 1;
        if (pinSustain_.isUpdated() && pinSustain_ != c.susNode)
            c.susPending = 1;
        if (pinBipolar_.isUpdated() || pinClip_.isUpdated())
        {
            c.lutPending = 1;
            c.susPending = 1;
        }
        const bool retrigger = pinRetrigger_.isUpdated() && pinRetrigger_ == 1.0f;
        if (pinGate_.isUpdated() || retrigger)
        {
            if (pinGate_)
                gateOn(retrigger);
            else
                gateOff();
        }
    }

    void subProcess(int sampleFrames)
    {
        float* out = pinOut_.getBuffer() + blockPosition_;
        const float* table = common->table;
        float last = lastValue_;
        int i = 0;
        // While a glide lasts, the phase stands still.
        for (; i < sampleFrames && glideStep_ != 0.0f; ++i)
        {
            float value = last + env::clampTo(glideTarget_ - last, -glideStep_, glideStep_);
            if (value == glideTarget_)
            {
                glideStep_ = 0.0f;
                if (silenceAfterGlide_)
                {
                    gain_ = 0.0f;
                    silenceAfterGlide_ = false;
                }
            }
            value = env::flushTiny(value);
            out[i] = gain_ * value;
            last = value;
        }
        // Then through the table.
        const float gain = gain_, increment = increment_, limit = limit_;
        const float scale = tableScale_, slope = tableSlope_, susPos = susPos_;
        float phase = phase_;
        auto read = [&](float at) { return env::flushTiny(env::lookup(table, at) * scale + (at - susPos) * slope); };
        // The phase never falls (the increment is never negative). When the
        // span cannot reach the limit, with a wide margin for rounding, the
        // limit test is left out of the loop; the sums are the same.
        if (phase + static_cast<float>(sampleFrames - i + 1) * increment * 1.001f + 1.0f < limit)
        {
            for (; i < sampleFrames; ++i)
            {
                const float value = read(phase);
                phase += increment;
                out[i] = gain * value;
                last = value;
            }
        }
        else
        {
            for (; i < sampleFrames; ++i)
            {
                if (phase == kLastF)
                {
                    // The run ends on the first sample at the end phase: the
                    // last node's level from that sample on, at any block size.
                    phase_ = phase;
                    lastValue_ = endLevel_;
                    holdValue_ = gain * endLevel_;
                    std::fill(out + i, out + sampleFrames, holdValue_);
                    pinPosition_.setValue(1.0f, blockPosition_);
                    setSubProcess(&QW_ShapeEnv5::subProcessStatic);
                    pinOut_.setStreaming(false, blockPosition_ + i);
                    return;
                }
                const float value = read(phase);
                phase = std::min(phase + increment, limit);
                out[i] = gain * value;
                last = value;
            }
        }
        // A non-finite phase or level (from a non-finite input) does not outlive the span.
        if (!std::isfinite(phase) || !std::isfinite(last))
        {
            phase = 0.0f;
            last = 0.0f;
        }
        phase_ = phase;
        lastValue_ = last;
        pinPosition_.setValue(phase_ / kLastF, blockPosition_);
    }

    void subProcessStatic(int sampleFrames)
    {
        float* out = pinOut_.getBuffer() + blockPosition_;
        for (int i = 0; i < sampleFrames; ++i)
            out[i] = holdValue_;
    }

private:
    // Brings the shared table up to date: the stored blob, the table, the sustain point.
    void prepare()
    {
        ShapeEnv5Common& c = *common;
        const bool bipolar = pinBipolar_;
        const bool clip = pinClip_;
        const float lo = clip ? (bipolar ? -1.0f : 0.0f) : -env::kLevelLimit;
        const float hi = clip ? 1.0f : env::kLevelLimit;
        // A node's y in output units.
        auto level = [&](float y) { return env::flushTiny(env::clampTo(bipolar ? y : (y + 1.0f) * 0.5f, lo, hi)); };

        if (c.parsePending)
        {
            c.interp.shape.setBlob(static_cast<unsigned long>(c.blob.getSize()), c.blob.getData());
            c.parsePending = 0;
            c.lutPending = 1;
        }
        if (c.lutPending)
        {
            c.interp.render();
            for (int k = 0; k < kPoints; ++k)
                c.table[k] = level(c.interp.readNext());
            c.table[kPoints] = c.table[kLast];
            const qw::Shape& s = c.interp.shape;
            c.endLevel = level(s.nodes[s.count > 0 ? s.count - 1 : 0].y);
            c.lutPending = 0;
            c.susPending = 1; // the sustain point lies on the table
        }
        if (c.susPending)
        {
            const qw::Shape& s = c.interp.shape;
            c.susNode = env::sustainNode(pinSustain_, s);
            if (c.susNode >= 0)
            {
                const qw::Shape::Node& node = s.nodes[c.susNode];
                c.susLevel = level(node.y);
                c.susPos = static_cast<float>(env::nearestPoint(c.table, kLast, node.x * kLastF, c.susLevel));
            }
            else
            {
                c.susLevel = 0.0f;
                c.susPos = kLastF;
            }
            c.susPending = 0;
        }
    }

    float velocity() const { return env::clampTo(pinVelocity_.getValue(), 0.0f, 1.0f); }

    // Table points per sample at a speed pin's value for this velocity.
    float speedIncrement(float speedPin, float vel) const
    {
        const float r = env::clampTo(speedPin, 1.0f, 20.0f);
        const float speed = r * vel + (1.0f - vel);
        return env::increment(static_cast<float>(kPoints), pinDuration_, getSampleRate()) * speed;
    }

    float glideStepFor(float span) const
    {
        const float step = std::fabs(span) * rampStep_;
        return step < kMinGlideStep ? 0.0f : step;
    }

    void gateOn(bool forced)
    {
        prepare();
        const ShapeEnv5Common& c = *common;
        // The run keeps the sustain point it started with.
        susNode_ = c.susNode;
        susPos_ = c.susPos;
        susLevel_ = c.susLevel;
        endLevel_ = c.endLevel;

        tableScale_ = 1.0f;
        tableSlope_ = 0.0f;
        glideStep_ = 0.0f;
        silenceAfterGlide_ = false;
        limit_ = susPos_;
        const float vel = velocity();
        increment_ = speedIncrement(pinAttackSpeed_, vel);
        const float g = env::clampTo(pinVelocityToLevel_ * 0.1f, 0.0f, 1.0f);
        const float oldGain = gain_;
        gain_ = (vel - 1.0f) * g + 1.0f;

        if (!pinOut_.isStreaming())
        {
            setSubProcess(&QW_ShapeEnv5::subProcess);
            pinOut_.setStreaming(true);
            phase_ = 0.0f;
        }
        else if (!pinHardRetrigger_ && !forced)
        {
            // Legato: go on from the first point of the shape at the current
            // level, gliding there from the output's present value.
            float span;
            if (gain_ != 0.0f)
            {
                float p = firstPositionOf(lastValue_);
                if (p > susPos_)
                    p = susPos_;
                phase_ = p;
                glideTarget_ = env::lookup(c.table, p);
                lastValue_ = env::flushTiny(lastValue_ * oldGain / gain_);
                span = glideTarget_ - lastValue_;
            }
            else
            {
                // A silent restart glides to 0 at the old level and goes on
                // silent from there.
                gain_ = oldGain;
                glideTarget_ = 0.0f;
                span = lastValue_;
                silenceAfterGlide_ = true;
            }
            glideStep_ = glideStepFor(span);
            if (glideStep_ == 0.0f && silenceAfterGlide_)
            {
                gain_ = 0.0f;
                silenceAfterGlide_ = false;
            }
        }
        else
        {
            phase_ = 0.0f;
        }
    }

    void gateOff()
    {
        if (!pinOut_.isStreaming() || susNode_ < 0)
            return;
        limit_ = kLastF;
        increment_ = speedIncrement(pinReleaseSpeed_, velocity());
        if (silenceAfterGlide_ || phase_ == susPos_)
            return; // a silent run stays silent; at the sustain point the release just goes on
        if (std::fabs(susLevel_) <= std::fabs(lastValue_))
        {
            // Glide to the sustain level, then release from the sustain point.
            phase_ = susPos_;
            glideTarget_ = susLevel_;
            glideStep_ = glideStepFor(susLevel_ - lastValue_);
        }
        else
        {
            // Below the sustain level: the release part is scaled to start
            // at the current level and still end at the last node's level.
            tableScale_ = env::flushTiny(lastValue_ / susLevel_);
            tableSlope_ = env::flushTiny((1.0f - tableScale_) * endLevel_ / (static_cast<float>(kPoints) - susPos_));
            phase_ = susPos_;
            glideStep_ = 0.0f;
        }
    }

    // The first table position whose segment reaches v; 0 when none does.
    float firstPositionOf(float v) const
    {
        const float* t = common->table;
        for (int k = 0; k < kLast; ++k)
        {
            const float a = t[k], b = t[k + 1];
            if ((a <= v && v <= b) || (b <= v && v <= a))
                return a == b ? static_cast<float>(k) : static_cast<float>(k) + (v - a) / (b - a);
        }
        return 0.0f;
    }

    FloatInPin pinRetrigger_;
    BoolInPin pinGate_;
    BlobInPin pinShape_;
    EnumInPin pinType_;
    IntInPin pinSustain_;
    FloatInPin pinDuration_;
    FloatInPin pinAttackSpeed_;
    FloatInPin pinReleaseSpeed_;
    FloatInPin pinVelocityToLevel_;
    AudioInPin pinVelocity_;
    BoolInPin pinBipolar_;
    BoolInPin pinClip_;
    BoolInPin pinHardRetrigger_;
    AudioOutPin pinOut_;
    FloatOutPin pinPosition_;

    float rampStep_ = 0.0f; // glide step per unit of span: a glide lasts 10 ms
    float gain_ = 1.0f;
    float holdValue_ = 0.0f; // the output after the end
    float increment_ = 0.0f; // table points per sample
    float limit_ = kLastF;   // highest phase before the release
    float glideTarget_ = 0.0f;
    float tableScale_ = 1.0f;
    float tableSlope_ = 0.0f;
    float phase_ = 0.0f;
    float lastValue_ = 0.0f; // last output before the gain
    float glideStep_ = 0.0f; // 0: no glide
    bool silenceAfterGlide_ = false;
    // The sustain point of the current run.
    int susNode_ = -1;
    float susPos_ = kLastF;
    float susLevel_ = 0.0f;
    float endLevel_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_ShapeEnv5", &gmpi::Register<QW_ShapeEnv5>::withId);
}
