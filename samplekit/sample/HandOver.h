// Buffers that the two halves of one module hand each other by address,
// inside one process, through the host's messages (id 0). The halves run on
// different threads: the sender owns each buffer and its acknowledge flag;
// the receiver passes the bytes on, then raises the flag; the sender frees a
// buffer only once it has seen that flag (or a later one) raised.
//
// A message is 24 bytes: byte count, the bundle's token, the buffer's
// address and the flag's address. A message of 0 bytes is the empty value.
// Only this bundle's own senders know the token, so bytes from anywhere else
// are never taken for addresses.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <list>
#include <new>
#include <vector>

namespace qw
{
using AcknowledgeFlag = std::atomic<bool>;
static_assert(sizeof(AcknowledgeFlag) == 1 && AcknowledgeFlag::is_always_lock_free,
              "the acknowledge flag is one byte that either thread may write");

struct HandOverMessage
{
    int32_t bytes;
    uint32_t token;
    uint64_t buffer;      // address of `bytes` bytes, owned by the sender
    uint64_t acknowledge; // address of the sender's AcknowledgeFlag
};
static_assert(sizeof(HandOverMessage) == 24, "a hand-over message is 24 bytes");

// Non-zero, drawn once per loaded bundle.
uint32_t handOverToken();

HandOverMessage makeHandOver(const void* buffer, int32_t bytes, AcknowledgeFlag& flag);

enum class HandOverValue
{
    Empty,   // a message of no bytes
    Valid,   // a message from this bundle's sender
    Ignored, // anything else
};
HandOverValue readHandOver(int32_t size, const void* data, HandOverMessage& out);

inline const void* handOverBytes(const HandOverMessage& m)
{
    return m.bytes > 0 ? reinterpret_cast<const void*>(static_cast<uintptr_t>(m.buffer)) : nullptr;
}

// Tells the sender that the bytes are no longer needed.
void acknowledge(const HandOverMessage& m);

// Takes a message: pass(bytes, data) gets a valid message's buffer, which is
// then acknowledged, or (0, null) for the empty value. Anything else is
// ignored. True when the message was taken.
template <class Pass> bool receiveHandOver(int32_t size, const void* data, Pass pass)
{
    HandOverMessage m;
    switch (readHandOver(size, data, m))
    {
    case HandOverValue::Empty:
        pass(0, nullptr);
        return true;
    case HandOverValue::Valid:
        pass(m.bytes, handOverBytes(m));
        acknowledge(m);
        return true;
    case HandOverValue::Ignored:
        break;
    }
    return false;
}

// A sender keeps at most this many buffers that the other half has not
// acknowledged; a value that finds them all waiting is not sent. Without a
// receiver (no interface half), memory stays bounded.
constexpr size_t kMaxWaiting = 16;

// The buffers a sender has handed over and not yet freed, oldest first. The
// receiver takes messages in order, so once a buffer is acknowledged every
// older one is done with too.
template <class Buffer> class HandOverList
{
public:
    struct Entry
    {
        Buffer buffer;
        AcknowledgeFlag acknowledged{false};
        bool sent = false;
    };

    // Frees every entry from the oldest up to and including the last
    // acknowledged one; with keepNewest the newest entry stays (for reuse).
    void release(bool keepNewest = false)
    {
        auto last = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->sent && it->acknowledged.load(std::memory_order_acquire))
                last = it;
        if (last == entries_.end())
            return;
        auto end = std::next(last);
        if (keepNewest && end == entries_.end())
            end = last;
        entries_.erase(entries_.begin(), end);
    }

    // Entries sent and not yet acknowledged.
    size_t waiting() const
    {
        size_t n = 0;
        for (auto& e : entries_)
            n += e.sent && !e.acknowledged.load(std::memory_order_acquire);
        return n;
    }

    // A new entry at the end; null when there is no memory for it.
    Entry* add() noexcept
    {
        try
        {
            return &entries_.emplace_back();
        }
        catch (const std::bad_alloc&)
        {
            return nullptr;
        }
    }

    void dropNewest() { entries_.pop_back(); }
    bool empty() const { return entries_.empty(); }
    Entry& newest() { return entries_.back(); }
    size_t size() const { return entries_.size(); }

private:
    std::list<Entry> entries_;
};

// The sending side of a bridge: a copy of each non-empty value is handed
// over and kept until acknowledged.
class BridgeSender
{
public:
    // The message for a new value: 0 bytes for an empty one, 24 for a copy,
    // -1 when nothing may be sent (kMaxWaiting copies waiting, or no memory
    // for the copy). Older copies the receiver is done with are freed first.
    int prepare(int32_t size, const void* data, HandOverMessage& out);

    // prepare, then send(size, data) with the message (the host's call to
    // the other half) unless nothing may be sent. True when sent.
    template <class Send> bool send(int32_t size, const void* data, Send sendMessage)
    {
        HandOverMessage m;
        const int n = prepare(size, data, m);
        if (n < 0)
            return false;
        sendMessage(n, n ? &m : nullptr);
        return true;
    }

    size_t waiting() const { return copies_.waiting(); }

private:
    HandOverList<std::vector<uint8_t>> copies_;
};

// Transmits a message's bytes on a user-interface pin of `gui` (an empty
// value as empty), then acknowledges them. True when taken.
template <class Gui> bool transmitHandOver(Gui& gui, int32_t pinId, int32_t size, const void* data)
{
    return receiveHandOver(size, data, [&](int32_t n, const void* bytes) { gui.pinTransmit(pinId, n, bytes, 0); });
}

// Frames of a recording in memory taken as it grows, a piece at a time.
class RecordingFrames
{
public:
    RecordingFrames() = default;
    RecordingFrames(const RecordingFrames&) = delete;
    RecordingFrames& operator=(const RecordingFrames&) = delete;
    ~RecordingFrames();

    // Room for at least `frames` frames, taken in whole pieces of `piece`
    // frames (at most kMaxPieceFrames), never beyond kMaxRecordingFrames.
    // False when that is more than the limit or the memory cannot be had; the
    // frames held stay as they were.
    bool reserve(size_t frames, size_t piece);

    float* data() { return data_; }
    const float* data() const { return data_; }
    size_t capacity() const { return capacity_; }

private:
    float* data_ = nullptr;
    size_t capacity_ = 0;
};

constexpr size_t kMaxRecordingFrames = 0x1FFFFFFF;
constexpr size_t kMaxPieceFrames = size_t(1) << 20;

// The recordings of a recorder's processing half: the one being made (the
// newest) and those handed to the interface half and not yet acknowledged.
class RecordingSender
{
public:
    // A buffer for a new recording: the last one again, unless the
    // interface half may still be reading it. False when there is no memory.
    bool begin();
    // Room for `frames` frames in the current recording (see
    // RecordingFrames::reserve).
    bool reserve(size_t frames, size_t piece) { return current_ && current_->buffer.reserve(frames, piece); }
    float* frames() { return current_ ? current_->buffer.data() : nullptr; }
    size_t capacity() const { return current_ ? current_->buffer.capacity() : 0; }

    // The message that hands over the current recording's first `count`
    // frames. False when kMaxWaiting recordings are waiting or none was begun:
    // nothing is handed over, and the next recording may reuse the buffer.
    bool prepare(int32_t count, HandOverMessage& out);

    size_t waiting() const { return recordings_.waiting(); }

private:
    HandOverList<RecordingFrames> recordings_;
    HandOverList<RecordingFrames>::Entry* current_ = nullptr;
};
} // namespace qw
