// Removes an inner node by index when triggered, and sends the shape back on
// the pin it came from. The first and last nodes stay.
#include "shape_tool.h"

#include <cstring>

class QW_GUI_RemNode : public qw::ShapeToolBase
{
public:
    QW_GUI_RemNode()
    {
        initializePin(shapePin, &QW_GUI_RemNode::onSetShape);
        initializePin(index_, &QW_GUI_RemNode::onSetIndex);
        initializePin(triggerL_, &QW_GUI_RemNode::onSetTriggerL);
        initializePin(triggerR_, &QW_GUI_RemNode::onSetTriggerR);
    }

private:
    void onSetShape()
    {
        if (receiveShape())
            shapeReceived_ = true;
    }
    void onSetIndex() { indexReceived_ = true; }
    void onSetTriggerL()
    {
        if (triggerL_)
            remNode();
    }
    void onSetTriggerR()
    {
        if (triggerR_)
            remNode();
    }

    void remNode()
    {
        const int32_t i = index_;
        if (!shapeReceived_ || !indexReceived_ || i <= 0 || i >= shape.count - 1)
            return;
        std::memmove(&shape.nodes[i], &shape.nodes[i + 1],
                     static_cast<size_t>(shape.count - 1 - i) * sizeof(qw::Shape::Node));
        --shape.count;
        shape.changed = 1;
        sendShape();
    }

    MpGuiPin<int> index_;
    MpGuiPin<bool> triggerL_;
    MpGuiPin<bool> triggerR_;
    bool shapeReceived_ = false;
    bool indexReceived_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUI_RemNode", &gmpi::Register<QW_GUI_RemNode>::withId);
}
