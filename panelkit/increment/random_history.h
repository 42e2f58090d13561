// The random interface modules: each forward step beyond the last value draws
// a new one between the two limits and keeps it; stepping back and forward
// again goes through the values kept, drawing nothing. The generator is the
// shared one, seeded from the system's random source at construction.
//
// Pins: first limit, second limit, current value, step forward, step back,
// then the module's own.
#pragma once

#include "mp_sdk_gui.h"
#include "qw_rnd.h"

#include <cstddef>
#include <cstdint>
#include <deque>

namespace qw
{
template <class T> class RandomHistory : public MpGuiInvisibleBase
{
public:
    // Values kept; beyond, the oldest are forgotten (a step back then stops
    // at the oldest one kept).
    static constexpr size_t kMaxKept = size_t{1} << 16;

protected:
    RandomHistory()
    {
        initializePin(first_);
        initializePin(second_);
        initializePin(value_);
        initializePin(forward_, &RandomHistory::onSetHistUp);
        initializePin(back_, &RandomHistory::onSetHistDown);
    }

    // A new value between the limits.
    virtual T draw() = 0;

    // The values kept, oldest first; none before the first draw.
    const std::deque<T>& kept() const { return history_; }

    MpGuiPin<T> first_, second_;
    rnd::RndIterator rnd_;

private:
    void onSetHistUp()
    {
        if (!forward_)
            return;
        if (position_ + 1 == static_cast<int64_t>(history_.size()))
        {
            const T v = draw();
            if (history_.size() == kMaxKept)
                history_.pop_front();
            else
                ++position_;
            history_.push_back(v);
        }
        else
            ++position_;
        value_ = history_[static_cast<size_t>(position_)];
    }
    void onSetHistDown()
    {
        if (!back_ || position_ < 0)
            return;
        if (position_ > 0)
            --position_;
        value_ = history_[static_cast<size_t>(position_)];
    }

    MpGuiPin<T> value_;
    MpGuiPin<bool> forward_, back_;
    std::deque<T> history_;
    int64_t position_ = -1; // nothing drawn yet
};
} // namespace qw
