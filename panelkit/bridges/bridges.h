// What the modules with two halves share: registration of both halves under
// one identifier, the interface half that turns a trigger pin into a message
// for its processing half, and pulse lengths and levels made safe.
#pragma once

#include "mp_sdk_audio.h"
#include "mp_sdk_gui.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qw::bridges
{
// Registers the processing half, then the interface half, under one identifier.
template <class Dsp, class Gui> void registerPair(const wchar_t* id)
{
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, id, &gmpi::Register<Dsp>::withId);
    RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, id, &gmpi::Register<Gui>::withId);
}

// A pulse length in samples: anything below 1 is one sample.
inline int32_t pulseLength(int32_t samples)
{
    return std::max<int32_t>(1, samples);
}

// A level pin's value as a pulse amplitude (a tenth of it); a level that is
// not finite counts as 0.
inline float amplitude(float level)
{
    return std::isfinite(level) ? level * 0.1f : 0.0f;
}

// The interface half of a trigger pair: a trigger pin notified with the
// active level (true with level 0, false with any other) sends the
// processing half one trigger message (id 0, no data). The first
// notification after creation, the host's start value, sends nothing.
//
// 0 bool trigger (right); 1 bool trigger (left); 2 int active level.
class TriggerMessageGui : public MpGuiInvisibleBase
{
public:
    TriggerMessageGui()
    {
        initializePin(triggerR_, &TriggerMessageGui::onSetTriggerR);
        initializePin(triggerL_, &TriggerMessageGui::onSetTriggerL);
        initializePin(activeLevel_);
    }

private:
    void onSetTriggerR() { onTrigger(triggerR_); }
    void onSetTriggerL() { onTrigger(triggerL_); }

    void onTrigger(bool value)
    {
        if (!first_ && value == (activeLevel_ == 0))
            sendMessageToAudio(0, 0, nullptr);
        first_ = false;
    }

    MpGuiPin<bool> triggerR_;
    MpGuiPin<bool> triggerL_;
    MpGuiPin<int> activeLevel_;
    bool first_ = true;
};
} // namespace qw::bridges
