// Zero-crossing detector: a pulse of 1 at each sample where the signal
// crosses zero upwards (previous sample below 0, this one above), downwards,
// or either way; a sample of exactly 0 between the signs is no crossing. The
// previous sample is kept across blocks. Once the input is static and the
// pulses are over, the output is reported not streaming at the first sample
// of its zeros.
#include "ordering.h"

namespace
{
using namespace qw::maths;
} // namespace

// 0 a in x; 1 enum direction (0 up, 1 down, 2 both; other: none); 2 a out.
class QW_ZXDet final : public AudioFrame<1, 1, 1, Streaming::OnInputChange>
{
public:
    QW_ZXDet() { setSubProcess(&QW_ZXDet::subProcess); }

    void onSetPins() override
    {
        if (in_[0].isUpdated())
            out_[0].setStreaming(true);
        if (optionUpdated(0))
            mode_ = option(0);
    }

    void subProcess(int n)
    {
        float* y = out(0);
        if (!out_[0].isStreaming())
        {
            std::fill_n(y, n, 0.0f);
            return;
        }
        switch (mode_)
        {
        case 0:
            detect(n, [](float p, float x) { return p < 0.0f && x > 0.0f; });
            break;
        case 1:
            detect(n, [](float p, float x) { return p > 0.0f && x < 0.0f; });
            break;
        case 2:
            detect(n, [](float p, float x) { return (p < 0.0f && x > 0.0f) || (p > 0.0f && x < 0.0f); });
            break;
        default:
            detect(n, [](float, float) { return false; });
            break;
        }
    }

private:
    template <class Crossing> void detect(int n, Crossing crossing)
    {
        const float* x = in(0);
        float* y = out(0);
        float p = previous_;
        int quietFrom = 0; // the first sample after the last pulse
        for (int i = 0; i < n; ++i)
        {
            const bool pulse = crossing(p, x[i]);
            y[i] = pulse ? 1.0f : 0.0f;
            quietFrom = pulse ? i + 1 : quietFrom;
            p = x[i];
        }
        previous_ = p;
        if (quietFrom < n && !in_[0].isStreaming())
            out_[0].setStreaming(false, blockPosition_ + quietFrom);
    }

    float previous_ = 0.0f;
    int mode_ = -1; // no detection before the first value
};

namespace
{
const bool registered = [] {
    registerModule<QW_ZXDet>(L"QW_ZXDet");
    return true;
}();
} // namespace
