// Frequency unit conversion on float control pins, through hertz: hertz,
// kilohertz, octave volts (5 V = 440 Hz) or wavelength in samples at the
// host's sample rate (asked at every change). Equal units pass the value
// through unchanged; every code from 3 up is the wavelength.
#include "conversions.h"

using qw::conv::Unit;

// 0 in value; 1 enum source unit; 2 enum target unit; 3 out value.
class QW_FreqConv_Float final : public MpBase2
{
public:
    QW_FreqConv_Float()
    {
        initializePin(in_);
        initializePin(source_);
        initializePin(target_);
        initializePin(out_);
    }

    void onSetPins() override
    {
        const float fs = getSampleRate();
        const int from = qw::conv::unitOf(source_), to = qw::conv::unitOf(target_);
        const float x = in_;
        if (from == to)
        {
            out_ = x;
            return;
        }
        float f;
        switch (from)
        {
        case Unit::Octave:
            f = 440.0f * qw::fm::exp2Acc(x - 5.0f);
            break;
        case Unit::KHz:
            f = x * 1000.0f;
            break;
        case Unit::Hz:
            f = x;
            break;
        default:
            f = fs / x;
            break;
        }
        switch (to)
        {
        case Unit::Octave:
            out_ = qw::fm::log2Acc(f / 440.0f) + 5.0f;
            break;
        case Unit::KHz:
            out_ = f * 0.001f;
            break;
        case Unit::Hz:
            out_ = f;
            break;
        default:
            out_ = fs / f;
            break;
        }
    }

private:
    FloatInPin in_;
    EnumInPin source_;
    EnumInPin target_;
    FloatOutPin out_;
};

namespace
{
const bool registered = [] {
    qw::maths::registerModule<QW_FreqConv_Float>(L"QW_FreqConv_Float");
    return true;
}();
} // namespace
