#include "browser.h"

#include <algorithm>
#include <unistd.h>

namespace qw::files
{
namespace fs = std::filesystem;

void ExtensionFilter::assign(const std::wstring& list)
{
    pieces_.clear();
    size_t start = 0;
    while (start <= list.size())
    {
        size_t end = list.find(L',', start);
        if (end == std::wstring::npos)
            end = list.size();
        if (end > start)
        {
            std::wstring piece = list.substr(start, end - start);
            if (piece[0] != L'.')
                piece.insert(piece.begin(), L'.');
            pieces_.insert(std::move(piece));
        }
        start = end + 1;
    }
}

bool ExtensionFilter::passes(const fs::path& file) const
{
    return pieces_.empty() || pieces_.count(textOfPath(file.filename().extension())) != 0;
}

namespace
{
bool anythingAt(const fs::path& path)
{
    std::error_code ec;
    const fs::file_type type = fs::status(path, ec).type();
    return type != fs::file_type::none && type != fs::file_type::not_found;
}

fs::path tidy(const fs::path& path)
{
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    if (ec)
        p = path;
    p = p.lexically_normal();
    if (!p.has_filename() && p != p.root_path())
        p = p.parent_path();
    return p;
}
} // namespace

bool findPath(const UiHost& host, const std::wstring& text, fs::path& found)
{
    fs::path resources;
    const bool haveResources = toPath(host.resolveFilename(L""), resources);
    fs::path candidate;
    if (text.empty())
    {
        if (!haveResources)
            return false;
        candidate = resources;
    }
    else
    {
        if (!toPath(text, candidate))
            return false;
        if (!anythingAt(candidate))
        {
            if (!haveResources)
                return false;
            candidate = resources / candidate;
        }
    }
    if (!anythingAt(candidate))
        return false;
    found = tidy(candidate);
    return true;
}

bool isFolder(const fs::path& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool readFolder(const fs::path& folder, std::vector<FolderEntry>& entries)
{
    entries.clear();
    std::error_code ec;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec)
        return false;
    for (; it != fs::directory_iterator(); it.increment(ec))
    {
        if (ec)
            break;
        std::error_code typeError;
        const bool folderEntry = it->is_directory(typeError);
        if (typeError) // gone meanwhile, or a link to nothing
            continue;
        if (folderEntry && ::access(it->path().c_str(), R_OK) != 0)
            continue;
        entries.push_back({it->path(), folderEntry});
    }
    if (ec)
    {
        entries.clear();
        return false;
    }
    return true;
}

void sortByName(std::vector<FolderEntry>& entries)
{
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        return a.path.filename().native() < b.path.filename().native();
    });
}

void ItemList::append(const FolderEntry& entry)
{
    std::wstring name = textOfPath(entry.path.filename());
    if (hideExtensions_)
    {
        const size_t dot = name.rfind(L'.');
        if (dot != std::wstring::npos)
            name.erase(dot);
    }
    std::replace(name.begin(), name.end(), L',', comma_);
    std::replace(name.begin(), name.end(), L'=', equals_);
    if (count_++ > 0)
        text_ += L',';
    text_ += name;
    if (entry.folder)
        text_ += L'/';
}

std::wstring ItemList::text() const
{
    // Not a range of numbers.
    if (text_.compare(0, 5, L"range") == 0)
        return L" " + text_;
    return text_;
}
} // namespace qw::files
