// Counts edges of an audio clock: an edge is a sample whose previous sample was
// exactly 0.0 and whose value times the polarity is above 0.0. A reset sample
// above 0.0 clears the count. The output is the count in volts (count x 0.1).
#include "counting.h"

// 0 in audio clock; 1 in audio reset; 2 enum polarity (0 positive); 3 enum mode;
// 4 int step sign or limit; 5 out audio.
class QW_AudioCounter final : public MpBase2
{
public:
    QW_AudioCounter()
    {
        initializePin(clock_);
        initializePin(reset_);
        initializePin(polarity_);
        initializePin(mode_);
        initializePin(limit_);
        initializePin(out_);
        // Zeros until a mode selects a counting routine.
        setSubProcess(&QW_AudioCounter::subProcessSilence);
    }

    void onSetPins() override
    {
        out_.setStreaming(clock_.isStreaming() || reset_.isStreaming());
        if (polarity_.isUpdated())
            polarityFactor_ = polarity_ == 0 ? 1.0f : -1.0f;
        if (limit_.isUpdated())
            limitValue_ = limit_;
        if (mode_.isUpdated())
        {
            switch (mode_.getValue())
            {
            case 0:
                setSubProcess(&QW_AudioCounter::subProcessMode<0>);
                break;
            case 1:
                setSubProcess(&QW_AudioCounter::subProcessMode<1>);
                break;
            case 2:
                setSubProcess(&QW_AudioCounter::subProcessMode<2>);
                break;
            case 3:
                setSubProcess(&QW_AudioCounter::subProcessMode<3>);
                target_ = limitValue_;
                break;
            default:
                break;
            }
        }
    }

    void subProcessSilence(int sampleFrames)
    {
        float* out = out_.getBuffer() + getBlockPosition();
        std::fill(out, out + sampleFrames, 0.0f);
    }

    template <int Mode> void subProcessMode(int sampleFrames)
    {
        const int p = getBlockPosition();
        const float* clock = clock_.getBuffer() + p;
        const float* reset = reset_.getBuffer() + p;
        float* out = out_.getBuffer() + p;
        for (int i = 0; i < sampleFrames; ++i)
        {
            const float c = clock[i];
            if (reset[i] > 0.0f)
            {
                count_ = 0;
                if (Mode == 3)
                    target_ = limitValue_;
            }
            else if (previous_ == 0.0f && polarityFactor_ * c > 0.0f)
            {
                if (Mode != 3)
                    count_ = qw::control::countStep(Mode, count_, limitValue_);
                else
                {
                    count_ = qw::control::stepToward(count_, target_);
                    // At the target turn back: toward 0, or from 0 toward the
                    // limit as it now stands, so a changed limit bounds the range.
                    if (count_ == target_)
                        target_ = target_ != 0 ? 0 : limitValue_;
                }
            }
            previous_ = c;
            out[i] = static_cast<float>(count_) * 0.1f;
        }
    }

private:
    AudioInPin clock_;
    AudioInPin reset_;
    EnumInPin polarity_;
    EnumInPin mode_;
    IntInPin limit_;
    AudioOutPin out_;
    int32_t count_ = 0;
    int32_t limitValue_ = 0;
    int32_t target_ = 0;
    float polarityFactor_ = 0.0f;
    float previous_ = 0.0f;
};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_AudioCounter>(L"QW_AudioCounter");
    return true;
}();
} // namespace
