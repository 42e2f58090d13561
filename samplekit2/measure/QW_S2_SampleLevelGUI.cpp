// The peak level of a range of a sample and the position of its first peak
// frame, linear, x 10 or in decibels, once the units, the sample, the start
// and the end have all arrived. An empty or invalid sample changes nothing.
#include "Sample2Pins.h"
#include "measure.h"

class QW_S2_SampleLevelGUI final : public MpGuiInvisibleBase
{
public:
    QW_S2_SampleLevelGUI()
    {
        initializePin(units_, &QW_S2_SampleLevelGUI::onSetUnits);
        initializePin(sample_, &QW_S2_SampleLevelGUI::onSetData);
        initializePin(start_, &QW_S2_SampleLevelGUI::onSetStart);
        initializePin(end_, &QW_S2_SampleLevelGUI::onSetEnd);
        initializePin(level_);
        initializePin(position_);
    }

private:
    enum Arrival
    {
        UNITS = 1,
        SAMPLE = 2,
        START = 4,
        END = 8,
        ALL = 15
    };

    void onSetUnits() { arrived(UNITS); }
    void onSetData() { arrived(SAMPLE); }
    void onSetStart() { arrived(START); }
    void onSetEnd() { arrived(END); }

    void arrived(int pin)
    {
        arrived_ |= pin;
        upDate();
    }

    void upDate()
    {
        if (arrived_ != ALL || sample_.count() <= 0)
            return;
        const qw::measure::Level l = qw::measure::level(sample_.frames(), sample_.count(), start_, end_, units_);
        position_ = l.position;
        level_ = l.level;
    }

    MpGuiPin<int> units_;
    qw::Sample2GuiPin sample_;
    MpGuiPin<int> start_;
    MpGuiPin<int> end_;
    MpGuiPin<float> level_;
    MpGuiPin<int> position_;
    int arrived_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_SampleLevelGUI", &gmpi::Register<QW_S2_SampleLevelGUI>::withId);
}
