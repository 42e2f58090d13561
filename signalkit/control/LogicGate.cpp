// AND or OR of any number of bool inputs, optionally inverted.
#include "control.h"

#include <memory>
#include <vector>

// 0 enum mode (0 AND, else OR); 1 bool invert; 2 out bool; then one bool input
// per further bool input the host has, at the host's ids (pins of another
// direction or datatype in the host's list are skipped).
class QW_LogicGate final : public MpBase2
{
public:
    int32_t open() override
    {
        initializePin(mode_);
        initializePin(invert_);
        initializePin(out_);
        for (int id : hostPinIds(gmpi::MP_IN, gmpi::MP_BOOL))
        {
            inputs_.push_back(std::make_unique<BoolInPin>());
            initializePin(id, *inputs_.back());
        }
        return MpBase2::open();
    }

    // A change of the mode or the invert pin recomputes too.
    void onSetPins() override
    {
        if (inputs_.empty())
            return;
        bool any = mode_.isUpdated() || invert_.isUpdated();
        for (auto& in : inputs_)
            any = any || in->isUpdated();
        if (!any)
            return;
        const bool isAnd = mode_ == 0;
        bool result = isAnd;
        for (auto& in : inputs_)
            result = isAnd ? (result && *in) : (result || *in);
        out_ = result != invert_;
    }

private:
    EnumInPin mode_;
    BoolInPin invert_;
    BoolOutPin out_;
    std::vector<std::unique_ptr<BoolInPin>> inputs_;
};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_LogicGate>(L"QW_LogicGate");
    return true;
}();
} // namespace
