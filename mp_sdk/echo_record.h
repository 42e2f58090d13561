// A module's own values coming back. A host may hand a value that a module
// sends back to the pin it was sent on: inside the send, after the send has
// returned (a host that queues its patch updates), or never. A module that
// passes values between its own pins and acts on such an echo as on a new
// value sends it on again, and the value can bounce between its pins for
// ever.
//
// The record expects each value the module sends back once, on the pin it
// was sent on: the first value that arrives there with exactly the bytes sent
// (compared as bytes, so a NaN matches itself) is the echo, whenever it
// comes. A different value on that pin ends that pin's expectation; a value
// on a pin that expects nothing is new, from outside, and ends every pin's.
// Values a pin sends before its echoes come (a pulse: true, then false) are
// expected in the order sent. A value longer than kKeptBytes (a sample, say)
// is kept only as its length and a 64-bit hash of its bytes, so a module that
// sends large values to a host that never echoes does not pile up copies.
//
// A module turns it on with one call in its constructor:
//
//   MyModule() { initializePin(...); expectOwnEchoes(); }
//
// From then on every value it sends is recorded, and an echo is stored in its
// pin like any value but runs no handler. A module that routes values in its
// own setPin asks after the framework has stored the value:
//
//   const int32_t r = GuiPinOwner::setPin(pinId, voice, size, data);
//   if (isOwnEcho(pinId))
//       return r;
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

class EchoRecord
{
public:
    // Values a pin still expects back; beyond this the oldest are forgotten.
    static constexpr size_t kMaxExpected = 1024;
    // Values up to this many bytes are kept whole.
    static constexpr size_t kKeptBytes = 1024;

    // The hash a value longer than kKeptBytes is kept as.
    static uint64_t hashOf(const void* data, size_t size);

    // The module sends a value on a pin.
    void sent(int32_t pinId, int32_t size, const void* data);
    // The host stores a value on a pin: true when it is the echo of a value
    // the module sent there (that expectation is used up).
    bool arrived(int32_t pinId, int32_t size, const void* data);
    // Whether the value last stored on the pin was an echo.
    bool echoStored(int32_t pinId) const;
    // The host notifies a pin: true when that value was an echo (it then runs
    // nothing); a further notification of the same value is the host's own.
    bool takeEcho(int32_t pinId);
    // Values still expected, on every pin.
    size_t expected() const;

private:
    // A value sent: its length, and its bytes or (when longer than
    // kKeptBytes) their hash.
    struct Value
    {
        size_t size;
        uint64_t hash;
        std::vector<uint8_t> bytes;
    };
    using Bytes = std::shared_ptr<const Value>;
    struct Pin
    {
        std::deque<Bytes> expected; // oldest first
        bool echoStored = false;
    };

    Bytes share(int32_t size, const void* data);
    void forget(std::map<int32_t, Pin>::iterator it);

    std::map<int32_t, Pin> pins_;
    // The last two values sent: a value sent to many pins, or alternating
    // ones (a pulse), share one copy of their bytes.
    Bytes recent_[2];
};
