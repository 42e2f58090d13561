// Plays a sample as one cycle of a periodic waveform at the pitch of its
// input, optionally with the table's mean removed. The cycle restarts on a
// table of another length and when enable is set true (also when it already
// was); interpolation changes and tables of the same length keep the phase.
#include "lut_osc.h"

class QW_S2_LUTOsc final : public qw::lut::OscBase
{
public:
    QW_S2_LUTOsc()
    {
        initializePin(mute_);
        initializePin(enable_);
        initializePin(dc_);
        initializePin(interpolation_);
        initializePin(table_);
        initializePin(pitch_);
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
                cycle_.restart();
            }
        }
        bool unmuted;
        if (applyMute(mute_, unmuted))
            return;
        if (!(enable_.isUpdated() || table_.changed() || interpolation_.isUpdated() || unmuted))
            return;
        qw::resamp::withReader(interpolation_, [&](auto reader) {
            activate(n > 0 && enable_, &QW_S2_LUTOsc::subProcessPlay<decltype(reader)>);
        });
        if (enable_.isUpdated() && enable_)
            cycle_.restart();
    }

private:
    template <class R> void subProcessPlay(int frames)
    {
        float* out = output_.getBuffer() + blockPosition_;
        const float* x = table_.frames();
        const int n = length_;
        if (!x || table_.count() != n) // cannot happen: a new length restarts, none silences
        {
            std::fill_n(out, frames, 0.0f);
            return;
        }
        const float* pitch = pitch_.getBuffer() + blockPosition_;
        const float offset = dc_ ? mean_ : 0.0f;
        qw::lut::Cycle c = cycle_;
        for (int k = 0; k < frames; ++k)
        {
            c.follow(pitch[k], rateFactor_, n);
            out[k] = qw::lut::readCycle<R>(x, n, c.phase, c.w) - offset;
            c.advance();
        }
        cycle_ = c;
    }

    IntInPin mute_;
    BoolInPin enable_;
    BoolInPin dc_;
    EnumInPin interpolation_;
    qw::Sample2InPin table_;
    AudioInPin pitch_;

    float mean_ = 0.0f;
    int length_ = 0; // the cycle length, entries
    qw::lut::Cycle cycle_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_LUTOsc", &gmpi::Register<QW_S2_LUTOsc>::withId);
}
