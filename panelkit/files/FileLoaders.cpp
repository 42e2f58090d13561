// Loads a whole file named on the left or right file-name pin onto the data
// pin, on the trigger or on a change of file name (mode 1): a text as UTF-8
// (invalid bytes become U+FFFD, line ends stay), a blob byte for byte. The
// name is tried as it stands, then as the host resolves its bare file name.
// A text equal to the pin's is not sent again; a blob is sent on every load.
// A file that cannot be read whole, or would not fit one pin value, loads
// nothing.
#include "../logic/family.h"
#include "file_names.h"

#include <type_traits>

template <class T> class QW_GUIFileLoader : public MpGuiInvisibleBase
{
public:
    QW_GUIFileLoader()
    {
        initializePin(data_);
        initializePin(trigger_, &QW_GUIFileLoader::onSetTrig);
        initializePin(mode_);
        initializePin(nameL_, &QW_GUIFileLoader::onSetFNameL);
        initializePin(nameR_, &QW_GUIFileLoader::onSetFNameR);
    }

private:
    void onSetTrig()
    {
        if (!trigger_)
            return;
        qw::files::takeNameIfEmpty(name_, nameL_, nameR_);
        load();
    }
    void onSetFNameL() { onSetFName(nameL_); }
    void onSetFNameR() { onSetFName(nameR_); }

    void onSetFName(const std::wstring& name)
    {
        name_ = name;
        if (mode_ == qw::files::ON_NAME)
            load();
    }

    void load()
    {
        try
        {
            std::string bytes;
            if (!qw::files::readNamed(getUiHost(), name_, bytes))
                return;
            if constexpr (std::is_same_v<T, MpBlob>)
            {
                // Sent as it is, also when equal to the last load; the pin's own copy stays.
                pinTransmit(data_.getId(), static_cast<int32_t>(bytes.size()), bytes.data(), 0);
            }
            else
            {
                const std::wstring text = gmpi_sdk::fromUtf8(bytes);
                std::string().swap(bytes);
                if (text.size() <= qw::files::kMaxPinBytes / sizeof(wchar_t))
                    data_ = text;
            }
        }
        catch (const std::bad_alloc&)
        {
            // no memory for the file or its text: nothing is loaded
        }
    }

    qw::Pin<T> data_;
    MpGuiPin<bool> trigger_;
    MpGuiPin<int> mode_;
    StringGuiPin nameL_;
    StringGuiPin nameR_;
    std::wstring name_; // raw text of the file-name pin that changed last
};

namespace
{
// QW_GUIStringLoader, QW_GUIBlobLoader
auto r = qw::registerFamily<QW_GUIFileLoader, std::wstring, MpBlob>(L"QW_GUI", qw::STRING, L"Loader");
}
