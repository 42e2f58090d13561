// One input connected to one of several outputs, chosen by a selector, in
// both directions. The outputs are the host's copies of an auto-duplicating
// pin: their number comes from the host's pin count, asked at the first
// value and again at each value until the host answers one. Its own values
// coming back are not passed on again.
#include "family.h"

#include <memory>
#include <vector>

template <class T> class QW_GUISwitchOneToMany_ : public MpGuiInvisibleBase
{
public:
    QW_GUISwitchOneToMany_()
    {
        initializePin(selector_);
        initializePin(input_);
        initializePin(changeMode_);
        expectOwnEchoes();
    }

    int32_t setPin(int32_t pinId, int32_t voice, int32_t size, const void* data) override
    {
        if (askCount_)
            makeOutputs();
        const qw::Raw value(size, data);
        const int32_t r = GuiPinOwner::setPin(pinId, voice, size, data);
        if (isOwnEcho(pinId) || outputs_.empty())
            return r;
        const int32_t selected = kFirstOutput + qw::selectedIndex(selector_, outputs_.size());
        if (pinId == kSelector)
        {
            if (changeMode_ == NOTHING)
                return r;
            if (changeMode_ == FORWARD)
                send(selected, qw::Raw(input_.rawSize(), input_.rawData()), voice);
            else
            {
                const MpGuiPinBase& out = *outputs_[static_cast<size_t>(selected - kFirstOutput)];
                send(kInput, qw::Raw(out.rawSize(), out.rawData()), voice);
            }
        }
        else if (pinId == kInput)
            send(selected, value, voice);
        else if (pinId == selected)
            send(kInput, value, voice);
        return r;
    }

private:
    enum ChangeMode
    {
        NOTHING = 0,
        FORWARD = 1, // any other value: backward
    };
    static constexpr int32_t kSelector = 0;
    static constexpr int32_t kInput = 1;
    static constexpr int32_t kFirstOutput = 3;

    void makeOutputs()
    {
        const int32_t count = getHostPinCount();
        if (count <= 0)
            return;
        askCount_ = false;
        const int32_t n = std::min(count, qw::kMaxPinCount) - kFirstOutput;
        for (int32_t i = 0; i < n; ++i)
        {
            outputs_.push_back(std::make_unique<qw::Pin<T>>());
            initializePin(kFirstOutput + i, *outputs_.back());
        }
    }

    void send(int32_t pinId, qw::Raw value, int32_t voice) { pinTransmit(pinId, value.size, value.data, voice); }

    MpGuiPin<int> selector_;
    qw::Pin<T> input_;
    MpGuiPin<int> changeMode_;
    bool askCount_ = true;
    std::vector<std::unique_ptr<qw::Pin<T>>> outputs_;
};

namespace
{
auto r = qw::registerFamily<QW_GUISwitchOneToMany_, int, float, bool, std::wstring, MpBlob>(L"QW_GUISwitchOneToMany_",
                                                                                            qw::STRING);
}
