// Tangent of an angle: unit 0 radians through the C library, 1 degrees and
// any other unit turns through the fast sine and cosine polynomials (a quarter
// turn gives negative infinity); back: the arc tangent in the unit.
//
// Pins: switch, unit, angle, tangent left and right. The left copy is written
// first, under the guard; the right copy after it.
#include "float_family.h"

class QW_GUIFloatTan : public qw::Bidirectional<float>
{
public:
    QW_GUIFloatTan()
    {
        registerSwitch();
        initializePin(unit_);
        initializePin(in_[0], &QW_GUIFloatTan::onSetAngle);
        registerLeft(0);
        registerRight(0);
    }

private:
    void onSetAngle()
    {
        if (guardRaised())
            return;
        const float t = forward()[0];
        {
            qw::EchoGuard::Raise raise(guard_);
            left_[0] = t;
        }
        right_[0] = t;
    }

    Values forward() override
    {
        const float a = in(0);
        if (unit_ == 0)
            return {std::tan(a)};
        // Folded into [-1/4, 1/4) turns, where the polynomials hold.
        float u = unit_ == 1 ? a / 360.0f : a;
        u = u - std::floor(2.0f * u + 0.5f) * 0.5f;
        const float s = u < 0.0f ? -1.0f : 1.0f;
        const float v = s * u;
        return {s * qw::fm::detail::sinQuarter(v) / qw::fm::detail::cosQuarter(v)};
    }

    Values inverse(const Values& r) override
    {
        const float a = std::atan(r[0]);
        return {unit_ == 0 ? a : unit_ == 1 ? a * 0.31830987f * 180.0f : a * 0.31830987f * 0.5f};
    }

    MpGuiPin<int> unit_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatTan", &gmpi::Register<QW_GUIFloatTan>::withId);
} // namespace
