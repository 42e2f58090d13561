// Interface-half test module of the bundle's timer service: a timer client
// driven through its pins (by the interface host) or through ITimerProbe (by
// a test that creates it with the factory and holds it directly).
//
// Pins: 0 interval (ms, < 0 = the default), 1 run (true starts, false stops),
// 2 default interval (sets it when > 0), 3 tick action (what the next tick
// does, ITimerProbe::TickAction), 4 action argument, 5 ticks out (the count,
// sent at every tick).
#include "TimerManager.h"
#include "mp_sdk_gui.h"
#include "timer_probe.h"

class QW_TestTimer final : public MpGuiInvisibleBase, public TimerClient, public ITimerProbe
{
public:
    QW_TestTimer()
    {
        initializePin(interval_);
        initializePin(run_, &QW_TestTimer::onSetRun);
        initializePin(defaultInterval_, &QW_TestTimer::onSetDefaultInterval);
        initializePin(action_, &QW_TestTimer::onSetAction);
        initializePin(argument_);
        initializePin(ticksOut_);
    }

    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override
    {
        if (iid == QW_IID_TIMER_PROBE)
        {
            *returnInterface = static_cast<ITimerProbe*>(this);
            addRef();
            return gmpi::MP_OK;
        }
        return MpGuiInvisibleBase::queryInterface(iid, returnInterface);
    }
    int32_t addRef() override { return MpGuiInvisibleBase::addRef(); }
    int32_t release() override { return MpGuiInvisibleBase::release(); }

    // Pin handlers.
    void onSetRun()
    {
        if (run_)
            start(interval_);
        else
            stop();
    }
    void onSetDefaultInterval()
    {
        if (defaultInterval_ > 0)
            setDefaultInterval(defaultInterval_);
    }
    void onSetAction() { setTickAction(action_, argument_, true); }

    // ITimerProbe
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
        nextAction_ = action;
        nextArgument_ = argument;
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
        ticksOut_ = ticks_;
        const int32_t action = nextAction_;
        if (once_)
            nextAction_ = KEEP;
        switch (action)
        {
        case LEAVE:
            return false;
        case STOP:
            StopTimer();
            return true;
        case RESTART:
            StopTimer();
            StartTimer(nextArgument_);
            return true;
        case DESTROY:
            release();
            return false;
        case START_OTHER:
            StartTimer(nextArgument_);
            return true;
        default:
            return true;
        }
    }

private:
    MpGuiPin<int> interval_;
    MpGuiPin<bool> run_;
    MpGuiPin<int> defaultInterval_;
    MpGuiPin<int> action_;
    MpGuiPin<int> argument_;
    MpGuiPin<int> ticksOut_;

    int32_t ticks_ = 0;
    double lastTick_ = 0;
    int32_t nextAction_ = KEEP;
    int32_t nextArgument_ = 0;
    bool once_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_TestTimer", &gmpi::Register<QW_TestTimer>::withId);
}
