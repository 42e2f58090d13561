// A one-sample bool pulse whenever a watched input is set or a MIDI message
// arrives.
#include "set_trigger.h"

// 0-5 watched (int, float, bool, text, blob, MIDI); 6 out bool; 7 bool ignore initial values.
class QW_Set2TriggerBool final : public MpBase2
{
public:
    using MpBase2::onMidiMessage;

    QW_Set2TriggerBool()
    {
        in_.initialize(*this);
        initializePin(out_);
        initializePin(ignoreInitial_);
    }

    void onSetPins() override
    {
        if (qw::control::fires(in_, firstUpdate_, ignoreInitial_))
            pulse();
    }

    void onMidiMessage(int, const unsigned char*, int) override { pulse(); }

private:
    void pulse()
    {
        out_ = true;
        out_.setValue(false, getBlockPosition() + 1);
    }

    qw::control::WatchedInputs in_;
    BoolOutPin out_;
    BoolInPin ignoreInitial_;
    bool firstUpdate_ = true;
};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_Set2TriggerBool>(L"QW_Set2TriggerBool");
    return true;
}();
} // namespace
