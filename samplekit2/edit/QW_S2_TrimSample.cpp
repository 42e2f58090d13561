// Removes the selected frames; the selection is then cleared (both ends -1).
#include "SampleEditorBase.h"

class QW_S2_TrimSample final : public SampleEditorBase
{
    void doEdit(int start, int end) override
    {
        replaceCache(qw::edit::spliced(sample_, start, int64_t{end} - start + 1));
        end_ = -1;
        start_ = -1;
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_TrimSample", &gmpi::Register<QW_S2_TrimSample>::withId);
}
