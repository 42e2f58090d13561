// Toggles on each rising crossing of a threshold by an audio clock; the output
// is the level while toggled on, 0.0 otherwise.
#include "control.h"

#include <algorithm>

// 0 in audio clock; 1 float threshold (V); 2 float level (V); 3 out audio.
class QW_FlipFlopAudio final : public MpBase2
{
public:
    QW_FlipFlopAudio()
    {
        initializePin(clock_);
        initializePin(threshold_);
        initializePin(level_);
        initializePin(out_);
        setSubProcess(&QW_FlipFlopAudio::subProcess);
    }

    void onSetPins() override { out_.setStreaming(clock_.isStreaming()); }

    void subProcess(int sampleFrames)
    {
        const int p = getBlockPosition();
        const float* clock = clock_.getBuffer() + p;
        float* out = out_.getBuffer() + p;
        const float t = std::max(0.0f, 0.1f * qw::control::finite(threshold_));
        const float level = 0.1f * qw::control::finite(level_);
        for (int i = 0; i < sampleFrames; ++i)
        {
            const bool above = clock[i] >= t;
            if (above && !above_)
                state_ = !state_;
            above_ = above;
            out[i] = state_ ? level : 0.0f;
        }
    }

private:
    AudioInPin clock_;
    FloatInPin threshold_;
    FloatInPin level_;
    AudioOutPin out_;
    bool state_ = false;
    bool above_ = false;
};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_FlipFlopAudio>(L"QW_FlipFlopAudio");
    return true;
}();
} // namespace
