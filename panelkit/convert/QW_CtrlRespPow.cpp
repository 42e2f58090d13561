// A control position through a power response curve, and back: the response
// is the position to the power 1 / exponent, the way back the response to
// the power exponent (a negative exponent counts as 0). Bipolar, the curve
// runs from the middle (0.5) out to either end.
//
//   pin 0  position (left)   both ways
//   pin 1  exponent          acts from the next conversion
//   pin 2  bipolar           acts from the next conversion
//   pin 3  response (right)  both ways
#include "../arith/bidirectional.h"
#include "qw_fm.h"

#include <cmath>

class QW_CtrlRespPow : public qw::Bidirectional<float>
{
public:
    QW_CtrlRespPow()
    {
        registerInputs();
        initializePin(exponent_);
        initializePin(bipolar_);
        registerRight(0);
        convertsBothWays();
    }

private:
    Results forward() override { return {curve(in(0), true)}; }
    Values inverse(const Results& r) override { return {curve(r[0], false)}; }

    // x through the curve forward (t^(1/e)) or backward (t^e), t being x, or
    // bipolar its distance from the middle doubled, clamped to [0, 1]; a NaN
    // position counts as 0.
    float curve(float x, bool forward) const
    {
        if (x != x)
            x = 0.0f;
        const float e = exponent_ > 0.0f ? exponent_.getValue() : 0.0f;
        float t = bipolar_ ? 2.0f * std::fabs(x - 0.5f) : x;
        t = t < 0.0f ? 0.0f : t > 1.0f ? 1.0f : t;
        float y;
        if (e == 0.0f)
            y = forward ? (t == 0.0f ? 0.0f : 1.0f) : (t == 1.0f ? 1.0f : 0.0f);
        else if (t == 0.0f)
            y = 0.0f;
        else
        {
            // 2^z with z = log2(t) times 1/e or e. t <= 1, so z <= 0: the
            // approximate logarithm of values at 1 (slightly above 0) times a
            // large exponent must not give more than 1, nor infinity; 0
            // times infinity counts as 0.
            const float z = (forward ? 1.0f / e : e) * qw::fm::log2Acc(t);
            y = qw::fm::exp2Acc(z != z ? 0.0f : z > 0.0f ? 0.0f : z);
        }
        if (!bipolar_)
            return y;
        return x < 0.5f ? 0.5f - 0.5f * y : 0.5f + 0.5f * y;
    }

    MpGuiPin<float> exponent_;
    MpGuiPin<bool> bipolar_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_CtrlRespPow", &gmpi::Register<QW_CtrlRespPow>::withId);
} // namespace
