// Moving average over the last N samples (2 to 20000), of the signal or of its
// magnitude, kept as a running sum. When the input turns static the output is
// reported static at the N-th sample after, when the window holds only the
// static value.
#include "mp_sdk_audio.h"

#include <algorithm>
#include <array>
#include <cmath>

class QW_MovingAvg final : public MpBase2
{
public:
    static constexpr int kLongest = 20000;

    QW_MovingAvg()
    {
        initializePin(pinSignal_);
        initializePin(pinWindow_);
        initializePin(pinMagnitude_);
        initializePin(pinOutput_);
        setSubProcess(&QW_MovingAvg::subProcess);
    }

    void onSetPins() override
    {
        if (pinWindow_.isUpdated())
        {
            const int v = pinWindow_;
            window_ = v < 3 ? 2 : std::min(v, kLongest);
            inverse_ = 1.0f / static_cast<float>(window_);
            clear();
            // A static output restarts from zero: it streams until the window
            // holds the static value again.
            if (!pinSignal_.isStreaming() && !pinSignal_.isUpdated())
            {
                pinOutput_.setStreaming(true);
                countdown_ = window_;
            }
        }
        if (pinSignal_.isUpdated())
        {
            pinOutput_.setStreaming(true);
            countdown_ = pinSignal_.isStreaming() ? 0 : window_;
        }
    }

    void subProcess(int n)
    {
        const float* in = pinSignal_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        const bool magnitude = pinMagnitude_;
        float* ring = ring_.data();
        const int N = window_;
        const float inv = inverse_;
        float sum = sum_;
        int index = index_;
        for (int i = 0; i < n; ++i)
        {
            const float v = magnitude ? std::fabs(in[i]) : in[i];
            sum = (sum - ring[index]) + v;
            ring[index] = v;
            out[i] = sum * inv;
            if (countdown_ != 0 && --countdown_ == 0)
                pinOutput_.setStreaming(false, blockPosition_ + i);
            if (++index == N)
                index = 0;
        }
        sum_ = sum;
        index_ = index;
        // A non-finite sample leaves nothing behind past this span.
        if (sum - sum != 0.0f)
            clear();
    }

private:
    void clear()
    {
        std::fill_n(ring_.data(), window_, 0.0f);
        index_ = 0;
        sum_ = 0.0f;
    }

    AudioInPin pinSignal_;
    IntInPin pinWindow_;
    BoolInPin pinMagnitude_;
    AudioOutPin pinOutput_;

    int window_ = 2; // a usable window from construction on
    float inverse_ = 0.5f;
    std::array<float, kLongest> ring_{};
    int index_ = 0;
    float sum_ = 0.0f;
    int countdown_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_MovingAvg", &gmpi::Register<QW_MovingAvg>::withId);
}
