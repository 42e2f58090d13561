// First-generation samples between modules: a sample travels as the value of
// a plain blob pin, its raw frames (32-bit floats, frame 0 first, count =
// bytes / 4, no header). The empty sample is a blob of 0 bytes.
//
// The copying pins (SampleInPin, SampleGuiPin) take every blob of fewer than
// 5 bytes or of a size that is no whole number of frames as the empty sample,
// so through them the shortest sample has 2 frames. The no-copy pins
// (BlobInPinNC, BlobOutPinNC) carry any blob by address; what a BlobInPinNC
// points at is valid only while its owner handles the event.
#pragma once

#include "blob_pin_base.h"
#include "mp_sdk_audio.h"
#include "mp_sdk_gui.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qw
{
// The most frames a sample may announce: its bytes still fit a pin value's
// 32-bit size.
constexpr int32_t kMaxSampleFrames = 0x1FFFFFFF;

// Processing input that copies each sample it is given.
class SampleInPin : public BlobPinBase<gmpi::MP_IN>
{
public:
    void preProcessEvent(const gmpi::MpEvent* e) override;
    void postProcessEvent(const gmpi::MpEvent* e) override;

    // The copied sample, kept until the next value (empty: no sample).
    std::vector<float> frames;
    // Raised while the owner handles the event of a new value.
    bool updated = false;
};

// Processing output of a sample whose frames its owner keeps.
class SampleOutPin : public BlobPinBase<gmpi::MP_OUT>
{
public:
    // Graph start publishes the empty sample.
    void sendFirstUpdate() override { sendPinUpdate(0, nullptr, 0); }

    // Publishes frames at a block position (-1: the owner's current one);
    // none is the empty sample. The host copies them before this returns.
    void send(const float* frames, size_t count, int blockPosition = -1);
};

// Processing input of any blob, by address: nothing is copied.
class BlobInPinNC : public BlobPinBase<gmpi::MP_IN>
{
public:
    void preProcessEvent(const gmpi::MpEvent* e) override;
    void postProcessEvent(const gmpi::MpEvent* e) override;

    // While the owner handles a new value: raised, its byte count and its
    // bytes inside the host's event (null for 0 bytes). Cleared after.
    bool updated = false;
    int32_t size = 0;
    const void* data = nullptr;
};

// Processing output of any blob whose bytes its owner keeps. It sends
// nothing of its own, not even at graph start.
class BlobOutPinNC : public BlobPinBase<gmpi::MP_OUT>
{
public:
    // A value at a block position (-1: the owner's current one); no data or
    // no bytes is the empty value.
    void send(int32_t size, const void* data, int blockPosition = -1);
};

// User-interface pin that copies each sample it is given.
class SampleGuiPin : public MpGuiPinBase
{
public:
    // True when a sample was stored, false when the pin was made empty.
    bool set(int32_t voice, int32_t size, const void* data) override;
    int32_t getDatatype() const override { return gmpi::MP_BLOB; }
    int32_t rawSize() const override { return static_cast<int32_t>(frames.size() * sizeof(float)); }
    const void* rawData() const override { return frames.empty() ? nullptr : frames.data(); }

    std::vector<float> frames;
};

// A sample read in place from a plain blob pin's value: any whole number of
// frames (one frame is 4 bytes), else none.
struct PlainSample
{
    const float* frames = nullptr;
    int32_t count = 0;
};
PlainSample readPlainSample(int32_t size, const void* data);
inline PlainSample readPlainSample(const MpBlob& blob)
{
    return readPlainSample(blob.getSize(), blob.getData());
}
} // namespace qw
