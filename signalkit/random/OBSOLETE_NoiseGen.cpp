// White or pink noise from a xorshift generator seeded by the seed pin. Pink
// is Voss-McCartney: seven rows of random values, row k renewed every
// 2^(k+1) samples, summed with a fresh value. A zero generator state never
// leaves zero, so it is replaced by a fixed non-zero word: an unseeded or
// zero-seeded generator gives noise too, never a constant.
#include "mp_sdk_audio.h"

#include <algorithm>
#include <cstdint>

class QW_NoiseGen final : public MpBase2
{
public:
    static constexpr uint32_t kNonZero = 2463534242u;
    static constexpr uint32_t kRowMask = (1u << 29) - 1;

    QW_NoiseGen()
    {
        initializePin(pinType_);
        initializePin(pinOn_);
        initializePin(pinSeed_);
        initializePin(pinOutput_);
    }

    void onSetPins() override
    {
        if (pinSeed_.isUpdated())
            x_ = nonZero(static_cast<uint32_t>(pinSeed_.getValue()));
        // While off the routine stays silent: a noise routine run by the
        // framework's sleep countdown would advance the generator by a
        // number of samples that depends on the host's block size.
        if (pinType_.isUpdated() && pinOn_.getValue())
            setSubProcess(noiseRoutine());
        if (pinOn_.isUpdated())
        {
            if (pinOn_.getValue())
                setSubProcess(noiseRoutine());
            else
                setSubProcess(&QW_NoiseGen::subProcessSleep);
            pinOutput_.setStreaming(pinOn_.getValue());
        }
    }

    void subProcessWhite(int n)
    {
        float* out = pinOutput_.getBuffer() + blockPosition_;
        uint32_t x = x_;
        for (int i = 0; i < n; ++i)
        {
            x = step(x);
            out[i] = static_cast<float>(x * (1.0 / 4294967296.0) - 0.5);
        }
        x_ = x;
    }

    void subProcessPink(int n)
    {
        float* out = pinOutput_.getBuffer() + blockPosition_;
        uint32_t x = x_, c = c_;
        for (int i = 0; i < n; ++i)
        {
            const uint32_t r = step(x) & kRowMask;
            x = nonZero(r);
            uint32_t sum = r;
            for (int k = 0; k < 7; ++k)
            {
                if ((c & ((2u << k) - 1)) == 0)
                    rows_[k] = r;
                sum += rows_[k];
            }
            out[i] = static_cast<float>(sum * (1.0 / 2147483648.0) - 1.0);
            c = (c + 1) & 255;
        }
        x_ = x, c_ = c;
    }

    void subProcessSleep(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, 0.0f); }

private:
    static uint32_t nonZero(uint32_t x) { return x ? x : kNonZero; }

    static uint32_t step(uint32_t x)
    {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    }

    SubProcess_ptr noiseRoutine() const
    {
        return pinType_.getValue() != 0 ? static_cast<SubProcess_ptr>(&QW_NoiseGen::subProcessPink)
                                        : static_cast<SubProcess_ptr>(&QW_NoiseGen::subProcessWhite);
    }

    EnumInPin pinType_;
    BoolInPin pinOn_;
    IntInPin pinSeed_;
    AudioOutPin pinOutput_;

    uint32_t x_ = kNonZero;
    uint32_t c_ = 0;
    uint32_t rows_[7] = {};
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_NoiseGen", &gmpi::Register<QW_NoiseGen>::withId);
}
