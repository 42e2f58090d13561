// A float value moved by delta x scale on each delta, held within minimum ..
// maximum (below the minimum gives the minimum, else above the maximum the
// maximum). A delta of 0 or NaN changes nothing.
//
// Pins: value, minimum, maximum, scale, delta.
#include "increment.h"

class QW_FloatInc : public MpGuiInvisibleBase
{
public:
    QW_FloatInc()
    {
        initializePin(value_);
        initializePin(minimum_);
        initializePin(maximum_);
        initializePin(scale_);
        initializePin(delta_, &QW_FloatInc::onSetDelta);
    }

private:
    void onSetDelta()
    {
        float v;
        if (qw::accumulated(delta_, scale_, value_, minimum_, maximum_, v))
            value_ = v;
    }

    MpGuiPin<float> value_, minimum_, maximum_, scale_, delta_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_FloatInc", &gmpi::Register<QW_FloatInc>::withId);
} // namespace
