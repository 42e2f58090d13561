// Harmonic generator: output k is half the Chebyshev polynomial of the first
// kind of order k + 1 at 2x, so an input of amplitude 0.5 gives harmonic
// k + 1 at amplitude 0.5. The host makes as many outputs as the user wires;
// the input is not limited.
#include "shapers.h"

#include "qw_finite.h"

#include <algorithm>
#include <memory>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

class QW_Chebyshev final : public MpBase2
{
public:
    QW_Chebyshev() { initializePin(pinIn_); }

    int32_t open() override
    {
        for (int id : hostPinIds(gmpi::MP_OUT, gmpi::MP_AUDIO))
        {
            outputs_.push_back(std::make_unique<AudioOutPin>());
            initializePin(id, *outputs_.back());
        }
        buffers_.assign(outputs_.size(), nullptr);
        if (!outputs_.empty())
            setSubProcess(&QW_Chebyshev::subProcess);
        return MpBase2::open();
    }

    void onSetPins() override
    {
        if (pinIn_.isUpdated())
            for (auto& out : outputs_)
                out->setStreaming(pinIn_.isStreaming());
    }

    // Eight samples at a time, output by output, each sample's recurrence
    // held in vector registers: the same float operations, in the same
    // order, as one sample at a time.
    void subProcess(int sampleFrames)
    {
        const float* x = pinIn_.getBuffer() + blockPosition_;
        const size_t n = outputs_.size();
        float** out = buffers_.data();
        for (size_t k = 0; k < n; ++k)
            out[k] = outputs_[k]->getBuffer() + blockPosition_;
        int i = 0;
#if defined(__SSE2__)
        const __m128 two = _mm_set1_ps(2.0f), half = _mm_set1_ps(0.5f), one = _mm_set1_ps(1.0f);
        for (; i + 8 <= sampleFrames; i += 8)
        {
            const __m128 y0 = _mm_mul_ps(two, _mm_loadu_ps(x + i));
            const __m128 y1 = _mm_mul_ps(two, _mm_loadu_ps(x + i + 4));
            const __m128 t0 = _mm_mul_ps(two, y0), t1 = _mm_mul_ps(two, y1);
            __m128 p0 = one, p1 = one, c0 = y0, c1 = y1;
            _mm_storeu_ps(out[0] + i, _mm_mul_ps(y0, half));
            _mm_storeu_ps(out[0] + i + 4, _mm_mul_ps(y1, half));
            for (size_t k = 1; k < n; ++k)
            {
                const __m128 n0 = _mm_sub_ps(_mm_mul_ps(t0, c0), p0);
                const __m128 n1 = _mm_sub_ps(_mm_mul_ps(t1, c1), p1);
                _mm_storeu_ps(out[k] + i, _mm_mul_ps(n0, half));
                _mm_storeu_ps(out[k] + i + 4, _mm_mul_ps(n1, half));
                p0 = c0;
                p1 = c1;
                c0 = n0;
                c1 = n1;
            }
        }
#endif
        for (; i < sampleFrames; ++i)
        {
            const float y = 2.0f * x[i];
            const float twoY = 2.0f * y;
            float prev = 1.0f, c = y;
            out[0][i] = c * 0.5f;
            for (size_t k = 1; k < n; ++k)
            {
                const float next = twoY * c - prev;
                out[k][i] = next * 0.5f;
                prev = c;
                c = next;
            }
        }
        // An order that overflowed leaves every higher one not finite, so
        // the highest order's span says whether the span needs the wide pass.
        if (__builtin_expect(!qw::finite::allFinite(out[n - 1], sampleFrames), 0))
            saturate(x, out, n, sampleFrames);
    }

    // The outputs that are not finite, worked out again in double and
    // narrowed: beyond the float range, the largest float of the sign the
    // polynomial has there. The double recurrence is held within +-1e300, so
    // it keeps its sign instead of reaching infinity minus infinity.
    [[gnu::noinline, gnu::cold]] static void saturate(const float* x, float** out, size_t n, int sampleFrames)
    {
        constexpr double lim = 1e300;
        for (int i = 0; i < sampleFrames; ++i)
        {
            const double y = 2.0 * x[i];
            const double twoY = 2.0 * y;
            double prev = 1.0, c = std::min(std::max(y, -lim), lim);
            for (size_t k = 0; k < n; ++k)
            {
                if (k > 0)
                {
                    const double next = std::min(std::max(twoY * c - prev, -lim), lim);
                    prev = c;
                    c = next;
                }
                float& o = out[k][i];
                if (!(std::fabs(o) <= qw::finite::kLargest))
                    o = qw::finite::narrowed(c * 0.5);
            }
        }
    }

private:
    AudioInPin pinIn_;
    std::vector<std::unique_ptr<AudioOutPin>> outputs_;
    std::vector<float*> buffers_; // the outputs' buffers at the span's start
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_Chebyshev", &gmpi::Register<QW_Chebyshev>::withId);
}
