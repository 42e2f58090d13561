// The position of one node of a shape (x in 0..1, y in -1..1 as the shape
// holds them), or the default pins when there is no such node.
#include "shape_tool.h"

class QW_GUI_ShapeNodeVal : public qw::ShapeToolBase
{
public:
    QW_GUI_ShapeNodeVal()
    {
        initializePin(defaultX_);
        initializePin(defaultY_);
        initializePin(shapePin, &QW_GUI_ShapeNodeVal::onSetShape);
        initializePin(index_, &QW_GUI_ShapeNodeVal::onSetIndex);
        initializePin(x_);
        initializePin(y_);
    }

private:
    void onSetShape()
    {
        shapeReceived_ = true;
        validCount_ = 0;
        if (!receiveShape())
            return;
        validCount_ = shape.count;
        if (indexReceived_)
            onSetIndex();
    }

    void onSetIndex()
    {
        indexReceived_ = true;
        if (!shapeReceived_)
            return;
        float x = defaultX_, y = defaultY_;
        const int32_t i = index_;
        if (validCount_ != 0 && i >= 0 && i < shape.count)
        {
            x = shape.nodes[i].x;
            y = shape.nodes[i].y;
        }
        x_ = x;
        y_ = y;
    }

    MpGuiPin<float> defaultX_;
    MpGuiPin<float> defaultY_;
    MpGuiPin<int> index_;
    MpGuiPin<float> x_;
    MpGuiPin<float> y_;
    int32_t validCount_ = 0;
    bool shapeReceived_ = false;
    bool indexReceived_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUI_ShapeNodeVal", &gmpi::Register<QW_GUI_ShapeNodeVal>::withId);
}
