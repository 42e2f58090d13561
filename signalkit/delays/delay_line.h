// Shared pieces of the delays and wideners: the 8192-sample ring and the safe
// values and line clean-up of qw_finite.h they use.
#pragma once

#include "qw_finite.h"

#include <algorithm>
#include <cstdint>

namespace qw
{
namespace delay
{
constexpr int kLength = 8192;
constexpr int kMask = kLength - 1;

using qw::finite::allFinite;
using qw::finite::clampOrZero;
using qw::finite::orZero;
using qw::finite::poisonOf;
using qw::finite::scrubRecent;
// Writes in[0, m) into the ring from index w on and reads out[i] = the entry
// `delay` samples (0 to kMask) before the i-th one written, exactly as
// writing and reading sample by sample would. Whole stretches are copied
// where no read can see an entry this block writes over (the delay at most
// kLength - m); out may be in itself.
inline void delayBlock(float* ring, int w, const float* in, float* out, int m, int delay)
{
    if (delay > kLength - m)
    {
        for (int i = 0; i < m; ++i)
        {
            ring[w] = in[i];
            out[i] = ring[(w - delay) & kMask];
            w = (w + 1) & kMask;
        }
        return;
    }
    const int first = std::min(m, kLength - w);
    std::copy_n(in, first, ring + w);
    std::copy_n(in + first, m - first, ring);
    const int r = (w - delay) & kMask;
    const int head = std::min(m, kLength - r);
    std::copy_n(ring + r, head, out);
    std::copy_n(ring, m - head, out + head);
}
} // namespace delay
} // namespace qw
