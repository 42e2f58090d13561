// A table-lookup oscillator with a hard-sync sound: at each cycle start it
// rebuilds a working table, the input table read at a ratio s (a mix of
// ratios A and B, each 0.1 to 10), crossfaded so that its end joins its start,
// and plays that. The rebuild happens only when s differs from the last one
// (or the table changed); the read kind chooses whether the rebuild's reader
// is widened by the ratio (see syncRebuild). The working table has one entry
// per table frame, so a table of another length resizes it.
//
// A rebuild costs two kernel reads per entry, and at a high pitch a block
// holds many cycle starts, while a sample reads one entry. So a rebuild only
// makes its plan, and an entry is worked out the first time it is read
// (syncEntry: the same value). Until the next rebuild the old table must stay
// what it was: the plan keeps its reader, and reads a copy of the table that
// a new table does not overwrite.
#include "lut_osc.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
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
            keepCopy(n);
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
        lazy_ = false;
    }

    // Memory that cannot be had leaves the module without a working table
    // (silent until a table that fits arrives).
    void resize(int n)
    {
        lazy_ = false;
        try
        {
            work_.resize(static_cast<size_t>(n));
            const bool copies = n <= kMaxLazy;
            stamp_.assign(copies ? static_cast<size_t>(n) : 0, 0u);
            for (auto& c : copy_)
                c.resize(copies ? static_cast<size_t>(n) : 0);
        }
        catch (const std::bad_alloc&)
        {
            std::vector<float>().swap(work_);
            std::vector<uint32_t>().swap(stamp_);
            for (auto& c : copy_)
                std::vector<float>().swap(c);
        }
    }

    // The new table's frames into the copy that the pending rebuild (if
    // any) does not read.
    void keepCopy(int n)
    {
        if (n <= 0 || copy_[0].size() != static_cast<size_t>(n) || table_.frames() == nullptr)
            return;
        if (lazy_)
            latest_ = 1 - planCopy_;
        std::memcpy(copy_[latest_].data(), table_.frames(), static_cast<size_t>(n) * sizeof(float));
    }

    // Entry k of the pending plan, with the plan's reader.
    template <class R, bool Stretched> float planEntry(int k) const
    {
        return qw::lut::syncEntry<R, Stretched>(copy_[planCopy_].data(), static_cast<int>(work_.size()), plan_, k);
    }

    // A rebuild for ratio s: its plan, or the whole table where the plan
    // would not give the same entries (or there are no copies).
    template <class R, bool Stretched> void rebuild(const float* x, int n, float s)
    {
        if (qw::lut::syncEntryExact(s, n) && stamp_.size() == static_cast<size_t>(n))
        {
            if (++planId_ == 0)
            {
                std::fill(stamp_.begin(), stamp_.end(), 0u);
                planId_ = 1;
            }
            plan_ = qw::lut::syncPlan<Stretched>(s, n);
            planCopy_ = latest_;
            entry_ = &QW_S2_LUTOscSYNC::planEntry<R, Stretched>;
            lazy_ = true;
        }
        else
        {
            qw::lut::syncRebuild<R, Stretched>(x, n, s, work_.data());
            lazy_ = false;
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
        uint32_t* stamp = stamp_.data();
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
                    rebuild<R, Stretched>(x, n, s);
                lastRatio_ = s;
            }
            int i;
            float frac;
            qw::lut::locate(c.phase, n, i, frac);
            if (lazy_ && stamp[i] != planId_)
            {
                w[i] = (this->*entry_)(i);
                stamp[i] = planId_;
            }
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
    // Tables up to this length are copied and their working tables filled
    // where they are read (see syncEntryExact).
    static constexpr int kMaxLazy = 1 << 21;
    std::vector<uint32_t> stamp_; // the plan an entry was filled for
    std::vector<float> copy_[2];  // the last table and the one before
    int latest_ = 0;              // the copy of the last table
    int planCopy_ = 0;            // the copy the pending plan reads
    uint32_t planId_ = 0;         // the pending plan's id
    qw::lut::SyncPlan plan_;
    bool lazy_ = false;                                     // entries with another id are still to fill
    float (QW_S2_LUTOscSYNC::*entry_)(int) const = nullptr; // the plan's reader
    qw::lut::Cycle cycle_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_LUTOscSYNC", &gmpi::Register<QW_S2_LUTOscSYNC>::withId);
}
