// Reverses the order of the selected frames.
#include "SampleEditorBase.h"

#include <algorithm>

class QW_S2_FlipSample final : public SampleEditorBase
{
    void doEdit(int start, int end) override
    {
        auto& x = editable();
        std::reverse(x.begin() + start, x.begin() + end + 1);
        sendCache();
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_FlipSample", &gmpi::Register<QW_S2_FlipSample>::withId);
}
