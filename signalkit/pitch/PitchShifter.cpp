// The earlier pitch shifter: once per half frame a stretch of recent input is
// resampled by the pitch ratio (linearly, or anti-aliased: cubic, and a
// half-band kernel when the pitch goes up), aligned with the frame being
// faded out, and overlap-added under a Hann window. Frames of 32 to 4096
// samples, all storage inside the object; reports its frame length as
// latency when asked. A frame whose float resampling overflows (input near
// the float limit) is resampled again in double and saturated, and so is
// the overlap's sum.
#include "../chorus/effect_pattern.h"
#include "pitch_kernels.h"

#include <array>

class QW_PitchShifter final : public MpBase2
{
public:
    static constexpr int kMinExponent = 5;
    static constexpr int kMaxExponent = 12;
    static constexpr int kMaxFrame = 1 << kMaxExponent;
    static constexpr int kGuard = qw::pitch::kSincTaps;

    QW_PitchShifter()
    {
        initializePin(pinExponent_);
        initializePin(pinAntiAlias_);
        initializePin(pinSignal_);
        initializePin(pinPitch_);
        initializePin(pinLatency_);
        initializePin(pinOutput_);
        setSubProcess(&QW_PitchShifter::subProcessSilence);
        qw::pitch::computeSincKernel(kernel_.data());
        qw::pitch::computeWindow(window_.data(), n_);
    }

    void onGraphStart() override { pinOutput_.setStreaming(false); }

    void onSetPins() override
    {
        if (pinExponent_.isUpdated())
        {
            n_ = 1 << std::min(std::max(pinExponent_.getValue(), kMinExponent), kMaxExponent);
            c_ = 0;
            s_ = 0;
            ring_.fill(0.0f);
            for (auto& w : work_)
                std::fill_n(w.begin(), n_, 0.0f);
            qw::pitch::computeWindow(window_.data(), n_);
            if (tail_.running())
            {
                tail_.clear();
                pinOutput_.setStreaming(false);
                setSubProcess(&QW_PitchShifter::subProcessSilence);
            }
            if (pinLatency_)
                if (auto* host = getProcessorHost())
                    host->setLatency(n_);
        }
        if (pinAntiAlias_.isUpdated())
            antiAlias_ = pinAntiAlias_;
        if (!pinSignal_.isUpdated())
            return;
        if (pinSignal_.isStreaming())
        {
            if (tail_.running())
                tail_.clear();
            else
            {
                resetAll();
                setSubProcess(&QW_PitchShifter::subProcess);
                pinOutput_.setStreaming(true);
            }
        }
        else if (pinOutput_.isStreaming() && !tail_.running())
            tail_.start(n_);
    }

    void subProcess(int n)
    {
        const int start = getBlockPosition();
        const int m = tail_.limit(n);
        const int half = n_ / 2;
        const int ringMask = 4 * n_ - 1;
        const float* in = pinSignal_.getBuffer() + start;
        const float* pitch = pinPitch_.getBuffer() + start;
        float* out = pinOutput_.getBuffer() + start;
        const float gate = pinSignal_.isStreaming() ? 1.0f : 0.0f;
        float poison = 0.0f;
        for (int i = 0; i < m; ++i)
        {
            const int k = c_ & (half - 1);
            if (k == 0)
            {
                const float p = qw::effect::clampOrZero(pitch[i] * 10.0f, -1.0f, 1.0f);
                if (p != cachedPitch_)
                {
                    cachedPitch_ = p;
                    ratio_ = qw::fm::exp2Acc(p);
                }
                s_ ^= 1;
                reSample(scratch_.data(), c_, ratio_);
                const int used = 3 * n_ / 2 + 2 * kGuard;
                if (!qw::finite::allFinite(scratch_.data(), used))
                {
                    reSample(wideScratch_.data(), c_, ratio_);
                    for (int q = 0; q < used; ++q)
                        scratch_[static_cast<size_t>(q)] = qw::finite::narrowed(wideScratch_[static_cast<size_t>(q)]);
                }
                const float* scratch = scratch_.data() + kGuard;
                const int lag = qw::pitch::findMatchingOffset(work_[1 - s_].data() + half, scratch, n_);
                std::copy_n(scratch + lag, n_, work_[s_].begin());
                for (int q = 0; q < n_; ++q)
                    poison += work_[s_][q] - work_[s_][q];
            }
            out[i] = qw::finite::saturated(work_[s_][k] * window_[k] + work_[1 - s_][half + k] * window_[half + k]);
            const float x = in[i] * gate;
            ring_[c_] = x;
            poison += x - x;
            c_ = (c_ + 1) & ringMask;
        }
        if (!(poison == 0.0f))
        {
            qw::effect::clearNonFinite(ring_.data(), 4 * n_, 1.0f);
            qw::effect::clearNonFinite(scratch_.data(), static_cast<int>(scratch_.size()), 1.0f);
            for (auto& w : work_)
                qw::effect::clearNonFinite(w.data(), n_, 1.0f);
        }
        if (tail_.consume(m))
        {
            qw::effect::endTail({&pinOutput_}, start, m, n);
            setSubProcess(&QW_PitchShifter::subProcessSilence);
        }
    }

    void subProcessSilence(int n) { qw::effect::writeZeros({&pinOutput_}, getBlockPosition(), n); }

private:
    void resetAll()
    {
        c_ = 0;
        s_ = 0;
        ring_.fill(0.0f);
        for (auto& w : work_)
            w.fill(0.0f);
    }

    // The cubic read of the ring, in float or (T double) in double.
    template <class T> T cubic(double q) const
    {
        if constexpr (std::is_same<T, float>::value)
            return qw::pitch::cubicAt(ring_.data(), 4 * n_ - 1, q);
        else
        {
            const int mask = 4 * n_ - 1;
            const double fl = std::floor(q);
            const int i = static_cast<int>(fl);
            const double f = q - fl;
            const double x0 = ring_[(i - 1) & mask], x1 = ring_[i & mask], x2 = ring_[(i + 1) & mask],
                         x3 = ring_[(i + 2) & mask];
            return qw::pitch::cubicWide(x0, x1, x2, x3, f);
        }
    }

    // The stretch of input for the next frame into a scratch frame (base: its
    // first guard entry), by the chosen resampler.
    template <class T> void reSample(T* base, int counter, float ratio)
    {
        if (antiAlias_)
            reSampleWriteBufToWorkBufAA(base, counter, ratio);
        else
            reSampleWriteBufToWorkBufFast(base, counter, ratio);
    }

    // Linear interpolation at c, c - r, c - 2r, ... into the scratch frame,
    // from its last entry down.
    template <class T> void reSampleWriteBufToWorkBufFast(T* base, int counter, float ratio)
    {
        const int count = 3 * n_ / 2;
        const int mask = 4 * n_ - 1;
        T* scratch = base + kGuard;
        for (int m = 0; m < count; ++m)
        {
            const double q = qw::pitch::wrapBack(counter - static_cast<double>(m) * ratio, 4.0 * n_);
            const int i = static_cast<int>(q);
            const float f = static_cast<float>(q - i);
            scratch[count - 1 - m] =
                static_cast<T>(f) * ring_[(i + 1) & mask] + static_cast<T>(1.0f - f) * ring_[i & mask];
        }
    }

    // Below the original pitch a cubic read at c, c - r, ...; above it the
    // input read at twice the rate, the points between smoothed by the
    // half-band kernel; at the original pitch a plain copy.
    template <class T> void reSampleWriteBufToWorkBufAA(T* base, int counter, float ratio)
    {
        const int count = 3 * n_ / 2;
        const int mask = 4 * n_ - 1;
        const double size = 4.0 * n_;
        T* scratch = base + kGuard;
        if (ratio == 1.0f)
        {
            for (int m = 0; m < count; ++m)
                scratch[count - 1 - m] = ring_[(counter - m) & mask];
            return;
        }
        if (ratio < 1.0f)
        {
            for (int m = 0; m < count; ++m)
                scratch[count - 1 - m] = cubic<T>(qw::pitch::wrapBack(counter - static_cast<double>(m) * ratio, size));
            return;
        }
        std::fill_n(base, scratch_.size(), T(0));
        const double halfStep = 0.5 * ratio;
        double q = counter;
        for (int j = count - 1; j >= 0; --j)
        {
            scratch[j] += static_cast<T>(0.5f) * cubic<T>(q);
            const double q2 = qw::pitch::wrapBack(q - halfStep, size);
            const T v = cubic<T>(q2);
            for (int m = 0; m < qw::pitch::kSincTaps; ++m)
            {
                scratch[j + m] += v * kernel_[static_cast<size_t>(m)];
                scratch[j - 1 - m] += v * kernel_[static_cast<size_t>(m)];
            }
            q = qw::pitch::wrapBack(q2 - halfStep, size);
        }
    }

    EnumInPin pinExponent_;
    BoolInPin pinAntiAlias_;
    AudioInPin pinSignal_;
    AudioInPin pinPitch_;
    BoolInPin pinLatency_;
    AudioOutPin pinOutput_;

    int n_ = 1024;
    int c_ = 0; // input position, modulo 4N
    int s_ = 0; // the work frame fading in
    bool antiAlias_ = false;
    float cachedPitch_ = 0.0f;
    float ratio_ = 1.0f;
    qw::effect::Tail tail_;

    std::array<float, qw::pitch::kSincTaps> kernel_{};
    std::array<float, 4 * kMaxFrame> ring_{};
    std::array<float, 3 * kMaxFrame / 2 + 2 * kGuard> scratch_{};
    std::array<double, 3 * kMaxFrame / 2 + 2 * kGuard> wideScratch_{}; // a frame's resampling redone in double
    std::array<std::array<float, kMaxFrame>, 2> work_{};
    std::array<float, kMaxFrame> window_{};
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_PitchShifter", &gmpi::Register<QW_PitchShifter>::withId);
}
