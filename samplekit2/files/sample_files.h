// What the WAV loader and saver modules share: file-name handling, the bit
// depth and rate to write, and how channels of different lengths are put
// into one file.
#pragma once

#include "Sample2Pins.h"
#include "WavFile32.h"
#include "file_access.h"

#include <cstdint>
#include <string>
#include <vector>

#include <memory>

namespace qw::files
{
// One channel pin per pin the host made beyond the fixed ones (none without
// the host's pin iterator), registered after them.
template <class Pin> void addChannelPins(MpPluginBase& module, std::vector<std::unique_ptr<Pin>>& pins, int fixedPins)
{
    PinIterator it(&module);
    for (int i = fixedPins; i < it.getCount(); ++i)
    {
        pins.push_back(std::make_unique<Pin>());
        module.initializePin(*pins.back());
    }
}

// Whether the pins of one event ask for a load or a save: the file name
// changed while `onNameChange` is on, or the trigger turned on.
class FileRequest
{
public:
    bool check(const StringInPin& name, bool onNameChange, const BoolInPin& trigger);

private:
    std::wstring lastName_;
    bool lastTrigger_ = false;
};

// ".wav" appended unless the name ends in exactly ".wav" (case-sensitive);
// an empty name stays empty.
std::wstring fixExtension(const std::wstring& name);

// Bits of the interface saver's depth index: below 0 gives 16, 0-2 give 16,
// 24, 32, above 2 gives 32.
int guiBits(int index);
// Bits of the processing saver's depth index: 16 + 8 x index, computed in 64
// bits; 0 for an index that gives no depth the writer takes (below -1, above 2).
int dspBits(int index);

// A rate as the whole number of frames per second to write: truncated, and
// only when it is at least 1 and the file's byte rate (rate x bytesPerFrame)
// fits 32 bits; otherwise 0. NaN and infinities give 0.
int32_t rateThatFits(double rate, int64_t bytesPerFrame);

// The channels to write, in pin order; an entry without frames leaves its
// channel out of the file. Every channel is written at the length of the
// longest, shorter ones padded with zeros.
struct ChannelFrames
{
    const float* frames = nullptr;
    size_t count = 0;
};
void gatherChannels(WavFile32& file, const std::vector<ChannelFrames>& channels);
size_t nonEmptyChannels(const std::vector<ChannelFrames>& channels);
} // namespace qw::files
