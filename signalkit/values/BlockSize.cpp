// The host's block size in samples, asked once when the module opens.
#include "mp_sdk_audio.h"

class QW_BlockSize final : public MpBase2
{
public:
    QW_BlockSize() { initializePin(blockSize_); }

    int32_t open() override
    {
        blockSize_ = getBlockSize();
        return MpBase2::open();
    }

private:
    IntOutPin blockSize_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_BlockSize", &gmpi::Register<QW_BlockSize>::withId);
}
