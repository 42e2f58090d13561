// A normalised value moved by delta x scale on each delta, held within 0 .. 1.
// A delta of 0 or NaN changes nothing.
//
// Pins: value, scale, delta.
#include "increment.h"

class QW_PMInc : public MpGuiInvisibleBase
{
public:
    QW_PMInc()
    {
        initializePin(value_);
        initializePin(scale_);
        initializePin(delta_, &QW_PMInc::onSetDelta);
    }

private:
    void onSetDelta()
    {
        float v;
        if (qw::accumulated(delta_, scale_, value_, 0.0f, 1.0f, v))
            value_ = v;
    }

    MpGuiPin<float> value_, scale_, delta_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_PMInc", &gmpi::Register<QW_PMInc>::withId);
} // namespace
