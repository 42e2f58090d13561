// One multi-channel sample held as separate float channels, read from and
// written to RIFF/WAVE files (all fields little-endian).
//
// Reads integer PCM of 8 (unsigned), 16, 24 and 32 bits, IEEE float of 32 and
// 64 bits, and the extensible form of both; takes the first loop of a "smpl"
// chunk. Writes integer PCM of 8, 16 and 24 bits and 32-bit float, with a
// "smpl" chunk when neither loop point is -1. Every failure is a false result;
// a hostile file is refused before anything is sized from it. Only regular
// files are read, and only a regular file (or a new one) is written.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace qw
{
// A WAV file of the formats and checks that WavFile32 reads, read a block of
// frames at a time, so that a file of any length needs memory for one block.
class WavReader
{
public:
    WavReader() = default;
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;
    ~WavReader();

    int32_t frames = 0;     // frames per channel
    int32_t channels = 0;   // channels of each frame
    int32_t sampleRate = 0; // as read
    int32_t loopStart = -1; // first loop's start frame; -1 = none
    int32_t loopEnd = -1;   // first loop's end frame; -1 = none
    int32_t bits = 0;       // bits per sample

    // Opens the file and reads its layout; false (nothing open) for a file
    // that WavFile32 refuses or one larger than maxBytes.
    bool open(const std::wstring& filename, int64_t maxBytes = INT64_MAX);
    // The next frames, at most n: channel c into out[c] (null: skipped). The
    // count read, 0 after the last frame; -1 when the file is cut short or
    // nothing is open.
    int read(float* const* out, int n);

private:
    std::unique_ptr<std::ifstream> in_;
    std::vector<uint8_t> buffer_;
    int32_t left_ = 0;
    int bytes_ = 0;
    uint32_t blockAlign_ = 1;
    bool isFloat_ = false;
};

class WavFile32
{
public:
    int32_t frames = 0;     // frames per channel (0 = nothing loaded)
    int32_t channels = 0;   // number of non-empty channels
    int32_t sampleRate = 0; // as read; when writing, below 1 writes 44100
    int32_t loopStart = -1; // first loop's start frame; -1 = none
    int32_t loopEnd = -1;   // first loop's end frame; -1 = none
    int32_t bits = 0;       // bits per sample of the file read
    // One vector of `frames` values per non-empty channel, in file order.
    std::vector<std::vector<float>> data;

    // Replaces the content by the file's. On failure the object holds no
    // frames, no channels and no channel data.
    bool _loadWav(const std::wstring& filename);
    // Writes the content with 8, 16 or 24-bit integer PCM or 32-bit float.
    // Refuses (writing nothing) an empty object, other bit depths and content
    // too large for the format's 32-bit sizes; a file left incomplete by a
    // failed write is removed.
    bool _saveWav(const std::wstring& filename, int bits) const;

    // Sets one channel (frames >= 1 and data present) or empties it. Every
    // other non-empty channel follows a change of the frame count (padded
    // with 0.0 or cut).
    void setChannel(int channel, int frames, const float* data);
    void clear();

    // Bytes of the file that _saveWav writes for that content (64-bit: the
    // save is refused when the RIFF size would not fit 32 bits).
    static uint64_t fileBytes(int64_t frames, int64_t channels, int bits, bool withLoop);
};
} // namespace qw
