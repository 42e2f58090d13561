// Two value pins copied into each other, every time, equal values too; a bool
// output pulses when the chosen one of them is set. The first handler run
// after construction copies without a pulse. A copy coming back as the
// host's echo is neither copied again nor a reason to pulse.
#include "family.h"

template <class T> class QW_GUISet2TrigA : public MpGuiInvisibleBase
{
public:
    QW_GUISet2TrigA()
    {
        initializePin(valueL_, &QW_GUISet2TrigA::onSetValL);
        initializePin(valueR_, &QW_GUISet2TrigA::onSetValR);
        initializePin(source_);
        initializePin(spare_);
        initializePin(trigger_);
        expectOwnEchoes();
    }

private:
    enum Source
    {
        LEFT = 0,
        RIGHT = 1, // any other value: never
    };

    void onSetValL()
    {
        if (guard_.raised())
            return;
        const bool first = takeFirst();
        pinTransmit(kRight, valueL_.rawSize(), valueL_.rawData(), 0);
        if (!first && source_ == LEFT)
            qw::pulse(trigger_);
    }

    void onSetValR()
    {
        const bool first = takeFirst();
        {
            qw::EchoGuard::Raise raise(guard_);
            pinTransmit(kLeft, valueR_.rawSize(), valueR_.rawData(), 0);
        }
        if (!first && source_ == RIGHT)
            qw::pulse(trigger_);
    }

    // Whether this is the first handler run; the flag is taken before the
    // copy, so a run that the copy's echo starts is not the first.
    bool takeFirst()
    {
        const bool first = first_;
        first_ = false;
        return first;
    }

    static constexpr int32_t kLeft = 0;
    static constexpr int32_t kRight = 1;

    qw::Pin<T> valueL_;
    qw::Pin<T> valueR_;
    MpGuiPin<int> source_;
    MpGuiPin<bool> spare_; // part of the pin layout; never read or written
    MpGuiPin<bool> trigger_;
    bool first_ = true;
    qw::EchoGuard guard_;
};

namespace
{
auto r = qw::registerFamily<QW_GUISet2TrigA, int, float, bool, std::wstring, MpBlob>(L"QW_GUISet2TrigA", qw::STRING);
}
