// Soft clipper: x / ((1 - |x|)(1 - k) + |x|) with the hardness k in [0, 1]:
// k = 0 passes the signal, k = 1 turns it into its sign, and in between the
// curve runs through (0, 0) and (1, 1) and bends with k.
#include "shapers.h"

class QW_SoftClip final : public qw::shapers::SignalAndControl<QW_SoftClip>
{
public:
    static float shape(float x, float k)
    {
        k = k > 0.0f ? std::min(k, 1.0f) : 0.0f; // not a number: 0
        const float ax = std::fabs(x);
        // The denominator in the form 1 - k + k|x|, which never cancels for
        // large |x|. Silence (and subnormal input, whatever the processor's
        // mode) stays silence, also at k = 1 where the formula is 0/0.
        if (!(ax >= FLT_MIN))
            return ax == ax ? 0.0f : x;
        return x / ((1.0f - k) + k * ax);
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_SoftClip", &gmpi::Register<QW_SoftClip>::withId);
}
