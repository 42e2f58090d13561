// Blob probe: for each blob that arrives, a change counter, its size, its
// address as text and the samples processed so far. Outputs are sent only
// when they change, so the counter is the reliable sign of a new blob.
#include "blob_text.h"
#include "mp_sdk_audio.h"

#include <string>

class QW_DSPBlobTool final : public MpBase2
{
public:
    QW_DSPBlobTool()
    {
        initializePin(blob_);
        initializePin(counter_);
        initializePin(address_);
        initializePin(size_);
        initializePin(samples_);
        setSubProcess(&QW_DSPBlobTool::subProcess);
        text_.reserve(qw::blobtext::kAddressTextSize);
    }

    void subProcess(int sampleFrames) { samplesProcessed_ += static_cast<uint32_t>(sampleFrames); }

    void onSetPins() override
    {
        if (!blob_.isUpdated())
            return;
        ++changes_;
        counter_ = static_cast<int32_t>(changes_);
        size_ = blob_.getValue().getSize();
        samples_ = static_cast<int32_t>(samplesProcessed_);
        wchar_t text[qw::blobtext::kAddressTextSize];
        text_.assign(text, qw::blobtext::addressText(blob_.getValue().getData(), text));
        address_ = text_;
    }

private:
    BlobInPin blob_;
    IntOutPin counter_;
    StringOutPin address_;
    IntOutPin size_;
    IntOutPin samples_;
    uint32_t changes_ = 0;
    uint32_t samplesProcessed_ = 0;
    std::wstring text_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_DSPBlobTool", &gmpi::Register<QW_DSPBlobTool>::withId);
}
