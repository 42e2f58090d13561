// A low-frequency oscillator over a table: the rate input gives 10 Hz per unit,
// from -100 to 100 Hz (a negative rate runs the table backwards). A retrigger
// while it plays restarts the table at its first entry without a jump: the
// output keeps its value and the difference to the table decays by 0.95 per
// sample at 48 kHz (the same time at any rate). Only a table of another length
// restarts it otherwise.
#include "lut_osc.h"

#include <cmath>

class QW_S2_LUTOscLFO final : public qw::lut::OscBase
{
public:
    QW_S2_LUTOscLFO()
    {
        initializePin(mute_);
        initializePin(enable_);
        initializePin(interpolation_);
        initializePin(table_);
        initializePin(rate_);
        initializePin(retrigger_);
        initializePin(output_);
    }

    int32_t open() override
    {
        const float rate = getSampleRate();
        sampleRate_ = rate > 0.0f ? rate : 0.0f;
        glideFactor_ = rate > 0.0f ? static_cast<float>(std::pow(0.95, 48000.0 / rate)) : 0.0f;
        return OscBase::open();
    }

    void onSetPins() override
    {
        // A table of another length restarts, muted or not.
        const int n = table_.count();
        if (table_.changed() && n > 0 && n != length_)
        {
            length_ = n;
            restart();
        }
        bool unmuted;
        if (!applyMute(mute_, unmuted))
        {
            if (enable_.isUpdated() || table_.changed() || interpolation_.isUpdated() || unmuted)
                qw::resamp::withReader(interpolation_, [&](auto reader) {
                    activate(n > 0 && enable_, &QW_S2_LUTOscLFO::subProcessPlay<decltype(reader)>);
                });
            // The glide starts from the reading at the next sample, which
            // this module plays (it is streaming, so active).
            if (output_.isStreaming() && retrigger_.isUpdated() && retrigger_)
            {
                phase_ = 0.0f;
                retriggered_ = true;
            }
        }
    }

private:
    void restart()
    {
        phase_ = 0.0f;
        glide_ = 0.0f;
        lastOut_ = 0.0f;
        retriggered_ = false;
        lastRate_ = std::numeric_limits<float>::quiet_NaN(); // the stretch depends on the length
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
        const float* rate = rate_.getBuffer() + blockPosition_;
        float phase = phase_, glide = glide_, last = lastOut_;
        float lastRate = lastRate_, inc = inc_, w = w_;
        for (int k = 0; k < frames; ++k)
        {
            if (!(rate[k] == lastRate))
            {
                lastRate = rate[k];
                const float hz = qw::lut::clampInput(10.0f * rate[k], -100.0f, 100.0f);
                inc = sampleRate_ > 0.0f ? hz / sampleRate_ : 0.0f;
                w = qw::lut::stretchFor(inc, n);
            }
            const float y = qw::lut::readCycle<R>(x, n, phase, w);
            if (retriggered_)
            {
                glide = last - y;
                retriggered_ = false;
            }
            last = glide + y;
            out[k] = last;
            glide *= glideFactor_;
            phase = qw::lut::wrap(phase + inc);
        }
        phase_ = phase;
        glide_ = glide;
        lastOut_ = last;
        lastRate_ = lastRate;
        inc_ = inc;
        w_ = w;
    }

    IntInPin mute_;
    BoolInPin enable_;
    EnumInPin interpolation_;
    qw::Sample2InPin table_;
    AudioInPin rate_;
    BoolInPin retrigger_;

    float sampleRate_ = 0.0f;
    float glideFactor_ = 0.0f; // per sample
    int length_ = 0;           // the last table length
    float phase_ = 0.0f;
    float glide_ = 0.0f;   // added to the table's reading, decaying
    float lastOut_ = 0.0f; // the last output
    bool retriggered_ = false;
    // The rate the increment came from (not a number at first: always new).
    float lastRate_ = std::numeric_limits<float>::quiet_NaN();
    float inc_ = 0.0f; // cycles per sample
    float w_ = 1.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_LUTOscLFO", &gmpi::Register<QW_S2_LUTOscLFO>::withId);
}
