#include "run_loop.h"

#define QW_PLATFORM_PROVIDER
#include "platform_run_loop.h"
#include "steady_clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <set>
#include <thread>

struct QwPlatformText
{
    const char* name;
};

struct QwPlatformRunLoopTimer
{
    int refs = 1;
    bool valid = true;
    bool firing = false;
    double fireDate = 0;
    double interval = 0; // <= 0: fires once
    CFRunLoopTimerCallBack callout = nullptr;
    CFRunLoopTimerContext context = {};
    qwhost::RunLoop* loop = nullptr; // where it is scheduled
};

namespace
{
const QwPlatformText commonModes = {"kCFRunLoopCommonModes"};

// A timer due within this much of the clock counts as due: platform timers
// carry float-rounded intervals, and a manual clock moves in whole steps.
constexpr double kTolerance = 0.0005;

// Process-wide state. Never destroyed: bundles unloaded at exit still stop
// their timers through it.
struct State
{
    bool manual = false;
    double manualNow = 1000.0;
    std::chrono::steady_clock::time_point realStart = std::chrono::steady_clock::now();
    std::set<QwPlatformRunLoopTimer*> live;
    int misuses = 0;
    std::atomic<qwhost::RunLoop*> loops{nullptr};
};

State& state()
{
    static State* s = new State;
    return *s;
}

bool isLive(QwPlatformRunLoopTimer* t)
{
    if (t && state().live.count(t))
        return true;
    ++state().misuses;
    return false;
}

void retain(QwPlatformRunLoopTimer* t)
{
    ++t->refs;
}

void release(QwPlatformRunLoopTimer* t)
{
    if (--t->refs > 0)
        return;
    state().live.erase(t);
    if (t->context.release)
        t->context.release(t->context.info);
    delete t;
}
} // namespace

namespace qwhost
{
struct RunLoopAccess
{
    static RunLoop* make() { return new RunLoop; }
    static std::vector<QwPlatformRunLoopTimer*>& scheduled(RunLoop& l) { return l.scheduled_; }
    static RunLoop*& next(RunLoop& l) { return l.nextLoop_; }
};

namespace
{
void unschedule(QwPlatformRunLoopTimer* t)
{
    if (!t->loop)
        return;
    auto& list = RunLoopAccess::scheduled(*t->loop);
    list.erase(std::remove(list.begin(), list.end(), t), list.end());
    t->loop = nullptr;
    release(t);
}
} // namespace

RunLoop& RunLoop::current()
{
    thread_local RunLoop* mine = nullptr;
    if (!mine)
    {
        mine = RunLoopAccess::make();
        // Kept on a list for the life of the process (timers may outlive the thread's exit handlers).
        RunLoop* head = state().loops.load();
        do
            RunLoopAccess::next(*mine) = head;
        while (!state().loops.compare_exchange_weak(head, mine));
    }
    return *mine;
}

void RunLoop::useManualClock(double startSeconds)
{
    state().manual = true;
    state().manualNow = startSeconds;
}

void RunLoop::useRealClock()
{
    state().manual = false;
}

bool RunLoop::manualClock()
{
    return state().manual;
}

double RunLoop::now()
{
    State& s = state();
    if (s.manual)
        return s.manualNow;
    return 1000.0 + std::chrono::duration<double>(std::chrono::steady_clock::now() - s.realStart).count();
}

bool RunLoop::fireEarliestDue(double limit, bool stepping)
{
    QwPlatformRunLoopTimer* due = nullptr;
    for (QwPlatformRunLoopTimer* t : scheduled_)
        if (t->valid && !t->firing && t->fireDate <= limit + kTolerance && (!due || t->fireDate < due->fireDate))
            due = t;
    if (!due)
        return false;

    if (stepping)
        state().manualNow = std::max(state().manualNow, std::min(due->fireDate, limit));

    retain(due);
    due->firing = true;
    due->callout(due, due->context.info);
    due->firing = false;
    if (due->valid && due->loop == this)
    {
        if (due->interval > 0)
        {
            due->fireDate += due->interval;
            if (!stepping)
            {
                // Late: skip the dates already missed, as a platform run loop does.
                const double t = now();
                while (due->fireDate <= t + kTolerance)
                    due->fireDate += due->interval;
            }
        }
        else
        {
            due->valid = false;
            unschedule(due);
        }
    }
    release(due);
    return true;
}

int RunLoop::advance(double ms)
{
    if (!state().manual)
        return runFor(ms);
    const double target = state().manualNow + ms * 0.001;
    int ticks = 0;
    while (fireEarliestDue(target, true))
        ++ticks;
    state().manualNow = std::max(state().manualNow, target);
    return ticks;
}

int RunLoop::runDue()
{
    int ticks = 0;
    while (fireEarliestDue(now(), false))
        ++ticks;
    return ticks;
}

int RunLoop::runFor(double ms)
{
    if (state().manual)
        return advance(ms);
    const double deadline = now() + ms * 0.001;
    int ticks = 0;
    for (;;)
    {
        ticks += runDue();
        const double t = now();
        if (t >= deadline)
            return ticks;
        double wake = deadline;
        double next;
        if (nextFireDate(next))
            wake = std::min(wake, next);
        if (wake > t)
            std::this_thread::sleep_for(std::chrono::duration<double>(wake - t));
    }
}

std::vector<RunLoop::TimerInfo> RunLoop::timers() const
{
    std::vector<TimerInfo> out;
    for (QwPlatformRunLoopTimer* t : scheduled_)
        if (t->valid)
            out.push_back({t->interval > 0 ? t->interval : 0.0, t->fireDate});
    return out;
}

size_t RunLoop::timerCount() const
{
    return timers().size();
}

bool RunLoop::nextFireDate(double& when) const
{
    bool any = false;
    for (QwPlatformRunLoopTimer* t : scheduled_)
        if (t->valid && (!any || t->fireDate < when))
        {
            when = t->fireDate;
            any = true;
        }
    return any;
}

int RunLoop::liveTimerObjects()
{
    return static_cast<int>(state().live.size());
}

int RunLoop::misuses()
{
    return state().misuses;
}
} // namespace qwhost

// ---------------------------------------------------------------- platform entry points

extern "C"
{
    const CFAllocatorRef kCFAllocatorDefault = nullptr;
    const CFStringRef kCFRunLoopCommonModes = &commonModes;

    CFAbsoluteTime CFAbsoluteTimeGetCurrent(void)
    {
        return qwhost::RunLoop::now();
    }

    // The same clock in whole nanoseconds (rounded, so that a manual step of
    // 300 ms is exactly 300,000,000).
    int64_t QwSteadyClockNanoseconds(void)
    {
        return std::llround(qwhost::RunLoop::now() * 1e9);
    }

    CFRunLoopRef CFRunLoopGetCurrent(void)
    {
        return reinterpret_cast<CFRunLoopRef>(&qwhost::RunLoop::current());
    }

    CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef, CFAbsoluteTime fireDate, CFTimeInterval interval,
                                           CFOptionFlags, CFIndex, CFRunLoopTimerCallBack callout,
                                           CFRunLoopTimerContext* context)
    {
        if (!callout)
            return nullptr;
        auto* t = new QwPlatformRunLoopTimer;
        t->fireDate = fireDate;
        t->interval = interval;
        t->callout = callout;
        if (context)
        {
            t->context = *context;
            if (t->context.retain)
                t->context.info = const_cast<void*>(t->context.retain(t->context.info));
        }
        state().live.insert(t);
        return t;
    }

    void CFRunLoopAddTimer(CFRunLoopRef loop, CFRunLoopTimerRef timer, CFStringRef)
    {
        if (!loop || !isLive(timer))
            return;
        // A timer lives in one loop at a time; an invalid one in none.
        if (!timer->valid || timer->loop)
            return;
        auto* l = reinterpret_cast<qwhost::RunLoop*>(loop);
        qwhost::RunLoopAccess::scheduled(*l).push_back(timer);
        timer->loop = l;
        retain(timer);
    }

    void CFRunLoopRemoveTimer(CFRunLoopRef loop, CFRunLoopTimerRef timer, CFStringRef)
    {
        if (!loop || !isLive(timer))
            return;
        if (timer->loop == reinterpret_cast<qwhost::RunLoop*>(loop))
            qwhost::unschedule(timer);
    }

    void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer)
    {
        if (!isLive(timer))
            return;
        timer->valid = false;
        qwhost::unschedule(timer);
    }

    void CFRelease(CFTypeRef object)
    {
        auto* t = static_cast<QwPlatformRunLoopTimer*>(const_cast<void*>(object));
        if (isLive(t))
            release(t);
    }
}
