// A value mapped linearly from an input range to an output range; back: a
// result mapped into the input range. The range-change mode says what a
// change of a range end does: 1 recomputes the result after an input-range
// change, 2 the value after an output-range change (from the left copy, or
// the right one when the left holds 0), 3 both, any other value nothing.
//
// Pins: value, input range ends, output range ends, result left and right,
// switch, range-change mode.
#include "float_family.h"

class QW_GUIFloatRngScal : public qw::Bidirectional<float>
{
public:
    QW_GUIFloatRngScal()
    {
        registerInputs();
        initializePin(in1_, &QW_GUIFloatRngScal::onSetRngIn);
        initializePin(in2_, &QW_GUIFloatRngScal::onSetRngIn);
        initializePin(out1_, &QW_GUIFloatRngScal::onSetRngOut);
        initializePin(out2_, &QW_GUIFloatRngScal::onSetRngOut);
        registerCopies();
        registerSwitch();
        initializePin(mode_);
    }

private:
    void onSetRngIn()
    {
        if (mode_ == 1 || mode_ == 3)
            updateOutputs();
    }
    void onSetRngOut()
    {
        if (mode_ == 2 || mode_ == 3)
            updateInputFromCopies();
    }

    Values forward() override { return {qw::mapRange(in(0), in1_, in2_, out1_, out2_)}; }
    Values inverse(const Values& r) override { return {qw::mapRange(r[0], out1_, out2_, in1_, in2_)}; }

    MpGuiPin<float> in1_, in2_, out1_, out2_;
    MpGuiPin<int> mode_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatRngScal", &gmpi::Register<QW_GUIFloatRngScal>::withId);
} // namespace
