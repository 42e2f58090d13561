// Dead-zone shaper: moves both half-waves towards zero by the shift c, so
// that levels within c become silence and the rest keeps its shape (a
// negative c moves them away, saturating at the float limit).
#include "qw_finite.h"
#include "shapers.h"

class QW_CenterShift final : public qw::shapers::SignalAndControl<QW_CenterShift>
{
public:
    static float shape(float x, float c)
    {
        const float m = std::max(0.0f, qw::finite::saturated(std::fabs(x) - c));
        return x < 0.0f ? -m : m;
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_CenterShift", &gmpi::Register<QW_CenterShift>::withId);
}
