// A click toggles a switch: each press inverts both switch pins, each from its
// own value (two unequal pins stay unequal).
#include "../logic/family.h"

class QW_ToggleSwitch : public MpGuiInvisibleBase
{
public:
    QW_ToggleSwitch()
    {
        initializePin(switch1_);
        initializePin(switch2_);
        initializePin(mouseDown_, &QW_ToggleSwitch::onSetMouseDown);
    }

private:
    void onSetMouseDown()
    {
        if (!mouseDown_)
            return;
        switch1_ = !switch1_;
        switch2_ = !switch2_;
    }

    MpGuiPin<bool> switch1_;
    MpGuiPin<bool> switch2_;
    MpGuiPin<bool> mouseDown_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_ToggleSwitch", &gmpi::Register<QW_ToggleSwitch>::withId);
}
