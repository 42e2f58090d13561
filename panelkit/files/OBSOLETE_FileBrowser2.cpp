// The earlier folder browser, kept for the patches that use it: lists a
// folder in the order the file system gives, can hide folders, reports a
// chosen file on its own pin, chooses the listed file that pin names, and
// turns a file on the path pin into its folder 100 ms later. It lists on
// every pin notification, from the first.
#include "../timing/timed_module.h"
#include "browser.h"

namespace
{
using qw::files::FolderEntry;
namespace fs = std::filesystem;

constexpr int32_t kFolderDelayMs = 100;
} // namespace

class QW_FileBrowser2 : public qw::TimedModule
{
public:
    QW_FileBrowser2()
    {
        initializePin(path_, &QW_FileBrowser2::onSetPath);
        initializePin(extensions_, &QW_FileBrowser2::onSetExt);
        initializePin(hideExtensions_, &QW_FileBrowser2::scan);
        initializePin(hideFolders_, &QW_FileBrowser2::scan);
        initializePin(rescan_, &QW_FileBrowser2::onSetRescan);
        initializePin(parent_, &QW_FileBrowser2::onSetParent);
        initializePin(choice_, &QW_FileBrowser2::onSetChoice);
        initializePin(items_);
        initializePin(chosenFile_, &QW_FileBrowser2::onSetFNameOut);
    }

private:
    bool tick() override
    {
        path_ = qw::files::textOfPath(current_);
        return false;
    }

    void onSetPath()
    {
        fs::path found;
        if (!qw::files::findPath(getUiHost(), path_, found))
        {
            entries_.clear();
            items_ = std::wstring();
            return;
        }
        if (qw::files::isFolder(found))
            current_ = found;
        else
        {
            chosenFile_ = qw::files::textOfPath(found);
            current_ = found.parent_path();
            startTimer(kFolderDelayMs);
        }
        choice_ = -1;
        scan();
    }

    void onSetExt()
    {
        filter_.assign(extensions_);
        scan();
    }
    void onSetRescan()
    {
        if (rescan_)
            scan();
    }

    void onSetParent()
    {
        if (!parent_)
            return;
        current_ = current_.parent_path();
        path_ = qw::files::textOfPath(current_);
        choice_ = -1;
        scan();
    }

    void onSetChoice()
    {
        const int32_t choice = choice_;
        if (choice < 0 || static_cast<size_t>(choice) >= entries_.size())
            return;
        const FolderEntry entry = entries_[static_cast<size_t>(choice)]; // a rescan may replace the list
        if (entry.folder)
        {
            current_ = entry.path;
            path_ = qw::files::textOfPath(entry.path);
            scan();
        }
        else
            chosenFile_ = qw::files::textOfPath(entry.path);
    }

    void onSetFNameOut()
    {
        const int32_t found = indexOfChosen();
        if (found >= 0)
            choice_ = found;
    }

    // The listed entry whose path is the chosen file pin's text; -1 for none.
    int32_t indexOfChosen() const
    {
        const std::wstring& chosen = chosenFile_;
        if (chosen.empty())
            return -1;
        for (size_t i = 0; i < entries_.size(); ++i)
            if (qw::files::textOfPath(entries_[i].path) == chosen)
                return static_cast<int32_t>(i);
        return -1;
    }

    void scan()
    {
        const uint64_t generation = ++generation_;
        std::vector<FolderEntry> all;
        entries_.clear();
        if (!qw::files::readFolder(current_, all))
        {
            items_ = std::wstring();
            return;
        }
        qw::files::ItemList list(L'_', L'_', hideExtensions_);
        for (FolderEntry& e : all)
        {
            if (e.folder ? bool(hideFolders_) : !filter_.passes(e.path))
                continue;
            list.append(e);
            entries_.push_back(std::move(e));
        }
        const int32_t found = indexOfChosen();
        if (found >= 0)
            choice_ = found;
        if (generation == generation_) // the choice's return did not list another folder
            items_ = list.text();
    }

    StringGuiPin path_;
    StringGuiPin extensions_;
    MpGuiPin<bool> hideExtensions_;
    MpGuiPin<bool> hideFolders_;
    MpGuiPin<bool> rescan_;
    MpGuiPin<bool> parent_;
    MpGuiPin<int> choice_;
    StringGuiPin items_;
    StringGuiPin chosenFile_;

    fs::path current_;
    std::vector<FolderEntry> entries_;
    qw::files::ExtensionFilter filter_;
    uint64_t generation_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_FileBrowser2", &gmpi::Register<QW_FileBrowser2>::withId);
}
