// A value mapped linearly from an input range to an output range; back: a
// result mapped into the input range. A change of any range end acts by the
// range-change mode: 0 recomputes the result, 1 the value from the left copy,
// 2 from the right copy, any other value nothing.
//
// Pins: switch, range-change mode, value, input range ends, output range
// ends, result left and right.
#include "float_family.h"

class QW_GUIFloatRngScal2 : public qw::Bidirectional<float>
{
public:
    QW_GUIFloatRngScal2()
    {
        registerSwitch();
        initializePin(mode_);
        registerInputs();
        initializePin(in1_, &QW_GUIFloatRngScal2::onSetRng);
        initializePin(in2_, &QW_GUIFloatRngScal2::onSetRng);
        initializePin(out1_, &QW_GUIFloatRngScal2::onSetRng);
        initializePin(out2_, &QW_GUIFloatRngScal2::onSetRng);
        registerCopies();
    }

private:
    void onSetRng()
    {
        if (mode_ == 0)
            updateOutputs();
        else if (mode_ == 1)
            updateInput({left_[0]});
        else if (mode_ == 2)
            updateInput({right_[0]});
    }

    Values forward() override { return {qw::mapRange(in(0), in1_, in2_, out1_, out2_)}; }
    Values inverse(const Values& r) override { return {qw::mapRange(r[0], out1_, out2_, in1_, in2_)}; }

    MpGuiPin<float> in1_, in2_, out1_, out2_;
    MpGuiPin<int> mode_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatRngScal2", &gmpi::Register<QW_GUIFloatRngScal2>::withId);
} // namespace
