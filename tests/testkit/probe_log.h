// Test modules report what the framework did to them as messages to the
// interface half, which the host stand-in records: id = what happened,
// data = int32 values.
#pragma once

#include "mp_sdk_audio.h"

#include <cstdint>
#include <initializer_list>

enum ProbeLog : int32_t
{
    LOG_SPAN = 1,        // blockPosition, samples, updated-pin mask
    LOG_SET_PINS = 2,    // blockPosition, updated-pin mask
    LOG_HANDLER = 3,     // blockPosition, event type, updated-pin mask
    LOG_MIDI = 4,        // blockPosition, size, bytes...
    LOG_GRAPH_START = 5, // blockPosition
    LOG_GUI_MESSAGE = 6, // id, size
};

inline void probeLog(MpPluginBase* module, int32_t what, std::initializer_list<int32_t> values)
{
    int32_t data[16] = {};
    int n = 0;
    for (int32_t v : values)
        if (n < 16)
            data[n++] = v;
    if (module->getHost())
        module->getHost()->sendMessageToGui(what, n * 4, data);
}
