// The oversampling factor the host sets on the input, as a flag (oversampling
// or not) and as a factor of at least 1.
#include "mp_sdk_audio.h"

class QW_OvsFac final : public MpBase2
{
public:
    QW_OvsFac()
    {
        initializePin(factor_);
        initializePin(oversampling_);
        initializePin(factorOut_);
    }

    void onSetPins() override
    {
        oversampling_ = factor_ != 0;
        factorOut_ = factor_ >= 1 ? static_cast<int>(factor_) : 1;
    }

private:
    IntInPin factor_;
    BoolOutPin oversampling_;
    IntOutPin factorOut_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_OvsFac", &gmpi::Register<QW_OvsFac>::withId);
}
