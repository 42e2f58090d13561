#include "WavFile32.h"

#include "file_access.h"
#include "mp_sdk_common.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>

namespace qw
{
namespace
{
constexpr int64_t kMaxFileSize = 0x7FFFFFFF;
constexpr uint64_t kMaxU32 = 0xFFFFFFFFull;
// Only the leading fields of these chunks are ever looked at.
constexpr size_t kFmtKept = 40;
constexpr size_t kSmplKept = 52;
// Frames are converted through a buffer of about this many bytes.
constexpr size_t kIoBytes = 65536;

uint16_t getU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t getU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void putU16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void putU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putId(std::vector<uint8_t>& out, const char* id)
{
    out.insert(out.end(), id, id + 4);
}

// A 64-bit float as the nearest float; beyond the float range, an infinity
// of its sign (stated here rather than left to the conversion).
float narrow(double d)
{
    constexpr double big = std::numeric_limits<float>::max();
    if (d > big)
        return std::numeric_limits<float>::infinity();
    if (d < -big)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}

float decode(const uint8_t* p, int bytes, bool isFloat)
{
    switch (bytes)
    {
    case 1:
        return static_cast<float>(static_cast<int>(p[0]) - 128) * 0.0078125f;
    case 2:
        return static_cast<float>(static_cast<int16_t>(getU16(p))) * 3.0517578e-5f;
    case 3:
    {
        int32_t v = static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
        if (v & 0x800000)
            v -= 0x1000000;
        return static_cast<float>(v) * 1.1920929e-7f;
    }
    case 4:
    {
        const uint32_t u = getU32(p);
        if (isFloat)
        {
            float f;
            std::memcpy(&f, &u, 4);
            return f;
        }
        int32_t v;
        std::memcpy(&v, &u, 4);
        return static_cast<float>(v) * 4.656613e-10f;
    }
    default:
    {
        const uint64_t u = static_cast<uint64_t>(getU32(p)) | (static_cast<uint64_t>(getU32(p + 4)) << 32);
        double d;
        std::memcpy(&d, &u, 8);
        return narrow(d);
    }
    }
}

void encode(float x, int bytes, uint8_t* out)
{
    if (std::isnan(x))
        x = 0.0f;
    switch (bytes)
    {
    case 1:
        *out = static_cast<uint8_t>(static_cast<int>((std::clamp(x, -1.0f, 0.9921875f) + 1.0f) * 128.0f));
        break;
    case 2:
    {
        const auto v = static_cast<uint16_t>(static_cast<int16_t>(std::clamp(x, -1.0f, 1.0f) * 32767.0f));
        out[0] = static_cast<uint8_t>(v);
        out[1] = static_cast<uint8_t>(v >> 8);
        break;
    }
    case 3:
    {
        const auto v = static_cast<uint32_t>(static_cast<int32_t>(std::clamp(x, -1.0f, 1.0f) * 8388607.0f));
        out[0] = static_cast<uint8_t>(v);
        out[1] = static_cast<uint8_t>(v >> 8);
        out[2] = static_cast<uint8_t>(v >> 16);
        break;
    }
    default:
    {
        uint32_t u;
        std::memcpy(&u, &x, 4);
        for (int i = 0; i < 4; ++i)
            out[i] = static_cast<uint8_t>(u >> (8 * i));
        break;
    }
    }
}

// The parts of a file that the loader takes from its chunk walk.
struct Chunks
{
    bool hasFmt = false, hasSmpl = false, hasData = false;
    uint8_t fmt[kFmtKept] = {};
    uint64_t fmtSize = 0;
    uint8_t smpl[kSmplKept] = {};
    uint64_t smplSize = 0;
    int64_t dataPos = 0;
    uint64_t dataSize = 0;
};

bool readAt(std::ifstream& in, int64_t pos, void* buffer, size_t n)
{
    in.clear();
    in.seekg(pos);
    in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(n));
    return in.gcount() == static_cast<std::streamsize>(n);
}

// Walks the chunks after the 12-byte RIFF header up to the end of the file.
// A chunk that the loader keeps must lie inside the file; an odd-sized chunk
// is followed by a pad byte.
bool walkChunks(std::ifstream& in, int64_t fileSize, Chunks& c)
{
    int64_t pos = 12;
    while (pos < fileSize)
    {
        if (fileSize - pos < 4)
            break; // no room for another id
        uint8_t head[8];
        if (fileSize - pos < 8 || !readAt(in, pos, head, 8))
            return false;
        const uint64_t size = getU32(head + 4);
        const int64_t body = pos + 8;
        const bool inside = static_cast<uint64_t>(fileSize - body) >= size;
        if (std::memcmp(head, "fmt ", 4) == 0)
        {
            if (c.hasFmt || !inside)
                return false;
            c.hasFmt = true;
            c.fmtSize = size;
            if (!readAt(in, body, c.fmt, static_cast<size_t>(std::min<uint64_t>(size, kFmtKept))))
                return false;
        }
        else if (std::memcmp(head, "smpl", 4) == 0)
        {
            if (c.hasSmpl || !inside)
                return false;
            c.hasSmpl = true;
            c.smplSize = size;
            if (!readAt(in, body, c.smpl, static_cast<size_t>(std::min<uint64_t>(size, kSmplKept))))
                return false;
        }
        else if (std::memcmp(head, "data", 4) == 0)
        {
            if (c.hasData)
                return false;
            c.hasData = true;
            c.dataPos = body;
            c.dataSize = size;
        }
        pos = body + static_cast<int64_t>(size) + static_cast<int64_t>(size & 1);
    }
    return true;
}
} // namespace

WavReader::~WavReader() = default;

bool WavReader::open(const std::wstring& filename, int64_t maxBytes)
{
    in_.reset();
    frames = channels = sampleRate = bits = 0;
    loopStart = loopEnd = -1;
    left_ = 0;
    if (filename.empty())
        return false;
    try
    {
        // Only a regular file: a pipe would block the caller in open, a
        // device or a folder holds no sample.
        std::filesystem::path path;
        std::error_code error;
        if (!files::toPath(filename, path) || !std::filesystem::is_regular_file(path, error))
            return false;
        auto in = std::make_unique<std::ifstream>(path, std::ios::binary);
        if (!in->is_open())
            return false;
        in->seekg(0, std::ios::end);
        const int64_t fileSize = static_cast<int64_t>(in->tellg());
        if (fileSize < 1 || fileSize > maxBytes)
            return false;

        uint8_t riff[12];
        if (fileSize < 12 || !readAt(*in, 0, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
            std::memcmp(riff + 8, "WAVE", 4) != 0)
            return false;
        // The RIFF size is not trusted: writers that miscount it are common,
        // and every chunk is checked against the file itself.

        Chunks c;
        if (!walkChunks(*in, fileSize, c) || !c.hasFmt || !c.hasData || c.fmtSize < 16)
            return false;

        const uint16_t tag = getU16(c.fmt);
        const uint32_t channelCount = getU16(c.fmt + 2);
        const uint32_t rate = getU32(c.fmt + 4);
        const uint32_t byteRate = getU32(c.fmt + 8);
        const uint32_t blockAlign = getU16(c.fmt + 12);
        const uint32_t bitsPerSample = getU16(c.fmt + 14);

        bool isFloat;
        if (tag == 1)
            isFloat = false;
        else if (tag == 3)
            isFloat = true;
        else if (tag == 0xFFFE)
        {
            if (c.fmtSize < 28)
                return false;
            const uint32_t sub = getU32(c.fmt + 24);
            if (sub == 0 || sub == 1)
                isFloat = false;
            else if (sub == 3)
                isFloat = true;
            else
                return false;
        }
        else
            return false;

        if (channelCount == 0 || rate > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
            return false;
        if (byteRate != static_cast<uint64_t>(rate) * channelCount * bitsPerSample / 8 ||
            blockAlign != (bitsPerSample / 8) * channelCount)
            return false;
        if (isFloat ? (bitsPerSample != 32 && bitsPerSample != 64)
                    : (bitsPerSample != 8 && bitsPerSample != 16 && bitsPerSample != 24 && bitsPerSample != 32))
            return false;

        int32_t newLoopStart = -1, newLoopEnd = -1;
        if (c.hasSmpl && c.smplSize >= kSmplKept && getU32(c.smpl + 28) != 0)
        {
            const uint32_t s = getU32(c.smpl + 44), e = getU32(c.smpl + 48);
            constexpr uint32_t top = static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
            if (s <= top && e <= top)
            {
                newLoopStart = static_cast<int32_t>(s);
                newLoopEnd = static_cast<int32_t>(e);
            }
        }

        // Every size is checked against the file before anything is sized from it.
        if (c.dataSize % blockAlign != 0 || c.dataSize > static_cast<uint64_t>(fileSize - c.dataPos))
            return false;
        const uint64_t frameCount = c.dataSize / blockAlign;
        if (frameCount > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
            return false;

        in->clear();
        in->seekg(c.dataPos);
        bytes_ = static_cast<int>(bitsPerSample / 8);
        isFloat_ = isFloat;
        blockAlign_ = blockAlign;
        buffer_.resize(std::max<size_t>(1, kIoBytes / blockAlign) * blockAlign);
        in_ = std::move(in);
        left_ = static_cast<int32_t>(frameCount);
        frames = static_cast<int32_t>(frameCount);
        channels = static_cast<int32_t>(channelCount);
        sampleRate = static_cast<int32_t>(rate);
        loopStart = newLoopStart;
        loopEnd = newLoopEnd;
        bits = static_cast<int32_t>(bitsPerSample);
        return true;
    }
    catch (...)
    {
        in_.reset();
        return false;
    }
}

int WavReader::read(float* const* out, int n)
{
    if (!in_)
        return -1;
    const int wanted = std::max(0, std::min(n, left_));
    const size_t framesPerRead = buffer_.size() / blockAlign_;
    for (int done = 0; done < wanted;)
    {
        const size_t count = std::min(framesPerRead, static_cast<size_t>(wanted - done));
        in_->read(reinterpret_cast<char*>(buffer_.data()), static_cast<std::streamsize>(count * blockAlign_));
        if (in_->gcount() != static_cast<std::streamsize>(count * blockAlign_))
        {
            in_.reset(); // cut short: nothing more comes
            return -1;
        }
        for (int ch = 0; ch < channels; ++ch)
        {
            float* y = out[ch];
            if (!y)
                continue;
            y += done;
            const uint8_t* p = buffer_.data() + static_cast<size_t>(ch) * static_cast<size_t>(bytes_);
            if (bytes_ == 4 && isFloat_)
                for (size_t f = 0; f < count; ++f, p += blockAlign_)
                    std::memcpy(y + f, p, 4); // little-endian floats, as this machine stores them
            else
                for (size_t f = 0; f < count; ++f, p += blockAlign_)
                    y[f] = decode(p, bytes_, isFloat_);
        }
        done += static_cast<int>(count);
    }
    left_ -= wanted;
    return wanted;
}

bool WavFile32::_loadWav(const std::wstring& filename)
{
    clear();
    try
    {
        WavReader reader;
        if (!reader.open(filename, kMaxFileSize))
            return false;
        const size_t n = static_cast<size_t>(reader.frames);
        std::vector<std::vector<float>> channelData;
        if (n > 0)
        {
            channelData.assign(static_cast<size_t>(reader.channels), std::vector<float>(n));
            std::vector<float*> out(channelData.size());
            for (size_t ch = 0; ch < out.size(); ++ch)
                out[ch] = channelData[ch].data();
            if (reader.read(out.data(), reader.frames) != reader.frames)
                return false;
        }
        data = std::move(channelData);
        frames = static_cast<int32_t>(n);
        channels = n > 0 ? reader.channels : 0;
        sampleRate = reader.sampleRate;
        loopStart = reader.loopStart;
        loopEnd = reader.loopEnd;
        bits = reader.bits;
        return true;
    }
    catch (...)
    {
        clear();
        return false;
    }
}

bool WavFile32::_saveWav(const std::wstring& filename, int bitDepth) const
{
    if (channels == 0 || frames <= 0 || filename.empty() ||
        (bitDepth != 8 && bitDepth != 16 && bitDepth != 24 && bitDepth != 32))
        return false;

    // The channels to write: every non-empty one, each of exactly `frames` values.
    std::vector<const float*> sources;
    for (auto& v : data)
    {
        if (v.empty())
            continue;
        if (v.size() != static_cast<size_t>(frames))
            return false;
        sources.push_back(v.data());
    }
    if (sources.size() != static_cast<size_t>(channels))
        return false;

    const uint64_t bytes = static_cast<uint64_t>(bitDepth / 8);
    const uint64_t channelCount = sources.size();
    const uint64_t blockAlign = bytes * channelCount;
    const uint64_t dataSize = static_cast<uint64_t>(frames) * blockAlign;
    // A loop is written when neither end is -1 ("none"); other values pass as they are.
    const bool withLoop = loopStart != -1 && loopEnd != -1;
    const uint64_t total = fileBytes(frames, static_cast<int64_t>(channelCount), bitDepth, withLoop);
    const uint64_t rate = sampleRate < 1 ? 44100 : static_cast<uint64_t>(sampleRate);
    const uint64_t byteRate = rate * blockAlign;
    if (total - 8 > kMaxU32 || byteRate > kMaxU32 || blockAlign > 0xFFFF)
        return false;

    std::vector<uint8_t> header;
    header.reserve(112);
    putId(header, "RIFF");
    putU32(header, static_cast<uint32_t>(total - 8));
    putId(header, "WAVE");
    putId(header, "fmt ");
    putU32(header, 16);
    putU16(header, bitDepth == 32 ? 3 : 1);
    putU16(header, static_cast<uint32_t>(channelCount));
    putU32(header, static_cast<uint32_t>(rate));
    putU32(header, static_cast<uint32_t>(byteRate));
    putU16(header, static_cast<uint32_t>(blockAlign));
    putU16(header, static_cast<uint32_t>(bitDepth));
    if (withLoop)
    {
        putId(header, "smpl");
        putU32(header, 60);
        const uint32_t fields[15] = {
            0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, static_cast<uint32_t>(loopStart), static_cast<uint32_t>(loopEnd), 0, 0};
        for (uint32_t f : fields)
            putU32(header, f);
    }
    putId(header, "data");
    putU32(header, static_cast<uint32_t>(dataSize));

    std::filesystem::path path;
    if (!files::toPath(filename, path))
        return false;
    // The file is replaced whole once written, so a failed save (full disk,
    // size limit, I/O error) leaves the previous file as it was.
    return files::replaceFile(path, [&](const files::Write& write) {
        if (!write(header.data(), header.size()))
            return false;
        const size_t framesPerWrite = std::max<size_t>(1, kIoBytes / blockAlign);
        std::vector<uint8_t> buffer(framesPerWrite * blockAlign);
        const int b = static_cast<int>(bytes);
        for (size_t done = 0; done < static_cast<size_t>(frames);)
        {
            const size_t count = std::min(framesPerWrite, static_cast<size_t>(frames) - done);
            uint8_t* p = buffer.data();
            for (size_t f = 0; f < count; ++f)
                for (const float* src : sources)
                {
                    encode(src[done + f], b, p);
                    p += b;
                }
            if (!write(buffer.data(), count * blockAlign))
                return false;
            done += count;
        }
        return true;
    });
}

void WavFile32::setChannel(int channel, int frameCount, const float* values)
{
    if (channel < 0)
        return;
    const size_t c = static_cast<size_t>(channel);
    if (frameCount >= 1 && values)
    {
        // Copied before anything moves, so values may point into this object.
        std::vector<float> copy(values, values + frameCount);
        if (data.size() <= c)
            data.resize(c + 1);
        if (data[c].empty())
            ++channels;
        data[c] = std::move(copy);
        if (frameCount != frames)
        {
            frames = frameCount;
            for (size_t i = 0; i < data.size(); ++i)
                if (i != c && !data[i].empty())
                    data[i].resize(static_cast<size_t>(frameCount), 0.0f);
        }
    }
    else if (c < data.size() && !data[c].empty())
    {
        std::vector<float>().swap(data[c]);
        if (--channels == 0)
            frames = 0;
    }
}

uint64_t WavFile32::fileBytes(int64_t frameCount, int64_t channelCount, int bitDepth, bool withLoop)
{
    const uint64_t dataSize = static_cast<uint64_t>(std::max<int64_t>(frameCount, 0)) *
                              static_cast<uint64_t>(std::max<int64_t>(channelCount, 0)) *
                              static_cast<uint64_t>(std::max(bitDepth, 0) / 8);
    return dataSize + (withLoop ? 112 : 44);
}

void WavFile32::clear()
{
    data.clear();
    frames = 0;
    channels = 0;
}
} // namespace qw
