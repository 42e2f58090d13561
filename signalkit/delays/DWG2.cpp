// Digital waveguide string: a 4096-sample delay loop excited by an audio
// input, with its length from a pitch in volts (0.5 = 440 Hz), a loop gain, a
// one-pole loss filter whose phase delay is taken off the loop length, and an
// optional high-pass on the excitation that follows the pitch. A pitch change
// crossfades from the old loop length over 2 ms. When the input stops the
// string rings out until 4096 quiet samples have passed.
#include "mp_sdk_audio.h"
#include "qw_fm.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

class QW_DWG2 final : public MpBase2
{
public:
    static constexpr int kLength = 4096;
    static constexpr int kMask = kLength - 1;
    static constexpr float kQuiet = 1e-5f;
    static constexpr float kPi = 3.14159265f;

    QW_DWG2()
    {
        initializePin(pinOn_);
        initializePin(pinClear_);
        initializePin(pinExcitation_);
        initializePin(pinPitch_);
        initializePin(pinGain_);
        initializePin(pinNormalise_);
        initializePin(pinLoss_);
        initializePin(pinHighPass_);
        initializePin(pinAddExcitation_);
        initializePin(pinReset_);
        initializePin(pinOutput_);
        setSubProcess(&QW_DWG2::subProcessSilence);
        resetLoop();
    }

    int32_t open() override
    {
        rate_ = getSampleRate();
        to48k_ = 48000.0f / rate_;
        base_ = rate_ / 440.0f;
        fadeStep_ = 500.0f / rate_;
        return MpBase2::open();
    }

    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        pinOutput_.setStreaming(false);
    }

    void onSetPins() override
    {
        if (pinLoss_.isUpdated())
        {
            const float v = pinLoss_.getValue() * 0.1f;
            const float l = v == v ? std::min(std::max(v, 0.0f), 1.0f) : 0.0f;
            loss_ = l > 0.0f ? qw::fm::exp2Acc(qw::fm::log2Acc(l) * to48k_) : 0.0f;
            cachedPitch_ = kUnset;
        }
        if ((pinClear_.isUpdated() && pinClear_.getValue()) || (pinReset_.isUpdated() && pinReset_.getValue() == 1.0f))
            resetLoop();
        if (pinOn_.isUpdated() || pinExcitation_.isUpdated())
        {
            if (pinOn_.getValue())
            {
                if (pinExcitation_.isStreaming())
                {
                    setSubProcess(&QW_DWG2::subProcess);
                    pinOutput_.setStreaming(true);
                    tail_ = 0;
                }
                else if (!pinOn_.isUpdated())
                    tail_ = kLength;
            }
            else if (pinOn_.isUpdated())
            {
                setSubProcess(&QW_DWG2::subProcessSilence);
                pinOutput_.setStreaming(false);
                resetLoop();
                tail_ = 0;
            }
        }
    }

    void subProcess(int n)
    {
        const int start = blockPosition_;
        const float* in = pinExcitation_.getBuffer() + start;
        const float* pitch = pinPitch_.getBuffer() + start;
        const float* gain = pinGain_.getBuffer() + start;
        float* out = pinOutput_.getBuffer() + start;
        const float inputGate = pinExcitation_.isStreaming() ? 1.0f : 0.0f;
        const bool normalise = pinNormalise_.getValue();
        const bool highPass = pinHighPass_.getValue();
        const bool addExcitation = pinAddExcitation_.getValue();
        const float g = loss_;
        float* line = line_.data();
        float poison = 0.0f;
        int ended = -1;
        for (int i = 0; i < n; ++i)
        {
            const float v = pitch[i] == pitch[i] ? pitch[i] : 0.0f;
            if (v != cachedPitch_ && !(fade_ > 0.0f))
                setPitch(v);

            // Loop gain |a|^0.1 (normalised per period), sign of a; 0 stays 0.
            const float a = gain[i] == gain[i] ? std::min(std::max(gain[i], -1.0f), 1.0f) : 0.0f;
            float G = 0.0f;
            if (a != 0.0f)
            {
                G = qw::fm::exp2Fast(0.1f * qw::fm::log2Fast(std::fabs(a)));
                if (normalise)
                    G = qw::fm::exp2Fast(std::max(qw::fm::log2Fast(G) * to48k_ * ratio_, -126.0f));
                G = std::min(G, 1.0f);
                if (a < 0.0f)
                    G = -G;
            }

            float y = read(length_, newMemory_);
            if (fade_ > 0.0f)
            {
                const float old = read(oldLength_, oldMemory_);
                y = fade_ * old + (1.0f - fade_) * y;
                fade_ -= fadeStep_;
            }

            s_ = (s_ - y) * g + y;

            float x = in[i] * inputGate;
            if (highPass && G >= 0.0f)
            {
                const float c = coefficient_;
                const float u = c * u_ + x - x1_;
                const float w = c * w_ + u - u_;
                x1_ = x;
                u_ = u;
                w_ = w;
                const float h = 0.5f * (1.0f + c);
                x = h * h * w;
            }
            const float written = G * s_ + x;
            line[write_] = written;
            poison += written - written;
            out[i] = addExcitation ? y + 0.5f * G * x : y;
            write_ = (write_ + 1) & kMask;
            if (write_ == 0)
                firstPass_ = false;

            if (tail_ > 0)
            {
                if (std::fabs(y) > kQuiet)
                    tail_ = kLength;
                else if (--tail_ == 0)
                {
                    ended = i;
                    break;
                }
            }
        }
        // A non-finite value anywhere in the loop starts it afresh.
        if (poison != 0.0f || s_ - s_ != 0.0f || newMemory_ - newMemory_ != 0.0f || oldMemory_ - oldMemory_ != 0.0f ||
            w_ - w_ != 0.0f || u_ - u_ != 0.0f)
        {
            line_.fill(0.0f);
            resetLoop();
        }
        if (ended >= 0)
        {
            pinOutput_.setStreaming(false, start + ended + 1);
            std::fill(out + ended + 1, out + n, 0.0f);
            resetLoop();
            setSubProcess(&QW_DWG2::subProcessSilence);
        }
    }

    void subProcessSilence(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, 0.0f); }

private:
    static constexpr float kUnset = std::numeric_limits<float>::quiet_NaN();

    // A new loop length from the pitch sample v (volts; beyond +-10 V as
    // 10 V, which keeps the exponent in range).
    void setPitch(float v)
    {
        cachedPitch_ = v;
        const float volts = std::min(std::max(v, -10.0f), 10.0f);
        ratio_ = qw::fm::exp2Acc(5.0f - 10.0f * volts);
        const float P0 = base_ * ratio_;
        // The loss filter's phase delay at the loop frequency, in turns.
        const float phi = qw::fm::atan2Turns(2.0f * kPi * loss_, (1.0f - loss_) * P0);
        const float L = std::min(std::max(P0 - phi * P0, 2.0f), static_cast<float>(kMask));
        coefficient_ = L / (L + kPi);
        if (length_ > 0.0f)
        {
            oldLength_ = length_;
            oldMemory_ = newMemory_;
            fade_ = 1.0f;
        }
        newMemory_ = 0.0f;
        length_ = L;
    }

    // The line L samples back: the whole part read directly, the fraction by
    // a first-order all-pass with its own memory (dropped when under 1/19).
    float read(float L, float& memory) const
    {
        const int k = static_cast<int>(L);
        const float f = L - static_cast<float>(k);
        const float c = (1.0f - f) / (1.0f + f);
        const float A = tap(k);
        const float y = c > 0.9f ? A : c * (A - memory) + tap(k + 1);
        memory = y;
        return y;
    }

    // The entry k samples back; on the loop's first pass, positions before
    // the start of the line are silent.
    float tap(int k) const
    {
        if (firstPass_ && k > write_)
            return 0.0f;
        return line_[(write_ - k) & kMask];
    }

    void resetLoop()
    {
        firstPass_ = true;
        write_ = 0;
        cachedPitch_ = kUnset;
        length_ = 0.0f;
        oldLength_ = 0.0f;
        fade_ = 0.0f;
        newMemory_ = oldMemory_ = 0.0f;
        s_ = 0.0f;
        x1_ = u_ = w_ = 0.0f;
    }

    BoolInPin pinOn_;
    BoolInPin pinClear_;
    AudioInPin pinExcitation_;
    AudioInPin pinPitch_;
    AudioInPin pinGain_;
    BoolInPin pinNormalise_;
    FloatInPin pinLoss_;
    BoolInPin pinHighPass_;
    BoolInPin pinAddExcitation_;
    FloatInPin pinReset_;
    AudioOutPin pinOutput_;

    float rate_ = 44100.0f;
    float to48k_ = 48000.0f / 44100.0f;
    float base_ = 44100.0f / 440.0f;
    float fadeStep_ = 500.0f / 44100.0f;

    std::array<float, kLength> line_{};
    int write_ = 0;
    bool firstPass_ = true;
    float loss_ = 0.0f;
    float cachedPitch_ = kUnset;
    float ratio_ = 1.0f;
    float length_ = 0.0f, oldLength_ = 0.0f;
    float fade_ = 0.0f;
    float newMemory_ = 0.0f, oldMemory_ = 0.0f;
    float coefficient_ = 0.0f;
    float s_ = 0.0f;
    float x1_ = 0.0f, u_ = 0.0f, w_ = 0.0f;
    int tail_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_DWG2", &gmpi::Register<QW_DWG2>::withId);
}
