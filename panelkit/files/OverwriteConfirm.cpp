// Gives the go-ahead to write a file (a pulse) on a true of its trigger: at
// once when nothing is at the path the file would be written to, otherwise
// only after the user confirms the host's OK/Cancel question. The name is
// resolved through the host as the savers resolve it, and anything at that
// path counts, readable or not, so that no file is overwritten unasked.
#include "dialog_question.h"
#include "file_names.h"

#include <cerrno>

namespace
{
namespace fs = std::filesystem;

// Whether anything is at a path; what cannot be looked at counts as there.
bool somethingAt(const fs::path& path)
{
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (status.type() == fs::file_type::not_found)
        return false;
    if (ec && (ec.value() == ENOENT || ec.value() == ENOTDIR))
        return false;
    return true;
}
} // namespace

class QW_OverwriteConfirm : public MpGuiInvisibleBase
{
public:
    QW_OverwriteConfirm()
    {
        initializePin(firstText_);
        initializePin(secondText_);
        initializePin(fileName_);
        initializePin(trigger_, &QW_OverwriteConfirm::onSetTrig);
        initializePin(goAhead_);
    }

private:
    void onSetTrig()
    {
        const std::wstring& name = fileName_;
        if (!trigger_ || name.empty())
            return;
        fs::path path;
        if (!qw::files::toPath(qw::files::resolvedName(getUiHost(), name), path))
            return; // a name no file can have
        if (!somethingAt(path))
        {
            qw::pulse(goAhead_);
            return;
        }
        question_.ask(getHost(), firstText_, secondText_, [this](bool ok) {
            if (ok)
                qw::pulse(goAhead_);
        });
    }

    StringGuiPin firstText_;
    StringGuiPin secondText_;
    StringGuiPin fileName_;
    MpGuiPin<bool> trigger_;
    MpGuiPin<bool> goAhead_;

    qw::Question question_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_OverwriteConfirm", &gmpi::Register<QW_OverwriteConfirm>::withId);
}
