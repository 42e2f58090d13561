// A group of buttons as one value, both ways. The buttons are the host's
// copies of an auto-duplicating float pin (1 on, 0 off), counted from the
// host's pin count when the module starts. The value lights one button:
// zero-based, the value clamped to the buttons; one-based, button value - 1,
// none for 0 or less. A click on a button sets the value, and a timer tick
// soon after lights the buttons from the value again, so that exactly one
// (or, one-based with 0, none) stays lit. The buttons it lights coming back
// from the host, inside the send or later, are not clicks.
#include "../logic/family.h"
#include "../timing/timed_module.h"

#include <algorithm>

class QW_RadioButtons : public qw::TimedModule
{
public:
    QW_RadioButtons()
    {
        // Every control of the bundle that starts a timer without an
        // interval shares this one.
        SetTimerIntervalMs(10);
        initializePin(value_, &QW_RadioButtons::onSetValue);
        initializePin(oneBased_, &QW_RadioButtons::onSetValue);
        expectOwnEchoes();
    }

    int32_t initialize() override
    {
        qw::TimedModule::initialize();
        const int32_t count = getHostPinCount();
        buttons_ = count < kFirstButton ? 0 : std::min(count, qw::kMaxPinCount) - kFirstButton;
        onSetValue();
        return gmpi::MP_OK;
    }

    int32_t setPin(int32_t pinId, int32_t voice, int32_t size, const void* data) override
    {
        const int32_t r = GuiPinOwner::setPin(pinId, voice, size, data);
        if (isOwnEcho(pinId))
            return r;
        // Anything else is from outside: the echoes of what was sent before it
        // are no longer waited for, so that a host that never echoes leaves
        // no old light of a button to be mistaken for its echo.
        forgetOwnEchoes();
        if (pinId < kFirstButton || !qw::takenPinId(pinId) || !data || size <= 0)
            return r;
        const int32_t k = pinId - kFirstButton;
        if (!oneBased_)
            value_ = k;
        else if (qw::fromBytes<float>(size, data) == 1.0f)
            value_ = k + 1;
        else if (value_ == k + 1)
            value_ = 0;
        startTimer();
        return r;
    }

private:
    static constexpr int32_t kFirstButton = 2;

    void onSetValue()
    {
        if (buttons_ <= 0)
            return;
        const int32_t v = value_;
        const int32_t lit = !oneBased_ ? std::clamp(v, 0, buttons_ - 1) : v <= 0 ? -1 : std::min(v, buttons_) - 1;
        for (int32_t i = 0; i < buttons_; ++i)
        {
            const float on = i == lit ? 1.0f : 0.0f;
            pinTransmit(kFirstButton + i, sizeof on, &on, 0);
        }
    }

    bool tick() override
    {
        onSetValue();
        return false;
    }

    MpGuiPin<int> value_;
    MpGuiPin<bool> oneBased_;
    int32_t buttons_ = 0; // known from initialize on
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_RadioButtons", &gmpi::Register<QW_RadioButtons>::withId);
}
