// Scales the selected frames so that their peak magnitude becomes the target
// level (a factor, or in dB). A silent selection, one with an infinite
// frame, or a target that is no number or infinite changes nothing and
// publishes nothing.
#include "SampleEditorBase.h"
#include "edit_maths.h"

#include <cmath>

class QW_S2_NormSample final : public SampleEditorBase
{
public:
    QW_S2_NormSample()
    {
        initializePin(dB_);
        initializePin(level_);
    }

private:
    void doEdit(int start, int end) override
    {
        float target;
        if (!qw::edit::gainFactor(level_, dB_, target))
            return;
        const float* frames = source();
        float peak = 0.0f;
        for (int i = start; i <= end; ++i)
        {
            const float a = std::fabs(frames[i]);
            if (a > peak) // a NaN frame never counts
                peak = a;
        }
        if (!(peak > 0.0f && peak <= std::numeric_limits<float>::max()))
            return;
        auto& x = editable();
        const double scale = static_cast<double>(target) / peak;
        for (int i = start; i <= end; ++i)
            x[static_cast<size_t>(i)] = qw::edit::saturated(x[static_cast<size_t>(i)] * scale);
        sendCache();
    }

    MpGuiPin<bool> dB_;
    MpGuiPin<float> level_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_NormSample", &gmpi::Register<QW_S2_NormSample>::withId);
}
