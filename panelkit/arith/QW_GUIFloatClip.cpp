// A value clipped by the clip mode: 0 to the lower limit, 1 to the upper
// limit, any other value to both (with the lower limit above the upper one,
// values below the lower limit give it, all others the upper limit); a NaN
// passes. Back: a result clipped the same way. A change of a limit acts by the
// range-change mode: 1 recomputes the result, 2 the value from the copies, any
// other value nothing.
//
// Pins: value, lower and upper limit, result left and right, clip mode,
// switch, range-change mode.
#include "float_family.h"

class QW_GUIFloatClip : public qw::Bidirectional<float>
{
public:
    QW_GUIFloatClip()
    {
        registerInputs();
        initializePin(lower_, &QW_GUIFloatClip::onSetRng);
        initializePin(upper_, &QW_GUIFloatClip::onSetRng);
        registerCopies();
        initializePin(clipMode_);
        registerSwitch();
        initializePin(mode_);
    }

private:
    void onSetRng() { onRangeChange(mode_); }

    float clipped(float v) const
    {
        const float lo = lower_, hi = upper_;
        if (clipMode_ == 0)
            return lo > v ? lo : v;
        if (clipMode_ == 1)
            return v > hi ? hi : v;
        return lo > v ? lo : v > hi ? hi : v;
    }

    Values forward() override { return {clipped(in(0))}; }
    Values inverse(const Values& r) override { return {clipped(r[0])}; }

    MpGuiPin<float> lower_, upper_;
    MpGuiPin<int> clipMode_, mode_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatClip", &gmpi::Register<QW_GUIFloatClip>::withId);
} // namespace
