// A table-lookup oscillator with a hard-sync sound: at each cycle start it
// rebuilds a working table, the input table read at a ratio s (a mix of
// ratios A and B, each 0.1 to 10), crossfaded so that its end joins its start,
// and plays that. The rebuild happens only when s differs from the last one
// (or the table changed); the read kind chooses whether the rebuild's reader
// is widened by the ratio (see syncRebuild). The working table has one entry
// per table frame, so a table of another length resizes it.
#include "lut_osc.h"

#include <new>
#include <vector>

class QW_S2_LUTOscSYNC final : public qw::lut::OscBase
{
public:
    QW_S2_LUTOscSYNC()
    {
        initializePin(mute_);
        initializePin(refresh_);
        initializePin(enable_);
        initializePin(dc_);
        initializePin(interpolation_);
        initializePin(readKind_);
        initializePin(table_);
        initializePin(pitch_);
        initializePin(ratioA_);
        initializePin(ratioB_);
        initializePin(ratioMix_);
        initializePin(output_);
    }

    void onSetPins() override
    {
        // The mean and the working table follow every new table, muted or not.
        const int n = table_.count();
        if (table_.changed())
        {
            mean_ = n > 0 ? qw::lut::tableMean(table_.frames(), n) : 0.0f;
            if (n != static_cast<int>(work_.size()))
            {
                resize(n);
                restart();
            }
            else
                lastRatio_ = 0.0f; // no ratio is 0: the next cycle start rebuilds
        }
        a_ = qw::lut::clampInput(ratioA_, kMinRatio, kMaxRatio);
        b_ = qw::lut::clampInput(ratioB_, kMinRatio, kMaxRatio);
        bool unmuted;
        if (applyMute(mute_, unmuted))
            return;
        if (enable_.isUpdated() || table_.changed() || interpolation_.isUpdated() || readKind_.isUpdated() || unmuted)
        {
            const bool active = enable_ && n > 0 && n == static_cast<int>(work_.size());
            qw::resamp::withReader(interpolation_, [&](auto reader) {
                using R = decltype(reader);
                if (readKind_ != 0)
                    activate(active, &QW_S2_LUTOscSYNC::subProcessPlay<R, true>);
                else
                    activate(active, &QW_S2_LUTOscSYNC::subProcessPlay<R, false>);
            });
            if (enable_.isUpdated() && enable_)
                restart();
        }
        if (refresh_.isUpdated() && refresh_ == 1.0f)
            restart();
    }

private:
    static constexpr float kMinRatio = 0.1f;
    static constexpr float kMaxRatio = 10.0f;

    void restart()
    {
        cycle_.restart();
        lastRatio_ = std::numeric_limits<float>::quiet_NaN(); // the first cycle start rebuilds
        cycleStart_ = true;
    }

    // Memory that cannot be had leaves the module without a working table
    // (silent until a table that fits arrives).
    void resize(int n)
    {
        try
        {
            work_.resize(static_cast<size_t>(n));
        }
        catch (const std::bad_alloc&)
        {
            std::vector<float>().swap(work_);
        }
    }

    template <class R, bool Stretched> void subProcessPlay(int frames)
    {
        float* out = output_.getBuffer() + blockPosition_;
        const float* x = table_.frames();
        const int n = static_cast<int>(work_.size());
        if (!x || n == 0 || table_.count() != n) // cannot happen while active
        {
            std::fill_n(out, frames, 0.0f);
            return;
        }
        const float* pitch = pitch_.getBuffer() + blockPosition_;
        const float* mix = ratioMix_.getBuffer() + blockPosition_;
        const float offset = dc_ ? mean_ : 0.0f;
        float* w = work_.data();
        qw::lut::Cycle c = cycle_;
        bool start = cycleStart_;
        for (int k = 0; k < frames; ++k)
        {
            c.follow(pitch[k], rateFactor_, n);
            if (start)
            {
                const float m = qw::lut::clampInput(mix[k], 0.0f, 1.0f);
                const float s = (1.0f - m) * a_ + m * b_;
                if (!(s == lastRatio_))
                    qw::lut::syncRebuild<R, Stretched>(x, n, s, w);
                lastRatio_ = s;
            }
            int i;
            float frac;
            qw::lut::locate(c.phase, n, i, frac);
            out[k] = w[i] - offset;
            start = c.advance();
        }
        cycle_ = c;
        cycleStart_ = start;
    }

    IntInPin mute_;
    FloatInPin refresh_;
    BoolInPin enable_;
    BoolInPin dc_;
    EnumInPin interpolation_;
    EnumInPin readKind_;
    qw::Sample2InPin table_;
    AudioInPin pitch_;
    FloatInPin ratioA_;
    FloatInPin ratioB_;
    AudioInPin ratioMix_;

    float mean_ = 0.0f;
    float a_ = 1.0f, b_ = 1.0f; // the ratios, clamped
    float lastRatio_ = std::numeric_limits<float>::quiet_NaN();
    bool cycleStart_ = true;
    std::vector<float> work_; // the working table, one entry per table frame
    qw::lut::Cycle cycle_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_LUTOscSYNC", &gmpi::Register<QW_S2_LUTOscSYNC>::withId);
}
