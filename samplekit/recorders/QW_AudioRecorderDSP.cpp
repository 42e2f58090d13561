// Records its signal into memory that grows as the recording goes on.
//
// Gate mode: a recording starts at the sample where the gate rises above 0
// (a gate already high at the first sample counts as rising) and lasts while
// it stays there. Streaming mode: a recording starts while the signal streams
// and lasts while it does. A recording holds at most the length step (at
// least 100000 frames) while grow is off and stops at the sample that finds
// it full; with grow on it holds one step more each time it fills, up to
// kMaxRecordingFrames, and it also stops where memory runs out. A gate-mode
// recording that stopped full waits for the gate to fall and rise again.
//
// At the sample where a recording stops, its frames go out on the sample
// output, their count on the frame count output, and the recording is handed
// to the interface half.
#include "HandOver.h"

#include "mp_sdk_audio.h"

#include <algorithm>

class QW_AudioRecorderDSP : public MpBase2
{
public:
    QW_AudioRecorderDSP()
    {
        initializePin(signal_);
        initializePin(gate_);
        initializePin(mode_);
        initializePin(grow_);
        initializePin(lengthStep_);
        initializePin(sample_);
        initializePin(frameCount_);
        setSubProcess(&QW_AudioRecorderDSP::subProcess);
        setSleep(false);
    }

    void onSetPins() override
    {
        if (mode_.isUpdated())
            streamingMode_ = mode_ == 1;
    }

    void subProcess(int sampleFrames)
    {
        const int start = getBlockPosition();
        const float* in = signal_.getBuffer() + start;
        const float* gate = gate_.getBuffer() + start;
        const bool streaming = signal_.isStreaming();
        for (int i = 0; i < sampleFrames; ++i)
        {
            const bool high = gate[i] > 0.0f; // NaN is low
            if (!recording_)
            {
                if (streamingMode_ ? streaming : high && !gateWasHigh_)
                    begin(in[i]);
            }
            else if (!(streamingMode_ ? streaming : high) || !append(in[i]))
                finish(start + i);
            gateWasHigh_ = high;
        }
    }

private:
    void begin(float first)
    {
        step_ = std::clamp<int64_t>(lengthStep_.getValue(), 100000, qw::kMaxRecordingFrames);
        if (!recordings_.begin() || !recordings_.reserve(1, static_cast<size_t>(step_)))
            return; // no memory: no recording
        recordings_.frames()[0] = first;
        count_ = 1;
        size_ = step_;
        recording_ = true;
    }

    // False when the recording is full (the sample is not taken).
    bool append(float x)
    {
        if (count_ == size_)
        {
            // Grow as the pin says now: turned off, the recording stops here.
            if (!grow_ || size_ >= static_cast<int64_t>(qw::kMaxRecordingFrames))
                return false;
            size_ = std::min<int64_t>(size_ + step_, qw::kMaxRecordingFrames);
        }
        if (static_cast<size_t>(count_) == recordings_.capacity() &&
            !recordings_.reserve(static_cast<size_t>(count_) + 1, static_cast<size_t>(step_)))
            return false;
        recordings_.frames()[count_++] = x;
        return true;
    }

    void finish(int blockPosition)
    {
        recording_ = false;
        const int32_t count = static_cast<int32_t>(count_);
        sample_.sendPinUpdate(count * 4, recordings_.frames(), blockPosition);
        frameCount_.setValue(count, blockPosition);
        qw::HandOverMessage m;
        if (recordings_.prepare(count, m) && getHost())
            getHost()->sendMessageToGui(0, sizeof m, &m);
    }

    AudioInPin signal_;
    AudioInPin gate_;
    EnumInPin mode_; // 0 gate, 1 streaming
    BoolInPin grow_;
    IntInPin lengthStep_;
    BlobOutPin sample_;
    IntOutPin frameCount_;

    qw::RecordingSender recordings_;
    bool streamingMode_ = false;
    bool recording_ = false;
    bool gateWasHigh_ = false;
    int64_t step_ = 100000;
    int64_t size_ = 0; // frames the recording may hold before it grows or stops
    int64_t count_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_AudioRecorder", &gmpi::Register<QW_AudioRecorderDSP>::withId);
}
