// Files that users name, read and written without surprises: names reach
// the file system as UTF-8 whatever the process locale; only a regular file
// is read or replaced (a pipe would block, a device or folder is not a
// document); a read is whole or refused, never cut or padded; a save never
// leaves a cut file where the old one was. Nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace qw::files
{
// The most bytes one pin value carries.
constexpr uint64_t kMaxPinBytes = 0x7FFFFFFF;

// The file-system path of a wide-text name, in UTF-8 (a character UTF-8
// cannot encode becomes U+FFFD). False for an empty name and for one with a
// NUL in it, which would name another file once handed to the system.
bool toPath(const std::wstring& name, std::filesystem::path& path);

// The text after the last '/' (the whole name when there is none).
std::wstring lastPathComponent(const std::wstring& name);

enum class ReadResult
{
    Done,
    NotOpened, // nothing there that opens for reading as a regular file
    Failed,    // opened, but larger than the limit, not read whole or no memory for it
};

// Reads the whole regular file at `path` into `bytes` (left empty unless
// Done). A file that reads shorter or longer than its size (it changed
// meanwhile) fails, as does one above `maxBytes`, before anything is
// allocated for it.
ReadResult readFile(const std::filesystem::path& path, uint64_t maxBytes, std::string& bytes);

// Hands the bytes of a file to the file being written; false when they could
// not all be written.
using Write = std::function<bool(const void* data, size_t size)>;

// Replaces the file at `path` (or creates it) with what `produce` writes: a
// new file is written beside it and renamed over it only once every byte is
// written and the file closed; on any failure (`produce` answering false
// included) the new file is removed and the old one stays as it was. The
// old file's permissions carry over. A link is followed and its file
// replaced, the link kept; anything but a regular file or nothing at the
// path (a folder, a pipe, a dangling link) is refused.
bool replaceFile(const std::filesystem::path& path, const std::function<bool(const Write&)>& produce);
bool replaceFile(const std::filesystem::path& path, const void* data, size_t size);

// Whether anything at `path` opens for reading (a file, a folder, a device);
// a pipe is opened without waiting for a writer.
bool opensForReading(const std::filesystem::path& path);
} // namespace qw::files
