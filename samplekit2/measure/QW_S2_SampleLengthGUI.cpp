// The number of frames of a sample (0 for an empty or invalid one).
#include "Sample2Pins.h"

class QW_S2_SampleLengthGUI final : public MpGuiInvisibleBase
{
public:
    QW_S2_SampleLengthGUI()
    {
        initializePin(sample_, &QW_S2_SampleLengthGUI::onSetData);
        initializePin(length_);
    }

private:
    void onSetData() { length_ = sample_.count(); }

    qw::Sample2GuiPin sample_;
    MpGuiPin<int> length_;
};

namespace
{
auto r =
    RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_SampleLengthGUI", &gmpi::Register<QW_S2_SampleLengthGUI>::withId);
}
