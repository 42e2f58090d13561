// Reads two tables from the host's shared memory: one independent of the
// sample rate, one per rate. The instance the host names fills them.
#include "mp_sdk_audio.h"

class QW_TestShared : public MpBase2
{
public:
    static constexpr int kSize = 1024;

    QW_TestShared()
    {
        initializePin(output_);
        initializePin(filled_);
        setSubProcess(&QW_TestShared::subProcessTable);
    }

    int32_t open() override
    {
        int32_t fill = 0;
        void* p = nullptr;
        getHost()->allocateSharedMemory(L"QW TEST TABLE", &p, -1.0f, kSize * 4, fill);
        table_ = static_cast<float*>(p);
        if (table_ && fill)
            for (int i = 0; i < kSize; ++i)
                table_[i] = 0.5f * i;
        int filled = fill;
        p = nullptr;
        fill = 0;
        getHost()->allocateSharedMemory(L"QW TEST RATE TABLE", &p, getSampleRate(), 4, fill);
        if (p && fill)
            *static_cast<float*>(p) = getSampleRate();
        filled += fill;
        filledCount_ = filled;
        return MpBase2::open();
    }

    void onSetPins() override { filled_ = filledCount_; }

    void subProcessTable(int sampleFrames)
    {
        float* out = output_.getBuffer() + getBlockPosition();
        for (int i = 0; i < sampleFrames; ++i)
        {
            out[i] = table_ ? table_[index_] : 0.0f;
            index_ = (index_ + 1) % kSize;
        }
    }

private:
    AudioOutPin output_;
    IntOutPin filled_;
    float* table_ = nullptr;
    int filledCount_ = 0;
    int index_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_TestShared", &gmpi::Register<QW_TestShared>::withId);
}
