// Frequency unit conversion on audio pins, one routine per pair of units
// (values are tenths: 44 = 440 Hz, 0.5 = 5 V). The sample rate is read once
// in open. Every code from 3 up is the wavelength, so two such codes pass the
// signal through unchanged.
#include "conversions.h"

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
        map(n, [](float x) { return x * 1000.0f; });
    }
    void subProcessHz2Oct(int n)
    {
        map(n, [](float x) { return (qw::fm::log2Acc(x / 44.0f) + 5.0f) * 0.1f; });
    }
    void subProcessKHz2Oct(int n)
    {
        map(n, [](float x) { return (qw::fm::log2Acc(x * 1000.0f / 44.0f) + 5.0f) * 0.1f; });
    }
    void subProcessOct2Hz(int n)
    {
        map(n, [](float x) { return qw::fm::exp2Acc(10.0f * x - 5.0f) * 44.0f; });
    }
    void subProcessOct2KHz(int n)
    {
        map(n, [](float x) { return qw::fm::exp2Acc(10.0f * x - 5.0f) * 0.044f; });
    }
    void subProcessHz2WL(int n) { reciprocal(n, fs_ * 0.01f); }
    void subProcessWL2Hz(int n) { reciprocal(n, fs_ * 0.01f); }
    void subProcessKHz2WL(int n) { reciprocal(n, fs_ * 1e-5f); }
    void subProcessWL2KHz(int n) { reciprocal(n, fs_ * 1e-5f); }
    void subProcessOct2WL(int n)
    {
        const float k = fs_ / 4400.0f;
        map(n, [k](float x) { return qw::fm::exp2Acc(5.0f - 10.0f * x) * k; });
    }
    void subProcessWL2Oct(int n)
    {
        const float k = fs_ / 4400.0f;
        map(n, [k](float x) { return (qw::fm::log2Acc(k / x) + 5.0f) * 0.1f; });
    }

private:
    void reciprocal(int n, float k)
    {
        map(n, [k](float x) { return k / x; });
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
