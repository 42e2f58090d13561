// Reverb of eight feedback delay lines with a reflecting cross-feed, without
// filters; silent above 48 kHz.
#include "reverb.h"

class QW_Reverb final : public qw::reverb::Module<false>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Reverb", &gmpi::Register<QW_Reverb>::withId);
}
