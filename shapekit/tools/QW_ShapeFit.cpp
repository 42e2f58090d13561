// Fits the node levels of a shape into a range: the lowest node goes to the
// low bound, the highest to the high bound, the others in proportion.
#include "shape_dsp.h"

class QW_ShapeFit final : public MpBase2
{
public:
    QW_ShapeFit()
    {
        initializePin(pinShape_);
        initializePin(pinLow_);
        initializePin(pinHigh_);
        initializePin(pinOut_);
    }

    void onSetPins() override
    {
        const bool blobChanged = pinShape_.isUpdated();
        if (blobChanged)
            pinShape_.applyTo(shape_);
        const float lo = qw::dsp::userLevel(pinLow_);
        const float hi = qw::dsp::userLevel(pinHigh_);
        out_ = shape_;
        const int n = out_.count;
        if (lo == hi)
        {
            for (int i = 0; i < n; ++i)
                out_.nodes[i].y = lo;
            pinOut_.send(out_);
            return;
        }
        float mn = 1.0f, mx = -1.0f;
        for (int i = 0; i < n; ++i)
        {
            const float y = out_.nodes[i].y;
            if (y < mn)
                mn = y;
            if (y > mx)
                mx = y;
        }
        if (mn == mx)
        {
            for (int i = 0; i < n; ++i)
                out_.nodes[i].y = (hi + lo) * 0.5f;
            pinOut_.send(out_);
            return;
        }
        const float scale = (hi - lo) / (mx - mn);
        bool changed = false;
        for (int i = 0; i < n; ++i)
        {
            const float y = (out_.nodes[i].y - mn) * scale + lo;
            changed |= y != out_.nodes[i].y;
            out_.nodes[i].y = y;
        }
        if (changed || blobChanged)
            pinOut_.send(out_);
    }

private:
    qw::dsp::ShapeInPin pinShape_;
    FloatInPin pinLow_;
    FloatInPin pinHigh_;
    qw::dsp::ShapeOutPin pinOut_;
    qw::Shape shape_; // as received
    qw::Shape out_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_ShapeFit", &gmpi::Register<QW_ShapeFit>::withId);
}
