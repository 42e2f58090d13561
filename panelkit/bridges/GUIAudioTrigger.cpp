// A trigger in the user interface becomes an audio pulse of N samples at a
// tenth of the level, starting with the first block after the trigger
// message; the output is reported static outside the pulse.
#include "bridges.h"
#include "qw_pulse.h"

// 0 float level (V); 1 int pulse length N (samples); 2 out audio pulse.
class QW_GUIAudioTrigger_DSP final : public MpBase2
{
public:
    QW_GUIAudioTrigger_DSP()
    {
        initializePin(level_);
        initializePin(length_);
        initializePin(out_);
        setSubProcess(&QW_GUIAudioTrigger_DSP::subProcess);
    }

    // The length is read here only: a change during a pulse keeps that
    // pulse's length. A message during a pulse restarts the count.
    int32_t receiveMessageFromGui(int32_t, int32_t, const void*) override
    {
        remaining_ = qw::bridges::pulseLength(length_);
        out_.setStreaming(false);
        setSleep(false);
        return gmpi::MP_OK;
    }

    void onGraphStart() override { out_.setStreaming(false); }

    void subProcess(int sampleFrames)
    {
        qw::writePulse(*this, out_, remaining_, qw::bridges::amplitude(level_), sampleFrames);
    }

private:
    using MpBase2::receiveMessageFromGui;

    FloatInPin level_;
    IntInPin length_;
    AudioOutPin out_;
    int32_t remaining_ = 0;
};

class QW_GUIAudioTrigger_GUI final : public qw::bridges::TriggerMessageGui
{};

namespace
{
const bool registered = [] {
    qw::bridges::registerPair<QW_GUIAudioTrigger_DSP, QW_GUIAudioTrigger_GUI>(L"QW_GUIAudioTrigger");
    return true;
}();
} // namespace
