// Shared pieces of the processing modules that take and send shape blobs: a
// blob input that keeps its bytes without allocating, a blob output that the
// module sends on directly, and the value rules of their float pins.
#pragma once

#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "qw_shape.h"

#include <cmath>
#include <cstring>

namespace qw::dsp
{
// NaN counts as 0; infinities stay for the clamps to take.
using qw::finite::orZero;

// v clamped to [lo, hi]; NaN gives lo.
inline float clampTo(float v, float lo, float hi)
{
    return !(v >= lo) ? lo : (v > hi ? hi : v);
}

// A level pin in user units (-5 .. 5) as a node level in -1 .. 1; NaN is 0.
inline float userLevel(float v)
{
    return clampTo(orZero(v) * 0.2f, -1.0f, 1.0f);
}

// A blob input for shapes. It keeps at most the largest shape blob's bytes
// (a longer blob keeps only its size, which refuses it), so taking a blob
// never allocates.
class ShapeInPin final : public MpControlPinBase<MpBlob, gmpi::MP_BLOB>
{
public:
    int getDirection() const override { return gmpi::MP_IN; }
    void setValueRaw(int size, const void* data) override
    {
        size_ = size > 0 ? static_cast<unsigned long>(size) : 0ul;
        if (size_ <= sizeof bytes_ && data)
            std::memcpy(bytes_, data, size_);
        else
            size_ = size_ > sizeof bytes_ ? size_ : 0ul;
    }
    int rawSize() const override { return size_ <= sizeof bytes_ ? static_cast<int>(size_) : 0; }
    const void* rawData() const override { return bytes_; }

    unsigned long size() const { return size_; }
    const void* data() const { return bytes_; }
    // Applies the blob to `s` in place: a refused blob keeps its nodes and
    // sets invalid. True when the nodes changed.
    bool applyTo(qw::Shape& s) const { return s.setBlob(size_, bytes_); }

private:
    unsigned long size_ = 0;
    alignas(8) unsigned char bytes_[qw::Shape::kMaxBlobSize] = {};
};

// A blob output the module sends on itself, every time it decides to; nothing
// goes out at graph start.
class ShapeOutPin final : public MpPinBase
{
public:
    int getDatatype() const override { return gmpi::MP_BLOB; }
    int getDirection() const override { return gmpi::MP_OUT; }
    void sendFirstUpdate() override {}

    // The shape's blob image at the module's block position.
    void send(const qw::Shape& s) { sendBytes(static_cast<int>(s.blobSize()), s.blobData()); }
    void sendBytes(int size, const void* data) { sendPinUpdate(size, data); }
};
} // namespace qw::dsp
