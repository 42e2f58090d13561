// A group of buttons as one value, both ways. The buttons are the host's
// copies of an auto-duplicating float pin (1 on, 0 off), counted from the
// host's pin count when the module starts. The value lights one button:
// zero-based, the value clamped to the buttons; one-based, button value - 1,
// none for 0 or less. A click on a button sets the value, and a timer tick
// soon after lights the buttons from the value again, so that exactly one
// (or, one-based with 0, none) stays lit. The buttons it lights and the
// values it sets coming back from the host, inside the send or later, are
// neither clicks nor new values.
#include "../logic/family.h"
#include "../timing/timed_module.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>

namespace
{
// The values the module sent and the host may still hand back, per pin in
// the order sent. The first value that arrives on a pin with the bytes of one
// sent there is its echo (those sent before it are not waited for any more).
// Anything else is from outside: it ends the wait of every button, so that a
// host that never echoes leaves no old light to be taken for an echo of a
// later one, and a different value on the value pin ends that pin's. A click
// does not end the value pin's wait: a host that echoes later may still hold
// values set by clicks before it (the host's first values of the buttons are
// clicks, one after the other).
class OwnValues
{
public:
    static constexpr int32_t kValuePin = 0;

    void sent(int32_t pinId, int32_t size, const void* data)
    {
        if (size != 4 || !data)
            return;
        auto& q = pending_[pinId];
        if (q.size() >= kMaxPending)
            q.pop_front();
        q.push_back(bitsOf(data));
    }

    // True when the value is the module's own.
    bool arrived(int32_t pinId, int32_t size, const void* data)
    {
        auto it = pending_.find(pinId);
        if (it != pending_.end() && size == 4 && data)
        {
            auto& q = it->second;
            auto match = std::find(q.begin(), q.end(), bitsOf(data));
            if (match != q.end())
            {
                q.erase(q.begin(), std::next(match));
                if (q.empty())
                    pending_.erase(it);
                return true;
            }
        }
        for (auto p = pending_.begin(); p != pending_.end();)
            p = p->first != kValuePin || pinId == kValuePin ? pending_.erase(p) : std::next(p);
        return false;
    }

private:
    static constexpr size_t kMaxPending = 64;
    static uint32_t bitsOf(const void* data)
    {
        uint32_t bits;
        std::memcpy(&bits, data, sizeof bits);
        return bits;
    }
    std::map<int32_t, std::deque<uint32_t>> pending_;
};
} // namespace

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
        const bool own = own_.arrived(pinId, size, data);
        const int32_t r = GuiPinOwner::setPin(pinId, voice, size, data);
        if (pinId == kValue)
            ownValue_ = own;
        if (own || pinId < kFirstButton || !qw::takenPinId(pinId) || !data || size <= 0)
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

    int32_t notifyPin(int32_t pinId, int32_t voice) override
    {
        if (pinId == kValue && ownValue_)
        {
            ownValue_ = false;
            return gmpi::MP_OK;
        }
        return qw::TimedModule::notifyPin(pinId, voice);
    }

    int32_t pinTransmit(int32_t pinId, int32_t size, const void* data, int32_t voice) override
    {
        own_.sent(pinId, size, data);
        return qw::TimedModule::pinTransmit(pinId, size, data, voice);
    }

private:
    static constexpr int32_t kValue = OwnValues::kValuePin;
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
    OwnValues own_;
    bool ownValue_ = false; // the value pin's last value was the module's own
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_RadioButtons", &gmpi::Register<QW_RadioButtons>::withId);
}
