#include "file_names.h"

namespace qw::files
{
void takeNameIfEmpty(std::wstring& current, const std::wstring& left, const std::wstring& right)
{
    if (current.empty())
        current = left.empty() ? right : left;
}

std::wstring resolvedName(const UiHost& host, const std::wstring& name)
{
    if (name.find(L'\0') != std::wstring::npos)
        return name;
    std::wstring full = host.resolveFilename(name);
    return full.empty() ? name : full;
}

bool readNamed(const UiHost& host, const std::wstring& name, std::string& bytes)
{
    std::filesystem::path path;
    if (!toPath(name, path))
        return false;
    ReadResult result = readFile(path, kMaxPinBytes, bytes);
    if (result == ReadResult::NotOpened)
    {
        const std::wstring bare = lastPathComponent(name);
        if (bare.empty() || !toPath(host.resolveFilename(bare), path))
            return false;
        result = readFile(path, kMaxPinBytes, bytes);
    }
    return result == ReadResult::Done;
}

std::filesystem::path pathOfText(const std::wstring& text)
{
    return std::filesystem::path(gmpi_sdk::toUtf8(text));
}

std::wstring textOfPath(const std::filesystem::path& path)
{
    return gmpi_sdk::fromUtf8(path.native());
}
} // namespace qw::files
