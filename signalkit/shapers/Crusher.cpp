// Bit and rate crusher: takes a sample at the hold rate and holds it, each
// taken sample quantised to 2^bits levels placed at the middle of each step.
#include "shapers.h"

#include <cstdint>

class QW_Crusher final : public MpBase2
{
public:
    QW_Crusher()
    {
        initializePin(pinIn_);
        initializePin(pinRate_);
        initializePin(pinBits_);
        initializePin(pinOut_);
        setSubProcess(&QW_Crusher::subProcess);
    }

    void onSetPins() override
    {
        if (pinIn_.isUpdated())
        {
            if (!pinOut_.isStreaming())
                phase_ = 1.0f; // the next sample is taken at once
            pinOut_.setStreaming(pinIn_.isStreaming());
        }
        if (pinRate_.isUpdated())
        {
            const float fs = getSampleRate();
            const float r = pinRate_ > 0.0f ? pinRate_.getValue() : fs; // not a number: the host rate
            // Above the host rate every sample is taken anyway; far below
            // one sample per century the hold never ends either. Both limits
            // keep the phase a small normal number.
            increment_ = fs > 0.0f ? std::clamp(r / fs, 1e-12f, 1.0f) : 1.0f;
        }
        if (pinBits_.isUpdated())
        {
            const int v = pinBits_;
            const int b = v < 2 ? 1 : std::min(v, 32);
            if (b < 32)
            {
                mask_ = 0xFFFFFFFFu << (32 - b);
                offset_ = 0.5f / static_cast<float>(1u << (b - 1));
            }
            else
            {
                mask_ = 0xFFFFFFFFu;
                offset_ = 0.0f;
            }
        }
    }

    void subProcess(int sampleFrames)
    {
        const float* x = pinIn_.getBuffer() + blockPosition_;
        float* out = pinOut_.getBuffer() + blockPosition_;
        float phase = phase_, held = held_;
        for (int i = 0; i < sampleFrames; ++i)
        {
            if (phase >= 1.0f)
            {
                phase -= 1.0f;
                held = take(x[i]);
            }
            phase += increment_;
            out[i] = held;
        }
        phase_ = phase;
        held_ = held;
    }

private:
    float take(float x) const
    {
        if (!(std::fabs(x) <= FLT_MAX))
            x = x > 0.0f ? 1.0f : (x < 0.0f ? -1.0f : 0.0f); // NaN counts as 0, infinities as +-1
        if (mask_ != 0xFFFFFFFFu)
        {
            // Limited before the conversion: 2^32 itself is not an unsigned 32-bit value.
            const float f = (std::clamp(x, -1.0f, 1.0f) + 1.0f) * 2147483648.0f;
            const uint32_t q = f >= 4294967295.0f ? 0xFFFFFFFFu : static_cast<uint32_t>(f);
            x = static_cast<float>(q & mask_) * 4.656613e-10f - 1.0f;
        }
        return x + offset_;
    }

    AudioInPin pinIn_;
    FloatInPin pinRate_;
    IntInPin pinBits_;
    AudioOutPin pinOut_;

    uint32_t mask_ = 0xFFFFFFFFu;
    float phase_ = 1.0f;
    float increment_ = 1.0f;
    float held_ = 0.0f;
    float offset_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Crusher", &gmpi::Register<QW_Crusher>::withId);
}
