// The watched inputs of the set-to-trigger modules: int, float, bool, text, a
// blob pin that only notes that a blob arrived, and MIDI. Any update of the
// first five fires, except the first values when told to ignore them.
#pragma once

#include "control.h"

namespace qw::control
{
// A blob input that never stores the blob: it only knows whether one arrived
// with the events being applied.
class CustomBlobInPin : public MpPinBase
{
public:
    void setBuffer(float*) override {}
    void preProcessEvent(const gmpi::MpEvent* e) override
    {
        if (e->eventType == gmpi::EVENT_PIN_SET)
            updated_ = true;
    }
    void postProcessEvent(const gmpi::MpEvent* e) override
    {
        if (e->eventType == gmpi::EVENT_PIN_SET)
            updated_ = false;
    }
    int getDatatype() const override { return gmpi::MP_BLOB; }
    int getDirection() const override { return gmpi::MP_IN; }
    MpBaseMemberPtr getDefaultEventHandler() override { return nullptr; }
    void sendFirstUpdate() override {}
    bool isUpdated() const { return updated_; }

private:
    bool updated_ = false;
};

struct WatchedInputs
{
    IntInPin i;
    FloatInPin f;
    BoolInPin b;
    StringInPin text;
    CustomBlobInPin blob;
    MidiInPin midi;

    void initialize(MpPluginBase& module)
    {
        module.initializePin(i);
        module.initializePin(f);
        module.initializePin(b);
        module.initializePin(text);
        module.initializePin(blob);
        module.initializePin(midi);
    }
    bool anyUpdated() const
    {
        return i.isUpdated() || f.isUpdated() || b.isUpdated() || text.isUpdated() || blob.isUpdated();
    }
};

// Whether this group of updates fires; the first group is the start values.
inline bool fires(const WatchedInputs& in, bool& firstUpdate, bool ignoreInitial)
{
    const bool fire = !(firstUpdate && ignoreInitial) && in.anyUpdated();
    firstUpdate = false;
    return fire;
}
} // namespace qw::control
