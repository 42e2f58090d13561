// Integer control maths through the built bundle: one case table, the
// wrapping results worked out in 64 bits and reduced to their low 32 bits.
// The tests run under UndefinedBehaviorSanitizer, which stays quiet.
#include "../../signalkit/chorus/effect_pattern.h"
#include "control_fixture.h"
#include "qw_int32.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <limits>

namespace
{
using qwtest::ControlCase;

constexpr double kMin = INT32_MIN, kMax = INT32_MAX;
constexpr int kSigned = 0, kMagnitude = 1;
constexpr int kLower = 0, kUpper = 1, kBoth = 2;

// The low 32 bits of a 64-bit result, read as a signed value.
double low32(int64_t v)
{
    const uint32_t u = static_cast<uint32_t>(v & 0xFFFFFFFF);
    return u >= 0x80000000u ? static_cast<double>(u) - 4294967296.0 : static_cast<double>(u);
}

TEST(IntMaths, CaseTable)
{
    const int64_t min = INT32_MIN, max = INT32_MAX;
    const ControlCase cases[] = {
        {L"QW_IntAbs", {{"X", -5}}, {{"Output", 5}}},
        {L"QW_IntAbs", {{"X", kMin}}, {{"Output", low32(-min)}}}, // stays INT_MIN
        {L"QW_IntAdd", {{"A", kMax}, {"B", 1}}, {{"Output", low32(max + 1)}}},
        {L"QW_IntAdd", {{"A", kMin}, {"B", -1}}, {{"Output", low32(min - 1)}}},
        {L"QW_IntAdd", {{"A", -7}, {"B", 3}}, {{"Output", -4}}},
        {L"QW_IntSub", {{"A", kMin}, {"B", 1}}, {{"Output", low32(min - 1)}}},
        {L"QW_IntSub", {{"A", 0}, {"B", kMin}}, {{"Output", low32(-min)}}},
        {L"QW_IntMul", {{"A", 65536}, {"B", 65536}}, {{"Output", low32(int64_t(65536) * 65536)}}},
        {L"QW_IntMul", {{"A", kMax}, {"B", -3}}, {{"Output", low32(max * -3)}}},
        {L"QW_IntMul", {{"A", kMin}, {"B", kMin}}, {{"Output", low32(min * min)}}},
        {L"QW_IntInvert", {{"X", 5}}, {{"Output", -5}}},
        {L"QW_IntInvert", {{"X", kMin}}, {{"Output", low32(-min)}}},
        {L"QW_IntDiv", {{"A", 7}, {"B", -2}}, {{"Output", -3}}},
        {L"QW_IntDiv", {{"A", -7}, {"B", 2}}, {{"Output", -3}}},
        {L"QW_IntDiv", {{"A", 5}, {"B", 0}}, {{"Output", 0}}},
        {L"QW_IntDiv", {{"A", kMin}, {"B", 0}}, {{"Output", 0}}},
        // The quotient 2^31 does not fit: it wraps like every other result.
        {L"QW_IntDiv", {{"A", kMin}, {"B", -1}}, {{"Output", low32(-min)}}},
        {L"QW_IntWrap", {{"X", -1}, {"Range", 5}}, {{"Output", 4}}},
        {L"QW_IntWrap", {{"X", 12}, {"Range", 5}}, {{"Output", 2}}},
        {L"QW_IntWrap", {{"X", 12}, {"Range", 0}}, {{"Output", 0}}},
        {L"QW_IntWrap", {{"X", 12}, {"Range", -3}}, {{"Output", 0}}},
        {L"QW_IntWrap", {{"X", kMin}, {"Range", 7}}, {{"Output", double((min % 7 + 7) % 7)}}},
        {L"QW_IntWrap", {{"X", kMin}, {"Range", kMax}}, {{"Output", double((min % max + max) % max)}}},
        {L"QW_IntWrap", {{"X", kMin}, {"Range", kMin}}, {{"Output", 0}}},
        {L"QW_IntMax", {{"A", kMin}, {"B", kMax}, {"Comparison", kMagnitude}}, {{"Output", kMin}}},
        {L"QW_IntMax", {{"A", -5}, {"B", 5}, {"Comparison", kMagnitude}}, {{"Output", 5}}},
        {L"QW_IntMax", {{"A", 5}, {"B", -5}, {"Comparison", kMagnitude}}, {{"Output", -5}}},
        {L"QW_IntMax", {{"A", kMin}, {"B", kMax}, {"Comparison", kSigned}}, {{"Output", kMax}}},
        {L"QW_IntMax", {{"A", -1}, {"B", -9}, {"Comparison", 3}}, {{"Output", -9}}},
        {L"QW_IntMin", {{"A", kMin}, {"B", kMax}, {"Comparison", kMagnitude}}, {{"Output", kMax}}},
        {L"QW_IntMin", {{"A", -5}, {"B", 5}, {"Comparison", kMagnitude}}, {{"Output", 5}}},
        {L"QW_IntMin", {{"A", kMin}, {"B", kMax}, {"Comparison", kSigned}}, {{"Output", kMin}}},
        {L"QW_IntLogic", {{"A", 12}, {"B", 10}, {"Operation", 0}}, {{"Output", 8}}},
        {L"QW_IntLogic", {{"A", 12}, {"B", 10}, {"Operation", 1}}, {{"Output", 14}}},
        {L"QW_IntLogic", {{"A", 12}, {"B", 10}, {"Operation", 2}}, {{"Output", 6}}},
        {L"QW_IntLogic", {{"A", 12}, {"B", 10}, {"Operation", 7}}, {{"Output", 6}}},
        {L"QW_IntLogic", {{"A", kMin}, {"B", -1}, {"Operation", 7}}, {{"Output", kMax}}},
        {L"QW_IntClip", {{"X", 0}, {"Lower Bound", 10}, {"Upper Bound", 3}, {"Clip", kBoth}}, {{"Output", 10}}},
        {L"QW_IntClip", {{"X", 5}, {"Lower Bound", 10}, {"Upper Bound", 3}, {"Clip", kBoth}}, {{"Output", 10}}},
        {L"QW_IntClip", {{"X", 20}, {"Lower Bound", 10}, {"Upper Bound", 3}, {"Clip", kBoth}}, {{"Output", 10}}},
        {L"QW_IntClip", {{"X", 20}, {"Lower Bound", 3}, {"Upper Bound", 10}, {"Clip", kBoth}}, {{"Output", 10}}},
        {L"QW_IntClip",
         {{"X", kMin}, {"Lower Bound", kMin}, {"Upper Bound", kMax}, {"Clip", kBoth}},
         {{"Output", kMin}}},
        {L"QW_IntClip", {{"X", kMin}, {"Lower Bound", -5}, {"Upper Bound", -9}, {"Clip", kLower}}, {{"Output", -5}}},
        {L"QW_IntClip", {{"X", kMax}, {"Lower Bound", 9}, {"Upper Bound", 7}, {"Clip", kUpper}}, {{"Output", 7}}},
        {L"QW_IntSign", {{"X", 0}}, {{"Output", 1}}},
        {L"QW_IntSign", {{"X", kMin}}, {{"Output", -1}}},
    };
    for (auto& c : cases)
        qwtest::runCase(c);
}
// The saturating truncation the control timers and the delay-line effects
// share: toward zero, held at the 32-bit ends, NaN gives 0.
TEST(IntMaths, TruncationTowardZeroHeldAtTheEnds)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct
    {
        double v;
        int32_t expected;
    } cases[] = {
        {0.0, 0},
        {-0.0, 0},
        {1.9, 1},
        {-1.9, -1},
        {-0.5, 0},
        {2147483646.5, 2147483646},
        {2147483647.0, INT32_MAX},
        {2147483647.9, INT32_MAX},
        {2147483648.0, INT32_MAX},
        {1e300, INT32_MAX},
        {inf, INT32_MAX},
        {-2147483647.5, -2147483647},
        {-2147483648.0, INT32_MIN},
        {-2147483648.9, INT32_MIN},
        {-2147483649.0, INT32_MIN},
        {-1e300, INT32_MIN},
        {-inf, INT32_MIN},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(qw::i32::truncate(c.v), c.expected) << c.v;
        EXPECT_EQ(qw::effect::truncSaturated(c.v), c.expected) << c.v;
    }
}
} // namespace
