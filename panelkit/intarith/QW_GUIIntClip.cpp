// A value clipped by the clip mode: 0 to the lower limit, 1 to the upper
// limit, any other value to both, the lower limit first (so with the lower
// limit above the upper one, every value gives the upper limit). Back: a
// result clipped the same way. A change of a limit acts by the range-change
// mode: 1 recomputes the result, 2 the value from the left copy (the right
// one when the left holds 0), any other value nothing.
//
// Pins: value, lower and upper limit, result left and right, clip mode,
// switch, range-change mode.
#include "int_family.h"

class QW_GUIIntClip : public qw::Clip<int>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIIntClip", &gmpi::Register<QW_GUIIntClip>::withId);
} // namespace
