// Integer arithmetic on interface pins: results on both copies in two's
// complement, the inverse from either copy, magnitudes, wrapping, clipping and
// bitwise logic, under every echo of the host. Expected values are worked out
// here in 64-bit integers and brought into 32 bits by their remainder.
#include "arith_rows.h"
#include "mp_sdk_common.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

namespace
{
using namespace arith;

constexpr int64_t kTwo32 = int64_t{1} << 32;

// The 32-bit two's complement value of a 64-bit one: its remainder by 2^32,
// the upper half counted negative.
int32_t in32(int64_t v)
{
    const int64_t m = ((v % kTwo32) + kTwo32) % kTwo32;
    return static_cast<int32_t>(m >= kTwo32 / 2 ? m - kTwo32 : m);
}

// A value no result of these tests takes: stored on a result pin first, it
// makes any result written there a change, so that the module sends it.
constexpr int32_t kIntMark = 987654;
UiRow markInt(int pin)
{
    return setOnly(pin, i32(kIntMark));
}
UiSends intCopies(int left, int right, int64_t v)
{
    return {{right, i32(in32(v))}, {left, i32(in32(v))}};
}
UiSends intOne(int pin, int64_t v)
{
    return {{pin, i32(in32(v))}};
}

struct Layout
{
    int in, b, left, right, sw;
};

Layout layoutOf(const std::wstring& id)
{
    if (id == L"QW_GUIIntAbs" || id == L"QW_GUIIntInvert")
        return {0, -1, 1, 2, 3};
    return {0, 1, 2, 3, 4};
}

const int64_t kMin = INT_MIN, kMax = INT_MAX;

// a (and b) give `result` on both copies; r arriving on either copy gives
// `inverse` on the first operand.
struct Case
{
    const wchar_t* id;
    int32_t a, b;
    int64_t result;
    int32_t r;
    int64_t inverse;
};

const Case kCases[] = {
    {L"QW_GUIIntAbs", -7, 0, 7, -4, 4},
    {L"QW_GUIIntAbs", INT_MIN, 0, kMin, INT_MIN, kMin},
    {L"QW_GUIIntAbs", INT_MAX, 0, kMax, -INT_MAX, kMax},
    {L"QW_GUIIntInvert", 5, 0, -5, 3, -3},
    {L"QW_GUIIntInvert", INT_MIN, 0, -kMin, INT_MIN, -kMin},
    {L"QW_GUIIntAdd", 2, 3, 5, 10, 7},
    {L"QW_GUIIntAdd", INT_MAX, 1, kMax + 1, INT_MIN, kMin - 1},
    {L"QW_GUIIntAdd", INT_MIN, INT_MIN, 2 * kMin, 0, -kMin},
    {L"QW_GUIIntSub", 2, 3, -1, 10, 13},
    {L"QW_GUIIntSub", INT_MIN, 1, kMin - 1, INT_MAX, kMax + 1},
    {L"QW_GUIIntMul", 6, 7, 42, -15, -15 / 7},
    {L"QW_GUIIntMul", 65536, 65536, int64_t{65536} * 65536, 12, 0},
    {L"QW_GUIIntMul", INT_MAX, INT_MAX, kMax* kMax, INT_MAX, 1},
    {L"QW_GUIIntMul", 5, 0, 0, 9, 0},
    {L"QW_GUIIntMul", 3, -1, -3, INT_MIN, -kMin},
    {L"QW_GUIIntDiv", 7, 2, 3, 4, 8},
    {L"QW_GUIIntDiv", -7, 2, -3, -3, -6},
    {L"QW_GUIIntDiv", 7, -2, -3, 5, -10},
    {L"QW_GUIIntDiv", 5, 0, 0, 9, 0},
    {L"QW_GUIIntDiv", INT_MIN, 0, 0, INT_MIN, 0},
    {L"QW_GUIIntDiv", INT_MIN, -1, -kMin, INT_MAX, -kMax},
    {L"QW_GUIIntDiv", 3, 65536, 0, 65536, int64_t{65536} * 65536},
};

std::string title(const Case& c)
{
    return gmpi_sdk::toUtf8(c.id) + " of " + std::to_string(c.a) + ", " + std::to_string(c.b);
}

// Second operand stored, the copies marked: the first operand gives the
// result on both copies, right first; the same operand again sends nothing.
TEST(IntArith, ResultOnBothCopiesRightFirst)
{
    for (const Case& c : kCases)
    {
        SCOPED_TRACE(title(c));
        const Layout p = layoutOf(c.id);
        UiTable t{c.id};
        t.start = false;
        if (p.b >= 0)
            t.rows.push_back(setOnly(p.b, i32(c.b)));
        t.rows.push_back(markInt(p.left));
        t.rows.push_back(markInt(p.right));
        t.rows.push_back(deliver(p.in, i32(c.a), intCopies(p.left, p.right, c.result)));
        t.rows.push_back(deliver(p.in, i32(c.a)).because("unchanged"));
        runUiTable(t);
    }
}

TEST(IntArith, SecondOperandRecomputes)
{
    UiTable t{L"QW_GUIIntDiv"};
    t.start = false;
    t.rows = {
        setOnly(0, i32(-7)),
        deliver(1, i32(2), intCopies(2, 3, -3)),
        deliver(1, i32(0), intCopies(2, 3, 0)),
        deliver(1, i32(-7), intCopies(2, 3, 1)),
    };
    runUiTable(t);
}

TEST(IntArith, InverseFromEitherCopy)
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
                t.rows.push_back(setOnly(p.b, i32(c.b)));
            t.rows.push_back(markInt(p.in));
            t.rows.push_back(deliver(p.sw, b8(true)));
            t.rows.push_back(deliver(fromLeft ? p.left : p.right, i32(c.r), intOne(p.in, c.inverse)));
            runUiTable(t);
        }
}

// Wrap: value 0, range 1, copies 2 and 3, switch 4, range-change mode 5.
// Clip: value 0, limits 1 and 2, copies 3 and 4, clip mode 5, switch 6,
// range-change mode 7.
struct Bidir
{
    const wchar_t* id;
    int in, left, right, sw;
};
const Bidir kBidirectional[] = {
    {L"QW_GUIIntAbs", 0, 1, 2, 3},  {L"QW_GUIIntInvert", 0, 1, 2, 3}, {L"QW_GUIIntAdd", 0, 2, 3, 4},
    {L"QW_GUIIntSub", 0, 2, 3, 4},  {L"QW_GUIIntMul", 0, 2, 3, 4},    {L"QW_GUIIntDiv", 0, 2, 3, 4},
    {L"QW_GUIIntWrap", 0, 2, 3, 4}, {L"QW_GUIIntClip", 0, 3, 4, 6},
};

TEST(IntArith, NothingBackWithTheSwitchOff)
{
    for (const Bidir& m : kBidirectional)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(m.id));
        UiTable t{m.id};
        t.start = false;
        t.rows = {
            markInt(m.in),
            deliver(m.sw, b8(false)),
            deliver(m.left, i32(-3)).because("switch off"),
            deliver(m.right, i32(-3)).because("switch off"),
            deliver(m.sw, b8(true)).because("a switch change alone"),
        };
        runUiTable(t);
    }
}

// With the switch on and the host handing each write back, the module's own
// result does not run the inverse: Abs keeps -3, Wrap keeps 7, Clip keeps 50.
TEST(IntArith, OwnResultComingBackLeavesTheOperand)
{
    {
        UiTable t{L"QW_GUIIntAbs"};
        t.start = false;
        t.rows = {deliver(3, b8(true)), markInt(1), markInt(2), deliver(0, i32(-3), intCopies(1, 2, 3)),
                  deliver(0, i32(-3)).because("the operand is still -3")};
        runUiTable(t);
    }
    {
        UiTable t{L"QW_GUIIntWrap"};
        t.start = false;
        t.rows = {deliver(4, b8(true)), setOnly(1, i32(5)), deliver(0, i32(7), intCopies(2, 3, 2)), deliver(5, i32(1)),
                  deliver(1, i32(10), intCopies(2, 3, 7)).because("recomputed from 7 still held")};
        runUiTable(t);
    }
    {
        UiTable t{L"QW_GUIIntClip"};
        t.start = false;
        t.rows = {
            deliver(6, b8(true)), setOnly(2, i32(20)),
            setOnly(5, i32(2)),   deliver(0, i32(50), intCopies(3, 4, 20)),
            deliver(7, i32(1)),   deliver(2, i32(30), intCopies(3, 4, 30)).because("recomputed from 50 still held")};
        runUiTable(t);
    }
}

// A connected module correcting the value the module is writing: the right
// copy takes it back into the operand.
TEST(IntArith, CorrectionOnTheRightCopyRunsBack)
{
    UiTable t{L"QW_GUIIntAdd"};
    t.start = false;
    t.echoes = {qwhost::Echo::None};
    t.rows = {
        deliver(4, b8(true)),
        setOnly(1, i32(3)),
        deliver(0, i32(2), intCopies(2, 3, 5)),
        deliver(3, i32(9), intOne(0, 6)).because("9 - 3"),
        deliver(1, i32(3), {{2, i32(9)}}).because("6 + 3; the right copy holds 9 already"),
    };
    runUiTable(t);
}

struct MinMaxCase
{
    int32_t a, b, mode;
    int64_t min, max;
};

TEST(IntArith, MinAndMaxBySignedValueOrMagnitude)
{
    const MinMaxCase cases[] = {
        {-3, 3, 0, -3, 3},
        {-3, 3, 1, 3, 3}, // equal magnitudes give the second
        {3, -3, 1, -3, -3},
        {INT_MIN, 5, 1, 5, kMin},
        {INT_MIN, INT_MAX, 0, kMin, kMax},
        {INT_MIN, INT_MAX, INT_MIN, kMax, kMin},
        {-7, 2, -1, 2, -7},
        {4, 4, 0, 4, 4},
    };
    for (auto& c : cases)
        for (const wchar_t* id : {L"QW_GUIIntMin", L"QW_GUIIntMax"})
        {
            const bool isMin = std::wstring(id) == L"QW_GUIIntMin";
            SCOPED_TRACE(gmpi_sdk::toUtf8(id) + " of " + std::to_string(c.a) + ", " + std::to_string(c.b) + " mode " +
                         std::to_string(c.mode));
            UiTable t{id};
            t.start = false;
            t.rows = {
                markInt(2),
                markInt(3),
                setOnly(0, i32(c.a)),
                setOnly(4, i32(c.mode)),
                deliver(1, i32(c.b), intCopies(2, 3, isMin ? c.min : c.max)),
                deliver(4, i32(c.mode == 0 ? 1 : 0)).because("a mode change alone"),
            };
            runUiTable(t);
        }
}

// The positive remainder in 64 bits; 0 for a range below 1.
int64_t wrapped(int64_t v, int64_t range)
{
    return range < 1 ? 0 : ((v % range) + range) % range;
}

TEST(IntArith, WrapIntoTheRange)
{
    const struct
    {
        int32_t v, range;
    } cases[] = {
        {-1, 5},
        {5, 5},
        {4, 5},
        {7, 0},
        {7, -3},
        {INT_MIN, 7},
        {INT_MIN, INT_MAX},
        {INT_MAX, INT_MAX},
        {-1, INT_MAX},
        {INT_MIN, 1},
        {INT_MAX, INT_MIN},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.v) + " by " + std::to_string(c.range));
        UiTable t{L"QW_GUIIntWrap"};
        t.start = false;
        t.rows = {markInt(2), markInt(3), setOnly(1, i32(c.range)),
                  deliver(0, i32(c.v), intCopies(2, 3, wrapped(c.v, c.range)))};
        runUiTable(t);
        // Back from either copy into the value: wrapped the same way.
        for (int copy : {2, 3})
        {
            UiTable b{L"QW_GUIIntWrap"};
            b.start = false;
            b.rows = {markInt(0), deliver(4, b8(true)), setOnly(1, i32(c.range)),
                      deliver(copy, i32(c.v), intOne(0, wrapped(c.v, c.range)))};
            runUiTable(b);
        }
    }
}

TEST(IntArith, WrapRangeChangeByMode)
{
    // Mode 1 recomputes the result.
    UiTable t{L"QW_GUIIntWrap"};
    t.start = false;
    t.rows = {
        setOnly(1, i32(5)),
        deliver(0, i32(13), intCopies(2, 3, 3)),
        deliver(5, i32(1)).because("a mode change alone"),
        deliver(1, i32(7), intCopies(2, 3, 6)).because("13 mod 7"),
        deliver(1, i32(4), intCopies(2, 3, 1)),
        deliver(5, i32(0)),
        deliver(1, i32(6)).because("mode 0 does nothing"),
        deliver(5, i32(7)),
        deliver(1, i32(7)).because("nor does any other mode"),
    };
    runUiTable(t);

    // Mode 2 recomputes the value from the left copy, or from the right one
    // when the left holds 0, whatever the switch.
    for (int32_t left : {0, 9})
    {
        SCOPED_TRACE("left copy " + std::to_string(left));
        UiTable m{L"QW_GUIIntWrap"};
        m.start = false;
        m.rows = {
            markInt(0),
            setOnly(5, i32(2)),
            setOnly(2, i32(left)),
            setOnly(3, i32(13)),
            deliver(1, i32(5), intOne(0, wrapped(left != 0 ? left : 13, 5))),
        };
        runUiTable(m);
    }
}

// The clip of v in 64 bits: the lower limit first, then the upper one.
int64_t clipped(int64_t v, int64_t lo, int64_t hi, int mode)
{
    if (mode == 0)
        return std::max(v, lo);
    if (mode == 1)
        return std::min(v, hi);
    return std::min(std::max(v, lo), hi);
}

TEST(IntArith, ClipByMode)
{
    const struct
    {
        int32_t v, lo, hi, mode;
    } cases[] = {
        {-5, 10, 0, 2},
        {5, 10, 0, 2},
        {50, 10, 0, 2},
        {50, 10, 0, 0},
        {3, 10, 0, 0},
        {50, 0, 20, 1},
        {-5, 0, 20, 1},
        {50, 0, 20, 2},
        {-5, 0, 20, 2},
        {7, 0, 20, INT_MIN},
        {INT_MIN, INT_MIN, INT_MAX, 2},
        {INT_MAX, INT_MAX, INT_MIN, 2},
        {INT_MAX, 0, 20, -1},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.v) + " in " + std::to_string(c.lo) + ".." + std::to_string(c.hi) + " mode " +
                     std::to_string(c.mode));
        const int64_t expected = clipped(c.v, c.lo, c.hi, c.mode);
        UiTable t{L"QW_GUIIntClip"};
        t.start = false;
        t.rows = {markInt(3),
                  markInt(4),
                  setOnly(1, i32(c.lo)),
                  setOnly(2, i32(c.hi)),
                  setOnly(5, i32(c.mode)),
                  deliver(0, i32(c.v), intCopies(3, 4, expected))};
        runUiTable(t);
        for (int copy : {3, 4})
        {
            UiTable b{L"QW_GUIIntClip"};
            b.start = false;
            b.rows = {markInt(0),
                      deliver(6, b8(true)),
                      setOnly(1, i32(c.lo)),
                      setOnly(2, i32(c.hi)),
                      setOnly(5, i32(c.mode)),
                      deliver(copy, i32(c.v), intOne(0, expected))};
            runUiTable(b);
        }
    }
}

TEST(IntArith, ClipLimitChangeByMode)
{
    UiTable t{L"QW_GUIIntClip"};
    t.start = false;
    t.rows = {
        setOnly(5, i32(2)),
        setOnly(2, i32(100)),
        deliver(0, i32(50), intCopies(3, 4, 50)),
        deliver(7, i32(1)).because("a mode change alone"),
        deliver(2, i32(20), intCopies(3, 4, 20)),
        deliver(7, i32(2)),
        deliver(1, i32(0), intOne(0, 20)).because("the value from the left copy"),
        deliver(7, i32(0)),
        deliver(2, i32(5)).because("mode 0 does nothing"),
    };
    runUiTable(t);
}

TEST(IntArith, LogicSecondCopyFirst)
{
    const struct
    {
        int32_t a, b, op;
        int64_t r;
    } cases[] = {
        {12, 10, 0, 8},
        {12, 10, 1, 14},
        {12, 10, 7, 6},
        {12, 10, 2, 6},
        {12, 10, -1, 6},
        {INT_MIN, -1, 0, kMin},
        {INT_MIN, INT_MAX, 1, -1},
        {-1, INT_MAX, INT_MIN, kMin},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.a) + ", " + std::to_string(c.b) + " operation " + std::to_string(c.op));
        UiTable t{L"QW_GUIIntLogic"};
        t.start = false;
        t.rows = {markInt(3), markInt(4), setOnly(0, i32(c.a)), setOnly(1, i32(c.b)),
                  deliver(2, i32(c.op), {{4, i32(in32(c.r))}, {3, i32(in32(c.r))}})};
        runUiTable(t);
    }
    UiTable t{L"QW_GUIIntLogic"};
    t.start = false;
    t.rows = {
        markInt(3),
        markInt(4),
        deliver(0, i32(12), {{4, i32(0)}, {3, i32(0)}}),
        deliver(1, i32(10), {{4, i32(8)}, {3, i32(8)}}),
        deliver(2, i32(1), {{4, i32(14)}, {3, i32(14)}}).because("an operation change recomputes"),
    };
    runUiTable(t);
}
} // namespace
