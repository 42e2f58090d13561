// Fades the selection in: from 0 at its first frame towards 1 at its last.
#include "fade.h"

class QW_S2_FadeInSample final : public SampleFade<false>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_FadeInSample", &gmpi::Register<QW_S2_FadeInSample>::withId);
}
