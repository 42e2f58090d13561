// The value of one frame of a sample, once both the sample and the position
// have arrived: the position is kept inside the sample; an empty or invalid
// sample leaves the value as it was.
#include "Sample2Pins.h"
#include "measure.h"

class QW_S2_SampleValueGUI final : public MpGuiInvisibleBase
{
public:
    QW_S2_SampleValueGUI()
    {
        initializePin(sample_, &QW_S2_SampleValueGUI::onSetData);
        initializePin(position_, &QW_S2_SampleValueGUI::onSetPos);
        initializePin(value_);
    }

private:
    void onSetData()
    {
        haveSample_ = true;
        upDate();
    }
    void onSetPos()
    {
        havePosition_ = true;
        upDate();
    }
    void upDate()
    {
        if (haveSample_ && havePosition_ && sample_.count() > 0)
            value_ = qw::measure::valueAt(sample_.frames(), sample_.count(), position_);
    }

    qw::Sample2GuiPin sample_;
    MpGuiPin<int> position_;
    MpGuiPin<float> value_;
    bool haveSample_ = false;
    bool havePosition_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_SampleValueGUI", &gmpi::Register<QW_S2_SampleValueGUI>::withId);
}
