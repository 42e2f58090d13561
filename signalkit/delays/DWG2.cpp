// Digital waveguide string: a 4096-sample delay loop excited by an audio
// input, with its length from a pitch in volts (0.5 = 440 Hz), a loop gain, a
// one-pole loss filter whose phase delay is taken off the loop length, and an
// optional high-pass on the excitation that follows the pitch. A pitch change
// crossfades from the old loop length over 2 ms. When the input stops the
// string rings out until 4096 quiet samples have passed.
#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "qw_fm.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

class QW_DWG2 final : public MpBase2
{
public:
    static constexpr int kLength = 4096;
    static constexpr int kMask = kLength - 1;
    static constexpr float kQuiet = 1e-5f;
    static constexpr float kPi = 3.14159265f;

    QW_DWG2()
    {
        initializePin(pinOn_);
        initializePin(pinClear_);
        initializePin(pinExcitation_);
        initializePin(pinPitch_);
        initializePin(pinGain_);
        initializePin(pinNormalise_);
        initializePin(pinLoss_);
        initializePin(pinHighPass_);
        initializePin(pinAddExcitation_);
        initializePin(pinReset_);
        initializePin(pinOutput_);
        setSubProcess(&QW_DWG2::subProcessSilence);
        resetLoop();
    }

    int32_t open() override
    {
        rate_ = getSampleRate();
        to48k_ = 48000.0f / rate_;
        base_ = rate_ / 440.0f;
        fadeStep_ = 500.0f / rate_;
        return MpBase2::open();
    }

    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        pinOutput_.setStreaming(false);
    }

    void onSetPins() override
    {
        if (pinLoss_.isUpdated())
        {
            const float v = pinLoss_.getValue() * 0.1f;
            const float l = v == v ? std::min(std::max(v, 0.0f), 1.0f) : 0.0f;
            loss_ = l > 0.0f ? qw::fm::exp2Acc(qw::fm::log2Acc(l) * to48k_) : 0.0f;
            loop_.cachedPitch = kUnset;
        }
        if ((pinClear_.isUpdated() && pinClear_.getValue()) || (pinReset_.isUpdated() && pinReset_.getValue() == 1.0f))
            resetLoop();
        if (pinOn_.isUpdated() || pinExcitation_.isUpdated())
        {
            if (pinOn_.getValue())
            {
                if (pinExcitation_.isStreaming())
                {
                    setSubProcess(&QW_DWG2::subProcess);
                    pinOutput_.setStreaming(true);
                    tail_ = 0;
                }
                else if (!pinOn_.isUpdated())
                    tail_ = kLength;
            }
            else if (pinOn_.isUpdated())
            {
                setSubProcess(&QW_DWG2::subProcessSilence);
                pinOutput_.setStreaming(false);
                resetLoop();
                tail_ = 0;
            }
        }
    }

    void subProcess(int n)
    {
        // The options as constants of the loop: fewer values it keeps live.
        const bool highPass = pinHighPass_.getValue();
        if (pinAddExcitation_.getValue())
            highPass ? run<true, true>(n) : run<false, true>(n);
        else
            highPass ? run<true, false>(n) : run<false, false>(n);
    }

    void subProcessSilence(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, 0.0f); }

private:
    // A span of at most kSpan samples: the line entries it overwrites fit a
    // copy on the stack, kept in case it must run again guarded.
    static constexpr int kSpan = 256;

    template <bool HighPass, bool AddExcitation> void run(int n)
    {
        const int start = blockPosition_;
        float* out = pinOutput_.getBuffer() + start;
        const qw::finite::SpanReport spans = qw::finite::runSpans<kSpan>(
            n,
            [this](int m) {
                return [this, loop = loop_, tail = tail_,
                        line = qw::finite::RingSpan<kSpan>(line_.data(), kLength, loop_.write, m)] {
                    loop_ = loop;
                    tail_ = tail;
                    line.restore(line_.data());
                };
            },
            [&](auto guarded, int from, int m) {
                return span<HighPass, AddExcitation, decltype(guarded)::value>(start + from, m);
            });
        const Loop& st = loop_;
        // A non-finite value anywhere in the loop starts it afresh.
        if (spans.poisoned || st.s - st.s != 0.0f || st.newMemory - st.newMemory != 0.0f ||
            st.oldMemory - st.oldMemory != 0.0f || st.w - st.w != 0.0f || st.u - st.u != 0.0f)
        {
            line_.fill(0.0f);
            resetLoop();
        }
        if (spans.ended >= 0)
        {
            pinOutput_.setStreaming(false, start + spans.ended + 1);
            std::fill(out + spans.ended + 1, out + n, 0.0f);
            resetLoop();
            setSubProcess(&QW_DWG2::subProcessSilence);
        }
    }

    using Span = qw::finite::SpanReport;

    // n samples from `at` in plain float arithmetic, or Guarded: every sum
    // that input near the float limit can overflow worked out again in
    // double and saturated where its float result is not finite.
    template <bool HighPass, bool AddExcitation, bool Guarded> Span span(int at, int n)
    {
        const float* in = pinExcitation_.getBuffer() + at;
        const float* pitch = pinPitch_.getBuffer() + at;
        const float* gain = pinGain_.getBuffer() + at;
        float* out = pinOutput_.getBuffer() + at;
        const float inputGate = pinExcitation_.isStreaming() ? 1.0f : 0.0f;
        const bool normalise = pinNormalise_.getValue();
        const float g = loss_;
        const float fadeStep = fadeStep_;
        float* line = line_.data();
        // The loop's state in locals: stores into the line cannot alias them.
        Loop st = loop_;
        int tail = tail_;
        // The loop gain of the last gain sample (a pure function of it and the
        // pitch ratio, so reused while neither changes).
        float lastA = kUnset, G = 0.0f;
        // A gain input that is not streaming holds one value through the span.
        const bool gainStreams = pinGain_.isStreaming();
        const float heldA = gainOf(gain[0]);
        const int w0 = st.write;
        Span r;
        for (int i = 0; i < n; ++i)
        {
            // A pitch that is not a number counts as 0 (compared again as such).
            if (pitch[i] != st.cachedPitch && !(st.fade > 0.0f))
            {
                const float v = pitch[i] == pitch[i] ? pitch[i] : 0.0f;
                if (v != st.cachedPitch)
                {
                    setPitch(st, v);
                    lastA = kUnset;
                }
            }

            // Loop gain |a|^0.1 (normalised per period), sign of a; 0 stays 0.
            const float a = gainStreams ? gainOf(gain[i]) : heldA;
            if (a != lastA)
            {
                lastA = a;
                G = loopGain(a, normalise, st.ratio);
            }

            float y = read<Guarded>(line, st, st.length, st.newMemory);
            if (st.fade > 0.0f)
            {
                const float old = read<Guarded>(line, st, st.oldLength, st.oldMemory);
                y = qw::finite::saturatedIf<Guarded>(st.fade * old + (1.0f - st.fade) * y);
                st.fade -= fadeStep;
            }

            const float s = st.s;
            st.s = qw::finite::finiteOrIf<Guarded>((s - y) * g + y, [=] { return (double(s) - y) * g + y; });

            float x = in[i] * inputGate;
            if (HighPass && G >= 0.0f)
            {
                const float c = st.coefficient, u0 = st.u, w0 = st.w, x1 = st.x1;
                const float u = qw::finite::finiteOrIf<Guarded>(
                    c * u0 + x - x1, [=] { return double(c) * u0 + qw::finite::infinityAsNaN(x) - x1; });
                const float w =
                    qw::finite::finiteOrIf<Guarded>(c * w0 + u - u0, [=] { return double(c) * w0 + u - u0; });
                st.x1 = x;
                st.u = u;
                st.w = w;
                const float h = 0.5f * (1.0f + c);
                x = h * h * w;
            }
            const float ss = st.s;
            const float written = qw::finite::finiteOrIf<Guarded>(
                G * ss + x, [=] { return double(G) * ss + qw::finite::infinityAsNaN(x); });
            line[st.write] = written;
            out[i] = AddExcitation ? qw::finite::saturatedIf<Guarded>(y + 0.5f * G * x) : y;
            st.write = (st.write + 1) & kMask;
            if (st.write == 0)
                st.firstPass = false;

            if (tail > 0)
            {
                if (std::fabs(y) > kQuiet)
                    tail = kLength;
                else if (--tail == 0)
                {
                    r.ended = i;
                    break;
                }
            }
        }
        loop_ = st;
        tail_ = tail;
        const int done = r.ended >= 0 ? r.ended + 1 : n;
        r.poisoned = !qw::finite::allFiniteInRing(line, kLength, w0, done);
        // Every step the guarded pass guards leaves a value that is not
        // finite in what is written, the output or the state.
        if constexpr (!Guarded)
        {
            using qw::finite::poisonOf;
            r.finite =
                !r.poisoned && qw::finite::allFinite(out, done) &&
                poisonOf(st.s) + poisonOf(st.newMemory) + poisonOf(st.oldMemory) + poisonOf(st.u) + poisonOf(st.w) ==
                    0.0f;
        }
        return r;
    }

    static constexpr float kUnset = std::numeric_limits<float>::quiet_NaN();

    // What the loop carries from sample to sample.
    struct Loop
    {
        int write = 0;
        bool firstPass = true;
        float cachedPitch = kUnset;
        float ratio = 1.0f;
        float length = 0.0f, oldLength = 0.0f;
        float fade = 0.0f;
        float newMemory = 0.0f, oldMemory = 0.0f;
        float coefficient = 0.0f;
        float s = 0.0f;
        float x1 = 0.0f, u = 0.0f, w = 0.0f;
    };

    // A gain sample in [-1, 1]; not a number counts as 0.
    static float gainOf(float sample) { return sample == sample ? std::min(std::max(sample, -1.0f), 1.0f) : 0.0f; }

    // The loop gain of a gain sample a in [-1, 1].
    float loopGain(float a, bool normalise, float ratio) const
    {
        if (a == 0.0f)
            return 0.0f;
        float G = qw::fm::exp2Fast(0.1f * qw::fm::log2Fast(std::fabs(a)));
        if (normalise)
            G = qw::fm::exp2Fast(std::max(qw::fm::log2Fast(G) * to48k_ * ratio, -126.0f));
        G = std::min(G, 1.0f);
        return a < 0.0f ? -G : G;
    }

    // A new loop length from the pitch sample v (volts; beyond +-10 V as
    // 10 V, which keeps the exponent in range).
    [[gnu::always_inline]] void setPitch(Loop& st, float v) const
    {
        st.cachedPitch = v;
        const float volts = std::min(std::max(v, -10.0f), 10.0f);
        st.ratio = qw::fm::exp2Acc(5.0f - 10.0f * volts);
        const float P0 = base_ * st.ratio;
        // The loss filter's phase delay at the loop frequency, in turns.
        const float phi = qw::fm::atan2Turns(2.0f * kPi * loss_, (1.0f - loss_) * P0);
        const float L = std::min(std::max(P0 - phi * P0, 2.0f), static_cast<float>(kMask));
        st.coefficient = L / (L + kPi);
        if (st.length > 0.0f)
        {
            st.oldLength = st.length;
            st.oldMemory = st.newMemory;
            st.fade = 1.0f;
        }
        st.newMemory = 0.0f;
        st.length = L;
    }

    // The line L samples back: the whole part read directly, the fraction by
    // a first-order all-pass with its own memory (dropped when under 1/19).
    template <bool Guarded> static float read(const float* line, const Loop& st, float L, float& memory)
    {
        const int k = static_cast<int>(L);
        const float f = L - static_cast<float>(k);
        const float c = (1.0f - f) / (1.0f + f);
        const float A = tap(line, st, k), B = tap(line, st, k + 1), m = memory;
        // Both taps read and the all-pass worked out either way: a select, not
        // a branch on a fraction that moves with the pitch.
        const float y =
            c > 0.9f ? A : qw::finite::finiteOrIf<Guarded>(c * (A - m) + B, [=] { return c * (double(A) - m) + B; });
        memory = y;
        return y;
    }

    // The entry k samples back; on the loop's first pass, positions before
    // the start of the line are silent.
    static float tap(const float* line, const Loop& st, int k)
    {
        if (st.firstPass && k > st.write)
            return 0.0f;
        return line[(st.write - k) & kMask];
    }

    void resetLoop()
    {
        const float ratio = loop_.ratio, coefficient = loop_.coefficient;
        loop_ = Loop{};
        loop_.ratio = ratio;
        loop_.coefficient = coefficient;
    }

    BoolInPin pinOn_;
    BoolInPin pinClear_;
    AudioInPin pinExcitation_;
    AudioInPin pinPitch_;
    AudioInPin pinGain_;
    BoolInPin pinNormalise_;
    FloatInPin pinLoss_;
    BoolInPin pinHighPass_;
    BoolInPin pinAddExcitation_;
    FloatInPin pinReset_;
    AudioOutPin pinOutput_;

    float rate_ = 44100.0f;
    float to48k_ = 48000.0f / 44100.0f;
    float base_ = 44100.0f / 440.0f;
    float fadeStep_ = 500.0f / 44100.0f;

    std::array<float, kLength> line_{};
    float loss_ = 0.0f;
    Loop loop_;
    int tail_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_DWG2", &gmpi::Register<QW_DWG2>::withId);
}
