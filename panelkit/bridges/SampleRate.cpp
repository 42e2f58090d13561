// The host's sample rate for the user interface: the processing half sends it
// at graph start, the interface half republishes it, or a fallback value
// while the rate is not above 0.
#include "bridges.h"

// 0 out float sample rate.
class QW_GUISampleRate_DSP final : public MpBase2
{
public:
    QW_GUISampleRate_DSP() { initializePin(rate_); }

    void onGraphStart() override { rate_ = getSampleRate(); }

private:
    FloatOutPin rate_;
};

// 0 float fallback; 1 float sample rate from the processing half; 2 float result.
class QW_GUISampleRate_GUI final : public MpGuiInvisibleBase
{
public:
    QW_GUISampleRate_GUI()
    {
        initializePin(fallback_);
        initializePin(rate_, &QW_GUISampleRate_GUI::onSetPar);
        initializePin(result_);
    }

private:
    // A rate that is not a number passes as it is: only 0 or less takes the fallback.
    void onSetPar() { result_ = 0.0f >= rate_.getValue() ? fallback_.getValue() : rate_.getValue(); }

    MpGuiPin<float> fallback_;
    MpGuiPin<float> rate_;
    MpGuiPin<float> result_;
};

namespace
{
const bool registered = [] {
    qw::bridges::registerPair<QW_GUISampleRate_DSP, QW_GUISampleRate_GUI>(L"QW_GUISampleRate");
    return true;
}();
} // namespace
