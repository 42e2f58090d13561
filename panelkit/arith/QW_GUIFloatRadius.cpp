// Magnitude of the point (X, Y): the square root of X * X + Y * Y.
//
// Pins: X, Y, magnitude on two copies.
#include "float_family.h"

class QW_GUIFloatRadius : public qw::FloatOfTwo
{
private:
    float compute() const override { return qw::magnitudeOf(a_, b_); }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatRadius", &gmpi::Register<QW_GUIFloatRadius>::withId);
} // namespace
