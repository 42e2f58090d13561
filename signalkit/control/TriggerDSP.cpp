// Value latches: on a true trigger the output takes the value input. Int, float
// and text outputs send only changes; the blob latch sends the bytes on every
// trigger. The text latch keeps the text it sent in storage of its own,
// reserved up front and grown only in the call in which the input itself
// receives a text longer than any before, so a trigger never allocates.
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
        if constexpr (kText)
            sent_.reserve(kReservedText);
    }

    void onSetPins() override
    {
        if constexpr (kText)
            if (value_.isUpdated() && value_.getValue().size() > sent_.capacity())
                sent_.reserve(value_.getValue().size());
        if (!trigger_.isUpdated() || !trigger_)
            return;
        if constexpr (std::is_same_v<T, MpBlob>)
        {
            const MpBlob& b = value_.getValue();
            out_.sendPinUpdate(b.getSize(), b.getData());
        }
        else if constexpr (kText)
        {
            const std::wstring& text = value_.getValue();
            if (text == sent_)
                return;
            sent_.assign(text); // fits the storage: no allocation
            out_.sendPinUpdate(static_cast<int>(sent_.size() * sizeof(wchar_t)), sent_.data());
        }
        else
            out_ = value_.getValue();
    }

private:
    static constexpr bool kText = std::is_same_v<T, std::wstring>;
    static constexpr size_t kReservedText = 1024; // characters: 4 KiB of pin value

    MpControlPin<T, gmpi::MP_IN, Datatype> value_;
    BoolInPin trigger_;
    MpControlPin<T, gmpi::MP_OUT, Datatype> out_;
    std::wstring sent_; // the text latch's last text sent (unused by the others)
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
