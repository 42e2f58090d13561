// Any bytes (as UTF-8) as the extension filter a user types into the folder
// browsers of the built panelkit bundle, over a small folder, and as the
// extension list of the file requester's dialog.
//
// The filtered list keeps every folder, keeps the files in the unfiltered
// order, and lists a file only when its extension (from its last dot) is one
// of the filter's pieces, a '.' put in front of a piece without one; a filter
// of empty pieces filters nothing. The dialog gets at most 10000 filters.
#include "dialogs.h"
#include "drawing/drawn_view.h"
#include "mp_sdk_common.h"
#include "ui_host.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

const char* const kFiles[] = {"a.wav", "b.WAV", "c.aif", "d", "e.tar.gz", ".hidden", "f. mid", "g.", "h.x,y"};

struct Scratch
{
    std::string folder;
    Scratch()
    {
        char name[] = "/tmp/qw_browser_filter_fuzz_XXXXXX";
        folder = mkdtemp(name) ? name : "/tmp";
        for (const char* f : kFiles)
            std::ofstream(folder + "/" + f);
        ::mkdir((folder + "/sub.wav").c_str(), 0700);
    }
};

std::vector<std::wstring> split(const std::wstring& list)
{
    std::vector<std::wstring> parts;
    if (list.empty())
        return parts;
    size_t start = 0;
    for (;;)
    {
        const size_t comma = list.find(L',', start);
        parts.push_back(list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start));
        if (comma == std::wstring::npos)
            return parts;
        start = comma + 1;
    }
}

// The extension of a listed name as shown (',' shown as U+02CF or '_'): from
// the last dot, none when that dot comes first.
std::wstring extensionOf(const std::wstring& name)
{
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? std::wstring() : name.substr(dot);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/panelkit.so");
    static Scratch scratch;
    const std::wstring filter = gmpi_sdk::fromUtf8(std::string(reinterpret_cast<const char*>(data), size));

    std::set<std::wstring> pieces;
    for (std::wstring p : split(filter))
        if (!p.empty())
            pieces.insert(p[0] == L'.' ? p : L"." + p);

    for (const wchar_t* id : {L"QW_FileBrowser3", L"QW_FileBrowser2"})
    {
        const wchar_t comma = std::wstring(id) == L"QW_FileBrowser3" ? L'\u02CF' : L'_';
        qwhost::GuiHost host;
        host.resourceFolder = scratch.folder;
        host.echo = qwhost::Echo::Inside;
        auto g = host.create(bundle, id);
        const auto* before = g->lastTransmit(7);
        check(before != nullptr);
        const std::vector<std::wstring> all = split(before->asText());
        g->setText(1, filter);
        const auto* after = g->lastTransmit(7);
        const std::vector<std::wstring> listed = split(after->asText());
        size_t at = 0;
        for (const std::wstring& name : listed)
        {
            while (at < all.size() && all[at] != name)
                ++at;
            check(at < all.size()); // in the unfiltered order
            ++at;
            if (name.back() == L'/')
                continue;
            std::wstring shown = extensionOf(name);
            for (auto& c : shown)
                if (c == comma)
                    c = L',';
            check(pieces.empty() || pieces.count(shown) != 0);
        }
        for (const std::wstring& name : all)
        {
            bool kept = false;
            for (const std::wstring& l : listed)
                kept |= l == name;
            check(kept || (name.back() != L'/' && !pieces.empty()));
        }
    }

    qwhost::GuiHost host;
    qwhost::Dialogs dialogs;
    qwhost::DrawingDesk desk(host);
    desk.dialogs = &dialogs;
    auto req = host.create(bundle, L"QW_FileReq2");
    req->setText(1, filter);
    req->setBool(4, true);
    req->setBool(4, false);
    check(dialogs.lastFileDialog() && !dialogs.lastFileDialog()->extensions.empty() &&
          dialogs.lastFileDialog()->extensions.size() <= 10000);
    return 0;
}
