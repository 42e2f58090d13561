// Base of the edit commands: each applies one destructive edit to a range of
// the sample on its sample pin when its trigger turns on, and publishes the
// result on the same pin. The result is a copy of the module's own (its
// cache); a second edit works on it in place, and a sample from outside
// replaces it.
//
// Pins: 0 sample (read and written), 1 selection start, 2 selection end
// (inclusive; negative counts from the end: -1 is the last frame), 3 trigger;
// each command adds its own after these.
#pragma once

#include "own_sample.h"

#include <cstdint>

class SampleEditorBase : public MpGuiInvisibleBase
{
public:
    SampleEditorBase();

protected:
    // Runs with 0 <= start <= end <= count - 1 (count: the sample's frames).
    virtual void doEdit(int start, int end) {}

    // The frames of the sample on the pin (this module's cache when it is its
    // own result), and how many.
    const float* source() const { return sample_.frames(); }
    int32_t count() const { return sample_.count(); }

    // Commands that keep the length: make the cache hold the sample, edit it,
    // then publish it.
    std::vector<float>& editable()
    {
        cache_.takeSample();
        return cache_.frames();
    }
    void sendCache() { cache_.publish(); }
    // Commands that change the length: the new frames replace the cache.
    void replaceCache(std::vector<float>&& frames) { cache_.replace(std::move(frames)); }

    qw::Sample2GuiPin sample_;
    MpGuiPin<int> start_;
    MpGuiPin<int> end_;
    MpGuiPin<bool> trigger_;

private:
    void onSetData();
    void onSetTrig();

    qw::edit::OwnSample cache_{sample_};
};
