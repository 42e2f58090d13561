// Reverb of eight feedback delay lines whose cross-feed passes a damping
// low-pass and a high-pass (a mono input passes them too); silent above
// 48 kHz.
#include "reverb.h"

class QW_ReverbF final : public qw::reverb::Module<true>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_ReverbF", &gmpi::Register<QW_ReverbF>::withId);
}
