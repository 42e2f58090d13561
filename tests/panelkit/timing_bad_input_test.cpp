// Values no patch should send to the timers, key repeat, menu and radio-button
// helpers: out-of-range modes, extreme times, delays and rates, values of odd
// sizes, pin ids beyond the ones taken and an absurd host pin count. A safe
// result under every echo of the host, no hang and no transmit loop.
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <climits>

namespace
{
using namespace qwtest;

UiSends operator+(UiSends a, const UiSends& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

UiSends both(int low, bool v)
{
    return {{low + 1, b8(v)}, {low, b8(v)}};
}

UiTable onClock(const wchar_t* id)
{
    UiTable t{id};
    t.manualClock = 1000.0;
    return t;
}

// A mode outside 0 to 6 ignores every trigger and runs no timer.
TEST(TimingBadInput, ModesOutOfRange)
{
    for (int32_t mode : {INT_MIN, -1, 7, INT_MAX})
    {
        SCOPED_TRACE(mode);
        for (const wchar_t* id : {L"QW_GUITimer2", L"QW_GUITimer"})
        {
            UiTable t = onClock(id);
            t.rows = {
                deliver(2, i32(mode)), deliver(1, b8(true)),  deliver(0, b8(true)), wait(2000),
                deliver(1, b8(false)), deliver(0, b8(false)), wait(2000),
            };
            runUiTable(t);
        }
    }
}

// The longest time runs for days: nothing within a second, and a mode change
// stops it.
TEST(TimingBadInput, LongestTimes)
{
    UiTable timer2 = onClock(L"QW_GUITimer2");
    timer2.rows = {
        deliver(3, i32(INT_MAX)),
        deliver(2, i32(0)),
        deliver(1, b8(true)),
        wait(1000),
        deliver(2, i32(5)),
        deliver(1, b8(false)),
        deliver(1, b8(true), both(4, true)),
    };
    runUiTable(timer2);

    UiTable legacy = onClock(L"QW_GUITimer");
    legacy.rows = {
        deliver(3, i32(INT_MAX)),
        deliver(4, i32(INT_MAX)),
        deliver(2, i32(6)),
        deliver(1, b8(true), both(5, true) + both(5, false)),
        wait(1000),
        deliver(1, b8(false)),
    };
    runUiTable(legacy);
}

// Delays at the ends of the range: INT_MAX ticks pass without a pulse, INT_MIN
// counts as no delay.
TEST(TimingBadInput, KeyRepeatDelays)
{
    const UiSends pulse = both(4, true) + both(4, false);
    UiTable longest = onClock(L"QW_KeyRepeat");
    longest.rows = {
        deliver(2, i32(INT_MAX)), deliver(3, i32(1000)), deliver(1, b8(true), pulse), wait(1000), deliver(1, b8(false)),
    };
    runUiTable(longest);

    for (int32_t delay : {INT_MIN, -1})
    {
        SCOPED_TRACE(delay);
        UiTable t = onClock(L"QW_KeyRepeat");
        t.rows = {deliver(2, i32(delay)), deliver(3, i32(10)), deliver(1, b8(true), pulse), wait(100, pulse)};
        runUiTable(t);
    }
}

// The selection read from at most four bytes, a shorter value filled from
// zero, none at all read as 0; output ids beyond 0 to 4095 are not counted.
TEST(TimingBadInput, MenuSelectionsOfOddSizesAndFarOutputIds)
{
    UiSends clear;
    for (int pin = 1; pin <= 4; ++pin)
        clear.push_back({pin, b8(false)});
    UiTable t{L"QW_MenuSel2Trig"};
    t.prepareHost = [](qwhost::GuiHost& h) { h.autoDuplicateCount = 4; };
    t.rows = {
        deliver(4096, b8(false)).because("not an output"),
        deliver(INT_MAX, b8(true)),
        deliver(-5, b8(true)),
        deliver(0, i32(-1), clear).because("still four outputs"),
        deliver(0, Bytes{2}, {{3, b8(true)}}),
        deliver(0, Bytes{1, 0, 0, 0, 9, 9, 9, 9}, {{2, b8(true)}}),
        deliver(0, Bytes{0xFF, 0xFF}).because("65535"),
        deliver(0, i32(3), {{1, b8(true)}}).sized(0).because("size 0: selection 0"),
        deliver(0, i32(-1), clear),
        deliver(0, i32(-1), {{1, b8(true)}}).sized(-1).because("size -1: selection 0"),
        deliver(0, i32(-1), {{1, b8(true)}}).withoutData(),
        deliver(0, i32(INT_MAX)),
        deliver(0, i32(INT_MIN), clear),
    };
    runUiTable(t);
}

constexpr int kValue = 0, kOneBased = 1;

UiSends lights(int lit, int buttons)
{
    UiSends s;
    for (int i = 0; i < buttons; ++i)
        s.push_back({2 + i, f32(i == lit ? 1.0f : 0.0f)});
    return s;
}

// The host's pin count counts as at most 4096 (4094 buttons); one below the
// two fixed pins, or none, gives no buttons.
TEST(TimingBadInput, RadioButtonHostPinCounts)
{
    UiTable huge = onClock(L"QW_RadioButtons");
    huge.start = false;
    huge.rows = {
        hostPinCount(1000000000),
        deliver(kValue, i32(INT_MAX)),
        initialize(lights(4093, 4094)),
        deliver(kValue, i32(INT_MIN), lights(0, 4094)),
        deliver(4095, f32(1.0f), {{kValue, i32(4093)}}).because("the last id taken"),
        deliver(4096, f32(1.0f)).because("not a button"),
        deliver(INT_MIN, f32(1.0f)),
        wait(10, lights(4093, 4094)),
    };
    runUiTable(huge);

    for (int32_t count : {2, 1, 0, -5, INT_MIN})
    {
        SCOPED_TRACE(count);
        UiTable t = onClock(L"QW_RadioButtons");
        t.start = false;
        t.rows = {hostPinCount(count), initialize(), deliver(kValue, i32(5)), deliver(3, f32(1.0f), {{kValue, i32(1)}}),
                  wait(10)};
        runUiTable(t);
    }
    UiTable none = onClock(L"QW_RadioButtons");
    none.start = false;
    none.rows = {noOlderHost(), initialize(), deliver(kValue, i32(1)), wait(10)};
    runUiTable(none);
}

// A button value read from at most four bytes; none at all is no click.
TEST(TimingBadInput, RadioButtonValuesOfOddSizes)
{
    UiTable t = onClock(L"QW_RadioButtons");
    t.prepareHost = [](qwhost::GuiHost& h) { h.autoDuplicateCount = 3; };
    t.rows = {
        wait(10, lights(2, 3)),
        deliver(kOneBased, b8(true), lights(1, 3)),
        deliver(4, Bytes{0, 0, 0x80, 0x3F, 0x99}, {{kValue, i32(3)}}).because("1.0 and a fifth byte"),
        deliver(2, Bytes{0, 0, 0x80}).because("three bytes: not 1.0"),
        wait(10, lights(2, 3)),
        deliver(2, f32(1.0f)).sized(0).because("no click"),
        deliver(2, f32(1.0f)).withoutData(),
        deliver(2, f32(1.0f)).sized(-1),
        wait(10),
        deliver(kValue, Bytes{3}, lights(2, 3)),
    };
    runUiTable(t);
}
} // namespace
