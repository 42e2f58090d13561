// One node of a shape as x (0 .. 1) and y (-1 .. 1), or the fallback values
// when the shape or the node is missing.
#include "shape_dsp.h"

#include <cmath>

class QW_ShapeNodeVal final : public MpBase2
{
public:
    QW_ShapeNodeVal()
    {
        initializePin(pinShape_);
        initializePin(pinIndex_);
        initializePin(pinFallbackX_);
        initializePin(pinFallbackY_);
        initializePin(pinX_);
        initializePin(pinY_);
    }

    void onSetPins() override
    {
        using qw::dsp::orZero;
        if (pinShape_.isUpdated())
        {
            pinShape_.applyTo(shape_);
            validCount_ = shape_.invalid ? 0 : shape_.count;
        }
        float x = orZero(pinFallbackX_);
        float y = orZero(pinFallbackY_);
        const int i = pinIndex_;
        if (i >= 0 && i < validCount_)
        {
            const qw::Shape::Node& n = shape_.nodes[i];
            if (!(n.x == -1.0f && n.y == 0.0f))
            {
                // A node value that is not a number reads as 0.
                x = orZero(n.x);
                y = orZero(n.y);
            }
        }
        pinX_ = x;
        pinY_ = y;
    }

private:
    qw::dsp::ShapeInPin pinShape_;
    IntInPin pinIndex_;
    FloatInPin pinFallbackX_;
    FloatInPin pinFallbackY_;
    FloatOutPin pinX_;
    FloatOutPin pinY_;
    qw::Shape shape_;
    int validCount_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_ShapeNodeVal", &gmpi::Register<QW_ShapeNodeVal>::withId);
}
