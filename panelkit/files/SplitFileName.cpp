// Splits a full file name into its folder and its file name. An existing
// folder passes through whole as the folder; otherwise the folder is all
// before the last component (without the '/' before it, a leading root '/'
// kept) and the file name that component (empty after a trailing '/').
#include "file_names.h"

class QW_SplitFName : public MpGuiInvisibleBase
{
public:
    QW_SplitFName()
    {
        initializePin(in_, &QW_SplitFName::onSetFilenameIn);
        initializePin(folder_);
        initializePin(name_);
    }

private:
    void onSetFilenameIn()
    {
        const std::wstring& text = in_.getValue();
        try
        {
            if (text.empty())
            {
                name_ = std::wstring();
                folder_ = std::wstring();
                return;
            }
            std::filesystem::path path;
            std::error_code error;
            if (qw::files::toPath(text, path) && std::filesystem::is_directory(path, error))
            {
                folder_ = text;
                name_ = std::wstring();
                return;
            }
            const std::filesystem::path split = qw::files::pathOfText(text);
            folder_ = qw::files::textOfPath(split.parent_path());
            name_ = qw::files::textOfPath(split.filename());
        }
        catch (const std::bad_alloc&)
        {
            // no memory for the parts: they stay as they were
        }
    }

    StringGuiPin in_;
    StringGuiPin folder_;
    StringGuiPin name_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_SplitFName", &gmpi::Register<QW_SplitFName>::withId);
}
