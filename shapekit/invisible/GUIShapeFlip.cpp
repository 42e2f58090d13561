// Mirrors the shape in time (direction 0) or in level (any other direction)
// when triggered, and sends it back on the pin it came from.
#include "shape_tool.h"

class QW_GUI_ShapeFlip : public qw::ShapeToolBase
{
public:
    QW_GUI_ShapeFlip()
    {
        initializePin(shapePin, &QW_GUI_ShapeFlip::onSetShape);
        initializePin(direction_);
        initializePin(flipL_, &QW_GUI_ShapeFlip::onSetFlipL);
        initializePin(flipR_, &QW_GUI_ShapeFlip::onSetFlipR);
    }

private:
    void onSetShape() { receiveShape(); }
    void onSetFlipL()
    {
        if (flipL_)
            doFlip();
    }
    void onSetFlipR()
    {
        if (flipR_)
            doFlip();
    }

    void doFlip()
    {
        const int n = shape.count;
        if (direction_ != 0)
        {
            for (int i = 0; i < n; ++i)
                shape.nodes[i].y = -shape.nodes[i].y;
        }
        else
        {
            for (int i = 0; i < (n + 1) / 2; ++i)
            {
                const qw::Shape::Node a = shape.nodes[i], b = shape.nodes[n - 1 - i];
                shape.nodes[i] = {1.f - b.x, b.y};
                shape.nodes[n - 1 - i] = {1.f - a.x, a.y};
            }
        }
        shape.changed = 1;
        sendShape();
    }

    MpGuiPin<int> direction_;
    MpGuiPin<bool> flipL_;
    MpGuiPin<bool> flipR_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUI_ShapeFlip", &gmpi::Register<QW_GUI_ShapeFlip>::withId);
}
