#include "Sample2Pins.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>

namespace qw
{
namespace
{
uint32_t drawToken()
{
    uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= reinterpret_cast<uintptr_t>(&seed) * 0x9E3779B97F4A7C15ULL;
    try
    {
        std::random_device device;
        seed ^= static_cast<uint64_t>(device()) << 32 | device();
    }
    catch (...)
    {
        // No entropy source: the clock and the address still differ per load.
    }
    seed ^= seed >> 31;
    seed *= 0xD6E8FEB86659FD93ULL;
    seed ^= seed >> 32;
    const uint32_t token = static_cast<uint32_t>(seed);
    return token ? token : 0x51A7E5EDu;
}

// Drawn while the bundle's initialisers run.
[[maybe_unused]] const uint32_t kTokenAtLoad = sample2Token();
} // namespace

uint32_t sample2Token()
{
    static const uint32_t token = drawToken();
    return token;
}

SampleValue readSample2(int size, const void* data, Sample2Descriptor& out)
{
    if (size <= 0 || !data)
        return SampleValue::Empty;
    if (size != static_cast<int>(sizeof(Sample2Descriptor)))
        return SampleValue::Invalid;
    Sample2Descriptor d;
    std::memcpy(&d, data, sizeof d);
    if (d.magic != kSample2Magic || d.count <= 0 || d.address == 0 || d.token != sample2Token())
        return SampleValue::Invalid;
    out = d;
    return SampleValue::Valid;
}

Sample2Descriptor makeSample2(const float* frames, size_t count, uint32_t serial)
{
    Sample2Descriptor d{};
    d.magic = kSample2Magic;
    d.count = static_cast<int32_t>(std::min<size_t>(count, static_cast<size_t>(kSample2MaxFrames)));
    d.address = reinterpret_cast<uintptr_t>(frames);
    d.serial = serial;
    d.token = sample2Token();
    return d;
}

void eventBytes(const gmpi::MpEvent* e, int& size, const void*& data)
{
    size = e->extraData ? e->parm2 : std::min(e->parm2, 8);
    if (size <= 0)
    {
        size = 0;
        data = nullptr;
        return;
    }
    data = eventData(e);
}

// ---------------------------------------------------------------------------
// Processing pins

void Sample2InPin::preProcessEvent(const gmpi::MpEvent* e)
{
    if (e->eventType != gmpi::EVENT_PIN_SET)
        return;
    changed_ = true;
    invalid_ = false;
    count_ = 0;
    frames_ = nullptr;
    serial_ = 0;
    int size;
    const void* data;
    eventBytes(e, size, data);
    Sample2Descriptor d;
    switch (readSample2(size, data, d))
    {
    case SampleValue::Empty:
        break;
    case SampleValue::Valid:
        count_ = d.count;
        frames_ = reinterpret_cast<const float*>(static_cast<uintptr_t>(d.address));
        serial_ = d.serial;
        break;
    case SampleValue::Invalid:
        invalid_ = true;
        break;
    }
}

void Sample2InPin::postProcessEvent(const gmpi::MpEvent* e)
{
    if (e->eventType == gmpi::EVENT_PIN_SET)
        changed_ = false;
}

void Sample2OutPin::send(const float* frames, size_t count, int blockPosition)
{
    if (!frames || count == 0)
    {
        sendEmpty(blockPosition);
        return;
    }
    descriptor_ = makeSample2(frames, count, descriptor_.serial);
    sendPinUpdate(sizeof descriptor_, &descriptor_, blockPosition);
    ++descriptor_.serial;
}

void Sample2OutPin::sendEmpty(int blockPosition)
{
    descriptor_.count = 0;
    descriptor_.address = 0;
    sendPinUpdate(0, nullptr, blockPosition);
}

void FramePublisher::publish(Sample2OutPin& pin, const float* frames, size_t count, int blockPosition,
                             bool releaseOther)
{
    std::vector<float>& buffer = buffers_.select(blockPosition, releaseOther);
    if (frames && count)
        buffer.assign(frames, frames + count);
    else
        buffer.clear();
    pin.send(buffer.data(), buffer.size(), blockPosition);
}

// ---------------------------------------------------------------------------
// User-interface pins

bool Sample2GuiPin::set(int32_t, int32_t size, const void* data)
{
    if (sending_)
    {
        echoed_ = true;
        lastEchoed_ = true;
        return false;
    }
    Sample2Descriptor d;
    const SampleValue value = readSample2(size, data, d);
    if (value != SampleValue::Invalid && isOwnEcho(value == SampleValue::Valid ? Sent{d.count, d.address} : Sent{0, 0}))
    {
        echoed_ = true;
        return false;
    }
    echoed_ = false;
    descriptor_.count = 0;
    descriptor_.address = 0;
    invalid_ = false;
    switch (value)
    {
    case SampleValue::Empty:
        return false;
    case SampleValue::Valid:
        descriptor_.count = d.count;
        descriptor_.address = d.address;
        return true;
    case SampleValue::Invalid:
        break;
    }
    invalid_ = true;
    return false;
}

bool Sample2GuiPin::isOwnEcho(const Sent& value)
{
    if (sentAny_ && value == last_)
    {
        lastEchoed_ = true;
        return true;
    }
    for (size_t i = 0; i < awaitedCount_; ++i)
        if (awaited_[i] == value)
        {
            // Each earlier send comes back once.
            std::copy(awaited_ + i + 1, awaited_ + awaitedCount_, awaited_ + i);
            --awaitedCount_;
            return true;
        }
    return false;
}

void Sample2GuiPin::forgetSendsOf(const float* frames)
{
    if (!frames)
        return;
    const uint64_t address = reinterpret_cast<uintptr_t>(frames);
    size_t kept = 0;
    for (size_t i = 0; i < awaitedCount_; ++i)
        if (awaited_[i].address != address)
            awaited_[kept++] = awaited_[i];
    awaitedCount_ = kept;
    if (sentAny_ && last_.address == address)
        sentAny_ = false;
}

void Sample2GuiPin::transmitting(int32_t size, const void* data)
{
    // The send before this one is still awaited when its echo has not come.
    if (sentAny_ && !lastEchoed_)
    {
        if (awaitedCount_ == kAwaited)
        {
            std::copy(awaited_ + 1, awaited_ + kAwaited, awaited_);
            --awaitedCount_;
        }
        awaited_[awaitedCount_++] = last_;
    }
    last_ = {descriptor_.count, descriptor_.address};
    sentAny_ = true;
    lastEchoed_ = false;
    sending_ = true;
    if (owner_)
        owner_->pinTransmit(id_, size, data, 0);
    sending_ = false;
}

int32_t Sample2GuiPin::rawSize() const
{
    return descriptor_.count > 0 ? static_cast<int32_t>(sizeof descriptor_) : 0;
}

const void* Sample2GuiPin::rawData() const
{
    return descriptor_.count > 0 ? &descriptor_ : nullptr;
}

const float* Sample2GuiPin::frames() const
{
    return descriptor_.count > 0 ? reinterpret_cast<const float*>(static_cast<uintptr_t>(descriptor_.address))
                                 : nullptr;
}

void Sample2GuiPin::send(const float* frames, size_t count)
{
    if (!frames || count == 0)
    {
        sendEmpty();
        return;
    }
    descriptor_ = makeSample2(frames, count, descriptor_.serial);
    invalid_ = false;
    transmitting(sizeof descriptor_, &descriptor_);
    ++descriptor_.serial;
}

void Sample2GuiPin::sendEmpty()
{
    descriptor_.count = 0;
    descriptor_.address = 0;
    invalid_ = false;
    transmitting(0, nullptr);
}
} // namespace qw

// ---------------------------------------------------------------------------
// Raw-float blob pins

void InternalSampleInPin::preProcessEvent(const gmpi::MpEvent* e)
{
    if (e->eventType != gmpi::EVENT_PIN_SET)
        return;
    updated_ = true;
    count_ = 0;
    frames_ = nullptr;
    int size;
    const void* data;
    qw::eventBytes(e, size, data);
    if (data && size >= minimumBytes() && size % 4 == 0)
    {
        count_ = size / 4;
        frames_ = static_cast<const float*>(data);
    }
}

void InternalSampleInPin::postProcessEvent(const gmpi::MpEvent* e)
{
    if (e->eventType != gmpi::EVENT_PIN_SET)
        return;
    updated_ = false;
    count_ = 0;
    frames_ = nullptr;
}

void InternalSampleOutPin::send(const float* frames, size_t count, int blockPosition)
{
    // A value crosses the host with a 32-bit size.
    const size_t n = frames ? std::min<size_t>(count, 0x7FFFFFFF / 4) : 0;
    sendPinUpdate(static_cast<int>(n * 4), n ? frames : nullptr, blockPosition);
}

bool InternalSampleGuiPin::set(int32_t, int32_t size, const void* data)
{
    if (!data || size <= 0 || size % 4 != 0)
    {
        frames_.clear();
        return false;
    }
    frames_.resize(static_cast<size_t>(size) / 4);
    std::memcpy(frames_.data(), data, static_cast<size_t>(size));
    return true;
}
