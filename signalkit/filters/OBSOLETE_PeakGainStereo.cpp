// Stereo peaking equaliser of the older generation: no reset input.
#include "PeakGain.h"

class QW_PeakGainST final : public qw::PeakGainFilter<2, false>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_PeakGainST", &gmpi::Register<QW_PeakGainST>::withId);
}
