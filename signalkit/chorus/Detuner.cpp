// One pitch-shifted voice: a 4096-sample ring read by a crossfaded pair of
// taps that move at 2^(detune / 12) samples per sample, a delay of 2048
// samples at detune 0. A static input is heard as silence for a tail of 4096
// samples, after which the output stops streaming.
#include "effect_pattern.h"

#include <array>
#include <cmath>
#include <type_traits>

class QW_Detuner final : public MpBase2
{
public:
    static constexpr int kTail = 4096;

    QW_Detuner()
    {
        initializePin(pinUnused_);
        initializePin(pinSignal_);
        initializePin(pinDetune_);
        initializePin(pinLatency_);
        initializePin(pinOutput_);
        setSubProcess(&QW_Detuner::subProcessSilence);
    }

    void onGraphStart() override { pinOutput_.setStreaming(false); }

    void onSetPins() override
    {
        if (pinDetune_.isUpdated())
        {
            const double r = std::exp2(qw::effect::clampOrZero(pinDetune_, -12.0f, 12.0f) / 12.0);
            increment_ = r >= 1.0 ? qw::effect::truncSaturated((r - 1.0) * 1048576.0)
                                  : -qw::effect::truncSaturated((1.0 - r) * 1048576.0);
        }
        if (pinLatency_.isUpdated() && pinLatency_)
            if (auto* host = getProcessorHost())
                host->setLatency(2048);
        if (pinSignal_.isUpdated() && qw::effect::onInputWithTail(pinSignal_, {&pinOutput_}, tail_, kTail))
            setSubProcess(&QW_Detuner::subProcess);
    }

    void subProcess(int n)
    {
        const int start = getBlockPosition();
        const int m = tail_.limit(n);
        const float* in = pinSignal_.getBuffer() + start;
        float* out = pinOutput_.getBuffer() + start;
        const bool gate = pinSignal_.isStreaming();
        float* ring = ring_.data();
        uint32_t w = write_, p = phase_;
        const uint32_t inc = static_cast<uint32_t>(increment_);
        // Whether the span writes anything not finite, found in one pass over
        // the input before any output is written.
        const bool finite = !gate || qw::finite::allFinite(in, m);
        // A loop for each state of the input: no test per sample.
        auto run = [&](auto streaming) {
            for (int i = 0; i < m; ++i)
            {
                ring[w >> 20] = decltype(streaming)::value ? in[i] : 0.0f;
                out[i] = qw::ring12::windowRead(ring, w + p, p);
                p += inc;
                w += qw::ring12::kStep;
            }
        };
        if (gate)
            run(std::true_type{});
        else
            run(std::false_type{});
        write_ = w;
        phase_ = p;
        qw::effect::clearNonFinite(ring, qw::ring12::kSize, finite ? 0.0f : 1.0f);
        if (tail_.consume(m))
        {
            qw::effect::endTail({&pinOutput_}, start, m, n);
            setSubProcess(&QW_Detuner::subProcessSilence);
        }
    }

    void subProcessSilence(int n) { qw::effect::writeZeros({&pinOutput_}, getBlockPosition(), n); }

private:
    IntInPin pinUnused_;
    AudioInPin pinSignal_;
    FloatInPin pinDetune_;
    BoolInPin pinLatency_;
    AudioOutPin pinOutput_;

    std::array<float, qw::ring12::kSize> ring_{};
    uint32_t write_ = 0;
    uint32_t phase_ = 0;
    int32_t increment_ = 0;
    qw::effect::Tail tail_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Detuner", &gmpi::Register<QW_Detuner>::withId);
}
