#include <cfloat>
#include <cmath>

#include "qw_fm.h"
#include "qw_shape.h"

namespace qw
{

namespace
{
constexpr float kDbToLog2 = 0.1660964f; // 10^(dB/20) = 2^(dB * kDbToLog2)
constexpr float kLog2ToDb = 6.0206f;
} // namespace

LevelScale::LevelScale(ScaleType t, float /*lower*/, float up, float floor)
    : type(t), floorDb(0.f), lower(0.f), upper(0.f), range(0.f), invRange(0.f)
{
    // Every user passes minus infinity dB for the lower end, which is level 0.
    if (std::isnan(up))
    {
        up = 0.f;
    }
    else if (t == kDecibel)
    {
        up = fm::exp2Acc(kDbToLog2 * up);
    }
    else if (t == kLogLike)
    {
        const float v = 0.94923425f * up + 0.050765775f;
        up = v > 0.f ? 1.f + 0.23255815f * fm::log2Acc(v) : -INFINITY;
    }
    upper = up >= 0.f ? up : 0.f;
    floorDb = floor >= -1000.f ? floor : -1000.f;
    _computeCachedVars();
}

void LevelScale::_computeCachedVars()
{
    if (!(floorDb >= -1000.f))
        floorDb = -1000.f;
    if (type == kDecibel)
    {
        // Below about -764 dB the floor level would round to zero; keep it the
        // smallest normal float so that the linear part stays finite.
        threshold = fm::exp2Acc(kDbToLog2 * floorDb);
        if (!(threshold >= FLT_MIN))
            threshold = FLT_MIN;
        invThreshold = 1.f / threshold;
        floorDbMinus10 = floorDb - 10.f;
        floorOffset = 0.1f * floorDb - 1.f;
        mappedLower = scaleValue(lower);
        const float mappedUpper = scaleValue(upper);
        mappedRange = mappedUpper - mappedLower;
        if (mappedRange != 0.f && std::isfinite(mappedRange))
        {
            invMappedRange = 1.f / mappedRange;
            mappedLowerOverRange = mappedLower * invMappedRange;
        }
        else
        {
            invMappedRange = 0.f;
            mappedLowerOverRange = 0.f;
        }
    }
    else
    {
        threshold = invThreshold = floorDbMinus10 = floorOffset = 0.f;
        mappedRange = invMappedRange = mappedLower = mappedLowerOverRange = 0.f;
    }
    range = upper - lower;
    if (range == 0.f)
    {
        invRange = 0.f;
        lowerOverRange = 0.f;
    }
    else
    {
        invRange = 1.f / range;
        lowerOverRange = lower * invRange;
    }
}

float LevelScale::scaleValue(float v) const
{
    if (type != kDecibel)
        return v;
    if (v < threshold)
        return v * invThreshold;
    return (kLog2ToDb * fm::log2Acc(v) - floorDb) * 0.1f + 1.f;
}

float LevelScale::levelFromScale(float s) const
{
    if (type != kDecibel || std::isnan(s))
        return s;
    if (s < 1.f)
        return s * threshold;
    return fm::exp2Acc((10.f * s + floorDbMinus10) * kDbToLog2);
}

float LevelScale::normalised(float v) const
{
    if (type == kDecibel)
        return (scaleValue(v) - mappedLower) * invMappedRange;
    return v * invRange - lowerOverRange;
}

float LevelScale::levelFromNormalised(float p) const
{
    if (type == kDecibel)
        return levelFromScale(p * mappedRange + mappedLower);
    return p * range + lower;
}

} // namespace qw
