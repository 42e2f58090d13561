// The user-interface thread's steady clock, for modules that time pointer
// presses (double clicks). A loading process may supply the clock (our host
// stand-in does, so that tests can move time by hand); a bundle refers to it
// weakly and reads the system's steady clock when the process has none.
#pragma once

#include "platform_run_loop.h"

#include <chrono>
#include <cstdint>

extern "C"
{
    // Nanoseconds on a clock that never goes back.
    QW_PLATFORM_API int64_t QwSteadyClockNanoseconds(void);
}

#ifndef QW_PLATFORM_PROVIDER
namespace gmpi_gui
{
inline int64_t steadyClockNanoseconds()
{
    if (&QwSteadyClockNanoseconds != nullptr)
        return QwSteadyClockNanoseconds();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace gmpi_gui
#endif
