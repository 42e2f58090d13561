// One-pole low-pass filter of the older generation: no reset input.
#include "OnePole.h"

class QW_LPF final : public qw::OnePoleFilter<false>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_LPF", &gmpi::Register<QW_LPF>::withId);
}
