// Whether the host renders in a mode other than real time (the host sets the
// mode on the input; 0 is real time).
#include "mp_sdk_audio.h"

class QW_RenderMode final : public MpBase2
{
public:
    QW_RenderMode()
    {
        initializePin(mode_);
        initializePin(offline_);
    }

    void onSetPins() override { offline_ = mode_ != 0; }

private:
    IntInPin mode_;
    BoolOutPin offline_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_RenderMode", &gmpi::Register<QW_RenderMode>::withId);
}
