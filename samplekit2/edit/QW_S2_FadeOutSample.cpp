// Fades the selection out: from near 1 at its first frame to 0 at its last.
#include "fade.h"

class QW_S2_FadeOutSample final : public SampleFade<true>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_FadeOutSample", &gmpi::Register<QW_S2_FadeOutSample>::withId);
}
