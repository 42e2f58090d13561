// Blank-separated hexadecimal text ("0A ff 7f") as a blob. A text that breaks
// the pattern gives an empty blob. The blob is sent at every text update,
// also when it did not change.
#include "blob_text.h"
#include "mp_sdk_audio.h"

#include <vector>

class QW_Text2Blob final : public MpBase2
{
public:
    QW_Text2Blob()
    {
        initializePin(text_);
        initializePin(blob_);
    }

    void onSetPins() override
    {
        const std::wstring& text = text_.getValue();
        // The buffer and the output's storage grow with the longest text
        // seen, then stay.
        const size_t most = qw::blobtext::hexBytesMax(text.size());
        if (bytes_.size() < most)
        {
            bytes_.resize(most);
            blob_.setValueRaw(static_cast<int>(most), bytes_.data());
        }
        const size_t n = qw::blobtext::hexToBytes(text.data(), text.size(), bytes_.data());
        blob_.setValueRaw(static_cast<int>(n), bytes_.data());
        blob_.sendPinUpdate(blob_.rawSize(), blob_.rawData());
    }

private:
    StringInPin text_;
    BlobOutPin blob_;
    std::vector<uint8_t> bytes_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Text2Blob", &gmpi::Register<QW_Text2Blob>::withId);
}
