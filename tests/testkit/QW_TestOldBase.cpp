// Module on the older base, whose routines take their buffer offset.
#include "probe_log.h"

class QW_TestOldBase : public MpBase
{
public:
    QW_TestOldBase()
    {
        initializePin(signal_);
        initializePin(flag_, &QW_TestOldBase::onSetFlag);
        initializePin(output_);
        setSubProcess(&QW_TestOldBase::subProcessCopy);
    }

    void subProcessCopy(int bufferOffset, int sampleFrames)
    {
        probeLog(this, LOG_SPAN, {bufferOffset, sampleFrames, flag_.isUpdated()});
        for (int i = bufferOffset; i < bufferOffset + sampleFrames; ++i)
            output_.getBuffer()[i] = signal_.getBuffer()[i];
    }

    void onSetFlag(const gmpi::MpEvent* e) { probeLog(this, LOG_HANDLER, {getBlockPosition(), e->eventType, 0}); }

    void onSetPins() override
    {
        probeLog(this, LOG_SET_PINS, {getBlockPosition(), flag_.isUpdated() << 3});
        if (signal_.isUpdated())
            output_.setStreaming(signal_.isStreaming());
    }

private:
    AudioInPin signal_;
    BoolInPin flag_;
    AudioOutPin output_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_TestOldBase", &gmpi::Register<QW_TestOldBase>::withId);
}
