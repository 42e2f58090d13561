// Fine adjustment of dragged controls: while the pointer event's
// fine-adjustment modifier (flag bit 17) is held, every control that drags a
// value scales the pointer's movement by 0.1, otherwise by 1.
#pragma once

#include "mp_api_gui2.h"

#include <cstdint>

namespace gmpi_gui
{
inline constexpr int32_t FINE_DRAG_MODIFIER = gmpi_gui_api::GG_POINTER_KEY_CONTROL; // 0x20000

// Index 0 with the modifier, 1 without.
inline constexpr float fineDragFactors[2] = {0.1f, 1.0f};

inline float fineDragFactor(int32_t pointerFlags)
{
    return fineDragFactors[(pointerFlags & FINE_DRAG_MODIFIER) ? 0 : 1];
}
} // namespace gmpi_gui
