// A value wrapped into a period: 0 <= result <= period (the period itself only
// by float rounding, for a value just below 0), 0 for a period of 0 or less;
// back: a result wrapped the same way. A change of the period acts by the
// range-change mode: 1 recomputes the result, 2 the value from the copies,
// any other value nothing.
//
// Pins: value, period, result left and right, switch, range-change mode.
#include "float_family.h"

class QW_GUIFloatWrap : public qw::Bidirectional<float>
{
public:
    QW_GUIFloatWrap()
    {
        registerInputs();
        initializePin(period_, &QW_GUIFloatWrap::onSetRng);
        registerCopies();
        registerSwitch();
        initializePin(mode_);
    }

private:
    void onSetRng() { onRangeChange(mode_); }

    float wrapped(float v) const
    {
        const float p = period_;
        if (p <= 0.0f)
            return 0.0f;
        // The exact remainder: v / p overflows for a value far beyond the
        // period, and would take the result out of the period.
        const float t = std::fmod(v, p);
        return t < 0.0f ? t + p : t;
    }

    Values forward() override { return {wrapped(in(0))}; }
    Values inverse(const Values& r) override { return {wrapped(r[0])}; }

    MpGuiPin<float> period_;
    MpGuiPin<int> mode_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatWrap", &gmpi::Register<QW_GUIFloatWrap>::withId);
} // namespace
