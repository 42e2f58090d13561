// Haas wideners with a side control: the side (-5 to 5) shares a maximum delay
// in milliseconds between the two outputs, the centre delaying neither. A
// delay glides to its new value at 0.1 samples per sample. QW_Haas2 has a mono
// input; QW_Haas2ST a stereo one, both channels delayed through one line of
// pairs and passed while either input streams. After 8192 samples of static
// input the line has emptied and the outputs fall silent.
#include "delay_line.h"
#include "mp_sdk_audio.h"

#include <algorithm>
#include <array>
#include <cmath>

using namespace qw::delay;

template <int Channels> class HaasSide final : public MpBase2
{
public:
    static constexpr float kGlide = 0.1f; // samples of delay per sample

    HaasSide()
    {
        for (auto& pin : pinIn_)
            initializePin(pin);
        initializePin(pinSide_);
        initializePin(pinMaxDelay_);
        initializePin(pinFirst_);
        initializePin(pinSecond_);
        setSubProcess(&HaasSide::subProcessSilence);
    }

    int32_t open() override
    {
        rate_ = getSampleRate();
        return MpBase2::open();
    }

    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        pinFirst_.setStreaming(false);
        pinSecond_.setStreaming(false);
    }

    void onSetPins() override
    {
        if (pinSide_.isUpdated() || pinMaxDelay_.isUpdated())
            setTargets();
        bool updated = false, streaming = false;
        for (auto& pin : pinIn_)
        {
            updated |= pin.isUpdated();
            streaming |= pin.isStreaming();
        }
        if (!updated)
            return;
        tail_ = 0;
        if (streaming)
        {
            pinFirst_.setStreaming(true);
            pinSecond_.setStreaming(true);
            setSubProcess(&HaasSide::subProcess);
        }
    }

    void subProcess(int n)
    {
        const int start = blockPosition_;
        bool streaming = false;
        for (auto& pin : pinIn_)
            streaming |= pin.isStreaming();
        const float gate = streaming ? 1.0f : 0.0f;
        const float* in[Channels];
        for (int c = 0; c < Channels; ++c)
            in[c] = pinIn_[c].getBuffer() + start;
        float* o1 = pinFirst_.getBuffer() + start;
        float* o2 = pinSecond_.getBuffer() + start;
        float* line = line_.data();
        constexpr int mask = kLength * Channels - 1;
        const float t1 = target1_, t2 = target2_;
        float c1 = current1_, c2 = current2_;
        int w = write_;
        float poison = 0.0f;
        int i = 0;
        for (; i < n; ++i)
        {
            for (int c = 0; c < Channels; ++c)
            {
                const float x = in[c][i] * gate;
                line[w * Channels + c] = x;
                poison += poisonOf(x);
            }
            c1 = glide(c1, t1);
            c2 = glide(c2, t2);
            const int r1 = (w - static_cast<int>(c1)) & kMask;
            const int r2 = (w - static_cast<int>(c2)) & kMask;
            o1[i] = line[r1 * Channels];
            o2[i] = line[r2 * Channels + Channels - 1];
            w = (w + 1) & kMask;
            if (!streaming && ++tail_ == kLength)
            {
                // The line holds only zeros now.
                tail_ = 0;
                ++i;
                std::fill(o1 + i, o1 + n, 0.0f);
                std::fill(o2 + i, o2 + n, 0.0f);
                pinFirst_.setStreaming(false, start + i);
                pinSecond_.setStreaming(false, start + i);
                setSubProcess(&HaasSide::subProcessSilence);
                break;
            }
        }
        current1_ = c1;
        current2_ = c2;
        write_ = w;
        if (poison != 0.0f)
            scrubRecent(line, mask, w * Channels, i * Channels);
    }

    void subProcessSilence(int n)
    {
        std::fill_n(pinFirst_.getBuffer() + blockPosition_, n, 0.0f);
        std::fill_n(pinSecond_.getBuffer() + blockPosition_, n, 0.0f);
        current1_ = target1_;
        current2_ = target2_;
    }

private:
    static float glide(float current, float target)
    {
        const float gap = target - current;
        return gap < -kGlide ? current - kGlide : current + std::min(kGlide, gap);
    }

    void setTargets()
    {
        // The maximum delay in samples; an absurd one is kept finite so the
        // share below stays a number (its result is clamped to the line).
        const double T = std::min(std::max(0.0, double(orZero(pinMaxDelay_.getValue()))) * 0.001 * rate_, 1e9);
        const float side = orZero(pinSide_.getValue()) * 0.2f;
        const double s = side < -1.0f ? 0.0 : (side > 1.0f ? 2.0 : double(side) + 1.0);
        const double a = s * T * 0.5, b = T - a, m = std::min(a, b);
        target1_ = static_cast<float>(std::clamp(a - m, 0.0, double(kMask)));
        target2_ = static_cast<float>(std::clamp(b - m, 0.0, double(kMask)));
        // A delay never set takes its target at once; so does one while the
        // outputs are silent (the silence routine keeps them there).
        const bool silent = saveSubProcess_ == static_cast<SubProcess_ptr>(&HaasSide::subProcessSilence);
        if (current1_ < 0.0f || silent)
            current1_ = target1_;
        if (current2_ < 0.0f || silent)
            current2_ = target2_;
    }

    std::array<AudioInPin, Channels> pinIn_;
    FloatInPin pinSide_;
    FloatInPin pinMaxDelay_;
    AudioOutPin pinFirst_;
    AudioOutPin pinSecond_;

    float rate_ = 44100.0f;
    std::array<float, kLength * Channels> line_{};
    int write_ = 0;
    int tail_ = 0;
    float target1_ = 0.0f, target2_ = 0.0f;
    float current1_ = -1.0f, current2_ = -1.0f;
};

using QW_Haas2 = HaasSide<1>;
using QW_Haas2ST = HaasSide<2>;

namespace
{
auto r1 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Haas2", &gmpi::Register<QW_Haas2>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Haas2ST", &gmpi::Register<QW_Haas2ST>::withId);
}
