// Hostile values on the integer arithmetic, stepping, accumulating and random
// interface modules: the ends of the integer range on every int pin, NaN,
// infinities and the float range's end on every float pin, under every echo
// of the host. Nothing throws, keeps sending, overflows a signed integer or
// converts a float out of range (the sanitizers stop the test there), and no
// module sends a NaN; the history of the random modules stays bounded.
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

const wchar_t* const kModules[] = {
    L"QW_GUIIntAbs",    L"QW_GUIIntAdd", L"QW_GUIIntSub",  L"QW_GUIIntMul",  L"QW_GUIIntDiv",   L"QW_GUIIntInvert",
    L"QW_GUIIntMin",    L"QW_GUIIntMax", L"QW_GUIIntWrap", L"QW_GUIIntClip", L"QW_GUIIntLogic", L"QW_StepIncInt",
    L"QW_StepIncFloat", L"QW_FloatInc",  L"QW_IntInc",     L"QW_PMInc",      L"QW_RndFloat",    L"QW_RndInt",
};

const float kHostileFloats[] = {kNaN, -kNaN, kInf, -kInf, 3.4e38f, -3.4e38f, FLT_MAX, 0.0f, -0.0f, 1.0f, 0.5f};
const int32_t kHostileInts[] = {INT_MIN, INT_MAX, INT_MIN + 1, INT_MAX - 1, -1, 0, 1, 2};

bool isNaNFloat(const qwhost::GuiModule& g, const qwhost::GuiValue& v)
{
    return g.pinInfo(v.pin).datatype == gmpi::MP_FLOAT32 && std::isnan(v.asFloat());
}

// Every module, under every echo of the host, its bools toggled: each hostile
// value on each pin in turn, each followed by a true on every bool (the
// triggers), then a seeded random run of them. The module settles after each
// value and never sends a NaN.
TEST(IntFamilyBadInput, EveryPinEveryHostileValueSettles)
{
    for (const wchar_t* id : kModules)
        for (auto echo : kEchoModes)
        {
            SCOPED_TRACE(gmpi_sdk::toUtf8(id) + ", " + echoName(echo));
            qwhost::GuiHost host;
            host.echo = echo;
            auto g = host.create(bundle("panelkit"), id);
            ASSERT_TRUE(g->settleEchoes());
            std::vector<std::pair<int, Bytes>> values;
            std::vector<int> bools;
            for (int pin = 0; pin < g->pinCount(); ++pin)
            {
                const int type = g->pinInfo(pin).datatype;
                if (type == gmpi::MP_BOOL)
                {
                    bools.push_back(pin);
                    values.push_back({pin, b8(true)});
                    values.push_back({pin, b8(false)});
                }
                else if (type == gmpi::MP_FLOAT32)
                    for (float f : kHostileFloats)
                        values.push_back({pin, f32(f)});
                else
                    for (int32_t i : kHostileInts)
                        values.push_back({pin, i32(i)});
            }
            uint64_t state = 42;
            auto next = [&] {
                state = state * 6364136223846793005ULL + 1442695040888963407ULL;
                return static_cast<size_t>(state >> 33);
            };
            const size_t ordered = values.size();
            for (size_t k = 0; k < ordered + 600; ++k)
            {
                const auto& [pin, bytes] = values[k < ordered ? k : next() % ordered];
                g->set(pin, bytes.data(), static_cast<int>(bytes.size()));
                if (k < ordered)
                    for (int b : bools)
                        g->setBool(b, true);
                ASSERT_TRUE(g->settleEchoes()) << "value " << k;
                ASSERT_EQ(g->pendingEchoes(), 0u) << "value " << k;
            }
            for (const auto& v : g->transmits)
                ASSERT_FALSE(isNaNFloat(*g, v)) << "NaN sent on pin " << v.pin;
        }
}

// One hostile case: pins stored first (setPin alone), then values delivered,
// with the values they send.
TEST(IntFamilyBadInput, SafeValues)
{
    UiTable intInc{L"QW_IntInc"};
    intInc.start = false;
    intInc.rows = {
        setOnly(1, i32(INT_MIN)),
        setOnly(2, i32(INT_MAX)),
        setOnly(3, f32(3.4e38f)),
        deliver(4, f32(3.4e38f), {{0, i32(INT_MAX)}}).because("the maximum as float is 2^31: held at INT_MAX"),
        deliver(4, f32(-kInf), {{0, i32(INT_MIN)}}),
        deliver(4, f32(kInf), {{0, i32(INT_MAX)}}),
        setOnly(3, f32(kInf)),
        deliver(4, f32(-1e-30f), {{0, i32(INT_MIN)}}),
        setOnly(3, f32(kNaN)),
        deliver(4, f32(1)).because("a NaN scale changes nothing"),
        setOnly(3, f32(1)),
        setOnly(1, i32(0)),
        setOnly(2, i32(0)),
        deliver(0, i32(INT_MIN)).because("restarts the accumulator"),
        deliver(4, f32(-1), {{0, i32(0)}}).because("held at 0"),
    };
    runUiTable(intInc);

    UiTable step{L"QW_StepIncFloat"};
    step.start = false;
    step.rows = {
        setOnly(0, f32(kInf)),
        setOnly(2, f32(10)),
        setOnly(3, f32(1)),
        setOnly(4, b8(true)),
        deliver(6, b8(true), one(0, 10)).because("infinity wraps nowhere: held at the maximum"),
        setOnly(0, f32(kNaN)),
        deliver(6, b8(true)).because("a NaN value steps to nothing"),
        setOnly(0, f32(-kInf)),
        setOnly(3, f32(kInf)),
        deliver(6, b8(true)).because("-inf + inf: no number"),
        setOnly(0, f32(3)),
        setOnly(1, f32(kNaN)),
        setOnly(3, f32(1)),
        deliver(6, b8(true), one(0, 4)).because("a NaN limit: nothing wraps or clamps"),
    };
    runUiTable(step);

    UiTable pm{L"QW_PMInc"};
    pm.start = false;
    pm.rows = {
        setOnly(0, f32(kNaN)),
        setOnly(1, f32(1)),
        deliver(2, f32(0.5f)).because("a NaN value: no number"),
        setOnly(0, f32(0.5f)),
        deliver(2, f32(3.4e38f), one(0, 1)),
        deliver(2, f32(-kInf), one(0, 0)),
    };
    runUiTable(pm);
}

// Limits at the ends of the float range, infinite or NaN: every draw is a
// finite value between them (a NaN limit counting as 0).
TEST(IntFamilyBadInput, RandomFloatLimits)
{
    const struct
    {
        float a, b;
        double lo, hi;
    } cases[] = {
        {-kInf, kInf, -FLT_MAX, FLT_MAX},
        {-3.4e38f, 3.4e38f, -3.4e38f, 3.4e38f},
        {kNaN, 1, 0, 1},
        {kNaN, kNaN, 0, 0},
        {kInf, kInf, FLT_MAX, FLT_MAX},
        {-2, kNaN, -2, 0},
    };
    for (auto& c : cases)
        for (auto echo : kEchoModes)
        {
            SCOPED_TRACE(std::to_string(c.a) + ", " + std::to_string(c.b) + ", " + echoName(echo));
            qwhost::GuiHost host;
            host.echo = echo;
            auto g = host.create(bundle("panelkit"), L"QW_RndFloat", false);
            g->setFloat(0, c.a);
            g->setFloat(1, c.b);
            for (int k = 0; k < 50; ++k)
            {
                g->setBool(3, true);
                ASSERT_TRUE(g->settleEchoes());
            }
            for (const auto* v : g->transmitsOf(2))
            {
                const float x = v->asFloat();
                ASSERT_TRUE(std::isfinite(x)) << x;
                ASSERT_GE(x, c.lo);
                ASSERT_LE(x, c.hi);
            }
        }
}

// A host stepping forward without end: the history keeps the newest values
// only, so stepping back ends at the oldest one kept.
TEST(IntFamilyBadInput, HistoryStaysBounded)
{
    constexpr int kKept = 1 << 16, kExtra = 7;
    qwhost::GuiHost host;
    host.echo = qwhost::Echo::None;
    auto g = host.create(bundle("panelkit"), L"QW_RndInt", false);
    g->setInt(0, INT_MIN);
    g->setInt(1, INT_MAX);
    for (int k = 0; k < kKept + kExtra; ++k)
        g->setBool(3, true);
    std::vector<int32_t> drawn;
    for (const auto* v : g->transmitsOf(2))
        drawn.push_back(v->asInt());
    ASSERT_GE(drawn.size(), size_t{kKept});
    for (int k = 0; k < kKept + 100; ++k)
        g->setBool(4, true);
    // The oldest kept is the value drawn kKept - 1 draws before the newest.
    const int32_t oldest = g->lastTransmit(2)->asInt();
    EXPECT_EQ(oldest, drawn[drawn.size() - kKept]);
    EXPECT_NE(oldest, drawn.back());
    g->setBool(3, true);
    EXPECT_EQ(g->lastTransmit(2)->asInt(), drawn[drawn.size() - kKept + 1]);
}
} // namespace
