// Stereo biquad filter with a reset input: both channels share the
// coefficients and fall silent together.
#include "Biquad.h"

class QW_Biquad2ST final : public qw::BiquadFilter<2, true>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Biquad2ST", &gmpi::Register<QW_Biquad2ST>::withId);
}
