// Stereo biquad filter of the older generation: no reset input.
#include "Biquad.h"

class QW_StereoBiquad final : public qw::BiquadFilter<2, false>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_StereoBiquad", &gmpi::Register<QW_StereoBiquad>::withId);
}
