// What the two shape links share: the shape pin, then as many float pins as
// the host made (an auto-duplicating pin), taken by the module's own setPin
// without pin objects and counted through the first-generation host.
#pragma once

#include "shape_tool.h"

#include <climits>

namespace qw
{
class ShapeLinkBase : public ShapeToolBase
{
public:
    int32_t setPin(int32_t pinId, int32_t voice, int32_t size, const void* data) override
    {
        if (floatPins_ == 0)
            countPins();
        const int32_t r = GuiPinOwner::setPin(pinId, voice, size, data);
        if (pinId < kFixedPins)
            return r;
        if (!isOwnEcho(pinId))
        {
            float v = 0.f;
            MpPinValue<float>::set(v, size, data);
            onSetFloat(pinId - kFixedPins, v);
        }
        return gmpi::MP_OK;
    }

protected:
    static constexpr int32_t kFixedPins = 1; // the shape pin

    // Float pin k + 1 received v; k is at least 0.
    virtual void onSetFloat(int32_t k, float v) = 0;

    // The host's pin count less the fixed pins; 0 (not known) without the
    // first-generation host.
    void countPins()
    {
        const int32_t n = getHostPinCount();
        floatPins_ = n > kFixedPins ? n - kFixedPins : 0;
    }

    void transmitFloat(int32_t pinId, float v) { pinTransmit(pinId, 4, &v, 0); }

    int32_t floatPins_ = 0;
};
} // namespace qw
