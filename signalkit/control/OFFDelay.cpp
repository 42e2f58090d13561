// Passes the active input while an audio gate is above 0.0 and for a hold time
// after it falls, the idle input otherwise.
#include "control.h"

// 0 in audio idle; 1 in audio active; 2 float hold (ms); 3 in audio gate; 4 out audio.
class QW_OFFDelay final : public MpBase2
{
public:
    QW_OFFDelay()
    {
        initializePin(idle_);
        initializePin(active_);
        initializePin(holdMs_);
        initializePin(gate_);
        initializePin(out_);
        setSubProcess(&QW_OFFDelay::subProcess);
    }

    void onSetPins() override
    {
        if (idle_.isUpdated() || active_.isUpdated() || gate_.isUpdated())
            out_.setStreaming(true);
        if (holdMs_.isUpdated())
            hold_ = qw::control::holdSamples(holdMs_, getSampleRate());
    }

    void subProcess(int sampleFrames)
    {
        const int p = getBlockPosition();
        const float* idle = idle_.getBuffer() + p;
        const float* active = active_.getBuffer() + p;
        const float* gate = gate_.getBuffer() + p;
        float* out = out_.getBuffer() + p;
        for (int i = 0; i < sampleFrames; ++i)
        {
            const bool on = gate[i] > 0.0f;
            if (on)
            {
                if (!previous_)
                {
                    remaining_ = hold_;
                    if (!out_.isStreaming())
                        out_.setStreaming(true, p + i);
                }
                out[i] = active[i];
            }
            else if (remaining_ != 0)
            {
                --remaining_;
                out[i] = active[i];
            }
            else
            {
                out[i] = idle[i];
                // A static idle input makes the output static from the sample
                // where it takes over, whatever the block boundaries.
                if (out_.isStreaming() && !idle_.isStreaming())
                    out_.setStreaming(false, p + i);
            }
            previous_ = on;
        }
    }

private:
    AudioInPin idle_;
    AudioInPin active_;
    FloatInPin holdMs_;
    AudioInPin gate_;
    AudioOutPin out_;
    int32_t hold_ = 0;
    int32_t remaining_ = 0;
    bool previous_ = false;
};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_OFFDelay>(L"QW_OFFDelay");
    return true;
}();
} // namespace
