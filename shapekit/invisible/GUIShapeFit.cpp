// Scales the node levels into a range given in user units when triggered
// (a range given high to low turns the shape over) and sends the shape back,
// changed or not.
#include "shape_tool.h"

class QW_GUI_ShapeFit : public qw::ShapeToolBase
{
public:
    QW_GUI_ShapeFit()
    {
        initializePin(shapePin, &QW_GUI_ShapeFit::onSetShape);
        initializePin(low_);
        initializePin(high_);
        initializePin(fitL_, &QW_GUI_ShapeFit::onSetFitL);
        initializePin(fitR_, &QW_GUI_ShapeFit::onSetFitR);
    }

private:
    void onSetShape() { receiveShape(); }
    void onSetFitL()
    {
        if (fitL_)
            doFit();
    }
    void onSetFitR()
    {
        if (fitR_)
            doFit();
    }

    void doFit()
    {
        const float lo = qw::clampLevel(qw::yFromUser(low_));
        const float hi = qw::clampLevel(qw::yFromUser(high_));
        const int n = shape.count;
        if (lo == hi)
        {
            for (int i = 0; i < n; ++i)
                shape.nodes[i].y = lo;
            shape.changed = 1;
        }
        else
        {
            float minY = 1.f, maxY = -1.f;
            for (int i = 0; i < n; ++i)
            {
                minY = shape.nodes[i].y < minY ? shape.nodes[i].y : minY;
                maxY = shape.nodes[i].y > maxY ? shape.nodes[i].y : maxY;
            }
            if (minY != maxY)
            {
                const float scale = 1.f / (maxY - minY);
                for (int i = 0; i < n; ++i)
                {
                    const float y = (shape.nodes[i].y - minY) * (hi - lo) * scale + lo;
                    if (y != shape.nodes[i].y)
                        shape.changed = 1;
                    shape.nodes[i].y = y;
                }
            }
            else
            {
                for (int i = 0; i < n; ++i)
                    shape.nodes[i].y = (hi + lo) * 0.5f;
                shape.changed = 1;
            }
        }
        sendShape();
    }

    MpGuiPin<float> low_;
    MpGuiPin<float> high_;
    MpGuiPin<bool> fitL_;
    MpGuiPin<bool> fitR_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUI_ShapeFit", &gmpi::Register<QW_GUI_ShapeFit>::withId);
}
