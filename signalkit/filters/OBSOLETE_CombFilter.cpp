// Comb filter of the older generation: a 5000-sample delay line read between
// two samples by a first-order all-pass, the delay an audio signal in samples
// (10 per unit) or as the frequency of the comb's first peak (10 kHz per
// unit), and a feedback signal that crossfades between the input (0) and the
// delayed signal (1); the output is what goes into the line. Sums that input
// near the float limit would overflow saturate there (an infinite input clears
// the line instead). After 5000
// consecutive quiet output samples with the input static, the output is
// reported not streaming from the next sample on and the state is frozen until
// the input's streaming state changes.
#include "comb.h"
#include "mp_sdk_audio.h"
#include "qw_finite.h"

#include <algorithm>
#include <array>
#include <cmath>

class QW_CombFlt final : public MpBase2
{
public:
    static constexpr int kLength = 5000;

    QW_CombFlt()
    {
        initializePin(pinSignal_);
        initializePin(pinDelay_);
        initializePin(pinMode_);
        initializePin(pinFeedback_);
        initializePin(pinOutput_);
        setSubProcess(&QW_CombFlt::subProcess);
    }

    int32_t open() override
    {
        rate_ = getSampleRate();
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (pinSignal_.isUpdated())
        {
            pinOutput_.setStreaming(true);
            silent_ = false;
        }
    }

    void subProcess(int n)
    {
        const int start = blockPosition_;
        float* out = pinOutput_.getBuffer() + start;
        if (silent_)
        {
            std::fill_n(out, n, 0.0f);
            return;
        }
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
            [&](auto guarded, int from, int m) { return span<decltype(guarded)::value>(start + from, m); });
        if (spans.poisoned || d_ - d_ != 0.0f)
        {
            line_.fill(0.0f);
            d_ = 0.0f;
        }
        if (spans.ended >= 0)
        {
            pinOutput_.setStreaming(false, start + spans.ended + 1);
            std::fill(out + spans.ended + 1, out + n, 0.0f);
            silent_ = true;
            quiet_ = 0;
        }
    }

private:
    // A span of at most kSpan samples: the line entries it overwrites fit a
    // copy on the stack, kept in case it must run again guarded.
    static constexpr int kSpan = 256;

    using Span = qw::finite::SpanReport;

    // n samples from `at` in plain float arithmetic, or Guarded: the sums
    // that input near the float limit can overflow worked out again in
    // double and saturated where their float result is not finite.
    template <bool Guarded> Span span(int at, int n)
    {
        const float* in = pinSignal_.getBuffer() + at;
        const float* delay = pinDelay_.getBuffer() + at;
        const float* feedback = pinFeedback_.getBuffer() + at;
        float* out = pinOutput_.getBuffer() + at;
        const bool frequency = pinMode_.getValue() == 1;
        const bool inputStatic = !pinSignal_.isStreaming();
        const float scale = rate_ * 0.001f;
        float* line = line_.data();
        int w = write_;
        float d = d_;
        int quiet = quiet_;
        Span r;
        for (int i = 0; i < n; ++i)
        {
            const float v = delay[i];
            const float D = qw::comb::clampDelay(frequency ? scale / (10.0f * v) : 10.0f * v, kLength - 1.0f);
            const int k = static_cast<int>(D);
            const float a = 1.0f - (D - static_cast<float>(k));
            int ra = w - k;
            if (ra < 0)
                ra += kLength;
            const int rb = ra > 0 ? ra - 1 : kLength - 1;
            const float A = line[ra], B = line[rb], d0 = d;
            d = qw::finite::finiteOrIf<Guarded>(qw::comb::allPass(d, a, A, B),
                                                [=] { return (static_cast<double>(A) - d0) * a + B; });
            const float x = in[i];
            const float c = qw::comb::clampLevel(feedback[i]);
            const float y = qw::finite::finiteOrIf<Guarded>(
                (d - x) * c + x, [=] { return (static_cast<double>(d) - x) * c + qw::finite::infinityAsNaN(x); });
            out[i] = y;
            line[w] = y;
            quiet = std::fabs(y) < qw::comb::kQuietLevel ? quiet + 1 : 0;
            if (++w == kLength)
                w = 0;
            if (inputStatic && quiet >= kLength)
            {
                r.ended = i;
                break;
            }
        }
        write_ = w;
        d_ = d;
        quiet_ = quiet;
        // What is written is the output.
        r.poisoned = !qw::finite::allFinite(out, r.ended >= 0 ? r.ended + 1 : n);
        // Every step the guarded pass guards leaves a value that is not
        // finite in what is written or the interpolator.
        if constexpr (!Guarded)
            r.finite = !r.poisoned && d - d == 0.0f;
        return r;
    }

    AudioInPin pinSignal_;
    AudioInPin pinDelay_;
    EnumInPin pinMode_;
    AudioInPin pinFeedback_;
    AudioOutPin pinOutput_;

    float rate_ = 0.0f;
    std::array<float, kLength> line_{};
    int write_ = 0;
    float d_ = 0.0f;
    int quiet_ = 0;
    bool silent_ = false;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_CombFlt", &gmpi::Register<QW_CombFlt>::withId);
}
