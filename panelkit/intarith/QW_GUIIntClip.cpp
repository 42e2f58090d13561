// A value clipped by the clip mode: 0 to the lower limit, 1 to the upper
// limit, any other value to both, the lower limit first (so with the lower
// limit above the upper one, every value gives the upper limit). Back: a
// result clipped the same way. A change of a limit acts by the range-change
// mode: 1 recomputes the result, 2 the value from the left copy (the right
// one when the left holds 0), any other value nothing.
//
// Pins: value, lower and upper limit, result left and right, clip mode,
// switch, range-change mode.
#include "int_family.h"

class QW_GUIIntClip : public qw::Bidirectional<int>
{
public:
    QW_GUIIntClip()
    {
        registerInputs();
        initializePin(lower_, &QW_GUIIntClip::onSetRng);
        initializePin(upper_, &QW_GUIIntClip::onSetRng);
        registerCopies();
        initializePin(clipMode_);
        registerSwitch();
        initializePin(mode_);
    }

private:
    void onSetRng() { onRangeChange(mode_); }

    int clipped(int v) const
    {
        const int lo = lower_, hi = upper_;
        if (clipMode_ == 0)
            return v < lo ? lo : v;
        if (clipMode_ == 1)
            return hi < v ? hi : v;
        const int t = v < lo ? lo : v;
        return hi < t ? hi : t;
    }

    Values forward() override { return {clipped(in(0))}; }
    Values inverse(const Values& r) override { return {clipped(r[0])}; }

    MpGuiPin<int> lower_, upper_;
    MpGuiPin<int> clipMode_, mode_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIIntClip", &gmpi::Register<QW_GUIIntClip>::withId);
} // namespace
