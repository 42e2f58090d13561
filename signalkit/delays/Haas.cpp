// Haas widener with a mono input: one output is the input, the other the input
// delayed by up to 40 ms (delay control -5 to 5: positive delays the first
// output, negative the second, the delay growing with the fourth power). A
// new delay is reached by gliding at 0.05 samples per sample with linear
// interpolation, so a change does not click. A static input is passed for one
// line length, then both outputs hold.
#include "delay_line.h"
#include "mp_sdk_audio.h"

#include <algorithm>
#include <array>
#include <cmath>

using namespace qw::delay;

class QW_Haas final : public MpBase2
{
public:
    static constexpr float kGlide = 0.05f; // samples of delay per sample

    QW_Haas()
    {
        initializePin(pinSignal_);
        initializePin(pinDelay_);
        initializePin(pinFirst_);
        initializePin(pinSecond_);
    }

    int32_t open() override
    {
        rate_ = getSampleRate();
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (pinDelay_.isUpdated())
        {
            const float d = clampOrZero(pinDelay_.getValue() * 0.2f, -1.0f, 1.0f);
            const float t = d * d * d * d * 40.0f * 0.001f;
            const int D = std::min(static_cast<int>(t * rate_), kMask);
            delay_ = d < 0.0f ? -D : D;
            if (pinFirst_.isStreaming())
                setSubProcess(&QW_Haas::subProcessChasing);
        }
        if (pinSignal_.isUpdated())
        {
            if (pinSignal_.isStreaming())
            {
                tail_ = 0;
                streamOutputs();
                c1_ = static_cast<float>(std::max(delay_, 0));
                c2_ = static_cast<float>(delay_ < 0 ? -delay_ : 0);
                setSubProcess(&QW_Haas::subProcess);
            }
            else
            {
                tail_ = kLength;
                if (!pinFirst_.isStreaming())
                {
                    streamOutputs();
                    setSubProcess(&QW_Haas::subProcessChasing);
                }
            }
        }
    }

    void subProcess(int n)
    {
        const int start = blockPosition_;
        const float* in = pinSignal_.getBuffer() + start;
        float* o1 = pinFirst_.getBuffer() + start;
        float* o2 = pinSecond_.getBuffer() + start;
        float* line = line_.data();
        const int D = delay_;
        const int back = D < 0 ? -D : D;
        // A running tail ends inside this span or after it.
        const int m = tail_ > 0 ? static_cast<int>(std::min(tail_, static_cast<unsigned>(n))) : n;
        const bool finite = allFinite(in, m); // read before any output is written
        // The direct output first: the delayed one may be the input itself.
        float* direct = D >= 0 ? o2 : o1;
        if (direct != in)
            std::copy_n(in, m, direct);
        delayBlock(line, write_, direct, D >= 0 ? o1 : o2, m, back);
        const int w = (write_ + m) & kMask;
        write_ = w;
        if (tail_ > 0 && (tail_ -= static_cast<unsigned>(m)) == 0)
            finish(start, m - 1, n, o1, o2);
        if (!finite)
            scrubRecent(line, kMask, w, m);
    }

    void subProcessChasing(int n)
    {
        const int start = blockPosition_;
        const float* in = pinSignal_.getBuffer() + start;
        float* o1 = pinFirst_.getBuffer() + start;
        float* o2 = pinSecond_.getBuffer() + start;
        float* line = line_.data();
        const int D = delay_;
        const int T1 = std::max(D, 0);
        const int T2 = D < 0 ? -D : 0;
        const float t1 = static_cast<float>(T1), t2 = static_cast<float>(T2);
        int w = write_;
        float c1 = c1_, c2 = c2_;
        float poison = 0.0f;
        int i = 0;
        for (; i < n; ++i)
        {
            const float x = in[i];
            line[w] = x;
            poison += poisonOf(x);
            c1 = towards(c1, t1);
            c2 = towards(c2, t2);
            if (c1 != t1 || c2 != t2)
            {
                o1[i] = readBetween(line, w, c1);
                o2[i] = readBetween(line, w, c2);
            }
            else
            {
                o1[i] = D > 0 ? line[(w - T1) & kMask] : x;
                o2[i] = T2 != 0 ? line[(w - T2) & kMask] : x;
            }
            w = (w + 1) & kMask;
            if (tail_ > 0 && --tail_ == 0)
            {
                finish(start, i, n, o1, o2);
                n = ++i;
                break;
            }
            if (c1 == t1 && c2 == t2)
            {
                // Landed: whole-sample reads from the next sample on.
                setSubProcess(&QW_Haas::subProcess);
                ++i;
                break;
            }
        }
        c1_ = c1;
        c2_ = c2;
        write_ = w;
        if (poison != 0.0f)
            scrubRecent(line, kMask, w, i);
        if (i < n && saveSubProcess_ == static_cast<SubProcess_ptr>(&QW_Haas::subProcess))
        {
            blockPosition_ += i;
            subProcess(n - i);
            blockPosition_ = start;
        }
    }

    void subProcessStatic(int n)
    {
        std::fill_n(pinFirst_.getBuffer() + blockPosition_, n, h1_);
        std::fill_n(pinSecond_.getBuffer() + blockPosition_, n, h2_);
    }

private:
    static float towards(float c, float target)
    {
        if (c < target)
            return std::min(c + kGlide, target);
        if (c > target)
            return std::max(c - kGlide, target);
        return c;
    }

    // The line `c` samples before the newest entry (at w), linearly
    // interpolated between the two entries around that position.
    static float readBetween(const float* line, int w, float c)
    {
        float pos = static_cast<float>(w) - c;
        if (pos < 0.0f)
            pos += static_cast<float>(kLength);
        const int k = std::min(static_cast<int>(pos), kMask);
        const float frac = pos - static_cast<float>(k);
        return frac * line[(k + 1) & kMask] + (1.0f - frac) * line[k];
    }

    void streamOutputs()
    {
        if (!pinFirst_.isStreaming())
            pinFirst_.setStreaming(true);
        if (!pinSecond_.isStreaming())
            pinSecond_.setStreaming(true);
    }

    // The tail ended at sample i of the span: both outputs hold that sample's
    // values from there on.
    void finish(int start, int i, int n, float* o1, float* o2)
    {
        h1_ = o1[i] - o1[i] == 0.0f ? o1[i] : 0.0f;
        h2_ = o2[i] - o2[i] == 0.0f ? o2[i] : 0.0f;
        o1[i] = h1_;
        o2[i] = h2_;
        std::fill(o1 + i + 1, o1 + n, h1_);
        std::fill(o2 + i + 1, o2 + n, h2_);
        pinFirst_.setStreaming(false, start + i);
        pinSecond_.setStreaming(false, start + i);
        setSubProcess(&QW_Haas::subProcessStatic);
    }

    AudioInPin pinSignal_;
    FloatInPin pinDelay_;
    AudioOutPin pinFirst_;
    AudioOutPin pinSecond_;

    float rate_ = 44100.0f;
    std::array<float, kLength> line_{};
    int write_ = 0;
    int delay_ = 0;
    unsigned tail_ = 0;
    float c1_ = 0.0f, c2_ = 0.0f;
    float h1_ = 0.0f, h2_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Haas", &gmpi::Register<QW_Haas>::withId);
}
