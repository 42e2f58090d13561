// Pulses a bool output on every notification of an int pin (a program change),
// whatever its value and whether or not it changed.
#include "family.h"

class QW_GUIPC2Trig : public MpGuiInvisibleBase
{
public:
    QW_GUIPC2Trig()
    {
        initializePin(program_, &QW_GUIPC2Trig::onSetPC);
        initializePin(trigger_);
    }

private:
    void onSetPC() { qw::pulse(trigger_); }

    MpGuiPin<int> program_;
    MpGuiPin<bool> trigger_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIPC2Trig", &gmpi::Register<QW_GUIPC2Trig>::withId);
}
