// The duration of a sample at a rate as minutes, seconds and hundredths; a
// rate that is not above 0 gives 0:00.00. Nothing is computed before the
// module is initialized.
#include "Sample2Pins.h"
#include "measure.h"

class QW_S2_SampleDurationGUI final : public MpGuiInvisibleBase
{
public:
    QW_S2_SampleDurationGUI()
    {
        initializePin(sample_, &QW_S2_SampleDurationGUI::reCalc);
        initializePin(rate_, &QW_S2_SampleDurationGUI::reCalc);
        initializePin(minutes_);
        initializePin(seconds_);
        initializePin(hundredths_);
    }

    int32_t initialize() override
    {
        initialized_ = true;
        reCalc();
        return MpGuiInvisibleBase::initialize();
    }

private:
    void reCalc()
    {
        if (!initialized_)
            return;
        const qw::measure::Duration d = qw::measure::duration(sample_.count(), rate_.getValue());
        minutes_ = d.minutes;
        seconds_ = d.seconds;
        hundredths_ = d.hundredths;
    }

    qw::Sample2GuiPin sample_;
    MpGuiPin<float> rate_;
    MpGuiPin<int> minutes_;
    MpGuiPin<int> seconds_;
    MpGuiPin<int> hundredths_;
    bool initialized_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_SampleDurationGUI",
                        &gmpi::Register<QW_S2_SampleDurationGUI>::withId);
}
