// Keeps only the selected frames; the selection then covers all of them.
#include "SampleEditorBase.h"

class QW_S2_CropSample final : public SampleEditorBase
{
    void doEdit(int start, int end) override
    {
        const float* frames = source();
        replaceCache(std::vector<float>(frames + start, frames + end + 1));
        start_ = 0;
        end_ = end - start;
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_CropSample", &gmpi::Register<QW_S2_CropSample>::withId);
}
