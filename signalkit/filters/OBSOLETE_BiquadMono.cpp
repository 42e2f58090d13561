// Mono biquad filter of the older generation: no reset input.
#include "Biquad.h"

class QW_Biquad final : public qw::BiquadFilter<1, false>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Biquad", &gmpi::Register<QW_Biquad>::withId);
}
