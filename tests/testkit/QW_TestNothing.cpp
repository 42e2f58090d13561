// Eight float inputs and a routine that does nothing, never sleeping: the
// framework's own cost per process call.
#include "mp_sdk_audio.h"

class QW_TestNothing : public MpBase2
{
public:
    QW_TestNothing()
    {
        for (auto& p : inputs_)
            initializePin(p);
        setSleep(false);
    }

private:
    FloatInPin inputs_[8];
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_TestNothing", &gmpi::Register<QW_TestNothing>::withId);
}
