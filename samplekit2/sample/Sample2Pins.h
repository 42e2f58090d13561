// Second-generation samples between modules: the 24-byte descriptor that a
// blob pin carries in place of the frames, and the pins that read and send it
// on both halves of a module. Also the raw-float blob pins (frames as a plain
// float array, no header) used for patch storage, for the crossing between the
// two halves of one module and for samples from first-generation modules.
//
// The sender owns the frames; a receiver reads them in place until the next
// value arrives on its pin. The empty sample is a blob of size 0. A
// descriptor is valid only with the bundle's token in its last four bytes, so
// bytes from a stored patch, a blob tool or another process never send a
// receiver to a wild address.
#pragma once

#include "mp_sdk_audio.h"
#include "mp_sdk_gui.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct Sample2Descriptor
{
    uint32_t magic;   // kSample2Magic
    int32_t count;    // frames; > 0 in a valid descriptor
    uint64_t address; // first of `count` mono float frames, in the sender's memory
    uint32_t serial;  // the sender's count of non-empty sends before this one
    uint32_t token;   // the bundle's token
};
static_assert(sizeof(Sample2Descriptor) == 24, "a descriptor is 24 bytes on the wire");

namespace qw
{
constexpr uint32_t kSample2Magic = 0x534D504C; // "LPMS" in memory order
constexpr int32_t kSample2MaxFrames = 0x1FFFFFFF;

// Non-zero, drawn once when the bundle loads.
uint32_t sample2Token();

enum class SampleValue
{
    Empty,
    Valid,
    Invalid,
};

// Reads a blob as a descriptor. Size 0 or no data is the empty sample;
// anything else but an exact, valid descriptor is invalid. `out` holds the
// descriptor only when valid.
SampleValue readSample2(int size, const void* data, Sample2Descriptor& out);

// A descriptor of `frames` frames (at most kSample2MaxFrames announced).
Sample2Descriptor makeSample2(const float* frames, size_t count, uint32_t serial);

// The bytes of a pin or MIDI event: its extra data, else the inline bytes
// (at most eight). A negative size counts as 0.
void eventBytes(const gmpi::MpEvent* e, int& size, const void*& data);

// ---------------------------------------------------------------------------
// Processing pins

// What every sample pin of the processing half shares: a blob pin with no
// buffer, no default handler and nothing of its own to send at graph start.
template <int pinDirection> class SampleBlobPin : public MpPinBase
{
public:
    void setBuffer(float*) override {}
    int getDatatype() const override { return gmpi::MP_BLOB; }
    int getDirection() const override { return pinDirection; }
    MpBaseMemberPtr getDefaultEventHandler() override { return nullptr; }
    void sendFirstUpdate() override {}
};

// Input of a descriptor. On each value: changed is raised until the event is
// finished; count and frames hold a valid sample (else 0 and null, with
// invalid raised when the bytes were not the empty sample).
class Sample2InPin : public SampleBlobPin<gmpi::MP_IN>
{
public:
    void preProcessEvent(const gmpi::MpEvent* e) override;
    void postProcessEvent(const gmpi::MpEvent* e) override;

    int32_t count() const { return count_; }
    const float* frames() const { return frames_; }
    bool changed() const { return changed_; }
    bool invalid() const { return invalid_; }
    uint32_t serial() const { return serial_; }

private:
    int32_t count_ = 0;
    const float* frames_ = nullptr;
    bool changed_ = false;
    bool invalid_ = false;
    uint32_t serial_ = 0;
};

// Output of a descriptor. The serial counts the non-empty sends of this pin.
class Sample2OutPin : public SampleBlobPin<gmpi::MP_OUT>
{
public:
    // Graph start publishes the empty sample.
    void sendFirstUpdate() override { sendEmpty(0); }

    // Publishes frames (none: the empty sample) at a block position (-1: the
    // owner's current one).
    void send(const float* frames, size_t count, int blockPosition = -1);
    void sendEmpty(int blockPosition = -1);

    const Sample2Descriptor& descriptor() const { return descriptor_; }

private:
    Sample2Descriptor descriptor_{kSample2Magic, 0, 0, 0, 0};
};

// The sender's side of the two-buffer rule. A change published at block
// position 0 is seen before any frame of that block is read, so it reuses
// store 0; a change later in the block goes to the other store, so the frames
// published before it stay readable up to its position. (A third change in one
// block overwrites the frames of the first.)
template <class Store> class TwoBuffers
{
public:
    // The store for a change at that block position. At position 0 the other
    // store is released when `releaseOther`.
    Store& select(int blockPosition, bool releaseOther)
    {
        if (blockPosition == 0)
        {
            index_ = 0;
            if (releaseOther)
                store_[1] = Store();
        }
        else
            index_ ^= 1;
        return store_[index_];
    }
    Store& current() { return store_[index_]; }
    const Store& current() const { return store_[index_]; }
    int index() const { return index_; }

private:
    Store store_[2];
    int index_ = 0;
};

// Publishes a copy of frames on a pin by the two-buffer rule.
class FramePublisher
{
public:
    void publish(Sample2OutPin& pin, const float* frames, size_t count, int blockPosition, bool releaseOther = false);

private:
    TwoBuffers<std::vector<float>> buffers_;
};

// ---------------------------------------------------------------------------
// User-interface pins

// A descriptor on a user-interface pin.
//
// The pin knows the values it sent. A value that names the same frames (count
// and address) as its last send, or as an earlier send whose echo has not
// come back yet, is the echo of its own send whenever the host hands it back:
// it is not stored (the pin keeps the newest value, so it never names frames
// its owner has released since) and `echoed()` tells the owner's handler to
// leave it alone. While the owner transmits (`sending` raised) whatever
// arrives is that echo.
class Sample2GuiPin : public MpGuiPinBase
{
public:
    // True only for a valid descriptor from elsewhere; the serial is not taken over.
    bool set(int32_t voice, int32_t size, const void* data) override;
    int32_t getDatatype() const override { return gmpi::MP_BLOB; }
    int32_t rawSize() const override;
    const void* rawData() const override;
    MpGuiBaseMemberPtr getDefaultEventHandler() override { return nullptr; }

    // Transmits frames (count 0 or no frames: the empty sample).
    void send(const float* frames, size_t count);
    void sendEmpty();
    // The owner is about to release the frames it sent from `frames`: a
    // value that names them is no echo of its own from now on (another
    // sender may be given that memory next).
    void forgetSendsOf(const float* frames);

    int32_t count() const { return descriptor_.count; }
    const float* frames() const;
    bool invalid() const { return invalid_; }
    bool sending() const { return sending_; }
    // The last value the host delivered was the echo of one of this pin's sends.
    bool echoed() const { return echoed_; }
    const Sample2Descriptor& descriptor() const { return descriptor_; }

private:
    // The frames a send named; the empty sample names none.
    struct Sent
    {
        int32_t count;
        uint64_t address;
        bool operator==(const Sent& o) const { return count == o.count && address == o.address; }
    };
    // Sends further back than this whose echo never came are forgotten.
    static constexpr size_t kAwaited = 8;

    void transmitting(int32_t size, const void* data);
    bool isOwnEcho(const Sent& value);

    Sample2Descriptor descriptor_{kSample2Magic, 0, 0, 0, 0};
    bool sending_ = false;
    bool invalid_ = false;
    bool echoed_ = false;
    bool sentAny_ = false;
    bool lastEchoed_ = false;
    Sent last_{0, 0};
    Sent awaited_[kAwaited] = {};
    size_t awaitedCount_ = 0;
};

} // namespace qw

// ---------------------------------------------------------------------------
// Raw-float blob pins

// Input of a raw-float blob. count and frames exist only while the owner
// handles the event (they point into the host's data): the owner copies what
// it keeps.
class InternalSampleInPin : public qw::SampleBlobPin<gmpi::MP_IN>
{
public:
    void preProcessEvent(const gmpi::MpEvent* e) override;
    void postProcessEvent(const gmpi::MpEvent* e) override;

    bool updated() const { return updated_; }
    int32_t count() const { return count_; }
    const float* frames() const { return frames_; }

protected:
    // The smallest blob read as frames.
    virtual int minimumBytes() const { return 4; }

private:
    bool updated_ = false;
    int32_t count_ = 0;
    const float* frames_ = nullptr;
};

// The same for first-generation samples, whose senders send four bytes for an
// empty sample: a blob needs two frames at least.
class InternalSample1InPinNC : public InternalSampleInPin
{
protected:
    int minimumBytes() const override { return 8; }
};

// Output of a raw-float blob.
class InternalSampleOutPin : public qw::SampleBlobPin<gmpi::MP_OUT>
{
public:
    void send(const float* frames, size_t count, int blockPosition = -1);
};

// A raw-float blob on a user-interface pin, kept as a copy: the host may call
// anything between setPin and notifyPin.
class InternalSampleGuiPin : public MpGuiPinBase
{
public:
    bool set(int32_t voice, int32_t size, const void* data) override;
    int32_t getDatatype() const override { return gmpi::MP_BLOB; }
    int32_t rawSize() const override { return static_cast<int32_t>(frames_.size() * sizeof(float)); }
    const void* rawData() const override { return frames_.empty() ? nullptr : frames_.data(); }
    MpGuiBaseMemberPtr getDefaultEventHandler() override { return nullptr; }

    int32_t count() const { return static_cast<int32_t>(frames_.size()); }
    const float* frames() const { return frames_.empty() ? nullptr : frames_.data(); }

private:
    std::vector<float> frames_;
};
