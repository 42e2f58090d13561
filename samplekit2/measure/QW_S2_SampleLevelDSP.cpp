// The peak level of a range of a sample and the position of its first peak
// frame, linear, x 10 or in decibels. An empty or invalid sample gives 0 (or
// -infinity dB) at position -1.
#include "Sample2Pins.h"
#include "measure.h"

class QW_S2_SampleLevelDSP final : public MpBase2
{
public:
    QW_S2_SampleLevelDSP()
    {
        initializePin(sample_);
        initializePin(start_);
        initializePin(end_);
        initializePin(units_);
        initializePin(level_);
        initializePin(position_);
    }

    void onSetPins() override
    {
        if (sample_.count() <= 0)
        {
            level_ = qw::measure::levelOfNothing(units_);
            position_ = -1;
            return;
        }
        const qw::measure::Level l = qw::measure::level(sample_.frames(), sample_.count(), start_, end_, units_);
        position_ = l.position;
        level_ = l.level;
    }

private:
    qw::Sample2InPin sample_;
    IntInPin start_;
    IntInPin end_;
    EnumInPin units_;
    FloatOutPin level_;
    IntOutPin position_;
};

namespace
{
auto r =
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_SampleLevelDSP", &gmpi::Register<QW_S2_SampleLevelDSP>::withId);
}
