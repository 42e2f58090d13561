// What the two folder browsers share: the extension filter a list text
// gives, how the path pin names the folder or file to show, how a folder's
// entries are read, and the item list they show, one name per entry.
//
// The item list is read back as an enumeration list: characters that list
// texts give a meaning (',' and '=') are shown as look-alikes, and a list
// whose first name begins with "range" starts with a blank, so that every
// name is one plain entry whose value is its place in the list.
#pragma once

#include "file_names.h"

#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

namespace qw::files
{
struct FolderEntry
{
    std::filesystem::path path;
    bool folder;
};

class ExtensionFilter
{
public:
    // From a comma-separated list: empty pieces are skipped, a piece that
    // does not begin with '.' gets one in front, blanks stay.
    void assign(const std::wstring& list);
    // No filter passes every file; otherwise its extension must equal a
    // piece exactly (letter case included).
    bool passes(const std::filesystem::path& file) const;

private:
    std::unordered_set<std::wstring> pieces_;
};

// The folder or file a path text names: the text as it stands (a relative one
// from the working folder) when anything is there, else the text below the
// resource folder; an empty text is the resource folder itself. The result is
// absolute, without "." or ".." parts or a trailing '/'. False when nothing
// is at either place.
bool findPath(const UiHost& host, const std::wstring& text, std::filesystem::path& found);

// Whether a path is a folder (links followed).
bool isFolder(const std::filesystem::path& path);

// Every entry of a folder, in the order the file system gives them. Left out:
// entries that vanish or whose link leads nowhere, and subfolders the user
// may not read. False when the folder cannot be read.
bool readFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries);

// Sorts entries by name, byte for byte in UTF-8 (upper case before lower
// case, folders and files mixed).
void sortByName(std::vector<FolderEntry>& entries);

// The item list: names joined by ',', folders followed by '/'.
class ItemList
{
public:
    // What a ',' and a '=' in a name are shown as.
    ItemList(wchar_t comma, wchar_t equals, bool hideExtensions)
        : comma_(comma), equals_(equals), hideExtensions_(hideExtensions)
    {}
    // With extensions hidden a name ends before its last '.'.
    void append(const FolderEntry& entry);
    std::wstring text() const;

private:
    std::wstring text_;
    size_t count_ = 0;
    wchar_t comma_, equals_;
    bool hideExtensions_;
};
} // namespace qw::files
