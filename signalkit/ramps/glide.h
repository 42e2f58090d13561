// Glide (portamento): the output follows the target at a limited speed, with
// one glide time or separate rise and fall times (10 x value = seconds).
// Constant time: every glide takes the glide time; constant rate: 1 V per
// glide time. A glide between values near opposite float limits stays finite. A gate sample of 0.5 or more, or a time of 0, jumps. Once the
// target is static and the output has arrived, the output is reported static
// at that sample and the module asks to sleep; a new static target value, or
// a streaming target, wakes it.
#pragma once

#include "mp_sdk_audio.h"
#include "qw_finite.h"

#include <algorithm>
#include <cmath>

namespace qw
{
template <bool TwoTimes> class Glide : public MpBase2
{
public:
    Glide()
    {
        initializePin(pinTarget_);
        initializePin(pinRise_);
        if constexpr (TwoTimes)
            initializePin(pinFall_);
        initializePin(pinMode_);
        initializePin(pinGate_);
        initializePin(pinOutput_);
        setSubProcess(&Glide::subProcess);
    }

    void onSetPins() override
    {
        if (pinMode_.isUpdated())
            constantTime_ = pinMode_.getValue() == 0;
        if (pinTarget_.isUpdated())
        {
            setSleep(false);
            if (pinTarget_.isStreaming())
            {
                pinOutput_.setStreaming(true);
                phase_ = kStreaming;
            }
            else
            {
                if (phase_ != kStreaming)
                    pinOutput_.setStreaming(true);
                phase_ = kGliding;
            }
        }
    }

    void subProcess(int n)
    {
        const int start = blockPosition_;
        float* out = pinOutput_.getBuffer() + start;
        if (phase_ == kArrived)
        {
            std::fill_n(out, n, y_);
            return;
        }
        const float* target = pinTarget_.getBuffer() + start;
        const float* rise = pinRise_.getBuffer() + start;
        const float* fall = TwoTimes ? pinFall_.getBuffer() + start : rise;
        const float* gate = pinGate_.getBuffer() + start;
        const float fs = getSampleRate();
        float y = y_, p = previous_, step = step_;
        int i = 0;
        for (; i < n; ++i)
        {
            const float x = qw::finite::orZero(target[i]);
            const float tr = timeOf(rise[i]);
            const float tf = TwoTimes ? timeOf(fall[i]) : tr;
            if ((tr == 0.0f && tf == 0.0f) || qw::finite::orZero(gate[i]) >= 0.5f)
                y = x;
            else if (y != x)
            {
                const float T = y < x ? tr : tf;
                if (!constantTime_)
                    step = 0.1f / (T * fs);
                else if (x != p)
                    step = stepOf(x, y, T, fs); // kept until the target changes again
                y = x > y ? std::min(y + step, x) : std::max(y - step, x);
            }
            p = x;
            out[i] = y;
            if (phase_ == kGliding && y == x)
            {
                pinOutput_.setStreaming(false, start + i);
                setSleep(true);
                phase_ = kArrived;
                std::fill(out + i + 1, out + n, y);
                break;
            }
        }
        // A target or a time that was not finite leaves nothing behind.
        y_ = y - y == 0.0f ? y : 0.0f;
        previous_ = p - p == 0.0f ? p : 0.0f;
        step_ = step - step == 0.0f ? step : 0.0f;
    }

private:
    static constexpr int kStreaming = 0, kGliding = 1, kArrived = 2;

    // The step of a constant-time glide from y to x over T seconds. Where the
    // float quotient is not a number (a distance and a time that both
    // overflow) it is worked out in double: an infinite time does not move.
    static float stepOf(float x, float y, float T, float fs)
    {
        const float step = std::fabs(x - y) / (T * fs);
        if (__builtin_expect(step == step, 1))
            return step;
        return qw::finite::narrowed(std::fabs(static_cast<double>(x) - y) / (static_cast<double>(T) * fs));
    }

    // Seconds; negative and not a number count as 0.
    static float timeOf(float v) { return std::max(0.0f, 10.0f * qw::finite::orZero(v)); }

    AudioInPin pinTarget_;
    AudioInPin pinRise_;
    AudioInPin pinFall_; // only a pin with two times
    EnumInPin pinMode_;
    AudioInPin pinGate_;
    AudioOutPin pinOutput_;

    bool constantTime_ = true;
    float y_ = 0.0f, previous_ = 0.0f, step_ = 0.0f;
    int phase_ = kStreaming;
};
} // namespace qw
