// Comb filter with dry and wet levels: an 8192-sample feedback delay line read
// between two samples by a first-order all-pass, the delay an audio signal in
// samples (10 per unit) or as the frequency of the comb's first peak (10 Hz
// per unit). Sums that input near the float limit would overflow saturate
// there (an infinite input clears the line instead). When the input stops
// streaming the dry path is dropped and the line rings out; after 8192 consecutive quiet output samples the output is
// reported not streaming from the next sample on. The line keeps its
// contents: they are heard again when the input streams again.
#include "comb.h"
#include "mp_sdk_audio.h"
#include "qw_finite.h"

#include <algorithm>
#include <array>
#include <cmath>

class QW_CombFilter2 final : public MpBase2
{
public:
    static constexpr int kLength = 8192;
    static constexpr int kMask = kLength - 1;

    QW_CombFilter2()
    {
        initializePin(pinSignal_);
        initializePin(pinMode_);
        initializePin(pinDelay_);
        initializePin(pinFeedback_);
        initializePin(pinDry_);
        initializePin(pinWet_);
        initializePin(pinOutput_);
        setSubProcess(&QW_CombFilter2::subProcessSilence);
    }

    int32_t open() override
    {
        rate_ = getSampleRate();
        return MpBase2::open();
    }

    void onGraphStart() override
    {
        MpBase2::onGraphStart();
        pinOutput_.setStreaming(false);
    }

    void onSetPins() override
    {
        if (!pinSignal_.isUpdated())
            return;
        if (pinSignal_.isStreaming())
        {
            setSubProcess(&QW_CombFilter2::subProcess);
            pinOutput_.setStreaming(true);
        }
        else if (saveSubProcess_ == static_cast<SubProcess_ptr>(&QW_CombFilter2::subProcess))
        {
            setSubProcess(&QW_CombFilter2::subProcessShuttingDown);
            quiet_ = 0;
        }
    }

    void subProcess(int n) { run<false>(n); }
    void subProcessShuttingDown(int n) { run<true>(n); }
    void subProcessSilence(int n) { std::fill_n(pinOutput_.getBuffer() + blockPosition_, n, 0.0f); }

private:
    static float delayOf(float v, bool frequency, float rate)
    {
        const float d = frequency ? rate / (10.0f * v) : 10.0f * v;
        return qw::comb::clampDelay(d, static_cast<float>(kMask));
    }

    // A span of at most kSpan samples: the line entries it overwrites fit a
    // copy on the stack, kept in case it must run again guarded.
    static constexpr int kSpan = 256;

    template <bool ShuttingDown> void run(int n)
    {
        const int start = blockPosition_;
        float* out = pinOutput_.getBuffer() + start;
        // The delay of a delay input that is not streaming: its first sample.
        const float held = delayOf(pinDelay_.getBuffer()[start], pinMode_.getValue() == 1, rate_);
        const qw::finite::SpanReport spans = qw::finite::runSpans<kSpan>(
            n,
            [this](int m) {
                return [this, w = write_, quiet = quiet_, d = d_,
                        line = qw::finite::RingSpan<kSpan>(line_.data(), kLength, write_, m)] {
                    write_ = w;
                    quiet_ = quiet;
                    d_ = d;
                    line.restore(line_.data());
                };
            },
            [&](auto guarded, int from, int m) {
                return span<ShuttingDown, decltype(guarded)::value>(start + from, m, held);
            });

        // A non-finite value in the line or the interpolator leaves nothing
        // behind past this block.
        if (spans.poisoned || d_ - d_ != 0.0f)
        {
            line_.fill(0.0f);
            d_ = 0.0f;
        }

        if (spans.ended >= 0)
        {
            pinOutput_.setStreaming(false, start + spans.ended + 1);
            std::fill(out + spans.ended + 1, out + n, 0.0f);
            setSubProcess(&QW_CombFilter2::subProcessSilence);
            write_ = 0;
            d_ = 0.0f;
        }
    }

    using Span = qw::finite::SpanReport;

    // n samples from `at` in plain float arithmetic, or Guarded: the sums
    // that input near the float limit can overflow worked out again in
    // double and saturated where their float result is not finite. D: the
    // delay of a delay input that is not streaming.
    template <bool ShuttingDown, bool Guarded> Span span(int at, int n, float D)
    {
        const float* in = pinSignal_.getBuffer() + at;
        const float* delay = pinDelay_.getBuffer() + at;
        float* out = pinOutput_.getBuffer() + at;
        const float fb = qw::comb::clampLevel(pinFeedback_);
        const float dry = qw::comb::clampLevel(pinDry_);
        const float wet = qw::comb::clampLevel(pinWet_);
        const bool moving = pinDelay_.isStreaming();
        const bool frequency = pinMode_.getValue() == 1;
        const float rate = rate_;
        float* line = line_.data();
        const int w0 = write_;
        int w = w0;
        float d = d_;
        int quiet = quiet_;
        Span r;
        // The whole samples of the delay and the all-pass coefficient of its
        // fraction: worked out once for a delay that holds.
        int k = 0;
        float a = 0.0f;
        auto setDelay = [&k, &a](float delayNow) {
            k = static_cast<int>(delayNow);
            const float f = delayNow - static_cast<float>(k);
            a = f < 1e-5f ? 0.99999f : 1.0f - f;
        };
        setDelay(D);
        for (int i = 0; i < n; ++i)
        {
            if (moving)
                setDelay(delayOf(delay[i], frequency, rate));
            const float A = line[(w - k) & kMask], B = line[(w - k - 1) & kMask], d0 = d;
            d = qw::finite::finiteOrIf<Guarded>(qw::comb::allPass(d, a, A, B),
                                                [=] { return (static_cast<double>(A) - d0) * a + B; });
            float v;
            if constexpr (ShuttingDown)
            {
                const float y = wet * d;
                out[i] = y;
                v = fb * d;
                quiet = std::fabs(y) < qw::comb::kQuietLevel ? quiet + 1 : 0;
            }
            else
            {
                const float x = in[i];
                out[i] = qw::finite::saturatedIf<Guarded>(dry * x + wet * d);
                v = qw::finite::finiteOrIf<Guarded>(
                    x + fb * d, [=] { return qw::finite::infinityAsNaN(x) + static_cast<double>(fb) * d; });
            }
            line[w] = v;
            w = (w + 1) & kMask;
            if constexpr (ShuttingDown)
                if (quiet >= kLength)
                {
                    r.ended = i;
                    break;
                }
        }
        write_ = w;
        d_ = d;
        quiet_ = quiet;
        const int done = r.ended >= 0 ? r.ended + 1 : n;
        r.poisoned = !qw::finite::allFiniteInRing(line, kLength, w0, done);
        // Every step the guarded pass guards leaves a value that is not
        // finite in what is written, the output or the interpolator.
        if constexpr (!Guarded)
            r.finite = !r.poisoned && d - d == 0.0f && qw::finite::allFinite(out, done);
        return r;
    }

    AudioInPin pinSignal_;
    EnumInPin pinMode_;
    AudioInPin pinDelay_;
    FloatInPin pinFeedback_;
    FloatInPin pinDry_;
    FloatInPin pinWet_;
    AudioOutPin pinOutput_;

    float rate_ = 0.0f;
    std::array<float, kLength> line_{};
    int write_ = 0;
    float d_ = 0.0f;
    int quiet_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_CombFilter2", &gmpi::Register<QW_CombFilter2>::withId);
}
