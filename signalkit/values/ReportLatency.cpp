// Passes its input through unchanged and tells the host that it delays it by
// a latency given in samples or milliseconds, so that the host can line the
// signal up with others. Nothing is reported to a host that does not take
// latency reports.
#include "mp_sdk_audio.h"

#include <algorithm>
#include <cmath>

class QW_RepLat final : public MpBase2
{
public:
    QW_RepLat()
    {
        initializePin(in_);
        initializePin(samples_);
        initializePin(milliseconds_);
        initializePin(unit_);
        initializePin(out_);
        setSubProcess(&QW_RepLat::subProcess);
    }

    void onSetPins() override
    {
        if (in_.isUpdated())
            out_.setStreaming(in_.isStreaming());
        if (!samples_.isUpdated() && !milliseconds_.isUpdated() && !unit_.isUpdated())
            return;
        const int latency = unit_ == 0 ? samples_ : millisecondsToSamples(milliseconds_, getSampleRate());
        if (auto* host = getProcessorHost())
            host->setLatency(std::max(0, latency));
    }

    void subProcess(int sampleFrames)
    {
        const float* in = in_.getBuffer() + getBlockPosition();
        std::copy(in, in + sampleFrames, out_.getBuffer() + getBlockPosition());
    }

private:
    // Truncation of (ms x 0.001) x rate in float arithmetic; NaN gives 0 and
    // values beyond the 32-bit range saturate.
    static int millisecondsToSamples(float ms, float rate)
    {
        const float n = std::trunc((ms * 0.001f) * rate);
        if (std::isnan(n))
            return 0;
        if (n >= 2147483648.0f)
            return 2147483647;
        if (n < -2147483648.0f)
            return -2147483647 - 1;
        return static_cast<int>(n);
    }

    AudioInPin in_;
    IntInPin samples_;
    FloatInPin milliseconds_;
    EnumInPin unit_;
    AudioOutPin out_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_RepLat", &gmpi::Register<QW_RepLat>::withId);
}
