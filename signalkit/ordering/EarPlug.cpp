// Protective mute: each span the host's block and events cut is copied when
// every sample of it lies within the threshold, and silenced as a whole when
// any sample is beyond it or not finite. The span is the unit it protects,
// so where the silence falls depends on the host's block size. A threshold
// that is not a number silences everything but exact zeros.
#include "ordering.h"

namespace
{
using namespace qw::maths;
} // namespace

// 0 a in x; 1 float threshold in volts; 2 a out.
class QW_EarPlug final : public AudioFrame<1, 1, 1, Streaming::Always, FloatInPin>
{
public:
    QW_EarPlug() { setSubProcess(&QW_EarPlug::subProcess); }
    void onSetPins() override { reconcileStreaming(); }
    void subProcess(int n)
    {
        float t = std::fabs(option_[0].getValue() * 0.1f);
        t = t <= FLT_MAX ? t : (t > 0.0f ? FLT_MAX : 0.0f); // infinite: the largest float; NaN: 0
        const float* x = in(0);
        float* y = out(0);
        bool within = true;
        for (int i = 0; i < n; ++i)
            within &= std::fabs(x[i]) <= t; // false for NaN and, t being finite, for +-Inf
        if (within)
            std::copy_n(x, n, y);
        else
            std::fill_n(y, n, 0.0f);
    }
};

namespace
{
const bool registered = [] {
    registerModule<QW_EarPlug>(L"QW_EarPlug");
    return true;
}();
} // namespace
