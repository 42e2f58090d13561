// A random float between the two limits: (high - low) x u + low, u in [0, 1)
// from the low 23 bits of the generator's state. A NaN limit counts as 0 and
// an infinite one as the largest float of its sign, so every value drawn is a
// finite one between them.
#include "random_history.h"

#include <cfloat>
#include <cmath>

class QW_RndFloat : public qw::RandomHistory<float>
{
public:
    QW_RndFloat() = default;

private:
    static float finiteLimit(float v)
    {
        if (std::isnan(v))
            return 0.0f;
        return v < -FLT_MAX ? -FLT_MAX : v > FLT_MAX ? FLT_MAX : v;
    }

    float draw() override
    {
        const float a = finiteLimit(first_), b = finiteLimit(second_);
        const float lo = b < a ? b : a, hi = b < a ? a : b;
        const float u = qw::rnd::unit(rnd_.next());
        const float span = hi - lo;
        if (std::isfinite(span))
            return span * u + lo;
        // Limits more than the float range apart.
        return static_cast<float>((static_cast<double>(hi) - lo) * u + lo);
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_RndFloat", &gmpi::Register<QW_RndFloat>::withId);
} // namespace
