// A random integer between two bounds (inclusive, either order, the whole
// 32-bit range included) on each true trigger; optionally never the same
// value twice in a row.
#include "mp_sdk_audio.h"
#include "qw_rnd.h"

#include <algorithm>

class QW_RandomIntDSP final : public MpBase2
{
public:
    static constexpr int kMostDraws = 1000;

    QW_RandomIntDSP()
    {
        initializePin(pinTrigger_);
        initializePin(pinA_);
        initializePin(pinB_);
        initializePin(pinNoRepeat_);
        initializePin(pinOutput_);
    }

    void onSetPins() override
    {
        if (!pinTrigger_.isUpdated() || !pinTrigger_.getValue())
            return;
        const int a = pinA_.getValue(), b = pinB_.getValue();
        int v = a;
        if (a != b)
        {
            const bool noRepeat = pinNoRepeat_.getValue() && hasOutput_;
            const int current = pinOutput_.getValue();
            int draws = 0;
            do
                v = rnd_.nextInteger(a, b);
            while (noRepeat && v == current && ++draws < kMostDraws);
            if (noRepeat && v == current) // never in practice; the neighbour then
                v = v == std::max(a, b) ? std::min(a, b) : v + 1;
        }
        pinOutput_ = v;
        hasOutput_ = true;
    }

private:
    BoolInPin pinTrigger_;
    IntInPin pinA_;
    IntInPin pinB_;
    BoolInPin pinNoRepeat_;
    IntOutPin pinOutput_;

    qw::rnd::RndIterator rnd_;
    bool hasOutput_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_RandomIntDSP", &gmpi::Register<QW_RandomIntDSP>::withId);
}
