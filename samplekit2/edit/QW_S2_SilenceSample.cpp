// Sets the selected frames to 0.
#include "SampleEditorBase.h"

#include <algorithm>

class QW_S2_SilenceSample final : public SampleEditorBase
{
    void doEdit(int start, int end) override
    {
        auto& x = editable();
        std::fill(x.begin() + start, x.begin() + end + 1, 0.0f);
        sendCache();
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_SilenceSample", &gmpi::Register<QW_S2_SilenceSample>::withId);
}
