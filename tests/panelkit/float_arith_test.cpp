// Float functions and operations on interface pins: results on both copies,
// the inverse from either copy, the write order, the echo guard under every
// echo of the host, and a connected module correcting a value being written.
#include "arith_rows.h"
#include "mp_sdk_common.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <map>
#include <string>

namespace
{
using namespace arith;
using qwhost::Echo;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kNone = INT_MIN + 1; // a module without a mode pin

struct Layout
{
    int in, b, left, right, mode, sw;
};

Layout layoutOf(const std::wstring& id)
{
    for (const wchar_t* two : {L"Add", L"Sub", L"Mul", L"Div", L"Pow"})
        if (id == std::wstring(L"QW_GUIFloat") + two)
            return {0, 1, 2, 3, -1, 4};
    for (const wchar_t* plain : {L"Abs", L"Invert", L"Sqrt", L"Frac"})
        if (id == std::wstring(L"QW_GUIFloat") + plain)
            return {0, -1, 1, 2, -1, 3};
    return {0, -1, 1, 2, 3, 4};
}

// x (and b) give `result` on both copies; r arriving on either copy gives
// `inverse` on the first operand. Expected values from the C library in double
// precision (or by hand), within `tol`.
struct Case
{
    const wchar_t* id;
    int mode;
    float x, b;
    double result;
    float r;
    double inverse;
    double tol;
};

const double kPi = std::acos(-1.0);
const double kDeg = kPi / 180.0;

const Case kCases[] = {
    {L"QW_GUIFloatAbs", kNone, -3.0f, 0, 3, -4.0f, 4, 0},
    {L"QW_GUIFloatInvert", kNone, 2.5f, 0, -2.5, -1.0f, 1, 0},
    {L"QW_GUIFloatSqrt", kNone, -4.0f, 0, 0, 3.0f, 9, 0},
    {L"QW_GUIFloatSqrt", kNone, 2.0f, 0, std::sqrt(2.0), -3.0f, 9, 1e-7},
    {L"QW_GUIFloatFrac", kNone, -1.25f, 0, -0.25, 2.75f, 0.75, 0},
    {L"QW_GUIFloatRound", 0, -2.7f, 0, -2, 2.9f, 2, 0},
    {L"QW_GUIFloatRound", 1, 2.5f, 0, 3, -2.5f, -3, 0},
    {L"QW_GUIFloatRound", 1, 0.49999997f, 0, 0, -0.5f, -1, 0},
    {L"QW_GUIFloatRound", INT_MIN, -2.7f, 0, -3, 1.49f, 1, 0},
    {L"QW_GUIFloatExp", 0, 3.0f, 0, 8, 8.0f, 3, 0},
    {L"QW_GUIFloatExp", 1, 1.0f, 0, std::exp(1.0), -1.0f, -kInf, 1e-6},
    {L"QW_GUIFloatExp", 2, 2.0f, 0, 100, 1000.0f, 3, 1e-4},
    {L"QW_GUIFloatExp", INT_MAX, -1.0f, 0, 0.1, 0.01f, -2, 1e-6},
    {L"QW_GUIFloatLog", 1, -1.0f, 0, -kInf, 1.0f, std::exp(1.0), 1e-6},
    {L"QW_GUIFloatLog", 0, 8.0f, 0, 3, -1.0f, 0.5, 0},
    {L"QW_GUIFloatLog", 2, 1000.0f, 0, 3, 2.0f, 100, 1e-4},
    {L"QW_GUIFloatLog", 1, 0.0f, 0, -kInf, 0.0f, 1, 0},
    {L"QW_GUIFloatCos", 1, 60.0f, 0, 0.5, 2.0f, 0, 1e-6},
    {L"QW_GUIFloatCos", 2, 0.5f, 0, -1, 0.5f, 1.0 / 6, 1e-7},
    {L"QW_GUIFloatCos", 0, 3.1415927f, 0, -1, -1.0f, kPi, 1e-6},
    {L"QW_GUIFloatCos", 7, 1.0f, 0, std::cos(1.0), -1.5f, 0, 1e-7},
    {L"QW_GUIFloatCos", 1, 400.0f, 0, std::cos(400 * kDeg), 0.5f, 60, 1e-5},
    {L"QW_GUIFloatSin", 1, 30.0f, 0, 0.5, 1.0f, 90, 1e-5},
    {L"QW_GUIFloatSin", 2, 0.25f, 0, 1, -1.0f, -0.25, 1e-7},
    {L"QW_GUIFloatSin", 0, 1.0f, 0, std::sin(1.0), 1.5f, 0, 1e-7},
    {L"QW_GUIFloatAdd", kNone, 2.0f, 3.0f, 5, 10.0f, 7, 0},
    {L"QW_GUIFloatSub", kNone, 2.0f, 3.0f, -1, 10.0f, 13, 0},
    {L"QW_GUIFloatMul", kNone, 2.0f, 3.0f, 6, 12.0f, 4, 0},
    {L"QW_GUIFloatMul", kNone, 2.0f, 0.0f, 0, 1.0f, kInf, 0},
    {L"QW_GUIFloatDiv", kNone, 6.0f, 3.0f, 2, 4.0f, 12, 0},
    {L"QW_GUIFloatDiv", kNone, 1.0f, 0.0f, kInf, 2.0f, 0, 0},
    {L"QW_GUIFloatDiv", kNone, 0.0f, 0.0f, kNaN, 2.0f, 0, 0},
    {L"QW_GUIFloatPow", kNone, -8.0f, 1.0f / 3, 0, -8.0f, 0, 0},
    {L"QW_GUIFloatPow", kNone, 2.0f, 3.0f, 8, 8.0f, 2, 1e-6},
    {L"QW_GUIFloatPow", kNone, 2.0f, 0.5f, std::sqrt(2.0), 3.0f, 9, 1e-6},
};

std::string title(const Case& c)
{
    return gmpi_sdk::toUtf8(c.id) + (c.mode != kNone ? " mode " + std::to_string(c.mode) : "") + " of " +
           std::to_string(c.x) + (layoutOf(c.id).b >= 0 ? ", " + std::to_string(c.b) : "");
}

// Second operand and mode stored, the copies marked: the operand gives the
// result on both copies; the same operand again sends only a NaN again (NaN
// never equals itself); a mode change alone then writes nothing.
TEST(FloatFunctions, ResultOnBothCopiesRightFirst)
{
    for (const Case& c : kCases)
    {
        SCOPED_TRACE(title(c));
        const Layout p = layoutOf(c.id);
        UiTable t{c.id};
        t.start = false;
        if (p.b >= 0)
            t.rows.push_back(setOnly(p.b, f32(c.b)));
        t.rows.push_back(mark(p.left));
        t.rows.push_back(mark(p.right));
        if (p.mode >= 0)
            t.rows.push_back(deliver(p.mode, i32(c.mode)));
        t.rows.push_back(deliver(p.in, f32(c.x), copies(p.left, p.right, c.result, c.tol)));
        t.rows.push_back(deliver(p.in, f32(c.x), std::isnan(c.result) ? copies(p.left, p.right, kNaN) : UiSends{}));
        if (p.mode >= 0)
            t.rows.push_back(deliver(p.mode, i32(c.mode == 1 ? 0 : 1)).because("a mode change alone"));
        runUiTable(t);
    }
}

TEST(FloatFunctions, InverseFromEitherCopy)
{
    for (const Case& c : kCases)
        for (bool fromLeft : {true, false})
        {
            SCOPED_TRACE(title(c) + ", inverse of " + std::to_string(c.r) +
                         (fromLeft ? " on the left" : " on the right"));
            const Layout p = layoutOf(c.id);
            UiTable t{c.id};
            t.start = false;
            if (p.b >= 0)
                t.rows.push_back(setOnly(p.b, f32(c.b)));
            t.rows.push_back(mark(p.in));
            t.rows.push_back(deliver(p.sw, b8(true)));
            if (p.mode >= 0)
                t.rows.push_back(deliver(p.mode, i32(c.mode)));
            t.rows.push_back(deliver(fromLeft ? p.left : p.right, f32(c.r), one(p.in, c.inverse, c.tol)));
            runUiTable(t);
        }
}

TEST(FloatFunctions, AddRunsBackOnlyWithTheSwitchAndLeavesTheCopies)
{
    constexpr int kA = 0, kB = 1, kL = 2, kR = 3, kSwitch = 4;
    UiTable t{L"QW_GUIFloatAdd"};
    t.start = false;
    t.rows = {
        deliver(kSwitch, b8(true)),
        deliver(kA, f32(2), copies(kL, kR, 2)),
        deliver(kB, f32(3), copies(kL, kR, 5)),
        deliver(kL, f32(10), one(kA, 7)).because("the copies are not rewritten"),
        deliver(kB, f32(3), {{kR, f32(10)}}).because("7 + 3: the left copy holds 10 already"),
        deliver(kSwitch, b8(false)),
        deliver(kL, f32(20)).because("switch off"),
        deliver(kR, f32(20)).because("switch off"),
        deliver(kA, f32(1), copies(kL, kR, 4)),
    };
    runUiTable(t);
}

// With the switch on and the host handing each write straight back, a module
// whose inverse does not undo its function keeps its operand.
TEST(FloatFunctions, OwnResultComingBackLeavesTheOperand)
{
    const struct
    {
        const wchar_t* id;
        int mode;
        float x;
        double result, tol;
    } cases[] = {
        {L"QW_GUIFloatAbs", kNone, -3, 3, 0},
        {L"QW_GUIFloatSqrt", kNone, -4, 0, 0},
        {L"QW_GUIFloatFrac", kNone, 2.75f, 0.75, 0},
        {L"QW_GUIFloatRound", 0, 2.7f, 2, 0},
        {L"QW_GUIFloatCos", 1, 400, std::cos(40 * kDeg), 1e-6},
        {L"QW_GUIFloatSin", 1, 150, 0.5, 1e-6},
        {L"QW_GUIFloatPow", kNone, -2, 0, 0},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(c.id));
        const Layout p = layoutOf(c.id);
        UiTable t{c.id};
        t.start = false;
        t.rows = {deliver(p.sw, b8(true)), mark(p.left), mark(p.right)};
        if (p.mode >= 0)
            t.rows.push_back(deliver(p.mode, i32(c.mode)));
        t.rows.push_back(deliver(p.in, f32(c.x), copies(p.left, p.right, c.result, c.tol)));
        if (p.b >= 0)
            t.rows.push_back(deliver(p.b, f32(0)).because("recomputed from the operand still held"));
        runUiTable(t);
    }
}

// Tan: switch 0, unit 1, angle 2, tangent left 3 and right 4; the left copy is
// written first. Units 1 and 2 go through the fast polynomials, whose stated
// error is about 3e-7 (a quarter turn gives exactly -inf).
constexpr int kTanSwitch = 0, kTanUnit = 1, kAngle = 2, kTanL = 3, kTanR = 4;

UiSends tangent(double v, double tol = 0)
{
    return {near(kTanL, v, tol), near(kTanR, v, tol)};
}

TEST(FloatTan, TangentLeftCopyFirstInEveryUnit)
{
    const struct
    {
        int unit;
        float angle;
        double t, tol;
    } cases[] = {
        {1, 45, 1, 1e-6},
        {1, 90, -kInf, 0},
        {1, 270, -kInf, 0},
        {1, -90, -kInf, 0},
        {1, 135, -1, 1e-6},
        {1, 200, std::tan(200 * kDeg), 1e-6},
        {2, 0.125f, 1, 1e-6},
        {2, 0.25f, -kInf, 0},
        {INT_MIN, 0.375f, -1, 1e-6},
        {0, 1, std::tan(1.0), 1e-6},
        {0, -0.5f, std::tan(-0.5), 1e-7},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE("unit " + std::to_string(c.unit) + ", angle " + std::to_string(c.angle));
        UiTable t{L"QW_GUIFloatTan"};
        t.start = false;
        t.rows = {
            mark(kTanL),
            mark(kTanR),
            deliver(kTanUnit, i32(c.unit)),
            deliver(kAngle, f32(c.angle), tangent(c.t, c.tol)),
            deliver(kTanUnit, i32(c.unit == 0 ? 1 : 0)).because("a unit change alone"),
        };
        runUiTable(t);
    }
}

TEST(FloatTan, InverseFromEitherCopyThenForwardAgain)
{
    for (int from : {kTanL, kTanR})
    {
        SCOPED_TRACE(from == kTanL ? "left copy" : "right copy");
        UiTable t{L"QW_GUIFloatTan"};
        t.start = false;
        t.rows = {
            deliver(from, f32(1)).because("switch off"),
            deliver(kTanSwitch, b8(true)),
            deliver(from, f32(1), one(kAngle, std::atan(1.0))),
            deliver(kTanUnit, i32(1)),
            deliver(from, f32(1), one(kAngle, 45, 1e-5)),
            deliver(kTanUnit, i32(2)),
            deliver(from, f32(1), one(kAngle, 0.125, 1e-7)),
            deliver(from, f32(-1), one(kAngle, -0.125, 1e-7)),
            // 0.25 turns: the forward run writes both copies again.
            deliver(kAngle, f32(0.25f), tangent(-kInf)),
        };
        runUiTable(t);
    }
}

TEST(FloatTan, OwnTangentComingBackLeavesTheAngle)
{
    UiTable t{L"QW_GUIFloatTan"};
    t.start = false;
    t.rows = {
        deliver(kTanSwitch, b8(true)),
        deliver(kTanUnit, i32(1)),
        deliver(kAngle, f32(200), tangent(std::tan(200 * kDeg), 1e-6)),
        deliver(kAngle, f32(200)).because("unchanged: nothing sent, and the angle is still 200"),
    };
    runUiTable(t);
}

// Connected modules on the nets of some of the module's pins, each clamping
// what it receives to at most its limit (2 unless given): a correction
// arrives while the module writes, inside the send.
struct ClampingNeighbour
{
    qwhost::GuiHost host;
    std::unique_ptr<qwhost::GuiModule> m;
    std::map<int, float> limits;

    ClampingNeighbour(const std::wstring& id, Echo echo, int pin) : ClampingNeighbour(id, echo, {{pin, 2.0f}}) {}
    ClampingNeighbour(const std::wstring& id, Echo echo, std::map<int, float> nets) : limits(std::move(nets))
    {
        host.echo = echo;
        m = host.create(bundle("panelkit"), id, false);
        m->onTransmit = [this](const qwhost::GuiValue& v) {
            auto it = limits.find(v.pin);
            if (it != limits.end() && v.data.size() == 4 && v.asFloat() > it->second)
                m->setFloat(v.pin, it->second);
        };
    }
    std::vector<std::pair<int, float>> sent() const
    {
        std::vector<std::pair<int, float>> s;
        for (auto& v : m->transmits)
            s.push_back({v.pin, v.asFloat()});
        return s;
    }
};

TEST(FloatFunctions, CorrectionOnTheRightCopyRunsTheInverseAndReachesTheLeftCopy)
{
    for (Echo echo : {Echo::Inside, Echo::None})
    {
        SCOPED_TRACE(echoName(echo));
        ClampingNeighbour n(L"QW_GUIFloatAbs", echo, 2);
        n.m->setBool(3, true);
        n.m->setFloat(0, -3.0f);
        using S = std::vector<std::pair<int, float>>;
        // 3 on the right copy, corrected to 2 and converted back into the
        // operand, then the corrected value on the left copy.
        EXPECT_EQ(n.sent(), (S{{2, 3.0f}, {0, 2.0f}, {1, 2.0f}}));
    }
}

// The inverse that a correction runs ends before the module has written its
// left copy: a correction there is still one of its own writes' and ignored.
TEST(FloatFunctions, CorrectionOnTheLeftCopyAfterAnInverseIsIgnored)
{
    for (Echo echo : {Echo::Inside, Echo::None})
    {
        SCOPED_TRACE(echoName(echo));
        ClampingNeighbour n(L"QW_GUIFloatAbs", echo, {{2, 2.0f}, {1, 1.0f}});
        n.m->setBool(3, true);
        n.m->setFloat(0, -3.0f);
        using S = std::vector<std::pair<int, float>>;
        EXPECT_EQ(n.sent(), (S{{2, 3.0f}, {0, 2.0f}, {1, 2.0f}}));
    }
}

TEST(FloatTan, CorrectionOnTheLeftCopyIsIgnoredOnTheRightConvertedBack)
{
    for (Echo echo : {Echo::Inside, Echo::None})
    {
        SCOPED_TRACE(echoName(echo));
        using S = std::vector<std::pair<int, float>>;
        {
            // The left copy is written under the guard: its correction stays
            // there, and the right copy gets the tangent.
            ClampingNeighbour n(L"QW_GUIFloatTan", echo, kTanL);
            n.m->setBool(kTanSwitch, true);
            n.m->setFloat(kAngle, 1.25f);
            ASSERT_EQ(n.m->transmits.size(), 2u);
            EXPECT_EQ(n.m->transmits[0].pin, kTanL);
            EXPECT_EQ(n.m->transmits[1].pin, kTanR);
            EXPECT_FLOAT_EQ(n.m->transmits[1].asFloat(), std::tan(1.25f));
        }
        {
            ClampingNeighbour n(L"QW_GUIFloatTan", echo, kTanR);
            n.m->setBool(kTanSwitch, true);
            n.m->setFloat(kAngle, 1.25f);
            const S s = n.sent();
            ASSERT_EQ(s.size(), 3u);
            EXPECT_EQ(s[0].first, kTanL);
            EXPECT_EQ(s[1].first, kTanR);
            EXPECT_EQ(s[2], (std::pair<int, float>{kAngle, std::atan(2.0f)}));
        }
    }
}
} // namespace
