// Gain module that reports every framework call it receives, and obeys
// commands that drive its streaming and sleep state.
#include "probe_log.h"

#include <algorithm>

class QW_TestProbe : public MpBase2
{
public:
    enum Command
    {
        OUTPUT_STATIC = 1,
        OUTPUT_STREAMING = 2,
        SLEEP_ON = 3,
        SLEEP_OFF = 4,
        ROUTINE_MARKER = 5,
        ROUTINE_GAIN = 6,
        REPORT_LATENCY = 7,
        SEND_MIDI = 8,
    };

    static constexpr float kMarker = 0.25f;

    QW_TestProbe()
    {
        initializePin(signal_);
        initializePin(value_);
        initializePin(command_);
        initializePin(flag_, &QW_TestProbe::onSetFlag);
        initializePin(text_);
        initializePin(blob_);
        initializePin(midiIn_);
        initializePin(mode_);
        initializePin(output_);
        initializePin(valueOut_);
        initializePin(textOut_);
        initializePin(midiOut_);
        initializePin(flagOut_);
        initializePin(blobOut_);
        initializePin(countOut_);
        setSubProcess(&QW_TestProbe::subProcessGain);
    }

    int32_t updatedMask() const
    {
        return (signal_.isUpdated() << 0) | (value_.isUpdated() << 1) | (command_.isUpdated() << 2) |
               (flag_.isUpdated() << 3) | (text_.isUpdated() << 4) | (blob_.isUpdated() << 5) |
               (mode_.isUpdated() << 7);
    }

    void subProcessGain(int sampleFrames)
    {
        probeLog(this, LOG_SPAN, {getBlockPosition(), sampleFrames, updatedMask()});
        const float* in = signal_.getBuffer() + getBlockPosition();
        float* out = output_.getBuffer() + getBlockPosition();
        const float gain = value_;
        for (int i = 0; i < sampleFrames; ++i)
            out[i] = in[i] * gain;
    }

    // Second routine, told apart by what it writes.
    void subProcessMarker(int sampleFrames)
    {
        probeLog(this, LOG_SPAN, {getBlockPosition(), sampleFrames, updatedMask()});
        std::fill_n(output_.getBuffer() + getBlockPosition(), sampleFrames, kMarker);
    }

    void onSetFlag(const gmpi::MpEvent* e)
    {
        probeLog(this, LOG_HANDLER, {getBlockPosition(), e->eventType, updatedMask()});
    }

    void onSetPins() override
    {
        probeLog(this, LOG_SET_PINS, {getBlockPosition(), updatedMask()});
        if (signal_.isUpdated())
            output_.setStreaming(signal_.isStreaming());
        valueOut_ = value_.getValue();
        textOut_ = text_.getValue();
        flagOut_ = flag_.getValue();
        blobOut_ = blob_.getValue();
        if (!command_.isUpdated())
            return;
        switch (command_.getValue())
        {
        case OUTPUT_STATIC:
            output_.setStreaming(false);
            break;
        case OUTPUT_STREAMING:
            output_.setStreaming(true);
            break;
        case SLEEP_ON:
            setSleep(true);
            break;
        case SLEEP_OFF:
            setSleep(false);
            break;
        case ROUTINE_MARKER:
            setSubProcess(&QW_TestProbe::subProcessMarker);
            break;
        case ROUTINE_GAIN:
            setSubProcess(&QW_TestProbe::subProcessGain);
            break;
        case REPORT_LATENCY:
            if (getProcessorHost())
                getProcessorHost()->setLatency(64);
            break;
        case SEND_MIDI:
        {
            const unsigned char noteOn[3] = {0x90, 60, 100};
            midiOut_.send(noteOn, 3);
            break;
        }
        default:
            break;
        }
        countOut_ = command_.getValue();
    }

    void onMidiMessage(int pin, const unsigned char* data, int size) override
    {
        probeLog(this, LOG_MIDI,
                 {getBlockPosition(), size, size > 0 ? data[0] : -1, size > 1 ? data[1] : -1, size > 2 ? data[2] : -1});
        midiOut_.send(data, size);
    }

    void onGraphStart() override
    {
        probeLog(this, LOG_GRAPH_START, {getBlockPosition()});
        MpBase2::onGraphStart();
    }

    using MpPluginBase::receiveMessageFromGui;
    int32_t receiveMessageFromGui(int32_t id, int32_t size, const void*) override
    {
        probeLog(this, LOG_GUI_MESSAGE, {id, size});
        return 7;
    }

private:
    AudioInPin signal_;
    FloatInPin value_;
    IntInPin command_;
    BoolInPin flag_;
    StringInPin text_;
    BlobInPin blob_;
    MidiInPin midiIn_;
    EnumInPin mode_;
    AudioOutPin output_;
    FloatOutPin valueOut_;
    StringOutPin textOut_;
    MidiOutPin midiOut_;
    BoolOutPin flagOut_;
    BlobOutPin blobOut_;
    IntOutPin countOut_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_TestProbe", &gmpi::Register<QW_TestProbe>::withId);
}
