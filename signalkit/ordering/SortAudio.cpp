// Sorting of audio samples: at every sample the host's audio inputs are
// sorted by bubble sort (passes from the front, neighbours out of order
// swapped; ascending, or descending when the bool is true) and the j-th value
// goes to the j-th output; outputs beyond the number of inputs get 0. A swap
// is a minimum and a maximum, so the passes are a fixed network that runs
// over a chunk of samples at a time.
#include "ordering.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// 0 in bool descending; then the host's audio pins, inputs and outputs.
class QW_SortAudio final : public qw::ordering::HostPinsModule
{
public:
    QW_SortAudio()
    {
        initializePin(descending_);
        setSubProcess(&QW_SortAudio::subProcess);
    }

    int32_t open() override
    {
        takeHostPins(gmpi::MP_AUDIO, ins_, &outs_);
        rows_.resize(ins_.size() * kChunk);
        return MpBase2::open();
    }

    void onSetPins() override
    {
        bool any = false;
        for (auto& p : ins_)
            any |= p->isStreaming();
        for (auto& p : outs_)
            p->setStreaming(any);
    }

    void subProcess(int n)
    {
        for (int done = 0; done < n; done += kChunk)
        {
            const int m = std::min(kChunk, n - done);
            if (descending_)
                sortChunk<true>(blockPosition_ + done, m);
            else
                sortChunk<false>(blockPosition_ + done, m);
        }
    }

private:
    static constexpr int kChunk = 64;

    // Neighbours put in order sample by sample: swapped when out of order
    // (a NaN compares false and stays). The SSE minimum and maximum make
    // exactly these choices, NaN included.
    template <bool Descending> static void compareSwap(float* __restrict a, float* __restrict b, int m)
    {
        int i = 0;
#if defined(__SSE2__)
        for (; i + 4 <= m; i += 4)
        {
            const __m128 x = _mm_loadu_ps(a + i), y = _mm_loadu_ps(b + i);
            if constexpr (Descending)
            {
                _mm_storeu_ps(a + i, _mm_max_ps(y, x)); // y > x ? y : x
                _mm_storeu_ps(b + i, _mm_min_ps(x, y)); // x < y ? x : y
            }
            else
            {
                _mm_storeu_ps(a + i, _mm_min_ps(y, x)); // y < x ? y : x
                _mm_storeu_ps(b + i, _mm_max_ps(x, y)); // x > y ? x : y
            }
        }
#endif
        for (; i < m; ++i)
        {
            const float x = a[i], y = b[i];
            if constexpr (Descending)
            {
                a[i] = x < y ? y : x;
                b[i] = x < y ? x : y;
            }
            else
            {
                a[i] = y < x ? y : x;
                b[i] = y < x ? x : y;
            }
        }
    }

    template <bool Descending> void sortChunk(int start, int m)
    {
        const size_t count = ins_.size();
        for (size_t k = 0; k < count; ++k)
            std::copy_n(ins_[k]->getBuffer() + start, m, &rows_[k * kChunk]);
        for (size_t pass = 0; pass + 1 < count; ++pass)
            for (size_t j = 0; j + 1 < count - pass; ++j)
                compareSwap<Descending>(&rows_[j * kChunk], &rows_[(j + 1) * kChunk], m);
        for (size_t j = 0; j < outs_.size(); ++j)
        {
            float* out = outs_[j]->getBuffer() + start;
            if (j < count)
                std::copy_n(&rows_[j * kChunk], m, out);
            else
                std::fill_n(out, m, 0.0f);
        }
    }

    BoolInPin descending_;
    std::vector<std::unique_ptr<AudioInPin>> ins_;
    std::vector<std::unique_ptr<AudioOutPin>> outs_;
    std::vector<float> rows_; // kChunk samples per input
};

namespace
{
const bool registered = [] {
    qw::maths::registerModule<QW_SortAudio>(L"QW_SortAudio");
    return true;
}();
} // namespace
