// Turns the selected frames upside down (x becomes -x).
#include "SampleEditorBase.h"

class QW_S2_InvertSample final : public SampleEditorBase
{
    void doEdit(int start, int end) override
    {
        auto& x = editable();
        for (int i = start; i <= end; ++i)
            x[static_cast<size_t>(i)] = -x[static_cast<size_t>(i)];
        sendCache();
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_InvertSample", &gmpi::Register<QW_S2_InvertSample>::withId);
}
