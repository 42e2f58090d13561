// Sorting of audio samples: at every sample the host's audio inputs are
// sorted by bubble sort (passes from the front, neighbours out of order
// swapped; ascending, or descending when the bool is true) and the j-th value
// goes to the j-th output; outputs beyond the number of inputs get 0. A swap
// is a minimum and a maximum, so the passes are a fixed network that runs
// over a chunk of samples at a time.
#include "ordering.h"

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

    template <bool Descending> void sortChunk(int start, int m)
    {
        const size_t count = ins_.size();
        for (size_t k = 0; k < count; ++k)
            std::copy_n(ins_[k]->getBuffer() + start, m, &rows_[k * kChunk]);
        for (size_t pass = 0; pass + 1 < count; ++pass)
            for (size_t j = 0; j + 1 < count - pass; ++j)
            {
                float* a = &rows_[j * kChunk];
                float* b = a + kChunk;
                for (int i = 0; i < m; ++i)
                {
                    // Swapped when out of order; NaN compares false and stays.
                    const float x = a[i], y = b[i];
                    const bool swap = Descending ? x < y : x > y;
                    a[i] = swap ? y : x;
                    b[i] = swap ? x : y;
                }
            }
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
