// A table-lookup oscillator that plays a private copy of at most 256 frames of
// its table. A new table of the same length is not taken at once: at every
// cycle end the copy moves part of the way towards it (an eighth at 440 Hz,
// proportionally less per cycle above, all of it below 55 Hz) until no entry
// moves by more than 1e-6. A table of another length, enable set true, or
// refresh set to exactly 1 takes a fresh copy and restarts the cycle. The
// mean (when removed) is taken off as the frames are copied.
#include "lut_osc.h"

class QW_S2_LUTOscM final : public qw::lut::OscBase
{
public:
    static constexpr int kMaxFrames = 256;

    QW_S2_LUTOscM()
    {
        initializePin(mute_);
        initializePin(refresh_);
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
        const int m = std::min(table_.count(), kMaxFrames);
        bool restart = false;
        if (table_.changed() && m > 0)
        {
            mean_ = qw::lut::tableMean(table_.frames(), m);
            if (m != length_)
            {
                length_ = m;
                restart = true;
            }
            else
                morph_ = 1.0f; // towards the new frames, cycle by cycle
        }
        bool unmuted;
        if (!applyMute(mute_, unmuted))
        {
            if (enable_.isUpdated() || table_.changed() || interpolation_.isUpdated() || unmuted)
            {
                qw::resamp::withReader(interpolation_, [&](auto reader) {
                    activate(m > 0 && enable_, &QW_S2_LUTOscM::subProcessPlay<decltype(reader)>);
                });
                restart |= enable_.isUpdated() && enable_ && m > 0;
            }
            restart |= refresh_.isUpdated() && refresh_ == 1.0f;
        }
        if (restart)
            takeCopy();
    }

private:
    float offset() const { return dc_ ? mean_ : 0.0f; }

    // A fresh copy of the table's first frames (when it has them) and a new cycle.
    void takeCopy()
    {
        const float* x = table_.frames();
        if (x && length_ > 0 && table_.count() >= length_)
        {
            const float o = offset();
            for (int k = 0; k < length_; ++k)
                copy_[k] = x[k] - o;
        }
        morph_ = 0.0f;
        cycle_.restart();
    }

    // One step of the morph towards the table, by w = min(1, 0.125 / e).
    void morphStep(const float* x, float o, float e)
    {
        const float w = std::min(1.0f, 0.125f / e);
        float moved = 0.0f;
        for (int k = 0; k < length_; ++k)
        {
            const float old = copy_[k];
            copy_[k] = (1.0f - w) * old + w * (x[k] - o);
            moved = std::max(moved, std::abs(copy_[k] - old));
        }
        morph_ = moved;
    }

    template <class R> void subProcessPlay(int frames)
    {
        float* out = output_.getBuffer() + blockPosition_;
        const int m = length_;
        if (m <= 0) // cannot happen while active
        {
            std::fill_n(out, frames, 0.0f);
            return;
        }
        const float* pitch = pitch_.getBuffer() + blockPosition_;
        const float* x = table_.frames();
        const bool tableHolds = x && table_.count() >= m;
        const float o = offset();
        qw::lut::Cycle c = cycle_;
        for (int k = 0; k < frames; ++k)
        {
            c.follow(pitch[k], rateFactor_, m);
            out[k] = qw::lut::readCycle<R>(copy_, m, c.phase, c.w);
            if (c.advance() && morph_ > 1e-6f && tableHolds)
                morphStep(x, o, c.e);
        }
        cycle_ = c;
    }

    IntInPin mute_;
    FloatInPin refresh_;
    BoolInPin enable_;
    BoolInPin dc_;
    EnumInPin interpolation_;
    qw::Sample2InPin table_;
    AudioInPin pitch_;

    float mean_ = 0.0f;
    int length_ = 0;     // the cycle length m, entries of the copy
    float morph_ = 0.0f; // the largest move of the last morph step
    float copy_[kMaxFrames] = {};
    qw::lut::Cycle cycle_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_LUTOscM", &gmpi::Register<QW_S2_LUTOscM>::withId);
}
