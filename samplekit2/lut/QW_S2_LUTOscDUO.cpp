// A table-lookup oscillator over two tables of the same length, read at one
// phase and mixed by an audio input (0 = A, 1 = B). Tables of different
// lengths silence it.
#include "lut_osc.h"

class QW_S2_LUTOscDUO final : public qw::lut::OscBase
{
public:
    QW_S2_LUTOscDUO()
    {
        initializePin(mute_);
        initializePin(enable_);
        initializePin(dc_);
        initializePin(interpolation_);
        initializePin(tableA_);
        initializePin(tableB_);
        initializePin(mix_);
        initializePin(pitch_);
        initializePin(output_);
    }

    void onSetPins() override
    {
        // The means and the cycle length follow every new pair, muted or not.
        const int n = tableA_.count();
        const bool paired = n > 0 && tableB_.count() == n;
        const bool tableChanged = tableA_.changed() || tableB_.changed();
        if (tableChanged && paired)
        {
            meanA_ = qw::lut::tableMean(tableA_.frames(), n);
            meanB_ = qw::lut::tableMean(tableB_.frames(), n);
            if (n != length_)
            {
                length_ = n;
                cycle_.restart();
            }
        }
        bool unmuted;
        if (applyMute(mute_, unmuted))
            return;
        if (!(enable_.isUpdated() || tableChanged || interpolation_.isUpdated() || unmuted))
            return;
        qw::resamp::withReader(interpolation_, [&](auto reader) {
            activate(paired && enable_, &QW_S2_LUTOscDUO::subProcessPlay<decltype(reader)>);
        });
        if (enable_.isUpdated() && enable_)
            cycle_.restart();
    }

private:
    template <class R> void subProcessPlay(int frames)
    {
        float* out = output_.getBuffer() + blockPosition_;
        const float* a = tableA_.frames();
        const float* b = tableB_.frames();
        const int n = length_;
        if (!a || !b || tableA_.count() != n || tableB_.count() != n) // cannot happen while active
        {
            std::fill_n(out, frames, 0.0f);
            return;
        }
        const float* pitch = pitch_.getBuffer() + blockPosition_;
        const float* mix = mix_.getBuffer() + blockPosition_;
        const float offsetA = dc_ ? meanA_ : 0.0f;
        const float offsetB = dc_ ? meanB_ : 0.0f;
        qw::lut::Cycle c = cycle_;
        for (int k = 0; k < frames; ++k)
        {
            c.follow(pitch[k], rateFactor_, n);
            const float m = qw::lut::clampInput(mix[k], 0.0f, 1.0f);
            int i;
            float frac;
            qw::lut::locate(c.phase, n, i, frac);
            const float ya = R::looped(a, n, i, frac, c.w) - offsetA;
            const float yb = R::looped(b, n, i, frac, c.w) - offsetB;
            out[k] = m * yb + (1.0f - m) * ya;
            c.advance();
        }
        cycle_ = c;
    }

    IntInPin mute_;
    BoolInPin enable_;
    BoolInPin dc_;
    EnumInPin interpolation_;
    qw::Sample2InPin tableA_;
    qw::Sample2InPin tableB_;
    AudioInPin mix_;
    AudioInPin pitch_;

    float meanA_ = 0.0f, meanB_ = 0.0f;
    int length_ = 0;
    qw::lut::Cycle cycle_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_LUTOscDUO", &gmpi::Register<QW_S2_LUTOscDUO>::withId);
}
