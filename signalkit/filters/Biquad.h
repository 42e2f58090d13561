// Biquad filters: a cascade of 1 to 16 identical second-order sections in
// direct form I (low-pass, high-pass, band-pass or band-reject), the cutoff an
// audio signal that may move every sample. The coefficients are recomputed
// only when the cutoff changes. Once the signal input has stopped streaming
// and the output has stayed within 1e-5 of zero for 1000 samples, the filter
// writes zeros and reports its output as not streaming, so the host can let
// it sleep.
//
// One template serves all four modules: mono or stereo (one coefficient set,
// one history per channel), with or without the reset input in front.
#pragma once

#include "mp_sdk_audio.h"
#include "qw_fm.h"

#include <algorithm>
#include <cmath>

namespace qw
{
namespace biquad
{
constexpr int kMaxSections = 16;
constexpr int kPoints = kMaxSections + 1; // point 0 is the input, point k the output of section k
constexpr int kQuietSamples = 1000;
constexpr float kQuietLevel = 1e-5f;

// Inputs and section outputs below kFloor in magnitude count as 0. Every
// non-zero coefficient is at least 2.9e-8 (see design), so no product, sum or
// result in a section is ever subnormal: the samples do not depend on whether
// the processor flushes subnormal numbers, and a decay never slows down in
// subnormal arithmetic.
constexpr float kFloor = 1e-20f;

// A section is stable only while |cos w| < 1 and alpha > 0. The fast cosine
// overshoots 1 by an ulp near 0 and the Nyquist frequency, and at exactly
// 0 and fs/2 the sine (so alpha) is 0; either leaves a pole on or outside the
// unit circle and the output grows without bound. Both are kept inside.
constexpr float kMaxCos = 0.99999994f; // the float just below 1
constexpr float kMinSin = 1e-4f;

enum Type
{
    LowPass = 0,
    HighPass = 1,
    BandPass = 2,
    BandReject = 3,
};

struct Coefficients
{
    float invA0 = 0.0f;
    float a1 = 0.0f;
    float a2 = 0.0f;
    float b0 = 0.0f;
    float b1 = 0.0f;
    float b2 = 0.0f;
};

// The cutoff in Hz for a cutoff sample (10 Hz per unit), kept in [0, fs/2];
// not a number counts as 0.
inline float clampCutoff(float value, float halfRate)
{
    const float fc = 10.0f * value;
    return fc > 0.0f ? std::min(halfRate, fc) : 0.0f;
}

// Coefficients for the phase x = fc / fs in [0, 0.5] and damping 1/(2Q).
// Non-zero coefficients are never below 2.9e-8 in magnitude: 1 - |c| and
// 1 - alpha are at least 2^-24, s at least 1e-4, a non-zero c at least
// 1.8e-7, and 1/a0 at least 1/51.
template <int T> inline void design(Coefficients& k, float x, float damping)
{
    float s, c;
    qw::fm::sinCosTurns(x, s, c);
    c = std::clamp(c, -kMaxCos, kMaxCos);
    s = std::max(s, kMinSin);
    const float alpha = s * damping;
    k.invA0 = 1.0f / (1.0f + alpha);
    k.a1 = -2.0f * c;
    k.a2 = 1.0f - alpha;
    if constexpr (T == LowPass)
    {
        k.b0 = k.b2 = (1.0f - c) / 2.0f;
        k.b1 = 1.0f - c;
    }
    else if constexpr (T == HighPass)
    {
        k.b0 = k.b2 = (1.0f + c) / 2.0f;
        k.b1 = -(1.0f + c);
    }
    else if constexpr (T == BandPass)
    {
        k.b0 = s / 2.0f; // peak gain Q
        k.b1 = 0.0f;
        k.b2 = -(s / 2.0f);
    }
    else
    {
        k.b0 = k.b2 = 1.0f;
        k.b1 = -2.0f * c;
    }
}

// A branch, not a select: predicted, it keeps the test off the chain of
// dependent operations from section to section (the empty volatile asm
// keeps the compiler from turning it into a select).
inline float floored(float x)
{
    if (__builtin_expect(std::fabs(x) < kFloor, 0))
    {
        asm volatile("");
        return 0.0f;
    }
    return x;
}

// One sample through sections 1..S; h1/h2 hold the last two values of each point.
inline float cascade(float b0, float b1, float b2, float a1, float a2, float invA0, float* h1, float* h2, int S,
                     float v)
{
    v = floored(v);
    for (int s = 1; s <= S; ++s)
    {
        const float y = ((((b1 * h1[s - 1] + b0 * v) + b2 * h2[s - 1]) - a1 * h1[s]) - a2 * h2[s]) * invA0;
        h2[s - 1] = h1[s - 1];
        h1[s - 1] = v;
        v = floored(y);
    }
    h2[S] = h1[S];
    h1[S] = v;
    return v;
}

inline float cascade(const Coefficients& k, float* h1, float* h2, int S, float v)
{
    return cascade(k.b0, k.b1, k.b2, k.a1, k.a2, k.invA0, h1, h2, S, v);
}

} // namespace biquad

template <int Channels, bool HasReset> class BiquadFilter : public MpBase2
{
public:
    BiquadFilter()
    {
        if constexpr (HasReset)
            initializePin(pinReset_);
        initializePin(pinType_);
        for (auto& pin : pinSignal_)
            initializePin(pin);
        initializePin(pinCutoff_);
        initializePin(pinQ_);
        initializePin(pinSections_);
        for (auto& pin : pinOutput_)
            initializePin(pin);
    }

    int32_t open() override
    {
        sampleRate_ = getSampleRate();
        invSampleRate_ = sampleRate_ > 0.0f ? 1.0f / sampleRate_ : 0.0f;
        halfRate_ = sampleRate_ > 0.0f ? sampleRate_ / 2.0f : 0.0f;
        cachedCutoff_ = -1.0f;
        return MpBase2::open();
    }

    void onSetPins() override
    {
        const bool silent = saveSubProcess_ == static_cast<SubProcess_ptr>(&BiquadFilter::subProcessSilence);
        const bool typeChanged = pinType_.isUpdated();
        bool wanted = false;
        if (typeChanged)
        {
            wanted = !silent;
            cachedCutoff_ = -1.0f;
        }
        if (pinSections_.isUpdated())
        {
            const int s = pinSections_;
            sections_ = s > 0 ? std::min(s, biquad::kMaxSections) : 1;
        }
        if (pinQ_.isUpdated())
        {
            const float q = pinQ_;
            damping_ = q >= 0.01f ? 1.0f / (2.0f * q) : 50.0f; // also for a Q that is not a number
            cachedCutoff_ = -1.0f;
        }
        bool signalUpdated = false;
        bool streaming = false;
        for (auto& pin : pinSignal_)
        {
            signalUpdated |= pin.isUpdated();
            streaming |= pin.isStreaming();
        }
        if (signalUpdated)
        {
            if (streaming)
            {
                wanted = true;
                quiet_ = 0;
            }
            else
                quiet_ = biquad::kQuietSamples;
            setOutputsStreaming();
        }
        // Silent on a static input, a new input value or a new filter type
        // brings the filter back: the output may no longer be zero. It settles
        // and falls silent again by the usual rule.
        if (silent && !streaming && (signalUpdated || typeChanged))
        {
            wanted = true;
            if (!signalUpdated)
            {
                quiet_ = biquad::kQuietSamples;
                setOutputsStreaming();
            }
        }
        if constexpr (HasReset)
        {
            if (pinReset_.isUpdated() && pinReset_.getValue() == 1.0f)
                clearHistory();
        }
        if (wanted)
        {
            switch (pinType_.getValue())
            {
            case biquad::LowPass:
                setSubProcess(&BiquadFilter::subProcessLP);
                break;
            case biquad::HighPass:
                setSubProcess(&BiquadFilter::subProcessHP);
                break;
            case biquad::BandPass:
                setSubProcess(&BiquadFilter::subProcessBP);
                break;
            default:
                setSubProcess(&BiquadFilter::subProcessBR);
                break;
            }
            clearHistory();
        }
    }

    void subProcessLP(int sampleFrames) { filter<biquad::LowPass>(sampleFrames); }
    void subProcessHP(int sampleFrames) { filter<biquad::HighPass>(sampleFrames); }
    void subProcessBP(int sampleFrames) { filter<biquad::BandPass>(sampleFrames); }
    void subProcessBR(int sampleFrames) { filter<biquad::BandReject>(sampleFrames); }

    void subProcessSilence(int sampleFrames)
    {
        for (auto& pin : pinOutput_)
            std::fill_n(pin.getBuffer() + blockPosition_, sampleFrames, 0.0f);
    }

private:
    // Where a span reads and writes, and local copies of the history.
    struct Span
    {
        const float* in[Channels];
        float* out[Channels];
        float h1[Channels][biquad::kPoints];
        float h2[Channels][biquad::kPoints];
    };

    template <int T> void filter(int sampleFrames)
    {
        if (quiet_ == 0)
            run<T, false>(sampleFrames);
        else
            run<T, true>(sampleFrames);
    }

    // The span's work on local copies of the state: the output buffers cannot
    // alias them, and while the cutoff holds the coefficients are constants of
    // the inner loop (held in registers).
    template <int T, bool Tail> void run(const int n)
    {
        using namespace biquad;
        const int start = blockPosition_;
        const int S = sections_;
        Span span;
        for (int c = 0; c < Channels; ++c)
        {
            span.in[c] = pinSignal_[c].getBuffer() + start;
            span.out[c] = pinOutput_[c].getBuffer() + start;
            for (int p = 0; p <= S; ++p)
            {
                span.h1[c][p] = h1_[c][p];
                span.h2[c][p] = h2_[c][p];
            }
        }
        const float* cutoff = pinCutoff_.getBuffer() + start;
        float cached = cachedCutoff_;
        int quiet = quiet_;
        int ended = -1; // the sample that ended the tail

        // Both ways check the cutoff at every sample: for a streaming cutoff
        // the coefficients are recomputed in line, for a static one the
        // filter runs on constant coefficients until the cutoff changes.
        int i = 0;
        if (pinCutoff_.isStreaming())
        {
            i = follow<T, Tail>(span, S, cutoff, n, quiet, ended);
            cached = -1.0f; // k_ was not kept up to date
        }
        while (i < n && ended < 0)
        {
            const float raw = cutoff[i];
            const float fc = clampCutoff(raw, halfRate_);
            if (fc != cached)
            {
                design<T>(k_, fc * invSampleRate_, damping_);
                cached = fc;
            }
            i = steady<Tail>(span, k_, S, cutoff, raw, i, n, quiet, ended);
        }

        for (int c = 0; c < Channels; ++c)
            for (int p = 0; p <= S; ++p)
            {
                h1_[c][p] = span.h1[c][p];
                h2_[c][p] = span.h2[c][p];
            }
        cachedCutoff_ = cached;
        quiet_ = quiet;

        if (ended >= 0)
        {
            // Quiet long enough: not streaming from the next sample on, zeros after.
            for (auto& pin : pinOutput_)
                pin.setStreaming(false, start + ended + 1);
            setSubProcess(&BiquadFilter::subProcessSilence);
            for (int c = 0; c < Channels; ++c)
                std::fill(span.out[c] + ended + 1, span.out[c] + n, 0.0f);
        }
    }

    // Filters samples 0..n-1 with the coefficients recomputed wherever the
    // cutoff changes; answers the first sample not filtered. The coefficients
    // live in plain locals here (in registers): they are designed afresh at
    // the first sample, and k_ is not updated. The design is a pure function
    // of the cutoff, so neither changes a number.
    template <int T, bool Tail> int follow(Span& span, int S, const float* cutoff, int n, int& quiet, int& ended) const
    {
        using namespace biquad;
        float cached = -1.0f;
        const float half = halfRate_;
        const float inv = invSampleRate_;
        const float damping = damping_;
        float b0 = 0.0f, b1 = 0.0f, b2 = 0.0f, a1 = 0.0f, a2 = 0.0f, invA0 = 0.0f;
        int i = 0;
        for (; i < n; ++i)
        {
            const float fc = clampCutoff(cutoff[i], half);
            if (fc != cached)
            {
                Coefficients k;
                design<T>(k, fc * inv, damping);
                b0 = k.b0, b1 = k.b1, b2 = k.b2, a1 = k.a1, a2 = k.a2, invA0 = k.invA0;
                cached = fc;
            }
            bool loud = false;
            for (int c = 0; c < Channels; ++c)
            {
                const float y = cascade(b0, b1, b2, a1, a2, invA0, span.h1[c], span.h2[c], S, span.in[c][i]);
                span.out[c][i] = y;
                if constexpr (Tail)
                    loud |= !(std::fabs(y) <= kQuietLevel);
            }
            if constexpr (Tail)
            {
                if (loud)
                    quiet = kQuietSamples;
                else if (--quiet == 0)
                {
                    ended = i++;
                    break;
                }
            }
        }
        return i;
    }

    // Filters from sample i (its coefficients are up to date) while the cutoff
    // input keeps the value `raw`; answers the first sample not filtered.
    // Sets `ended` to the sample that ends the tail.
    template <bool Tail>
    static int steady(Span& span, const biquad::Coefficients k, int S, const float* cutoff, float raw, int i, int stop,
                      int& quiet, int& ended)
    {
        using namespace biquad;
        do
        {
            bool loud = false;
            for (int c = 0; c < Channels; ++c)
            {
                const float y = cascade(k, span.h1[c], span.h2[c], S, span.in[c][i]);
                span.out[c][i] = y;
                if constexpr (Tail)
                    loud |= !(std::fabs(y) <= kQuietLevel);
            }
            if constexpr (Tail)
            {
                if (loud)
                    quiet = kQuietSamples;
                else if (--quiet == 0)
                {
                    ended = i;
                    return i + 1;
                }
            }
            ++i;
        } while (i < stop && cutoff[i] == raw);
        return i;
    }

    void setOutputsStreaming()
    {
        for (auto& pin : pinOutput_)
            pin.setStreaming(true);
    }

    void clearHistory()
    {
        for (int c = 0; c < Channels; ++c)
            for (int p = 0; p < biquad::kPoints; ++p)
                h1_[c][p] = h2_[c][p] = 0.0f;
    }

    FloatInPin pinReset_; // only a pin when HasReset
    EnumInPin pinType_;
    AudioInPin pinSignal_[Channels];
    AudioInPin pinCutoff_;
    FloatInPin pinQ_;
    IntInPin pinSections_;
    AudioOutPin pinOutput_[Channels];

    float sampleRate_ = 0.0f;
    float invSampleRate_ = 0.0f;
    float halfRate_ = 0.0f;
    float damping_ = 0.0f;
    int sections_ = 1;
    float h1_[Channels][biquad::kPoints] = {};
    float h2_[Channels][biquad::kPoints] = {};
    float cachedCutoff_ = 0.0f;
    biquad::Coefficients k_;
    int quiet_ = 0; // 0: no tail; else samples still to stay quiet
};
} // namespace qw
