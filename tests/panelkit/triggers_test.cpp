// Trigger generators: sampling on a trigger, copies with a pulse, a pulse on
// release after a change, a pulse per program notification.
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

namespace
{
using namespace qwtest;

UiSends pulse(int pin)
{
    return {{pin, b8(true)}, {pin, b8(false)}};
}

UiSends operator+(UiSends a, const UiSends& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Trigger2: value 0, outputs 4 then 1, triggers 2 (left) and 3 (right), release mode 5.
constexpr int kValue = 0, kOutL = 1, kTrigL = 2, kTrigR = 3, kOutR = 4, kRelease = 5;

UiSends sampled(const Bytes& v)
{
    return {{kOutR, v}, {kOutL, v}};
}

TEST(Trigger2, DirectModeSamplesOnEveryTrue)
{
    UiTable t{L"QW_TriggerFloat2"};
    t.rows = {
        deliver(kValue, f32(0.5f)),
        deliver(kTrigL, b8(true), sampled(f32(0.5f))),
        deliver(kTrigL, b8(true)).because("samples again; the outputs hold it already"),
        deliver(kValue, f32(0.7f)),
        deliver(kTrigL, b8(true), sampled(f32(0.7f))).because("a repeated true samples"),
        deliver(kValue, f32(0.8f)),
        deliver(kTrigR, b8(true), sampled(f32(0.8f))),
        deliver(kValue, f32(0.9f)),
        deliver(kTrigL, b8(false)),
        deliver(kTrigR, b8(false)),
    };
    runUiTable(t);
}

TEST(Trigger2, ReleaseModeSamplesOnFalseAfterTrueOnEitherPin)
{
    UiTable t{L"QW_TriggerFloat2"};
    t.rows = {
        deliver(kRelease, b8(true)),
        deliver(kValue, f32(0.9f)),
        deliver(kTrigL, b8(true)).because("arms"),
        deliver(kTrigR, b8(false), sampled(f32(0.9f))).because("the armed flag is shared"),
        deliver(kValue, f32(1.0f)),
        deliver(kTrigL, b8(false)).because("not armed"),
        deliver(kTrigR, b8(true)),
        deliver(kTrigR, b8(true)),
        deliver(kTrigL, b8(false), sampled(f32(1.0f))),
        deliver(kTrigL, b8(false)),
    };
    runUiTable(t);
}

TEST(Trigger2, SamplesTextAndBlobWhole)
{
    UiTable t{L"QW_TriggerString2"};
    t.rows = {
        deliver(kValue, text(L"hi")),
        deliver(kTrigR, b8(true), sampled(text(L"hi"))),
        deliver(kValue, text(L"")),
        deliver(kTrigR, b8(true), sampled({})),
    };
    runUiTable(t);
    UiTable b{L"QW_TriggerBlob2"};
    b.rows = {
        deliver(kValue, Bytes{1, 2, 3}),
        deliver(kTrigL, b8(true), sampled(Bytes{1, 2, 3})),
    };
    runUiTable(b);
}

// Set2TrigA: values 0 (left) and 1 (right), source 2, trigger 4.
constexpr int kLeft = 0, kRight = 1, kSource = 2, kTrigger = 4;

// The copies and pulses are the same under every echo: a copy coming back
// is the module's own and neither copies again nor pulses.
TEST(GUISet2TrigA, CopiesBothWaysAndPulsesForTheChosenSide)
{
    UiTable t{L"QW_GUISet2TrigAInt"};
    t.start = false;
    t.rows = {
        deliver(kSource, i32(0)),
        deliver(kLeft, i32(5), {{kRight, i32(5)}}).because("the first copy: no pulse"),
        deliver(kLeft, i32(5), UiSends{{kRight, i32(5)}} + pulse(kTrigger)),
        deliver(kRight, i32(6), {{kLeft, i32(6)}}).because("source 0: the right side does not pulse"),
        deliver(kSource, i32(1)),
        deliver(kRight, i32(7), UiSends{{kLeft, i32(7)}} + pulse(kTrigger)),
        deliver(kLeft, i32(8), {{kRight, i32(8)}}).because("source 1: the left side does not pulse"),
        deliver(kSource, i32(5)),
        deliver(kLeft, i32(9), {{kRight, i32(9)}}),
        deliver(kRight, i32(10), {{kLeft, i32(10)}}).because("source 5: never a pulse"),
    };
    runUiTable(t);
}

TEST(GUISet2TrigA, TheFirstRunFromTheRightSideDoesNotPulseEither)
{
    UiTable t{L"QW_GUISet2TrigAFloat"};
    t.start = false;
    t.rows = {
        deliver(kSource, i32(1)),
        deliver(kRight, f32(3.0f), {{kLeft, f32(3.0f)}}),
        deliver(kRight, f32(3.0f), UiSends{{kLeft, f32(3.0f)}} + pulse(kTrigger)),
    };
    runUiTable(t);
}

TEST(GUISet2TrigA, TextTravelsAtFourBytesACharacter)
{
    UiTable t{L"QW_GUISet2TrigAString"};
    t.start = false;
    const Bytes ab = text(L"ab");
    ASSERT_EQ(ab.size(), 8u);
    t.rows = {
        deliver(kLeft, ab, {{kRight, ab}}),
        deliver(kLeft, text(L""), UiSends{{kRight, {}}} + pulse(kTrigger)).because("an empty text is sent at size 0"),
    };
    runUiTable(t);
}

// Set2TrigB: value 0, mouse down 1, trigger 2.
TEST(GUISet2TrigB, PulsesOnReleaseWhenSetWhileDown)
{
    constexpr int kVal = 0, kDown = 1, kTrig = 2;
    UiTable t{L"QW_GUISet2TrigBFloat"};
    t.rows = {
        deliver(kVal, f32(0.5f)).because("set, press, release: no pulse"),
        deliver(kDown, b8(true)),
        deliver(kDown, b8(false)),
        deliver(kDown, b8(true)).because("press, set, release: one pulse"),
        deliver(kVal, f32(0.6f)),
        deliver(kDown, b8(false), pulse(kTrig)),
        deliver(kDown, b8(true)).because("press, set, set, release: one pulse"),
        deliver(kVal, f32(0.7f)),
        deliver(kVal, f32(0.8f)),
        deliver(kDown, b8(false), pulse(kTrig)),
        deliver(kDown, b8(true)).because("press, release: no pulse"),
        deliver(kDown, b8(false)),
        deliver(kDown, b8(false)).because("a release without a press"),
        deliver(kDown, b8(true)).because("a set that changes nothing still counts"),
        deliver(kVal, f32(0.8f)),
        deliver(kDown, b8(false), pulse(kTrig)),
    };
    runUiTable(t);
}

TEST(GUIPC2Trig, PulsesAtEveryNotification)
{
    UiTable t{L"QW_GUIPC2Trig"};
    t.rows = {
        deliver(0, i32(3), pulse(1)),
        deliver(0, i32(3), pulse(1)),
        notify(0, pulse(1)),
    };
    runUiTable(t);
}
} // namespace
