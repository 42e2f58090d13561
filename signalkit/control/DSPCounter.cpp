// Counts rising control triggers in one of four modes: free up or down,
// saturating at a limit, wrapping at a limit, or ping-pong between 0 and the
// limit.
#include "counting.h"

// 0 in bool clock; 1 in bool reset; 2 enum mode; 3 int step sign or limit; 4 out int count.
class QW_DSPCounter final : public MpBase2
{
public:
    QW_DSPCounter()
    {
        initializePin(clock_);
        initializePin(reset_);
        initializePin(mode_);
        initializePin(limit_);
        initializePin(out_);
    }

    void onSetPins() override
    {
        const int mode = mode_;
        const int32_t limit = limit_;
        if (reset_.isUpdated() && reset_)
        {
            count_ = 0;
            down_ = false;
        }
        else if (clock_.isUpdated() && clock_ && mode >= 0 && mode <= 3)
        {
            if (mode != 3)
                count_ = qw::control::countStep(mode, count_, limit);
            else if (!down_)
            {
                if (count_ == limit)
                    down_ = true;
                else
                {
                    count_ = qw::control::stepToward(count_, limit);
                    down_ = count_ == limit;
                }
            }
            else if (count_ == 0)
                down_ = false;
            else
            {
                count_ = qw::control::stepToward(count_, 0);
                down_ = count_ != 0;
            }
        }
        out_ = count_;
    }

private:
    BoolInPin clock_;
    BoolInPin reset_;
    EnumInPin mode_;
    IntInPin limit_;
    IntOutPin out_;
    int32_t count_ = 0;
    bool down_ = false;
};

namespace
{
const bool registered = [] {
    qw::control::registerModule<QW_DSPCounter>(L"QW_DSPCounter");
    return true;
}();
} // namespace
