// A double click resets a value: a counted click that comes within the time
// window of the last counted one writes the reset value to the output. A
// notification of the mouse pin counts when the pin differs from the idle
// level (presses with idle level false, releases with true). Time is the
// interface thread's steady clock; the first click is measured from its zero.
#include "../logic/family.h"
#include "steady_clock.h"

class QW_DblClckRes : public MpGuiInvisibleBase
{
public:
    QW_DblClckRes()
    {
        initializePin(value_);
        initializePin(resetValue_);
        initializePin(windowMs_);
        initializePin(mouseDown_, &QW_DblClckRes::onSetMouseDown);
        initializePin(idleLevel_);
    }

private:
    void onSetMouseDown()
    {
        if (mouseDown_ == idleLevel_)
            return;
        const int64_t now = gmpi_gui::steadyClockNanoseconds();
        const double sinceMs = static_cast<double>(now - lastClick_) / 1000000.0;
        // A NaN window resets nothing.
        if (static_cast<double>(windowMs_.getValue()) >= sinceMs)
            value_ = resetValue_.getValue();
        lastClick_ = now;
    }

    MpGuiPin<float> value_;
    MpGuiPin<float> resetValue_;
    MpGuiPin<float> windowMs_;
    MpGuiPin<bool> mouseDown_;
    MpGuiPin<bool> idleLevel_;
    int64_t lastClick_ = 0; // steady-clock nanoseconds of the last counted click
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_DblClckRes", &gmpi::Register<QW_DblClckRes>::withId);
}
