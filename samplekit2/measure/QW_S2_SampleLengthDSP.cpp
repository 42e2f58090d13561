// The number of frames of a sample (0 for an empty or invalid one).
#include "Sample2Pins.h"

class QW_S2_SampleLengthDSP final : public MpBase2
{
public:
    QW_S2_SampleLengthDSP()
    {
        initializePin(sample_);
        initializePin(length_);
    }

    void onSetPins() override
    {
        if (sample_.changed())
            length_ = sample_.count();
    }

private:
    qw::Sample2InPin sample_;
    IntOutPin length_;
};

namespace
{
auto r =
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_SampleLengthDSP", &gmpi::Register<QW_S2_SampleLengthDSP>::withId);
}
