// WAV reading and writing: written bytes against hand-made dumps, the value
// conversions of every format, round trips, and hostile files refused cleanly.
#include "WavFile32.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

// --- the largest single heap request, to show that hostile sizes allocate nothing big ---
namespace
{
thread_local size_t g_largest = 0;

void* allocate(size_t n)
{
    if (n > g_largest)
        g_largest = n;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(size_t n)
{
    return allocate(n);
}
void* operator new[](size_t n)
{
    return allocate(n);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept
{
    std::free(p);
}

namespace
{
using Bytes = std::vector<uint8_t>;
using qw::WavFile32;

void u16(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void u32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}
void id(Bytes& b, const char* s)
{
    b.insert(b.end(), s, s + 4);
}
Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A chunk with the size as given (or the body's own), padded when odd.
Bytes chunk(const char* name, const Bytes& body, int64_t size = -1, bool pad = true)
{
    Bytes b;
    id(b, name);
    u32(b, uint32_t(size < 0 ? body.size() : size));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && (body.size() & 1))
        b.push_back(0);
    return b;
}

Bytes fmtBody(int tag, int channels, int rate, int bits)
{
    Bytes b;
    u16(b, tag);
    u16(b, channels);
    u32(b, rate);
    u32(b, uint32_t(uint64_t(rate) * channels * bits / 8));
    u16(b, channels * (bits / 8));
    u16(b, bits);
    return b;
}

// The 40-byte extensible form: cbSize 22, valid bits, channel mask, sub-format GUID.
Bytes extensibleBody(int channels, int rate, int bits, uint32_t subFormat)
{
    Bytes b = fmtBody(0xFFFE, channels, rate, bits);
    u16(b, 22);
    u16(b, bits);
    u32(b, 0);
    u32(b, subFormat);
    const uint8_t rest[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    b.insert(b.end(), rest, rest + 12);
    return b;
}

Bytes smplBody(uint32_t loops, uint32_t start, uint32_t end)
{
    Bytes b;
    for (int i = 0; i < 7; ++i)
        u32(b, 0);
    u32(b, loops);
    u32(b, 0);
    u32(b, 0);
    u32(b, 0);
    u32(b, start);
    u32(b, end);
    u32(b, 0);
    u32(b, 0);
    return b;
}

// RIFF/WAVE around the chunks; riffSize < 0 means the right one.
Bytes riff(const Bytes& chunks, int64_t riffSize = -1)
{
    Bytes b;
    id(b, "RIFF");
    u32(b, uint32_t(riffSize < 0 ? chunks.size() + 4 : riffSize));
    id(b, "WAVE");
    return b + chunks;
}

Bytes pcm16(std::initializer_list<int> values)
{
    Bytes b;
    for (int v : values)
        u16(b, uint32_t(v));
    return b;
}

class WavTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("qw-wav-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::wstring path(const std::string& name) const { return (dir_ / name).wstring(); }
    std::string narrow(const std::string& name) const { return (dir_ / name).string(); }

    std::wstring put(const Bytes& b, const std::string& name = "in.wav") const
    {
        std::ofstream(narrow(name), std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
        return path(name);
    }
    Bytes get(const std::string& name) const
    {
        std::ifstream in(narrow(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir_ / name); }

    // Loads, and on failure checks that the object is left empty.
    bool load(WavFile32& w, const Bytes& b) const
    {
        const bool ok = w._loadWav(put(b));
        if (!ok)
        {
            EXPECT_EQ(w.frames, 0);
            EXPECT_EQ(w.channels, 0);
            EXPECT_TRUE(w.data.empty());
        }
        return ok;
    }

    std::filesystem::path dir_;
};

std::string hex(const Bytes& b)
{
    std::string s;
    char t[4];
    for (size_t i = 0; i < b.size(); ++i)
    {
        std::snprintf(t, sizeof t, "%02X", b[i]);
        s += (i % 16 == 0 && i ? "\n" : i ? " " : "") + std::string(t);
    }
    return s;
}

Bytes fromHex(const char* text)
{
    Bytes b;
    for (const char* p = text; *p;)
    {
        if (std::isxdigit(static_cast<unsigned char>(*p)))
        {
            b.push_back(uint8_t(std::strtoul(std::string(p, 2).c_str(), nullptr, 16)));
            p += 2;
        }
        else
            ++p;
    }
    return b;
}

// ---------------------------------------------------------------------------
// Writing: the exact bytes

TEST_F(WavTest, WritesMono16BitHeaderAndFrames)
{
    WavFile32 w;
    const float v[3] = {0.5f, -1.0f, 1.0f};
    w.setChannel(0, 3, v);
    w.sampleRate = 48000;
    ASSERT_TRUE(w._saveWav(path("o.wav"), 16));
    // 44-byte header, 6 data bytes: 0.5 -> 16383 (3FFF), -1 -> -32767 (8001), 1 -> 32767 (7FFF).
    EXPECT_EQ(hex(get("o.wav")), hex(fromHex("52 49 46 46 2A 00 00 00 57 41 56 45 66 6D 74 20"
                                             "10 00 00 00 01 00 01 00 80 BB 00 00 00 77 01 00"
                                             "02 00 10 00 64 61 74 61 06 00 00 00 FF 3F 01 80"
                                             "FF 7F")));
}

TEST_F(WavTest, WritesStereo24BitWithLoopChunk)
{
    WavFile32 w;
    const float l[2] = {0.0f, -1.0f}, r[2] = {1.0f, 0.25f};
    w.setChannel(0, 2, l);
    w.setChannel(1, 2, r);
    w.sampleRate = 44100;
    w.loopStart = 1;
    w.loopEnd = 0x01020304;
    ASSERT_TRUE(w._saveWav(path("o.wav"), 24));
    // data 2 frames x 2 channels x 3 bytes = 12; total 124, RIFF size 116 (0x74).
    // 1.0 -> 7FFFFF, -1.0 -> 800001, 0.25 -> 0.25 x 8388607 = 2097151.75 -> 1FFFFF.
    EXPECT_EQ(hex(get("o.wav")), hex(fromHex("52 49 46 46 74 00 00 00 57 41 56 45 66 6D 74 20"
                                             "10 00 00 00 01 00 02 00 44 AC 00 00 98 09 04 00"
                                             "06 00 18 00 73 6D 70 6C 3C 00 00 00 00 00 00 00"
                                             "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
                                             "00 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00"
                                             "00 00 00 00 00 00 00 00 01 00 00 00 04 03 02 01"
                                             "00 00 00 00 00 00 00 00 64 61 74 61 0C 00 00 00"
                                             "00 00 00 FF FF 7F 01 00 80 FF FF 1F")));
}

TEST_F(WavTest, Writes32BitAsFloatAndRateBelowOneAs44100)
{
    WavFile32 w;
    const float v[1] = {-0.75f};
    w.setChannel(0, 1, v);
    w.sampleRate = 0;
    ASSERT_TRUE(w._saveWav(path("o.wav"), 32));
    // tag 3, rate 44100 (AC44), byte rate 176400 (0x2B110), -0.75f = 0xBF400000.
    EXPECT_EQ(hex(get("o.wav")), hex(fromHex("52 49 46 46 28 00 00 00 57 41 56 45 66 6D 74 20"
                                             "10 00 00 00 03 00 01 00 44 AC 00 00 10 B1 02 00"
                                             "04 00 20 00 64 61 74 61 04 00 00 00 00 00 40 BF")));
}

TEST_F(WavTest, LoopWithOneEndUnsetWritesNoSmplChunk)
{
    WavFile32 w;
    const float v[4] = {};
    w.setChannel(0, 4, v);
    w.loopStart = 2;
    w.loopEnd = -1;
    ASSERT_TRUE(w._saveWav(path("o.wav"), 8));
    const Bytes b = get("o.wav");
    ASSERT_EQ(b.size(), 44u + 4u);
    EXPECT_EQ(b[4], 4 + 36); // RIFF size dataSize + 36
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
}

TEST_F(WavTest, SaveRefusals)
{
    WavFile32 empty;
    EXPECT_FALSE(empty._saveWav(path("e.wav"), 16));
    EXPECT_FALSE(exists("e.wav"));

    WavFile32 w;
    const float v[2] = {0.1f, 0.2f};
    w.setChannel(0, 2, v);
    for (int bits : {0, 4, 12, 20, 64, -16})
    {
        EXPECT_FALSE(w._saveWav(path("b.wav"), bits)) << bits;
        EXPECT_FALSE(exists("b.wav")) << bits;
    }
    EXPECT_FALSE(w._saveWav(L"", 16));
    EXPECT_FALSE(w._saveWav(path("no-such-folder/x.wav"), 16));

    // A byte rate (rate x block) beyond 32 bits is refused; the same rate fits at 8 bits mono.
    w.sampleRate = 0x7FFFFFFF;
    EXPECT_FALSE(w._saveWav(path("r.wav"), 32));
    EXPECT_FALSE(exists("r.wav"));
    EXPECT_TRUE(w._saveWav(path("r.wav"), 8));
    w.sampleRate = 44100;

    // Content that disagrees with its own counts is not written.
    w.frames = 3;
    EXPECT_FALSE(w._saveWav(path("c.wav"), 16));
    EXPECT_FALSE(exists("c.wav"));
}

// A save that fails part-way (here: the process may write no file past 4 KB)
// leaves the file it was to replace untouched, and no partial file beside it.
TEST_F(WavTest, FailedSaveKeepsThePreviousFile)
{
    WavFile32 small, large;
    const std::vector<float> v(16, 0.25f), many(100000, 0.5f);
    small.setChannel(0, static_cast<int>(v.size()), v.data());
    large.setChannel(0, static_cast<int>(many.size()), many.data());
    ASSERT_TRUE(small._saveWav(path("keep.wav"), 16));
    const Bytes before = get("keep.wav");

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* const oldHandler = std::signal(SIGXFSZ, SIG_IGN); // a short write instead of the signal
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool saved16 = large._saveWav(path("keep.wav"), 16);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved16);
    EXPECT_EQ(get("keep.wav"), before);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
        files += entry.path().filename() != "keep.wav";
    EXPECT_EQ(files, 0) << "a partial file was left beside the target";

    // Unlimited again, the same save replaces the file.
    ASSERT_TRUE(large._saveWav(path("keep.wav"), 16));
    EXPECT_EQ(get("keep.wav").size(), 44u + 2u * many.size());
}

TEST(WavSizes, SaveIsRefusedWhenTheRiffSizeWouldPassFourGigabytes)
{
    // RIFF size = file bytes - 8 must fit 32 bits.
    EXPECT_EQ(WavFile32::fileBytes(3, 1, 16, false), 50u);
    EXPECT_EQ(WavFile32::fileBytes(2, 2, 24, true), 124u);
    const uint64_t limit = 0xFFFFFFFFull + 8;
    // 24-bit stereo: 6 bytes a frame.
    const int64_t fits = (int64_t(limit) - 44) / 6;
    EXPECT_LE(WavFile32::fileBytes(fits, 2, 24, false), limit);
    EXPECT_GT(WavFile32::fileBytes(fits + 1, 2, 24, false), limit);
    EXPECT_GT(WavFile32::fileBytes(std::numeric_limits<int32_t>::max(), 1, 32, false), limit);
}

// ---------------------------------------------------------------------------
// Conversions

struct WriteCase
{
    int bits;
    float in;
    int64_t stored; // integer as written (8-bit unsigned), ignored for float
};

TEST_F(WavTest, WriteConversionTable)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const WriteCase cases[] = {
        {8, 0.0f, 0x80},      {8, 1.0f, 0xFF},        {8, -1.0f, 0x00},   {8, 0.5f, 0xC0},     {8, -0.5f, 0x40},
        {8, 0.99f, 0xFE},     {8, 3.0f, 0xFF},        {8, -inf, 0x00},    {8, nan, 0x80},      {16, 0.0f, 0},
        {16, 1.0f, 32767},    {16, -1.0f, -32767},    {16, 0.5f, 16383},  {16, -0.5f, -16383}, {16, 2.0f, 32767},
        {16, -inf, -32767},   {16, nan, 0},           {16, 1e-5f, 0},     {24, 1.0f, 8388607}, {24, -1.0f, -8388607},
        {24, 0.25f, 2097151}, {24, -0.25f, -2097151}, {24, inf, 8388607}, {24, nan, 0},        {24, -1e-7f, 0},
        {24, 2.0e-7f, 1},
    };
    for (const WriteCase& c : cases)
    {
        WavFile32 w;
        w.setChannel(0, 1, &c.in);
        ASSERT_TRUE(w._saveWav(path("t.wav"), c.bits));
        const Bytes b = get("t.wav");
        const int n = c.bits / 8;
        ASSERT_EQ(b.size(), 44u + n);
        int64_t got = 0;
        for (int i = 0; i < n; ++i)
            got |= int64_t(b[44 + i]) << (8 * i);
        if (c.bits > 8 && (got >> (c.bits - 1)))
            got -= int64_t(1) << c.bits;
        EXPECT_EQ(got, c.stored) << c.bits << " bits, " << c.in;
    }
}

TEST_F(WavTest, FloatWriteKeepsBitsButNotNaN)
{
    const float values[] = {0.0f,
                            -0.0f,
                            1.5f,
                            -3.25e-20f,
                            std::numeric_limits<float>::denorm_min(),
                            std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN()};
    WavFile32 w;
    w.setChannel(0, 7, values);
    ASSERT_TRUE(w._saveWav(path("f.wav"), 32));
    const Bytes b = get("f.wav");
    ASSERT_EQ(b.size(), 44u + 28u);
    for (int i = 0; i < 7; ++i)
    {
        float got;
        std::memcpy(&got, &b[44 + 4 * i], 4);
        const float want = std::isnan(values[i]) ? 0.0f : values[i];
        EXPECT_EQ(std::memcmp(&got, &want, 4), 0) << i;
    }
}

struct ReadCase
{
    int tag;
    int bits;
    Bytes stored;
    float expected;
};

TEST_F(WavTest, ReadConversionTable)
{
    // Integer full scale is 2^(bits-1): value / 2^(bits-1).
    auto scale = [](int64_t v, int bits) { return float(std::ldexp(double(v), -(bits - 1))); };
    auto f32 = [](float f) {
        Bytes b(4);
        std::memcpy(b.data(), &f, 4);
        return b;
    };
    auto f64 = [](double d) {
        Bytes b(8);
        std::memcpy(b.data(), &d, 8);
        return b;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const ReadCase cases[] = {
        {1, 8, {0x80}, 0.0f},
        {1, 8, {0x00}, -1.0f},
        {1, 8, {0xFF}, 127.0f / 128.0f},
        {1, 8, {0x81}, 1.0f / 128.0f},
        {1, 16, {0x00, 0x80}, -1.0f},
        {1, 16, {0xFF, 0x7F}, scale(32767, 16)},
        {1, 16, {0x01, 0x00}, scale(1, 16)},
        {1, 16, {0xFF, 0xFF}, scale(-1, 16)},
        {1, 24, {0x00, 0x00, 0x80}, -1.0f},
        {1, 24, {0xFF, 0xFF, 0x7F}, scale(8388607, 24)},
        {1, 24, {0xFF, 0xFF, 0xFF}, scale(-1, 24)},
        {1, 24, {0x01, 0x00, 0x00}, scale(1, 24)},
        {1, 24, {0x00, 0x00, 0x40}, 0.5f},
        {1, 32, {0x00, 0x00, 0x00, 0x80}, -1.0f},
        {1, 32, {0x00, 0x00, 0x00, 0x40}, 0.5f},
        {1, 32, {0x00, 0x01, 0x00, 0x00}, scale(256, 32)},
        {3, 32, f32(-0.123f), -0.123f},
        {3, 32, f32(inf), inf},
        {3, 64, f64(0.1), 0.1f},
        {3, 64, f64(-2.5), -2.5f},
        {3, 64, f64(1e300), inf},
        {3, 64, f64(-1e300), -inf},
    };
    for (const ReadCase& c : cases)
    {
        WavFile32 w;
        ASSERT_TRUE(load(w, riff(chunk("fmt ", fmtBody(c.tag, 1, 8000, c.bits)) + chunk("data", c.stored)))) << c.bits;
        ASSERT_EQ(w.frames, 1);
        EXPECT_EQ(w.data[0][0], c.expected) << c.tag << "/" << c.bits << " " << hex(c.stored);
        EXPECT_EQ(w.bits, c.bits);
    }
}

TEST_F(WavTest, ReadsInterleavedChannelsAndHeaderFields)
{
    WavFile32 w;
    // Three channels of 16 bits, two frames.
    ASSERT_TRUE(load(w, riff(chunk("fmt ", fmtBody(1, 3, 22050, 16)) +
                             chunk("data", pcm16({0x4000, -0x4000, 0x2000, 0, 0x1000, -0x8000})))));
    EXPECT_EQ(w.frames, 2);
    EXPECT_EQ(w.channels, 3);
    EXPECT_EQ(w.sampleRate, 22050);
    EXPECT_EQ(w.bits, 16);
    EXPECT_EQ(w.loopStart, -1);
    EXPECT_EQ(w.loopEnd, -1);
    ASSERT_EQ(w.data.size(), 3u);
    EXPECT_EQ(w.data[0], (std::vector<float>{0.5f, 0.0f}));
    EXPECT_EQ(w.data[1], (std::vector<float>{-0.5f, 0.125f}));
    EXPECT_EQ(w.data[2], (std::vector<float>{0.25f, -1.0f}));
}

TEST_F(WavTest, ReadsExtensibleIntegerAndFloat)
{
    WavFile32 a;
    ASSERT_TRUE(load(
        a, riff(chunk("fmt ", extensibleBody(2, 96000, 24, 1)) + chunk("data", {0x00, 0x00, 0x40, 0x00, 0x00, 0xC0}))));
    EXPECT_EQ(a.channels, 2);
    EXPECT_EQ(a.sampleRate, 96000);
    EXPECT_EQ(a.data[0][0], 0.5f);
    EXPECT_EQ(a.data[1][0], -0.5f);

    WavFile32 f;
    const float x = 0.3f;
    Bytes d(4);
    std::memcpy(d.data(), &x, 4);
    ASSERT_TRUE(load(f, riff(chunk("fmt ", extensibleBody(1, 44100, 32, 3)) + chunk("data", d))));
    EXPECT_EQ(f.data[0][0], 0.3f);

    // Sub-format 0 reads as integer as well.
    WavFile32 z;
    ASSERT_TRUE(load(z, riff(chunk("fmt ", extensibleBody(1, 44100, 16, 0)) + chunk("data", pcm16({0x4000})))));
    EXPECT_EQ(z.data[0][0], 0.5f);
}

TEST_F(WavTest, RefusesUnknownFormats)
{
    const Bytes data = chunk("data", Bytes(8, 0));
    struct Case
    {
        const char* what;
        Bytes fmt;
    };
    Bytes shortExtensible = extensibleBody(1, 8000, 16, 1);
    shortExtensible.resize(26);
    const Case cases[] = {
        {"extensible, sub-format 2", extensibleBody(1, 8000, 16, 2)},
        {"extensible, sub-format 4", extensibleBody(1, 8000, 16, 4)},
        {"extensible, fmt of 26 bytes", shortExtensible},
        {"tag 2", fmtBody(2, 1, 8000, 16)},
        {"tag 0", fmtBody(0, 1, 8000, 16)},
        {"float 16", fmtBody(3, 1, 8000, 16)},
        {"float 24", fmtBody(3, 1, 8000, 24)},
        {"integer 64", fmtBody(1, 1, 8000, 64)},
        {"integer 12", fmtBody(1, 1, 8000, 12)},
        {"integer 0", fmtBody(1, 1, 8000, 0)},
        {"no channels", fmtBody(1, 0, 8000, 16)},
    };
    for (const Case& c : cases)
    {
        WavFile32 w;
        EXPECT_FALSE(load(w, riff(chunk("fmt ", c.fmt) + data))) << c.what;
    }
    // Byte rate and block align must agree with the rest.
    Bytes badRate = fmtBody(1, 2, 8000, 16);
    badRate[8] ^= 1;
    Bytes badAlign = fmtBody(1, 2, 8000, 16);
    badAlign[12] = 2;
    WavFile32 w;
    EXPECT_FALSE(load(w, riff(chunk("fmt ", badRate) + data)));
    EXPECT_FALSE(load(w, riff(chunk("fmt ", badAlign) + data)));
}

// ---------------------------------------------------------------------------
// Loops

TEST_F(WavTest, LoopPointsFromTheFirstLoopOnly)
{
    const Bytes fmt = chunk("fmt ", fmtBody(1, 1, 8000, 16));
    const Bytes data = chunk("data", pcm16({1, 2, 3, 4}));
    WavFile32 w;
    ASSERT_TRUE(load(w, riff(fmt + chunk("smpl", smplBody(1, 1, 3)) + data)));
    EXPECT_EQ(w.loopStart, 1);
    EXPECT_EQ(w.loopEnd, 3);

    // A second loop after the first is ignored.
    Bytes two = smplBody(2, 0, 2);
    for (uint32_t v : {7u, 0u, 1u, 3u, 0u, 0u})
        u32(two, v);
    ASSERT_TRUE(load(w, riff(fmt + chunk("smpl", two) + data)));
    EXPECT_EQ(w.loopStart, 0);
    EXPECT_EQ(w.loopEnd, 2);

    struct Case
    {
        const char* what;
        Bytes smpl;
    };
    Bytes cut = smplBody(1, 1, 3);
    cut.resize(48); // ends inside the loop's end field
    Bytes tiny = smplBody(1, 1, 3);
    tiny.resize(8);
    const Case none[] = {
        {"zero loops", smplBody(0, 1, 3)},
        {"smpl too short for the first loop", cut},
        {"smpl of 8 bytes", tiny},
        {"smpl of 0 bytes", {}},
        {"start beyond 32-bit signed", smplBody(1, 0x80000000u, 3)},
        {"end beyond 32-bit signed", smplBody(1, 1, 0xFFFFFFFEu)},
    };
    for (const Case& c : none)
    {
        WavFile32 v;
        v.loopStart = 5;
        v.loopEnd = 6;
        ASSERT_TRUE(load(v, riff(fmt + chunk("smpl", c.smpl) + data))) << c.what;
        EXPECT_EQ(v.loopStart, -1) << c.what;
        EXPECT_EQ(v.loopEnd, -1) << c.what;
        EXPECT_EQ(v.frames, 4) << c.what;
    }
}

// ---------------------------------------------------------------------------
// Chunk walk

TEST_F(WavTest, OddChunkIsFollowedByItsPadByte)
{
    // An odd-sized unknown chunk before "fmt ", and an odd "data" chunk last
    // with its pad byte, then the same without the final pad.
    const Bytes odd = chunk("LIST", {'a', 'b', 'c'});
    ASSERT_EQ(odd.size(), 12u);
    Bytes eight;
    eight.push_back(0x80);
    eight.push_back(0xC0);
    eight.push_back(0x00);
    WavFile32 w;
    ASSERT_TRUE(load(w, riff(odd + chunk("fmt ", fmtBody(1, 1, 8000, 8)) + chunk("data", eight))));
    EXPECT_EQ(w.data[0], (std::vector<float>{0.0f, 0.5f, -1.0f}));
    ASSERT_TRUE(load(w, riff(odd + chunk("fmt ", fmtBody(1, 1, 8000, 8)) + chunk("data", eight, -1, false))));
    EXPECT_EQ(w.frames, 3);
}

TEST_F(WavTest, RiffSizeThatDisagreesIsToleratedInsideTheFile)
{
    const Bytes chunks = chunk("fmt ", fmtBody(1, 1, 8000, 16)) + chunk("data", pcm16({0x4000}));
    for (int64_t size :
         {int64_t(chunks.size() + 4 - 1), int64_t(chunks.size() + 4 + 1), int64_t(0), int64_t(0xFFFFFFFF)})
    {
        WavFile32 w;
        ASSERT_TRUE(load(w, riff(chunks, size))) << size;
        EXPECT_EQ(w.data[0][0], 0.5f);
    }
    // A trailing pad byte that the RIFF size does not count.
    WavFile32 w;
    EXPECT_TRUE(load(w, riff(chunks) + Bytes{0}));
}

TEST_F(WavTest, RefusesMissingAndRepeatedChunks)
{
    const Bytes fmt = chunk("fmt ", fmtBody(1, 1, 8000, 16));
    const Bytes data = chunk("data", pcm16({1, 2}));
    const Bytes smpl = chunk("smpl", smplBody(1, 0, 1));
    const Bytes fmt16 = fmtBody(1, 1, 8000, 16);
    struct Case
    {
        const char* what;
        Bytes file;
    };
    const Case cases[] = {
        {"no fmt", riff(data)},
        {"no data", riff(fmt)},
        {"two fmt", riff(fmt + fmt + data)},
        {"two data", riff(fmt + data + data)},
        {"two smpl", riff(fmt + smpl + smpl + data)},
        {"fmt of 14 bytes", riff(chunk("fmt ", Bytes(fmt16.begin(), fmt16.begin() + 14)) + data)},
        {"data not whole frames", riff(chunk("fmt ", fmtBody(1, 2, 8000, 16)) + chunk("data", pcm16({1, 2, 3})))},
        {"not RIFF",
         [&] {
             Bytes b = riff(fmt + data);
             b[0] = 'X';
             return b;
         }()},
        {"not WAVE",
         [&] {
             Bytes b = riff(fmt + data);
             b[11] = 'X';
             return b;
         }()},
        {"empty file", {}},
    };
    for (const Case& c : cases)
    {
        WavFile32 w;
        EXPECT_FALSE(load(w, c.file)) << c.what;
    }
    WavFile32 w;
    EXPECT_FALSE(w._loadWav(L""));
    EXPECT_FALSE(w._loadWav(path("missing.wav")));
    EXPECT_FALSE(w._loadWav(path(""))); // the folder itself
}

TEST_F(WavTest, FailedLoadEmptiesAFullObject)
{
    WavFile32 w;
    const float v[3] = {1, 2, 3};
    w.setChannel(0, 3, v);
    w.setChannel(1, 3, v);
    EXPECT_FALSE(load(w, riff(chunk("fmt ", fmtBody(1, 1, 8000, 16)))));
}

TEST_F(WavTest, EmptyDataChunkLoadsAsNoFrames)
{
    WavFile32 w;
    ASSERT_TRUE(load(w, riff(chunk("fmt ", fmtBody(1, 65535, 8000, 8)) + chunk("data", {}))));
    EXPECT_EQ(w.frames, 0);
    EXPECT_EQ(w.channels, 0);
    EXPECT_TRUE(w.data.empty());
    EXPECT_EQ(w.sampleRate, 8000);
}

// ---------------------------------------------------------------------------
// Hostile files

TEST_F(WavTest, EveryTruncationOfAGoodFileIsRefused)
{
    const Bytes good = riff(chunk("fmt ", fmtBody(1, 2, 8000, 16)) + chunk("smpl", smplBody(1, 0, 1)) +
                            chunk("data", pcm16({1, 2, 3, 4})));
    WavFile32 w;
    ASSERT_TRUE(load(w, good));
    for (size_t n = 0; n < good.size(); ++n)
    {
        g_largest = 0;
        EXPECT_FALSE(load(w, Bytes(good.begin(), good.begin() + n))) << n << " bytes";
        EXPECT_LT(g_largest, 1u << 20) << n << " bytes";
    }
}

TEST_F(WavTest, HostileSizesAreRefusedWithoutALargeAllocation)
{
    const Bytes fmt = chunk("fmt ", fmtBody(1, 1, 8000, 16));
    const Bytes fmt8x2 = chunk("fmt ", fmtBody(1, 2, 8000, 8));
    struct Case
    {
        const char* what;
        Bytes file;
    };
    const Case cases[] = {
        {"data claims 4 GB", riff(fmt + chunk("data", pcm16({1, 2}), 0xFFFFFFFE))},
        {"data claims 2 GB", riff(fmt + chunk("data", pcm16({1, 2}), 0x7FFFFFFE))},
        {"data claims one frame more", riff(fmt + chunk("data", pcm16({1, 2}), 6))},
        {"data of many 8-bit channels claims more", riff(fmt8x2 + chunk("data", {1, 2}, 0xFFFFFFF0))},
        {"fmt claims 4 GB", riff(chunk("fmt ", fmtBody(1, 1, 8000, 16), 0xFFFFFFF0) + chunk("data", pcm16({1})))},
        {"smpl claims 4 GB", riff(fmt + chunk("smpl", smplBody(1, 0, 1), 0xFFFFFFF0) + chunk("data", pcm16({1})))},
        {"fmt claims one byte more", riff(chunk("fmt ", fmtBody(1, 1, 8000, 16), 17))},
        {"unknown chunk hides data", riff(fmt + chunk("junk", {1, 2}, 0xFFFFFFF0) + chunk("data", pcm16({1})))},
        {"a size field cut short", riff(fmt + chunk("data", pcm16({1}))) + Bytes{'L', 'I', 'S', 'T', 1}},
    };
    for (const Case& c : cases)
    {
        WavFile32 w;
        g_largest = 0;
        EXPECT_FALSE(load(w, c.file)) << c.what;
        EXPECT_LT(g_largest, 1u << 20) << c.what;
    }
}

TEST_F(WavTest, LargeFrameCountsAreSizedFromTheFile)
{
    // 65535 channels of 8 bits with one frame: the allocation follows the
    // data actually present.
    Bytes d(65535, 0x80);
    WavFile32 w;
    g_largest = 0;
    ASSERT_TRUE(load(w, riff(chunk("fmt ", fmtBody(1, 65535, 1, 8)) + chunk("data", d))));
    EXPECT_EQ(w.channels, 65535);
    EXPECT_EQ(w.frames, 1);
    EXPECT_LT(g_largest, 4u << 20);
}

// ---------------------------------------------------------------------------
// Round trips

TEST_F(WavTest, RoundTripsAtEveryDepth)
{
    const int n = 1000;
    std::vector<float> a(n), b(n);
    for (int i = 0; i < n; ++i)
    {
        a[i] = float(std::sin(i * 0.05) * 0.9);
        b[i] = float(2.0 * i / (n - 1) - 1.0); // the full range, ends included
    }
    struct Depth
    {
        int bits;
        float step; // one step of the integer code
    };
    for (Depth d : {Depth{8, 1.0f / 128}, Depth{16, 1.0f / 32768}, Depth{24, 1.0f / 8388608}, Depth{32, 0.0f}})
    {
        WavFile32 w;
        w.setChannel(0, n, a.data());
        w.setChannel(1, n, b.data());
        w.sampleRate = 192000;
        w.loopStart = 10;
        w.loopEnd = 900;
        ASSERT_TRUE(w._saveWav(path("r.wav"), d.bits)) << d.bits;
        WavFile32 r;
        ASSERT_TRUE(r._loadWav(path("r.wav"))) << d.bits;
        EXPECT_EQ(r.frames, n);
        EXPECT_EQ(r.channels, 2);
        EXPECT_EQ(r.sampleRate, 192000);
        EXPECT_EQ(r.bits, d.bits);
        EXPECT_EQ(r.loopStart, 10);
        EXPECT_EQ(r.loopEnd, 900);
        for (int i = 0; i < n; ++i)
        {
            // Truncation toward zero with a 2^(bits-1) - 1 scale: at most two steps off.
            const float want8 = std::min(a[i], 0.9921875f);
            if (d.bits == 32)
            {
                ASSERT_EQ(r.data[0][i], a[i]);
                ASSERT_EQ(r.data[1][i], b[i]);
            }
            else
            {
                ASSERT_NEAR(r.data[0][i], d.bits == 8 ? want8 : a[i], 2 * d.step) << d.bits << " " << i;
                ASSERT_NEAR(r.data[1][i], d.bits == 8 ? std::min(b[i], 0.9921875f) : b[i], 2 * d.step)
                    << d.bits << " " << i;
            }
        }
    }
}

TEST_F(WavTest, EmptyChannelsAreSkippedWhenWriting)
{
    WavFile32 w;
    const float x[2] = {0.5f, -0.5f}, y[2] = {0.25f, 0.75f};
    w.setChannel(1, 2, x);
    w.setChannel(3, 2, y);
    ASSERT_TRUE(w._saveWav(path("g.wav"), 16));
    WavFile32 r;
    ASSERT_TRUE(r._loadWav(path("g.wav")));
    EXPECT_EQ(r.channels, 2);
    ASSERT_EQ(r.data.size(), 2u);
    EXPECT_NEAR(r.data[0][0], 0.5f, 1e-4);
    EXPECT_NEAR(r.data[1][1], 0.75f, 1e-4);
}

TEST_F(WavTest, FileNamesAreUtf8OnDisk)
{
    WavFile32 w;
    const float x[1] = {0.5f};
    w.setChannel(0, 1, x);
    const std::wstring name = (dir_ / "").wstring() + L"k\u00e4se-\u266b.wav";
    ASSERT_TRUE(w._saveWav(name, 16));
    EXPECT_TRUE(exists("k\xc3\xa4se-\xe2\x99\xab.wav"));
    WavFile32 r;
    ASSERT_TRUE(r._loadWav(name));
    EXPECT_EQ(r.frames, 1);
}

// ---------------------------------------------------------------------------
// Channels in memory

TEST(WavChannels, SetChannelKeepsEveryChannelAtTheFrameCount)
{
    WavFile32 w;
    const float a[3] = {1, 2, 3}, b[5] = {4, 5, 6, 7, 8}, c[2] = {9, 10};
    w.setChannel(-1, 3, a);
    EXPECT_EQ(w.channels, 0);
    EXPECT_TRUE(w.data.empty());

    w.setChannel(0, 3, a);
    EXPECT_EQ(w.frames, 3);
    EXPECT_EQ(w.channels, 1);
    w.setChannel(2, 5, b); // longer: channel 0 is padded with zeros
    EXPECT_EQ(w.frames, 5);
    EXPECT_EQ(w.channels, 2);
    ASSERT_EQ(w.data.size(), 3u);
    EXPECT_EQ(w.data[0], (std::vector<float>{1, 2, 3, 0, 0}));
    EXPECT_TRUE(w.data[1].empty());
    w.setChannel(0, 2, c); // shorter: channel 2 is cut
    EXPECT_EQ(w.frames, 2);
    EXPECT_EQ(w.data[2], (std::vector<float>{4, 5}));
    w.setChannel(0, 2, a); // a channel set again is not counted twice
    EXPECT_EQ(w.channels, 2);

    w.setChannel(1, 0, a); // emptying an empty channel changes nothing
    EXPECT_EQ(w.channels, 2);
    w.setChannel(0, 2, nullptr);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.frames, 2);
    w.setChannel(2, 0, c);
    EXPECT_EQ(w.channels, 0);
    EXPECT_EQ(w.frames, 0);
    w.setChannel(7, 0, nullptr); // beyond the list: nothing
    EXPECT_EQ(w.channels, 0);
}

TEST(WavChannels, SetChannelFromItsOwnData)
{
    WavFile32 w;
    const float a[4] = {1, 2, 3, 4};
    w.setChannel(0, 4, a);
    w.setChannel(0, 2, w.data[0].data() + 2);
    EXPECT_EQ(w.data[0], (std::vector<float>{3, 4}));
    w.setChannel(5, 2, w.data[0].data()); // the list grows while the source is read
    EXPECT_EQ(w.data[5], (std::vector<float>{3, 4}));

    w.clear();
    EXPECT_EQ(w.frames, 0);
    EXPECT_EQ(w.channels, 0);
    EXPECT_TRUE(w.data.empty());
}
} // namespace
