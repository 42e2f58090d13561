// Moves one node of a shape by modulation amounts in -1 .. 1: x towards a
// neighbour, y towards +1 or -1. Every change starts again from the incoming
// shape, so modulation never accumulates.
#include "shape_dsp.h"

#include <cmath>

class QW_ShapeNodeModul2 final : public MpBase2
{
public:
    QW_ShapeNodeModul2()
    {
        initializePin(pinShape_);
        initializePin(pinIndex_);
        initializePin(pinModX_);
        initializePin(pinModY_);
        initializePin(pinOut_);
    }

    void onSetPins() override
    {
        using qw::dsp::clampTo;
        using qw::dsp::orZero;
        bool changed = false;
        if (pinShape_.isUpdated())
        {
            pinShape_.applyTo(shape_);
            changed = true;
        }
        const int v = pinIndex_;
        const int i = v >= -1 && v < shape_.count ? v : -1;
        if (i != index_)
        {
            index_ = i;
            changed = true;
        }
        if (pinModX_.isUpdated())
        {
            const float m = clampTo(orZero(pinModX_), -1.0f, 1.0f);
            if (m != modX_)
            {
                modX_ = m;
                changed |= index_ >= 0;
            }
        }
        if (pinModY_.isUpdated())
        {
            const float m = clampTo(orZero(pinModY_), -1.0f, 1.0f);
            if (m != modY_)
            {
                modY_ = m;
                changed |= index_ >= 0;
            }
        }
        if (!changed)
            return;
        out_ = shape_;
        if (index_ >= 0)
        {
            qw::Shape::Node* n = out_.nodes;
            const int k = index_;
            if (k >= 1 && k < out_.count - 1)
            {
                const float x = modX_ > 0.0f ? (1.0f - modX_) * n[k].x + modX_ * n[k + 1].x
                                             : (1.0f + modX_) * n[k].x - modX_ * n[k - 1].x;
                out_.setNodeX(k, x);
            }
            n[k].y = clampTo((1.0f - std::fabs(modY_)) * n[k].y + modY_, -1.0f, 1.0f);
        }
        pinOut_.send(out_);
    }

private:
    qw::dsp::ShapeInPin pinShape_;
    IntInPin pinIndex_;
    FloatInPin pinModX_;
    FloatInPin pinModY_;
    qw::dsp::ShapeOutPin pinOut_;
    qw::Shape shape_; // as received
    qw::Shape out_;
    int index_ = -1;
    float modX_ = 0.0f;
    float modY_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_ShapeNodeModul2", &gmpi::Register<QW_ShapeNodeModul2>::withId);
}
