// A trigger for one menu item: a selection equal to the watched item number
// (0 or more) pulses the output.
#include "../logic/family.h"

class QW_MenuSel2TrigB : public MpGuiInvisibleBase
{
public:
    QW_MenuSel2TrigB()
    {
        initializePin(selection_, &QW_MenuSel2TrigB::onSetSelIn);
        initializePin(item_);
        initializePin(trigger_);
    }

private:
    void onSetSelIn()
    {
        if (selection_ >= 0 && selection_ == item_)
            qw::pulse(trigger_);
    }

    MpGuiPin<int> selection_;
    MpGuiPin<int> item_;
    MpGuiPin<bool> trigger_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_MenuSel2TrigB", &gmpi::Register<QW_MenuSel2TrigB>::withId);
}
