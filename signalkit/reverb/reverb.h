// The reverbs: eight feedback delay lines of 4096 samples with one shared
// write index, their lengths a fixed pseudo-random pattern between two
// bounds (the same in every instance for the same bounds and rate), and a
// negative cross-feed of both outputs into every line, so that the feedback
// is a reflection: lossless at gain 1 (freeze). The filtered form runs the
// cross-feed through a damping low-pass and a high-pass.
//
// Sums that input near the float limit would overflow saturate there, so
// every output and every line stays finite; infinite input counts as NaN and
// is cleared from the lines as before.
//
// The lines hold at most 85 ms only up to 48 kHz; above that rate the
// module stays silent. Once both inputs are static it settles: after the
// 4096th consecutive sample on which both outputs are quiet, they stop
// streaming and zeros follow.
#pragma once

#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "qw_rnd.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qw
{
namespace reverb
{
constexpr int kLines = 8;
constexpr int kLength = 4096;
constexpr int kMask = kLength - 1;
constexpr float kQuiet = 1e-4f;
constexpr int kSettled = 4096; // consecutive quiet samples

using qw::finite::infinityAsNaN;
using qw::finite::orZero;
using qw::finite::saturated;

// The eight line lengths in samples for two bounds in ms (either order,
// clamped to [1, 85]) at rate fs.
inline void lengths(float boundA, float boundB, float fs, uint32_t (&out)[kLines])
{
    const float p = std::clamp(orZero(boundA), 1.0f, 85.0f), q = std::clamp(orZero(boundB), 1.0f, 85.0f);
    const float lo = std::min(p, q), span = std::max(p, q) - lo;
    qw::rnd::RndIterator pattern(1991);
    for (auto& L : out)
    {
        const float samples = (pattern.nextUnit() * span + lo) * fs * 0.001f;
        L = static_cast<uint32_t>(std::clamp(samples, 0.0f, static_cast<float>(kMask)));
    }
}

// Feedback gain of a decay value at rate fs.
inline float gain(float decay, float fs)
{
    const float t = std::max(0.0f, orZero(decay)) * 4.0f + 1.0f;
    return std::pow(1.0f - 1.0f / t, 48000.0f / fs);
}

// A one-pole coefficient for a frequency in Hz at rate fs, at most 1.
inline float pole(float hz, float fs)
{
    return std::min(1.0f, std::exp(-6.2831855f * orZero(hz) / fs));
}

// 0 for what is not finite or below 1e-30 in size; else v.
inline float flushed(float v)
{
    const float a = std::fabs(v);
    return a >= 1e-30f && a <= 3.4028235e38f ? v : 0.0f;
}

enum class Feed
{
    Stereo,
    Mono,
    Settling
};

// Pins 0-6 shared, the filter pins of the filtered form, then the outputs.
template <bool Filtered> class Module : public MpBase2
{
public:
    Module()
    {
        initializePin(pinUnused_);
        initializePin(pinLeft_);
        initializePin(pinRight_);
        initializePin(pinFreeze_);
        initializePin(pinBoundA_);
        initializePin(pinBoundB_);
        initializePin(pinDecay_);
        if constexpr (Filtered)
        {
            initializePin(pinDamping_);
            initializePin(pinHighPass_);
        }
        initializePin(pinLeftOut_);
        initializePin(pinRightOut_);
        setSubProcess(&Module::subProcessSilence);
    }

    int32_t open() override
    {
        rate_ = getSampleRate();
        enabled_ = rate_ > 0.0f && rate_ <= 48000.0f;
        return MpBase2::open();
    }

    void onGraphStart() override
    {
        setOutputsStreaming(false);
        setSubProcess(&Module::subProcessSilence);
    }

    void onSetPins() override
    {
        if (!enabled_)
            return;
        if (pinLeft_.isUpdated() || pinRight_.isUpdated())
        {
            const bool left = pinLeft_.isStreaming(), right = pinRight_.isStreaming();
            if (left || right)
            {
                if (left && right)
                    setSubProcess(&Module::subProcessStereoIn);
                else
                    setSubProcess(&Module::subProcessMonoIn);
                setOutputsStreaming(true);
                quiet_ = 0;
            }
            else if (saveSubProcess_ != static_cast<SubProcess_ptr>(&Module::subProcessSilence))
                setSubProcess(&Module::subProcessSettling);
        }
        if (pinBoundA_.isUpdated() || pinBoundB_.isUpdated())
            lengths(pinBoundA_, pinBoundB_, rate_, length_);
        if (pinDecay_.isUpdated())
            active_ = gain_ = gain(pinDecay_, rate_);
        if constexpr (Filtered)
        {
            if (pinDamping_.isUpdated())
                a_ = pole(pinDamping_, rate_);
            if (pinHighPass_.isUpdated())
                b_ = pole(pinHighPass_, rate_);
        }
        if (pinFreeze_.isUpdated())
            active_ = pinFreeze_ ? 1.0f : gain_;
    }

    void subProcessStereoIn(int n) { run<Feed::Stereo>(n); }
    void subProcessMonoIn(int n) { run<Feed::Mono>(n); }
    void subProcessSettling(int n) { run<Feed::Settling>(n); }
    void subProcessSilence(int n)
    {
        std::fill_n(pinLeftOut_.getBuffer() + getBlockPosition(), n, 0.0f);
        std::fill_n(pinRightOut_.getBuffer() + getBlockPosition(), n, 0.0f);
    }

private:
    void setOutputsStreaming(bool on, int position = -1)
    {
        pinLeftOut_.setStreaming(on, position);
        pinRightOut_.setStreaming(on, position);
    }

    template <Feed F> void run(int n)
    {
        const int start = getBlockPosition();
        const float* inL = pinLeft_.getBuffer() + start;
        const float* inR = pinRight_.getBuffer() + start;
        const float* mono = pinLeft_.isStreaming() ? inL : inR;
        float* outL = pinLeftOut_.getBuffer() + start;
        float* outR = pinRightOut_.getBuffer() + start;
        const float g = active_;
        [[maybe_unused]] const float a = a_, b = b_;
        [[maybe_unused]] float lp = lp_, hs = hs_;
        uint32_t L[kLines];
        std::copy(std::begin(length_), std::end(length_), L);
        const uint32_t first = write_;
        uint32_t w = first;
        int quiet = quiet_;
        int ended = -1;
        for (int i = 0; i < n; ++i)
        {
            float y[kLines];
            for (int k = 0; k < kLines; ++k)
                y[k] = lines_[k][(w - L[k]) & kMask];
            const float o1 = 0.25f * saturated(y[0] + y[1] + y[2] + y[3]);
            const float o2 = 0.25f * saturated(y[4] + y[5] + y[6] + y[7]);
            outL[i] = o1;
            outR[i] = o2;
            const float f = -(o1 + o2) * g;
            float e1, e2;
            if constexpr (Filtered)
            {
                const float v = saturated(F == Feed::Mono ? f + infinityAsNaN(mono[i]) : f);
                lp = saturated(saturated(lp - v) * a + v);
                hs = saturated(saturated(hs - lp) * b + lp);
                const float e = lp - hs;
                e1 = F == Feed::Stereo ? e + infinityAsNaN(inL[i]) : e;
                e2 = F == Feed::Stereo ? e + infinityAsNaN(inR[i]) : e;
            }
            else
            {
                e1 = F == Feed::Stereo ? f + infinityAsNaN(inL[i]) : F == Feed::Mono ? f + infinityAsNaN(mono[i]) : f;
                e2 = F == Feed::Stereo ? f + infinityAsNaN(inR[i]) : e1;
            }
            for (int k = 0; k < 4; ++k)
                lines_[k][w] = saturated(y[k] * g + e1);
            for (int k = 4; k < kLines; ++k)
                lines_[k][w] = saturated(y[k] * g + e2);
            w = (w + 1) & kMask;
            if constexpr (F == Feed::Settling)
            {
                quiet = std::fabs(o1) < kQuiet && std::fabs(o2) < kQuiet ? quiet + 1 : 0;
                if (quiet >= kSettled)
                {
                    ended = i + 1;
                    break;
                }
            }
        }
        write_ = w;
        quiet_ = quiet;
        if constexpr (Filtered)
        {
            lp_ = lp;
            hs_ = hs;
        }

        // Nothing non-finite stays in the lines or the filters past this span,
        // and nothing decays into subnormal numbers for ever.
        const int done = ended >= 0 ? ended : n;
        for (auto& line : lines_)
            for (int i = 0; i < done; ++i)
            {
                float& v = line[(first + static_cast<uint32_t>(i)) & kMask];
                v = flushed(v);
            }
        if constexpr (Filtered)
        {
            lp_ = flushed(lp_);
            hs_ = flushed(hs_);
        }

        if (ended >= 0)
        {
            std::fill(outL + ended, outL + n, 0.0f);
            std::fill(outR + ended, outR + n, 0.0f);
            setOutputsStreaming(false, start + ended);
            setSubProcess(&Module::subProcessSilence);
            lp_ = hs_ = 0.0f;
        }
    }

    IntInPin pinUnused_;
    AudioInPin pinLeft_;
    AudioInPin pinRight_;
    BoolInPin pinFreeze_;
    FloatInPin pinBoundA_;
    FloatInPin pinBoundB_;
    FloatInPin pinDecay_;
    FloatInPin pinDamping_;  // filtered form only
    FloatInPin pinHighPass_; // filtered form only
    AudioOutPin pinLeftOut_;
    AudioOutPin pinRightOut_;

    float rate_ = 0.0f;
    bool enabled_ = false;
    uint32_t write_ = 0;
    int quiet_ = 0;
    float lp_ = 0.0f, hs_ = 0.0f;
    uint32_t length_[kLines] = {};
    float gain_ = 0.0f, active_ = 0.0f;
    float a_ = 0.0f, b_ = 0.0f;
    float lines_[kLines][kLength] = {};
};
} // namespace reverb
} // namespace qw
