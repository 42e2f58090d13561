// The counting modes shared by the counters: one step per accepted clock or
// detected edge, with L the limit (mode 0: the sign of the step).
#pragma once

#include "control.h"

#include <cstdint>

namespace qw::control
{
inline int32_t stepToward(int32_t count, int32_t to)
{
    return count < to ? count + 1 : (count > to ? count - 1 : count);
}

// Modes 0-2; mode 3 keeps state of its own (see the counters).
inline int32_t countStep(int mode, int32_t count, int32_t limit)
{
    switch (mode)
    {
    case 0: // free running, held at the 32-bit limits
        return addSaturated(count, limit > 0 ? 1 : (limit < 0 ? -1 : 0));
    case 1: // toward L, then stays
        return stepToward(count, limit);
    case 2: // toward L, a step at L wraps to 0
        return count == limit ? 0 : stepToward(count, limit);
    default:
        return count;
    }
}
} // namespace qw::control
