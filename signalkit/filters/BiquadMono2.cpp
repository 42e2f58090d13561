// Mono biquad filter with a reset input.
#include "Biquad.h"

class QW_Biquad2 final : public qw::BiquadFilter<1, true>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Biquad2", &gmpi::Register<QW_Biquad2>::withId);
}
