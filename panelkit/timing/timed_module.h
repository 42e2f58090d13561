// An invisible interface module driven by the bundle's run-loop timers. It is
// on one timer at a time: starting at another interval leaves the timer it is
// on first, so it never ticks from two. Each tick holds a reference to the
// module, so a host that lets go of the module while the tick writes its pins
// (a patch reloaded by the pulse, say) frees it only once the tick is over.
#pragma once

#include "TimerManager.h"
#include "mp_sdk_gui.h"

#include <cstdint>

namespace qw
{
class TimedModule : public MpGuiInvisibleBase, public TimerClient
{
protected:
    // Joins the timer of that interval; on it already, the count goes on.
    void startTimer(int32_t ms)
    {
        if (ms == timerMs_)
            return;
        if (timerMs_ >= 0)
            StopTimer();
        StartTimer(ms);
        timerMs_ = ms;
        moved_ = true;
    }
    // The same at the bundle's default interval.
    void startTimer()
    {
        if (TimerManager::alive())
            startTimer(TimerManager::Instance().defaultInterval());
    }
    void stopTimer()
    {
        StopTimer();
        timerMs_ = -1;
        moved_ = true;
    }
    // Inside a tick: leaves the running timer and joins the one of that
    // interval, whose first tick comes one full interval later.
    void rearm(int32_t ms)
    {
        stopTimer();
        startTimer(ms);
    }

    // One tick; true keeps the module on its timer.
    virtual bool tick() = 0;

private:
    bool OnTimer() final
    {
        addRef();
        moved_ = false;
        const bool keep = tick();
        // The framework takes a module that answers false off the ticking
        // timer; one that moved meanwhile is on its new timer still.
        if (!keep && !moved_)
            timerMs_ = -1;
        release();
        return keep;
    }

    int32_t timerMs_ = -1; // the interval of the timer the module is on, -1 none
    bool moved_ = false;   // started or stopped during the tick
};
} // namespace qw
