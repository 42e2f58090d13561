// Any bytes as a WAV file: the reader either refuses them and is left empty,
// or yields a consistent sample that the float writer stores and reads back
// unchanged (NaN written as 0).
#include "WavFile32.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace
{
// In-memory files, opened by name through /proc like any other file.
struct MemFile
{
    int fd;
    std::wstring name;

    explicit MemFile(const char* label) : fd(memfd_create(label, 0))
    {
        if (fd < 0)
            std::abort();
        name = L"/proc/self/fd/" + std::to_wstring(fd);
    }
    void put(const uint8_t* data, size_t size) const
    {
        if (ftruncate(fd, 0) != 0 || (size && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)))
            std::abort();
    }
};

// The written file is a real one: a save replaces its file through a rename
// beside it, which an in-memory file's /proc name cannot take.
struct TempFile
{
    std::wstring name;

    TempFile()
    {
        char path[] = "/tmp/qw-wav-out-XXXXXX";
        const int fd = mkstemp(path);
        if (fd < 0)
            std::abort();
        close(fd);
        name.assign(path, path + std::strlen(path));
        narrow = path;
    }
    ~TempFile() { unlink(narrow.c_str()); }
    std::string narrow;
};

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void checkConsistent(const qw::WavFile32& w, size_t fileSize)
{
    check(w.frames >= 0 && w.channels >= 0);
    check((w.frames == 0) == (w.channels == 0));
    check(w.data.size() == static_cast<size_t>(w.channels));
    for (auto& v : w.data)
        check(v.size() == static_cast<size_t>(w.frames));
    // Every value came from at least one byte of the file.
    check(static_cast<uint64_t>(w.frames) * static_cast<uint64_t>(w.channels) <= fileSize);
    check((w.loopStart == -1) == (w.loopEnd == -1));
    check(w.loopStart >= -1 && w.loopEnd >= -1);
    check(w.bits == 8 || w.bits == 16 || w.bits == 24 || w.bits == 32 || w.bits == 64);
    check(w.sampleRate >= 0);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const MemFile in("qw-wav-in");
    static const TempFile out;
    in.put(data, size);

    qw::WavFile32 w;
    if (!w._loadWav(in.name))
    {
        check(w.frames == 0 && w.channels == 0 && w.data.empty());
        return 0;
    }
    checkConsistent(w, size);
    // The float writer needs a block (4 bytes a channel) and a byte rate that its format's fields hold.
    const uint64_t block = 4 * static_cast<uint64_t>(w.channels);
    if (w.frames == 0 || block > 0xFFFF || block * static_cast<uint64_t>(w.sampleRate) > 0xFFFFFFFFu)
        return 0;

    check(w._saveWav(out.name, 32));
    qw::WavFile32 r;
    check(r._loadWav(out.name));
    check(r.frames == w.frames && r.channels == w.channels && r.bits == 32);
    check(r.sampleRate == (w.sampleRate < 1 ? 44100 : w.sampleRate));
    check(r.loopStart == w.loopStart && r.loopEnd == w.loopEnd);
    for (size_t c = 0; c < w.data.size(); ++c)
        for (size_t i = 0; i < w.data[c].size(); ++i)
        {
            const float want = std::isnan(w.data[c][i]) ? 0.0f : w.data[c][i];
            check(std::memcmp(&r.data[c][i], &want, 4) == 0);
        }
    return 0;
}
