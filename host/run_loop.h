// The platform's run-loop timers, as the stand-in provides them to bundles
// (the functions declared in mp_sdk/platform_run_loop.h, defined in
// run_loop.cpp and exported by every program that loads bundles).
//
// Each thread has one run loop. Time comes from one clock for the whole
// process: real time (qwhost) or a manual clock that only moves when a test
// says so:
//
//   qwhost::RunLoop::useManualClock();
//   ... a module starts a 50 ms timer ...
//   qwhost::RunLoop::current().advance(49);  // nothing
//   qwhost::RunLoop::current().advance(1);   // one tick
#pragma once

#include <cstddef>
#include <vector>

struct QwPlatformRunLoopTimer;

namespace qwhost
{
class RunLoop
{
public:
    // The calling thread's loop (what CFRunLoopGetCurrent answers).
    static RunLoop& current();

    // The process's clock, in seconds. The manual clock starts at startSeconds
    // and stays there until advance().
    static void useManualClock(double startSeconds = 1000.0);
    static void useRealClock();
    static bool manualClock();
    static double now();

    // Manual clock: moves time on by ms, firing every timer that falls due on
    // the way, in time order, each at its own fire date. Returns the ticks.
    int advance(double ms);
    // Fires the timers due now (a repeating timer that is late fires once and
    // skips the dates it missed). Returns the ticks.
    int runDue();
    // Real clock: waits for and fires timers for ms of real time. With the
    // manual clock it is advance(ms).
    int runFor(double ms);

    struct TimerInfo
    {
        double interval; // seconds; 0 for a one-shot timer
        double nextFire; // clock seconds
    };
    // Scheduled (added and valid) timers in the order they were added.
    std::vector<TimerInfo> timers() const;
    size_t timerCount() const;
    // Timer objects created and not yet released to zero, on all loops.
    static int liveTimerObjects();
    // Calls with an object that is not a live timer (a release too many, a
    // timer used after its last release); a correct client makes none.
    static int misuses();
    // Fire date of the earliest scheduled timer; false when none.
    bool nextFireDate(double& when) const;

    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

private:
    RunLoop() = default;
    friend struct RunLoopAccess;
    // stepping: the manual clock moves to each fire date and a repeating timer
    // comes due again one interval later; otherwise a late timer skips the
    // dates it missed.
    bool fireEarliestDue(double limit, bool stepping);

    std::vector<QwPlatformRunLoopTimer*> scheduled_;
    RunLoop* nextLoop_ = nullptr; // every loop ever made, so none is lost
};
} // namespace qwhost
