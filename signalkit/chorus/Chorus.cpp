// Pitch-detuned chorus: 2, 4, 8 or 16 voices over one 4096-sample ring, each
// a crossfaded pair of taps moving at its own rate (voice n lowered or raised
// by n x detune), spread over two outputs and summed without scaling
// (saturating at the float limit). The
// voices' phases start from a fixed pseudo-random pattern, the same in every
// instance. A static input is heard as silence for a tail of 4096 samples.
#include "effect_pattern.h"
#include "qw_rnd.h"

#include <array>
#include <cmath>

namespace
{
// Voices of each output: -n reads the down-phase A[n - 1] (lowered by n
// steps of detune), +n the up-phase B[n - 1] (raised by n steps).
constexpr int kVoices2[2][1] = {{-8}, {8}};
constexpr int kVoices4[2][2] = {{-8, 4}, {-4, 8}};
constexpr int kVoices8[2][4] = {{-8, -4, 2, 6}, {-6, -2, 4, 8}};
constexpr int kVoices16[2][8] = {{-8, -6, -4, -2, 1, 3, 5, 7}, {-7, -5, -3, -1, 2, 4, 6, 8}};
} // namespace

class QW_Chorus final : public MpBase2
{
public:
    static constexpr int kTail = 4096;

    QW_Chorus()
    {
        initializePin(pinUnused_);
        initializePin(pinSignal_);
        initializePin(pinVoices_);
        initializePin(pinDetune_);
        initializePin(pinLatency_);
        initializePin(pinLeft_);
        initializePin(pinRight_);
        qw::rnd::RndIterator pattern(1991);
        for (int k = 0; k < 8; ++k)
        {
            down_[k] = pattern.next31();
            up_[k] = pattern.next31();
        }
        setSubProcess(&QW_Chorus::subProcessSilence);
    }

    void onGraphStart() override { qw::effect::setStreaming({&pinLeft_, &pinRight_}, false); }

    void onSetPins() override
    {
        if (pinDetune_.isUpdated())
        {
            const double d = 0.125 * qw::effect::clampOrZero(pinDetune_, 0.0f, 2.0f);
            for (int k = 0; k < 8; ++k)
            {
                const double r = std::exp2((k + 1) * d / 12.0);
                downStep_[k] = static_cast<uint32_t>(qw::effect::truncSaturated((1.0 - 1.0 / r) * 1048576.0));
                upStep_[k] = static_cast<uint32_t>(qw::effect::truncSaturated((r - 1.0) * 1048576.0));
            }
        }
        if (pinLatency_.isUpdated() && pinLatency_)
            if (auto* host = getProcessorHost())
                host->setLatency(2048);
        if (pinSignal_.isUpdated())
        {
            if (qw::effect::onInputWithTail(pinSignal_, {&pinLeft_, &pinRight_}, tail_, kTail))
                chooseRoutine();
        }
        else if (pinVoices_.isUpdated() && pinLeft_.isStreaming() && !tail_.running())
            chooseRoutine();
    }

    void subProcess2(int n) { run<1, kVoices2>(n); }
    void subProcess4(int n) { run<2, kVoices4>(n); }
    void subProcess8(int n) { run<4, kVoices8>(n); }
    void subProcess16(int n) { run<8, kVoices16>(n); }
    void subProcessSilence(int n) { qw::effect::writeZeros({&pinLeft_, &pinRight_}, getBlockPosition(), n); }

private:
    void chooseRoutine()
    {
        switch (pinVoices_.getValue())
        {
        case 0:
            setSubProcess(&QW_Chorus::subProcess2);
            break;
        case 1:
            setSubProcess(&QW_Chorus::subProcess4);
            break;
        case 2:
            setSubProcess(&QW_Chorus::subProcess8);
            break;
        default:
            setSubProcess(&QW_Chorus::subProcess16);
            break;
        }
    }

    template <int V, const int (&Layout)[2][V]> void run(int n)
    {
        const int start = getBlockPosition();
        const int m = tail_.limit(n);
        const float* in = pinSignal_.getBuffer() + start;
        float* out[2] = {pinLeft_.getBuffer() + start, pinRight_.getBuffer() + start};
        const bool gate = pinSignal_.isStreaming();
        float* ring = ring_.data();
        uint32_t w = write_;
        // The phases this routine moves, in the order of the layout.
        uint32_t phase[2][V], step[2][V];
        for (int o = 0; o < 2; ++o)
            for (int v = 0; v < V; ++v)
            {
                const int voice = Layout[o][v];
                phase[o][v] = voice < 0 ? down_[-voice - 1] : up_[voice - 1];
                step[o][v] = voice < 0 ? downStep_[-voice - 1] : upStep_[voice - 1];
            }
        float poison = 0.0f;
        for (int i = 0; i < m; ++i)
        {
            const float x = gate ? in[i] : 0.0f;
            ring[w >> 20] = x;
            poison += x - x;
            for (int o = 0; o < 2; ++o)
            {
                float sum = 0.0f;
                for (int v = 0; v < V; ++v)
                {
                    const uint32_t q = phase[o][v];
                    sum += qw::ring12::windowRead(ring, Layout[o][v] < 0 ? w - q : w + q, q);
                    phase[o][v] = q + step[o][v];
                }
                out[o][i] = qw::effect::saturated(sum); // the taps of input near the float limit overflow
            }
            w += qw::ring12::kStep;
        }
        write_ = w;
        for (int o = 0; o < 2; ++o)
            for (int v = 0; v < V; ++v)
            {
                const int voice = Layout[o][v];
                (voice < 0 ? down_[-voice - 1] : up_[voice - 1]) = phase[o][v];
            }
        qw::effect::clearNonFinite(ring, qw::ring12::kSize, poison);
        if (tail_.consume(m))
        {
            qw::effect::endTail({&pinLeft_, &pinRight_}, start, m, n);
            setSubProcess(&QW_Chorus::subProcessSilence);
        }
    }

    IntInPin pinUnused_;
    AudioInPin pinSignal_;
    EnumInPin pinVoices_;
    FloatInPin pinDetune_;
    BoolInPin pinLatency_;
    AudioOutPin pinLeft_;
    AudioOutPin pinRight_;

    std::array<float, qw::ring12::kSize> ring_{};
    uint32_t write_ = 0;
    std::array<uint32_t, 8> down_{}, up_{};         // phases A and B
    std::array<uint32_t, 8> downStep_{}, upStep_{}; // their increments C and D
    qw::effect::Tail tail_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Chorus", &gmpi::Register<QW_Chorus>::withId);
}
