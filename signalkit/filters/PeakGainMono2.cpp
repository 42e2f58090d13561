// Mono peaking equaliser with a reset input.
#include "PeakGain.h"

class QW_PeakGain2 final : public qw::PeakGainFilter<1, true>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_PeakGain2", &gmpi::Register<QW_PeakGain2>::withId);
}
