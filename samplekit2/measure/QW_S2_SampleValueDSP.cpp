// The value of one frame of a sample: the position is kept inside the sample;
// an empty or invalid sample gives 0.
#include "Sample2Pins.h"
#include "measure.h"

class QW_S2_SampleValueDSP final : public MpBase2
{
public:
    QW_S2_SampleValueDSP()
    {
        initializePin(sample_);
        initializePin(position_);
        initializePin(value_);
    }

    void onSetPins() override
    {
        value_ = sample_.count() > 0 ? qw::measure::valueAt(sample_.frames(), sample_.count(), position_) : 0.0f;
    }

private:
    qw::Sample2InPin sample_;
    IntInPin position_;
    FloatOutPin value_;
};

namespace
{
auto r =
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_SampleValueDSP", &gmpi::Register<QW_S2_SampleValueDSP>::withId);
}
