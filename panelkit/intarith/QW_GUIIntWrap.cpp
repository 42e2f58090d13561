// A value wrapped into 0 .. range - 1, 0 for a range below 1; back: a result
// wrapped the same way. A change of the range acts by the range-change mode:
// 1 recomputes the result, 2 the value from the left copy (the right one when
// the left holds 0), any other value nothing.
//
// Pins: value, range, result left and right, switch, range-change mode.
#include "int_family.h"

class QW_GUIIntWrap : public qw::Bidirectional<int>
{
public:
    QW_GUIIntWrap()
    {
        registerInputs();
        initializePin(range_, &QW_GUIIntWrap::onSetRng);
        registerCopies();
        registerSwitch();
        initializePin(mode_);
    }

private:
    void onSetRng() { onRangeChange(mode_); }

    Values forward() override { return {qw::i32::wrap(in(0), range_)}; }
    Values inverse(const Values& r) override { return {qw::i32::wrap(r[0], range_)}; }

    MpGuiPin<int> range_;
    MpGuiPin<int> mode_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIIntWrap", &gmpi::Register<QW_GUIIntWrap>::withId);
} // namespace
