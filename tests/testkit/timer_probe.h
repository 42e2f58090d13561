// Test interface of QW_TestTimer: lets a test start and stop the module's
// timer, choose what its next ticks do, and read what happened.
#pragma once

#include "mp_api.h"

#include <cstdint>

// {281CA87F-FE22-4DF5-B120-C6431F8C7727}
inline constexpr gmpi::MpGuid QW_IID_TIMER_PROBE = {
    0x281ca87f, 0xfe22, 0x4df5, {0xb1, 0x20, 0xc6, 0x43, 0x1f, 0x8c, 0x77, 0x27}};

class ITimerProbe : public gmpi::IMpUnknown
{
public:
    enum TickAction : int32_t
    {
        KEEP = 0,       // answer true
        LEAVE = 1,      // answer false
        STOP = 2,       // StopTimer, answer true
        RESTART = 3,    // StopTimer, StartTimer(argument), answer true
        DESTROY = 4,    // release the caller's reference (the last one), answer false
        START_OTHER = 5 // StartTimer(argument) besides the current timer, answer true
    };

    // intervalMs < 0: StartTimer() at the default interval.
    virtual int32_t start(int32_t intervalMs) = 0;
    virtual int32_t stop() = 0;
    virtual int32_t setDefaultInterval(int32_t intervalMs) = 0;
    // What the following ticks do (each once, then KEEP again when once is set).
    virtual int32_t setTickAction(int32_t action, int32_t argument, bool once) = 0;
    virtual int32_t tickCount() = 0;
    // Clock of the last tick (platform seconds); 0 before the first.
    virtual double lastTickTime() = 0;
    // The bundle's timers: how many the manager knows, how many run.
    virtual int32_t timerCount(int32_t& running) = 0;
    // Interval of the bundle's timer at that position, -1 past the end.
    virtual int32_t timerInterval(int32_t index) = 0;
};
