// Joins a folder and a file name into a path with one '/' between them; an
// absolute file name stands alone, and either part alone passes through
// unchanged.
#include "file_names.h"

class QW_AppendFName : public MpGuiInvisibleBase
{
public:
    QW_AppendFName()
    {
        initializePin(folder_, &QW_AppendFName::onSetEither);
        initializePin(name_, &QW_AppendFName::onSetEither);
        initializePin(path_);
    }

private:
    void onSetEither()
    {
        const std::wstring& folder = folder_.getValue();
        const std::wstring& name = name_.getValue();
        try
        {
            if (folder.empty() || name.empty())
                path_ = folder.empty() ? name : folder;
            else
                path_ = qw::files::textOfPath(qw::files::pathOfText(folder) / qw::files::pathOfText(name));
        }
        catch (const std::bad_alloc&)
        {
            // no memory for the path: it stays as it was
        }
    }

    StringGuiPin folder_;
    StringGuiPin name_;
    StringGuiPin path_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_AppendFName", &gmpi::Register<QW_AppendFName>::withId);
}
