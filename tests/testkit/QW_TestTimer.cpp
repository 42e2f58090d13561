// Interface-half test module of the bundle's timer service: a timer client
// that a test drives through ITimerProbe.
#include "TimerManager.h"
#include "mp_sdk_common.h"
#include "timer_probe.h"

class QW_TestTimer final : public ITimerProbe, public TimerClient
{
public:
    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override
    {
        if (iid == QW_IID_TIMER_PROBE || iid == gmpi::MP_IID_UNKNOWN)
        {
            *returnInterface = static_cast<ITimerProbe*>(this);
            addRef();
            return gmpi::MP_OK;
        }
        *returnInterface = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    int32_t addRef() override { return ++refs_; }
    int32_t release() override
    {
        const int32_t n = --refs_;
        if (n == 0)
            delete this;
        return n;
    }

    int32_t start(int32_t intervalMs) override
    {
        if (intervalMs < 0)
            StartTimer();
        else
            StartTimer(intervalMs);
        return gmpi::MP_OK;
    }
    int32_t stop() override
    {
        StopTimer();
        return gmpi::MP_OK;
    }
    int32_t setDefaultInterval(int32_t intervalMs) override
    {
        SetTimerIntervalMs(intervalMs);
        return gmpi::MP_OK;
    }
    int32_t setTickAction(int32_t action, int32_t argument, bool once) override
    {
        action_ = action;
        argument_ = argument;
        once_ = once;
        return gmpi::MP_OK;
    }
    int32_t tickCount() override { return ticks_; }
    double lastTickTime() override { return lastTick_; }
    int32_t timerCount(int32_t& running) override
    {
        const auto& timers = TimerManager::Instance().timers();
        running = 0;
        for (auto& t : timers)
            running += t->isRunning();
        return static_cast<int32_t>(timers.size());
    }
    int32_t timerInterval(int32_t index) override
    {
        const auto& timers = TimerManager::Instance().timers();
        if (index < 0 || static_cast<size_t>(index) >= timers.size())
            return -1;
        return timers[static_cast<size_t>(index)]->interval();
    }

    bool OnTimer() override
    {
        ++ticks_;
        lastTick_ = CFAbsoluteTimeGetCurrent();
        const int32_t action = action_;
        if (once_)
            action_ = KEEP;
        switch (action)
        {
        case LEAVE:
            return false;
        case STOP:
            StopTimer();
            return true;
        case RESTART:
            StopTimer();
            StartTimer(argument_);
            return true;
        case DESTROY:
            release();
            return false;
        case START_OTHER:
            StartTimer(argument_);
            return true;
        default:
            return true;
        }
    }

private:
    int32_t refs_ = 1;
    int32_t ticks_ = 0;
    double lastTick_ = 0;
    int32_t action_ = KEEP;
    int32_t argument_ = 0;
    bool once_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_TestTimer",
                        []() -> gmpi::IMpUnknown* { return static_cast<ITimerProbe*>(new QW_TestTimer); });
}
