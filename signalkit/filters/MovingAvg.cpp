// Moving average over the last N samples (2 to 20000), of the signal or of its
// magnitude, kept as a running sum. While the window holds a huge sample
// (2^64 or more: input near the float limit) the sum runs in double, and is
// summed again from the window once the last one has left: it never
// overflows, and no rounding of a huge sum stays behind in it. When the input
// turns static the output is reported static at the N-th sample after, when
// the window holds only the static value.
#include "mp_sdk_audio.h"
#include "qw_finite.h"

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
        bool wide = wide_;
        for (int i = 0; i < n; ++i)
        {
            const float v = magnitude ? std::fabs(in[i]) : in[i];
            const float old = ring[index];
            ring[index] = v;
            if (__builtin_expect(std::fabs(v) < kHuge && !wide, 1))
            {
                sum = (sum - old) + v;
                out[i] = sum * inv;
            }
            else
            {
                out[i] = wideStep(sum, old, v);
                sum = sum_, wide = wide_;
            }
            if (countdown_ != 0 && --countdown_ == 0)
                pinOutput_.setStreaming(false, blockPosition_ + i);
            if (++index == N)
                index = 0;
        }
        sum_ = sum;
        index_ = index;
        // A non-finite sample leaves nothing behind past this span.
        if (!wide_ && sum - sum != 0.0f)
            clear();
    }

private:
    // Samples from this magnitude up make the sum run in double: window_
    // of them stay far inside the float range.
    static constexpr float kHuge = 18446744073709551616.0f; // 2^64

    // A step with a huge sample v entering (already in the ring), or while
    // one is in the window: the sum in double. Answers the average; sum_ is
    // the float sum again once the last huge sample has left. A sample that
    // is not finite makes the float sum NaN, which the span's end clears.
    [[gnu::noinline, gnu::cold]] float wideStep(float sum, float old, float v)
    {
        const float average = wideStepOf(sum, old, v);
        sum_ = sum;
        return average;
    }
    float wideStepOf(float& sum, float old, float v)
    {
        if (!(v - v == 0.0f))
        {
            wide_ = false;
            sum = v - v;
            return sum;
        }
        if (!wide_)
            wideSum_ = sum;
        wide_ = true;
        wideSum_ = (wideSum_ - old) + v;
        if (std::fabs(v) >= kHuge)
            hugeLeft_ = window_;
        else if (--hugeLeft_ == 0)
        {
            wide_ = false;
            double exact = 0.0;
            for (int k = 0; k < window_; ++k)
                exact += ring_[static_cast<size_t>(k)];
            sum = static_cast<float>(exact);
            return sum * inverse_;
        }
        return qw::finite::narrowed(wideSum_ * inverse_);
    }

    void clear()
    {
        std::fill_n(ring_.data(), window_, 0.0f);
        index_ = 0;
        sum_ = 0.0f;
        wide_ = false;
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
    bool wide_ = false; // a huge sample is in the window: the sum is wideSum_
    double wideSum_ = 0.0;
    int hugeLeft_ = 0; // samples until the last huge one leaves the window
    int countdown_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_MovingAvg", &gmpi::Register<QW_MovingAvg>::withId);
}
