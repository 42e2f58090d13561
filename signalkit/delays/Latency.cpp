// Whole-sample delay of 0 to 8191 samples that can report itself to the host
// as latency (each time the delay is set while reporting is on). A static
// input is passed for one line length, then the output holds.
#include "delay_line.h"
#include "mp_sdk_audio.h"

#include <algorithm>
#include <array>

using namespace qw::delay;

class QW_Latency final : public MpBase2
{
public:
    QW_Latency()
    {
        initializePin(pinSignal_);
        initializePin(pinDelay_);
        initializePin(pinReport_);
        initializePin(pinOutput_);
        setSubProcess(&QW_Latency::subProcess);
    }

    void onSetPins() override
    {
        if (pinSignal_.isUpdated())
        {
            if (!pinOutput_.isStreaming())
                pinOutput_.setStreaming(true);
            setSubProcess(&QW_Latency::subProcess);
            tail_ = pinSignal_.isStreaming() ? 0 : kLength;
        }
        if (pinDelay_.isUpdated())
        {
            delay_ = std::min(std::max(pinDelay_.getValue(), 0), kMask);
            if (pinReport_.getValue() && getProcessorHost())
                getProcessorHost()->setLatency(delay_);
        }
    }

    void subProcess(int n)
    {
        const int start = blockPosition_;
        const float* in = pinSignal_.getBuffer() + start;
        float* out = pinOutput_.getBuffer() + start;
        float* line = line_.data();
        const int D = delay_;
        int w = write_;
        float poison = 0.0f;
        int i = 0;
        for (; i < n; ++i)
        {
            line[w] = in[i];
            poison += poisonOf(in[i]);
            const float y = line[(w - D) & kMask];
            out[i] = y;
            w = (w + 1) & kMask;
            if (tail_ > 0 && --tail_ == 0)
            {
                held_ = y - y == 0.0f ? y : 0.0f;
                std::fill(out + i, out + n, held_);
                pinOutput_.setStreaming(false, start + i);
                setSubProcess(&QW_Latency::subProcessStatic);
                ++i;
                break;
            }
        }
        write_ = w;
        if (poison != 0.0f)
            scrubRecent(line, kMask, w, i);
    }

    void subProcessStatic(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, held_); }

private:
    AudioInPin pinSignal_;
    IntInPin pinDelay_;
    BoolInPin pinReport_;
    AudioOutPin pinOutput_;

    std::array<float, kLength> line_{};
    int write_ = 0;
    int delay_ = 0;
    int tail_ = 0;
    float held_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Latency", &gmpi::Register<QW_Latency>::withId);
}
