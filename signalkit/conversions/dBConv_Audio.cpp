// Level conversions on audio pins, sample by sample: decibels / 10 to
// volts / 10 and back. The output streams exactly when the input does.
#include "conversions.h"

namespace
{
using namespace qw::maths;
} // namespace

// 0 a in dB / 10; 1 a out V / 10.
class QW_dB2V_Audio final : public AudioFrame<1, 0, 1, Streaming::Always>
{
public:
    QW_dB2V_Audio() { setSubProcess(&QW_dB2V_Audio::subProcess); }
    void onSetPins() override { reconcileStreaming(); }
    void subProcess(int n)
    {
        map(n, [](float x) { return qw::fm::exp2Acc(belowOverflow(x * 0.5f * 3.321928f)); });
    }
};

// 0 a in V / 10; 1 a out dB / 10; -Inf for 0 or less.
class QW_V2dB_Audio final : public AudioFrame<1, 0, 1, Streaming::Always>
{
public:
    QW_V2dB_Audio() { setSubProcess(&QW_V2dB_Audio::subProcess); }
    void onSetPins() override { reconcileStreaming(); }
    void subProcess(int n)
    {
        map(n, [](float x) { return 2.0f * 0.30103f * qw::fm::log2Acc(x); });
    }
};

namespace
{
const bool registered = [] {
    registerModule<QW_dB2V_Audio>(L"QW_dB2V_Audio");
    registerModule<QW_V2dB_Audio>(L"QW_V2dB_Audio");
    return true;
}();
} // namespace
