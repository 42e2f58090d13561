// Sine shaper: the sine of the phase 10 x d x turns, so the drive d sets how
// many times the signal folds. Two routines: the polynomial sine of the fast
// maths, or a cheaper smooth-step curve through the same extremes.
#include "qw_fm.h"
#include "shapers.h"

class QW_Sineshaper final : public MpBase2
{
public:
    QW_Sineshaper()
    {
        initializePin(pinIn_);
        initializePin(pinDrive_);
        initializePin(pinAccurate_);
        initializePin(pinOut_);
        // Silence until the routine is chosen.
        setSubProcess(&QW_Sineshaper::subProcessSilence);
    }

    void onSetPins() override
    {
        if (pinAccurate_.isUpdated())
            setSubProcess(pinAccurate_ ? &QW_Sineshaper::subProcessAccurate : &QW_Sineshaper::subProcessFast);
        if (pinIn_.isUpdated() || pinDrive_.isUpdated())
            pinOut_.setStreaming(pinIn_.isStreaming() || pinDrive_.isStreaming());
    }

    void subProcessAccurate(int n)
    {
        run(n, [](float phi) { return qw::fm::sinTurns(phi); });
    }

    void subProcessFast(int n)
    {
        run(n, [](float phi) {
            const float f = phi - qw::fm::detail::floorf(phi);
            const float w = std::fabs(2.0f * f - 0.5f) - 1.0f;
            const float a = std::fabs(w);
            return 2.0f * (3.0f - 2.0f * a) * w * w - 1.0f;
        });
    }

    void subProcessSilence(int n) { std::fill_n(pinOut_.getBuffer() + blockPosition_, n, 0.0f); }

private:
    template <class Sine> void run(int n, Sine sine)
    {
        const float* x = pinIn_.getBuffer() + blockPosition_;
        const float* d = pinDrive_.getBuffer() + blockPosition_;
        float* out = pinOut_.getBuffer() + blockPosition_;
        for (int i = 0; i < n; ++i)
        {
            // From 2^24 turns on every float is a whole number of turns, so
            // larger phases (and infinite ones) give what 2^24 gives.
            const float phi = std::clamp(10.0f * d[i] * x[i], -16777216.0f, 16777216.0f);
            out[i] = sine(phi);
        }
    }

    AudioInPin pinIn_;
    AudioInPin pinDrive_;
    BoolInPin pinAccurate_;
    AudioOutPin pinOut_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_SineShaper", &gmpi::Register<QW_Sineshaper>::withId);
}
