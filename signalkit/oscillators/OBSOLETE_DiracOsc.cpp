// Dirac impulse-train oscillator: a naive one-sample impulse per period, or a
// band-limited one, sin(K theta) / sin(theta) read from a whole-cycle sine
// table shared by every instance through the host (M = P / 2 harmonics of
// fs / P, the highest at most fs / 2). The pitch is a frequency in kHz, a
// pitch in volts (5 V = 440 Hz) or a period in samples; the period lies in
// 2 .. 2^24 samples, zero frequency included. The amplitude may be scaled by
// half the period, and the DC removed. Without the shared table the
// band-limited routine writes zeros.
#include "dirac_table.h"
#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "qw_fm.h"

#include <algorithm>
#include <cmath>

class QW_DiracOsc final : public MpBase2
{
public:
    static constexpr double kLongest = 16777216.0; // 2^24 samples
    static constexpr float kLargestAmplitude = 1e12f;
    // A phase this close below a whole cycle counts as the whole cycle, so
    // that an integer period gives its impulse every P samples and not
    // P + 1 when the sum of P increments rounds just below 1.
    static constexpr double kSnap = 1e-9;

    QW_DiracOsc()
    {
        initializePin(pinOn_);
        initializePin(pinAmplitude_);
        initializePin(pinAmplitudeMode_);
        initializePin(pinPitch_);
        initializePin(pinPitchMode_);
        initializePin(pinAntiAlias_);
        initializePin(pinRemoveDC_);
        initializePin(pinOutput_);
        setSubProcess(&QW_DiracOsc::subProcessAA);
    }

    int32_t open() override
    {
        if (auto* host = getHost())
        {
            void* memory = nullptr;
            int32_t fill = 0;
            if (host->allocateSharedMemory(qw::dirac::kTableName, &memory, -1.0f, qw::dirac::kBytes, fill) ==
                    gmpi::MP_OK &&
                memory)
            {
                float* table = static_cast<float*>(memory);
                if (fill)
                    qw::dirac::fill(table);
                table_ = table;
            }
        }
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (pinOn_.isUpdated())
        {
            running_ = pinOn_.getValue();
            if (running_)
            {
                pinOutput_.setStreaming(true);
                chooseRoutine();
            }
            else
            {
                pinOutput_.setStreaming(false);
                setSubProcess(&QW_DiracOsc::subProcessSleep);
            }
        }
        if (pinAntiAlias_.isUpdated())
        {
            antiAlias_ = pinAntiAlias_.getValue();
            if (running_)
                chooseRoutine();
        }
        if (pinAntiAlias_.isUpdated() || (pinOn_.isUpdated() && pinOn_.getValue()) || pinPitchMode_.isUpdated())
        {
            phase_ = antiAlias_ ? 0.0 : 1.0;
            lastPitch_ = -1.0f;
        }
    }

    // Naive: 1 at the start of every period, 0 between.
    void subProcess(int n)
    {
        const float* amplitude = pinAmplitude_.getBuffer() + blockPosition_;
        const float* pitch = pinPitch_.getBuffer() + blockPosition_;
        float* out = pinOutput_.getBuffer() + blockPosition_;
        const float fk = getSampleRate() * 0.001f;
        const bool scaled = pinAmplitudeMode_.getValue() == 1;
        const bool removeDC = pinRemoveDC_.getValue();
        for (int i = 0; i < n; ++i)
        {
            period(pitch[i], fk);
            const float a = amplitudeOf(amplitude[i], scaled);
            float impulse = 0.0f;
            if (phase_ >= 1.0 - kSnap)
            {
                impulse = 1.0f;
                phase_ = std::max(phase_ - 1.0, 0.0);
            }
            const float dc = removeDC ? inverseP_ : 0.0f;
            out[i] = (impulse - dc) * a;
            phase_ += increment_;
        }
    }

    // Band-limited: the kernel read from the table, no interpolation.
    void subProcessAA(int n)
    {
        float* out = pinOutput_.getBuffer() + blockPosition_;
        if (!table_)
        {
            std::fill_n(out, n, 0.0f);
            return;
        }
        const float* amplitude = pinAmplitude_.getBuffer() + blockPosition_;
        const float* pitch = pinPitch_.getBuffer() + blockPosition_;
        const float fk = getSampleRate() * 0.001f;
        const bool scaled = pinAmplitudeMode_.getValue() == 1;
        const float dc = pinRemoveDC_.getValue() ? 1.0f : 0.0f;
        const float* table = table_;
        double phase = phase_; // a local: the output writes cannot alias it
        for (int i = 0; i < n; ++i)
        {
            period(pitch[i], fk);
            const float a = amplitudeOf(amplitude[i], scaled);
            const uint32_t j = static_cast<uint32_t>(phase * qw::dirac::kEntries) & qw::dirac::kMask;
            float k;
            if ((j & (qw::dirac::kHalf - 1)) == 0)
                k = Kf_;
            else
                k = table[(Ku_ * j) & qw::dirac::kMask] / table[j];
            out[i] = a * (k - dc) * normaliser_;
            phase += increment_;
            if (phase >= 1.0)
                phase -= 1.0;
        }
        phase_ = phase;
    }

    void subProcessSleep(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, 0.0f); }

private:
    void chooseRoutine()
    {
        if (antiAlias_)
            setSubProcess(&QW_DiracOsc::subProcessAA);
        else
            setSubProcess(&QW_DiracOsc::subProcess);
    }

    float amplitudeOf(float v, bool scaled) const
    {
        const float a = qw::finite::clampOrZero(v, -kLargestAmplitude, kLargestAmplitude);
        return scaled ? a * 0.5f * P32_ : a;
    }

    // The period of a pitch sample, recomputed only when the pitch changes.
    void period(float pitch, float fk)
    {
        const float x = std::max(0.0f, qw::finite::orZero(10.0f * pitch));
        if (x == lastPitch_)
            return;
        lastPitch_ = x;
        const int mode = pinPitchMode_.getValue();
        double P;
        if (mode >= 2)
            P = std::max(2.0, double(x));
        else
        {
            const float f = mode == 1 ? qw::fm::exp2Acc(std::clamp(x - 4.0f, -127.0f, 128.0f)) * 0.22f : x;
            const float fm = std::min(fk * 0.5f, f);
            P = fm > 0.0f ? double(fk) / fm : kLongest;
        }
        P = std::min(std::max(P, 2.0), kLongest); // also a host rate of 0
        const int32_t M = static_cast<int32_t>(P * 0.5);
        P32_ = static_cast<float>(P);
        inverseP_ = static_cast<float>(1.0 / P);
        Ku_ = static_cast<uint32_t>(2 * M + 1);
        Kf_ = static_cast<float>(Ku_);
        normaliser_ = 1.0f / static_cast<float>(2 * M);
        increment_ = antiAlias_ ? 0.5 / P : 1.0 / P;
    }

    BoolInPin pinOn_;
    AudioInPin pinAmplitude_;
    EnumInPin pinAmplitudeMode_;
    AudioInPin pinPitch_;
    EnumInPin pinPitchMode_;
    BoolInPin pinAntiAlias_;
    BoolInPin pinRemoveDC_;
    AudioOutPin pinOutput_;

    const float* table_ = nullptr;
    double phase_ = 0.0, increment_ = 0.0;
    float P32_ = 2.0f, inverseP_ = 0.5f, normaliser_ = 0.5f, Kf_ = 3.0f;
    uint32_t Ku_ = 3;
    float lastPitch_ = -1.0f;
    bool antiAlias_ = false;
    bool running_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_DiracOsc", &gmpi::Register<QW_DiracOsc>::withId);
}
