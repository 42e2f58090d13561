// Interface half of a recorder: a recording handed over from the processing
// half is transmitted on the sample pin, its frame count set on the other
// pin, then acknowledged. Only a recording is taken, never an empty value.
#pragma once

#include "HandOver.h"

#include "mp_sdk_gui.h"

template <class SamplePin> class RecorderGui : public MpGuiInvisibleBase
{
public:
    RecorderGui()
    {
        initializePin(sample_);
        initializePin(frameCount_);
    }

    int32_t receiveMessageFromAudio(int32_t, int32_t size, const void* data) override
    {
        if (size != static_cast<int32_t>(sizeof(qw::HandOverMessage)))
            return gmpi::MP_UNHANDLED;
        const bool taken = qw::receiveHandOver(size, data, [this](int32_t bytes, const void* frames) {
            pinTransmit(sample_.getId(), bytes, frames, 0);
            frameCount_ = bytes / 4;
        });
        return taken ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
    }

private:
    SamplePin sample_;
    MpGuiPin<int> frameCount_;
};
