// The menu, radio-button, toggle and double-click helpers through the built
// bundle, with the host's echo inside the send, later and none; the radio
// buttons and the double click on the stand-in's manual clock.
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace
{
using namespace qwtest;

UiSends operator+(UiSends a, const UiSends& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---------------------------------------------------------------- menus

UiSends allFalse(int outputs)
{
    UiSends s;
    for (int pin = 1; pin <= outputs; ++pin)
        s.push_back({pin, b8(false)});
    return s;
}

UiTable fourOutputs()
{
    UiTable t{L"QW_MenuSel2Trig"};
    t.prepareHost = [](qwhost::GuiHost& h) { h.autoDuplicateCount = 4; };
    return t;
}

TEST(MenuSel2Trig, OneOutputPerItem)
{
    UiTable t = fourOutputs();
    t.rows = {
        deliver(0, i32(2), {{3, b8(true)}}).because("output 3 only"),
        deliver(0, i32(-1), allFalse(4)),
        deliver(0, i32(4)).because("no fifth item"),
        deliver(0, i32(0), {{1, b8(true)}}),
        deliver(0, i32(0), {{1, b8(true)}}).because("sent every time"),
        deliver(0, i32(3), {{4, b8(true)}}),
        deliver(0, i32(-7), allFalse(4)),
    };
    runUiTable(t);
}

// The outputs are counted from the values the host sets on them; until then a
// selection does nothing. At start the selection is set to none, which the
// host hands back when it echoes.
TEST(MenuSel2Trig, LearnsItsOutputsAndClearsTheSelectionAtStart)
{
    UiTable t = fourOutputs();
    t.start = false;
    t.rows = {
        deliver(0, i32(1)).because("no outputs known"),
        deliver(1, b8(false)),
        deliver(2, b8(false)),
        deliver(0, i32(1), {{2, b8(true)}}),
        deliver(0, i32(2)).because("two outputs known"),
        deliver(4, b8(false)),
        initialize({{0, i32(-1)}})
            .with(qwhost::Echo::Inside, UiSends{{0, i32(-1)}} + allFalse(4))
            .with(qwhost::Echo::Later, UiSends{{0, i32(-1)}} + allFalse(4)),
        deliver(0, i32(3), {{4, b8(true)}}),
    };
    runUiTable(t);
}

TEST(MenuSel2TrigB, PulsesOnTheWatchedItemOnly)
{
    const UiSends pulse = {{2, b8(true)}, {2, b8(false)}};
    UiTable t{L"QW_MenuSel2TrigB"};
    t.rows = {
        deliver(1, i32(3)),
        deliver(0, i32(3), pulse),
        deliver(0, i32(3), pulse).because("every time"),
        deliver(0, i32(2)),
        deliver(0, i32(-1)),
        deliver(1, i32(-1)),
        deliver(0, i32(-1)).because("never on no selection, even when watched"),
        deliver(1, i32(0)),
        deliver(0, i32(0), pulse),
    };
    runUiTable(t);
}

TEST(ImgM2C, HoldsTheChoiceThroughNoSelection)
{
    UiTable t{L"QW_ImgM2C"};
    t.rows = {
        deliver(1, i32(2), {{0, i32(2)}}),
        deliver(1, i32(-1)).because("kept"),
        deliver(1, i32(-2), {{0, i32(-2)}}).because("other negative values pass"),
        deliver(1, i32(5), {{0, i32(5)}}),
        deliver(1, i32(5)).because("unchanged"),
    };
    runUiTable(t);
}

// ---------------------------------------------------------------- radio buttons

constexpr int kValue = 0, kOneBased = 1, kFirstButton = 2;

// Every button, button `lit` at 1 and the others at 0 (-1: none lit).
UiSends lights(int lit, int buttons = 3)
{
    UiSends s;
    for (int i = 0; i < buttons; ++i)
        s.push_back({kFirstButton + i, f32(i == lit ? 1.0f : 0.0f)});
    return s;
}

UiTable threeButtons()
{
    UiTable t{L"QW_RadioButtons"};
    t.manualClock = 1000.0;
    t.prepareHost = [](qwhost::GuiHost& h) { h.autoDuplicateCount = 3; };
    return t;
}

TEST(RadioButtons, ZeroBased)
{
    UiTable t = threeButtons();
    t.rows = {
        wait(10, lights(2)).because("the host's defaults of the buttons are clicks too: the last one holds"),
        deliver(kValue, i32(5), lights(2)),
        deliver(kValue, i32(-2), lights(0)),
        deliver(kValue, i32(2), lights(2)),
        deliver(4, f32(0.0f)).because("the lit one switched off"),
        wait(9),
        wait(1, lights(2)).because("is lit again at the next tick"),
        wait(100),
        deliver(3, f32(1.0f), {{kValue, i32(1)}}),
        wait(10, lights(1)),
        deliver(2, f32(0.5f), {{kValue, i32(0)}}).because("zero-based, any value a button sends"),
        wait(10, lights(0)),
        deliver(4, f32(1.0f), {{kValue, i32(2)}}),
        deliver(4, f32(0.0f)).because("the release of a momentary button"),
        wait(10, lights(2)),
        deliver(3, f32(1.0f), {{kValue, i32(1)}}),
        wait(10, lights(1)),
        deliver(4, f32(1.0f), {{kValue, i32(2)}}).because("a button lit before is taken again"),
        wait(10, lights(2)),
    };
    runUiTable(t);
}

TEST(RadioButtons, OneBased)
{
    UiTable t = threeButtons();
    t.rows = {
        wait(10, lights(2)),
        deliver(kValue, i32(0), lights(0)),
        deliver(kOneBased, b8(true), lights(-1)).because("value 0 lights none"),
        deliver(kValue, i32(2), lights(1)),
        deliver(4, f32(1.0f), {{kValue, i32(3)}}).because("another switched on sets its number"),
        wait(10, lights(2)),
        deliver(4, f32(0.0f), {{kValue, i32(0)}}).because("the lit one switched off sets 0"),
        wait(10, lights(-1)),
        deliver(kValue, i32(7), lights(2)),
        deliver(2, f32(0.5f)).because("only exactly 1 switches on"),
        wait(10, lights(2)),
        deliver(2, f32(1.0f), {{kValue, i32(1)}}),
        wait(10, lights(0)),
        deliver(kValue, i32(-3), lights(-1)),
    };
    runUiTable(t);
}

// The buttons the module lights come back from the host inside the send; they
// are not clicks (zero-based, an unlit button's 0 would otherwise move the
// value to it).
TEST(RadioButtons, ItsOwnLightsComingBackAreNotClicks)
{
    UiTable t = threeButtons();
    t.echoes = {qwhost::Echo::Inside};
    t.rows = {
        wait(10, lights(2)), deliver(kValue, i32(1), lights(1)), wait(100), deliver(kValue, i32(2), lights(2)),
        wait(100),
    };
    runUiTable(t);
}

// ---------------------------------------------------------------- toggle switch

TEST(ToggleSwitch, EachPressInvertsBothPins)
{
    UiTable t{L"QW_ToggleSwitch"};
    t.rows = {
        deliver(0, b8(true)),
        deliver(2, b8(true), {{0, b8(false)}, {1, b8(true)}}),
        deliver(2, b8(false)).because("a release does nothing"),
        deliver(2, b8(true), {{0, b8(true)}, {1, b8(false)}}).because("two unequal pins stay unequal"),
        deliver(2, b8(true), {{0, b8(false)}, {1, b8(true)}}),
        deliver(1, b8(false)),
        deliver(2, b8(true), {{0, b8(true)}, {1, b8(true)}}),
    };
    runUiTable(t);
}

// ---------------------------------------------------------------- double click

constexpr int kOut = 0, kReset = 1, kWindow = 2, kMouse = 3, kIdle = 4;

UiTable dblClick(double clockSeconds)
{
    UiTable t{L"QW_DblClckRes"};
    t.manualClock = clockSeconds;
    t.start = false;
    return t;
}

TEST(DblClckRes, IdleLevelFalseCountsPresses)
{
    UiTable t = dblClick(1000.0);
    t.rows = {
        deliver(kReset, f32(0.5f)),
        deliver(kWindow, f32(300.0f)),
        deliver(kMouse, b8(true)).because("the first click, long after the clock's zero"),
        wait(150),
        deliver(kMouse, b8(false)).because("a release does not count"),
        wait(150),
        deliver(kMouse, b8(true), {{kOut, f32(0.5f)}}).because("300 ms after the last press"),
        deliver(kOut, f32(7.0f)),
        wait(100),
        deliver(kMouse, b8(false)),
        deliver(kMouse, b8(true), {{kOut, f32(0.5f)}}).because("three quick clicks reset twice"),
        deliver(kOut, f32(7.0f)),
        wait(301),
        deliver(kMouse, b8(true)).because("outside the window"),
        wait(1),
        deliver(kMouse, b8(true), {{kOut, f32(0.5f)}}),
    };
    runUiTable(t);
}

TEST(DblClckRes, IdleLevelTrueCountsReleases)
{
    UiTable t = dblClick(1000.0);
    t.rows = {
        deliver(kReset, f32(-2.0f)),
        deliver(kWindow, f32(300.0f)),
        deliver(kIdle, b8(true)),
        deliver(kMouse, b8(false)),
        wait(100),
        deliver(kMouse, b8(true)).because("a press does not count"),
        wait(100),
        deliver(kMouse, b8(false), {{kOut, f32(-2.0f)}}),
    };
    runUiTable(t);
}

// The last click is the clock's zero when the module is made: the first
// click resets when the window is longer than the clock's reading.
TEST(DblClckRes, TheFirstClickCountsFromTheClocksZero)
{
    for (float window : {250.0f, 249.0f})
    {
        SCOPED_TRACE(window);
        UiTable t = dblClick(0.25);
        t.rows = {
            deliver(kReset, f32(1.0f)),
            deliver(kWindow, f32(window)),
            deliver(kMouse, b8(true), window >= 250.0f ? UiSends{{kOut, f32(1.0f)}} : UiSends{}),
        };
        runUiTable(t);
    }
}

TEST(DblClckRes, NaNOrNegativeWindowsNeverReset)
{
    for (float window : {std::nanf(""), -1.0f, -INFINITY})
    {
        SCOPED_TRACE(window);
        UiTable t = dblClick(1000.0);
        t.rows = {
            deliver(kReset, f32(1.0f)), deliver(kWindow, f32(window)),
            deliver(kMouse, b8(true)),  deliver(kMouse, b8(true)).because("no time between the clicks"),
            deliver(kMouse, b8(true)),
        };
        runUiTable(t);
    }
}
} // namespace
