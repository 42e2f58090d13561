// Timers: a bool trigger becomes a delayed, stretched, toggled or pulsed bool
// output with edges at exact samples. Modes: 0 on-delay, 1 off-delay, 2 pulse
// on rise, 3 pulse on fall after a rise, 4 toggle, 5 pulse train while true.
// A counting routine runs only while a time runs; otherwise the module sleeps.
// QW_DSPTimer2 adds a reset input.
#include "control.h"

#include <algorithm>
#include <cstdint>

namespace
{
constexpr int32_t kMinT1[6] = {0, 0, 0, 0, 0, 1};
constexpr int32_t kMinT2[6] = {0, 0, 1, 1, 0, 1};
} // namespace

// Pins: 0 in bool trigger; [1 in bool reset]; mode; unit (0 = ms, else
// samples); T1; T2; out bool.
template <bool HasReset> class DSPTimerBase : public MpBase2
{
public:
    DSPTimerBase()
    {
        initializePin(trigger_);
        if (HasReset)
            initializePin(reset_);
        initializePin(mode_);
        initializePin(unit_);
        initializePin(t1_);
        initializePin(t2_);
        initializePin(out_);
    }

    int32_t open() override
    {
        sampleRate_ = getSampleRate();
        return MpBase2::open();
    }

    void onSetPins() override
    {
        const int mode = mode_;
        if (mode_.isUpdated() || (HasReset && reset_.isUpdated() && reset_))
        {
            armed_ = state_ = running_ = false;
            out_ = false;
            counter_ = target_ = 0;
            stop();
        }
        if (mode_.isUpdated() || t1_.isUpdated() || t2_.isUpdated())
        {
            int32_t t1 = t1_, t2 = t2_;
            if (unit_ == 0)
            {
                t1 = qw::control::msToSamples(static_cast<float>(t1), sampleRate_);
                t2 = qw::control::msToSamples(static_cast<float>(t2), sampleRate_);
            }
            // Modes outside the tables never run; their times keep no minimum but 0.
            const bool known = mode >= 0 && mode <= 5;
            t1Samples_ = std::max(t1, known ? kMinT1[mode] : 0);
            t2Samples_ = std::max(t2, known ? kMinT2[mode] : 0);
        }
        if (HasReset)
        {
            if (reset_)
                return;
            if (!trigger_.isUpdated() && !(trigger_ && reset_.isUpdated()))
                return;
        }
        else if (!trigger_.isUpdated())
            return;

        const bool v = trigger_;
        switch (mode)
        {
        case 0:
            if (v)
                select(&DSPTimerBase::subProcess0);
            else
            {
                out_ = false;
                stop();
            }
            break;
        case 1:
            if (v)
            {
                out_ = true;
                stop();
            }
            else
                select(&DSPTimerBase::subProcess1);
            break;
        case 2:
            if (v && !running_)
                startPulse();
            break;
        case 3:
            if (v)
                armed_ = true;
            else
            {
                if (!running_ && armed_)
                    startPulse();
                armed_ = false;
            }
            break;
        case 4:
            if (v)
            {
                out_ = !state_;
                state_ = out_;
            }
            break;
        case 5:
            if (v)
            {
                select(&DSPTimerBase::subProcess5);
                state_ = true;
                out_ = true;
            }
            else
            {
                state_ = false;
                out_ = false;
                stop();
            }
            break;
        default:
            break;
        }
    }

    // One edge to `level` when the count reaches the target, then idle.
    template <bool Level> void subProcessDelay(int sampleFrames)
    {
        if (!active_)
            return;
        const int p = getBlockPosition();
        const uint32_t left = target_ - counter_; // counter never passes the target while active
        if (left < static_cast<uint32_t>(sampleFrames))
        {
            out_.setValue(Level, p + static_cast<int>(left));
            counter_ = target_ + 1;
            stop();
            return;
        }
        counter_ += static_cast<uint32_t>(sampleFrames);
    }
    void subProcess0(int sampleFrames) { subProcessDelay<true>(sampleFrames); }
    void subProcess1(int sampleFrames) { subProcessDelay<false>(sampleFrames); }

    void subProcess23(int sampleFrames)
    {
        const int p = getBlockPosition();
        for (int i = 0; i < sampleFrames && active_; ++i)
        {
            if (counter_ != target_)
            {
                ++counter_;
                continue;
            }
            if (!state_)
            {
                out_.setValue(true, p + i);
                state_ = true;
                target_ = static_cast<uint32_t>(t2Samples_ - 1);
                counter_ = 0;
            }
            else
            {
                out_.setValue(false, p + i);
                state_ = running_ = false;
                stop();
            }
        }
    }

    void subProcess5(int sampleFrames)
    {
        if (!active_)
            return;
        const int p = getBlockPosition();
        for (int i = 0; i < sampleFrames; ++i)
        {
            if (counter_ != target_)
            {
                ++counter_;
                continue;
            }
            state_ = !state_;
            out_.setValue(state_, p + i);
            target_ = static_cast<uint32_t>(state_ ? t1Samples_ : t2Samples_);
            counter_ = 1;
        }
    }

private:
    template <class R> void select(R routine)
    {
        setSubProcess(routine);
        setSleep(false);
        counter_ = 0;
        target_ = static_cast<uint32_t>(t1Samples_);
        active_ = true;
    }
    // The routine stays saved but does nothing until selected again, so the
    // framework's countdown before sleep cannot repeat an edge.
    void stop()
    {
        active_ = false;
        setSleep(true);
    }
    void startPulse()
    {
        select(&DSPTimerBase::subProcess23);
        state_ = false;
        running_ = true;
    }

    BoolInPin trigger_;
    BoolInPin reset_;
    EnumInPin mode_;
    EnumInPin unit_;
    IntInPin t1_;
    IntInPin t2_;
    BoolOutPin out_;

    uint32_t counter_ = 0;
    uint32_t target_ = 0;
    int32_t t1Samples_ = 0;
    int32_t t2Samples_ = 0;
    float sampleRate_ = 44100.0f;
    bool state_ = false;
    bool running_ = false;
    bool armed_ = false;
    bool active_ = false;
};

class QW_DSPTimer final : public DSPTimerBase<false>
{};

class QW_DSPTimer2 final : public DSPTimerBase<true>
{};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_DSPTimer>(L"QW_DSPTimer");
    qw::control::registerModule<QW_DSPTimer2>(L"QW_DSPTimer2");
    return true;
}();
} // namespace
