// Earlier single-voice shape envelope: the output is the audio input times
// the envelope; the run ends in silence after the table's last point.
#include "shape_env.h"

class QW_ShapeEnv3 : public qw::ShapeEnvGated
{
public:
    QW_ShapeEnv3() : ShapeEnvGated(false, false)
    {
        initializePin(pinClip_);
        initializePin(pinOut_);
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_ShapeEnv3", &gmpi::Register<QW_ShapeEnv3>::withId);
}
