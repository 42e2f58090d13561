// The negation of a bool.
#include "control.h"

// 0 in bool; 1 out bool.
class QW_BoolInverter final : public MpBase2
{
public:
    QW_BoolInverter()
    {
        initializePin(in_);
        initializePin(out_);
    }
    void onSetPins() override { out_ = !in_; }

private:
    BoolInPin in_;
    BoolOutPin out_;
};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_BoolInverter>(L"QW_BoolInverter");
    return true;
}();
} // namespace
