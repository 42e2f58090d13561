// Inserts a node at a position and level given in user units when triggered,
// and sends the shape back on the pin it came from.
#include "shape_tool.h"

class QW_GUI_AddNode : public qw::ShapeToolBase
{
public:
    QW_GUI_AddNode()
    {
        initializePin(shapePin, &QW_GUI_AddNode::onSetShape);
        initializePin(x_, &QW_GUI_AddNode::onSetX);
        initializePin(y_, &QW_GUI_AddNode::onSetY);
        initializePin(triggerL_, &QW_GUI_AddNode::onSetTriggerL);
        initializePin(triggerR_, &QW_GUI_AddNode::onSetTriggerR);
    }

private:
    void onSetShape()
    {
        if (receiveShape())
            shapeReceived_ = true;
    }
    void onSetX() { xReceived_ = true; }
    void onSetY() { yReceived_ = true; }
    void onSetTriggerL()
    {
        if (triggerL_)
            addNode();
    }
    void onSetTriggerR()
    {
        if (triggerR_)
            addNode();
    }

    void addNode()
    {
        if (!shapeReceived_ || !xReceived_ || !yReceived_)
            return;
        if (shape.addNode({qw::xFromUser(x_), qw::yFromUser(y_)}) < 0)
            return;
        sendShape();
    }

    MpGuiPin<float> x_;
    MpGuiPin<float> y_;
    MpGuiPin<bool> triggerL_;
    MpGuiPin<bool> triggerR_;
    bool shapeReceived_ = false;
    bool xReceived_ = false;
    bool yReceived_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUI_AddNode", &gmpi::Register<QW_GUI_AddNode>::withId);
}
