// Frame-based pitch shifting, mono and stereo (a stereo frame is a pair of
// floats): every half frame the recent input is resampled by the pitch
// ratios of the samples it spans into a new frame, placed at the lag where it
// best continues what is being output, and crossfaded in over the half frame.
// The lag search is done ahead, spread over the calls of the half frame
// before it is needed (see advanceSearch).
// Runs at the 44.1/48 kHz family of rates and their doubles and quadruples;
// its storage for the largest frame of the host's rate is taken in open.
#include "../chorus/effect_pattern.h"
#include "pitch_kernels.h"

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
        for (int i = 0; i < m; ++i)
        {
            const int k = c_ & (half - 1);
            const int s = (c_ & half) ? 1 : 0;
            if (k == 0)
                poison += startHalfFrame(s);
            const float w = static_cast<float>(k) * invHalf;
            T y = (1.0f - w) * frame(1 - s)[half + k] + w * frame(s)[k];
            T x;
            for (int ch = 0; ch < kCh; ++ch)
            {
                out[ch][i] = qw::pitch::channel(y, ch);
                qw::pitch::channel(x, ch) = in[ch][i] * gate[ch];
            }
            ring_[static_cast<size_t>(c_)] = x;
            if (kStereo)
                mix_[static_cast<size_t>(c_)] = qw::pitch::mixOf(x);
            poison += qw::pitch::mixOf(x) - qw::pitch::mixOf(x);

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
    T* frame(int s) { return frames_.data() + (s ? n_ + 6 : 2); }

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

    // At a half frame's start: the lag, the new frame s, its level
    // correction. Answers the poison of the new frame (0 while finite).
    float startHalfFrame(int s)
    {
        const int half = n_ / 2;
        const int ringMask = 4 * n_ - 1;
        // Before the first half frame since a resize all is silent: every
        // lag costs 0 and the first wins.
        const int lag = armed_ ? finishSearch() : started_ ? bestMatchOffset(frame(1 - s)) : 0;
        armed_ = false;
        started_ = true;
        passed_ = 0.0;
        ring_[static_cast<size_t>(c_)] = T{};
        ring_[static_cast<size_t>((c_ + 1) & ringMask)] = T{};
        if (kStereo)
        {
            mix_[static_cast<size_t>(c_)] = 0.0f;
            mix_[static_cast<size_t>((c_ + 1) & ringMask)] = 0.0f;
        }
        if (pinAntiAlias_)
            resampleInputBufferAA(lag, frame(s));
        else
            resampleInputBuffer(lag, frame(s));
        if (pinLevel_)
            qw::pitch::compensateAM(frame(1 - s) + half, frame(s), half);
        // 0 while every entry is finite, else NaN: four sums, so the check
        // does not wait on one long chain of additions.
        float poison[4] = {};
        const T* f = frame(s);
        for (int i = 0; i < n_; i += 4)
            for (int u = 0; u < 4; ++u)
                poison[u] += qw::pitch::mixOf(f[i + u]) - qw::pitch::mixOf(f[i + u]);
        return (poison[0] + poison[1]) + (poison[2] + poison[3]);
    }

    // The search at the next half frame's start, done ahead. Its probes are
    // known once the current half frame has begun; each probe's distance back
    // is the sum of the rates since then (passed_) and of the rates before
    // (probeBase_). The sums are exact in double (float ratios of 1/2 to 2,
    // at most 4N of them), so any order of summing gives the same distance.
    // The rates still to come are predicted as the latest ratio; each call
    // sums the lags whose input has arrived, about 1.25 lags per sample, so
    // the search is done before the half frame ends. A prediction that no
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
        if (!armed_)
            armSearch(c_ + remaining);
        if (predicted != predicted_)
            predictBacks(predicted);
        // Lag t reads back to the input index newest - back - t: there for
        // t >= remaining - (the smallest distance back).
        const int probes = n_ / 64;
        const int nearest = *std::min_element(probeBack_.begin(), probeBack_.begin() + probes);
        const int elapsed = half - remaining;
        const int wanted = std::min(half, elapsed + elapsed / 4 + 64);
        const int from = std::max(std::max(remaining - nearest, 0), half - wanted);
        if (from < summedFrom_)
        {
            sumLags(newest, from, summedFrom_);
            summedFrom_ = from;
        }
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
    }

    // Each probe's distance back for `passed` as the sum of the half frame's
    // rates; sums made for other distances are dropped.
    void predictBacks(double passed)
    {
        predicted_ = passed;
        bool same = true;
        for (int p = 0; p < n_ / 64; ++p)
        {
            const int32_t back = qw::effect::truncSaturated(passed + probeBase_[static_cast<size_t>(p)] + 0.5);
            same = same && back == probeBack_[static_cast<size_t>(p)];
            probeBack_[static_cast<size_t>(p)] = back;
        }
        if (!same)
        {
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

    // Frame entries N - 1 down to 1 read by the cubic at positions that step
    // back from c - 1 - lag by the ratio of each sample (entry 0 keeps its
    // value; it is heard at weight 0).
    void resampleInputBuffer(int lag, T* dest)
    {
        const int frameMask = n_ - 1;
        const int ringMask = 4 * n_ - 1;
        const double size = 4.0 * n_;
        const int j = c_ & frameMask;
        double q = qw::pitch::wrapBack(static_cast<double>(c_ - 1 - lag), size);
        dest[n_ - 1] = qw::pitch::cubicAt(ring_.data(), ringMask, q);
        for (int idx = n_ - 2; idx >= 1; --idx)
        {
            q = qw::pitch::wrapBack(q - rates_[static_cast<size_t>((j - (n_ - 1 - idx)) & frameMask)], size);
            dest[idx] = qw::pitch::cubicAt(ring_.data(), ringMask, q);
        }
    }

    // The input read at twice the frame's rate (half a ratio per read), each
    // value spread at half weight onto the frame around its position.
    void resampleInputBufferAA(int lag, T* dest)
    {
        const int frameMask = n_ - 1;
        const int ringMask = 4 * n_ - 1;
        const double size = 4.0 * n_;
        const int j = c_ & frameMask;
        float mid[4];
        qw::pitch::spreadWeights(0.5f, mid);
        std::fill(dest - 1, dest + n_ + 2, T{});
        double q = qw::pitch::wrapBack(static_cast<double>(c_ - 1 - lag), size);
        for (int o = n_ - 1, step = 1; o > 0; --o, ++step)
        {
            const double half = 0.5 * rates_[static_cast<size_t>((j - step) & frameMask)];
            dest[o] += 0.5f * qw::pitch::cubicAt(ring_.data(), ringMask, q);
            q = qw::pitch::wrapBack(q - half, size);
            const T v = 0.5f * qw::pitch::cubicAt(ring_.data(), ringMask, q);
            dest[o - 2] += mid[0] * v;
            dest[o - 1] += mid[1] * v;
            dest[o] += mid[2] * v;
            dest[o + 1] += mid[3] * v;
            q = qw::pitch::wrapBack(q - half, size);
        }
    }

    // Nothing that is not finite stays in the ring, the frames or the guard
    // cells past this block.
    void scrub()
    {
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
