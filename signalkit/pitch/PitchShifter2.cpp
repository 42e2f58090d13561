// Frame-based pitch shifting, mono and stereo (a stereo frame is a pair of
// floats): every half frame the recent input is resampled by the pitch
// ratios of the samples it spans into a new frame, placed at the lag where it
// best continues what is being output, and crossfaded in over the half frame.
// The work is spread over the calls of each half frame, so no call carries a
// frame's worth of it: the new frame is made entry by entry ahead of the
// samples that read it (see Cursor), the lag search for the next half frame
// follows (see advanceSearch), and with level correction, which needs the
// incoming half whole at the start, that half is made ahead too (see
// advanceSpeculation). The samples are those of a frame made whole at its
// half frame's start. Reads, sums and gains that overflow the float range
// (audio near the float limit) saturate.
// Runs at the 44.1/48 kHz family of rates and their doubles and quadruples;
// its storage for the largest frame of the host's rate is taken in open.
#include "../chorus/effect_pattern.h"
#include "pitch_kernels.h"
#include "qw_finite.h"

#include <limits>
#include <vector>

template <class T> class QW_PitchShifter2T final : public MpBase2
{
    static constexpr int kCh = qw::pitch::kChannels<T>;
    static constexpr bool kStereo = kCh == 2;

public:
    QW_PitchShifter2T()
    {
        for (auto& in : pinSignal_)
            initializePin(in);
        initializePin(pinPitch_);
        initializePin(pinExponent_);
        initializePin(pinAntiAlias_);
        initializePin(pinLevel_);
        initializePin(pinUnused_);
        for (auto& out : pinOut_)
            initializePin(out);
        setSubProcess(&QW_PitchShifter2T::subProcessSilence);
    }

    int32_t open() override
    {
        factor_ = qw::pitch::rateFactor(getSampleRate());
        if (factor_ != 0)
        {
            const int most = qw::pitch::frameSize(factor_, qw::pitch::kMaxExponent);
            ring_.assign(static_cast<size_t>(4 * most), T{});
            frames_.assign(static_cast<size_t>(2 * most + 8), T{});
            rates_.assign(static_cast<size_t>(most), 1.0f);
            if (kStereo)
                mix_.assign(static_cast<size_t>(4 * most), 0.0f);
            cost_.assign(static_cast<size_t>(most / 2), 0.0f);
            probeValue_.assign(static_cast<size_t>(most / 64), 0.0f);
            probeBack_.assign(static_cast<size_t>(most / 64), 0);
            probeBase_.assign(static_cast<size_t>(most / 64), 0.0);
        }
        return MpBase2::open();
    }

    void onGraphStart() override { outputsStreaming(false); }

    void onSetPins() override
    {
        if (pinExponent_.isUpdated())
        {
            if (factor_ == 0)
                return;
            resize(qw::pitch::frameSize(factor_, pinExponent_.getValue()));
        }
        if (n_ == 0)
            return;
        bool updated = false, streaming = false;
        for (auto& in : pinSignal_)
        {
            updated = updated || in.isUpdated();
            streaming = streaming || in.isStreaming();
        }
        if (!updated)
            return;
        if (streaming)
        {
            if (tail_.running())
                tail_.clear();
            else
            {
                running_ = true;
                outputsStreaming(true);
                setSubProcess(&QW_PitchShifter2T::subProcess);
            }
        }
        else if (running_ && !tail_.running())
            tail_.start(4 * n_);
    }

    void subProcess(int n)
    {
        const int start = getBlockPosition();
        const int m = tail_.limit(n);
        const int half = n_ / 2;
        const int frameMask = n_ - 1;
        const int ringMask = 4 * n_ - 1;
        const float invHalf = 1.0f / static_cast<float>(half);
        const float* in[kCh];
        float* out[kCh];
        float gate[kCh];
        for (int ch = 0; ch < kCh; ++ch)
        {
            in[ch] = pinSignal_[ch].getBuffer() + start;
            out[ch] = pinOut_[ch].getBuffer() + start;
            gate[ch] = pinSignal_[ch].isStreaming() ? 1.0f : 0.0f;
        }
        const float* pitch = pinPitch_.getBuffer() + start;
        float poison = 0.0f;
        // Span by span within one half frame: its start, the entries its
        // samples read made (and level corrected), then the samples.
        for (int i = 0; i < m;)
        {
            const int k0 = c_ & (half - 1);
            const int s = (c_ & half) ? 1 : 0;
            if (k0 == 0)
                poison += startHalfFrame(s);
            const int end = i + std::min(m - i, half - k0);
            poison += prepare(s, k0, k0 + end - i);
            const T* fading = frame(1 - s) + half;
            const T* rising = frame(s);
            for (int k = k0; i < end; ++i, ++k)
            {
                const float w = static_cast<float>(k) * invHalf;
                T y = (1.0f - w) * fading[k] + w * rising[k];
                T x;
                for (int ch = 0; ch < kCh; ++ch)
                {
                    out[ch][i] = qw::pitch::channel(y, ch);
                    const float v = in[ch][i] * gate[ch];
                    qw::pitch::channel(x, ch) = v;
                    poison += v - v;
                }
                ring_[static_cast<size_t>(c_)] = x;
                if (kStereo)
                    mix_[static_cast<size_t>(c_)] = qw::pitch::mixOf(x);

                const float p = qw::effect::clampOrZero(pitch[i] * 10.0f, -1.0f, 1.0f);
                if (p != cachedPitch_)
                {
                    cachedPitch_ = p;
                    ratio_ = qw::fm::exp2Acc(p);
                }
                rates_[static_cast<size_t>(c_ & frameMask)] = ratio_;
                passed_ += ratio_;
                c_ = (c_ + 1) & ringMask;
            }
        }
        if (!(poison == 0.0f))
            scrub();
        advanceSearch();
        if (tail_.consume(m))
        {
            endTail(start, m, n);
            setSubProcess(&QW_PitchShifter2T::subProcessSilence);
        }
    }

    void subProcessSilence(int n)
    {
        for (auto& out : pinOut_)
            std::fill_n(out.getBuffer() + getBlockPosition(), n, 0.0f);
    }

private:
    // Entries at the top of a frame made at its half frame's start: they read
    // the two ring cells the start empties, which fill with input after it.
    static constexpr int kTop = 8;
    // Entries made per sample of the half frame at least, so that a frame is
    // made within its first eighth and the search (which probes it) follows.
    static constexpr int kPace = 16;
    // Entries made and checked at once; a span that overflowed is made again
    // with guards.
    static constexpr int kChunk = 64;

    // A frame made entry by entry from its bottom: entry o reads the ring at
    // a position that steps up by the ratio of each entry (the anti-aliased
    // frame also at the half step between entries). Positions are exact in
    // double (multiples of 2^-24 below 2^18), so stepping up from entry 1
    // gives, to the bit, the positions that stepping down from the top does.
    struct Cursor
    {
        int frame = 0;       // which of the two frames
        int next = 0;        // the next entry to make
        int j = 0;           // the half frame's start & (N - 1): entry o's ratio is rates_[(j + o) & (N - 1)]
        bool aa = false;     // anti-aliased
        bool active = false; // made since the last resize
        bool sums = false;   // level sums kept for the entries below N/2
        double pA = 0.0;     // the read position of entry `next` (anti-aliased: its full step)
        double pB = 0.0;     // anti-aliased: that of entry next + 1
        double mid[3] = {};  // anti-aliased: the half steps of entries next - 1 .. next + 1
        T v[3] = {};         // anti-aliased: the values read there, halved
        double s1[kCh] = {}, s2[kCh] = {};
        int summed = 0; // entries [0, summed) are in the sums
    };

    // The next frame's entries below N/2, made ahead for a lag and a sum of
    // the half frame's ratios expected to come true (see advanceSpeculation).
    struct Speculation
    {
        bool active = false;
        int start = 0; // input index of the half frame it is for
        int lag = 0;
        double passed = 0.0;
        int from = 0, at = 0; // entry and half frame sample it began at
        Cursor cursor;
    };

    // The level correction of the current half frame, applied entry by entry
    // as its samples come (the gains depend only on the entry's index).
    struct Level
    {
        bool on = false;
        bool scale[kCh] = {};
        float q[kCh] = {};
    };

    T* frame(int s) { return frames_.data() + (s ? n_ + 6 : 2); }

    static float valueOf(const T& v, int ch) { return qw::pitch::channel(v, ch); }

    float rate(int j, int i) const { return rates_[static_cast<size_t>((j + i) & (n_ - 1))]; }

    // The sum of the ratios rates_[(j + i) & (N - 1)] for i in [from, to]:
    // exact in double, so in any order.
    double sumRates(int j, int from, int to) const
    {
        double part[4] = {};
        int at = (j + from) & (n_ - 1);
        for (int count = to - from + 1; count > 0;)
        {
            const int run = std::min(count, n_ - at);
            const float* r = rates_.data() + at;
            int i = 0;
            for (; i + 4 <= run; i += 4)
                for (int u = 0; u < 4; ++u)
                    part[u] += r[i + u];
            for (; i < run; ++i)
                part[0] += r[i];
            count -= run;
            at = 0;
        }
        return (part[0] + part[1]) + (part[2] + part[3]);
    }

    // The Catmull-Rom read of the ring; Guarded: a channel whose float
    // arithmetic overflowed is worked out in double and saturated (an
    // infinite input reads as not a number, so it is cleared, not kept).
    template <bool Guarded> T cubic(double q) const
    {
        const int mask = 4 * n_ - 1;
        T y = qw::pitch::cubicAt(ring_.data(), mask, q);
        if constexpr (Guarded)
            for (int ch = 0; ch < kCh; ++ch)
            {
                float& c = qw::pitch::channel(y, ch);
                c = qw::finite::finiteOr(c, [&] {
                    const double fl = std::floor(q);
                    const int i = static_cast<int>(fl);
                    const double f = static_cast<float>(q - fl);
                    const auto at = [&](int d) {
                        return static_cast<double>(qw::finite::infinityAsNaN(valueOf(ring_[(i + d) & mask], ch)));
                    };
                    const double x0 = at(-1), x1 = at(0), x2 = at(1), x3 = at(2);
                    return qw::pitch::cubicWide(x0, x1, x2, x3, f);
                });
            }
        return y;
    }

    // One anti-aliased entry: the five values spread onto it, summed in the
    // order the top-down spreading adds them (from 0, so -0 comes out as +0
    // as it did); terms[i] absent where `has` says so. Guarded: a channel
    // whose float sum overflowed is summed in double and saturated.
    template <bool Guarded>
    static T spreadSum(const float mid[4], const T& v2, const T& v1, const T& u, const T& v0, const T& vM1, bool hasV2,
                       bool hasV1, bool hasU, bool hasVM1)
    {
        T acc{};
        if (hasV2)
            acc += mid[0] * v2;
        if (hasV1)
            acc += mid[1] * v1;
        if (hasU)
        {
            acc += 0.5f * u;
            acc += mid[2] * v0;
        }
        if (hasVM1)
            acc += mid[3] * vM1;
        if constexpr (Guarded)
            for (int ch = 0; ch < kCh; ++ch)
            {
                float& c = qw::pitch::channel(acc, ch);
                c = qw::finite::finiteOr(c, [&] {
                    double sum = 0.0;
                    if (hasV2)
                        sum += static_cast<double>(mid[0]) * valueOf(v2, ch);
                    if (hasV1)
                        sum += static_cast<double>(mid[1]) * valueOf(v1, ch);
                    if (hasU)
                        sum += 0.5 * valueOf(u, ch) + static_cast<double>(mid[2]) * valueOf(v0, ch);
                    if (hasVM1)
                        sum += static_cast<double>(mid[3]) * valueOf(vM1, ch);
                    return sum;
                });
            }
        return acc;
    }

    // A cursor for frame s of the half frame starting at input index start,
    // read at `lag`; sum: the ratios of entries 2 .. N - 1 (the N - 2 samples
    // before the start).
    void startCursor(Cursor& b, int s, int start, int lag, double sum, bool aa, bool sums)
    {
        const double size = 4.0 * n_;
        b = Cursor{};
        b.frame = s;
        b.j = start & (n_ - 1);
        b.aa = aa;
        b.active = true;
        b.sums = sums;
        double base = static_cast<double>(start - 1 - lag) - sum; // entry 1's position
        if (base < 0.0)
            base += size;
        if (!aa)
        {
            b.next = 1; // entry 0 keeps its value; it is heard at weight 0
            b.pA = base;
            return;
        }
        b.next = 0;
        b.pB = base;
        b.mid[2] = qw::pitch::wrapBack(base - 0.5 * rate(b.j, 1), size);
        b.v[2] = 0.5f * cubic<false>(b.mid[2]);
    }

    template <bool Guarded> void makeSpan(Cursor& b, int end)
    {
        const double size = 4.0 * n_;
        T* f = frame(b.frame);
        if (!b.aa)
        {
            for (int o = b.next; o < end; ++o)
            {
                f[o] = cubic<Guarded>(b.pA);
                const double q = b.pA + rate(b.j, o + 1);
                b.pA = q >= size ? q - size : q;
            }
            b.next = end;
            return;
        }
        float mid[4];
        qw::pitch::spreadWeights(0.5f, mid);
        if constexpr (Guarded)
            for (int w = 0; w < 3; ++w)
                if (b.next - 1 + w >= 1)
                    b.v[w] = 0.5f * cubic<true>(b.mid[w]);
        for (int o = b.next; o < end; ++o)
        {
            const float r2 = rate(b.j, o + 2);
            double p2 = b.pB + r2;
            p2 = p2 >= size ? p2 - size : p2;
            const double m2 = qw::pitch::wrapBack(p2 - 0.5 * r2, size);
            const T v2 = 0.5f * cubic<Guarded>(m2);
            const T u = o >= 1 ? cubic<Guarded>(b.pA) : T{};
            f[o] = spreadSum<Guarded>(mid, v2, b.v[2], u, b.v[1], b.v[0], true, true, o >= 1, o >= 2);
            b.v[0] = b.v[1];
            b.v[1] = b.v[2];
            b.v[2] = v2;
            b.mid[0] = b.mid[1];
            b.mid[1] = b.mid[2];
            b.mid[2] = m2;
            b.pA = b.pB;
            b.pB = p2;
        }
        b.next = end;
    }

    // Entries up to `target` (at most N - kTop) made, span by span; a span
    // that is not all finite is made again with guards. Answers the poison of
    // what it made (0 while finite).
    float buildTo(Cursor& b, int target)
    {
        float poison = 0.0f;
        target = std::min(target, n_ - kTop);
        while (b.next < target)
        {
            const int from = b.next;
            const int end = std::min(target, from + kChunk);
            const Cursor saved = b;
            makeSpan<false>(b, end);
            const float* made = reinterpret_cast<const float*>(frame(b.frame) + from);
            if (!qw::finite::allFinite(made, kCh * (end - from)))
            {
                b = saved;
                makeSpan<true>(b, end);
                if (!qw::finite::allFinite(made, kCh * (end - from)))
                    poison = std::numeric_limits<float>::quiet_NaN();
            }
            if (b.sums)
                addLevelSums(b);
        }
        return poison;
    }

    // The level sums of the entries made below N/2 against the other frame's
    // second half, in the order of the whole-half sums.
    void addLevelSums(Cursor& b)
    {
        const int half = n_ / 2;
        const int upTo = std::min(b.next, half);
        const T* a = frame(1 - b.frame) + half;
        const T* f = frame(b.frame);
        for (int ch = 0; ch < kCh; ++ch)
            qw::pitch::addLevelSums(a, f, half, b.summed, upTo, ch, b.s1[ch], b.s2[ch]);
        b.summed = std::max(b.summed, upTo);
    }

    // The kTop entries at the top of a frame, stepped down from the newest
    // position q (j: the start & (N - 1)).
    template <bool Guarded> void makeTopSpan(T* f, int j, double q, bool aa)
    {
        const double size = 4.0 * n_;
        const int frameMask = n_ - 1;
        if (!aa)
        {
            f[n_ - 1] = cubic<Guarded>(q);
            for (int idx = n_ - 2; idx >= n_ - kTop; --idx)
            {
                q = qw::pitch::wrapBack(q - rates_[static_cast<size_t>((j - (n_ - 1 - idx)) & frameMask)], size);
                f[idx] = cubic<Guarded>(q);
            }
            return;
        }
        float mid[4];
        qw::pitch::spreadWeights(0.5f, mid);
        T u[kTop], v[kTop + 1]; // index d: entry N - 1 - d
        for (int d = 0; d <= kTop; ++d)
        {
            const double h = 0.5 * rates_[static_cast<size_t>((j - (d + 1)) & frameMask)];
            if (d < kTop)
                u[d] = cubic<Guarded>(q);
            q = qw::pitch::wrapBack(q - h, size);
            v[d] = 0.5f * cubic<Guarded>(q);
            q = qw::pitch::wrapBack(q - h, size);
        }
        for (int d = 0; d < kTop; ++d)
            f[n_ - 1 - d] = spreadSum<Guarded>(mid, d >= 2 ? v[d - 2] : T{}, d >= 1 ? v[d - 1] : T{}, u[d], v[d],
                                               v[d + 1], d >= 2, d >= 1, true, true);
    }

    // Those of frame s read at `lag`, made again with guards where they
    // overflowed. Answers their poison.
    float makeTop(int s, int lag, bool aa)
    {
        T* f = frame(s);
        const int j = c_ & (n_ - 1);
        const double q = qw::pitch::wrapBack(static_cast<double>(c_ - 1 - lag), 4.0 * n_);
        makeTopSpan<false>(f, j, q, aa);
        const float* made = reinterpret_cast<const float*>(f + n_ - kTop);
        if (qw::finite::allFinite(made, kCh * kTop))
            return 0.0f;
        makeTopSpan<true>(f, j, q, aa);
        return qw::finite::allFinite(made, kCh * kTop) ? 0.0f : std::numeric_limits<float>::quiet_NaN();
    }

    // A new frame size: everything emptied, the ratios back to 1; a running
    // tail ends here.
    void resize(int n)
    {
        n_ = n;
        c_ = 0;
        cachedPitch_ = -2.0f;
        started_ = false;
        armed_ = false;
        passed_ = 0.0;
        build_ = Cursor{};
        speculation_ = Speculation{};
        level_ = Level{};
        std::fill_n(ring_.begin(), 4 * n, T{});
        std::fill_n(frames_.begin(), 2 * n + 8, T{});
        std::fill_n(rates_.begin(), n, 1.0f);
        if (kStereo)
            std::fill_n(mix_.begin(), 4 * n, 0.0f);
        if (tail_.running())
        {
            tail_.clear();
            running_ = false;
            outputsStreaming(false);
            setSubProcess(&QW_PitchShifter2T::subProcessSilence);
        }
    }

    // At a half frame's start: the lag, the new frame s begun (its entries
    // below N/2 taken from the speculation when it came true), its top, and
    // with level correction its first half and the gains. Answers the poison
    // of what it made (0 while finite).
    float startHalfFrame(int s)
    {
        const int half = n_ / 2;
        const int ringMask = 4 * n_ - 1;
        float poison = 0.0f;
        if (build_.active)
            poison += buildTo(build_, n_); // the outgoing frame, whole
        // Before the first half frame since a resize all is silent: every
        // lag costs 0 and the first wins.
        const int lag = armed_ ? finishSearch() : started_ ? bestMatchOffset(frame(1 - s)) : 0;
        armed_ = false;
        const bool first = !started_;
        started_ = true;
        const double passed = passed_;
        passed_ = 0.0;
        ring_[static_cast<size_t>(c_)] = T{};
        ring_[static_cast<size_t>((c_ + 1) & ringMask)] = T{};
        if (kStereo)
        {
            mix_[static_cast<size_t>(c_)] = 0.0f;
            mix_[static_cast<size_t>((c_ + 1) & ringMask)] = 0.0f;
        }
        const bool aa = pinAntiAlias_;
        const bool level = pinLevel_;
        Speculation& sp = speculation_;
        if (sp.active && sp.start == c_ && sp.lag == lag && sp.passed == passed && sp.cursor.aa == aa &&
            sp.cursor.frame == s)
            build_ = sp.cursor;
        else
        {
            const int j = c_ & (n_ - 1);
            const double sum = first ? sumRates(j, 2, n_ - 1) : sumRates(j, 2, half - 1) + passed;
            startCursor(build_, s, c_, lag, sum, aa, level);
        }
        sp.active = false;
        poison += makeTop(s, lag, aa);
        level_ = Level{};
        if (level)
        {
            poison += buildTo(build_, half);
            for (int ch = 0; ch < kCh; ++ch)
            {
                const float q = qw::pitch::levelRatio(build_.s1[ch], build_.s2[ch]);
                level_.q[ch] = q;
                level_.scale[ch] = q < 1.0f;
                level_.on = level_.on || q < 1.0f;
            }
        }
        buildFrom_ = build_.next;
        return poison;
    }

    // Before the samples [k0, k1) of the half frame of frame s: the entries
    // they read made (and more, at kPace per sample), and level corrected.
    float prepare(int s, int k0, int k1)
    {
        float poison = 0.0f;
        if (build_.active && build_.next < n_ - kTop)
            poison += buildTo(build_, std::max(k1, buildFrom_ + kPace * k1));
        if (!level_.on)
            return poison;
        const int half = n_ / 2;
        T* a = frame(1 - s) + half;
        T* b = frame(s);
        for (int ch = 0; ch < kCh; ++ch)
        {
            if (!level_.scale[ch])
                continue;
            const float q = level_.q[ch];
            for (int m = k0; m < k1; ++m)
            {
                const float g = qw::pitch::levelGain(q, m, half);
                float& x = qw::pitch::channel(a[m], ch);
                float& y = qw::pitch::channel(b[m], ch);
                x = qw::finite::saturated(x * g);
                y = qw::finite::saturated(y * g);
            }
        }
        return poison;
    }

    // With level correction, once the search is done: the next frame's
    // entries below N/2 and their level sums, made ahead at 4 per sample for
    // the lag found and the ratios predicted. Its input is all here from the
    // middle of the half frame on (the entries below N/2 read at least N/4
    // ratios of 1/2 or more back); it comes true when the lag and the sum of
    // the ratios do (see startHalfFrame).
    void advanceSpeculation(int remaining, int elapsed)
    {
        const int half = n_ / 2;
        if (remaining > 0 && elapsed < half / 2 + 8)
            return;
        const int lag = cost_[0] == cost_[0] ? best_ : 0;
        const bool aa = pinAntiAlias_;
        const int start = (c_ + remaining) & (4 * n_ - 1);
        Speculation& sp = speculation_;
        if (sp.active && (sp.start != start || sp.lag != lag || sp.passed != predicted_ || sp.cursor.aa != aa))
            sp.active = false;
        if (!sp.active)
        {
            const int s = (start & half) ? 1 : 0;
            const int j = start & (n_ - 1);
            startCursor(sp.cursor, s, start, lag, sumRates(j, 2, half - 1) + predicted_, aa, true);
            sp.active = true;
            sp.start = start;
            sp.lag = lag;
            sp.passed = predicted_;
            sp.from = sp.cursor.next;
            sp.at = elapsed;
        }
        const int target = std::max(sp.from + 4 * (elapsed - sp.at) + 64, half - 4 * remaining);
        if (sp.cursor.next < half && !(buildTo(sp.cursor, std::min(target, half)) == 0.0f))
            sp.active = false; // not finite: made again at the start
    }

    // The search at the next half frame's start, done ahead. Its probes are
    // known once the current frame's second half is made (early in the half
    // frame); each probe's distance back is the sum of the rates since the
    // half frame began (passed_) and of the rates before (probeBase_). The
    // sums are exact in double (float ratios of 1/2 to 2, at most 4N of
    // them), so any order of summing gives the same distance. The rates still
    // to come are predicted as the latest ratio; each call sums the lags whose
    // input has arrived, about 2 lags per sample from the probes on, so the
    // search is done by about 5/8 of the half frame. A prediction that no
    // longer holds starts the sums over; finishSearch does what is left.
    void advanceSearch()
    {
        if (n_ == 0 || !started_)
            return;
        const int half = n_ / 2;
        const int k = c_ & (half - 1);
        const int remaining = k == 0 ? 0 : half - k; // samples before the next half frame
        const int newest = (c_ + remaining - 1) & (4 * n_ - 1);
        const double predicted = passed_ + static_cast<double>(remaining) * static_cast<double>(ratio_);
        const int elapsed = half - remaining;
        if (!armed_)
        {
            // The probes read the current frame's second half: made first.
            if (build_.active && build_.next < n_ - kTop)
                return;
            armSearch(c_ + remaining);
            armedAt_ = elapsed;
        }
        if (predicted != predicted_)
            predictBacks(predicted);
        // A pitch that keeps moving would start the sums over in every call,
        // each time catching up on more lags: after the second start over in
        // a half frame the search is left whole to finishSearch.
        if (restarts_ >= kMaxRestarts)
            return;
        // Lag t reads back to the input index newest - back - t: there for
        // t >= remaining - (the smallest distance back).
        const int wanted = std::min(half, 2 * (elapsed - armedAt_) + 64);
        const int from = std::max(std::max(remaining - nearestBack_, 0), half - wanted);
        if (from < summedFrom_)
        {
            sumLags(newest, from, summedFrom_);
            summedFrom_ = from;
        }
        if (summedFrom_ == 0 && pinLevel_)
            advanceSpeculation(remaining, elapsed);
    }

    // Probes and the rates before the half frame for the half frame that
    // starts at input index `start`; nothing summed yet.
    void armSearch(int start)
    {
        const int half = n_ / 2;
        const int frameMask = n_ - 1;
        const int probes = n_ / 64;
        const int j = start & frameMask;
        const T* previous = frame((start & half) ? 0 : 1);
        double sum = 0.0;
        int i = half + 1;
        for (int p = 0; p < probes; ++p)
        {
            probeValue_[static_cast<size_t>(p)] = qw::pitch::mixOf(previous[n_ - 32 * (p + 1)]);
            const int end = half + 32 * p + 31;
            double part[4] = {};
            for (; i + 3 <= end; i += 4)
                for (int u = 0; u < 4; ++u)
                    part[u] += rates_[static_cast<size_t>((j - i - u) & frameMask)];
            for (; i <= end; ++i)
                part[0] += rates_[static_cast<size_t>((j - i) & frameMask)];
            sum += (part[0] + part[1]) + (part[2] + part[3]);
            probeBase_[static_cast<size_t>(p)] = sum;
        }
        armed_ = true;
        summedFrom_ = half;
        best_ = -1;
        predicted_ = -1.0;
        restarts_ = 0;
    }

    // Each probe's distance back for `passed` as the sum of the half frame's
    // rates; sums made for other distances are dropped.
    void predictBacks(double passed)
    {
        predicted_ = passed;
        bool same = true;
        nearestBack_ = std::numeric_limits<int32_t>::max();
        for (int p = 0; p < n_ / 64; ++p)
        {
            const int32_t back = qw::effect::truncSaturated(passed + probeBase_[static_cast<size_t>(p)] + 0.5);
            same = same && back == probeBack_[static_cast<size_t>(p)];
            probeBack_[static_cast<size_t>(p)] = back;
            nearestBack_ = std::min(nearestBack_, back);
        }
        if (!same)
        {
            if (summedFrom_ < n_ / 2)
                ++restarts_;
            summedFrom_ = n_ / 2;
            best_ = -1;
        }
    }

    // Costs of the lags [from, to), and the first of their smallest (not a
    // number left out) against the best of the lags above.
    void sumLags(int newest, int from, int to)
    {
        const float* line = kStereo ? mix_.data() : reinterpret_cast<const float*>(ring_.data());
        float* cost = cost_.data();
        std::fill(cost + from, cost + to, 0.0f);
        qw::pitch::addLagCosts(line, 4 * n_ - 1, newest, probeValue_.data(), probeBack_.data(), n_ / 64, from, to,
                               cost);
        int b = -1;
        for (int t = from; t < to; ++t)
            if (b < 0 ? cost[t] == cost[t] : cost[t] < cost[b])
                b = t;
        if (b >= 0 && (best_ < 0 || cost[b] <= cost[best_]))
            best_ = b;
    }

    // At the half frame's start: the distances as they came true, the lags
    // not summed yet, and the choice bestLag makes: lag 0 when its cost is
    // not a number, else the first of the smallest.
    int finishSearch()
    {
        if (passed_ != predicted_)
            predictBacks(passed_);
        if (summedFrom_ > 0)
            sumLags((c_ - 1) & (4 * n_ - 1), 0, summedFrom_);
        return cost_[0] == cost_[0] ? best_ : 0;
    }

    // The lag at which the input continues the second half of `previous`
    // best: probes every 32nd sample of that half from its end back, each
    // compared with the input the ratios since then have moved past.
    int bestMatchOffset(const T* previous)
    {
        const int half = n_ / 2;
        const int frameMask = n_ - 1;
        const int j = c_ & frameMask;
        double passed = 0.0;
        for (int i = 1; i <= half; ++i)
            passed += rates_[static_cast<size_t>((j - i) & frameMask)];
        int probes = 0;
        for (int idx = n_ - 1; idx >= half; --idx)
        {
            if (((n_ - idx) & 31) == 0)
            {
                probeValue_[static_cast<size_t>(probes)] = qw::pitch::mixOf(previous[idx]);
                probeBack_[static_cast<size_t>(probes)] = qw::effect::truncSaturated(passed + 0.5);
                ++probes;
            }
            passed += rates_[static_cast<size_t>((j - (n_ - idx + half)) & frameMask)];
        }
        const float* line = kStereo ? mix_.data() : reinterpret_cast<const float*>(ring_.data());
        return qw::pitch::bestLag(line, 4 * n_ - 1, c_ - 1, probeValue_.data(), probeBack_.data(), probes, half,
                                  cost_.data());
    }

    // Nothing that is not finite stays in the ring, the frames or the guard
    // cells past this block.
    void scrub()
    {
        speculation_.active = false;
        for (int i = 0; i < 4 * n_; ++i)
            scrubValue(ring_[static_cast<size_t>(i)]);
        for (int i = 0; i < 2 * n_ + 8; ++i)
            scrubValue(frames_[static_cast<size_t>(i)]);
        if (kStereo)
            for (int i = 0; i < 4 * n_; ++i)
                mix_[static_cast<size_t>(i)] = qw::pitch::mixOf(ring_[static_cast<size_t>(i)]);
    }

    static void scrubValue(T& v)
    {
        for (int ch = 0; ch < kCh; ++ch)
        {
            float& x = qw::pitch::channel(v, ch);
            if (!(x - x == 0.0f))
                x = 0.0f;
        }
    }

    void outputsStreaming(bool on, int position = -1)
    {
        for (auto& out : pinOut_)
            out.setStreaming(on, position);
    }

    void endTail(int start, int done, int n)
    {
        for (auto& out : pinOut_)
            std::fill(out.getBuffer() + start + done, out.getBuffer() + start + n, 0.0f);
        outputsStreaming(false, start + done);
        running_ = false;
    }

    AudioInPin pinSignal_[kCh];
    AudioInPin pinPitch_;
    EnumInPin pinExponent_;
    BoolInPin pinAntiAlias_;
    BoolInPin pinLevel_;
    IntInPin pinUnused_;
    AudioOutPin pinOut_[kCh];

    int factor_ = 0; // 1, 2 or 4 by the host's rate; 0: never runs
    int n_ = 0;      // frame size; 0 until the exponent is first set
    int c_ = 0;      // input position, modulo 4N
    float cachedPitch_ = 0.0f;
    float ratio_ = 1.0f;
    bool running_ = false;    // the shifting routine is selected
    bool started_ = false;    // a half frame began since the last resize
    bool armed_ = false;      // probes taken for the next half frame's search
    double passed_ = 0.0;     // sum of the rates since the half frame began
    double predicted_ = -1.0; // the sum the distances back were made for
    int summedFrom_ = 0;      // lags [summedFrom_, N/2) are summed
    int best_ = -1;           // the best of them; -1: none
    int restarts_ = 0;        // sums started over in this half frame
    int32_t nearestBack_ = 0; // the smallest of the probes' distances back
    static constexpr int kMaxRestarts = 2;
    int armedAt_ = 0;         // the half frame's sample the search was armed at
    int buildFrom_ = 0;       // the entry the current frame's cursor stood at after its start
    Cursor build_;            // the current frame
    Speculation speculation_; // the next frame's first half
    Level level_;
    qw::effect::Tail tail_;

    std::vector<T> ring_;      // 4N input samples
    std::vector<T> frames_;    // two frames of N with guard cells around them
    std::vector<float> rates_; // the pitch ratio of each of the last N samples
    std::vector<float> mix_;   // stereo: left + right of each ring entry
    std::vector<float> cost_;  // lag search: one cost per lag
    std::vector<float> probeValue_;
    std::vector<int32_t> probeBack_;
    std::vector<double> probeBase_; // rates before the half frame up to each probe
};

using QW_PitchShifter2 = QW_PitchShifter2T<float>;
using QW_PitchShifter2ST = QW_PitchShifter2T<qw::fm::fcmpl>;

namespace
{
auto r1 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_PitchShifter2", &gmpi::Register<QW_PitchShifter2>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_PitchShifter2ST", &gmpi::Register<QW_PitchShifter2ST>::withId);
} // namespace
