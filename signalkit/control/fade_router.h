// The frame of the audio switches: every output is (1 - g) x its source at
// g = 0 plus g x its source at g = 1 (either source may be none). A change of
// the select pin switches hard (mode 0, and always the first time) or fades g
// by 0.01 per sample; at either end the module runs a steady routine that
// copies the source, and keeps each output's streaming state exact so that
// the host can let it sleep.
#pragma once

#include "control.h"

#include <algorithm>

namespace qw::control
{
template <int Inputs, int Outputs> class FadeRouter : public MpBase2
{
public:
    static constexpr int kNone = -1;

    FadeRouter()
    {
        // Zeros until the first value of the select pin chooses a routine.
        setSubProcess(&FadeRouter::subProcessSilence);
    }

    void onSetPins() override
    {
        if (steady_ >= 0)
            for (int o = 0; o < Outputs; ++o)
            {
                const int s = source(o, steady_);
                if (s != kNone && in_[s].isUpdated())
                    out_[o].setStreaming(in_[s].isStreaming());
            }
        if (select_.isUpdated())
        {
            const int end = select_ ? 1 : 0;
            if (first_ || mode_ == 0)
            {
                g_ = static_cast<float>(end);
                selectSteady(end, -1);
            }
            else
            {
                for (auto& out : out_)
                    out.setStreaming(true);
                steady_ = -1;
                if (end == 1)
                    setSubProcess(&FadeRouter::subProcessFade<1>);
                else
                    setSubProcess(&FadeRouter::subProcessFade<0>);
            }
        }
        first_ = false;
    }

    void subProcessSilence(int sampleFrames)
    {
        const int p = getBlockPosition();
        for (auto& out : out_)
            std::fill_n(out.getBuffer() + p, sampleFrames, 0.0f);
    }

    template <int End> void subProcessSteady(int sampleFrames) { fillSteady(End, getBlockPosition(), sampleFrames); }

    template <int End> void subProcessFade(int sampleFrames)
    {
        const int p = getBlockPosition();
        const float* a[Outputs];
        const float* b[Outputs];
        float* out[Outputs];
        for (int o = 0; o < Outputs; ++o)
        {
            a[o] = sources_[o][0] == kNone ? nullptr : in_[sources_[o][0]].getBuffer() + p;
            b[o] = sources_[o][1] == kNone ? nullptr : in_[sources_[o][1]].getBuffer() + p;
            out[o] = out_[o].getBuffer() + p;
        }
        // The gain's steps first (a chain from sample to sample, up to where
        // it reaches its end), then the outputs from them in a loop without
        // a chain, a chunk at a time.
        constexpr int kChunk = 64;
        float gain[kChunk];
        float g = g_;
        for (int done = 0; done < sampleFrames;)
        {
            const int m = std::min(kChunk, sampleFrames - done);
            int k = 0;
            bool ended = false;
            while (k < m)
            {
                g = End == 1 ? std::min(1.0f, g + 0.01f) : std::max(0.0f, g - 0.01f);
                gain[k++] = g;
                if (g == static_cast<float>(End))
                {
                    ended = true;
                    break;
                }
            }
            for (int o = 0; o < Outputs; ++o)
                mix(a[o] ? a[o] + done : nullptr, b[o] ? b[o] + done : nullptr, out[o] + done, gain, k);
            done += k;
            if (ended)
            {
                g_ = g;
                selectSteady(End, p + done - 1);
                fillSteady(End, p + done, sampleFrames - done);
                return;
            }
        }
        g_ = g;
    }

protected:
    // Pins in the order of the module's own layout; its constructor registers them.
    AudioInPin in_[Inputs];
    AudioOutPin out_[Outputs];
    BoolInPin select_;
    EnumInPin mode_;
    // The input index feeding each output at g = 0 and at g = 1, or kNone.
    int sources_[Outputs][2];

private:
    int source(int o, int end) const { return sources_[o][end]; }

    // out = (1 - g) x a + g x b at each gain g, either source may be none.
    static void mix(const float* a, const float* b, float* out, const float* gain, int n)
    {
        if (a && b)
            for (int i = 0; i < n; ++i)
                out[i] = (1.0f - gain[i]) * a[i] + gain[i] * b[i];
        else if (a)
            for (int i = 0; i < n; ++i)
                out[i] = (1.0f - gain[i]) * a[i];
        else if (b)
            for (int i = 0; i < n; ++i)
                out[i] = 0.0f + gain[i] * b[i];
        else
            std::fill_n(out, n, 0.0f);
    }

    // The steady routine of an end; streaming reported at `position` (-1: now).
    void selectSteady(int end, int position)
    {
        steady_ = end;
        if (end == 1)
            setSubProcess(&FadeRouter::subProcessSteady<1>);
        else
            setSubProcess(&FadeRouter::subProcessSteady<0>);
        for (int o = 0; o < Outputs; ++o)
        {
            const int s = source(o, end);
            const bool streaming = s != kNone && in_[s].isStreaming();
            // At the end of a fade a streaming output keeps streaming unreported.
            if (position < 0 || !streaming)
                out_[o].setStreaming(streaming, position);
        }
    }

    void fillSteady(int end, int from, int n)
    {
        for (int o = 0; o < Outputs; ++o)
        {
            float* out = out_[o].getBuffer() + from;
            const int s = source(o, end);
            if (s == kNone)
                std::fill_n(out, n, 0.0f);
            else
                std::copy_n(in_[s].getBuffer() + from, n, out);
        }
    }

    float g_ = 0.0f;
    int steady_ = -1; // end whose steady routine runs, -1 otherwise
    bool first_ = true;
};
} // namespace qw::control
