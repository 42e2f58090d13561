// Peaking equalisers: output = input + s x bandpass(input), s = +1 for a boost
// and -1 for a cut, with the band-pass's peak gain G - 1 (boost) or 1 - G
// (cut), so that the gain at the centre frequency is G = 10^(dB/20). The width
// of the band follows the gain. The centre frequency is an audio signal (10 Hz
// per unit) and the coefficients are recomputed only when it changes.
//
// A static signal input counts as silence: only the ringing of earlier input
// is heard. After the 1000th consecutive output sample below 1e-5 (stereo: the
// sum of both) the output is reported not streaming from the next sample on,
// zeros follow and the history is cleared.
//
// Input near the float limit can overflow the band-pass's float sum: a span
// that leaves the history not finite runs again from the same history with a
// band-pass that works out such a sample in double, saturated (the samples
// before it come out the same). The output's sum saturates too.
//
// One template serves all four modules: mono or stereo (one coefficient set,
// one history per channel), with or without the reset input in front.
#pragma once

#include "Biquad.h"
#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "qw_fm.h"

#include <algorithm>
#include <cmath>

namespace qw
{
namespace peak
{
constexpr int kQuietSamples = 1000;
constexpr float kQuietLevel = 1e-5f;
constexpr float kMaxDb = 120.0f;
constexpr float kMinWidth = 499.99997f; // 1 / (2 x 0.001): the band-pass's peak gain at least 0.001
// alpha at least the float step below 1, so that a2 = 1 - alpha stays below 1
// (poles inside the unit circle) at the narrowest band and the lowest phase.
constexpr float kMinAlpha = 5.9604645e-08f;

struct Gain
{
    float k = kMinWidth; // width factor: the band-pass's peak gain is 1 / (2k)
    float s = 1.0f;      // +1 boost, -1 cut
};

// Width and sign for a gain in dB: not a number counts as 0 dB, the gain is
// at most +120 dB (+infinity too).
inline Gain gainOf(float dB)
{
    dB = dB == dB ? std::min(dB, kMaxDb) : 0.0f;
    const float G = qw::fm::exp2Acc(dB * 0.1660964f);
    Gain r;
    if (G >= 1.0f)
    {
        const float g = G - 1.0f;
        r.k = g < 0.001f ? kMinWidth : 1.0f / (2.0f * g);
        r.s = 1.0f;
    }
    else
    {
        r.k = 0.5f / (1.0f - G);
        r.s = -1.0f;
    }
    return r;
}

struct Coefficients
{
    float invA0 = 0.0f, a1 = 0.0f, a2 = 0.0f, b0 = 0.0f;
};

// The band-pass for the phase x = fc / fs (turns) and width factor k, from
// the biquads' matching sine and cosine pair.
inline void design(Coefficients& c, float x, float k)
{
    float s, cw;
    qw::biquad::sinCosInside(x, s, cw);
    const float alpha = std::max(s * k, kMinAlpha);
    c.invA0 = 1.0f / (1.0f + alpha);
    c.a1 = -2.0f * cw;
    c.a2 = 1.0f - alpha;
    c.b0 = s / 2.0f;
}

// The coefficients for a centre sample f, designed again only when the
// clamped centre differs from the cached one.
inline void follow(Coefficients& c, float& cached, float f, float halfRate, float invRate, float k)
{
    const float fc = qw::biquad::clampCutoff(f, halfRate);
    if (fc != cached)
    {
        design(c, fc * invRate, k);
        cached = fc;
    }
}

struct History
{
    float x1 = 0.0f, x2 = 0.0f, y1 = 0.0f, y2 = 0.0f;
    bool finite() const { return (x1 * 0.0f + x2 * 0.0f + y1 * 0.0f + y2 * 0.0f) == 0.0f; }
};

// One sample of the band-pass; answers it and updates the history. Guarded:
// a sum that is not finite in float is worked out in double and saturated.
template <bool Guarded = false> inline float bandPass(const Coefficients& c, History& h, float x)
{
    float bp = (((x - h.x2) * c.b0 - h.y1 * c.a1) - h.y2 * c.a2) * c.invA0;
    bp = qw::finite::finiteOrIf<Guarded>(bp, [c, x, x2 = h.x2, y1 = h.y1, y2 = h.y2] {
        return (((static_cast<double>(x) - x2) * c.b0 - static_cast<double>(y1) * c.a1) -
                static_cast<double>(y2) * c.a2) *
               c.invA0;
    });
    h.x2 = h.x1;
    h.x1 = x;
    h.y2 = h.y1;
    h.y1 = bp;
    return bp;
}
} // namespace peak

template <int Channels, bool HasReset> class PeakGainFilter : public MpBase2
{
public:
    PeakGainFilter()
    {
        if constexpr (HasReset)
            initializePin(pinReset_);
        for (auto& pin : pinSignal_)
            initializePin(pin);
        initializePin(pinFrequency_);
        initializePin(pinGain_);
        for (auto& pin : pinOutput_)
            initializePin(pin);
        setSubProcess(&PeakGainFilter::subProcessSilence);
    }

    int32_t open() override
    {
        const float rate = getSampleRate();
        invSampleRate_ = rate > 0.0f ? 1.0f / rate : 0.0f;
        halfRate_ = rate > 0.0f ? rate / 2.0f : 0.0f;
        cached_ = -1.0f;
        return MpBase2::open();
    }

    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        for (auto& pin : pinOutput_)
            pin.setStreaming(false);
    }

    void onSetPins() override
    {
        if (pinGain_.isUpdated())
        {
            gain_ = peak::gainOf(pinGain_);
            cached_ = -1.0f;
        }
        bool updated = false, streaming = false;
        for (auto& pin : pinSignal_)
        {
            updated |= pin.isUpdated();
            streaming |= pin.isStreaming();
        }
        if (updated && streaming)
        {
            for (auto& pin : pinOutput_)
                pin.setStreaming(true);
            setSubProcess(&PeakGainFilter::subProcess);
            quiet_ = 0;
        }
        if constexpr (HasReset)
        {
            if (pinReset_.isUpdated() && pinReset_.getValue() == 1.0f)
                clearHistory();
        }
    }

    void subProcess(int n)
    {
        const int start = blockPosition_;
        const float* freq = pinFrequency_.getBuffer() + start;
        float* out[Channels];
        for (int c = 0; c < Channels; ++c)
            out[c] = pinOutput_[c].getBuffer() + start;
        bool streaming = false;
        for (auto& pin : pinSignal_)
            streaming |= pin.isStreaming();

        int ended = -1;
        if (streaming)
        {
            for (int c = 0; c < Channels; ++c)
            {
                const float* in = pinSignal_[c].getBuffer() + start;
                peak::History h = history_[c];
                float cached = cached_;
                peak::Coefficients k = k_;
                const float s = gain_.s, width = gain_.k, half = halfRate_, inv = invSampleRate_;
                const auto run = [&](auto guard) {
                    h = history_[c], cached = cached_, k = k_;
                    for (int i = 0; i < n; ++i)
                    {
                        peak::follow(k, cached, freq[i], half, inv, width);
                        const float x = in[i];
                        out[c][i] = qw::finite::saturated(s * peak::bandPass<decltype(guard)::value>(k, h, x) + x);
                    }
                };
                run(std::false_type());
                if (!h.finite())
                    run(std::true_type());
                history_[c] = h;
                if (c == Channels - 1)
                    cached_ = cached, k_ = k;
            }
        }
        else
        {
            // Draining: the input counts as zero; the quiet count runs per sample.
            int quiet = quiet_;
            for (int i = 0; i < n && ended < 0; ++i)
            {
                peak::follow(k_, cached_, freq[i], halfRate_, invSampleRate_, gain_.k);
                float sum = 0.0f;
                for (int c = 0; c < Channels; ++c)
                {
                    const float y = gain_.s * peak::bandPass<true>(k_, history_[c], 0.0f);
                    out[c][i] = y;
                    sum += std::fabs(y);
                }
                quiet = sum < peak::kQuietLevel ? quiet + 1 : 0;
                if (quiet >= peak::kQuietSamples)
                    ended = i;
            }
            quiet_ = quiet;
        }

        // A non-finite input or an overflow leaves nothing behind past this span.
        for (auto& h : history_)
            if (!h.finite())
                h = peak::History();

        if (ended >= 0)
        {
            for (auto& pin : pinOutput_)
                pin.setStreaming(false, start + ended + 1);
            for (int c = 0; c < Channels; ++c)
                std::fill(out[c] + ended + 1, out[c] + n, 0.0f);
            clearHistory();
            setSubProcess(&PeakGainFilter::subProcessSilence);
        }
    }

    void subProcessSilence(int n)
    {
        for (auto& pin : pinOutput_)
            std::fill_n(pin.getBuffer() + blockPosition_, n, 0.0f);
    }

private:
    void clearHistory()
    {
        for (auto& h : history_)
            h = peak::History();
    }

    FloatInPin pinReset_; // only a pin when HasReset
    AudioInPin pinSignal_[Channels];
    AudioInPin pinFrequency_;
    FloatInPin pinGain_;
    AudioOutPin pinOutput_[Channels];

    float invSampleRate_ = 0.0f;
    float halfRate_ = 0.0f;
    peak::Gain gain_;
    peak::History history_[Channels];
    float cached_ = -1.0f;
    peak::Coefficients k_;
    int quiet_ = 0;
};
} // namespace qw
