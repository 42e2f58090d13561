// Stereo level response over a one-frame delay line: the peak over both
// channels sets one gain for both, so the stereo image stays.
#include "level_response2.h"

class QW_LevResp2ST final : public qw::levresp::DelayLineResponse<2>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_LevResp2ST", &gmpi::Register<QW_LevResp2ST>::withId);
}
