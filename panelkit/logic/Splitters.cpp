// One common value joined to any number of auto-duplicating values: fan-out,
// fan-in or both, optionally keeping the auto-duplicating values equal.
// Values are passed on as the host delivered them, equal ones too; the
// splitter's own values coming back are not passed on again.
#include "family.h"

template <class T> class QW_Splitter : public MpGuiInvisibleBase
{
public:
    QW_Splitter()
    {
        initializePin(mode_);
        initializePin(link_);
        initializePin(common_);
        expectOwnEchoes();
    }

    int32_t setPin(int32_t pinId, int32_t voice, int32_t size, const void* data) override
    {
        const int32_t r = GuiPinOwner::setPin(pinId, voice, size, data);
        if (isOwnEcho(pinId))
            return r;
        const qw::Raw value(size, data);
        if (pinId == kCommon)
        {
            if (count_ == 0 || (mode_ != TO_VALUES && mode_ != BOTH))
                return r;
            // Values that become known during these sends are not sent this value.
            const int32_t end = kFirstValue + count_;
            qw::EchoGuard::Raise raise(guard_);
            for (int32_t i = kFirstValue; i < end; ++i)
                pinTransmit(i, value.size, value.data, 0);
            return r;
        }
        if (pinId < kFirstValue || !qw::takenPinId(pinId))
            return r;
        count_ = std::max(count_, pinId - kFirstValue + 1);
        if (guard_.raised())
            return r;
        if (mode_ == TO_COMMON || mode_ == BOTH)
            pinTransmit(kCommon, value.size, value.data, 0);
        if (!link_)
            return r;
        const int32_t end = kFirstValue + count_;
        qw::EchoGuard::Raise raise(guard_);
        for (int32_t i = kFirstValue; i < end; ++i)
            if (i != pinId)
                pinTransmit(i, value.size, value.data, 0);
        return r;
    }

private:
    enum Mode
    {
        TO_COMMON = 0,
        TO_VALUES = 1,
        BOTH = 2,
    };
    static constexpr int32_t kCommon = 2;
    static constexpr int32_t kFirstValue = 3;

    MpGuiPin<int> mode_;
    MpGuiPin<bool> link_;
    qw::Pin<T> common_;
    int32_t count_ = 0; // auto-duplicating values seen so far: ids 3 .. 3 + count - 1
    qw::EchoGuard guard_;
};

namespace
{
auto r = qw::registerFamily<QW_Splitter, int, float, std::wstring, bool, MpBlob>(L"QW_Splitter", qw::TEXT);
}
