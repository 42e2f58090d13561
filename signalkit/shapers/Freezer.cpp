// Sample freezer: passes the signal while the gate is open and holds one
// sample while it is closed (by the polarity, gate above 0 or at most 0). The
// held sample is the one at the freezing edge or the one before it. While
// frozen the output is a constant level and reported as not streaming.
#include "shapers.h"

class QW_Freezer final : public MpBase2
{
public:
    QW_Freezer()
    {
        initializePin(pinIn_);
        initializePin(pinGate_);
        initializePin(pinPolarity_);
        initializePin(pinPrevious_);
        initializePin(pinOut_);
        setSubProcess(&QW_Freezer::subProcess);
    }

    void onSetPins() override
    {
        freezeHigh_ = pinPolarity_ != 1;
        usePrevious_ = pinPrevious_ == 1;
        if (!frozen_)
            pinOut_.setStreaming(pinIn_.isStreaming());
    }

    void subProcess(int sampleFrames)
    {
        const float* x = pinIn_.getBuffer() + blockPosition_;
        const float* gate = pinGate_.getBuffer() + blockPosition_;
        float* out = pinOut_.getBuffer() + blockPosition_;
        for (int i = 0; i < sampleFrames; ++i)
        {
            const bool frozen = (gate[i] > 0.0f) == freezeHigh_;
            if (frozen != frozen_)
            {
                frozen_ = frozen;
                if (frozen)
                {
                    const float h = usePrevious_ ? previous_ : x[i];
                    held_ = std::isfinite(h) ? h : 0.0f; // a constant level for good: never one that is not a number
                    pinOut_.setStreaming(false, blockPosition_ + i);
                }
                else
                    pinOut_.setStreaming(pinIn_.isStreaming(), blockPosition_ + i);
            }
            out[i] = frozen ? held_ : x[i];
            previous_ = x[i];
        }
    }

private:
    AudioInPin pinIn_;
    AudioInPin pinGate_;
    EnumInPin pinPolarity_;
    EnumInPin pinPrevious_;
    AudioOutPin pinOut_;

    bool freezeHigh_ = true;
    bool usePrevious_ = false;
    bool frozen_ = false;
    float previous_ = 0.0f;
    float held_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Freezer", &gmpi::Register<QW_Freezer>::withId);
}
