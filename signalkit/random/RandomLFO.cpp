// Smooth random LFO: a cubic curve through random points in [-1, 1), with the
// slopes of the neighbouring points at each end of a segment. Points arrive at
// twice the rate (10 x rate sample = per second), at most 20000 a second; rate
// 0 holds the curve. A reseed (and the first update of the reseed pin) starts
// the points from the seed, or from 1 when the seed is below 2.
#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "qw_rnd.h"

#include <algorithm>

class QW_RndLFO final : public MpBase2
{
public:
    QW_RndLFO()
    {
        initializePin(pinOn_);
        initializePin(pinReseed_);
        initializePin(pinSeed_);
        initializePin(pinRate_);
        initializePin(pinAmplitude_);
        initializePin(pinOutput_);
    }

    int32_t open() override
    {
        const float fs = getSampleRate();
        inverseRate_ = fs > 0.0f ? 1.0f / fs : 0.0f;
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (pinOn_.isUpdated())
        {
            pinOutput_.setStreaming(pinOn_.getValue());
            if (pinOn_.getValue())
                setSubProcess(&QW_RndLFO::subProcess);
            else
                setSubProcess(&QW_RndLFO::subProcessOff);
        }
        if (pinReseed_.isUpdated() && (pinReseed_.getValue() || pending_))
        {
            t_ = 0.0f;
            const int seed = pinSeed_.getValue();
            rnd_.seed(seed < 2 ? 1u : static_cast<uint32_t>(seed));
            for (float& p : p_)
                p = rnd_.nextBipolar();
            pending_ = false;
        }
        if (pinAmplitude_.isUpdated())
            gain_ = 0.1f * qw::finite::clampOrZero(pinAmplitude_.getValue(), -1e6f, 1e6f);
    }

    void subProcess(int n)
    {
        const float* rate = pinRate_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        float t = t_;
        for (int i = 0; i < n; ++i)
        {
            const float r = 10.0f * qw::finite::orZero(rate[i]);
            const float perSecond = r < 0.0f ? 0.0f : (r > 10000.0f ? 20000.0f : 2.0f * r);
            const float u = 1.0f - t;
            const float A = p_[1] + 0.5f * t * (p_[2] - p_[0]);
            const float B = p_[1] + t * (p_[2] - p_[1]);
            const float C = p_[2] - 0.5f * u * (p_[3] - p_[1]);
            out[i] = gain_ * (u * (u * A + t * B) + t * (u * B + t * C));
            t += perSecond * inverseRate_;
            if (t >= 1.0f)
            {
                // One new point per sample at most (a whole step below 20 kHz rates).
                t = std::min(t - 1.0f, 0.99999994f);
                p_[0] = p_[1];
                p_[1] = p_[2];
                p_[2] = p_[3];
                p_[3] = rnd_.nextBipolar();
            }
        }
        t_ = t;
    }

    void subProcessOff(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, 0.0f); }

private:
    BoolInPin pinOn_;
    BoolInPin pinReseed_;
    IntInPin pinSeed_;
    AudioInPin pinRate_;
    FloatInPin pinAmplitude_;
    AudioOutPin pinOutput_;

    float inverseRate_ = 0.0f;
    float gain_ = 0.0f;
    bool pending_ = true;
    qw::rnd::RndIterator rnd_;
    float t_ = 0.0f;
    float p_[4] = {};
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_RndLFO", &gmpi::Register<QW_RndLFO>::withId);
}
