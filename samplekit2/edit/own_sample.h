// What the interface modules that edit a sample share: they publish frames of
// their own on the sample pin they read, and a sample that arrives from
// outside replaces their result.
#pragma once

#include "Sample2Pins.h"

#include <new>
#include <vector>

namespace qw::edit
{
// True when the value that just reached the pin came from outside: neither
// the echo of the module's own publication (now or later) nor anything that
// arrives while the module publishes.
inline bool fromOutside(const Sample2GuiPin& pin, bool sending)
{
    return !sending && !pin.echoed();
}

// Runs an edit; when memory for its result cannot be had, it ends there and
// the module's sample stays as it was (nothing throws towards the host).
template <class F> void guarded(F edit)
{
    try
    {
        edit();
    }
    catch (const std::bad_alloc&)
    {}
}

// Publishes the frames on the pin (none: the empty sample) with the module's
// sending flag raised around it.
void publish(Sample2GuiPin& pin, const std::vector<float>& frames, bool& sending);

// Frames that the module publishes and keeps alive until a newer value has
// replaced them on its pin.
class OwnSample
{
public:
    explicit OwnSample(Sample2GuiPin& pin) : pin_(pin) {}

    // The module's last result, and whether the pin still names it (edits
    // then work on it in place).
    std::vector<float>& frames() { return frames_; }
    bool onPin() const { return !frames_.empty() && pin_.frames() == frames_.data(); }

    // A sample from outside: the result is dropped and its memory released.
    void drop() { std::vector<float>().swap(frames_); }
    // Makes the result a copy of the sample on the pin unless it is that
    // sample already.
    void takeSample();

    // Publishes the result as it stands (edits that keep the length).
    void publish();
    // Publishes new frames in place of the result; the old frames stay
    // readable until the new value is out, then they are released.
    void replace(std::vector<float>&& next);

    bool sending() const { return sending_; }

private:
    Sample2GuiPin& pin_;
    std::vector<float> frames_;
    bool sending_ = false;
};

// The sample on the pin with `removed` frames taken out from frame `from` on
// and `insert` put in their place: the new frames of the commands that
// change the length. Needs 0 <= from, from + removed <= the pin's count.
std::vector<float> spliced(const Sample2GuiPin& pin, int64_t from, int64_t removed,
                           const std::vector<float>& insert = {});
} // namespace qw::edit
