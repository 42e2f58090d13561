// A blob as UU64 text (standard Base64 with "=" padding, no line breaks);
// an empty blob gives the empty text.
#include "blob_text.h"
#include "mp_sdk_audio.h"

#include <string>

class QW_Blob2UU64 final : public MpBase2
{
public:
    QW_Blob2UU64()
    {
        initializePin(blob_);
        initializePin(text_);
    }

    void onSetPins() override
    {
        const MpBlob& blob = blob_.getValue();
        const size_t size = static_cast<size_t>(blob.getSize());
        // One buffer for every conversion: it grows to the longest text only.
        buffer_.resize(qw::blobtext::uu64Length(size));
        if (size)
            qw::blobtext::toUu64(reinterpret_cast<const uint8_t*>(blob.getData()), size, &buffer_[0]);
        text_ = buffer_;
    }

private:
    BlobInPin blob_;
    StringOutPin text_;
    std::wstring buffer_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Blob2UU64", &gmpi::Register<QW_Blob2UU64>::withId);
}
