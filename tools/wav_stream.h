// A 32-bit float WAV file written block by block: the header goes first with
// its sizes filled in when the file is closed, so a run of any length needs
// memory for one block only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace qwtool
{
class WavStreamWriter
{
public:
    WavStreamWriter() = default;
    WavStreamWriter(const WavStreamWriter&) = delete;
    WavStreamWriter& operator=(const WavStreamWriter&) = delete;
    // An unfinished file is removed.
    ~WavStreamWriter();

    // Bytes of a file of that many frames and channels; the format's sizes
    // are 32-bit, so a file above 4 GiB cannot be written.
    static uint64_t fileBytes(int64_t frames, int channels);
    static bool fits(int64_t frames, int channels) { return fileBytes(frames, channels) <= 0xFFFFFFFFull; }

    // Creates the file and writes the header; false with the reason.
    bool open(const std::string& path, int channels, int32_t rate, std::string& why);
    // One block: `frames` frames of `channels` interleaved samples.
    bool write(const float* interleaved, int frames, std::string& why);
    // Fills in the sizes and closes the file.
    bool finish(std::string& why);
    int64_t frames() const { return frames_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    int channels_ = 0;
    int64_t frames_ = 0;
};
} // namespace qwtool
