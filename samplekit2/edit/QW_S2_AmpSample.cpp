// Multiplies the selected frames by a gain, given as a factor or in dB. A
// gain that is no number or infinite changes nothing.
#include "SampleEditorBase.h"
#include "edit_maths.h"

class QW_S2_AmpSample final : public SampleEditorBase
{
public:
    QW_S2_AmpSample()
    {
        initializePin(dB_);
        initializePin(gain_);
    }

private:
    void doEdit(int start, int end) override
    {
        float g;
        if (!qw::edit::gainFactor(gain_, dB_, g))
            return;
        auto& x = editable();
        for (int i = start; i <= end; ++i)
            x[static_cast<size_t>(i)] = qw::edit::saturated(static_cast<double>(x[static_cast<size_t>(i)]) * g);
        sendCache();
    }

    MpGuiPin<bool> dB_;
    MpGuiPin<float> gain_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_AmpSample", &gmpi::Register<QW_S2_AmpSample>::withId);
}
