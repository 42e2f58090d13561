// Range clipper: x limited to [lower, upper], or reflected once at each bound
// (mirror mode). Clipping applies the lower bound first, so with crossed
// bounds the output is the upper bound. A reflection beyond the float range
// is worked out in double and saturates. Until the first mode value the
// output is 0.
#include "ordering.h"
#include "qw_finite.h"

namespace
{
using namespace qw::maths;
} // namespace

// 0 a in x; 1 a in lower bound; 2 a in upper bound; 3 enum mode (0 clip,
// other mirror); 4 a out.
class QW_RngClp final : public AudioFrame<3, 1, 1, Streaming::Always>
{
public:
    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0))
            setSubProcess(option(0) != 0 ? &QW_RngClp::subProcessMirror : &QW_RngClp::subProcessClip);
    }
    void subProcessClip(int n)
    {
        map(n, [](float x, float lo, float hi) { return std::min(hi, std::max(lo, x)); });
    }
    void subProcessMirror(int n)
    {
        map(n, [](float x, float lo, float hi) { return mirror<float>(x, lo, hi); });
        const float* x = in(0);
        const float* lo = in(1);
        const float* hi = in(2);
        qw::finite::finiteOrWide(out(0), n, [x, lo, hi](int i) { return mirror<double>(x[i], lo[i], hi[i]); });
    }

private:
    template <class T> static T mirror(T x, T lo, T hi)
    {
        const T y = x < lo ? 2 * lo - x : x;
        return y > hi ? 2 * hi - y : y;
    }
};

namespace
{
const bool registered = [] {
    registerModule<QW_RngClp>(L"QW_RngClp");
    return true;
}();
} // namespace
