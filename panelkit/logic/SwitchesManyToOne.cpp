// Several inputs, one of which a selector connects to the output, in both
// directions. The inputs are the host's copies of an auto-duplicating pin,
// counted from the highest id that delivered a value; the module keeps the
// last value of each in a slot of its own. Its own values coming back are
// stored there but not passed on again.
#include "family.h"

#include <vector>

template <class T> class QW_GUISwitchManyToOne_ : public MpGuiInvisibleBase
{
public:
    QW_GUISwitchManyToOne_()
    {
        initializePin(selector_);
        initializePin(output_);
        initializePin(changeMode_);
        expectOwnEchoes();
    }

    int32_t setPin(int32_t pinId, int32_t voice, int32_t size, const void* data) override
    {
        if (!qw::takenPinId(pinId))
            return GuiPinOwner::setPin(pinId, voice, size, data);
        const int32_t k = pinId - kFirstInput;
        if (k >= static_cast<int32_t>(slots_.size()))
            slots_.resize(static_cast<size_t>(k) + 1);
        const qw::Raw value(size, data);
        const int32_t r = GuiPinOwner::setPin(pinId, voice, size, data);
        if (k >= 0)
            slots_[static_cast<size_t>(k)] = qw::fromBytes<T>(value.size, value.data);
        if (isOwnEcho(pinId) || slots_.empty())
            return r;
        const int32_t sel = qw::selectedIndex(selector_, slots_.size());
        if (pinId == kSelector)
        {
            if (changeMode_ == NOTHING)
                return r;
            if (changeMode_ == FORWARD)
            {
                const T& slot = slots_[static_cast<size_t>(sel)];
                send(kOutput, qw::Raw(qw::byteSize(slot), qw::bytesOf(slot)), voice);
            }
            else
                send(kFirstInput + sel, qw::Raw(output_.rawSize(), output_.rawData()), voice);
        }
        else if (pinId == kOutput)
        {
            slots_[static_cast<size_t>(sel)] = qw::fromBytes<T>(value.size, value.data);
            send(kFirstInput + sel, value, voice);
        }
        else if (k == sel)
            send(kOutput, value, voice);
        return r;
    }

private:
    enum ChangeMode
    {
        NOTHING = 0,
        FORWARD = 1, // any other value: backward
    };
    static constexpr int32_t kSelector = 0;
    static constexpr int32_t kOutput = 1;
    static constexpr int32_t kFirstInput = 3;

    void send(int32_t pinId, qw::Raw value, int32_t voice) { pinTransmit(pinId, value.size, value.data, voice); }

    MpGuiPin<int> selector_;
    qw::Pin<T> output_;
    MpGuiPin<int> changeMode_;
    std::vector<T> slots_; // the last value of each input, ids 3 .. 3 + N - 1
};

namespace
{
auto r = qw::registerFamily<QW_GUISwitchManyToOne_, int, float, bool, std::wstring, MpBlob>(L"QW_GUISwitchManyToOne_",
                                                                                            qw::STRING);
}
