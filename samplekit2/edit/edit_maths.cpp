#include "edit_maths.h"

#include <algorithm>

namespace qw::edit
{
namespace
{
double kernel(double u)
{
    if (u < 1.0)
        return (1.5 * u - 2.5) * u * u + 1.0;
    if (u < 2.0)
        return ((-0.5 * u + 2.5) * u - 4.0) * u + 2.0;
    return 0.0;
}
} // namespace

std::vector<float> smoothTaps(int width, float& step)
{
    const int64_t m = std::clamp(width, 1, kMaxSmoothWidth);
    step = 1.0f / static_cast<float>(m + 1);
    // Taps at |j| < 2 (m + 1), the last one inside the kernel's second lobe.
    const int64_t reach = 2 * m + 1;
    std::vector<float> taps(static_cast<size_t>(2 * reach + 1));
    for (int64_t j = -reach; j <= reach; ++j)
        taps[static_cast<size_t>(j + reach)] =
            static_cast<float>(kernel(static_cast<double>(j < 0 ? -j : j) / static_cast<double>(m + 1)));
    return taps;
}

void smooth(const float* frames, int64_t count, int64_t start, int64_t end, int width, bool cyclic,
            std::vector<float>& out)
{
    float step;
    const std::vector<float> taps = smoothTaps(width, step);
    const int64_t reach = static_cast<int64_t>(taps.size() / 2);

    // The neighbourhood of the selection in one run: frames beyond the
    // sample's ends are 0 (they add nothing), or the selection repeated.
    const int64_t n = end - start + 1;
    std::vector<float> around(static_cast<size_t>(n + 2 * reach));
    for (int64_t k = 0; k < n + 2 * reach; ++k)
    {
        int64_t at;
        if (cyclic)
            at = start + ((k - reach) % n + n) % n;
        else
            at = start + k - reach;
        around[static_cast<size_t>(k)] = at >= 0 && at < count ? frames[at] : 0.0f;
    }

    // Sixteen results at a time, each summed tap after tap in order: the
    // additions of one result run as in a plain loop, those of neighbouring
    // results side by side.
    out.resize(static_cast<size_t>(n));
    const size_t span = taps.size();
    const float* t = taps.data();
    constexpr int64_t kLanes = 16;
    int64_t i = 0;
    for (; i + kLanes <= n; i += kLanes)
    {
        const float* x = around.data() + i;
        float sum[kLanes] = {};
        for (size_t j = 0; j < span; ++j)
        {
            const float tap = t[j];
            for (int64_t b = 0; b < kLanes; ++b)
                sum[b] += tap * x[j + static_cast<size_t>(b)];
        }
        for (int64_t b = 0; b < kLanes; ++b)
            out[static_cast<size_t>(i + b)] = sum[b] * step;
    }
    for (; i < n; ++i)
    {
        const float* x = around.data() + i;
        float sum = 0.0f;
        for (size_t j = 0; j < span; ++j)
            sum += t[j] * x[j];
        out[static_cast<size_t>(i)] = sum * step;
    }
}
} // namespace qw::edit
