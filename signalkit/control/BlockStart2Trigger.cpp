// A bool pulse at the start of every block the host runs.
#include "control.h"

// 0 out bool.
class QW_BlockStart2Trigger final : public MpBase2
{
public:
    QW_BlockStart2Trigger() { initializePin(out_); }

    // Events are not needed: the pulse is all the module does.
    void process(int32_t, const gmpi::MpEvent*) override
    {
        out_.setValue(true, 0);
        out_.setValue(false, 1);
    }

private:
    BoolOutPin out_;
};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_BlockStart2Trigger>(L"QW_BlockStart2Trigger");
    return true;
}();
} // namespace
