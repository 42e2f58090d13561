#include "file_access.h"

#include "mp_sdk_common.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace qw::files
{
namespace
{
// Opens for reading without blocking on a pipe that has no writer yet.
int openForReading(const std::filesystem::path& path)
{
    int fd;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    return fd;
}

void closeFd(int fd)
{
    // Retrying close after EINTR could close a descriptor opened meanwhile.
    ::close(fd);
}

// Reads up to `size` bytes; the number read (fewer only at the end of the
// file), or -1 on an error.
int64_t readUpTo(int fd, char* to, size_t size)
{
    size_t done = 0;
    while (done < size)
    {
        const ssize_t n = ::read(fd, to + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

bool writeAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0)
    {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A new file of our own in `folder`, with a short name so that any folder
// that holds the target can hold it; -1 when the folder takes no new file.
int createBeside(const std::filesystem::path& folder, std::filesystem::path& made)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        made = folder / (".qw-saving-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        int fd;
        do
            fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}
} // namespace

bool toPath(const std::wstring& name, std::filesystem::path& path)
{
    if (name.empty() || name.find(L'\0') != std::wstring::npos)
        return false;
    try
    {
        path = std::filesystem::path(gmpi_sdk::toUtf8(name));
        return true;
    }
    catch (...)
    {
        return false;
    }
}

std::wstring lastPathComponent(const std::wstring& name)
{
    const auto slash = name.find_last_of(L'/');
    return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

ReadResult readFile(const std::filesystem::path& path, uint64_t maxBytes, std::string& bytes)
{
    bytes.clear();
    const int fd = openForReading(path);
    if (fd < 0)
        return ReadResult::NotOpened;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        closeFd(fd);
        return ReadResult::NotOpened;
    }
    const uint64_t size = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
    ReadResult result = ReadResult::Failed;
    if (size <= maxBytes)
    {
        try
        {
            // One byte more than the size tells a file that grew meanwhile.
            bytes.resize(static_cast<size_t>(size) + 1);
            const int64_t got = readUpTo(fd, &bytes[0], bytes.size());
            if (got == static_cast<int64_t>(size))
            {
                bytes.resize(static_cast<size_t>(size));
                result = ReadResult::Done;
            }
        }
        catch (...)
        {
            // no memory for the file: it fails
        }
    }
    closeFd(fd);
    if (result != ReadResult::Done)
        std::string().swap(bytes);
    return result;
}

bool replaceFile(const std::filesystem::path& path, const std::function<bool(const Write&)>& produce)
{
    std::filesystem::path made;
    int fd = -1;
    bool created = false;
    try
    {
        std::error_code error;
        std::filesystem::path target = path;
        if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, error)))
        {
            target = std::filesystem::canonical(path, error);
            if (error)
                return false;
        }
        const auto status = std::filesystem::status(target, error);
        const bool replacing = std::filesystem::exists(status);
        if (replacing && !std::filesystem::is_regular_file(status))
            return false;
        if (!target.has_filename())
            return false;
        const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
        fd = createBeside(folder, made);
        if (fd < 0)
            return false;
        created = true;

        bool ok = produce([fd](const void* data, size_t size) { return writeAll(fd, data, size); });
        if (ok && replacing)
        {
            // The replaced file's permissions carry over to its successor.
            struct stat st;
            ok = ::stat(target.c_str(), &st) == 0 && ::fchmod(fd, st.st_mode & 07777) == 0;
        }
        // On disk before the rename, so that a crash leaves the old file or the new, whole.
        ok = ok && ::fsync(fd) == 0;
        ok = ::close(fd) == 0 && ok;
        fd = -1;
        ok = ok && ::rename(made.c_str(), target.c_str()) == 0;
        if (!ok)
            ::unlink(made.c_str());
        return ok;
    }
    catch (...)
    {
        if (fd >= 0)
            closeFd(fd);
        if (created)
            ::unlink(made.c_str());
        return false;
    }
}

bool replaceFile(const std::filesystem::path& path, const void* data, size_t size)
{
    return replaceFile(path, [data, size](const Write& write) { return size == 0 || write(data, size); });
}

bool opensForReading(const std::filesystem::path& path)
{
    const int fd = openForReading(path);
    if (fd < 0)
        return false;
    closeFd(fd);
    return true;
}
} // namespace qw::files
