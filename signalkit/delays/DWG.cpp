// Digital waveguide (the earlier model): a 5000-sample loop excited by the
// input, its period in samples or as a frequency, a one-pole loss filter and
// a reflection raised and lowered by a gate envelope. Two tables shared by
// every instance through the host correct the loop length for the loss
// filter's phase delay and scale the reflection per period; a host without
// shared memory leaves both corrections off. A second line without feedback
// can be taken off the output. Period changes may crossfade over 49 samples.
#include "dwg_tables.h"
#include "mp_sdk_audio.h"
#include "qw_finite.h"

#include <algorithm>
#include <array>
#include <cmath>

class QW_DWG final : public MpBase2
{
public:
    static constexpr int kLength = 5000;
    static constexpr float kQuiet = 1e-5f;
    static constexpr int kFade = 49;

    QW_DWG()
    {
        initializePin(pinOn_);
        initializePin(pinExcitation_);
        initializePin(pinPeriod_);
        initializePin(pinMode_);
        initializePin(pinCrossfade_);
        initializePin(pinGate_);
        initializePin(pinReflection_);
        initializePin(pinDecay_);
        initializePin(pinScale_);
        initializePin(pinLoss_);
        initializePin(pinCorrect_);
        initializePin(pinSecond_);
        initializePin(pinDamping_);
        initializePin(pinReset_);
        initializePin(pinOutput_);
        setSubProcess(&QW_DWG::subProcess);
        setDamping(0.0f);
    }

    int32_t open() override
    {
        rate_ = getSampleRate();
        if (auto* host = getHost())
        {
            void* memory = nullptr;
            int32_t fill = 0;
            if (host->allocateSharedMemory(L"QW DWG PCORR TABLE", &memory, -1.0f, qw::dwg::kBytes, fill) ==
                    gmpi::MP_OK &&
                memory)
            {
                lengths_ = static_cast<float*>(memory);
                if (fill)
                    qw::dwg::fillLengths(lengths_);
            }
            memory = nullptr;
            fill = 0;
            if (host->allocateSharedMemory(L"QW DWG FBSCAL TABLE", &memory, rate_, qw::dwg::kBytes, fill) ==
                    gmpi::MP_OK &&
                memory)
            {
                scales_ = static_cast<float*>(memory);
                if (fill)
                    qw::dwg::fillScales(scales_, rate_);
            }
        }
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (pinDecay_.isUpdated())
        {
            const float v = pinDecay_.getValue() * 0.1f;
            const float d = v == v ? std::min(std::max(v, 0.0f), 1.0f) : 0.0f;
            decayStep_ = std::exp2(-24.0f * std::sqrt(d));
        }
        if (pinDamping_.isUpdated())
            setDamping(pinDamping_.getValue());
        if (pinOn_.isUpdated())
        {
            if (pinOn_.getValue())
            {
                setSubProcess(&QW_DWG::subProcess);
                pinOutput_.setStreaming(true);
            }
            else
            {
                clear();
                pinOutput_.setStreaming(false);
                setSubProcess(&QW_DWG::subProcessIdle);
            }
        }
        else if (pinExcitation_.isUpdated() && pinOn_.getValue())
        {
            setSubProcess(&QW_DWG::subProcess);
            pinOutput_.setStreaming(true);
        }
        if (pinReset_.isUpdated() && pinReset_.getValue() == 1.0f && pinOutput_.isStreaming())
            clear();
    }

    void subProcess(int n)
    {
        const int start = blockPosition_;
        const float* excitation = pinExcitation_.getBuffer() + start;
        const float* period = pinPeriod_.getBuffer() + start;
        const float* gate = pinGate_.getBuffer() + start;
        const float* reflection = pinReflection_.getBuffer() + start;
        const float* loss = pinLoss_.getBuffer() + start;
        float* out = pinOutput_.getBuffer() + start;
        const bool frequencyMode = pinMode_.getValue() == 1;
        const bool crossfade = pinCrossfade_.getValue();
        const float* lengths = pinCorrect_.getValue() ? lengths_ : nullptr;
        const float* scales = pinScale_.getValue() ? scales_ : nullptr;
        const bool second = pinSecond_.getValue();
        const bool damping = damping_ > 0.0f;
        const bool inputStreams = pinExcitation_.isStreaming();
        const float kHz = rate_ * 0.001f;
        constexpr float toColumn = float(qw::dwg::kLast) / float(qw::dwg::kLongest - 1.0);
        float poison = 0.0f;
        int ended = -1;
        for (int i = 0; i < n; ++i)
        {
            const float p = qw::finite::orZero(period[i]) * 10.0f;
            float P = frequencyMode ? kHz / p : p;
            P = P == P ? std::min(std::max(P, 1.0f), float(kLength)) : 1.0f;
            const float v = qw::finite::clampOrZero(loss[i], 0.0f, 1.0f);
            const float g = v * kHz / (v * (kHz - 48.0f) + 48.0f);
            float q = qw::finite::clampOrZero(reflection[i], -1.0f, 1.0f);
            float column = (P - 1.0f) * toColumn;
            if (lengths)
            {
                P = qw::dwg::bilinear(lengths, g * qw::dwg::kLast, column);
                column = (P - 1.0f) * toColumn;
            }
            if (scales && q != 0.0f)
                q = std::copysign(qw::dwg::bilinear(scales, std::fabs(q) * qw::dwg::kLast, column), q);

            // A leaky differentiator on the excitation, its leak from the period.
            const float raw = excitation[i];
            float e = raw;
            if (damping && q > 0.0f)
            {
                const int c = std::min(static_cast<int>(column), qw::dwg::kLast - 1);
                const float t = damp_[size_t(c)] + (damp_[size_t(c + 1)] - damp_[size_t(c)]) * (column - float(c));
                e = t * eOut_ + (raw - eIn_);
            }
            eIn_ = raw;
            eOut_ = e;

            envelope_ = qw::finite::orZero(gate[i]) != 0.0f ? std::min(envelope_ + 0.005f, 1.0f)
                                                            : std::max(envelope_ - decayStep_, 0.0f);

            if (fade_ == 0)
            {
                if (crossfade && current_ >= 0.0f && std::fabs(P - current_) > 0.1f)
                {
                    next_ = P;
                    fade_ = kFade;
                    memA_[1 - slot_] = memB_[1 - slot_] = 0.0f;
                }
                else
                    current_ = P;
            }
            float a, b = 0.0f;
            if (fade_ > 0)
            {
                const float t = float(fade_) * 0.02f;
                const float old = (3.0f - 2.0f * t) * t * t;
                a = old * read(lineA_, current_, memA_[slot_]) + (1.0f - old) * read(lineA_, next_, memA_[1 - slot_]);
                if (second)
                    b = old * read(lineB_, current_, memB_[slot_]) +
                        (1.0f - old) * read(lineB_, next_, memB_[1 - slot_]);
                if (--fade_ == 0)
                {
                    current_ = next_;
                    slot_ = 1 - slot_;
                }
            }
            else
            {
                a = read(lineA_, current_, memA_[slot_]);
                if (second)
                    b = read(lineB_, current_, memB_[slot_]);
            }
            const float y = second ? a - 0.5f * b : a;
            out[i] = y;

            lineB_[size_t(write_)] = e;
            const float feedback = q * envelope_;
            float written = e;
            if (feedback != 0.0f)
            {
                s_ = (s_ - y) * g + y;
                written = e + s_ * feedback;
            }
            lineA_[size_t(write_)] = written;
            poison += (written - written) + (e - e);
            if (++write_ == kLength)
                write_ = 0;

            quiet_ = std::fabs(y) < kQuiet ? std::min(quiet_ + 1, kLength) : 0;
            if (!inputStreams && quiet_ >= kLength)
            {
                ended = i;
                break;
            }
        }
        // A non-finite value anywhere in the loop starts it afresh.
        if (poison != 0.0f || !std::isfinite(s_ + eOut_ + eIn_ + memA_[0] + memA_[1] + memB_[0] + memB_[1]))
            clear();
        if (ended >= 0)
        {
            std::fill(out + ended + 1, out + n, 0.0f);
            pinOutput_.setStreaming(false, start + ended + 1);
            setSubProcess(&QW_DWG::subProcessIdle);
        }
    }

    void subProcessIdle(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, 0.0f); }

private:
    // The line P samples back (1 to 5000): the whole part read directly, the
    // fraction by a first-order all-pass, dropped when its coefficient is 0.9
    // or more (a fraction under 1/19).
    float read(const std::array<float, kLength>& line, float P, float& memory) const
    {
        const int k = static_cast<int>(P);
        const float f = P - static_cast<float>(k);
        const float c = (1.0f - f) / (1.0f + f);
        int i0 = write_ - k;
        if (i0 < 0)
            i0 += kLength;
        const int i1 = i0 == 0 ? kLength - 1 : i0 - 1;
        const float y = c >= 0.9f ? line[size_t(i0)] : (line[size_t(i0)] - memory) * c + line[size_t(i1)];
        memory = y;
        return y;
    }

    void setDamping(float k)
    {
        damping_ = k > 0.0f ? k : 0.0f; // not a number: none
        for (int c = 0; c < qw::dwg::kSize; ++c)
        {
            const double P = qw::dwg::periodOf(c);
            damp_[size_t(c)] = static_cast<float>(std::exp(-double(damping_) / (P * P)));
        }
    }

    void clear()
    {
        lineA_.fill(0.0f);
        lineB_.fill(0.0f);
        write_ = 0;
        current_ = -1.0f;
        next_ = 0.0f;
        fade_ = 0;
        slot_ = 0;
        memA_ = {};
        memB_ = {};
        s_ = eIn_ = eOut_ = 0.0f;
        envelope_ = 0.0f;
        quiet_ = 0;
    }

    BoolInPin pinOn_;
    AudioInPin pinExcitation_;
    AudioInPin pinPeriod_;
    EnumInPin pinMode_;
    BoolInPin pinCrossfade_;
    AudioInPin pinGate_;
    AudioInPin pinReflection_;
    FloatInPin pinDecay_;
    BoolInPin pinScale_;
    AudioInPin pinLoss_;
    BoolInPin pinCorrect_;
    BoolInPin pinSecond_;
    FloatInPin pinDamping_;
    FloatInPin pinReset_;
    AudioOutPin pinOutput_;

    float rate_ = 44100.0f;
    float* lengths_ = nullptr; // shared: PCORR
    float* scales_ = nullptr;  // shared: FBSCAL at this rate
    std::array<float, kLength> lineA_{};
    std::array<float, kLength> lineB_{};
    int write_ = 0;
    float current_ = -1.0f; // the period read now; below 0 until the first sample
    float next_ = 0.0f;     // the period a crossfade goes to
    int fade_ = 0;          // samples of crossfade left
    int slot_ = 0;          // memories of the current read
    std::array<float, 2> memA_{}, memB_{};
    float s_ = 0.0f;
    float eIn_ = 0.0f, eOut_ = 0.0f;
    float envelope_ = 0.0f;
    float decayStep_ = 0.0005875f;
    int quiet_ = 0;
    float damping_ = 0.0f;
    std::array<float, qw::dwg::kSize> damp_{};
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_DWG", &gmpi::Register<QW_DWG>::withId);
}
