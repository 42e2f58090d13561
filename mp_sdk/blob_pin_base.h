// What the processing pins of samples and other blobs share: a blob pin with
// no buffer, no default handler and nothing of its own to send at graph
// start, and the bytes of a pin event as such a pin reads them.
#pragma once

#include "mp_sdk_audio.h"

#include <algorithm>
#include <cstdint>

template <int pinDirection> class BlobPinBase : public MpPinBase
{
public:
    void setBuffer(float*) override {}
    int getDatatype() const override { return gmpi::MP_BLOB; }
    int getDirection() const override { return pinDirection; }
    MpBaseMemberPtr getDefaultEventHandler() override { return nullptr; }
    void sendFirstUpdate() override {}
};

// The event's extra data, else at most eight bytes inline; a size of 0 or
// less is no bytes.
inline void eventValue(const gmpi::MpEvent* e, int32_t& size, const void*& data)
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
