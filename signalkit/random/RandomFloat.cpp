// A random float between two bounds (either order) on each true trigger.
#include "mp_sdk_audio.h"
#include "random_pick.h"

class QW_RandomFloatDSP final : public MpBase2
{
public:
    QW_RandomFloatDSP()
    {
        initializePin(pinTrigger_);
        initializePin(pinA_);
        initializePin(pinB_);
        initializePin(pinOutput_);
    }

    void onSetPins() override
    {
        if (pinTrigger_.isUpdated() && pinTrigger_.getValue())
            pinOutput_ = qw::rnd::between(rnd_, pinA_.getValue(), pinB_.getValue());
    }

private:
    BoolInPin pinTrigger_;
    FloatInPin pinA_;
    FloatInPin pinB_;
    FloatOutPin pinOutput_;

    qw::rnd::RndIterator rnd_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_RandomFloatDSP", &gmpi::Register<QW_RandomFloatDSP>::withId);
}
