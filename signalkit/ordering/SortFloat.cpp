// Sorting of float control values: the host's float inputs, sorted by a
// stable merge sort (ascending, or descending when the bool is true), go to
// the host's float outputs in order. Outputs beyond the number of inputs are
// left as they are.
#include "ordering.h"

// 0 in bool descending; then the host's float pins, inputs and outputs.
class QW_SortFloat final : public qw::ordering::HostPinsModule
{
public:
    QW_SortFloat() { initializePin(descending_); }

    int32_t open() override
    {
        takeHostPins(gmpi::MP_FLOAT32, ins_, &outs_);
        values_.resize(ins_.size());
        scratch_.resize(ins_.size());
        return MpBase2::open();
    }

    void onSetPins() override
    {
        const size_t n = ins_.size();
        for (size_t k = 0; k < n; ++k)
            values_[k] = *ins_[k];
        if (descending_)
            mergeSort(values_.data(), scratch_.data(), n, [](float a, float b) { return a > b; });
        else
            mergeSort(values_.data(), scratch_.data(), n, [](float a, float b) { return a < b; });
        for (size_t j = 0; j < std::min(n, outs_.size()); ++j)
            *outs_[j] = values_[j];
    }

private:
    // Bottom-up merge sort of v[0, n) through scratch of the same size; an
    // element moves before an earlier one only when it comes strictly first,
    // so equal values (and NaN, which compares false) keep their order.
    template <class Before> static void mergeSort(float* v, float* scratch, size_t n, Before before)
    {
        float* from = v;
        float* to = scratch;
        for (size_t width = 1; width < n; width *= 2)
        {
            for (size_t lo = 0; lo < n; lo += 2 * width)
            {
                const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
                size_t a = lo, b = mid, o = lo;
                while (a < mid && b < hi)
                    to[o++] = before(from[b], from[a]) ? from[b++] : from[a++];
                while (a < mid)
                    to[o++] = from[a++];
                while (b < hi)
                    to[o++] = from[b++];
            }
            std::swap(from, to);
        }
        if (from != v)
            std::copy(from, from + n, v);
    }

    BoolInPin descending_;
    std::vector<std::unique_ptr<FloatInPin>> ins_;
    std::vector<std::unique_ptr<FloatOutPin>> outs_;
    std::vector<float> values_;
    std::vector<float> scratch_;
};

namespace
{
const bool registered = [] {
    qw::maths::registerModule<QW_SortFloat>(L"QW_SortFloat");
    return true;
}();
} // namespace
