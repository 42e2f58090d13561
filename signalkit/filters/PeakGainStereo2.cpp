// Stereo peaking equaliser with a reset input: both channels share the
// coefficients and fall silent together.
#include "PeakGain.h"

class QW_PeakGain2ST final : public qw::PeakGainFilter<2, true>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_PeakGain2ST", &gmpi::Register<QW_PeakGain2ST>::withId);
}
