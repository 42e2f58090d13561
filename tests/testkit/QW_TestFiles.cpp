// Asks the host where a file name lives, in both forms, and opens it.
#include "mp_sdk_audio.h"

#include <vector>

class QW_TestFiles : public MpBase2
{
public:
    QW_TestFiles()
    {
        initializePin(name_);
        initializePin(resolved_);
        initializePin(resolvedOld_);
        initializePin(size_);
        initializePin(content_);
    }

    void onSetPins() override
    {
        GmpiSdk::ProcessorHost host(getHost());
        const std::string uri = host.resolveFilename(name_.getValue());
        resolved_ = uri;
        resolvedOld_ = host.resolveFilename_old(name_.getValue());
        GmpiSdk::UriFile file = host.openUri(uri);
        int64_t size = -1;
        if (!file.isNull() && file.get()->getSize(size) == gmpi::MP_OK && size >= 0 && size < 4096)
        {
            std::vector<char> bytes(static_cast<size_t>(size));
            if (size == 0 || file.get()->read(bytes.data(), size) == gmpi::MP_OK)
                content_ = MpBlob(bytes.size(), bytes.data());
        }
        size_ = static_cast<int>(size);
    }

private:
    StringInPin name_;
    StringOutPin resolved_;
    StringOutPin resolvedOld_;
    IntOutPin size_;
    BlobOutPin content_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_TestFiles", &gmpi::Register<QW_TestFiles>::withId);
}
