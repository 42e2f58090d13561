// Value latches: on a true trigger the output takes the value input. Int, float
// and text outputs send only changes; the blob latch sends the bytes on every
// trigger.
#include "control.h"

#include <string>
#include <type_traits>

// 0 in T value; 1 in bool trigger; 2 out T.
template <class T, int Datatype> class QW_TriggerDSP final : public MpBase2
{
public:
    QW_TriggerDSP()
    {
        initializePin(value_);
        initializePin(trigger_);
        initializePin(out_);
    }

    void onSetPins() override
    {
        if (!trigger_.isUpdated() || !trigger_)
            return;
        if constexpr (std::is_same_v<T, MpBlob>)
        {
            const MpBlob& b = value_.getValue();
            out_.sendPinUpdate(b.getSize(), b.getData());
        }
        else
            out_ = value_.getValue();
    }

private:
    MpControlPin<T, gmpi::MP_IN, Datatype> value_;
    BoolInPin trigger_;
    MpControlPin<T, gmpi::MP_OUT, Datatype> out_;
};

namespace
{
const bool registered = [] {
    using namespace qw::control;
    registerModule<QW_TriggerDSP<int, gmpi::MP_INT32>>(L"QW_TriggerIntDSP");
    registerModule<QW_TriggerDSP<float, gmpi::MP_FLOAT32>>(L"QW_TriggerFloatDSP");
    registerModule<QW_TriggerDSP<std::wstring, gmpi::MP_STRING>>(L"QW_TriggerStringDSP");
    registerModule<QW_TriggerDSP<MpBlob, gmpi::MP_BLOB>>(L"QW_TriggerBlobDSP");
    return true;
}();
} // namespace
