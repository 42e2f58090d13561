// A value stepped up or down by a step on trigger pins, wrapped into or
// clamped to minimum .. maximum; for integers and floats. A trigger acts when
// its value differs from the polarity pin (false: on true, true: on false),
// every time it is notified so.
//
// Pins: value, minimum, maximum, step, wrap, polarity, increment trigger,
// decrement trigger.
#include "../logic/family.h"
#include "increment.h"

#include <type_traits>

template <class T> class QW_StepInc : public MpGuiInvisibleBase
{
public:
    QW_StepInc()
    {
        initializePin(value_);
        initializePin(minimum_);
        initializePin(maximum_);
        initializePin(step_);
        initializePin(wrap_);
        initializePin(polarity_);
        initializePin(increment_, &QW_StepInc::onSetInc);
        initializePin(decrement_, &QW_StepInc::onSetDec);
    }

private:
    void onSetInc()
    {
        if (increment_ != polarity_)
            modifyValue(false);
    }
    void onSetDec()
    {
        if (decrement_ != polarity_)
            modifyValue(true);
    }

    void modifyValue(bool down)
    {
        if constexpr (std::is_same_v<T, float>)
        {
            float v;
            if (qw::stepped(value_, minimum_, maximum_, step_, down, wrap_, v))
                value_ = v;
        }
        else
            value_ = qw::stepped(value_, minimum_, maximum_, step_, down, wrap_);
    }

    MpGuiPin<T> value_, minimum_, maximum_, step_;
    MpGuiPin<bool> wrap_, polarity_, increment_, decrement_;
};

namespace
{
auto r = qw::registerFamily<QW_StepInc, int, float>(L"QW_StepInc", qw::TEXT);
} // namespace
