// Key repeat on the interface thread: a rising trigger pulses both outputs at
// once, and while it stays high the timer pulses them again after a delay of
// some ticks, then at every tick; the fall stops it. Delay and rate are taken
// at each rise. A rate of 0 counts as one pulse a second.
#include "timed_module.h"

#include <algorithm>

class QW_KeyRepeat : public qw::TimedModule
{
public:
    QW_KeyRepeat()
    {
        initializePin(triggerR_, &QW_KeyRepeat::onSetTrigR);
        initializePin(triggerL_, &QW_KeyRepeat::onSetTrigL);
        initializePin(delay_);
        initializePin(rate_);
        initializePin(out_);
        initializePin(outHigh_);
    }

    int32_t initialize() override
    {
        initialised_ = true;
        return qw::TimedModule::initialize();
    }

private:
    void onSetTrigR() { onTrig(triggerR_); }
    void onSetTrigL() { onTrig(triggerL_); }

    void onTrig(bool rise)
    {
        if (!initialised_)
            return;
        if (!rise)
        {
            stopTimer();
            return;
        }
        pulse();
        remaining_ = std::max(delay_.getValue(), 0);
        const int32_t rate = rate_ == 0 ? 1 : rate_.getValue();
        startTimer(std::max(1000 / rate, 1));
    }

    bool tick() override
    {
        if (remaining_ > 0)
            --remaining_;
        else
            pulse();
        return true;
    }

    void pulse()
    {
        outHigh_ = true;
        out_ = outHigh_.getValue();
        outHigh_ = false;
        out_ = outHigh_.getValue();
    }

    MpGuiPin<bool> triggerR_;
    MpGuiPin<bool> triggerL_;
    MpGuiPin<int> delay_;
    MpGuiPin<int> rate_;
    MpGuiPin<bool> out_;
    MpGuiPin<bool> outHigh_;

    bool initialised_ = false;
    int32_t remaining_ = 0; // ticks before the repeats start
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_KeyRepeat", &gmpi::Register<QW_KeyRepeat>::withId);
}
