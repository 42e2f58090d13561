// Saves a text (as UTF-8, no byte-order mark, line ends as they stand) or a
// blob (byte for byte) to a file named on the left or right file-name pin,
// on the trigger, on a change of file name (mode 1) or of the data (mode 2).
// Names are resolved by the host as they arrive. An empty text or blob is
// never saved, so it cannot empty a file. The file is replaced whole or not
// at all: a save that cannot finish leaves the old file as it was.
#include "file_module.h"

namespace
{
bool isEmpty(const std::wstring& text)
{
    return text.empty();
}
bool isEmpty(const MpBlob& blob)
{
    return blob.getSize() <= 0 || !blob.getData();
}

bool write(const std::filesystem::path& path, const std::wstring& text)
{
    const std::string bytes = gmpi_sdk::toUtf8(text);
    return qw::files::replaceFile(path, bytes.data(), bytes.size());
}
bool write(const std::filesystem::path& path, const MpBlob& blob)
{
    return qw::files::replaceFile(path, blob.getData(), static_cast<size_t>(blob.getSize()));
}
} // namespace

template <class T> class QW_GUIFileSaver : public qw::files::FileModule<QW_GUIFileSaver<T>, T>
{
public:
    static constexpr bool kActsOnData = true;

    // The host's full path of a name, when it arrives.
    std::wstring currentName(const std::wstring& text) const
    {
        return qw::files::resolvedName(this->getUiHost(), text);
    }

    void act()
    {
        std::filesystem::path path;
        if (isEmpty(this->data_.getValue()) || !qw::files::toPath(this->name_, path))
            return;
        try
        {
            write(path, this->data_.getValue()); // a failure leaves the file as it was, and says nothing
        }
        catch (const std::bad_alloc&)
        {
            // no memory for the text's bytes: nothing is saved
        }
    }
};

namespace
{
// QW_GUIStringSaver, QW_GUIBlobSaver
auto r = qw::registerFamily<QW_GUIFileSaver, std::wstring, MpBlob>(L"QW_GUI", qw::STRING, L"Saver");
}
