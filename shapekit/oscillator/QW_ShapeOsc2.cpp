// Plays one cycle of a shape as a periodic waveform: the shape is rendered
// into a 256-point table read with linear interpolation, with optional
// oversampling (2^e table steps averaged per output sample), phase
// modulation, self-feedback and phase reset. A new shape, type or DC setting
// crossfades from the old table to the new one over 1/60 s.
#include "../tools/shape_dsp.h"
#include "qw_fm.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace
{
constexpr int kPoints = 256;
constexpr float kPointsF = 256.0f;
} // namespace

class QW_ShapeOsc2 final : public MpBase2
{
public:
    QW_ShapeOsc2()
    {
        initializePin(pinOn_);
        initializePin(pinShape_);
        initializePin(pinType_);
        initializePin(pinDc_);
        initializePin(pinOversampling_);
        initializePin(pinLaw_);
        initializePin(pinPitch_);
        initializePin(pinReset_);
        initializePin(pinPm_);
        initializePin(pinPmDepth_);
        initializePin(pinFeedback_);
        initializePin(pinOut_);
        setSubProcess(&QW_ShapeOsc2::subProcessSilence);
    }

    int32_t open() override
    {
        const float rate = getSampleRate();
        maxFrequency_ = 0.25f * rate;
        pointsPerHz_ = rate > 0.0f ? kPointsF / rate : 0.0f;
        fadeStep_ = rate > 0.0f ? 60.0f / rate : 1.0f;
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (pinType_.isUpdated() && qw::Shape::isValidItp(pinType_) && pinType_ != interp_.shape.itp)
        {
            interp_.shape.setItp(pinType_);
            interp_.shape.changed = 1;
            tablePending_ = true;
        }
        if (pinShape_.isUpdated())
            blobPending_ = true;
        if (pinReset_.isUpdated() && pinReset_)
            phase_ = 0.0f;
        if (pinDc_.isUpdated())
        {
            removeDc_ = pinDc_;
            tablePending_ = true;
        }
        if (pinOversampling_.isUpdated())
        {
            const int e = std::clamp(static_cast<int>(pinOversampling_), 0, 5);
            steps_ = 1 << e;
            invSteps_ = 1.0f / static_cast<float>(steps_);
            pitchKnown_ = false;
        }
        if (pinLaw_.isUpdated())
        {
            voltsLaw_ = pinLaw_ != 0;
            pitchKnown_ = false;
        }
        if (pinOn_.isUpdated())
        {
            if (!pinOn_)
            {
                pinOut_.setStreaming(false);
                setSubProcess(&QW_ShapeOsc2::subProcessSilence);
            }
            else
            {
                if (blobPending_)
                {
                    tablePending_ |= pinShape_.applyTo(interp_.shape);
                    blobPending_ = false;
                }
                if (tablePending_)
                {
                    recalcTable(tables_[0]);
                    tablePending_ = false;
                }
                current_ = 0;
                fade_ = 1.0f;
                previous_ = 0.0f;
                pitchKnown_ = false;
                pinOut_.setStreaming(true);
                setSubProcess(&QW_ShapeOsc2::subProcess);
            }
        }
    }

    void subProcess(int sampleFrames)
    {
        using qw::dsp::clampTo;
        using qw::dsp::orZero;
        const int offset = getBlockPosition();
        float* out = pinOut_.getBuffer() + offset;
        const float* pitch = pinPitch_.getBuffer() + offset;
        const float* pm = pinPm_.getBuffer() + offset;
        const float* pmDepth = pinPmDepth_.getBuffer() + offset;
        const float* feedback = pinFeedback_.getBuffer() + offset;
        const int steps = steps_;
        const float invSteps = invSteps_;
        float phase = phase_, previous = previous_, fade = fade_;

        if (fade == 1.0f && !blobPending_ && !tablePending_ && noPhaseOffset(pm, pmDepth, feedback, sampleFrames))
        {
            steadyProcess(out, pitch, sampleFrames);
            return;
        }
        for (int s = 0; s < sampleFrames; ++s)
        {
            takePitch(pitch[s]);
            if (fade == 1.0f && (blobPending_ || tablePending_))
            {
                fade_ = fade;
                startFade();
                fade = fade_;
            }
            const float* next = tables_[current_];
            const float* old = tables_[current_ ^ 1];
            const float off = (clampTo(orZero(pm[s]), -1.0f, 1.0f) * clampTo(orZero(pmDepth[s]), 0.0f, 1.0f) +
                               previous * clampTo(orZero(feedback[s]), -1.0f, 1.0f)) *
                              kPointsF;
            const float inc = increment_;
            float sum = 0.0f;
            for (int k = 0; k < steps; ++k)
            {
                float p = phase + off;
                while (p < 0.0f)
                    p += kPointsF;
                while (p >= kPointsF)
                    p -= kPointsF;
                if (!(p >= 0.0f)) // not a number
                    p = 0.0f;
                int i = static_cast<int>(p);
                float f = p - static_cast<float>(i);
                if (i > kPoints - 1) // p rounded up to 256
                {
                    i = 0;
                    f = 0.0f;
                }
                const int j = (i + 1) & (kPoints - 1);
                const float a = next[i] + f * (next[j] - next[i]);
                const float b = fade == 1.0f ? a : old[i] + f * (old[j] - old[i]);
                sum += fade * a + (1.0f - fade) * b;
                phase += inc;
                if (phase >= kPointsF)
                    phase -= kPointsF;
            }
            const float y = sum * invSteps;
            out[s] = y;
            previous = y;
            fade = std::min(1.0f, fade + fadeStep_);
        }
        storeState(phase, previous);
        fade_ = fade;
    }

    // The span with no fade under way or due and every phase offset zero:
    // the general loop's arithmetic where it is known. The offset is a
    // signed zero (the product of a zero and a finite value), so phase + off
    // is the phase, already in [0, 256); a fade of 1 makes the table value
    // itself the step's term (1 a + 0 a is a for finite a; table values
    // are clamped). Table entry 256 repeats entry 0 for the step past 255.
    void steadyProcess(float* out, const float* pitch, int sampleFrames)
    {
        if (sampleFrames > 0 && heldThroughout(pitch, sampleFrames))
        {
            // Every sample equals the first, so after the first sample's
            // check the check finds nothing new.
            takePitch(pitch[0]);
            if (steps_ == 1)
                steadyLoop<PitchMode::held, true>(out, pitch, sampleFrames);
            else
                steadyLoop<PitchMode::held, false>(out, pitch, sampleFrames);
        }
        else if (!voltsLaw_)
        {
            if (steps_ == 1)
                steadyLoop<PitchMode::hertz, true>(out, pitch, sampleFrames);
            else
                steadyLoop<PitchMode::hertz, false>(out, pitch, sampleFrames);
        }
        else if (steps_ == 1)
            steadyLoop<PitchMode::volts, true>(out, pitch, sampleFrames);
        else
            steadyLoop<PitchMode::volts, false>(out, pitch, sampleFrames);
    }

    // How the steady loop follows the pitch input: held at the increment it
    // has; in hertz, the increment of every sample computed outright (as
    // cheap as the comparison that would skip it, and the value it would
    // keep, but for the sign of a zero increment, which adds nothing to the
    // phase); in volts, recomputed where the pitch changes (an exponential).
    enum class PitchMode
    {
        held,
        hertz,
        volts
    };

    template <PitchMode mode, bool oneStep> void steadyLoop(float* out, const float* pitch, int sampleFrames)
    {
        const int steps = oneStep ? 1 : steps_;
        const float invSteps = invSteps_;
        const float* table = tables_[current_];
        float phase = phase_, previous = previous_;
        float lastPitch = lastPitch_, inc = increment_;
        bool known = pitchKnown_;
        for (int s = 0; s < sampleFrames; ++s)
        {
            if (mode == PitchMode::hertz)
            {
                lastPitch = qw::dsp::orZero(pitch[s]) * 10.0f;
                inc = incrementOf(lastPitch);
                known = true;
            }
            else if (mode == PitchMode::volts)
            {
                const float v = qw::dsp::orZero(pitch[s]) * 10.0f;
                if (v != lastPitch || !known)
                {
                    lastPitch = v;
                    known = true;
                    updateIncrement(v);
                    inc = increment_;
                }
            }
            float sum = 0.0f;
            for (int k = 0; k < steps; ++k)
            {
                const int i = static_cast<int>(phase);
                const float f = phase - static_cast<float>(i);
                sum += table[i] + f * (table[i + 1] - table[i]);
                phase += inc;
                if (phase >= kPointsF)
                    phase -= kPointsF;
            }
            const float y = oneStep ? sum : sum * invSteps; // invSteps is 1 for one step
            out[s] = y;
            previous = y;
        }
        lastPitch_ = lastPitch;
        pitchKnown_ = known;
        increment_ = inc;
        storeState(phase, previous);
    }

    // True when every pitch sample equals the first (a held input, or one
    // that did not move in this span).
    static bool heldThroughout(const float* pitch, int n)
    {
        const float first = pitch[0];
        int same = 1;
        for (int s = 1; s < n; ++s)
            same &= pitch[s] == first;
        return same != 0;
    }

    // True when every sample's phase offset is surely zero: the feedback is
    // zero throughout, and the phase modulation or its depth is. Zero here
    // is +0 or -0, tested on the bits without the sign: a single OR a value
    // and input. Other values that the general loop's limits make zero (NaN,
    // a depth below 0) leave the span to that loop, which gives the same.
    static bool noPhaseOffset(const float* pm, const float* pmDepth, const float* feedback, int n)
    {
        uint32_t anyPm = 0, anyDepth = 0, anyFeedback = 0;
        for (int s = 0; s < n; ++s)
        {
            anyPm |= bitsOf(pm[s]);
            anyDepth |= bitsOf(pmDepth[s]);
            anyFeedback |= bitsOf(feedback[s]);
        }
        constexpr uint32_t kNoSign = 0x7fffffffu;
        return (anyFeedback & kNoSign) == 0 && ((anyPm & kNoSign) == 0 || (anyDepth & kNoSign) == 0);
    }

    static uint32_t bitsOf(float v)
    {
        uint32_t u;
        std::memcpy(&u, &v, sizeof u);
        return u;
    }

    void subProcessSilence(int sampleFrames)
    {
        float* out = pinOut_.getBuffer() + getBlockPosition();
        std::fill(out, out + sampleFrames, 0.0f);
    }

private:
    // The phase and last output kept after a span: one that is not finite
    // (from non-finite input) does not outlive it.
    void storeState(float phase, float previous)
    {
        phase_ = std::isfinite(phase) && phase >= 0.0f && phase < kPointsF ? phase : 0.0f;
        previous_ = std::isfinite(previous) ? previous : 0.0f;
    }

    // The general loop's pitch check for one sample's pitch value.
    void takePitch(float pitch)
    {
        const float v = qw::dsp::orZero(pitch) * 10.0f;
        if (v != lastPitch_ || !pitchKnown_)
        {
            lastPitch_ = v;
            pitchKnown_ = true;
            updateIncrement(v);
        }
    }

    void updateIncrement(float v)
    {
        increment_ = incrementOf(voltsLaw_ ? 440.0f * qw::fm::exp2Acc(std::clamp(v - 5.0f, -127.0f, 128.0f)) : v);
    }

    // Table points per step at f Hz, limited to 0 .. a quarter of the rate.
    float incrementOf(float f) const
    {
        const float hz = f < 0.0f ? 0.0f : std::min(f, maxFrequency_);
        // steps_ is a power of two: multiplying by its exact inverse is the
        // division, without its latency.
        return hz * pointsPerHz_ * invSteps_;
    }

    // At the end of a fade: takes a pending blob, and when the nodes or the
    // table settings changed, renders the other table and fades over to it.
    void startFade()
    {
        bool render = tablePending_;
        if (blobPending_)
        {
            render |= pinShape_.applyTo(interp_.shape);
            blobPending_ = false;
        }
        tablePending_ = false;
        if (!render)
            return;
        current_ ^= 1;
        recalcTable(tables_[current_]);
        fade_ = 0.0f;
    }

    void recalcTable(float* table)
    {
        interp_.render();
        double sum = 0.0;
        for (int i = 0; i < kPoints; ++i)
        {
            table[i] = qw::dsp::clampTo(interp_.readNext() * 0.5f, -1.0f, 1.0f);
            sum += static_cast<double>(table[i]);
        }
        if (removeDc_)
        {
            const float mean = static_cast<float>(sum / kPoints);
            for (int i = 0; i < kPoints; ++i)
                table[i] -= mean;
        }
        table[kPoints] = table[0];
    }

    BoolInPin pinOn_;
    qw::dsp::ShapeInPin pinShape_;
    EnumInPin pinType_;
    BoolInPin pinDc_;
    EnumInPin pinOversampling_;
    EnumInPin pinLaw_;
    AudioInPin pinPitch_;
    BoolInPin pinReset_;
    AudioInPin pinPm_;
    AudioInPin pinPmDepth_;
    AudioInPin pinFeedback_;
    AudioOutPin pinOut_;

    qw::Shape::Interpolator interp_{qw::Shape(L"(-5,-5)(5,5)"), kPoints};
    float tables_[2][kPoints + 1] = {}; // entry 256 repeats entry 0
    int current_ = 0;
    float phase_ = 0.0f; // 0 .. 256
    float fade_ = 1.0f;  // 1: no fade
    float lastPitch_ = 0.0f;
    bool pitchKnown_ = false;
    float increment_ = 0.0f; // table points per step
    float previous_ = 0.0f;  // last output sample
    int steps_ = 1;          // table steps per output sample
    float invSteps_ = 1.0f;
    bool removeDc_ = false;
    bool voltsLaw_ = true;
    bool blobPending_ = false;
    bool tablePending_ = true; // the default shape is not rendered yet
    float maxFrequency_ = 0.0f;
    float pointsPerHz_ = 0.0f;
    float fadeStep_ = 1.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_ShapeOsc2", &gmpi::Register<QW_ShapeOsc2>::withId);
}
