// Earliest single-voice shape envelope: the gate is an audio signal, read
// sample by sample (on while above 0); the shape blob arrives as the bytes of
// a text value. The output is the audio input times the envelope.
#include "shape_env.h"

#include <algorithm>

namespace env = qw::env;

class QW_ShapeEnv2 : public MpBase2
{
public:
    static constexpr int kPoints = 4096;
    static constexpr int kCrossfade = 500; // samples from the held level to the sustain level

    QW_ShapeEnv2() : interp_(kPoints), table_(kPoints + 1, 0.0f), risingMax_(kPoints, 0.0f)
    {
        initializePin(pinShape_);
        initializePin(pinType_);
        initializePin(pinTime_);
        initializePin(pinGate_);
        initializePin(pinSustain_);
        initializePin(pinIn_);
        initializePin(pinOut_);
        setSubProcess(&QW_ShapeEnv2::subProcess);
    }

    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        pinOut_.setStreaming(false);
    }

    void onSetPins() override
    {
        if (pinShape_.isUpdated())
        {
            const std::wstring& bytes = pinShape_;
            if (interp_.shape.setBlob(static_cast<unsigned long>(bytes.size() * sizeof(wchar_t)), bytes.data()))
                pending_ = true;
        }
        if (pinType_.isUpdated() && interp_.shape.setItp(pinType_))
            pending_ = true;
        if (pinTime_.isUpdated() || pinSustain_.isUpdated())
            pending_ = true;
        if (pinGate_.isUpdated() && pinGate_.getValue() > 0.0f)
        {
            if (pending_)
                recalcAll();
            if (!pinOut_.isStreaming())
                pinOut_.setStreaming(true);
        }
    }

    void subProcess(int sampleFrames)
    {
        const float* gateIn = pinGate_.getBuffer() + blockPosition_;
        const float* in = pinIn_.getBuffer() + blockPosition_;
        float* out = pinOut_.getBuffer() + blockPosition_;
        const float* table = table_.data();
        for (int i = 0; i < sampleFrames; ++i)
        {
            const bool gate = gateIn[i] > 0.0f;
            if (gate && !prevGate_)
            {
                // A gate that streams may never change its streaming state:
                // its rising edge brings the table up to date as well.
                if (pending_)
                    recalcAll();
                crossfade_ = 0;
                if (phase_ < 0.0f)
                {
                    phase_ = 0.0f;
                    if (!pinOut_.isStreaming())
                        pinOut_.setStreaming(true, blockPosition_ + i);
                }
                else
                {
                    phase_ = lastValue_ > table[0] ? firstIndexAtLeast(lastValue_) : 0.0f;
                }
                scale_ = 1.0f;
            }
            else if (gate)
            {
                if (phase_ >= 0.0f && (susNode_ < 0 || phase_ < susPos_))
                    phase_ += increment_;
            }
            else if (prevGate_)
            {
                if (phase_ >= 0.0f)
                    gateFell();
            }
            else if (crossfade_ > 0)
            {
                if (--crossfade_ == 0)
                    phase_ = susPos_;
            }
            else if (phase_ >= 0.0f)
            {
                phase_ += increment_;
            }
            prevGate_ = gate;

            float value;
            if (phase_ < 0.0f || phase_ >= static_cast<float>(kPoints))
            {
                // Idle, or the run just ended.
                if (pinOut_.isStreaming())
                    pinOut_.setStreaming(false, blockPosition_ + i);
                phase_ = -1.0f;
                crossfade_ = 0;
                value = 0.0f;
            }
            else if (crossfade_ > 0)
            {
                const float w = static_cast<float>(crossfade_) * (1.0f / kCrossfade);
                value = w * held_ + (1.0f - w) * susLevel_;
            }
            else
            {
                value = env::lookup(table, phase_);
            }
            value = env::flushTiny(value * scale_);
            lastValue_ = value;
            out[i] = in[i] * value;
        }
    }

private:
    // The gate fell while running.
    void gateFell()
    {
        if (susNode_ < 0)
        {
            phase_ += increment_;
            return;
        }
        if (susLevel_ < lastValue_)
        {
            crossfade_ = kCrossfade; // the phase stands still meanwhile
            held_ = lastValue_;
        }
        else if (susLevel_ > lastValue_ && susLevel_ > 0.0f)
        {
            // Go on from the sustain point, scaled to the current level.
            scale_ = env::flushTiny(env::clampTo(lastValue_ / susLevel_, -1.0f, 1.0f));
            phase_ = susPos_;
        }
        else
        {
            phase_ = susPos_;
        }
    }

    // The first table point at or above v (a number), kPoints when none is:
    // the first point where the running maximum reaches v, found by
    // bisection, as an audio-rate gate may ask for it at every other sample.
    float firstIndexAtLeast(float v) const
    {
        const float* m = risingMax_.data();
        return static_cast<float>(std::lower_bound(m, m + kPoints, v) - m);
    }

    // Table, increment and sustain point from the current pins.
    void recalcAll()
    {
        interp_.render();
        for (int k = 0; k < kPoints; ++k)
            table_[static_cast<size_t>(k)] =
                env::flushTiny(env::clampTo((interp_.readNext() + 1.0f) * 0.5f, -env::kLevelLimit, env::kLevelLimit));
        table_[kPoints] = 0.0f;
        float most = table_[0];
        for (int k = 0; k < kPoints; ++k)
            risingMax_[static_cast<size_t>(k)] = most = std::max(most, table_[static_cast<size_t>(k)]);
        increment_ = env::increment(static_cast<float>(kPoints), pinTime_, getSampleRate());
        susNode_ = env::sustainNode(pinSustain_, interp_.shape);
        if (susNode_ >= 0)
        {
            const qw::Shape::Node& node = interp_.shape.nodes[susNode_];
            susPos_ = env::clampTo(node.x * (kPoints - 1), 0.0f, static_cast<float>(kPoints - 1));
            susLevel_ = env::clampTo((node.y + 1.0f) * 0.5f, -env::kLevelLimit, env::kLevelLimit);
        }
        else
        {
            susPos_ = -1.0f;
            susLevel_ = 0.0f;
        }
        pending_ = false;
    }

    StringInPin pinShape_;
    EnumInPin pinType_;
    FloatInPin pinTime_;
    AudioInPin pinGate_;
    IntInPin pinSustain_;
    AudioInPin pinIn_;
    AudioOutPin pinOut_;

    qw::Shape::Interpolator interp_;
    std::vector<float> table_;     // kPoints entries and a spare 0
    std::vector<float> risingMax_; // risingMax_[k]: the largest of table_[0 .. k]
    bool pending_ = true;          // the table is built at the first gate, whatever came before
    int susNode_ = -1;
    float susPos_ = -1.0f;
    float susLevel_ = 0.0f;
    float increment_ = 0.0f;
    float phase_ = -1.0f; // -1: idle
    float scale_ = 1.0f;
    float lastValue_ = 0.0f;
    float held_ = 0.0f;
    int crossfade_ = 0;
    bool prevGate_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_ShapeEnv2", &gmpi::Register<QW_ShapeEnv2>::withId);
}
