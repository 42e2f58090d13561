// Samples a value onto its two outputs when a trigger fires: on the trigger
// going true, or in release mode on its going false after it was true. The
// left and right trigger pins share one armed flag.
#include "family.h"

template <class T> class QW_Trigger2 : public MpGuiInvisibleBase
{
public:
    QW_Trigger2()
    {
        initializePin(value_);
        initializePin(outL_);
        initializePin(triggerL_, &QW_Trigger2::onSetTrgL);
        initializePin(triggerR_, &QW_Trigger2::onSetTrgR);
        initializePin(outR_);
        initializePin(releaseMode_);
    }

private:
    void onSetTrgL() { handleTrigger(triggerL_); }
    void onSetTrgR() { handleTrigger(triggerR_); }

    void handleTrigger(bool level)
    {
        if (level)
        {
            if (!releaseMode_)
                sample();
            armed_ = true;
        }
        else
        {
            if (releaseMode_ && armed_)
                sample();
            armed_ = false;
        }
    }

    void sample()
    {
        outR_ = value_;
        outL_ = outR_;
    }

    qw::Pin<T> value_;
    qw::Pin<T> outL_;
    MpGuiPin<bool> triggerL_;
    MpGuiPin<bool> triggerR_;
    qw::Pin<T> outR_;
    MpGuiPin<bool> releaseMode_;
    bool armed_ = false;
};

namespace
{
auto r = qw::registerFamily<QW_Trigger2, int, float, std::wstring, bool, MpBlob>(L"QW_Trigger", qw::STRING, L"2");
}
