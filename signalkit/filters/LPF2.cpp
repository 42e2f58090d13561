// One-pole low-pass filter with a reset input.
#include "OnePole.h"

class QW_LPF2 final : public qw::OnePoleFilter<true>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_LPF2", &gmpi::Register<QW_LPF2>::withId);
}
