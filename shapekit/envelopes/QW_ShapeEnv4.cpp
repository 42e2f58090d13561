// Earlier single-voice shape envelope with a bipolar output: as QW_ShapeEnv3,
// with the sustain point on the table point nearest to the sustain level and
// the table's last value held after its end.
#include "shape_env.h"

class QW_ShapeEnv4 : public qw::ShapeEnvGated
{
public:
    QW_ShapeEnv4() : ShapeEnvGated(true, true)
    {
        initializePin(pinBipolar_);
        initializePin(pinClip_);
        initializePin(pinOut_);
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_ShapeEnv4", &gmpi::Register<QW_ShapeEnv4>::withId);
}
