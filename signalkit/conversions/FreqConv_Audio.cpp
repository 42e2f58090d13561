// Frequency unit conversion on audio pins, one routine per pair of units
// (values are tenths: 44 = 440 Hz, 0.5 = 5 V). The sample rate is read once
// in open. Every code from 3 up is the wavelength, so two such codes pass the
// signal through unchanged. A positive input whose result lies beyond the
// float range gives the largest float; where only the float arithmetic on
// the way overflows, the result is worked out in double.
#include "conversions.h"
#include "qw_finite.h"

namespace
{
using namespace qw::maths;
} // namespace

// 0 a in; 1 enum source unit; 2 enum target unit; 3 a out.
class QW_FreqConv_Audio final : public AudioFrame<1, 2, 1, Streaming::OnInputChange>
{
public:
    int32_t open() override
    {
        fs_ = getSampleRate();
        return AudioFrame::open();
    }

    void onSetPins() override
    {
        reconcileStreaming();
        if (optionUpdated(0) || optionUpdated(1))
        {
            const auto r = [](void (QW_FreqConv_Audio::*routine)(int)) { return static_cast<SubProcess_ptr>(routine); };
            const SubProcess_ptr kRoutines[4][4] = {
                {r(&QW_FreqConv_Audio::subProcessIdent), r(&QW_FreqConv_Audio::subProcessHz2KHz),
                 r(&QW_FreqConv_Audio::subProcessHz2Oct), r(&QW_FreqConv_Audio::subProcessHz2WL)},
                {r(&QW_FreqConv_Audio::subProcessKHz2Hz), r(&QW_FreqConv_Audio::subProcessIdent),
                 r(&QW_FreqConv_Audio::subProcessKHz2Oct), r(&QW_FreqConv_Audio::subProcessKHz2WL)},
                {r(&QW_FreqConv_Audio::subProcessOct2Hz), r(&QW_FreqConv_Audio::subProcessOct2KHz),
                 r(&QW_FreqConv_Audio::subProcessIdent), r(&QW_FreqConv_Audio::subProcessOct2WL)},
                {r(&QW_FreqConv_Audio::subProcessWL2Hz), r(&QW_FreqConv_Audio::subProcessWL2KHz),
                 r(&QW_FreqConv_Audio::subProcessWL2Oct), r(&QW_FreqConv_Audio::subProcessIdent)},
            };
            setSubProcess(kRoutines[qw::conv::unitOf(option(0))][qw::conv::unitOf(option(1))]);
            reportStaticChange();
        }
    }

    void subProcessIdent(int n)
    {
        map(n, [](float x) { return x; });
    }
    void subProcessHz2KHz(int n)
    {
        map(n, [](float x) { return x * 0.001f; });
    }
    void subProcessKHz2Hz(int n)
    {
        map(n, [](float x) { return qw::finite::saturated(x * 1000.0f); });
    }
    void subProcessHz2Oct(int n)
    {
        map(n, [](float x) { return (qw::fm::log2Acc(x / 44.0f) + 5.0f) * 0.1f; });
    }
    void subProcessKHz2Oct(int n)
    {
        map(n, [](float x) {
            return aboveFloat((qw::fm::log2Acc(x * 1000.0f / 44.0f) + 5.0f) * 0.1f, x,
                              [x] { return (std::log2(x * (1000.0 / 44.0)) + 5.0) * 0.1; });
        });
    }
    void subProcessOct2Hz(int n)
    {
        map(n, [](float x) { return qw::finite::saturated(qw::fm::exp2Acc(10.0f * x - 5.0f) * 44.0f); });
    }
    void subProcessOct2KHz(int n)
    {
        map(n, [](float x) {
            return qw::finite::finiteOr(qw::fm::exp2Acc(10.0f * x - 5.0f) * 0.044f,
                                        [x] { return std::exp2(10.0 * x - 5.0) * 0.044; });
        });
    }
    void subProcessHz2WL(int n) { reciprocal(n, fs_ * 0.01f); }
    void subProcessWL2Hz(int n) { reciprocal(n, fs_ * 0.01f); }
    void subProcessKHz2WL(int n) { reciprocal(n, fs_ * 1e-5f); }
    void subProcessWL2KHz(int n) { reciprocal(n, fs_ * 1e-5f); }
    void subProcessOct2WL(int n)
    {
        const float k = fs_ / 4400.0f;
        map(n, [k](float x) {
            return qw::finite::finiteOr(qw::fm::exp2Acc(5.0f - 10.0f * x) * k,
                                        [x, k] { return std::exp2(5.0 - 10.0 * x) * k; });
        });
    }
    void subProcessWL2Oct(int n)
    {
        const float k = fs_ / 4400.0f;
        map(n, [k](float x) {
            return aboveFloat((qw::fm::log2Acc(k / x) + 5.0f) * 0.1f, x,
                              [x, k] { return (std::log2(k / static_cast<double>(x)) + 5.0) * 0.1; });
        });
    }

private:
    // k / x; 0 or less keeps what IEEE division gives.
    void reciprocal(int n, float k)
    {
        map(n, [k](float x) { return x > 0.0f ? qw::finite::saturated(k / x) : k / x; });
    }

    // y, a logarithm of a quotient of the positive input x that overflowed
    // a float on the way (+infinity), worked out by wide() in double; for x
    // of 0 or less y stays (-infinity or NaN, or +infinity for a wavelength of 0).
    template <class Wide> static float aboveFloat(float y, float x, Wide wide)
    {
        return y == HUGE_VALF && x > 0.0f ? qw::finite::narrowed(wide()) : y;
    }

    float fs_ = 0.0f;
};

namespace
{
const bool registered = [] {
    registerModule<QW_FreqConv_Audio>(L"QW_FreqConv_Audio");
    return true;
}();
} // namespace
