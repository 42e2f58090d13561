// Moves the whole shape in level so that its highest (mode 0) or lowest
// (other modes) node lands on a level given in user units, clamping nodes
// pushed past -1 or 1; sends the shape back whether or not it moved.
#include "shape_tool.h"

class QW_GUI_ShapeSnap : public qw::ShapeToolBase
{
public:
    QW_GUI_ShapeSnap()
    {
        initializePin(shapePin, &QW_GUI_ShapeSnap::onSetShape);
        initializePin(mode_);
        initializePin(level_);
        initializePin(snapL_, &QW_GUI_ShapeSnap::onSetSnapL);
        initializePin(snapR_, &QW_GUI_ShapeSnap::onSetSnapR);
    }

private:
    void onSetShape() { receiveShape(); }
    void onSetSnapL()
    {
        if (snapL_)
            doSnap();
    }
    void onSetSnapR()
    {
        if (snapR_)
            doSnap();
    }

    void doSnap()
    {
        const float level = qw::yFromUser(level_);
        const int n = shape.count;
        float e = mode_ == 0 ? -1.f : 1.f;
        for (int i = 0; i < n; ++i)
        {
            const float y = shape.nodes[i].y;
            if (mode_ == 0 ? y > e : y < e)
                e = y;
        }
        const float d = level - e;
        if (d != 0.f)
        {
            for (int i = 0; i < n; ++i)
            {
                const float y = qw::clampLevel(shape.nodes[i].y + d);
                if (y != shape.nodes[i].y)
                    shape.changed = 1;
                shape.nodes[i].y = y;
            }
        }
        sendShape();
    }

    MpGuiPin<int> mode_;
    MpGuiPin<float> level_;
    MpGuiPin<bool> snapL_;
    MpGuiPin<bool> snapR_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUI_ShapeSnap", &gmpi::Register<QW_GUI_ShapeSnap>::withId);
}
