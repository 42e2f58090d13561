#include "SamplePins.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace qw
{
namespace
{
// A copying pin's rule: at least 5 bytes and whole frames, else empty. A copy
// that cannot be had leaves the pin empty too.
bool copySample(std::vector<float>& frames, int32_t size, const void* data)
{
    if (!data || size < 5 || size % 4 != 0)
    {
        frames.clear();
        return false;
    }
    try
    {
        frames.resize(static_cast<size_t>(size) / 4);
    }
    catch (const std::bad_alloc&)
    {
        std::vector<float>().swap(frames);
        return false;
    }
    std::memcpy(frames.data(), data, static_cast<size_t>(size));
    return true;
}
} // namespace

void SampleInPin::preProcessEvent(const gmpi::MpEvent* e)
{
    if (e->eventType != gmpi::EVENT_PIN_SET)
        return;
    updated = true;
    int32_t size;
    const void* bytes;
    eventValue(e, size, bytes);
    copySample(frames, size, bytes);
}

void SampleInPin::postProcessEvent(const gmpi::MpEvent* e)
{
    if (e->eventType == gmpi::EVENT_PIN_SET)
        updated = false;
}

void SampleOutPin::send(const float* frames, size_t count, int blockPosition)
{
    const size_t n = frames ? std::min<size_t>(count, kMaxSampleFrames) : 0;
    sendPinUpdate(static_cast<int>(n * 4), n ? frames : nullptr, blockPosition);
}

void BlobInPinNC::preProcessEvent(const gmpi::MpEvent* e)
{
    if (e->eventType != gmpi::EVENT_PIN_SET)
        return;
    updated = true;
    eventValue(e, size, data);
}

void BlobInPinNC::postProcessEvent(const gmpi::MpEvent* e)
{
    if (e->eventType != gmpi::EVENT_PIN_SET)
        return;
    updated = false;
    size = 0;
    data = nullptr;
}

void BlobOutPinNC::send(int32_t size, const void* data, int blockPosition)
{
    if (!data || size <= 0)
        sendPinUpdate(0, nullptr, blockPosition);
    else
        sendPinUpdate(size, data, blockPosition);
}

bool SampleGuiPin::set(int32_t, int32_t size, const void* data)
{
    return copySample(frames, size, data);
}

PlainSample readPlainSample(int32_t size, const void* data)
{
    if (!data || size <= 0 || size % 4 != 0)
        return {};
    return {static_cast<const float*>(data), size / 4};
}
} // namespace qw
