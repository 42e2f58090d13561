// Older trigger pair: every notification of the interface half's pins, after
// the first five (the host's start values), toggles a bool that the host
// carries to the processing half, where any update of it starts an audio
// pulse at the update's own sample.
#include "bridges.h"

#include <array>

// 0 bool trigger (any update fires); 1 bool ignore the first update; 2 int
// pulse length (samples, 1000 until set); 3 bool invert; 4 out audio pulse.
class QW_GUISet2Trig final : public MpBase2
{
public:
    QW_GUISet2Trig()
    {
        initializePin(trigger_);
        initializePin(ignoreFirstPin_);
        initializePin(lengthPin_);
        initializePin(invertPin_);
        initializePin(out_);
        setSubProcess(&QW_GUISet2Trig::subProcess);
    }

    void onSetPins() override
    {
        if (ignoreFirstPin_.isUpdated())
            ignoreFirst_ = ignoreFirstPin_;
        if (lengthPin_.isUpdated())
            length_ = qw::bridges::pulseLength(lengthPin_);
        if (invertPin_.isUpdated() && invertPin_ != invert_)
        {
            invert_ = invertPin_;
            // At rest the output moves to the new resting level here.
            if (remaining_ == 0)
                wake();
        }
        if (trigger_.isUpdated())
        {
            if (ignoreFirst_ && first_)
            {
                first_ = false;
                return;
            }
            remaining_ = length_;
            wake();
        }
    }

    void subProcess(int sampleFrames)
    {
        const int p = getBlockPosition();
        float* out = out_.getBuffer() + p;
        const float pulse = invert_ ? 0.0f : 1.0f;
        const float rest = invert_ ? 1.0f : 0.0f;
        // Pulse samples while any remain, then, from the first sample with
        // none left, the resting level.
        const int i = static_cast<int>(std::min<int32_t>(sampleFrames, std::max<int32_t>(remaining_, 0)));
        std::fill_n(out, i, pulse);
        remaining_ -= i;
        if (i == sampleFrames)
            return;
        if (out_.isStreaming())
            out_.setStreaming(false, p + i);
        setSleep(true);
        std::fill(out + i, out + sampleFrames, rest);
    }

private:
    // Streams from the current position (the event's own) with sleep off.
    void wake()
    {
        setSleep(false);
        out_.setStreaming(true);
    }

    BoolInPin trigger_;
    BoolInPin ignoreFirstPin_;
    IntInPin lengthPin_;
    BoolInPin invertPin_;
    AudioOutPin out_;
    int32_t length_ = 1000;
    int32_t remaining_ = 0;
    bool first_ = true;
    bool invert_ = false;
    bool ignoreFirst_ = false;
};

// 0-9 watched values (float, int, text, bool, blob, twice); 10 out bool
// toggle, carried to the processing half's trigger.
class QW_GUISet2TrigGUI final : public MpGuiInvisibleBase
{
public:
    QW_GUISet2TrigGUI()
    {
        for (MpGuiPinBase* pin : watched())
            initializePin(*pin, &QW_GUISet2TrigGUI::onSetPins);
        initializePin(toggleOut_);
    }

private:
    void onSetPins()
    {
        if (ignored_ < kIgnored)
        {
            ++ignored_;
            return;
        }
        // Sent whatever the pin holds: the host may have set it since (its
        // start value), and a toggle it swallowed would be a lost trigger.
        const bool value = toggle_;
        pinTransmit(kToggle, 1, &value, 0);
        toggle_ = !toggle_;
    }

    std::array<MpGuiPinBase*, 10> watched()
    {
        return {&f1_, &i1_, &t1_, &b1_, &blob1_, &f2_, &i2_, &t2_, &b2_, &blob2_};
    }

    static constexpr int kIgnored = 5;
    static constexpr int32_t kToggle = 10;

    MpGuiPin<float> f1_;
    MpGuiPin<int> i1_;
    StringGuiPin t1_;
    MpGuiPin<bool> b1_;
    MpGuiPin<MpBlob> blob1_;
    MpGuiPin<float> f2_;
    MpGuiPin<int> i2_;
    StringGuiPin t2_;
    MpGuiPin<bool> b2_;
    MpGuiPin<MpBlob> blob2_;
    MpGuiPin<bool> toggleOut_; // written by the host only: the module sends without storing
    int ignored_ = 0;
    bool toggle_ = true;
};

namespace
{
const bool registered = [] {
    qw::bridges::registerPair<QW_GUISet2Trig, QW_GUISet2TrigGUI>(L"QW_GUISet2Trig");
    return true;
}();
} // namespace
