// Routing modules that pass a value between their own pins, under a host that
// hands each sent value back inside the send, later or not at all: one value
// from outside settles after at most one send per pin and copy, the same sends
// under every echo, and values from outside still act every time.
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using namespace qwtest;

// Each value type: its suffixes (the splitters name text "Text", the others
// "String") and two values as the host carries them.
struct Type
{
    const wchar_t* textSuffix;
    const wchar_t* stringSuffix;
    Bytes a, b;
};

const Type kTypes[] = {
    {L"Int", L"Int", i32(3), i32(7)},
    {L"Float", L"Float", f32(0.25f), f32(0.5f)},
    {L"Text", L"String", text(L"a"), text(L"bc")},
    {L"Bool", L"Bool", b8(false), b8(true)},
    {L"Blob", L"Blob", Bytes{1}, Bytes{2, 3, 4}},
};

UiSends operator+(UiSends a, const UiSends& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

UiSends pulse(int pin)
{
    return {{pin, b8(true)}, {pin, b8(false)}};
}

// Mode 1 with link on: a value on copy 4 goes to copies 3 and 5 once; their
// echoes are not linked on again (4 -> 3 -> 4 ...).
TEST(EchoSettle, LinkedSplitters)
{
    constexpr int kMode = 0, kLink = 1;
    for (const Type& ty : kTypes)
    {
        UiTable t{std::wstring(L"QW_Splitter") + ty.textSuffix};
        t.start = false;
        t.rows = {
            deliver(kMode, i32(1)),
            deliver(kLink, b8(true)),
            deliver(5, ty.a, {{3, ty.a}, {4, ty.a}}).because("three copies known"),
            deliver(4, ty.b, {{3, ty.b}, {5, ty.b}}).because("settles after two sends"),
            deliver(4, ty.b, {{3, ty.b}, {5, ty.b}}).because("an equal value from outside is passed on again"),
        };
        runUiTable(t);
    }
}

// Selector 1: a value on pin 1 goes to the selected pin once, and one there
// to pin 1 once; neither echo is sent back (pin 1 -> selected -> pin 1 ...).
TEST(EchoSettle, SelectorSwitches)
{
    constexpr int kSelector = 0, kSingle = 1, kChangeMode = 2;
    for (const Type& ty : kTypes)
    {
        UiTable one{std::wstring(L"QW_GUISwitchOneToMany_") + ty.stringSuffix};
        one.start = false;
        one.rows = {
            hostPinCount(6),
            deliver(kChangeMode, i32(0)),
            deliver(kSelector, i32(1)),
            deliver(kSingle, ty.b, {{4, ty.b}}).because("settles after one send"),
            deliver(kSingle, ty.b, {{4, ty.b}}).because("every input is forwarded, equal ones too"),
            deliver(4, ty.a, {{kSingle, ty.a}}),
        };
        runUiTable(one);

        UiTable many{std::wstring(L"QW_GUISwitchManyToOne_") + ty.stringSuffix};
        many.start = false;
        many.rows = {
            deliver(kChangeMode, i32(0)),
            deliver(5, ty.a).because("three inputs known; input 2 is not selected"),
            deliver(kSelector, i32(1)),
            deliver(kSingle, ty.b, {{4, ty.b}}).because("settles after one send"),
            deliver(4, ty.a, {{kSingle, ty.a}}),
            deliver(4, ty.a, {{kSingle, ty.a}}).because("every input is forwarded, equal ones too"),
        };
        runUiTable(many);
    }
}

// Each side copies to the other every time; the copy's echo neither copies
// back nor pulses. Two equal writes from outside give two triggers.
TEST(EchoSettle, TriggerPairs)
{
    constexpr int kLeft = 0, kRight = 1, kSource = 2, kTrigger = 4;
    for (const Type& ty : kTypes)
    {
        UiTable t{std::wstring(L"QW_GUISet2TrigA") + ty.stringSuffix};
        t.start = false;
        t.rows = {
            deliver(kSource, i32(0)),
            deliver(kLeft, ty.b, {{kRight, ty.b}}).because("the first copy: no pulse"),
            deliver(kLeft, ty.b, UiSends{{kRight, ty.b}} + pulse(kTrigger)),
            deliver(kLeft, ty.b, UiSends{{kRight, ty.b}} + pulse(kTrigger)).because("equal again: a second trigger"),
            deliver(kSource, i32(1)),
            deliver(kRight, ty.a, UiSends{{kLeft, ty.a}} + pulse(kTrigger)),
        };
        runUiTable(t);
    }
}

// Locked, the value NaN: the outputs get it once; NaN never equals itself,
// yet its echo is the module's own and is not set back again.
TEST(EchoSettle, LockedFixedValueOfNaN)
{
    constexpr int kValue = 0, kLock = 1, kL = 2, kR = 3;
    const Bytes nan = f32(std::nanf(""));
    UiTable t{L"QW_Fixed_Float"};
    t.rows = {
        deliver(kLock, b8(true)),
        deliver(kValue, nan, {{kR, nan}, {kL, nan}}).because("settles after two sends"),
        deliver(kL, f32(7.0f), {{kL, nan}}).because("an outside value is set back once"),
        deliver(kR, f32(-0.0f), {{kR, nan}}),
    };
    runUiTable(t);
}
} // namespace
