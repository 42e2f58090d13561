// A trigger in the user interface becomes a bool pulse of N samples on the
// processing side, starting with the first block after the trigger message.
#include "bridges.h"

// 0 int pulse length N (samples); 1 out bool pulse.
class QW_GUIDSPBoolTrigger_DSP final : public MpBase2
{
public:
    QW_GUIDSPBoolTrigger_DSP()
    {
        initializePin(length_);
        initializePin(out_);
        setSubProcess(&QW_GUIDSPBoolTrigger_DSP::subProcess);
    }

    // The length is read here only: a change during a pulse keeps that
    // pulse's length. A message during a pulse restarts the count.
    int32_t receiveMessageFromGui(int32_t, int32_t, const void*) override
    {
        remaining_ = qw::bridges::pulseLength(length_);
        setSleep(false);
        return gmpi::MP_OK;
    }

    void subProcess(int sampleFrames)
    {
        if (remaining_ <= 0)
            return;
        const int p = getBlockPosition();
        if (!out_)
            out_.setValue(true, p);
        if (remaining_ <= sampleFrames)
        {
            out_.setValue(false, p + remaining_);
            remaining_ = 0;
            setSleep(true);
        }
        else
            remaining_ -= sampleFrames;
    }

private:
    using MpBase2::receiveMessageFromGui;

    IntInPin length_;
    BoolOutPin out_;
    int32_t remaining_ = 0;
};

class QW_GUIDSPBoolTrigger_GUI final : public qw::bridges::TriggerMessageGui
{};

namespace
{
const bool registered = [] {
    qw::bridges::registerPair<QW_GUIDSPBoolTrigger_DSP, QW_GUIDSPBoolTrigger_GUI>(L"QW_GUIDSPBoolTrigger");
    return true;
}();
} // namespace
