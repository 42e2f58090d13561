// Mono level response over a one-frame delay line (512 to 32768 samples).
#include "level_response2.h"

class QW_LevResp2 final : public qw::levresp::DelayLineResponse<1>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_LevResp2", &gmpi::Register<QW_LevResp2>::withId);
}
