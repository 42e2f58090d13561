// The duration of a sample at a rate as minutes, seconds and hundredths; a
// rate that is not above 0 is the host's sample rate.
#include "Sample2Pins.h"
#include "measure.h"

class QW_S2_SampleDurationDSP final : public MpBase2
{
public:
    QW_S2_SampleDurationDSP()
    {
        initializePin(sample_);
        initializePin(rate_);
        initializePin(minutes_);
        initializePin(seconds_);
        initializePin(hundredths_);
    }

    void onSetPins() override
    {
        double rate = rate_;
        if (!(rate > 0.0))
            rate = getSampleRate();
        const qw::measure::Duration d = qw::measure::duration(sample_.count(), rate);
        minutes_ = d.minutes;
        seconds_ = d.seconds;
        hundredths_ = d.hundredths;
    }

private:
    qw::Sample2InPin sample_;
    FloatInPin rate_;
    IntOutPin minutes_;
    IntOutPin seconds_;
    IntOutPin hundredths_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_SampleDurationDSP",
                        &gmpi::Register<QW_S2_SampleDurationDSP>::withId);
}
