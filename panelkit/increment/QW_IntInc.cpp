// An integer value moved by delta x scale on each delta, keeping the fraction
// between deltas: a float accumulator moves and is held within minimum ..
// maximum (below the minimum gives the minimum, else above the maximum the
// maximum), and the value is the accumulator truncated toward zero. A value
// set from outside restarts the accumulator from it; a delta of 0 or NaN
// changes nothing.
//
// Pins: value, minimum, maximum, scale, delta.
#include "../logic/family.h"
#include "increment.h"
#include "skin_text.h"

class QW_IntInc : public MpGuiInvisibleBase
{
public:
    QW_IntInc()
    {
        initializePin(value_, &QW_IntInc::onSetValue);
        initializePin(minimum_);
        initializePin(maximum_);
        initializePin(scale_);
        initializePin(delta_, &QW_IntInc::onSetDelta);
        expectOwnEchoes();
    }

private:
    void onSetValue()
    {
        if (!guard_.raised())
            accumulator_ = static_cast<float>(value_);
    }
    void onSetDelta()
    {
        if (!qw::accumulated(delta_, scale_, accumulator_, static_cast<float>(minimum_), static_cast<float>(maximum_),
                             accumulator_))
            return;
        qw::EchoGuard::Raise raise(guard_);
        value_ = skin::toInt32(accumulator_);
    }

    MpGuiPin<int> value_, minimum_, maximum_;
    MpGuiPin<float> scale_, delta_;
    float accumulator_ = 0.0f;
    qw::EchoGuard guard_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_IntInc", &gmpi::Register<QW_IntInc>::withId);
} // namespace
