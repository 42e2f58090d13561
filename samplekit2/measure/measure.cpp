#include "measure.h"

#include "qw_fm.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qw::measure
{
namespace
{
bool decibels(int32_t units)
{
    return units != kLinear && units != kTimesTen;
}
} // namespace

Duration duration(int64_t frames, double rate)
{
    if (!(rate > 0.0) || frames <= 0)
        return {};
    // The longest duration an int of minutes holds.
    constexpr double longest = static_cast<double>(std::numeric_limits<int32_t>::max()) * 6000.0 + 5999.0;
    const double h = std::trunc(static_cast<double>(frames) * 100.0 / rate);
    const int64_t whole = static_cast<int64_t>(std::min(h, longest));
    return {static_cast<int32_t>(whole / 6000), static_cast<int32_t>(whole / 100 % 60),
            static_cast<int32_t>(whole % 100)};
}

float valueAt(const float* frames, int32_t count, int32_t position)
{
    return frames[std::clamp(position, 0, count - 1)];
}

Level level(const float* frames, int32_t count, int32_t start, int32_t end, int32_t units)
{
    auto inside = [count](int32_t i) { return i < 0 || i >= count ? count - 1 : i; };
    const int32_t a = inside(start), b = inside(end);
    float peak = 0.0f;
    int32_t at = 0;
    for (int32_t i = std::min(a, b); i <= std::max(a, b); ++i)
    {
        const float m = std::fabs(frames[i]);
        if (m > peak)
        {
            peak = m;
            at = i;
        }
    }
    Level r;
    r.position = at;
    if (units == kLinear)
        r.level = peak;
    else if (units == kTimesTen)
        // A finite peak gives a finite level.
        r.level = peak <= std::numeric_limits<float>::max() / 10.0f ? peak * 10.0f : std::numeric_limits<float>::max();
    else
        r.level = peak > 0.0f ? 6.0206f * qw::fm::log2Acc(peak) : -std::numeric_limits<float>::infinity();
    return r;
}

float levelOfNothing(int32_t units)
{
    return decibels(units) ? -std::numeric_limits<float>::infinity() : 0.0f;
}
} // namespace qw::measure
