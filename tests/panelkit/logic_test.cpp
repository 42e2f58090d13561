// Logic gates and comparators: computed from initialize on.
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace
{
using namespace qwtest;
using qwhost::Echo;

// QW_GUILogicGate: operation 0, invert 1, inputs 2 and 3, results 4 and 5.
constexpr int kOp = 0, kInvert = 1, kA = 2, kB = 3, kResultL = 4, kResultR = 5;

UiSends result(bool v)
{
    return {{kResultR, b8(v)}, {kResultL, b8(v)}};
}

// The gate's truth table as the operations define it.
bool gate(int op, bool a, bool b)
{
    switch (op)
    {
    case 0:
        return a && b;
    case 1:
        return a || b;
    case 2:
        return a != b;
    default:
        return false;
    }
}

TEST(GUILogicGate, OperationAndInvertTable)
{
    const bool pairs[][2] = {{true, false}, {true, true}, {false, true}, {false, false}};
    for (int op : {0, 1, 2, 3, -1})
        for (bool invert : {false, true})
        {
            SCOPED_TRACE("operation " + std::to_string(op) + (invert ? ", inverted" : ""));
            UiTable t{L"QW_GUILogicGate"};
            bool shown = false, a = false, b = false; // as initialize left them
            auto row = [&](int pin, bool v) {
                (pin == kA ? a : b) = v;
                const bool r = gate(op, a, b) != invert;
                UiRow d = deliver(pin, b8(v), r != shown ? result(r) : UiSends{});
                shown = r;
                return d;
            };
            t.rows.push_back(deliver(kOp, i32(op)));
            bool r = gate(op, a, b) != invert;
            t.rows.push_back(deliver(kInvert, b8(invert), r != shown ? result(r) : UiSends{}));
            shown = r;
            for (auto& p : pairs)
            {
                t.rows.push_back(row(kA, p[0]));
                t.rows.push_back(row(kB, p[1]));
            }
            runUiTable(t);
        }
}

TEST(GUILogicGate, UnknownOperationInvertedIsTrueOnBothCopies)
{
    UiTable t{L"QW_GUILogicGate"};
    t.rows = {
        deliver(kOp, i32(3)),
        deliver(kInvert, b8(true), result(true)),
        deliver(kA, b8(true)),
        deliver(kB, b8(true)),
        deliver(kInvert, b8(false), result(false)),
        deliver(kOp, i32(0), result(true)),
        deliver(kOp, i32(2), result(false)).because("XOR of true and true"),
    };
    runUiTable(t);
}

TEST(GUILogicGate, AHostValueOnTheFirstResultStaysOneOnTheSecondIsRecomputed)
{
    UiTable t{L"QW_GUILogicGate"};
    t.rows = {
        deliver(kOp, i32(1)),
        deliver(kA, b8(true), result(true)),
        deliver(kResultL, b8(false)).because("stays until the next recomputation"),
        deliver(kResultR, b8(false), result(true)).because("both copies are written back"),
        deliver(kResultL, b8(false)),
        deliver(kB, b8(true), {{kResultL, b8(true)}}).because("the next recomputation rewrites it"),
    };
    runUiTable(t);
}

TEST(GUILogicGate, ComputesNothingBeforeInitialize)
{
    UiTable t{L"QW_GUILogicGate"};
    t.start = false;
    t.rows = {
        deliver(kOp, i32(1)),
        deliver(kA, b8(true)),
        deliver(kResultR, b8(false)),
        initialize(result(true)).returns(0),
    };
    runUiTable(t);
}

// QW_GUILogicGateMultiIn: operation 0, invert 1, result 2, inputs from 3.
constexpr int kMultiResult = 2;

TEST(GUILogicGateMultiIn, WithoutInputsAndIsTrueAndOrFalse)
{
    UiTable t{L"QW_GUILogicGateMultiIn"};
    t.start = false;
    t.rows = {
        deliver(kOp, i32(0)),
        initialize({{kMultiResult, b8(true)}}),
        deliver(kOp, i32(1), {{kMultiResult, b8(false)}}),
        deliver(kInvert, b8(true), {{kMultiResult, b8(true)}}),
        deliver(kOp, i32(9)).because("any operation but 0 is OR"),
    };
    runUiTable(t);
}

TEST(GUILogicGateMultiIn, LearnsItsInputsBeforeInitializeAndKeepsThem)
{
    UiTable t{L"QW_GUILogicGateMultiIn"};
    t.start = false;
    t.rows = {
        deliver(3, b8(true)).returns(-1),
        deliver(7, b8(false)).returns(-1).because("inputs 0 to 4"),
        initialize().because("AND of true and four false"),
        deliver(4, b8(true)),
        deliver(5, b8(true)),
        deliver(7, b8(true)),
        deliver(6, b8(true), {{kMultiResult, b8(true)}}).because("all five true"),
        deliver(8, b8(false)).returns(-1).because("beyond the inputs learnt: ignored"),
        deliver(-5, b8(false)).returns(-1),
        deliver(4096, b8(false)).returns(-1),
        deliver(3, i32(256)).because("a bool of four bytes is an integer"),
        deliver(3, Bytes{}, {{kMultiResult, b8(false)}}).because("no bytes: false"),
        deliver(kOp, i32(1), {{kMultiResult, b8(true)}}),
        deliver(kInvert, b8(true), {{kMultiResult, b8(false)}}),
    };
    runUiTable(t);
}

// Comparators: operands 0 and 1, comparison 2, result 3.
constexpr int kCmp = 2, kCmpResult = 3;

TEST(CmpFloat, ZeroEqualsMinusZeroAndNaNOnlyDiffers)
{
    const float nan = std::nanf("");
    UiTable t{L"QW_CmpFloat"};
    t.start = false;
    t.rows = {
        deliver(kCmp, i32(2)),
        deliver(0, f32(0.0f)),
        deliver(1, f32(-0.0f)).because("nothing before initialize"),
        initialize({{kCmpResult, b8(true)}}),
        deliver(0, f32(nan), {{kCmpResult, b8(false)}}),
        deliver(kCmp, i32(3), {{kCmpResult, b8(true)}}),
        deliver(kCmp, i32(0), {{kCmpResult, b8(false)}}),
        deliver(kCmp, i32(1)),
        deliver(kCmp, i32(4)),
        deliver(kCmp, i32(5)),
        deliver(1, f32(nan)),
        deliver(kCmp, i32(3), {{kCmpResult, b8(true)}}),
        deliver(kCmp, i32(6)).because("no comparison: the result stays"),
        deliver(0, f32(1.0f)),
        deliver(kCmp, i32(-1)),
    };
    runUiTable(t);
}

TEST(CmpInt, ComparisonTable)
{
    // Results of comparisons 0 to 5 (>, >=, ==, !=, <=, <), by hand.
    const struct
    {
        int a, b;
        bool r[6];
    } cases[] = {
        {1, 2, {false, false, false, true, true, true}},   {2, 2, {false, true, true, false, true, false}},
        {3, 2, {true, true, false, true, false, false}},   {INT_MIN, INT_MAX, {false, false, false, true, true, true}},
        {-1, -2, {true, true, false, true, false, false}},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.a) + " vs " + std::to_string(c.b));
        UiTable t{L"QW_CmpInt"};
        t.start = false;
        t.rows = {deliver(0, i32(c.a)), deliver(1, i32(c.b)), deliver(kCmp, i32(0))};
        bool shown = false;
        for (int k = 0; k < 6; ++k)
        {
            const UiSends s = c.r[k] != shown ? UiSends{{kCmpResult, b8(c.r[k])}} : UiSends{};
            t.rows.push_back(k == 0 ? initialize(s) : deliver(kCmp, i32(k), s));
            shown = c.r[k];
        }
        t.rows.push_back(deliver(kCmp, i32(6)));
        t.rows.push_back(deliver(0, i32(c.b)).because("comparison 6 writes nothing"));
        runUiTable(t);
    }
}

TEST(CmpString, EqualityWithoutCaseFoldingAndEveryOtherCodeMeansDiffers)
{
    UiTable t{L"QW_CmpString"};
    t.start = false;
    t.rows = {
        deliver(0, text(L"abc")),
        deliver(1, text(L"ABC")),
        deliver(kCmp, i32(1)),
        initialize({{kCmpResult, b8(true)}}),
        deliver(kCmp, i32(0), {{kCmpResult, b8(false)}}),
    };
    for (int code : {2, 3, 4, 5, -1, 6, 1000})
        t.rows.push_back(deliver(kCmp, i32(code), code == 2 ? UiSends{{kCmpResult, b8(true)}} : UiSends{}));
    t.rows.push_back(deliver(kCmp, i32(0), {{kCmpResult, b8(false)}}));
    t.rows.push_back(deliver(1, text(L"abc"), {{kCmpResult, b8(true)}}));
    t.rows.push_back(deliver(1, text(std::wstring(L"abc\0", 4)), {{kCmpResult, b8(false)}}));
    t.rows.push_back(deliver(0, text(L"")));
    t.rows.push_back(deliver(1, text(L""), {{kCmpResult, b8(true)}}).because("two empty texts are equal"));
    runUiTable(t);
}
} // namespace
