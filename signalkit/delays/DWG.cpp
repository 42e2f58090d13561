// Digital waveguide (the earlier model): a 5000-sample loop excited by the
// input, its period in samples or as a frequency, a one-pole loss filter and
// a reflection raised and lowered by a gate envelope. Two tables shared by
// every instance through the host correct the loop length for the loss
// filter's phase delay and scale the reflection per period; a host without
// shared memory leaves both corrections off. A second line without feedback
// can be taken off the output. Period changes may crossfade over 49 samples.
#include "dwg_tables.h"
#include "mp_sdk_audio.h"
#include "qw_finite.h"
#include "qw_fm.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

class QW_DWG final : public MpBase2
{
public:
    static constexpr int kLength = 5000;
    static constexpr float kQuiet = 1e-5f;
    static constexpr int kFade = 49;

    QW_DWG()
    {
        initializePin(pinOn_);
        initializePin(pinExcitation_);
        initializePin(pinPeriod_);
        initializePin(pinMode_);
        initializePin(pinCrossfade_);
        initializePin(pinGate_);
        initializePin(pinReflection_);
        initializePin(pinDecay_);
        initializePin(pinScale_);
        initializePin(pinLoss_);
        initializePin(pinCorrect_);
        initializePin(pinSecond_);
        initializePin(pinDamping_);
        initializePin(pinReset_);
        initializePin(pinOutput_);
        setSubProcess(&QW_DWG::subProcess);
        setDamping(0.0f);
    }

    int32_t open() override
    {
        rate_ = getSampleRate();
        if (auto* host = getHost())
        {
            void* memory = nullptr;
            int32_t fill = 0;
            if (host->allocateSharedMemory(L"QW DWG PCORR TABLE", &memory, -1.0f, qw::dwg::kBytes, fill) ==
                    gmpi::MP_OK &&
                memory)
            {
                lengths_ = static_cast<float*>(memory);
                if (fill)
                    qw::dwg::fillLengths(lengths_);
            }
            memory = nullptr;
            fill = 0;
            if (host->allocateSharedMemory(L"QW DWG FBSCAL TABLE", &memory, rate_, qw::dwg::kBytes, fill) ==
                    gmpi::MP_OK &&
                memory)
            {
                scales_ = static_cast<float*>(memory);
                if (fill)
                    qw::dwg::fillScales(scales_, rate_);
            }
        }
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (pinDecay_.isUpdated())
        {
            const float v = pinDecay_.getValue() * 0.1f;
            const float d = v == v ? std::min(std::max(v, 0.0f), 1.0f) : 0.0f;
            decayStep_ = std::exp2(-24.0f * std::sqrt(d));
        }
        if (pinDamping_.isUpdated())
            setDamping(pinDamping_.getValue());
        if (pinOn_.isUpdated())
        {
            if (pinOn_.getValue())
            {
                setSubProcess(&QW_DWG::subProcess);
                pinOutput_.setStreaming(true);
            }
            else
            {
                clear();
                pinOutput_.setStreaming(false);
                setSubProcess(&QW_DWG::subProcessIdle);
            }
        }
        else if (pinExcitation_.isUpdated() && pinOn_.getValue())
        {
            setSubProcess(&QW_DWG::subProcess);
            pinOutput_.setStreaming(true);
        }
        if (pinReset_.isUpdated() && pinReset_.getValue() == 1.0f && pinOutput_.isStreaming())
            clear();
    }

    void subProcess(int n)
    {
        // The period's mode and the second line as constants of the loop: no
        // division by a period given in samples, no second read when off.
        const bool second = pinSecond_.getValue();
        if (pinMode_.getValue() == 1)
            second ? run<true, true>(n) : run<true, false>(n);
        else
            second ? run<false, true>(n) : run<false, false>(n);
    }

    void subProcessIdle(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, 0.0f); }

private:
    // A span of at most kSpan samples: the line entries it overwrites fit a
    // copy on the stack, kept in case it must run again guarded.
    static constexpr int kSpan = 256;

    template <bool FrequencyMode, bool Second> void run(int n)
    {
        const int start = blockPosition_;
        float* out = pinOutput_.getBuffer() + start;
        const qw::finite::SpanReport spans = qw::finite::runSpans<kSpan>(
            n,
            [this](int m) {
                return [this, loop = loop_, a = qw::finite::RingSpan<kSpan>(lineA_.data(), kLength, loop_.write, m),
                        b = qw::finite::RingSpan<kSpan>(lineB_.data(), kLength, loop_.write, m)] {
                    loop_ = loop;
                    a.restore(lineA_.data());
                    b.restore(lineB_.data());
                };
            },
            [&](auto guarded, int from, int m) {
                return span<FrequencyMode, Second, decltype(guarded)::value>(start + from, m);
            });
        const Loop& st = loop_;
        // A non-finite value anywhere in the loop starts it afresh. Each one
        // tested on its own: a sum of finite values near the float limit may
        // overflow, and would clear a loop that holds nothing wrong.
        using qw::finite::poisonOf;
        if (spans.poisoned || poisonOf(st.s) + poisonOf(st.eOut) + poisonOf(st.eIn) + poisonOf(st.memA[0]) +
                                      poisonOf(st.memA[1]) + poisonOf(st.memB[0]) + poisonOf(st.memB[1]) !=
                                  0.0f)
            clear();
        if (spans.ended >= 0)
        {
            std::fill(out + spans.ended + 1, out + n, 0.0f);
            pinOutput_.setStreaming(false, start + spans.ended + 1);
            setSubProcess(&QW_DWG::subProcessIdle);
        }
    }

    using Span = qw::finite::SpanReport;

    // n samples from `at` in plain float arithmetic, or Guarded: every sum
    // that input near the float limit can overflow worked out again in
    // double and saturated where its float result is not finite.
    template <bool FrequencyMode, bool Second, bool Guarded> Span span(int at, int n)
    {
        const float* excitation = pinExcitation_.getBuffer() + at;
        const float* period = pinPeriod_.getBuffer() + at;
        const float* gate = pinGate_.getBuffer() + at;
        const float* reflection = pinReflection_.getBuffer() + at;
        const float* loss = pinLoss_.getBuffer() + at;
        float* out = pinOutput_.getBuffer() + at;
        const bool crossfade = pinCrossfade_.getValue();
        const float* lengths = pinCorrect_.getValue() ? lengths_ : nullptr;
        const float* scales = pinScale_.getValue() ? scales_ : nullptr;
        const bool damping = damping_ > 0.0f;
        const bool inputStreams = pinExcitation_.isStreaming();
        const float kHz = rate_ * 0.001f;
        const float decayStep = decayStep_;
        const float* damp = damp_.data();
        float* lineA = lineA_.data();
        float* lineB = lineB_.data();
        constexpr float toColumn = float(qw::dwg::kLast) / float(qw::dwg::kLongest - 1.0);
        // The loop's state in locals: stores into the lines cannot alias them.
        Loop st = loop_;
        // The loss filter's coefficient of the last loss sample (compared as
        // bits: -0 gives a coefficient of another sign than +0).
        uint32_t lastV = 0xFFFFFFFFu;
        float g = 0.0f;
        auto setLoss = [&](float sample) {
            const float v = qw::finite::clampOrZero(sample, 0.0f, 1.0f);
            if (qw::fm::detail::bits(v) != lastV)
            {
                lastV = qw::fm::detail::bits(v);
                g = v * kHz / (v * (kHz - 48.0f) + 48.0f);
            }
        };
        // An input that is not streaming holds one value through the span:
        // loss, reflection and gate worked out from it once.
        const bool lossStreams = pinLoss_.isStreaming();
        const bool reflectionStreams = pinReflection_.isStreaming();
        const bool gateStreams = pinGate_.isStreaming();
        setLoss(loss[0]);
        const float heldQ = qw::finite::clampOrZero(reflection[0], -1.0f, 1.0f);
        const bool heldOpen = qw::finite::orZero(gate[0]) != 0.0f;
        const int w0 = st.write;
        Span r;
        for (int i = 0; i < n; ++i)
        {
            const float p = qw::finite::orZero(period[i]) * 10.0f;
            float P = FrequencyMode ? kHz / p : p;
            P = P == P ? std::min(std::max(P, 1.0f), float(kLength)) : 1.0f;
            if (lossStreams)
                setLoss(loss[i]);
            float q = reflectionStreams ? qw::finite::clampOrZero(reflection[i], -1.0f, 1.0f) : heldQ;
            float column = (P - 1.0f) * toColumn;
            if (lengths)
            {
                P = qw::dwg::bilinear(lengths, g * qw::dwg::kLast, column);
                column = (P - 1.0f) * toColumn;
            }
            if (scales && q != 0.0f)
                q = std::copysign(qw::dwg::bilinear(scales, std::fabs(q) * qw::dwg::kLast, column), q);

            // A leaky differentiator on the excitation, its leak from the period.
            const float raw = excitation[i];
            float e = raw;
            if (damping && q > 0.0f)
            {
                const int c = std::min(static_cast<int>(column), qw::dwg::kLast - 1);
                const float t = damp[c] + (damp[c + 1] - damp[c]) * (column - float(c));
                const float eOut = st.eOut, eIn = st.eIn;
                e = qw::finite::finiteOrIf<Guarded>(t * eOut + (raw - eIn), [=] {
                    return double(t) * eOut + (double(qw::finite::infinityAsNaN(raw)) - eIn);
                });
            }
            st.eIn = raw;
            st.eOut = e;

            const bool open = gateStreams ? qw::finite::orZero(gate[i]) != 0.0f : heldOpen;
            st.envelope = open ? std::min(st.envelope + 0.005f, 1.0f) : std::max(st.envelope - decayStep, 0.0f);

            if (st.fade == 0)
            {
                if (crossfade && st.current >= 0.0f && std::fabs(P - st.current) > 0.1f)
                {
                    st.next = P;
                    st.fade = kFade;
                    st.memA[1 - st.slot] = st.memB[1 - st.slot] = 0.0f;
                }
                else
                    st.current = P;
            }
            float a, b = 0.0f;
            if (st.fade > 0)
            {
                const float t = float(st.fade) * 0.02f;
                const float old = (3.0f - 2.0f * t) * t * t;
                a = qw::finite::saturatedIf<Guarded>(
                    old * read<Guarded>(lineA, st.write, st.current, st.memA[st.slot]) +
                    (1.0f - old) * read<Guarded>(lineA, st.write, st.next, st.memA[1 - st.slot]));
                if (Second)
                    b = qw::finite::saturatedIf<Guarded>(
                        old * read<Guarded>(lineB, st.write, st.current, st.memB[st.slot]) +
                        (1.0f - old) * read<Guarded>(lineB, st.write, st.next, st.memB[1 - st.slot]));
                if (--st.fade == 0)
                {
                    st.current = st.next;
                    st.slot = 1 - st.slot;
                }
            }
            else
            {
                a = read<Guarded>(lineA, st.write, st.current, st.memA[st.slot]);
                if (Second)
                    b = read<Guarded>(lineB, st.write, st.current, st.memB[st.slot]);
            }
            const float y = Second ? qw::finite::saturatedIf<Guarded>(a - 0.5f * b) : a;
            out[i] = y;

            lineB[st.write] = e;
            const float feedback = q * st.envelope;
            float written = e;
            if (feedback != 0.0f)
            {
                const float s = st.s;
                st.s = qw::finite::finiteOrIf<Guarded>((s - y) * g + y, [=] { return (double(s) - y) * g + y; });
                const float ss = st.s;
                written = qw::finite::finiteOrIf<Guarded>(e + ss * feedback, [=] { return e + double(ss) * feedback; });
            }
            lineA[st.write] = written;
            if (++st.write == kLength)
                st.write = 0;

            st.quiet = std::fabs(y) < kQuiet ? std::min(st.quiet + 1, kLength) : 0;
            if (!inputStreams && st.quiet >= kLength)
            {
                r.ended = i;
                break;
            }
        }
        loop_ = st;
        const int done = r.ended >= 0 ? r.ended + 1 : n;
        r.poisoned = !qw::finite::allFiniteInRing(lineA, kLength, w0, done) ||
                     !qw::finite::allFiniteInRing(lineB, kLength, w0, done);
        // Every step the guarded pass guards leaves a value that is not
        // finite in what is written, the output or the state.
        if constexpr (!Guarded)
        {
            using qw::finite::poisonOf;
            r.finite = !r.poisoned && qw::finite::allFinite(out, done) &&
                       poisonOf(st.s) + poisonOf(st.eOut) + poisonOf(st.memA[0]) + poisonOf(st.memA[1]) +
                               poisonOf(st.memB[0]) + poisonOf(st.memB[1]) ==
                           0.0f;
        }
        return r;
    }

    // What the loop carries from sample to sample.
    struct Loop
    {
        int write = 0;
        float current = -1.0f; // the period read now; below 0 until the first sample
        float next = 0.0f;     // the period a crossfade goes to
        int fade = 0;          // samples of crossfade left
        int slot = 0;          // memories of the current read
        float memA[2] = {}, memB[2] = {};
        float s = 0.0f;
        float eIn = 0.0f, eOut = 0.0f;
        float envelope = 0.0f;
        int quiet = 0;
    };

    // The line P samples back (1 to 5000) from the write index w: the whole
    // part read directly, the fraction by a first-order all-pass, dropped
    // when its coefficient is 0.9 or more (a fraction under 1/19).
    template <bool Guarded> static float read(const float* line, int w, float P, float& memory)
    {
        const int k = static_cast<int>(P);
        const float f = P - static_cast<float>(k);
        const float c = (1.0f - f) / (1.0f + f);
        int i0 = w - k;
        if (i0 < 0)
            i0 += kLength;
        const int i1 = i0 == 0 ? kLength - 1 : i0 - 1;
        const float m = memory, l0 = line[i0], l1 = line[i1];
        const float y =
            c >= 0.9f ? l0
                      : qw::finite::finiteOrIf<Guarded>((l0 - m) * c + l1, [=] { return (double(l0) - m) * c + l1; });
        memory = y;
        return y;
    }

    void setDamping(float k)
    {
        damping_ = k > 0.0f ? k : 0.0f; // not a number: none
        for (int c = 0; c < qw::dwg::kSize; ++c)
        {
            const double P = qw::dwg::periodOf(c);
            damp_[size_t(c)] = static_cast<float>(std::exp(-double(damping_) / (P * P)));
        }
    }

    void clear()
    {
        lineA_.fill(0.0f);
        lineB_.fill(0.0f);
        loop_ = Loop{};
    }

    BoolInPin pinOn_;
    AudioInPin pinExcitation_;
    AudioInPin pinPeriod_;
    EnumInPin pinMode_;
    BoolInPin pinCrossfade_;
    AudioInPin pinGate_;
    AudioInPin pinReflection_;
    FloatInPin pinDecay_;
    BoolInPin pinScale_;
    AudioInPin pinLoss_;
    BoolInPin pinCorrect_;
    BoolInPin pinSecond_;
    FloatInPin pinDamping_;
    FloatInPin pinReset_;
    AudioOutPin pinOutput_;

    float rate_ = 44100.0f;
    float* lengths_ = nullptr; // shared: PCORR
    float* scales_ = nullptr;  // shared: FBSCAL at this rate
    std::array<float, kLength> lineA_{};
    std::array<float, kLength> lineB_{};
    Loop loop_;
    float decayStep_ = 0.0005875f;
    float damping_ = 0.0f;
    std::array<float, qw::dwg::kSize> damp_{};
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_DWG", &gmpi::Register<QW_DWG>::withId);
}
