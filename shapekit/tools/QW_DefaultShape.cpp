// A shape with a fallback: the incoming shape when its blob is accepted, else
// the shape text, else the flat default. Sent after every blob change.
#include "shape_dsp.h"

#include <string>

class QW_DefaultShape final : public MpBase2
{
public:
    QW_DefaultShape()
    {
        initializePin(pinShape_);
        initializePin(pinText_);
        initializePin(pinOut_);
    }

    void onSetPins() override
    {
        if (!pinShape_.isUpdated())
            return;
        pinShape_.applyTo(shape_);
        if (shape_.invalid)
        {
            shape_.setString(pinText_.getValue());
            if (shape_.invalid)
                shape_.setString(flat_);
        }
        pinOut_.send(shape_);
    }

private:
    qw::dsp::ShapeInPin pinShape_;
    StringInPin pinText_;
    qw::dsp::ShapeOutPin pinOut_;
    qw::Shape shape_;
    const std::wstring flat_ = L"(-5,0)(5,0)"; // made here, not while processing
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_DefaultShape", &gmpi::Register<QW_DefaultShape>::withId);
}
