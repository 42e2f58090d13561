// Periodic calls on the user-interface thread. A module mixes in TimerClient
// and implements OnTimer; the TimerManager of the bundle runs one run-loop
// timer per distinct interval and calls every client of that interval on
// each tick.
#pragma once

#include "platform_run_loop.h"

#include <cstdint>
#include <memory>
#include <vector>

class TimerManager;

class TimerClient
{
public:
    virtual ~TimerClient();
    // One tick. true keeps the client registered, false removes it.
    virtual bool OnTimer() = 0;

    // Joins the timer of that interval (created when none runs); joining a
    // timer the client is on already changes nothing.
    void StartTimer(int32_t intervalMs);
    // The same at the bundle's default interval.
    void StartTimer();
    // Default interval of every client of the bundle, for later StartTimer().
    void SetTimerIntervalMs(int32_t intervalMs);
    // Leaves every timer the client is on. Safe inside the client's own tick.
    void StopTimer();
};

namespace mp_sdk_timers
{
class Timer
{
public:
    struct Entry
    {
        TimerClient* client;
        uint64_t serial; // tells a client apart from a later one at the same address
    };

    explicit Timer(int32_t intervalMs) : intervalMs_(intervalMs) {}
    ~Timer() { Stop(); }
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // (Re)starts the run-loop timer: first tick one interval from now.
    void Start();
    void Stop();
    bool isRunning() const { return handle_ != nullptr; }
    // One tick: every client registered when it began, unless it left meanwhile.
    void OnTimer();

    CFRunLoopTimerRef handle() const { return handle_; }
    int32_t interval() const { return intervalMs_; }
    const std::vector<Entry>& clients() const { return clients_; }
    bool has(const TimerClient* client) const;
    bool ticking() const { return tickDepth_ > 0; }

private:
    friend class ::TimerManager;
    CFRunLoopTimerRef handle_ = nullptr;
    int32_t intervalMs_;
    std::vector<Entry> clients_;
    int tickDepth_ = 0;
};
} // namespace mp_sdk_timers

class TimerManager
{
public:
    static TimerManager& Instance();
    ~TimerManager();

    void SetInterval(int32_t intervalMs) { defaultIntervalMs_ = intervalMs; }
    int32_t defaultInterval() const { return defaultIntervalMs_; }

    void RegisterClient(TimerClient* client, int32_t intervalMs);
    // Removes the client from every timer; a timer left empty is stopped and
    // freed (after its tick, when it is ticking).
    void UnRegisterClient(TimerClient* client);
    // Runs the tick of the timer with that run-loop handle, if any.
    void OnTimer(void* handle);

    // In creation order; stopped timers that are kept count as well.
    const std::vector<std::unique_ptr<mp_sdk_timers::Timer>>& timers() const { return timers_; }

    // False once the bundle's manager has been destroyed (at unload).
    static bool alive();

private:
    TimerManager() = default;
    std::vector<std::unique_ptr<mp_sdk_timers::Timer>> timers_;
    int32_t defaultIntervalMs_ = 50;
    // Timers emptied during their own tick, freed once no tick runs.
    std::vector<std::unique_ptr<mp_sdk_timers::Timer>> retired_;
    int tickDepth_ = 0;
    uint64_t nextSerial_ = 1;
};
