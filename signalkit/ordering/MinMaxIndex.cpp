// The minimum and maximum of the host's audio inputs at every sample, with
// the index of the input that holds each (times 0.1). Input 0 sets both;
// a later input replaces one only when strictly beyond it, so the lowest
// index wins ties and a NaN is passed over (except on input 0). With no
// inputs the last values repeat (0 at first).
#include "ordering.h"

// 0 out minimum; 1 out index of the minimum x 0.1; 2 out maximum; 3 out
// index of the maximum x 0.1; then the host's audio inputs, each under its
// position in the host's list.
class QW_MinMaxIndex final : public qw::ordering::HostPinsModule
{
public:
    QW_MinMaxIndex()
    {
        for (auto& p : outs_)
            initializePin(p);
        setSubProcess(&QW_MinMaxIndex::subProcess);
    }

    int32_t open() override
    {
        takeHostInputsByPosition(gmpi::MP_AUDIO, ins_);
        return MpBase2::open();
    }

    void onSetPins() override
    {
        bool any = false;
        for (auto& p : ins_)
            any |= p->isStreaming();
        for (auto& p : outs_)
            p.setStreaming(any);
        setSleep(!any);
    }

    void subProcess(int n)
    {
        float* lo = outs_[0].getBuffer() + blockPosition_;
        float* loIndex = outs_[1].getBuffer() + blockPosition_;
        float* hi = outs_[2].getBuffer() + blockPosition_;
        float* hiIndex = outs_[3].getBuffer() + blockPosition_;
        if (ins_.empty())
        {
            std::fill_n(lo, n, last_[0]);
            std::fill_n(loIndex, n, last_[1]);
            std::fill_n(hi, n, last_[2]);
            std::fill_n(hiIndex, n, last_[3]);
            return;
        }
        const float* first = ins_[0]->getBuffer() + blockPosition_;
        std::copy_n(first, n, lo);
        std::copy_n(first, n, hi);
        std::fill_n(loIndex, n, 0.0f);
        std::fill_n(hiIndex, n, 0.0f);
        for (size_t k = 1; k < ins_.size(); ++k)
        {
            const float* x = ins_[k]->getBuffer() + blockPosition_;
            const float index = 0.1f * static_cast<float>(k);
            for (int i = 0; i < n; ++i)
            {
                const bool above = x[i] > hi[i], below = x[i] < lo[i];
                hi[i] = above ? x[i] : hi[i];
                hiIndex[i] = above ? index : hiIndex[i];
                lo[i] = below ? x[i] : lo[i];
                loIndex[i] = below ? index : loIndex[i];
            }
        }
        if (n > 0)
            last_ = {lo[n - 1], loIndex[n - 1], hi[n - 1], hiIndex[n - 1]};
    }

private:
    AudioOutPin outs_[4];
    std::vector<std::unique_ptr<AudioInPin>> ins_;
    std::array<float, 4> last_{};
};

namespace
{
const bool registered = [] {
    qw::maths::registerModule<QW_MinMaxIndex>(L"QW_MinMaxIndex");
    return true;
}();
} // namespace
