// Smooths the selected frames with a low-pass of a given width (1 to 1024
// frames; below 2 counts as 1), plainly or treating the selection as one
// cycle.
#include "SampleEditorBase.h"
#include "edit_maths.h"

#include <algorithm>

class QW_S2_SmoothSample final : public SampleEditorBase
{
public:
    QW_S2_SmoothSample()
    {
        initializePin(width_);
        initializePin(cyclic_);
    }

private:
    void doEdit(int start, int end) override
    {
        // Every result comes from the frames before the command.
        std::vector<float> smoothed;
        qw::edit::smooth(source(), count(), start, end, width_, cyclic_, smoothed);
        auto& x = editable();
        std::copy(smoothed.begin(), smoothed.end(), x.begin() + start);
        sendCache();
    }

    MpGuiPin<int> width_;
    MpGuiPin<bool> cyclic_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_SmoothSample", &gmpi::Register<QW_S2_SmoothSample>::withId);
}
