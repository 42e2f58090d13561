// Vibrato: one tap of a 1024-sample ring swept by a sine of 1 to 10 Hz. The
// sweep in samples shrinks as the rate rises, so the pitch deviation is the
// same at every rate. A static input stops the output at once and empties
// the ring.
#include "sweep.h"

#include <array>

class QW_Vibrato final : public MpBase2
{
    using Ring = qw::sweep::Ring<10>;

public:
    QW_Vibrato()
    {
        initializePin(pinUnused_);
        initializePin(pinSignal_);
        initializePin(pinRate_);
        initializePin(pinDepth_);
        initializePin(pinModulation_);
        initializePin(pinOutput_);
        setSubProcess(&QW_Vibrato::subProcessSilence);
    }

    void onSetPins() override
    {
        if (pinRate_.isUpdated())
        {
            rate_ = qw::effect::clampOrZero(pinRate_, 1.0f, 10.0f);
            osc_.setRate(rate_, getSampleRate());
        }
        if (pinRate_.isUpdated() || pinDepth_.isUpdated())
        {
            const float v = qw::effect::orZero(pinDepth_);
            depth_ = (v < 0.0f ? 0.0f : v > 2.0f ? 1023.0f : v * 0.5f * 1023.0f) / rate_;
        }
        if (!pinSignal_.isUpdated())
            return;
        if (pinSignal_.isStreaming())
        {
            setSubProcess(&QW_Vibrato::subProcess);
            pinOutput_.setStreaming(true);
        }
        else if (saveSubProcess_ != static_cast<SubProcess_ptr>(&QW_Vibrato::subProcessSilence))
        {
            pinOutput_.setStreaming(false);
            setSubProcess(&QW_Vibrato::subProcessSilence);
            ring_.fill(0.0f);
        }
    }

    void subProcess(int n)
    {
        const int start = getBlockPosition();
        const float* in = pinSignal_.getBuffer() + start;
        const float* mod = pinModulation_.getBuffer() + start;
        float* out = pinOutput_.getBuffer() + start;
        float* ring = ring_.data();
        const float h = depth_ * 0.5f;
        uint32_t w = write_;
        qw::sweep::Oscillator osc = osc_; // a local copy the compiler can keep in registers
        float poison = 0.0f;
        for (int i = 0; i < n; ++i)
        {
            const float x = in[i];
            ring[w >> Ring::kShift] = x;
            poison += x - x;
            out[i] = Ring::tap(ring, w, h * (1.0f - qw::sweep::modulation(mod[i]) * osc.c()));
            osc.turn();
            w += Ring::kStep;
        }
        write_ = w;
        osc_ = osc;
        qw::effect::clearNonFinite(ring, Ring::kSize, poison);
    }

    void subProcessSilence(int n) { qw::effect::writeZeros({&pinOutput_}, getBlockPosition(), n); }

private:
    IntInPin pinUnused_;
    AudioInPin pinSignal_;
    FloatInPin pinRate_;
    FloatInPin pinDepth_;
    AudioInPin pinModulation_;
    AudioOutPin pinOutput_;

    std::array<float, Ring::kSize> ring_{};
    uint32_t write_ = 0;
    qw::sweep::Oscillator osc_;
    float rate_ = 1.0f;
    float depth_ = 0.0f; // samples
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Vibrato", &gmpi::Register<QW_Vibrato>::withId);
}
