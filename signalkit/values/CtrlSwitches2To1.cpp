// Two-to-one selectors for control values: the select pin names the input
// whose updates pass to the output. Every update of the selected input is
// passed on, equal or not; a change of the selection alone passes the newly
// selected value only when pin 3 asks for it, otherwise the output follows at
// that input's next update.
#include "value_pins.h"

// 0 in T: first value; 1 in T: second value; 2 in bool: select the second;
// 3 in bool: pass the value on when the selection changes; 4 out T.
template <class T> class QW_Switch2To1 final : public MpBase2
{
public:
    QW_Switch2To1()
    {
        initializePin(first_);
        initializePin(second_);
        initializePin(selectSecond_);
        initializePin(passOnSelect_);
        initializePin(out_);
    }

    void onSetPins() override
    {
        const qw::ValueInPin<T>& chosen = selectSecond_ ? second_ : first_;
        // Sent straight as the output's value: nothing is compared or stored.
        if (chosen.isUpdated() || (selectSecond_.isUpdated() && passOnSelect_))
            out_.sendPinUpdate(chosen.rawSize(), chosen.rawData());
    }

private:
    qw::ValueInPin<T> first_;
    qw::ValueInPin<T> second_;
    BoolInPin selectSecond_;
    BoolInPin passOnSelect_;
    qw::ValueOutPin<T> out_;
};

namespace
{
const bool registered = [] {
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_FloatSwitch2To1", &gmpi::Register<QW_Switch2To1<float>>::withId);
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_IntSwitch2To1", &gmpi::Register<QW_Switch2To1<int>>::withId);
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BoolSwitch2To1", &gmpi::Register<QW_Switch2To1<bool>>::withId);
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_StringSwitch2To1",
                   &gmpi::Register<QW_Switch2To1<std::wstring>>::withId);
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BlobSwitch2To1", &gmpi::Register<QW_Switch2To1<MpBlob>>::withId);
    return true;
}();
} // namespace
