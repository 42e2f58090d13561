// What the samplekit module tests share: the built bundle, the hand-over
// messages a half sent (read the way the other half reads them), and the
// heap in use.
#pragma once

#include "mp_sdk_common.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizer runtime's own count (its allocator replaces malloc's).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace sktest
{
inline std::shared_ptr<qwhost::Bundle> samplekit()
{
    return qwtest::bundle("samplekit");
}

// A hand-over message: byte count, token, buffer address, flag address.
struct Message
{
    int32_t bytes = 0;
    uint32_t token = 0;
    uint64_t buffer = 0;
    uint64_t acknowledge = 0;
};
static_assert(sizeof(Message) == 24, "24 bytes on the wire");

// The message in a half's bytes; a failure when they are no 24 bytes.
inline Message messageIn(const std::vector<uint8_t>& data)
{
    Message m;
    EXPECT_EQ(data.size(), sizeof m) << "a hand-over message";
    if (data.size() == sizeof m)
        std::memcpy(&m, data.data(), sizeof m);
    return m;
}

// The bytes a message names (valid until its sender frees them).
inline std::vector<uint8_t> bytesOf(const Message& m)
{
    const auto* p = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(m.buffer));
    return m.bytes > 0 ? std::vector<uint8_t>(p, p + m.bytes) : std::vector<uint8_t>();
}

inline std::vector<float> framesOf(const Message& m)
{
    std::vector<float> f(static_cast<size_t>(m.bytes) / 4);
    if (!f.empty())
        std::memcpy(f.data(), reinterpret_cast<const void*>(static_cast<uintptr_t>(m.buffer)), f.size() * 4);
    return f;
}

inline std::vector<float> framesOf(const std::vector<uint8_t>& bytes)
{
    std::vector<float> f(bytes.size() / 4);
    if (!f.empty())
        std::memcpy(f.data(), bytes.data(), f.size() * 4);
    return f;
}

// What the receiving half does once it is done with the bytes.
inline void acknowledge(const Message& m)
{
    reinterpret_cast<std::atomic<bool>*>(static_cast<uintptr_t>(m.acknowledge))->store(true);
}

// A value of `size` bytes that no other seed repeats.
inline std::vector<uint8_t> pattern(size_t size, uint32_t seed)
{
    std::vector<uint8_t> v(size);
    for (size_t i = 0; i < size; ++i)
        v[i] = static_cast<uint8_t>(seed * 131 + i * 7 + (seed >> 8));
    if (size >= 4)
        std::memcpy(v.data(), &seed, 4);
    return v;
}

// Frames t0, t0 + 1, ... as floats: what a recorder fed its own sample index records.
inline std::vector<float> ramp(int64_t t0, int64_t count)
{
    std::vector<float> v(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i)
        v[static_cast<size_t>(i)] = static_cast<float>(t0 + i);
    return v;
}

// Bytes the program has taken from the heap and not given back.
inline size_t heapInUse()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
#endif
}
} // namespace sktest
