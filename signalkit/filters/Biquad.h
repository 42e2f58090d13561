// Biquad filters: a cascade of 1 to 16 identical second-order sections in
// direct form I (low-pass, high-pass, band-pass or band-reject), the cutoff an
// audio signal that may move every sample. The coefficients are recomputed
// only when the cutoff changes. Once the signal input has stopped streaming
// and the output has stayed within 1e-5 of zero for 1000 samples, the filter
// writes zeros and reports its output as not streaming, so the host can let
// it sleep.
//
// One template serves all four modules: mono or stereo (one coefficient set,
// one history per channel), with or without the reset input in front. Each
// filter type has one routine per section count, so the history of every
// section lives in locals for a whole span. While the cutoff holds, the
// sections run as a wave front (section k works on sample n - k), which lets
// the processor overlap their recurrences; every section still computes the
// same numbers in the same order, so the samples do not change.
//
// Input near the float limit can overflow a section's float sum (a gain above
// 1, or terms of opposite sign near the limit). A span that leaves the history
// not finite runs again from the same history with sections that work out a
// sample whose float sum is not finite in double, saturated: the samples
// before it come out the same, and the history stays finite.
#pragma once

#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "qw_fm.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <type_traits>
#include <utility>

namespace qw
{
namespace biquad
{
constexpr int kMaxSections = 16;
constexpr int kPoints = kMaxSections + 1; // point 0 is the input, point k the output of section k
constexpr int kQuietSamples = 1000;
constexpr float kQuietLevel = 1e-5f;

// A section is stable only while its poles lie strictly inside the unit
// circle: |cos w| < 1 and alpha > 0, with sine and cosine of one phase. At
// 0 Hz and fs/2 the sine is 0, and close to them the cosine rounds to +-1 (a
// pole on the circle: the rounding error of a passed signal ramps for ever);
// a cosine held off +-1 on its own no longer matches the sine, which puts a
// resonance where none was asked for. So the phase stays at least the angle
// whose cosine is the float just below 1 away from both ends (2.64 Hz at
// 48 kHz, the same fraction of the rate at every rate): there the pair
// matches the design to a thousandth of a decibel.
constexpr float kMinPhase = 5.49509459e-05f; // acos(1 - 2^-24) / 2 pi, in turns
constexpr float kMaxCos = 0.99999994f;       // the float just below 1
// The largest Q: keeps alpha above the float resolution of 1 at the lowest
// phase, so a2 = 1 - alpha stays below 1. An infinite Q counts as this one.
constexpr float kMaxQ = 1000.0f;

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

// Damping 1/(2Q) of a Q pin value: below 0.01 (or not a number) as 0.01,
// above kMaxQ (or infinite) as kMaxQ.
inline float dampingOf(float q)
{
    return q >= 0.01f ? 1.0f / (2.0f * std::min(q, kMaxQ)) : 50.0f;
}

// Sine and cosine of the phase x (turns, nominally in [0, 0.5]) kept inside
// the stable range as a matching pair. Filters of other shapes (peaking
// equalisers) design from the same pair.
inline void sinCosInside(float x, float& s, float& c)
{
    x = x > kMinPhase ? std::min(x, 0.5f - kMinPhase) : kMinPhase; // not a number: the low end
    qw::fm::sinCosTurns(x, s, c);
    c = std::clamp(c, -kMaxCos, kMaxCos);
}

// Coefficients for the phase x = fc / fs in [0, 0.5] and damping 1/(2Q).
template <int T> inline void design(Coefficients& k, float x, float damping)
{
    float s, c;
    sinCosInside(x, s, c);
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

// One section on one sample: x1, x2 the last two inputs, y1, y2 the last two
// outputs, updated. The sum in this order, then the scale; Guarded: a sum
// that is not finite in float is worked out in double and saturated.
template <bool Guarded = false>
inline float section(const Coefficients& k, float& x1, float& x2, float& y1, float& y2, float v)
{
    float y = ((((k.b1 * x1 + k.b0 * v) + k.b2 * x2) - k.a1 * y1) - k.a2 * y2) * k.invA0;
    y = qw::finite::finiteOrIf<Guarded>(y, [&] {
        return ((((static_cast<double>(k.b1) * x1 + static_cast<double>(k.b0) * v) + static_cast<double>(k.b2) * x2) -
                 static_cast<double>(k.a1) * y1) -
                static_cast<double>(k.a2) * y2) *
               k.invA0;
    });
    x2 = x1;
    x1 = v;
    y2 = y1;
    y1 = y;
    return y;
}

// The history of one channel: the last two values of each point.
struct History
{
    float h1[kPoints] = {};
    float h2[kPoints] = {};

    void clear() { *this = History(); }
    bool finite(int sections) const
    {
        float sum = 0.0f;
        for (int p = 0; p <= sections; ++p)
            sum += h1[p] * 0.0f + h2[p] * 0.0f; // 0 for finite values, NaN otherwise
        return sum == 0.0f;
    }
};

// S sections over n samples in order: each sample through every section,
// the coefficients recomputed wherever the cutoff changes (designFor(i)
// answers the coefficients of sample i). The history lives in locals.
template <int S, bool Guarded = false, class DesignFor>
inline void inOrder(History& h, const float* in, float* out, int n, DesignFor designFor)
{
    float x1[S], x2[S], y1[S], y2[S];
    for (int k = 0; k < S; ++k)
    {
        x1[k] = h.h1[k], x2[k] = h.h2[k];
        y1[k] = h.h1[k + 1], y2[k] = h.h2[k + 1];
    }
    for (int i = 0; i < n; ++i)
    {
        const Coefficients& c = designFor(i);
        float v = in[i];
#pragma GCC unroll 16
        for (int k = 0; k < S; ++k)
            v = section<Guarded>(c, x1[k], x2[k], y1[k], y2[k], v);
        out[i] = v;
    }
    for (int k = 0; k < S; ++k)
        h.h1[k] = x1[k], h.h2[k] = x2[k];
    h.h1[S] = y1[S - 1], h.h2[S] = y2[S - 1];
}

// S sections over n samples with fixed coefficients, as a wave front: at step
// t section k works on sample t - k, on the output section k - 1 made at step
// t - 1. Each section keeps its own copy of its input history (the output
// history of the section before), so every section sees exactly the values it
// would in order, and the history ends as it would in order.
template <int S, bool Guarded = false>
inline void waveFront(const Coefficients& c, History& h, const float* in, float* out, int n)
{
    if constexpr (S == 1)
    {
        inOrder<1, Guarded>(h, in, out, n, [&c](int) -> const Coefficients& { return c; });
        return;
    }
    else
    {
        float x1[S], x2[S], y1[S], y2[S], pipe[S];
        for (int k = 0; k < S; ++k)
        {
            x1[k] = h.h1[k], x2[k] = h.h2[k];
            y1[k] = h.h1[k + 1], y2[k] = h.h2[k + 1];
            pipe[k] = 0.0f;
        }
        // One step, sections from the last down, so each reads the value its
        // predecessor made at the step before. Only sections with a sample in
        // [0, n) take part while the front fills and drains.
        auto edgeStep = [&](int t) {
            for (int k = S - 1; k >= 0; --k)
            {
                const int i = t - k;
                if (i < 0 || i >= n)
                    continue;
                const float y = section<Guarded>(c, x1[k], x2[k], y1[k], y2[k], k == 0 ? in[i] : pipe[k - 1]);
                pipe[k] = y;
                if (k == S - 1)
                    out[i] = y;
            }
        };
        const int full = n - (S - 1); // steps with every section at work: t in [S - 1, n)
        int t = 0;
        for (; t < std::min(S - 1, n + S - 1); ++t)
            edgeStep(t);
        for (; t < S - 1 + std::max(full, 0); ++t)
        {
#pragma GCC unroll 16
            for (int k = S - 1; k > 0; --k)
                pipe[k] = section<Guarded>(c, x1[k], x2[k], y1[k], y2[k], pipe[k - 1]);
            pipe[0] = section<Guarded>(c, x1[0], x2[0], y1[0], y2[0], in[t]);
            out[t - (S - 1)] = pipe[S - 1];
        }
        for (; t < n + S - 1; ++t)
            edgeStep(t);
        for (int k = 0; k < S; ++k)
            h.h1[k] = x1[k], h.h2[k] = x2[k];
        h.h1[S] = y1[S - 1], h.h2[S] = y2[S - 1];
    }
}

// run(std::false_type) runs a span with the float sections; where that left
// the history not finite, run(std::true_type) runs it again from the same
// history with the guarded ones.
template <int S, class Run> inline void guarded(History& h, Run run)
{
    const History saved = h;
    run(std::false_type());
    if (__builtin_expect(h.finite(S), 1))
        return;
    h = saved;
    run(std::true_type());
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
            if (!silent && saveSubProcess_ != static_cast<SubProcess_ptr>(&MpBase2::subProcessNothing))
                setSubProcess(filterRoutine()); // the same filter, other sections; the history stays
        }
        if (pinQ_.isUpdated())
        {
            damping_ = biquad::dampingOf(pinQ_);
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
            setSubProcess(filterRoutine());
            clearHistory();
        }
    }

    // The filter routines, one per type and section count.
    template <int S> void subProcessLP(int sampleFrames) { filter<biquad::LowPass, S>(sampleFrames); }
    template <int S> void subProcessHP(int sampleFrames) { filter<biquad::HighPass, S>(sampleFrames); }
    template <int S> void subProcessBP(int sampleFrames) { filter<biquad::BandPass, S>(sampleFrames); }
    template <int S> void subProcessBR(int sampleFrames) { filter<biquad::BandReject, S>(sampleFrames); }

    void subProcessSilence(int sampleFrames)
    {
        for (auto& pin : pinOutput_)
            std::fill_n(pin.getBuffer() + blockPosition_, sampleFrames, 0.0f);
    }

private:
    using Routines = std::array<SubProcess_ptr, biquad::kMaxSections>;

    template <int T, size_t... I> static constexpr Routines routinesOf(std::index_sequence<I...>)
    {
        if constexpr (T == biquad::LowPass)
            return {{static_cast<SubProcess_ptr>(&BiquadFilter::subProcessLP<static_cast<int>(I) + 1>)...}};
        else if constexpr (T == biquad::HighPass)
            return {{static_cast<SubProcess_ptr>(&BiquadFilter::subProcessHP<static_cast<int>(I) + 1>)...}};
        else if constexpr (T == biquad::BandPass)
            return {{static_cast<SubProcess_ptr>(&BiquadFilter::subProcessBP<static_cast<int>(I) + 1>)...}};
        else
            return {{static_cast<SubProcess_ptr>(&BiquadFilter::subProcessBR<static_cast<int>(I) + 1>)...}};
    }

    // The routine of the current type and section count.
    SubProcess_ptr filterRoutine() const
    {
        static const Routines table[4] = {
            routinesOf<biquad::LowPass>(std::make_index_sequence<biquad::kMaxSections>()),
            routinesOf<biquad::HighPass>(std::make_index_sequence<biquad::kMaxSections>()),
            routinesOf<biquad::BandPass>(std::make_index_sequence<biquad::kMaxSections>()),
            routinesOf<biquad::BandReject>(std::make_index_sequence<biquad::kMaxSections>()),
        };
        const int type = pinType_.getValue();
        const int t = type >= biquad::LowPass && type <= biquad::BandPass ? type : biquad::BandReject;
        return table[t][static_cast<size_t>(sections_ - 1)];
    }

    template <int T, int S> void filter(const int n)
    {
        using namespace biquad;
        const int start = blockPosition_;
        const float* in[Channels];
        float* out[Channels];
        for (int c = 0; c < Channels; ++c)
        {
            in[c] = pinSignal_[c].getBuffer() + start;
            out[c] = pinOutput_[c].getBuffer() + start;
        }
        const float* cutoff = pinCutoff_.getBuffer() + start;
        int quiet = quiet_;
        int ended = -1; // the sample that ended the tail

        if (pinCutoff_.isStreaming())
        {
            // The coefficients follow the cutoff sample by sample, in locals;
            // cachedCutoff_ and k_ are not kept up to date on this way.
            const float half = halfRate_, inv = invSampleRate_, damping = damping_;
            for (int c = 0; c < Channels; ++c)
            {
                float cached = -1.0f;
                Coefficients k;
                const auto designFor = [&](int i) -> const Coefficients& {
                    const float fc = clampCutoff(cutoff[i], half);
                    if (fc != cached)
                    {
                        design<T>(k, fc * inv, damping);
                        cached = fc;
                    }
                    return k;
                };
                guarded<S>(history_[c], [&](auto guard) {
                    inOrder<S, decltype(guard)::value>(history_[c], in[c], out[c], n, designFor);
                });
            }
            cachedCutoff_ = -1.0f;
            if (quiet != 0)
                ended = countQuiet(out, 0, n, quiet);
        }
        else
        {
            // Stretches over which the cutoff input holds one value run with
            // fixed coefficients as a wave front.
            int i = 0;
            while (i < n && ended < 0)
            {
                const float raw = cutoff[i];
                int j = i + 1;
                while (j < n && cutoff[j] == raw)
                    ++j;
                const float fc = clampCutoff(raw, halfRate_);
                if (fc != cachedCutoff_)
                {
                    design<T>(k_, fc * invSampleRate_, damping_);
                    cachedCutoff_ = fc;
                }
                for (int c = 0; c < Channels; ++c)
                    guarded<S>(history_[c], [&](auto guard) {
                        waveFront<S, decltype(guard)::value>(k_, history_[c], in[c] + i, out[c] + i, j - i);
                    });
                if (quiet != 0)
                    ended = countQuiet(out, i, j, quiet);
                i = j;
            }
        }
        quiet_ = quiet;

        // A non-finite input or an overflow leaves nothing behind past this span.
        for (auto& h : history_)
            if (!h.finite(S))
                h.clear();

        if (ended >= 0)
        {
            // Quiet long enough: not streaming from the next sample on, zeros after.
            for (auto& pin : pinOutput_)
                pin.setStreaming(false, start + ended + 1);
            setSubProcess(&BiquadFilter::subProcessSilence);
            for (int c = 0; c < Channels; ++c)
                std::fill(out[c] + ended + 1, out[c] + n, 0.0f);
        }
    }

    // The tail's count over samples [from, to) of the span: 1000 quiet
    // samples in a row (every channel within 1e-5 of 0) end it. Answers the
    // sample that ends it, or -1.
    static int countQuiet(float* const* out, int from, int to, int& quiet)
    {
        for (int i = from; i < to; ++i)
        {
            bool loud = false;
            for (int c = 0; c < Channels; ++c)
                loud |= !(std::fabs(out[c][i]) <= biquad::kQuietLevel);
            if (loud)
                quiet = biquad::kQuietSamples;
            else if (--quiet == 0)
                return i;
        }
        return -1;
    }

    void setOutputsStreaming()
    {
        for (auto& pin : pinOutput_)
            pin.setStreaming(true);
    }

    void clearHistory()
    {
        for (auto& h : history_)
            h.clear();
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
    biquad::History history_[Channels];
    float cachedCutoff_ = 0.0f;
    biquad::Coefficients k_;
    int quiet_ = 0; // 0: no tail; else samples still to stay quiet
};
} // namespace qw
