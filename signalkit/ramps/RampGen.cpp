// Ramp generator: while run is on the output moves from the start level
// towards the end level at the rate (volts per second; negative counts as 0)
// and holds at the end. The running value goes on past the end (only the
// output is held), so a later change of the levels or a reset decides where
// the ramp resumes. Restart modes: 1 restarts at the start when run turns
// on, 2 returns to the start when run turns off.
#include "mp_sdk_audio.h"
#include "qw_finite.h"

#include <algorithm>
#include <cfloat>

class QW_RampGen final : public MpBase2
{
public:
    QW_RampGen()
    {
        initializePin(pinRun_);
        initializePin(pinReset_);
        initializePin(pinMode_);
        initializePin(pinStart_);
        initializePin(pinEnd_);
        initializePin(pinRate_);
        initializePin(pinOutput_);
        setSubProcess(&QW_RampGen::subProcess);
    }

    // In place of the first updates: the output starts as a constant.
    void onGraphStart() override { pinOutput_.setStreaming(false); }

    void onSetPins() override
    {
        if (pinStart_.isUpdated() || pinEnd_.isUpdated() || pinRate_.isUpdated())
        {
            e_ = 0.1f * level(pinEnd_.getValue());
            s_ = 0.1f * level(pinStart_.getValue());
            const float r = 0.1f * level(pinRate_.getValue());
            const float fs = getSampleRate();
            step_ = r > 0.0f && fs > 0.0f ? r / fs : 0.0f;
            if (s_ > e_)
                step_ = -step_;
        }
        if (pinRun_.isUpdated())
        {
            const int mode = pinMode_.getValue();
            if ((pinRun_.getValue() && mode == 1) || (!pinRun_.getValue() && mode == 2))
                current_ = s_;
            pinOutput_.setStreaming(pinRun_.getValue());
        }
        if (pinReset_.isUpdated() && pinReset_.getValue())
        {
            current_ = s_;
            if (!pinOutput_.isStreaming())
                pinOutput_.setStreaming(false); // the host takes the new level
        }
    }

    void subProcess(int n)
    {
        float* out = pinOutput_.getBuffer() + blockPosition_;
        const float lo = std::min(e_, s_), hi = std::max(e_, s_);
        if (!pinOutput_.isStreaming())
        {
            std::fill_n(out, n, std::clamp(current_, lo, hi));
            return;
        }
        float c = current_;
        for (int i = 0; i < n; ++i)
        {
            out[i] = std::clamp(c, lo, hi);
            c += step_;
        }
        // Far past the end the running value may overflow: it resumes from the end then.
        current_ = c - c == 0.0f ? c : (step_ < 0.0f ? lo : hi);
    }

private:
    // Not a number counts as 0, an infinity as the largest float.
    static float level(float v) { return qw::finite::clampOrZero(v, -FLT_MAX, FLT_MAX); }

    BoolInPin pinRun_;
    BoolInPin pinReset_;
    EnumInPin pinMode_;
    FloatInPin pinStart_;
    FloatInPin pinEnd_;
    FloatInPin pinRate_;
    AudioOutPin pinOutput_;

    float e_ = 0.0f, s_ = 0.0f, step_ = 0.0f, current_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_RampGen", &gmpi::Register<QW_RampGen>::withId);
}
