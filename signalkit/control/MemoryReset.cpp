// Set/reset latches on audio gates (on at 0.5 or above) that pass one of two
// inputs: the first while reset, the second while set. QW_MemoryReset reacts
// to gate levels, QW_MemoryReset2 to rising crossings of 0.5. The output's
// streaming state follows the passed input; the latch sleeps when no input
// streams.
#include "control.h"

// 0 in audio passed while reset; 1 in audio passed while set; 2 in audio set
// gate; 3 in audio reset gate; 4 out audio.
template <bool Edges> class MemoryResetBase : public MpBase2
{
public:
    MemoryResetBase()
    {
        initializePin(in_[0]);
        initializePin(in_[1]);
        initializePin(gate_[0]);
        initializePin(gate_[1]);
        initializePin(out_);
        setSubProcess(&MemoryResetBase::subProcess);
    }

    void onSetPins() override
    {
        if (in_[set_ ? 1 : 0].isUpdated())
            streamingUpdate_ = true;
        setSleep(false);
    }

    void subProcess(int sampleFrames)
    {
        const int p = getBlockPosition();
        const float* in[2] = {in_[0].getBuffer() + p, in_[1].getBuffer() + p};
        const float* gate[2] = {gate_[0].getBuffer() + p, gate_[1].getBuffer() + p};
        float* out = out_.getBuffer() + p;
        for (int i = 0; i < sampleFrames; ++i)
        {
            // While reset only the set gate counts, while set only the reset gate.
            const int g = set_ ? 1 : 0;
            const float now = gate[g][i];
            const bool on = Edges ? (now >= 0.5f && previous_[g] < 0.5f) : now >= 0.5f;
            if (Edges)
            {
                previous_[0] = gate[0][i];
                previous_[1] = gate[1][i];
            }
            if (on)
            {
                set_ = !set_;
                const int passed = set_ ? 1 : 0;
                out[i] = in[passed][i];
                out_.setStreaming(in_[passed].isStreaming(), p + i);
            }
            else
            {
                const int passed = set_ ? 1 : 0;
                out[i] = in[passed][i];
                if (streamingUpdate_)
                {
                    streamingUpdate_ = false;
                    out_.setStreaming(in_[passed].isStreaming(), p + i);
                }
            }
        }
        if (!in_[0].isStreaming() && !in_[1].isStreaming() && !gate_[0].isStreaming() && !gate_[1].isStreaming())
            setSleep(true);
    }

private:
    AudioInPin in_[2];
    AudioInPin gate_[2];
    AudioOutPin out_;
    float previous_[2] = {0.0f, 0.0f};
    bool set_ = false;
    bool streamingUpdate_ = false;
};

class QW_MemoryReset final : public MemoryResetBase<false>
{};

class QW_MemoryReset2 final : public MemoryResetBase<true>
{};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_MemoryReset>(L"QW_MemoryReset");
    qw::control::registerModule<QW_MemoryReset2>(L"QW_MemoryReset2");
    return true;
}();
} // namespace
