// An audio pulse of one level that a processing module writes span by span:
// the samples left of the pulse at the level, then zeros. Where the pulse
// ends the output is reported static and the module is let sleep.
#pragma once

#include "mp_sdk_audio.h"

#include <algorithm>
#include <cstdint>

namespace qw
{
// Writes one span of `sampleFrames` samples at the module's block position
// and counts `remaining` down.
inline void writePulse(MpBase2& module, AudioOutPin& out, int32_t& remaining, float level, int sampleFrames)
{
    const int p = module.getBlockPosition();
    float* y = out.getBuffer() + p;
    if (remaining > sampleFrames)
    {
        std::fill_n(y, sampleFrames, level);
        remaining -= sampleFrames;
        return;
    }
    const int r = std::max<int32_t>(remaining, 0);
    if (r > 0)
    {
        out.setStreaming(false, p + r);
        module.setSleep(true);
        std::fill_n(y, r, level);
    }
    std::fill(y + r, y + sampleFrames, 0.0f);
    remaining = 0;
}
} // namespace qw
