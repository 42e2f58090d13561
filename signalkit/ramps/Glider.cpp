// Glide with one time for rising and falling.
#include "glide.h"

class QW_Glider final : public qw::Glide<false>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Glider", &gmpi::Register<QW_Glider>::withId);
}
