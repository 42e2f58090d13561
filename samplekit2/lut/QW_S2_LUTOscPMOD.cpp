// A table-lookup oscillator with phase modulation: the modulation input
// (-1 .. 1 of a cycle) is added to the phase where the table is read. Kernel
// readers are stretched by the speed at which the read point actually moves,
// the increment plus the modulation's change since the previous sample.
#include "lut_osc.h"

class QW_S2_LUTOscPMOD final : public qw::lut::OscBase
{
public:
    QW_S2_LUTOscPMOD()
    {
        initializePin(mute_);
        initializePin(enable_);
        initializePin(dc_);
        initializePin(interpolation_);
        initializePin(table_);
        initializePin(pitch_);
        initializePin(modulation_);
        initializePin(output_);
    }

    void onSetPins() override
    {
        // The mean and the cycle length follow every new table, muted or not.
        const int n = table_.count();
        if (table_.changed() && n > 0)
        {
            mean_ = qw::lut::tableMean(table_.frames(), n);
            if (n != length_)
            {
                length_ = n;
                restart();
            }
        }
        bool unmuted;
        if (applyMute(mute_, unmuted))
            return;
        if (!(enable_.isUpdated() || table_.changed() || interpolation_.isUpdated() || unmuted))
            return;
        qw::resamp::withReader(interpolation_, [&](auto reader) {
            activate(n > 0 && enable_, &QW_S2_LUTOscPMOD::subProcessPlay<decltype(reader)>);
        });
        if (enable_.isUpdated() && enable_)
            restart();
    }

private:
    void restart()
    {
        cycle_.restart();
        lastModulation_ = 0.0f;
    }

    template <class R> void subProcessPlay(int frames)
    {
        float* out = output_.getBuffer() + blockPosition_;
        const float* x = table_.frames();
        const int n = length_;
        if (!x || table_.count() != n) // cannot happen while active
        {
            std::fill_n(out, frames, 0.0f);
            return;
        }
        const float* pitch = pitch_.getBuffer() + blockPosition_;
        const float* modulation = modulation_.getBuffer() + blockPosition_;
        const float offset = dc_ ? mean_ : 0.0f;
        qw::lut::Cycle c = cycle_;
        float last = lastModulation_;
        for (int k = 0; k < frames; ++k)
        {
            c.follow(pitch[k], rateFactor_, n);
            const float pm = qw::lut::clampInput(modulation[k], -1.0f, 1.0f);
            float w = 1.0f;
            if constexpr (R::kInterpolates)
                w = qw::lut::stretchFor(c.inc + pm - last, n);
            out[k] = qw::lut::readCycle<R>(x, n, qw::lut::wrap(c.phase + pm), w) - offset;
            c.advance();
            last = pm;
        }
        cycle_ = c;
        lastModulation_ = last;
    }

    IntInPin mute_;
    BoolInPin enable_;
    BoolInPin dc_;
    EnumInPin interpolation_;
    qw::Sample2InPin table_;
    AudioInPin pitch_;
    AudioInPin modulation_;

    float mean_ = 0.0f;
    int length_ = 0;
    qw::lut::Cycle cycle_;
    float lastModulation_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_LUTOscPMOD", &gmpi::Register<QW_S2_LUTOscPMOD>::withId);
}
