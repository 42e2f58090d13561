// The node count of a shape blob on an output pair; 0 for a refused blob.
#include "shape_tool.h"

class QW_GUI_NumNodes : public MpGuiInvisibleBase
{
public:
    QW_GUI_NumNodes()
    {
        initializePin(shape_, &QW_GUI_NumNodes::onSetShape);
        initializePin(countL_);
        initializePin(countR_);
    }

private:
    void onSetShape()
    {
        const qw::Shape s = qw::shapeOf(shape_.getValue());
        qw::writePair(countL_, countR_, s.invalid ? 0 : static_cast<int>(s.count));
    }

    MpGuiPin<MpBlob> shape_;
    MpGuiPin<int> countL_;
    MpGuiPin<int> countR_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUI_NumNodes", &gmpi::Register<QW_GUI_NumNodes>::withId);
}
