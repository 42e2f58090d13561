#include "own_sample.h"

#include <algorithm>

namespace qw::edit
{
void publish(Sample2GuiPin& pin, const std::vector<float>& frames, bool& sending)
{
    sending = true;
    pin.send(frames.data(), frames.size());
    sending = false;
}

void OwnSample::takeSample()
{
    if (onPin())
        return;
    const float* source = pin_.frames();
    std::vector<float>(source, source + pin_.count()).swap(frames_);
}

void OwnSample::publish()
{
    edit::publish(pin_, frames_, sending_);
}

void OwnSample::replace(std::vector<float>&& next)
{
    std::vector<float> old;
    old.swap(frames_);
    frames_ = std::move(next);
    publish();
}

std::vector<float> spliced(const Sample2GuiPin& pin, int64_t from, int64_t removed, const std::vector<float>& insert)
{
    const float* source = pin.frames();
    const int64_t count = pin.count();
    std::vector<float> out;
    out.reserve(static_cast<size_t>(count - removed) + insert.size());
    if (source)
    {
        out.insert(out.end(), source, source + from);
        out.insert(out.end(), insert.begin(), insert.end());
        out.insert(out.end(), source + from + removed, source + count);
    }
    else
        out = insert;
    return out;
}
} // namespace qw::edit
