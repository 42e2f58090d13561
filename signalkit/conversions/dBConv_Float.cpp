// Level conversions on float control pins, computed once per pin change:
// decibels to volts and back, decibels to a linear factor and back.
#include "conversions.h"

namespace
{
using namespace qw::maths;
constexpr int kFloat = gmpi::MP_FLOAT32;
} // namespace

class QW_dB2V_Float final : public Unary<float, kFloat, qw::conv::dBToVolts>
{};
class QW_V2dB_Float final : public Unary<float, kFloat, qw::conv::voltsTodB>
{};
class QW_dB2F_Float final : public Unary<float, kFloat, qw::conv::dBToFactor>
{};
class QW_F2dB_Float final : public Unary<float, kFloat, qw::conv::factorTodB>
{};

namespace
{
const bool registered = [] {
    registerModule<QW_dB2V_Float>(L"QW_dB2V_Float");
    registerModule<QW_V2dB_Float>(L"QW_V2dB_Float");
    registerModule<QW_dB2F_Float>(L"QW_dB2F_Float");
    registerModule<QW_F2dB_Float>(L"QW_F2dB_Float");
    return true;
}();
} // namespace
