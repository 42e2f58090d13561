#include "wav_stream.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace qwtool
{
namespace
{
constexpr uint32_t kHeaderBytes = 44;

void put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void put16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void header(uint8_t* h, int channels, int32_t rate, uint32_t dataBytes)
{
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, kHeaderBytes - 8 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 3); // IEEE float
    put16(h + 22, static_cast<uint16_t>(channels));
    put32(h + 24, static_cast<uint32_t>(rate));
    put32(h + 28, static_cast<uint32_t>(rate) * 4u * static_cast<uint32_t>(channels));
    put16(h + 32, static_cast<uint16_t>(4 * channels));
    put16(h + 34, 32);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, dataBytes);
}
} // namespace

WavStreamWriter::~WavStreamWriter()
{
    if (file_)
    {
        std::fclose(file_);
        std::remove(path_.c_str());
    }
}

uint64_t WavStreamWriter::fileBytes(int64_t frames, int channels)
{
    return kHeaderBytes + static_cast<uint64_t>(frames) * static_cast<uint64_t>(channels) * 4u;
}

bool WavStreamWriter::open(const std::string& path, int channels, int32_t rate, std::string& why)
{
    if (channels < 1 || channels > 65535 || rate < 1)
    {
        why = "a WAV file needs 1 to 65535 channels and a positive rate";
        return false;
    }
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_)
    {
        why = std::strerror(errno);
        return false;
    }
    path_ = path;
    channels_ = channels;
    uint8_t h[kHeaderBytes];
    header(h, channels, rate, 0);
    if (std::fwrite(h, 1, sizeof h, file_) != sizeof h)
    {
        why = std::strerror(errno);
        return false;
    }
    return true;
}

bool WavStreamWriter::write(const float* interleaved, int frames, std::string& why)
{
    if (!file_)
    {
        why = "the file is not open";
        return false;
    }
    if (!fits(frames_ + frames, channels_))
    {
        why = "the file would pass the format's 4 GiB limit";
        return false;
    }
    const size_t n = static_cast<size_t>(frames) * static_cast<size_t>(channels_);
    // Samples are little-endian IEEE floats, as this machine stores them.
    if (std::fwrite(interleaved, sizeof(float), n, file_) != n)
    {
        why = std::strerror(errno);
        return false;
    }
    frames_ += frames;
    return true;
}

bool WavStreamWriter::finish(std::string& why)
{
    if (!file_)
    {
        why = "the file is not open";
        return false;
    }
    // Rewrite only the two sizes; the format fields stay as written.
    const uint32_t dataBytes = static_cast<uint32_t>(fileBytes(frames_, channels_) - kHeaderBytes);
    uint8_t size[4];
    bool ok = std::fseek(file_, 4, SEEK_SET) == 0;
    put32(size, kHeaderBytes - 8 + dataBytes);
    ok = ok && std::fwrite(size, 1, 4, file_) == 4;
    ok = ok && std::fseek(file_, 40, SEEK_SET) == 0;
    put32(size, dataBytes);
    ok = ok && std::fwrite(size, 1, 4, file_) == 4;
    ok = ok && std::fflush(file_) == 0;
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (!ok || closed != 0)
    {
        why = std::strerror(errno);
        std::remove(path_.c_str());
        return false;
    }
    return true;
}
} // namespace qwtool
