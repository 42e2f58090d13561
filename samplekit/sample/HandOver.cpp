#include "HandOver.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>

namespace qw
{
namespace
{
uint32_t drawHandOverToken()
{
    uint64_t x = static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count()) ^
                 static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&drawHandOverToken));
    try
    {
        std::random_device device;
        x = (x << 32) ^ device();
    }
    catch (...)
    {
        // No entropy source: the clock and the load address differ per load.
    }
    // splitmix64 finaliser
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    x ^= x >> 31;
    return static_cast<uint32_t>(x) | 1u;
}

// Drawn while the bundle's initialisers run, never on the audio thread.
[[maybe_unused]] const uint32_t kDrawnAtLoad = handOverToken();
} // namespace

uint32_t handOverToken()
{
    static const uint32_t token = drawHandOverToken();
    return token;
}

HandOverMessage makeHandOver(const void* buffer, int32_t bytes, AcknowledgeFlag& flag)
{
    HandOverMessage m;
    m.bytes = bytes;
    m.token = handOverToken();
    m.buffer = reinterpret_cast<uintptr_t>(buffer);
    m.acknowledge = reinterpret_cast<uintptr_t>(&flag);
    return m;
}

HandOverValue readHandOver(int32_t size, const void* data, HandOverMessage& out)
{
    if (size == 0)
        return HandOverValue::Empty;
    if (size != static_cast<int32_t>(sizeof(HandOverMessage)) || !data)
        return HandOverValue::Ignored;
    HandOverMessage m;
    std::memcpy(&m, data, sizeof m);
    if (m.token != handOverToken() || m.acknowledge == 0 || m.bytes < 0 || (m.bytes > 0 && m.buffer == 0))
        return HandOverValue::Ignored;
    out = m;
    return HandOverValue::Valid;
}

void acknowledge(const HandOverMessage& m)
{
    reinterpret_cast<AcknowledgeFlag*>(static_cast<uintptr_t>(m.acknowledge))->store(true, std::memory_order_release);
}

int BridgeSender::prepare(int32_t size, const void* data, HandOverMessage& out)
{
    if (size <= 0 || !data)
        return 0;
    copies_.release();
    if (copies_.waiting() >= kMaxWaiting)
        return -1;
    auto* copy = copies_.add();
    if (!copy)
        return -1;
    try
    {
        copy->buffer.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    }
    catch (const std::bad_alloc&)
    {
        copies_.dropNewest();
        return -1;
    }
    copy->sent = true;
    out = makeHandOver(copy->buffer.data(), size, copy->acknowledged);
    return static_cast<int>(sizeof out);
}

bool RecordingSender::begin()
{
    if (!recordings_.empty())
    {
        auto& newest = recordings_.newest();
        const bool busy = newest.sent && !newest.acknowledged.load(std::memory_order_acquire);
        recordings_.release(true);
        if (!busy)
        {
            newest.sent = false;
            newest.acknowledged.store(false, std::memory_order_relaxed);
            current_ = &newest;
            return true;
        }
    }
    current_ = recordings_.add();
    return current_ != nullptr;
}

bool RecordingSender::prepare(int32_t count, HandOverMessage& out)
{
    if (!current_ || current_->sent || recordings_.waiting() >= kMaxWaiting)
        return false;
    current_->sent = true;
    out = makeHandOver(current_->buffer.data(), count * 4, current_->acknowledged);
    return true;
}

RecordingFrames::~RecordingFrames()
{
    std::free(data_);
}

bool RecordingFrames::reserve(size_t frames, size_t piece)
{
    if (frames <= capacity_)
        return true;
    if (frames > kMaxRecordingFrames)
        return false;
    piece = std::clamp<size_t>(piece, 1, kMaxPieceFrames);
    const size_t pieces = (frames - capacity_ + piece - 1) / piece;
    const size_t wanted = std::min(capacity_ + pieces * piece, kMaxRecordingFrames);
    // realloc can move large blocks by remapping pages rather than copying.
    void* grown = std::realloc(data_, wanted * sizeof(float));
    if (!grown)
        return false;
    data_ = static_cast<float*>(grown);
    capacity_ = wanted;
    return true;
}
} // namespace qw
