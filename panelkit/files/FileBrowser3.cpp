// Lists a folder as one comma-separated item list for a list control, sorted
// by name, and browses through it: choosing a folder enters it, the parent
// trigger goes up, choosing a file writes its path to the path pin. The path
// pin names the folder to show, or a file to show in its folder, chosen.
//
// The module writes entered folders to its path pin and lists them when the
// host hands that value back; a host that does not lists them at the next
// path or rescan. A chosen file's path is written under a guard, so that
// its return inside the write does not rescan (one that comes later lists
// the folder again).
#include "../timing/timed_module.h"
#include "browser.h"

namespace
{
using qw::files::FolderEntry;
namespace fs = std::filesystem;

enum ListWhat
{
    FOLDERS_ONLY = 1,
    FILES_ONLY = 2,
};

constexpr int32_t kChoiceResendMs = 100;
} // namespace

class QW_FileBrowser3 : public qw::TimedModule
{
public:
    QW_FileBrowser3()
    {
        initializePin(path_, &QW_FileBrowser3::onSetPath);
        initializePin(extensions_, &QW_FileBrowser3::onSetExt);
        initializePin(hideExtensions_, &QW_FileBrowser3::onSetHideExt);
        initializePin(listWhat_, &QW_FileBrowser3::onSetListWhat);
        initializePin(rescan_, &QW_FileBrowser3::onSetRescan);
        initializePin(parent_, &QW_FileBrowser3::onSetParent);
        initializePin(choice_, &QW_FileBrowser3::onSetChoice);
        initializePin(items_);
    }

    int32_t initialize() override
    {
        initialized_ = true;
        onSetPath();
        return gmpi::MP_OK;
    }

private:
    bool tick() override
    {
        // Sent again, changed or not: a list control that took the new list
        // after the choice shows the choice again.
        const int32_t choice = choice_;
        pinTransmit(choice_.getId(), sizeof(choice), &choice, 0);
        return false;
    }

    void onSetPath()
    {
        if (!initialized_ || choosing_)
            return;
        fs::path found;
        if (!qw::files::findPath(getUiHost(), path_, found))
        {
            entries_.clear();
            items_ = std::wstring();
            return;
        }
        current_ = found;
        if (qw::files::isFolder(found))
            scan(found, fs::path());
        else
            scan(found.parent_path(), found);
    }

    void onSetExt()
    {
        filter_.assign(extensions_);
        onSetPath();
    }
    void onSetHideExt() { onSetPath(); }
    void onSetListWhat() { onSetPath(); }
    void onSetRescan()
    {
        if (rescan_)
            onSetPath();
    }

    void onSetParent()
    {
        if (!parent_)
            return;
        if (!qw::files::isFolder(current_))
            current_ = current_.parent_path();
        current_ = current_.parent_path();
        path_ = qw::files::textOfPath(current_);
    }

    void onSetChoice()
    {
        const int32_t choice = choice_;
        if (choice < 0 || static_cast<size_t>(choice) >= entries_.size())
            return;
        const FolderEntry entry = entries_[static_cast<size_t>(choice)]; // a rescan may replace the list
        if (entry.folder)
        {
            // The folder shown already (the list climbed to show it among its
            // neighbours): entering it again would climb again.
            if (entry.path == current_)
                return;
            current_ = entry.path;
            path_ = qw::files::textOfPath(entry.path);
            startTimer(kChoiceResendMs);
        }
        else
        {
            choosing_ = true;
            path_ = qw::files::textOfPath(entry.path);
            choosing_ = false;
        }
    }

    // Lists a folder, the entry at `select` chosen. A folders-only list of a
    // folder without subfolders shows its parent's instead, the folder chosen.
    void scan(fs::path folder, fs::path select)
    {
        const uint64_t generation = ++generation_;
        const int32_t what = listWhat_;
        std::vector<FolderEntry> all, listed;
        for (;;)
        {
            if (!qw::files::readFolder(folder, all))
            {
                entries_.clear();
                items_ = std::wstring();
                choice_ = -1;
                return;
            }
            qw::files::sortByName(all);
            listed.clear();
            for (FolderEntry& e : all)
                if (e.folder ? what != FILES_ONLY : what != FOLDERS_ONLY && filter_.passes(e.path))
                    listed.push_back(std::move(e));
            const fs::path up = folder.parent_path();
            if (!listed.empty() || what != FOLDERS_ONLY || up.empty() || up == folder)
                break;
            select = folder;
            folder = up;
        }

        int32_t chosen = -1;
        qw::files::ItemList list(L'\u02CF', L'\uA78A', hideExtensions_);
        for (size_t i = 0; i < listed.size(); ++i)
        {
            list.append(listed[i]);
            if (chosen < 0 && !select.empty() && listed[i].path == select)
                chosen = static_cast<int32_t>(i);
        }
        entries_ = std::move(listed);
        choice_ = chosen;
        if (generation == generation_) // the choice's return did not list another folder
            items_ = list.text();
    }

    StringGuiPin path_;
    StringGuiPin extensions_;
    MpGuiPin<bool> hideExtensions_;
    MpGuiPin<int> listWhat_;
    MpGuiPin<bool> rescan_;
    MpGuiPin<bool> parent_;
    MpGuiPin<int> choice_;
    StringGuiPin items_;

    fs::path current_;
    std::vector<FolderEntry> entries_;
    qw::files::ExtensionFilter filter_;
    bool initialized_ = false;
    bool choosing_ = false;
    uint64_t generation_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_FileBrowser3", &gmpi::Register<QW_FileBrowser3>::withId);
}
