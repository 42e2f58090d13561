// A trigger on an output pair whenever an accepted shape blob brings another
// node count than the last one; quiet on the first shape and refused blobs.
#include "shape_tool.h"

class QW_GUI_NumNodesChanged : public MpGuiInvisibleBase
{
public:
    QW_GUI_NumNodesChanged()
    {
        initializePin(shape_, &QW_GUI_NumNodesChanged::onSetShape);
        initializePin(changedL_);
        initializePin(changedR_);
    }

private:
    void onSetShape()
    {
        const qw::Shape s = qw::shapeOf(shape_.getValue());
        if (s.invalid)
            return;
        if (s.count != lastCount_ && lastCount_ != 0)
            qw::pulsePair(changedL_, changedR_);
        lastCount_ = s.count;
    }

    MpGuiPin<MpBlob> shape_;
    MpGuiPin<bool> changedL_;
    MpGuiPin<bool> changedR_;
    int32_t lastCount_ = 0;
};

namespace
{
auto r =
    RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUI_NumNodesChanged", &gmpi::Register<QW_GUI_NumNodesChanged>::withId);
}
