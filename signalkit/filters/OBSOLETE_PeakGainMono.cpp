// Mono peaking equaliser of the older generation: no reset input.
#include "PeakGain.h"

class QW_PeakGain final : public qw::PeakGainFilter<1, false>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_PeakGain", &gmpi::Register<QW_PeakGain>::withId);
}
