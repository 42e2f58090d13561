// A random value between two bounds given in either order, for the trigger
// generators: computed in double and kept inside the bounds, so bounds near
// the float limits give a value between them and never an overflow. A bound
// that is not a number counts as 0, an infinite one as the largest float.
#pragma once

#include "qw_rnd.h"

#include <algorithm>
#include <cfloat>

namespace qw
{
namespace rnd
{
inline float finiteBound(float v)
{
    return v == v ? std::clamp(v, -FLT_MAX, FLT_MAX) : 0.0f;
}

// a when the bounds are equal (no step taken), else lo + (hi - lo) x u.
inline float between(RndIterator& rnd, float a, float b)
{
    a = finiteBound(a);
    b = finiteBound(b);
    if (a == b)
        return a;
    const double lo = std::min(a, b), hi = std::max(a, b);
    const double v = lo + (hi - lo) * static_cast<double>(rnd.nextUnit());
    return static_cast<float>(std::clamp(v, lo, hi));
}
} // namespace rnd
} // namespace qw
