// An audio pulse of a set level and length whenever a watched input is set or a
// MIDI message arrives; the output is reported static outside the pulse.
#include "qw_pulse.h"
#include "set_trigger.h"

#include <algorithm>
#include <cstdint>

// 0-5 watched (int, float, bool, text, blob, MIDI); 6 out audio; 7 float level
// (V); 8 int length (samples); 9 bool ignore initial values.
class QW_Set2Trigger final : public MpBase2
{
public:
    using MpBase2::onMidiMessage;

    QW_Set2Trigger()
    {
        in_.initialize(*this);
        initializePin(out_);
        initializePin(level_);
        initializePin(length_);
        initializePin(ignoreInitial_);
        setSubProcess(&QW_Set2Trigger::subProcess);
    }

    void onGraphStart() override { out_.setStreaming(false); }

    void onSetPins() override
    {
        if (qw::control::fires(in_, firstUpdate_, ignoreInitial_))
            start();
    }

    void onMidiMessage(int, const unsigned char*, int) override { start(); }

    void subProcess(int sampleFrames)
    {
        qw::writePulse(*this, out_, remaining_, 0.1f * qw::control::finite(level_), sampleFrames);
    }

private:
    void start()
    {
        remaining_ = std::max<int32_t>(1, length_);
        out_.setStreaming(false);
        setSleep(false);
    }

    qw::control::WatchedInputs in_;
    AudioOutPin out_;
    FloatInPin level_;
    IntInPin length_;
    BoolInPin ignoreInitial_;
    int32_t remaining_ = 0;
    bool firstUpdate_ = true;
};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_Set2Trigger>(L"QW_Set2Trigger");
    return true;
}();
} // namespace
