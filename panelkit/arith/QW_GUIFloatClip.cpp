// A value clipped by the clip mode: 0 to the lower limit, 1 to the upper
// limit, any other value to both (with the lower limit above the upper one,
// values below the lower limit give it, all others the upper limit); a NaN
// passes. Back: a result clipped the same way. A change of a limit acts by the
// range-change mode: 1 recomputes the result, 2 the value from the copies, any
// other value nothing.
//
// Pins: value, lower and upper limit, result left and right, clip mode,
// switch, range-change mode.
#include "float_family.h"

class QW_GUIFloatClip : public qw::Clip<float>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatClip", &gmpi::Register<QW_GUIFloatClip>::withId);
} // namespace
