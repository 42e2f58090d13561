// Glide with separate rise and fall times.
#include "glide.h"

class QW_Glider2 final : public qw::Glide<true>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Glider2", &gmpi::Register<QW_Glider2>::withId);
}
