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
        // A running tail ends inside this span or after it.
        const int m = tail_ > 0 ? std::min(tail_, n) : n;
        const bool finite = allFinite(in, m); // read before any output is written
        delayBlock(line, write_, in, out, m, D);
        const int w = (write_ + m) & kMask;
        write_ = w;
        if (tail_ > 0 && (tail_ -= m) == 0)
        {
            const float y = out[m - 1];
            held_ = y - y == 0.0f ? y : 0.0f;
            std::fill(out + m - 1, out + n, held_);
            pinOutput_.setStreaming(false, start + m - 1);
            setSubProcess(&QW_Latency::subProcessStatic);
        }
        if (!finite)
            scrubRecent(line, kMask, w, m);
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
