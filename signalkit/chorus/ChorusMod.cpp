// Swept chorus: 2, 4 or 8 taps of a 256-sample ring moved by a quadrature
// low-frequency oscillator (0 to 2 Hz) around half the depth, spread over two
// outputs and summed without scaling (saturating at the float limit). The sweep narrows to half at the top
// rate. A static input stops the outputs at once and empties the ring.
#include "sweep.h"

#include <array>

class QW_ChorusMod final : public MpBase2
{
    using Ring = qw::sweep::Ring<8>;

public:
    QW_ChorusMod()
    {
        initializePin(pinUnused_);
        initializePin(pinSignal_);
        initializePin(pinVoices_);
        initializePin(pinRate_);
        initializePin(pinDepth_);
        initializePin(pinModulation_);
        initializePin(pinLeft_);
        initializePin(pinRight_);
        setSubProcess(&QW_ChorusMod::subProcessSilence);
    }

    void onSetPins() override
    {
        if (pinRate_.isUpdated())
        {
            rate_ = qw::effect::clampOrZero(pinRate_, 0.0f, 2.0f);
            osc_.setRate(rate_, getSampleRate());
        }
        if (pinRate_.isUpdated() || pinDepth_.isUpdated())
        {
            const float v = qw::effect::orZero(pinDepth_) * 0.1f;
            depth_ = (1.0f - 0.25f * rate_) * (v < 0.0f ? 0.0f : v > 1.0f ? 255.0f : 255.0f * v);
        }
        if (!pinSignal_.isUpdated() && !pinVoices_.isUpdated())
            return;
        if (pinSignal_.isStreaming())
        {
            const int voices = pinVoices_.getValue();
            if (voices == 0)
                setSubProcess(&QW_ChorusMod::subProcess2);
            else if (voices == 1)
                setSubProcess(&QW_ChorusMod::subProcess4);
            else
                setSubProcess(&QW_ChorusMod::subProcess8);
            qw::effect::setStreaming({&pinLeft_, &pinRight_}, true);
        }
        else if (saveSubProcess_ != static_cast<SubProcess_ptr>(&QW_ChorusMod::subProcessSilence))
        {
            qw::effect::setStreaming({&pinLeft_, &pinRight_}, false);
            setSubProcess(&QW_ChorusMod::subProcessSilence);
            ring_.fill(0.0f);
        }
    }

    void subProcess2(int n) { run<2>(n); }
    void subProcess4(int n) { run<4>(n); }
    void subProcess8(int n) { run<8>(n); }
    void subProcessSilence(int n) { qw::effect::writeZeros({&pinLeft_, &pinRight_}, getBlockPosition(), n); }

private:
    template <int Taps> void run(int n)
    {
        const int start = getBlockPosition();
        const float* in = pinSignal_.getBuffer() + start;
        const float* mod = pinModulation_.getBuffer() + start;
        float* left = pinLeft_.getBuffer() + start;
        float* right = pinRight_.getBuffer() + start;
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
            const float m = qw::sweep::modulation(mod[i]);
            const float c = osc.c(), s = osc.s();
            if constexpr (Taps == 2)
            {
                left[i] = Ring::tap(ring, w, h * (1.0f - m * c));
                right[i] = Ring::tap(ring, w, h * (1.0f - m * s));
            }
            else if constexpr (Taps == 4)
            {
                left[i] = qw::effect::saturated(Ring::tap(ring, w, h * (1.0f - m * c)) +
                                                Ring::tap(ring, w, h * (1.0f - m * s)));
                right[i] = qw::effect::saturated(Ring::tap(ring, w, h * (1.0f + m * c)) +
                                                 Ring::tap(ring, w, h * (1.0f + m * s)));
            }
            else
            {
                const float a = (c - s) * 0.70710677f, b = (c + s) * 0.70710677f;
                left[i] = qw::effect::saturated(
                    Ring::tap(ring, w, h * (1.0f - m * c)) + Ring::tap(ring, w, h * (1.0f - m * a)) +
                    Ring::tap(ring, w, h * (1.0f - m * s)) + Ring::tap(ring, w, h * (1.0f - m * b)));
                right[i] = qw::effect::saturated(
                    Ring::tap(ring, w, h * (1.0f + m * c)) + Ring::tap(ring, w, h * (1.0f + m * a)) +
                    Ring::tap(ring, w, h * (1.0f + m * s)) + Ring::tap(ring, w, h * (1.0f + m * b)));
            }
            osc.turn();
            w += Ring::kStep;
        }
        write_ = w;
        osc_ = osc;
        qw::effect::clearNonFinite(ring, Ring::kSize, poison);
    }

    IntInPin pinUnused_;
    AudioInPin pinSignal_;
    EnumInPin pinVoices_;
    FloatInPin pinRate_;
    FloatInPin pinDepth_;
    AudioInPin pinModulation_;
    AudioOutPin pinLeft_;
    AudioOutPin pinRight_;

    std::array<float, Ring::kSize> ring_{};
    uint32_t write_ = 0;
    qw::sweep::Oscillator osc_;
    float rate_ = 0.0f;
    float depth_ = 0.0f; // samples
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_ChorusMod", &gmpi::Register<QW_ChorusMod>::withId);
}
