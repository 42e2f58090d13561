// Sets one node of a shape from user-unit X and Y; an inner node's x stays
// strictly between its neighbours, the end nodes keep their x.
#include "shape_dsp.h"

class QW_ShapeNodeModif2 final : public MpBase2
{
public:
    QW_ShapeNodeModif2()
    {
        initializePin(pinShape_);
        initializePin(pinIndex_);
        initializePin(pinX_);
        initializePin(pinY_);
        initializePin(pinOut_);
    }

    void onSetPins() override
    {
        using qw::dsp::orZero;
        const bool blobChanged = pinShape_.isUpdated();
        if (blobChanged)
            pinShape_.applyTo(shape_);
        out_ = shape_;
        bool changed = false;
        const int i = pinIndex_;
        if (i >= 1 && i < out_.count - 1)
            changed |= out_.setNodeX(i, (orZero(pinX_) + 5.0f) * 0.1f);
        if (i >= 0 && i < out_.count)
        {
            const float y = qw::dsp::userLevel(pinY_);
            if (y != out_.nodes[i].y)
            {
                out_.nodes[i].y = y;
                changed = true;
            }
        }
        if (changed || blobChanged)
            pinOut_.send(out_);
    }

private:
    qw::dsp::ShapeInPin pinShape_;
    IntInPin pinIndex_;
    FloatInPin pinX_;
    FloatInPin pinY_;
    qw::dsp::ShapeOutPin pinOut_;
    qw::Shape shape_; // as received
    qw::Shape out_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_ShapeNodeModif2", &gmpi::Register<QW_ShapeNodeModif2>::withId);
}
