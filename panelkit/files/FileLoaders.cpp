// Loads a whole file named on the left or right file-name pin onto the data
// pin, on the trigger or on a change of file name (mode 1): a text as UTF-8
// (invalid bytes become U+FFFD, line ends stay), a blob byte for byte. The
// name is tried as it stands, then as the host resolves its bare file name.
// A text equal to the pin's is not sent again; a blob is sent on every load.
// A file that cannot be read whole, or would not fit one pin value, loads
// nothing.
#include "file_module.h"

#include <type_traits>

template <class T> class QW_GUIFileLoader : public qw::files::FileModule<QW_GUIFileLoader<T>, T>
{
public:
    static constexpr bool kActsOnData = false;

    // The name as it stands; the host resolves it only when nothing opens there.
    std::wstring currentName(const std::wstring& text) const { return text; }

    void act()
    {
        try
        {
            std::string bytes;
            if (!qw::files::readNamed(this->getUiHost(), this->name_, bytes))
                return;
            if constexpr (std::is_same_v<T, MpBlob>)
            {
                // Sent as it is, also when equal to the last load; the pin's own copy stays.
                this->pinTransmit(this->data_.getId(), static_cast<int32_t>(bytes.size()), bytes.data(), 0);
            }
            else
            {
                const std::wstring text = gmpi_sdk::fromUtf8(bytes);
                std::string().swap(bytes);
                if (text.size() <= qw::files::kMaxPinBytes / sizeof(wchar_t))
                    this->data_ = text;
            }
        }
        catch (const std::bad_alloc&)
        {
            // no memory for the file or its text: nothing is loaded
        }
    }
};

namespace
{
// QW_GUIStringLoader, QW_GUIBlobLoader
auto r = qw::registerFamily<QW_GUIFileLoader, std::wstring, MpBlob>(L"QW_GUI", qw::STRING, L"Loader");
}
