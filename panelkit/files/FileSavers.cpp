// Saves a text (as UTF-8, no byte-order mark, line ends as they stand) or a
// blob (byte for byte) to a file named on the left or right file-name pin,
// on the trigger, on a change of file name (mode 1) or of the data (mode 2).
// Names are resolved by the host as they arrive. An empty text or blob is
// never saved, so it cannot empty a file. The file is replaced whole or not
// at all: a save that cannot finish leaves the old file as it was.
#include "../logic/family.h"
#include "file_names.h"

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

template <class T> class QW_GUIFileSaver : public MpGuiInvisibleBase
{
public:
    QW_GUIFileSaver()
    {
        initializePin(data_, &QW_GUIFileSaver::onSetData);
        initializePin(trigger_, &QW_GUIFileSaver::onSetTrig);
        initializePin(mode_);
        initializePin(nameL_, &QW_GUIFileSaver::onSetFNameL);
        initializePin(nameR_, &QW_GUIFileSaver::onSetFNameR);
    }

private:
    void onSetData()
    {
        if (mode_ == qw::files::ON_DATA)
            onTrigger();
    }
    void onSetTrig()
    {
        if (trigger_)
            onTrigger();
    }
    void onSetFNameL() { onSetFName(nameL_); }
    void onSetFNameR() { onSetFName(nameR_); }

    void onSetFName(const std::wstring& name)
    {
        name_ = qw::files::resolvedName(getUiHost(), name);
        if (mode_ == qw::files::ON_NAME)
            save();
    }

    void onTrigger()
    {
        qw::files::takeNameIfEmpty(name_, nameL_, nameR_);
        save();
    }

    void save()
    {
        std::filesystem::path path;
        if (isEmpty(data_.getValue()) || !qw::files::toPath(name_, path))
            return;
        try
        {
            write(path, data_.getValue()); // a failure leaves the file as it was, and says nothing
        }
        catch (const std::bad_alloc&)
        {
            // no memory for the text's bytes: nothing is saved
        }
    }

    qw::Pin<T> data_;
    MpGuiPin<bool> trigger_;
    MpGuiPin<int> mode_;
    StringGuiPin nameL_;
    StringGuiPin nameR_;
    std::wstring name_; // full path of the file-name pin that changed last
};

namespace
{
// QW_GUIStringSaver, QW_GUIBlobSaver
auto r = qw::registerFamily<QW_GUIFileSaver, std::wstring, MpBlob>(L"QW_GUI", qw::STRING, L"Saver");
}
