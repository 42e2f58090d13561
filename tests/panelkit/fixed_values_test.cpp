// Fixed values, current and earlier.
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

namespace
{
using namespace qwtest;

TEST(GUIFixed, SendsTheValueOnceWhileItStays)
{
    UiTable t{L"QW_GUI_Fixed_Float"};
    t.rows = {
        deliver(0, f32(2.5f), {{1, f32(2.5f)}}),
        deliver(0, f32(2.5f)),
        deliver(0, f32(-1.0f), {{1, f32(-1.0f)}}),
    };
    runUiTable(t);
    UiTable s{L"QW_GUI_Fixed_String"};
    s.rows = {deliver(0, text(L"on"), {{1, text(L"on")}}), deliver(0, text(L"on"))};
    runUiTable(s);
}

// The earlier form: value 0, lock 1, outputs 2 (left) and 3 (right).
TEST(FixedLegacy, RightFirstAndTheLockSetsOutputsBackOnTheirOwnSide)
{
    constexpr int kValue = 0, kLock = 1, kL = 2, kR = 3;
    UiTable t{L"QW_Fixed_Float"};
    t.rows = {
        deliver(kValue, f32(2.5f), {{kR, f32(2.5f)}, {kL, f32(2.5f)}}),
        deliver(kL, f32(7.0f)).because("lock off: an outside value stays"),
        deliver(kR, f32(8.0f)),
        deliver(kValue, f32(3.0f), {{kR, f32(3.0f)}, {kL, f32(3.0f)}}),
        deliver(kLock, b8(true)).because("the lock alone writes nothing"),
        deliver(kL, f32(7.0f), {{kL, f32(3.0f)}}),
        deliver(kR, f32(8.0f), {{kR, f32(3.0f)}}),
        deliver(kL, f32(3.0f)).because("already the value"),
    };
    runUiTable(t);

    UiTable i{L"QW_Fixed_Int"};
    i.rows = {
        deliver(kLock, b8(true)),
        deliver(kValue, i32(4), {{kR, i32(4)}, {kL, i32(4)}}),
        deliver(kR, i32(1), {{kR, i32(4)}}),
    };
    runUiTable(i);
}
} // namespace
