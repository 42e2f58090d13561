#include "sample_files.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qw::files
{
bool FileRequest::check(const StringInPin& name, bool onNameChange, const BoolInPin& trigger)
{
    bool request = false;
    if (name.isUpdated() && name.getValue() != lastName_)
    {
        lastName_ = name.getValue();
        request = onNameChange;
    }
    if (trigger.isUpdated() && trigger.getValue() != lastTrigger_)
    {
        lastTrigger_ = trigger.getValue();
        request = request || lastTrigger_;
    }
    return request;
}

std::wstring fixExtension(const std::wstring& name)
{
    static const std::wstring suffix = L".wav";
    if (name.empty())
        return name;
    if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        return name;
    return name + suffix;
}

int guiBits(int index)
{
    if (index <= 0)
        return 16;
    return index >= 2 ? 32 : 24;
}

int dspBits(int index)
{
    const int64_t bits = 16 + 8 * static_cast<int64_t>(index);
    return bits == 8 || bits == 16 || bits == 24 || bits == 32 ? static_cast<int>(bits) : 0;
}

int32_t rateThatFits(double rate, int64_t bytesPerFrame)
{
    if (!(rate >= 1.0) || rate >= 2147483648.0)
        return 0; // NaN, below 1, or beyond a 32-bit count
    const int64_t whole = static_cast<int64_t>(rate);
    if (whole * std::max<int64_t>(bytesPerFrame, 1) > static_cast<int64_t>(std::numeric_limits<uint32_t>::max()))
        return 0;
    return static_cast<int32_t>(whole);
}

size_t nonEmptyChannels(const std::vector<ChannelFrames>& channels)
{
    size_t n = 0;
    for (auto& c : channels)
        n += c.frames && c.count ? 1 : 0;
    return n;
}

void gatherChannels(WavFile32& file, const std::vector<ChannelFrames>& channels)
{
    size_t longest = 0;
    for (auto& c : channels)
        if (c.frames)
            longest = std::max(longest, c.count);
    // A file holds at most a 32-bit signed count of frames.
    longest = std::min<size_t>(longest, static_cast<size_t>(std::numeric_limits<int32_t>::max()));
    file.clear();
    if (longest == 0)
        return;
    std::vector<float> padded;
    for (size_t i = 0; i < channels.size(); ++i)
    {
        const ChannelFrames& c = channels[i];
        if (!c.frames || c.count == 0)
            continue;
        const float* source = c.frames;
        if (c.count < longest)
        {
            padded.assign(longest, 0.0f);
            std::copy_n(c.frames, c.count, padded.begin());
            source = padded.data();
        }
        file.setChannel(static_cast<int>(i), static_cast<int>(longest), source);
    }
}
} // namespace qw::files
