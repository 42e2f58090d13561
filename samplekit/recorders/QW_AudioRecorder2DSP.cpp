// Records its signal while the record pin is true, into memory that grows as
// the recording goes on (at least the length step, 48000 frames or more, at a
// time). When record turns false the recording goes, as the output list
// says, out on the sample and frame count outputs (0), to the interface half
// (1), or both (2). A recording also ends there at kMaxRecordingFrames or
// where memory runs out.
#include "HandOver.h"
#include "SamplePins.h"

#include "mp_sdk_audio.h"

#include <algorithm>

class QW_AudioRecorder2DSP : public MpBase2
{
public:
    QW_AudioRecorder2DSP()
    {
        initializePin(signal_);
        initializePin(record_);
        initializePin(lengthStep_);
        initializePin(outputList_);
        initializePin(sample_);
        initializePin(frameCount_);
    }

    void onSetPins() override
    {
        if (lengthStep_.isUpdated())
            step_ = std::max(lengthStep_.getValue(), 48000);
        if (!record_.isUpdated())
            return;
        if (record_)
            begin();
        // While the module counts down to sleep, a new routine is only the
        // saved one until the next span: a stop before any span still stops.
        else if (saveSubProcess_ == static_cast<SubProcess_ptr>(&QW_AudioRecorder2DSP::subProcessRec))
            finish(getBlockPosition());
    }

    void subProcessRec(int sampleFrames)
    {
        const size_t wanted = static_cast<size_t>(count_) + static_cast<size_t>(sampleFrames);
        size_t n = static_cast<size_t>(sampleFrames);
        if (wanted > recordings_.capacity() && !recordings_.reserve(wanted, static_cast<size_t>(step_)))
            n = recordings_.capacity() - static_cast<size_t>(count_);
        if (n)
            std::copy_n(signal_.getBuffer() + getBlockPosition(), n, recordings_.frames() + count_);
        count_ += static_cast<int32_t>(n);
        if (n < static_cast<size_t>(sampleFrames))
            finish(getBlockPosition() + static_cast<int>(n));
    }

private:
    void begin()
    {
        if (!recordings_.begin())
            return; // no memory: no recording
        count_ = 0;
        setSubProcess(&QW_AudioRecorder2DSP::subProcessRec);
        setSleep(false);
    }

    void finish(int blockPosition)
    {
        setSubProcess(&MpBase2::subProcessNothing);
        setSleep(true);
        const int64_t k = static_cast<int64_t>(outputList_.getValue()) + 1;
        if (k & 1)
        {
            sample_.send(recordings_.frames(), static_cast<size_t>(count_), blockPosition);
            frameCount_.setValue(count_, blockPosition);
        }
        qw::HandOverMessage m;
        if ((k & 2) && recordings_.prepare(count_, m) && getHost())
            getHost()->sendMessageToGui(0, sizeof m, &m);
    }

    AudioInPin signal_;
    BoolInPin record_;
    IntInPin lengthStep_;
    EnumInPin outputList_; // 0 outputs, 1 interface half, 2 both
    qw::SampleOutPin sample_;
    IntOutPin frameCount_;

    qw::RecordingSender recordings_;
    int32_t step_ = 48000;
    int32_t count_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_AudioRecorder2", &gmpi::Register<QW_AudioRecorder2DSP>::withId);
}
