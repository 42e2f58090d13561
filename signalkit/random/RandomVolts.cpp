// A random level between two bounds in volts (either order) on each true
// trigger, held as a constant audio output between triggers.
#include "mp_sdk_audio.h"
#include "random_pick.h"

#include <algorithm>

class QW_RandomVolts final : public MpBase2
{
public:
    QW_RandomVolts()
    {
        initializePin(pinTrigger_);
        initializePin(pinA_);
        initializePin(pinB_);
        initializePin(pinOutput_);
        setSubProcess(&QW_RandomVolts::subProcess);
    }

    // In place of the first updates: the output starts as a constant.
    void onGraphStart() override { pinOutput_.setStreaming(false); }

    void onSetPins() override
    {
        if (!pinTrigger_.isUpdated() || !pinTrigger_.getValue())
            return;
        const float a = 0.1f * qw::rnd::finiteBound(pinA_.getValue());
        const float b = 0.1f * qw::rnd::finiteBound(pinB_.getValue());
        value_ = qw::rnd::between(rnd_, a, b);
        pinOutput_.setStreaming(false); // a new constant level
    }

    void subProcess(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, value_); }

private:
    BoolInPin pinTrigger_;
    FloatInPin pinA_;
    FloatInPin pinB_;
    AudioOutPin pinOutput_;

    qw::rnd::RndIterator rnd_;
    float value_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_RandomVolts", &gmpi::Register<QW_RandomVolts>::withId);
}
