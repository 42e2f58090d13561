// Level response over a one-frame delay line: every N/2 samples the peak of
// the last N inputs gives a new gain, and the gain moves from the old to the
// new value with a smooth step over the next half frame, applied to samples
// that entered the line N samples earlier (a look-ahead of one frame). Mono,
// or stereo with one gain for both channels.
#pragma once

#include "level_response.h"
#include "qw_fm.h"

#include <vector>

namespace qw::levresp
{
template <int Channels> class DelayLineResponse : public LevelResponse<Channels, 2048>
{
    using Base = LevelResponse<Channels, 2048>;
    using Frame = std::conditional_t<Channels == 1, float, qw::fm::fcmpl>;

public:
    int32_t open() override
    {
        // The line holds the largest frame at this rate from now on, so a new
        // frame length never allocates while processing.
        line_.assign(static_cast<size_t>(rateFactor() << 13), Frame{});
        return Base::openFrame();
    }

protected:
    using Base::N_;
    using Base::p_;
    using Base::pinIn_;
    using Base::pinOut_;

    int rateFactor() const
    {
        const int rate = static_cast<int>(this->getSampleRate());
        return rate == 88200 || rate == 96000 ? 2 : (rate == 176400 || rate == 192000 ? 4 : 1);
    }

    int frameLength(int exponent) const override { return rateFactor() << std::clamp(exponent, 9, 13); }

    void changeFrame(int n) override
    {
        N_ = std::min(n, static_cast<int>(line_.size()));
        std::fill_n(line_.begin(), N_, Frame{});
        p_ = N_ > 0 ? p_ % N_ : 0;
        invHalf_ = 2.0f / static_cast<float>(N_);
    }

    void runFrames(int from, int n) override
    {
        if (N_ <= 0)
        {
            Base::subProcessSilence(n);
            return;
        }
        const int half = N_ / 2;
        const float* in[Channels];
        float* out[Channels];
        bool streams[Channels];
        for (int c = 0; c < Channels; ++c)
        {
            in[c] = pinIn_[c].getBuffer() + from;
            out[c] = pinOut_[c].getBuffer() + from;
            streams[c] = pinIn_[c].isStreaming();
        }
        Frame* line = line_.data();
        int i = 0;
        while (i < n)
        {
            int q = p_ % half;
            if (q == 0)
            {
                this->applyShape();
                g0_ = g1_;
                g1_ = this->frameGain(peak(), from + i);
            }
            // Up to the next half-frame boundary or the span's end.
            const int k = std::min(n - i, half - q);
            const float g0 = g0_, g1 = g1_, inv = invHalf_;
            Frame* d = line + p_;
            for (int j = 0; j < k; ++j, ++q)
            {
                const float t = static_cast<float>(q) * inv;
                const float s = (3.0f - 2.0f * t) * t * t;
                const float g = (1.0f - s) * g0 + s * g1;
                if constexpr (Channels == 1)
                {
                    out[0][i + j] = g * d[j];
                    d[j] = streams[0] ? held(in[0][i + j]) : 0.0f;
                }
                else
                {
                    out[0][i + j] = g * d[j].re;
                    out[1][i + j] = g * d[j].im;
                    d[j] = Frame(streams[0] ? held(in[0][i + j]) : 0.0f, streams[1] ? held(in[1][i + j]) : 0.0f);
                }
            }
            i += k;
            p_ += k;
            if (p_ >= N_)
                p_ = 0;
        }
    }

private:
    // The largest magnitude in the line (over both channels).
    float peak() const
    {
        float m = 0.0f;
        for (int k = 0; k < N_; ++k)
        {
            if constexpr (Channels == 1)
                m = std::max(m, std::fabs(line_[k]));
            else
                m = std::max(m, std::max(std::fabs(line_[k].re), std::fabs(line_[k].im)));
        }
        return m;
    }

    std::vector<Frame> line_;
    float g0_ = 0.0f;
    float g1_ = 0.0f;
    float invHalf_ = 0.0f;
};
} // namespace qw::levresp
