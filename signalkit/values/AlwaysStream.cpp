// Passes its input through and reports the output streaming at every pin
// change, so that everything downstream keeps running.
#include "mp_sdk_audio.h"

#include <algorithm>

class QW_AlwaysStrm final : public MpBase2
{
public:
    QW_AlwaysStrm()
    {
        initializePin(in_);
        initializePin(out_);
        setSubProcess(&QW_AlwaysStrm::subProcess);
    }

    void onSetPins() override { out_.setStreaming(true); }

    void subProcess(int sampleFrames)
    {
        const float* in = in_.getBuffer() + getBlockPosition();
        std::copy(in, in + sampleFrames, out_.getBuffer() + getBlockPosition());
    }

private:
    AudioInPin in_;
    AudioOutPin out_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_AlwaysStrm", &gmpi::Register<QW_AlwaysStrm>::withId);
}
