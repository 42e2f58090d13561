// White or pink noise from the shared random generator, started from the
// system's random source; a seed above 0 restarts it (on a seed change or a
// reseed trigger), so that instances given the same seed agree. Pink is white
// through two one-pole low-passes, summed.
#include "mp_sdk_audio.h"
#include "qw_rnd.h"

#include <algorithm>

class QW_NoiseGen2 final : public MpBase2
{
public:
    QW_NoiseGen2()
    {
        initializePin(pinOn_);
        initializePin(pinReseed_);
        initializePin(pinType_);
        initializePin(pinSeed_);
        initializePin(pinOutput_);
    }

    void onSetPins() override
    {
        if (pinOn_.isUpdated() || pinType_.isUpdated())
        {
            if (pinOn_.getValue())
            {
                pinOutput_.setStreaming(true);
                if (pinType_.getValue() != 0)
                    setSubProcess(&QW_NoiseGen2::subProcessPink);
                else
                    setSubProcess(&QW_NoiseGen2::subProcessWhite);
            }
            else
            {
                if (pinOutput_.isStreaming())
                    pinOutput_.setStreaming(false);
                setSubProcess(&QW_NoiseGen2::subProcessSilence);
            }
        }
        if ((pinSeed_.isUpdated() || (pinReseed_.isUpdated() && pinReseed_.getValue())) && pinSeed_.getValue() > 0)
        {
            rnd_.seed(static_cast<uint32_t>(pinSeed_.getValue()));
            s1_ = s2_ = 0.0f;
        }
    }

    void subProcessWhite(int n)
    {
        float* out = pinOutput_.getBuffer() + blockPosition_;
        for (int i = 0; i < n; ++i)
            out[i] = rnd_.nextHalfBipolar();
    }

    void subProcessPink(int n)
    {
        float* out = pinOutput_.getBuffer() + blockPosition_;
        float s1 = s1_, s2 = s2_;
        for (int i = 0; i < n; ++i)
        {
            const float w = rnd_.nextBipolar();
            s1 = w + 0.96f * (s1 - w);
            s2 = w + 0.655f * (s2 - w);
            out[i] = 2.5f * (s1 + 0.25f * s2);
        }
        s1_ = s1, s2_ = s2;
    }

    void subProcessSilence(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, 0.0f); }

private:
    BoolInPin pinOn_;
    BoolInPin pinReseed_;
    EnumInPin pinType_;
    IntInPin pinSeed_;
    AudioOutPin pinOutput_;

    qw::rnd::RndIterator rnd_;
    float s1_ = 0.0f, s2_ = 0.0f;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_NoiseGen2", &gmpi::Register<QW_NoiseGen2>::withId);
}
