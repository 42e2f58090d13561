// Running mean of the values a pin receives. Reset true clears it and sends 0;
// while reset is held every value starts the mean again at itself. One class
// for the two identifiers, which the host shows with the mean on its left or
// its right side.
//
// Pins: value, reset, mean.
#include "float_family.h"

class QW_GUIFloatAverage : public MpGuiInvisibleBase
{
public:
    QW_GUIFloatAverage()
    {
        initializePin(value_, &QW_GUIFloatAverage::onSetIn);
        initializePin(reset_, &QW_GUIFloatAverage::onSetReset);
        initializePin(mean_);
    }

private:
    void onSetIn()
    {
        if (reset_)
        {
            count_ = 1.0f;
            sum_ = value_;
        }
        else
        {
            count_ += 1.0f;
            sum_ += value_;
        }
        mean_ = sum_ / count_;
    }
    void onSetReset()
    {
        if (!reset_)
            return;
        count_ = 0.0f;
        sum_ = 0.0f;
        mean_ = 0.0f;
    }

    MpGuiPin<float> value_;
    MpGuiPin<bool> reset_;
    MpGuiPin<float> mean_;
    float count_ = 0.0f;
    float sum_ = 0.0f;
};

namespace
{
auto r1 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatAverageL", &gmpi::Register<QW_GUIFloatAverage>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIFloatAverageR", &gmpi::Register<QW_GUIFloatAverage>::withId);
} // namespace
