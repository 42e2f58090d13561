// The older interface timer, kept so that old patches still load: edges of a
// trigger become timed bool outputs in one of seven modes, with two times T1
// and T2 (negative times count as 0). It waits until mode, T1 and T2 have all
// arrived; a value on the left trigger meanwhile is acted on then, with the
// pin's value at that time, one on the right trigger is dropped.
#include "timed_module.h"

#include <algorithm>

class QW_GUITimer : public qw::TimedModule
{
public:
    QW_GUITimer()
    {
        initializePin(triggerR_, &QW_GUITimer::onSetTriggerR);
        initializePin(triggerL_, &QW_GUITimer::onSetTriggerL);
        initializePin(modePin_, &QW_GUITimer::onSetMode);
        initializePin(t1Pin_, &QW_GUITimer::onSetT1);
        initializePin(t2Pin_, &QW_GUITimer::onSetT2);
        initializePin(out_);
        initializePin(outHigh_);
    }

private:
    enum Mode
    {
        DELAY_ON = 0,
        DELAY_OFF = 1,
        DELAYED_PULSE_ON_RISE = 2,
        DELAYED_PULSE_ON_FALL = 3,
        TOGGLE = 4,
        BLINK = 5,
        REPEAT = 6,
    };
    static constexpr int32_t kNotReceived = -1;

    bool ready() const { return mode_ != kNotReceived && t1_ != kNotReceived && t2_ != kNotReceived; }

    void onSetTriggerR()
    {
        if (ready())
            onSetTrigger(triggerR_);
    }
    void onSetTriggerL()
    {
        if (ready())
            onSetTrigger(triggerL_);
        else
            deferred_ = true;
    }

    void onSetMode()
    {
        mode_ = modePin_;
        stopTimer();
        setOut(false);
        runDeferred(t1_ != kNotReceived && t2_ != kNotReceived);
    }
    void onSetT1()
    {
        t1_ = std::max(t1Pin_.getValue(), 0);
        runDeferred(t2_ != kNotReceived && mode_ != kNotReceived);
    }
    void onSetT2()
    {
        t2_ = std::max(t2Pin_.getValue(), 0);
        runDeferred(t1_ != kNotReceived && mode_ != kNotReceived);
    }
    // A left trigger that came before the module was ready.
    void runDeferred(bool othersReceived)
    {
        if (othersReceived && deferred_)
        {
            deferred_ = false;
            onSetTriggerL();
        }
    }

    void onSetTrigger(bool rise)
    {
        switch (mode_)
        {
        case DELAY_ON:
            if (rise)
                startTimer(t1_);
            else
            {
                stopTimer();
                setOut(false);
            }
            break;
        case DELAY_OFF:
            if (rise)
            {
                setOut(true);
                stopTimer();
            }
            else
                startTimer(t1_);
            break;
        case DELAYED_PULSE_ON_RISE:
        case DELAYED_PULSE_ON_FALL:
            if (rise == (mode_ == DELAYED_PULSE_ON_RISE))
                startTimer(t1_);
            break;
        case TOGGLE:
            if (rise)
                setOut(!state_);
            break;
        case BLINK:
            if (rise)
            {
                startTimer(t1_);
                setOut(true);
            }
            else
            {
                stopTimer();
                setOut(false);
            }
            break;
        case REPEAT:
            if (rise)
            {
                pulse();
                startTimer(t1_);
            }
            else
                stopTimer();
            break;
        default:
            break;
        }
    }

    bool tick() override
    {
        switch (mode_)
        {
        case DELAY_ON:
            setOut(true);
            return false;
        case DELAY_OFF:
            setOut(false);
            return false;
        case DELAYED_PULSE_ON_RISE:
        case DELAYED_PULSE_ON_FALL:
            if (state_)
            {
                setOut(false);
                return false;
            }
            rearm(t2_);
            setOut(true);
            return true;
        case BLINK:
            rearm(state_ ? t2_ : t1_);
            setOut(!state_);
            return true;
        case REPEAT:
            pulse();
            rearm(t2_);
            return true;
        default:
            return false;
        }
    }

    void setOut(bool on)
    {
        state_ = on;
        outHigh_ = on;
        out_ = outHigh_.getValue();
    }
    void pulse()
    {
        setOut(true);
        setOut(false);
    }

    MpGuiPin<bool> triggerR_;
    MpGuiPin<bool> triggerL_;
    MpGuiPin<int> modePin_;
    MpGuiPin<int> t1Pin_;
    MpGuiPin<int> t2Pin_;
    MpGuiPin<bool> out_;
    MpGuiPin<bool> outHigh_;

    int32_t mode_ = kNotReceived;
    int32_t t1_ = kNotReceived;
    int32_t t2_ = kNotReceived;
    bool deferred_ = false;
    bool state_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUITimer", &gmpi::Register<QW_GUITimer>::withId);
}
