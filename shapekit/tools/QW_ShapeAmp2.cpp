// Scales the node levels of a shape around a centre level, limited to -1 .. 1.
#include "shape_dsp.h"

#include <cmath>

class QW_ShapeAmp2 final : public MpBase2
{
public:
    QW_ShapeAmp2()
    {
        initializePin(pinShape_);
        initializePin(pinCentre_);
        initializePin(pinGain_);
        initializePin(pinOut_);
    }

    void onSetPins() override
    {
        using qw::dsp::clampTo;
        using qw::dsp::orZero;
        const bool blobChanged = pinShape_.isUpdated();
        if (blobChanged)
            pinShape_.applyTo(shape_);
        bool changed = false;
        if (pinCentre_.isUpdated())
        {
            const float c = orZero(pinCentre_) * 0.2f;
            if (c != centre_)
            {
                centre_ = c;
                changed = true;
            }
        }
        if (pinGain_.isUpdated())
        {
            gain_ = orZero(pinGain_);
            changed = true;
        }
        if (!changed && (!blobChanged || shape_.invalid))
            return;
        out_ = shape_;
        if (gain_ != 1.0f)
        {
            const float c = clampTo(centre_, -1.0f, 1.0f);
            for (int i = 0; i < out_.count; ++i)
            {
                // A node on the centre stays there at any gain, infinite included.
                const float d = out_.nodes[i].y - c;
                const float scaled = d == 0.0f ? 0.0f : d * gain_;
                out_.nodes[i].y = clampTo(scaled + c, -1.0f, 1.0f);
            }
        }
        pinOut_.send(out_);
    }

private:
    qw::dsp::ShapeInPin pinShape_;
    FloatInPin pinCentre_;
    FloatInPin pinGain_;
    qw::dsp::ShapeOutPin pinOut_;
    qw::Shape shape_; // as received
    qw::Shape out_;
    float centre_ = 0.0f;
    float gain_ = 1.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_ShapeAmp2", &gmpi::Register<QW_ShapeAmp2>::withId);
}
