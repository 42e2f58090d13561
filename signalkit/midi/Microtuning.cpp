// Bends a pitch signal (1 V per octave) through a tuning table: each of the 12
// semitones of the octave gets its own deviation in cents, and pitches between
// two semitones follow the straight line between their tuned positions. Step 0
// lies on every whole volt (every A, with 5 V at note 69).
#include "midi_message.h"

#include <cmath>

class QW_Microtuning final : public MpBase2
{
public:
    QW_Microtuning()
    {
        initializePin(pinIn_);
        for (auto& pin : pinCents_)
            initializePin(pin);
        initializePin(pinOut_);
        for (int k = 0; k <= 12; ++k)
            table_[k] = static_cast<float>(k) / 12.0f;
        setSubProcess(&QW_Microtuning::subProcess);
    }

    void onSetPins() override
    {
        pinOut_.setStreaming(pinIn_.isStreaming());
        for (int k = 0; k < 12; ++k)
            if (pinCents_[k].isUpdated())
                table_[k] = static_cast<float>(k) / 12.0f + qw::midi::finiteValue(pinCents_[k]) / 1200.0f;
        table_[12] = table_[0] + 1.0f;
    }

    void subProcess(int sampleFrames)
    {
        const float* in = pinIn_.getBuffer() + blockPosition_;
        float* out = pinOut_.getBuffer() + blockPosition_;
        for (int i = 0; i < sampleFrames; ++i)
            out[i] = tune(in[i]);
    }

    float tune(float x) const
    {
        const float v = x * 10.0f; // volts = octaves
        // Beyond the float range there is no step to find: the input passes.
        if (!std::isfinite(v))
            return x;
        const float o = std::floor(v);
        const float f = (v - o) * 12.0f;
        // v - o rounds up to 1 just below a whole volt.
        int k = static_cast<int>(f);
        if (k > 11)
            k = 11;
        const float t = f - static_cast<float>(k);
        return (table_[k + 1] * t + table_[k] * (1.0f - t) + o) * 0.1f;
    }

private:
    float table_[13]; // tuned position of each step in octaves, step 0 again an octave up
    AudioInPin pinIn_;
    FloatInPin pinCents_[12];
    AudioOutPin pinOut_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Microtuning", &gmpi::Register<QW_Microtuning>::withId);
}
