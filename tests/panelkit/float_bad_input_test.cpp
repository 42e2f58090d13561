// Hostile values on the float arithmetic interface modules: NaN, infinities,
// signed zeros, subnormals and the float range's ends on every float pin, the
// ends of the integer range on every mode and unit pin. Results are the IEEE
// values of each module's arithmetic; nothing throws, keeps sending or turns
// a NaN into an integer (the sanitizers stop the test at such a conversion).
#include "arith_rows.h"
#include "mp_sdk_common.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

namespace
{
using namespace arith;

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kSub = std::numeric_limits<float>::denorm_min();

const wchar_t* const kFamily[] = {
    L"QW_GUIFloatAbs",    L"QW_GUIFloatAdd",    L"QW_GUIFloatSub",     L"QW_GUIFloatMul",      L"QW_GUIFloatDiv",
    L"QW_GUIFloatInvert", L"QW_GUIFloatSqrt",   L"QW_GUIFloatExp",     L"QW_GUIFloatLog",      L"QW_GUIFloatPow",
    L"QW_GUIFloatCos",    L"QW_GUIFloatSin",    L"QW_GUIFloatRound",   L"QW_GUIFloatFrac",     L"QW_GUIFloatRngScal2",
    L"QW_GUIFloatMin",    L"QW_GUIFloatMax",    L"QW_GUIFloatWrap",    L"QW_GUIFloatClip",     L"QW_GUIFloatP2C",
    L"QW_GUIFloatC2P",    L"QW_GUIFloatRadius", L"QW_GUIFloatAngle",   L"QW_GUIFloatAverageL", L"QW_GUIFloatAverageR",
    L"QW_GUIFloatXFade",  L"QW_GUIFloatTan",    L"QW_GUIFloatRngScal",
};

const float kHostileFloats[] = {kNaN,  -kNaN,       kInf,    -kInf,    0.0f,    -0.0f,    kSub,
                                -kSub, FLT_MIN / 4, FLT_MAX, -FLT_MAX, 3.4e38f, -3.4e38f, 1.0f};
const int32_t kHostileInts[] = {INT_MIN, INT_MAX, -1, 0, 1, 2, 3};

// Every module, under every echo of the host, with its switches on: each
// hostile value on each pin in turn, then a seeded random run of them. The
// module settles after each value.
TEST(FloatFamilyBadInput, EveryPinEveryHostileValueSettles)
{
    for (const wchar_t* id : kFamily)
        for (auto echo : kEchoModes)
        {
            SCOPED_TRACE(gmpi_sdk::toUtf8(id) + ", " + echoName(echo));
            qwhost::GuiHost host;
            host.echo = echo;
            auto g = host.create(bundle("panelkit"), id);
            ASSERT_TRUE(g->settleEchoes());
            std::vector<std::pair<int, Bytes>> values;
            for (int pin = 0; pin < g->pinCount(); ++pin)
            {
                const int type = g->pinInfo(pin).datatype;
                if (type == gmpi::MP_BOOL)
                {
                    g->setBool(pin, true);
                    ASSERT_TRUE(g->settleEchoes());
                }
                else if (type == gmpi::MP_FLOAT32)
                    for (float f : kHostileFloats)
                        values.push_back({pin, f32(f)});
                else
                    for (int32_t i : kHostileInts)
                        values.push_back({pin, i32(i)});
            }
            uint64_t state = 40;
            auto next = [&] {
                state = state * 6364136223846793005ULL + 1442695040888963407ULL;
                return static_cast<size_t>(state >> 33);
            };
            const size_t ordered = values.size();
            for (size_t k = 0; k < ordered + 400; ++k)
            {
                const auto& [pin, bytes] = values[k < ordered ? k : next() % ordered];
                g->set(pin, bytes.data(), static_cast<int>(bytes.size()));
                if (echo == qwhost::Echo::Later)
                {
                    ASSERT_TRUE(g->settleEchoes()) << "value " << k;
                }
                ASSERT_EQ(g->pendingEchoes(), 0u) << "value " << k;
            }
        }
}

// One hostile case: pins stored first (setPin alone), the result pins marked,
// then one value delivered; the values it sends, by the IEEE rules.
struct Case
{
    const wchar_t* id;
    std::vector<std::pair<int, Bytes>> stored;
    std::vector<int> marked;
    int pin;
    Bytes value;
    UiSends sends;
};

void run(const Case& c)
{
    UiTable t{c.id};
    t.start = false;
    for (auto& [pin, bytes] : c.stored)
        t.rows.push_back(setOnly(pin, bytes));
    for (int pin : c.marked)
        t.rows.push_back(mark(pin));
    t.rows.push_back(deliver(c.pin, c.value, c.sends));
    runUiTable(t);
}

TEST(FloatFamilyBadInput, IeeeResults)
{
    const double inf = kInf, nan = kNaN;
    // One-operand functions: operand 0, copies 1 and 2, mode 3 (switch 4),
    // or switch 3 without a mode.
    const std::vector<int> c12 = {1, 2};
    auto fn = [&](const wchar_t* id, int mode, float x, double r, double tol = 0) {
        std::vector<std::pair<int, Bytes>> stored;
        if (mode != INT_MIN + 1)
            stored.push_back({3, i32(mode)});
        return Case{id, stored, c12, 0, f32(x), copies(1, 2, r, tol)};
    };
    // Inverse of r from the right copy into the marked operand.
    auto back = [&](const wchar_t* id, int mode, float r, double x, double tol = 0) {
        std::vector<std::pair<int, Bytes>> stored = {{mode == INT_MIN + 1 ? 3 : 4, b8(true)}};
        if (mode != INT_MIN + 1)
            stored.push_back({3, i32(mode)});
        return Case{id, stored, {0}, 2, f32(r), one(0, x, tol)};
    };
    // Two operands: 0 and 1, copies 2 and 3.
    auto op = [&](const wchar_t* id, float a, float b, double r) {
        return Case{id, {{0, f32(a)}}, {2, 3}, 1, f32(b), copies(2, 3, r)};
    };
    constexpr int none = INT_MIN + 1;
    const double remainder1e38 = std::fmod(double(1e38f), double(0.1f)); // exact
    const Case cases[] = {
        fn(L"QW_GUIFloatAbs", none, kNaN, nan),
        fn(L"QW_GUIFloatAbs", none, -kInf, inf),
        fn(L"QW_GUIFloatAbs", none, -3.4e38f, 3.4e38f),
        fn(L"QW_GUIFloatAbs", none, -kSub, kSub),
        fn(L"QW_GUIFloatInvert", none, kInf, -inf),
        fn(L"QW_GUIFloatSqrt", none, -kInf, 0),
        fn(L"QW_GUIFloatSqrt", none, kInf, inf),
        fn(L"QW_GUIFloatSqrt", none, -kSub, 0),
        fn(L"QW_GUIFloatSqrt", none, kSub, std::sqrt(double(kSub)), 1e-28),
        fn(L"QW_GUIFloatSqrt", none, kNaN, nan),
        fn(L"QW_GUIFloatFrac", none, kInf, nan),
        fn(L"QW_GUIFloatFrac", none, 3.4e38f, 0),
        fn(L"QW_GUIFloatFrac", none, -kSub, -kSub),
        fn(L"QW_GUIFloatRound", 1, 3.4e38f, 3.4e38f),
        fn(L"QW_GUIFloatRound", 1, kNaN, nan),
        fn(L"QW_GUIFloatRound", INT_MAX, -kSub, 0),
        fn(L"QW_GUIFloatRound", 0, -kInf, -inf),
        fn(L"QW_GUIFloatExp", 0, 3.4e38f, inf),
        fn(L"QW_GUIFloatExp", 0, -kInf, 0),
        fn(L"QW_GUIFloatExp", 1, kNaN, nan),
        fn(L"QW_GUIFloatExp", 0, 128, inf),
        fn(L"QW_GUIFloatLog", 0, -0.0f, -inf),
        fn(L"QW_GUIFloatLog", 0, kInf, inf),
        fn(L"QW_GUIFloatLog", 1, -kInf, -inf),
        fn(L"QW_GUIFloatLog", 0, kSub, -149),
        fn(L"QW_GUIFloatCos", 1, kInf, nan),
        fn(L"QW_GUIFloatCos", 2, 3.4e38f, nan),
        fn(L"QW_GUIFloatCos", 0, 3.4e38f, std::cos(double(3.4e38f)), 1e-6),
        fn(L"QW_GUIFloatSin", INT_MIN, -kInf, nan),
        back(L"QW_GUIFloatExp", 0, -0.0f, -inf),
        back(L"QW_GUIFloatExp", 1, kInf, inf),
        back(L"QW_GUIFloatExp", 2, kNaN, nan),
        back(L"QW_GUIFloatCos", 1, kNaN, nan),
        back(L"QW_GUIFloatCos", 1, kInf, 0),
        back(L"QW_GUIFloatSin", 2, -kInf, 0),
        back(L"QW_GUIFloatSqrt", none, -3.4e38f, inf),
        back(L"QW_GUIFloatLog", INT_MAX, 3.4e38f, inf),
        op(L"QW_GUIFloatAdd", 3.4e38f, 3.4e38f, inf),
        op(L"QW_GUIFloatAdd", kInf, -kInf, nan),
        op(L"QW_GUIFloatSub", kInf, kInf, nan),
        op(L"QW_GUIFloatMul", 0, kInf, nan),
        op(L"QW_GUIFloatDiv", 1, -0.0f, -inf),
        op(L"QW_GUIFloatDiv", kSub, 3.4e38f, 0),
        op(L"QW_GUIFloatDiv", 3.4e38f, kSub, inf),
        op(L"QW_GUIFloatPow", kNaN, 3, nan),
        op(L"QW_GUIFloatPow", 0, -1, inf),
        op(L"QW_GUIFloatPow", kInf, 0, 1),
        op(L"QW_GUIFloatPow", -kInf, 2, 0),
        // Pow backwards with exponent 0: the root by 1 / 0.
        {L"QW_GUIFloatPow", {{4, b8(true)}, {1, f32(0)}}, {0}, 3, f32(2), one(0, inf)},
        {L"QW_GUIFloatPow", {{4, b8(true)}, {1, f32(0)}}, {0}, 3, f32(1), one(0, 1)},
        // Tan: switch 0, unit 1, angle 2, copies 3 and 4 (left first).
        {L"QW_GUIFloatTan", {{1, i32(1)}}, {3, 4}, 2, f32(kNaN), {near(3, nan), near(4, nan)}},
        {L"QW_GUIFloatTan", {{1, i32(INT_MAX)}}, {3, 4}, 2, f32(kInf), {near(3, nan), near(4, nan)}},
        {L"QW_GUIFloatTan", {{1, i32(1)}}, {3, 4}, 2, f32(3.4e38f), {near(3, 0), near(4, 0)}},
        {L"QW_GUIFloatTan", {{0, b8(true)}, {1, i32(1)}}, {2}, 4, f32(kInf), one(2, 90, 1e-5)},
        // Range mapping: value 0, ranges 1-4, copies 5 and 6.
        {L"QW_GUIFloatRngScal", {{1, f32(kNaN)}, {2, f32(kNaN)}, {4, f32(1)}}, {5, 6}, 0, f32(1), copies(5, 6, nan)},
        {L"QW_GUIFloatRngScal", {{2, f32(1)}, {4, f32(3.4e38f)}}, {5, 6}, 0, f32(3.4e38f), copies(5, 6, inf)},
        {L"QW_GUIFloatRngScal2", {{4, f32(1)}, {6, f32(10)}}, {7, 8}, 2, f32(-kInf), copies(7, 8, -inf)},
        // Wrap: value 0, period 1, copies 2 and 3: the exact remainder, even
        // where the value divided by the period overflows.
        {L"QW_GUIFloatWrap", {{1, f32(0.1f)}}, {2, 3}, 0, f32(1e38f), copies(2, 3, remainder1e38)},
        {L"QW_GUIFloatWrap", {{1, f32(kSub)}}, {2, 3}, 0, f32(-1), copies(2, 3, 0)},
        {L"QW_GUIFloatWrap", {{1, f32(1)}}, {2, 3}, 0, f32(kInf), copies(2, 3, nan)},
        {L"QW_GUIFloatWrap", {{1, f32(kNaN)}}, {2, 3}, 0, f32(1), copies(2, 3, nan)},
        {L"QW_GUIFloatWrap", {{1, f32(-kInf)}}, {2, 3}, 0, f32(1), copies(2, 3, 0)},
        // Clip: value 0, limits 1 and 2, copies 3 and 4, clip mode 5.
        {L"QW_GUIFloatClip", {{1, f32(kNaN)}, {2, f32(1)}, {5, i32(2)}}, {3, 4}, 0, f32(5), copies(3, 4, 1)},
        {L"QW_GUIFloatClip",
         {{1, f32(-kInf)}, {2, f32(kInf)}, {5, i32(2)}},
         {3, 4},
         0,
         f32(-3.4e38f),
         copies(3, 4, -3.4e38f)},
        // Min and Max by magnitude of infinities; Radius and C2P beyond the range.
        {L"QW_GUIFloatMax", {{4, i32(1)}, {0, f32(-kInf)}}, {2, 3}, 1, f32(3.4e38f), {near(3, -inf), near(2, -inf)}},
        {L"QW_GUIFloatMin", {{4, i32(INT_MIN)}, {0, f32(kNaN)}}, {2, 3}, 1, f32(2), {near(3, 2), near(2, 2)}},
        {L"QW_GUIFloatRadius", {{0, f32(3.4e38f)}}, {2, 3}, 1, f32(0), {near(3, inf), near(2, inf)}},
        {L"QW_GUIFloatC2P",
         {{0, f32(3.4e38f)}, {6, i32(1)}},
         {2, 3, 4, 5},
         1,
         f32(0),
         {near(4, inf), near(2, inf), near(5, 0), near(3, 0)}},
        {L"QW_GUIFloatC2P",
         {{0, f32(kNaN)}},
         {2, 3, 4, 5},
         1,
         f32(1),
         {near(4, nan), near(2, nan), near(5, nan), near(3, nan)}},
        {L"QW_GUIFloatP2C",
         {{0, f32(kInf)}, {6, i32(1)}},
         {2, 3, 4, 5},
         1,
         f32(0),
         {near(4, inf), near(2, inf), near(5, nan), near(3, nan)}},
        {L"QW_GUIFloatAngle",
         {{0, f32(-1)}, {4, i32(INT_MIN)}},
         {2, 3},
         1,
         f32(-kSub),
         {near(3, 0.5, 1e-6), near(2, 0.5, 1e-6)}},
        // Cross-fade: inputs 0 and 1, fade 2, result 5.
        {L"QW_GUIFloatXFade", {{0, f32(kInf)}, {4, i32(1)}}, {5}, 2, f32(0.5f), one(5, inf)},
        {L"QW_GUIFloatXFade", {{0, f32(kInf)}, {4, i32(1)}}, {5}, 2, f32(1), one(5, nan)},
        {L"QW_GUIFloatAverageL", {}, {2}, 0, f32(kInf), one(2, inf)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(c.id) + ", pin " + std::to_string(c.pin) + " " + describeBytes(c.value));
        run(c);
    }
}

TEST(FloatFamilyBadInput, ShortLongAndMissingBytes)
{
    UiTable t{L"QW_GUIFloatAdd"};
    t.start = false;
    t.rows = {
        deliver(1, Bytes{0x00, 0x00}, {}).because("two bytes: the rest from zero, 0"),
        deliver(0, Bytes{0x00, 0x00, 0x80, 0x3f, 0x12, 0x34}, copies(2, 3, 1)).because("six bytes: the first four"),
        deliver(0, Bytes{}, copies(2, 3, 0)).because("no bytes: 0"),
        deliver(0, f32(2), copies(2, 3, 2)),
        deliver(0, f32(5)).sized(-1).withoutData().because("no data: 0"),
    };
    t.rows.back().sends = copies(2, 3, 0);
    runUiTable(t);
}
} // namespace
