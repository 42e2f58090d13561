// A random integer between the two limits, both included, from the high bits
// of the generator's state (the full 32-bit span included). Equal limits give
// that value without a draw. With no repeat on, draws repeat until the value
// differs from the one before it.
//
// Pins: first limit, second limit, current value, step forward, step back,
// no repeat.
#include "random_history.h"

#include <algorithm>

class QW_RndInt : public qw::RandomHistory<int>
{
public:
    QW_RndInt() { initializePin(noRepeat_); }

private:
    // Draws for one value with no repeat; the generator's full period makes a
    // different value come long before, but the loop stays bounded.
    static constexpr int kMaxDraws = 1000;

    int draw() override
    {
        const int lo = std::min<int>(first_, second_), hi = std::max<int>(first_, second_);
        if (lo == hi)
            return lo;
        int v = rnd_.nextInteger(lo, hi);
        if (noRepeat_ && !kept().empty())
        {
            const int previous = kept().back();
            for (int n = 1; v == previous && n < kMaxDraws; ++n)
                v = rnd_.nextInteger(lo, hi);
            if (v == previous)
                v = previous == lo ? hi : lo;
        }
        return v;
    }

    MpGuiPin<bool> noRepeat_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_RndInt", &gmpi::Register<QW_RndInt>::withId);
} // namespace
