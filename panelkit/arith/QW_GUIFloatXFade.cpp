// Cross-fade between two floats: (1 - f) a + f b, the fade f clamped to
// [0, 1] (a NaN passes). With the switch on, a value arriving on the result
// sets the inputs to (1 - f) r and f r. A change of the fade acts by the
// fade-change mode: 1 recomputes the result, 2 the inputs, any other value
// nothing.
//
// Pins: first and second input, fade, switch, fade-change mode, result.
#include "float_family.h"

class QW_GUIFloatXFade : public MpGuiInvisibleBase
{
public:
    QW_GUIFloatXFade()
    {
        initializePin(a_, &QW_GUIFloatXFade::onSetIns);
        initializePin(b_, &QW_GUIFloatXFade::onSetIns);
        initializePin(fade_, &QW_GUIFloatXFade::onSetFade);
        initializePin(bidirectional_);
        initializePin(mode_);
        initializePin(result_, &QW_GUIFloatXFade::onSetOut);
        expectOwnEchoes();
    }

private:
    void onSetIns()
    {
        if (!guard_.raised())
            setOutput();
    }
    void onSetFade()
    {
        if (mode_ == 1)
            setOutput();
        else if (mode_ == 2)
            setInputs();
    }
    void onSetOut()
    {
        if (bidirectional_)
            setInputs();
    }

    float fade() const
    {
        const float f = fade_;
        return f < 0.0f ? 0.0f : f > 1.0f ? 1.0f : f;
    }
    void setOutput()
    {
        const float f = fade();
        result_ = ((1.0f - f) * a_) + (f * b_);
    }
    void setInputs()
    {
        qw::EchoGuard::Raise raise(guard_);
        const float f = fade(), r = result_;
        a_ = (1.0f - f) * r;
        b_ = r * f;
    }

    MpGuiPin<float> a_, b_, fade_;
    MpGuiPin<bool> bidirectional_;
    MpGuiPin<int> mode_;
    MpGuiPin<float> result_;
    qw::EchoGuard guard_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatXFade", &gmpi::Register<QW_GUIFloatXFade>::withId);
} // namespace
