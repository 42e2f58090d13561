// A timer on the interface thread: edges of a trigger become timed bool
// outputs in one of seven modes, with one time. The two trigger pins act
// alike, each with its own value; both outputs always carry one value, the
// higher-numbered one written first. Trigger values that arrive while a tick
// writes the outputs (the outputs wired back to a trigger) are ignored.
#include "../logic/family.h"
#include "timed_module.h"

class QW_GUITimer2 : public qw::TimedModule
{
public:
    QW_GUITimer2()
    {
        initializePin(triggerR_, &QW_GUITimer2::onSetTrigR);
        initializePin(triggerL_, &QW_GUITimer2::onSetTrigL);
        initializePin(mode_, &QW_GUITimer2::onSetMode);
        initializePin(time_, &QW_GUITimer2::onSetTime);
        initializePin(out_);
        initializePin(outHigh_);
    }

    int32_t initialize() override
    {
        initialised_ = true;
        if (triggerL_)
            onTrig(true);
        return gmpi::MP_OK;
    }

private:
    enum Mode
    {
        DELAY_ON = 0,
        DELAY_OFF = 1,
        PULSE_ON_RISE = 2,
        PULSE_ON_FALL = 3,
        DELAYED_PULSE = 4,
        TOGGLE = 5,
        BLINK = 6,
    };

    void onSetTrigR()
    {
        if (initialised_)
            onTrig(triggerR_);
    }
    void onSetTrigL()
    {
        if (initialised_)
            onTrig(triggerL_);
    }

    void onTrig(bool rise)
    {
        if (guard_.raised())
            return;
        switch (mode_.getValue())
        {
        case DELAY_ON:
            if (rise)
            {
                setOut(false);
                startTimer(intervalMs_);
            }
            else
            {
                stopTimer();
                setOut(false);
            }
            break;
        case DELAY_OFF:
            if (rise)
            {
                stopTimer();
                setOut(true);
            }
            else
                startTimer(intervalMs_);
            break;
        case PULSE_ON_RISE:
        case PULSE_ON_FALL:
            if (rise == (mode_ == PULSE_ON_RISE) && !state_)
            {
                setOut(true);
                startTimer(intervalMs_);
            }
            break;
        case DELAYED_PULSE:
            if (rise && !pulsePending_)
            {
                pulsePending_ = true;
                startTimer(intervalMs_);
            }
            break;
        case TOGGLE:
            if (rise)
                setOut(!state_);
            break;
        case BLINK:
            if (rise)
            {
                startTimer(intervalMs_);
                setOut(true);
            }
            else
            {
                stopTimer();
                setOut(false);
            }
            break;
        default:
            break;
        }
    }

    bool tick() override
    {
        const qw::EchoGuard::Raise raise(guard_);
        bool keep = false;
        switch (mode_.getValue())
        {
        case DELAY_ON:
            setOut(true);
            break;
        case DELAY_OFF:
        case PULSE_ON_RISE:
        case PULSE_ON_FALL:
            setOut(false);
            break;
        case DELAYED_PULSE:
            setOut(true);
            setOut(false);
            pulsePending_ = false;
            break;
        case BLINK:
            setOut(!state_);
            keep = true;
            break;
        default:
            break;
        }
        return keep;
    }

    void onSetMode()
    {
        stopTimer();
        setOut(false);
        pulsePending_ = false;
    }

    void onSetTime() { intervalMs_ = time_ < 2 ? 1 : time_.getValue(); }

    void setOut(bool on)
    {
        state_ = on;
        outHigh_ = on;
        out_ = outHigh_.getValue();
    }

    MpGuiPin<bool> triggerR_;
    MpGuiPin<bool> triggerL_;
    MpGuiPin<int> mode_;
    MpGuiPin<int> time_;
    MpGuiPin<bool> out_;
    MpGuiPin<bool> outHigh_;

    bool initialised_ = false;
    int32_t intervalMs_ = 0; // until the time pin is set
    bool state_ = false;
    qw::EchoGuard guard_; // raised while a tick writes the outputs
    bool pulsePending_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUITimer2", &gmpi::Register<QW_GUITimer2>::withId);
}
