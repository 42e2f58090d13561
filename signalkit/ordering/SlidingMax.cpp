// Sliding-window maximum: the output is the largest of 0 and the last L
// values of x (or of |x|), L from 2 to 2000 samples. A new length starts an
// empty window (all zeros). The window is a ring; the maximum is scanned
// again only when the value that held it leaves. After the input stops, the
// output streams for L more samples (until the window holds only the
// constant) and is then reported not streaming at that sample.
#include "ordering.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// 0 a in x; 1 int window length in samples; 2 bool absolute values; 3 a out.
class QW_SlidingMax final : public MpBase2
{
public:
    static constexpr int kRing = 2000;

    QW_SlidingMax()
    {
        initializePin(in_);
        initializePin(length_);
        initializePin(absolute_);
        initializePin(out_);
        setSubProcess(&QW_SlidingMax::subProcess);
    }

    void onSetPins() override
    {
        bool restart = false;
        if (length_.isUpdated())
        {
            const int v = length_;
            windowLength_ = v < 3 ? 2 : std::min(v, kRing);
            pos_ = 0;
            max_ = 0.0f;
            ring_.fill(0.0f);
            restart = true;
        }
        restart |= absolute_.isUpdated();
        if (in_.isUpdated() || (restart && !in_.isStreaming()))
        {
            // A new constant, length or rectification on a static input
            // changes the output until the window has filled again.
            out_.setStreaming(true);
            tail_ = in_.isStreaming() ? 0 : windowLength_;
        }
    }

    void subProcess(int n)
    {
        if (absolute_)
            run<true>(n);
        else
            run<false>(n);
    }

private:
    template <bool Absolute> void run(int n)
    {
        const float* x = in_.getBuffer() + blockPosition_;
        float* y = out_.getBuffer() + blockPosition_;
        const int length = windowLength_;
        float max = max_;
        int pos = pos_;
        for (int i = 0; i < n; ++i)
        {
            float v = Absolute ? std::fabs(x[i]) : x[i];
            // +Inf enters as the largest float and NaN as 0, so the window
            // never holds a value that is not finite (the maximum is never
            // below 0, so -Inf can stay).
            if (!(v <= FLT_MAX))
                v = v > 0.0f ? FLT_MAX : 0.0f;
            const float old = ring_[pos];
            ring_[pos] = v;
            if (v >= max)
                max = v;
            else if (old == max)
                max = scan(length);
            y[i] = max;
            if (++pos == length)
                pos = 0;
            if (tail_ > 0 && --tail_ == 0)
                out_.setStreaming(false, blockPosition_ + i);
        }
        max_ = max;
        pos_ = pos;
    }

    // The largest of 0 and the first `length` ring entries. The ring holds
    // no NaN, so running maxima over lanes (combined at the end) give the
    // same value as one.
    float scan(int length) const
    {
        const float* r = ring_.data();
        int k = 0;
        float m = 0.0f;
#if defined(__SSE2__)
        __m128 a = _mm_setzero_ps(), b = _mm_setzero_ps();
        for (; k + 8 <= length; k += 8)
        {
            a = _mm_max_ps(_mm_loadu_ps(r + k), a);
            b = _mm_max_ps(_mm_loadu_ps(r + k + 4), b);
        }
        float lanes[4];
        _mm_storeu_ps(lanes, _mm_max_ps(a, b));
        for (float v : lanes)
            m = v > m ? v : m;
#endif
        for (; k < length; ++k)
            m = r[k] > m ? r[k] : m;
        return m;
    }

    AudioInPin in_;
    IntInPin length_;
    BoolInPin absolute_;
    AudioOutPin out_;
    std::array<float, kRing> ring_{};
    int windowLength_ = 2;
    int pos_ = 0;
    float max_ = 0.0f;
    int tail_ = 0;
};

namespace
{
const bool registered = [] {
    qw::maths::registerModule<QW_SlidingMax>(L"QW_SlidingMax");
    return true;
}();
} // namespace
