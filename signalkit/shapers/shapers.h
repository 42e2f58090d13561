// Shared frame of the per-sample wave shapers: audio inputs read sample by
// sample, one routine chosen at construction, outputs streaming exactly when
// an input that feeds them streams.
#pragma once

#include "mp_sdk_audio.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace qw::shapers
{
// A shaper of a signal and a second audio control (threshold, hardness...):
// Derived::shape(x, c) gives one output sample.
template <class Derived> class SignalAndControl : public MpBase2
{
public:
    SignalAndControl()
    {
        initializePin(pinIn_);
        initializePin(pinControl_);
        initializePin(pinOut_);
        setSubProcess(&SignalAndControl::subProcess);
    }

    void onSetPins() override
    {
        if (pinIn_.isUpdated() || pinControl_.isUpdated())
            pinOut_.setStreaming(pinIn_.isStreaming() || pinControl_.isStreaming());
    }

    void subProcess(int sampleFrames)
    {
        const float* x = pinIn_.getBuffer() + blockPosition_;
        const float* c = pinControl_.getBuffer() + blockPosition_;
        float* out = pinOut_.getBuffer() + blockPosition_;
        for (int i = 0; i < sampleFrames; ++i)
            out[i] = Derived::shape(x[i], c[i]);
    }

private:
    AudioInPin pinIn_;
    AudioInPin pinControl_;
    AudioOutPin pinOut_;
};

// Writes zeros over the span of every output: what a module plays before its
// options have chosen a routine.
template <class Pins> inline void writeZeros(Pins& pins, int position, int n)
{
    for (auto& pin : pins)
        std::fill_n(pin.getBuffer() + position, n, 0.0f);
}
} // namespace qw::shapers
