// Integer control maths: arithmetic, comparison, wrapping, clipping, bitwise
// logic and sign on 32-bit signed integer control pins, computed once per pin
// change. Results wrap on overflow; division by zero gives 0.
#include "control_modules.h"

namespace
{
using namespace qw::maths;
constexpr int kInt = gmpi::MP_INT32;
} // namespace

class QW_IntAbs final : public Unary<int32_t, kInt, i32::abs>
{};
class QW_IntAdd final : public Binary<int32_t, kInt, i32::add>
{};
class QW_IntAddMany final : public AddMany<int32_t, kInt, i32::add>
{};
class QW_IntDiv final : public Binary<int32_t, kInt, i32::div>
{};
class QW_IntInvert final : public Unary<int32_t, kInt, i32::invert>
{};
class QW_IntMax final : public BinaryOption<int32_t, kInt, i32::max>
{};
class QW_IntMin final : public BinaryOption<int32_t, kInt, i32::min>
{};
class QW_IntMinMax final : public MinMax<int32_t, kInt>
{};
class QW_IntMul final : public Binary<int32_t, kInt, i32::mul>
{};
class QW_IntSub final : public Binary<int32_t, kInt, i32::sub>
{};
class QW_IntWrap final : public Binary<int32_t, kInt, i32::wrap>
{};
class QW_IntClip final : public Clip<int32_t, kInt, i32::clip>
{};
class QW_IntLogic final : public BinaryOption<int32_t, kInt, i32::logic>
{};
class QW_IntSign final : public Unary<int32_t, kInt, i32::sign>
{};

namespace
{
const bool registered = [] {
    registerModule<QW_IntAbs>(L"QW_IntAbs");
    registerModule<QW_IntAdd>(L"QW_IntAdd");
    registerModule<QW_IntAddMany>(L"QW_IntAddMany");
    registerModule<QW_IntDiv>(L"QW_IntDiv");
    registerModule<QW_IntInvert>(L"QW_IntInvert");
    registerModule<QW_IntMax>(L"QW_IntMax");
    registerModule<QW_IntMin>(L"QW_IntMin");
    registerModule<QW_IntMinMax>(L"QW_IntMinMax");
    registerModule<QW_IntMul>(L"QW_IntMul");
    registerModule<QW_IntSub>(L"QW_IntSub");
    registerModule<QW_IntWrap>(L"QW_IntWrap");
    registerModule<QW_IntClip>(L"QW_IntClip");
    registerModule<QW_IntLogic>(L"QW_IntLogic");
    registerModule<QW_IntSign>(L"QW_IntSign");
    return true;
}();
} // namespace
