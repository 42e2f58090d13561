// Selector switches: outputs from the host's pin count (one to many) or from
// the highest input seen (many to one), routing by selector and change mode.
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

namespace
{
using namespace qwtest;
using qwhost::Echo;

constexpr int kSelector = 0, kSingle = 1, kChangeMode = 2;

TEST(SwitchOneToMany, RoutesBySelectorFromAHostCountOfSeven)
{
    UiTable t{L"QW_GUISwitchOneToMany_Float"};
    t.start = false;
    t.rows = {
        hostPinCount(7),
        deliver(kChangeMode, i32(1)).returns(0).because("the first value makes outputs 3 to 6"),
        deliver(kSingle, f32(0.5f), {{3, f32(0.5f)}}),
        deliver(kSelector, i32(9), {{6, f32(0.5f)}}).because("9 selects the last output"),
        deliver(kSelector, i32(-2), {{3, f32(0.5f)}}).because("-2 selects the first"),
        deliver(kSingle, f32(0.25f), {{3, f32(0.25f), 2}}).onVoice(2).because("the voice is passed on"),
        deliver(4, f32(0.7f)).returns(0).because("an output not selected sends nothing"),
        deliver(3, f32(0.9f), {{kSingle, f32(0.9f)}}),
        deliver(3, f32(0.9f), {{kSingle, f32(0.9f)}}).because("equal values are sent again"),
        deliver(kChangeMode, i32(2)),
        deliver(kSelector, i32(1), {{kSingle, f32(0.7f)}}).because("backward: the output's value to the input"),
        deliver(kSelector, i32(0), {{kSingle, f32(0.9f)}}),
        deliver(kChangeMode, i32(0)),
        deliver(kSelector, i32(2)).because("change mode 0: moving the selector sends nothing"),
        deliver(kSingle, f32(0.1f), {{5, f32(0.1f)}}),
        deliver(3, f32(0.3f)),
        deliver(7, f32(1.0f)).returns(-1).because("no seventh pin"),
    };
    runUiTable(t);
}

TEST(SwitchOneToMany, HostCountOfThreeMakesNoOutputs)
{
    UiTable t{L"QW_GUISwitchOneToMany_Int"};
    t.start = false;
    t.rows = {
        hostPinCount(3),
        deliver(kChangeMode, i32(1)),
        deliver(kSingle, i32(5)),
        deliver(kSelector, i32(1)),
        deliver(3, i32(5)).returns(-1),
        hostPinCount(7),
        deliver(kSingle, i32(6)).because("the count was answered once: it is not asked again"),
    };
    runUiTable(t);
}

TEST(SwitchOneToMany, WithoutAnAnswerNothingPassesAndTheCountIsAskedAgain)
{
    UiTable t{L"QW_GUISwitchOneToMany_Float"};
    t.start = false;
    t.rows = {
        noOlderHost(),
        deliver(kChangeMode, i32(1)),
        deliver(kSingle, f32(0.5f)),
        hostPinCount(0),
        deliver(kSingle, f32(0.5f)).because("no count either"),
        hostPinCount(5),
        deliver(kSingle, f32(0.25f), {{3, f32(0.25f)}}),
        deliver(kSelector, i32(1), {{4, f32(0.25f)}}),
    };
    runUiTable(t);
}

TEST(SwitchOneToMany, HostCountsBelowTheFixedPinsOrHugeAreBounded)
{
    UiTable small{L"QW_GUISwitchOneToMany_Float"};
    small.start = false;
    small.rows = {
        hostPinCount(2), deliver(kChangeMode, i32(1)), deliver(kSingle, f32(0.5f)),
        hostPinCount(7), deliver(kSingle, f32(0.5f)),
    };
    runUiTable(small);

    UiTable huge{L"QW_GUISwitchOneToMany_Float"};
    huge.start = false;
    huge.rows = {
        hostPinCount(1000000000),
        deliver(kChangeMode, i32(1)),
        deliver(kSingle, f32(0.5f), {{3, f32(0.5f)}}),
        deliver(kSelector, i32(5000), {{4095, f32(0.5f)}}).because("at most 4096 pins: outputs 3 to 4095"),
        deliver(4095, f32(0.3f), {{kSingle, f32(0.3f)}}).returns(0),
        deliver(4096, f32(0.4f)).returns(-1),
    };
    runUiTable(huge);
}

// What moving the selector from output 3 to output 4 sends, per change mode.
TEST(SwitchOneToMany, ChangeModeTable)
{
    const struct
    {
        int mode;
        UiSends onMove;
    } cases[] = {
        {0, {}},
        {1, {{4, f32(0.5f)}}},
        {2, {{kSingle, f32(0.7f)}}},
        {7, {{kSingle, f32(0.7f)}}},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE("change mode " + std::to_string(c.mode));
        UiTable t{L"QW_GUISwitchOneToMany_Float"};
        t.start = false;
        t.rows = {
            hostPinCount(6),
            deliver(kChangeMode, i32(c.mode)),
            deliver(kSingle, f32(0.5f), {{3, f32(0.5f)}}),
            deliver(4, f32(0.7f)),
            deliver(kSelector, i32(1), c.onMove),
            deliver(4, f32(0.8f), {{kSingle, f32(0.8f)}}).because("the selected side sends in every mode"),
        };
        runUiTable(t);
    }
}

// A value that a connected module sends back at once on the pin being
// written, different from what was written, is routed as any other.
TEST(SwitchOneToMany, ACorrectionDuringItsOwnSendIsRouted)
{
    for (auto echo : {Echo::Inside, Echo::None})
    {
        SCOPED_TRACE(echoName(echo));
        qwhost::GuiHost host;
        host.echo = echo;
        host.pinCountAnswer = 5;
        auto g = host.create(bundle("panelkit"), L"QW_GUISwitchOneToMany_Float", false);
        g->setInt(kChangeMode, 1);
        g->onTransmit = [&](const qwhost::GuiValue& v) {
            if (v.pin == 3 && v.asFloat() == 0.5f)
                g->setFloat(3, 0.6f);
        };
        g->setFloat(kSingle, 0.5f);
        ASSERT_EQ(g->transmits.size(), 2u);
        EXPECT_EQ(g->transmits[0].pin, 3);
        EXPECT_EQ(g->transmits[1].pin, kSingle);
        EXPECT_EQ(g->transmits[1].asFloat(), 0.6f);
        EXPECT_EQ(g->pendingEchoes(), 0u);
    }
}

TEST(SwitchManyToOne, CountsInputsFromTheHighestSeenAndSendsSlots)
{
    UiTable t{L"QW_GUISwitchManyToOne_Float"};
    t.start = false;
    t.rows = {
        deliver(kChangeMode, i32(1)),
        deliver(kSelector, i32(1)).because("no inputs yet: nothing, not even on a selector change"),
        deliver(5, f32(0.5f)).returns(-1).because("three inputs now; input 2 is not selected"),
        deliver(kSelector, i32(0), {{kSingle, f32(0.0f)}}).because("an untouched slot holds 0"),
        deliver(kSelector, i32(2), {{kSingle, f32(0.5f)}}),
        deliver(kSelector, i32(7), {{kSingle, f32(0.5f)}}).because("clamped to the last; sent again"),
        deliver(kSelector, i32(-1), {{kSingle, f32(0.0f)}}),
        deliver(3, f32(0.25f), {{kSingle, f32(0.25f), 3}}).onVoice(3),
        deliver(4, f32(0.3f)).because("stored only"),
        deliver(kSelector, i32(1), {{kSingle, f32(0.3f)}}),
        deliver(kSingle, f32(0.9f), {{4, f32(0.9f)}}).because("the output changed from outside"),
        deliver(kChangeMode, i32(2)),
        deliver(kSelector, i32(0), {{3, f32(0.9f)}}).because("backward: the output's value to the input"),
        deliver(kChangeMode, i32(1)),
        deliver(kSelector, i32(1), {{kSingle, f32(0.9f)}}),
        deliver(kSelector, i32(0), {{kSingle, f32(0.25f)}})
            .with(Echo::Inside, {{kSingle, f32(0.9f)}})
            .with(Echo::Later, {{kSingle, f32(0.9f)}})
            .because("the slot keeps its value until the host delivers the input's (its echo does)"),
        deliver(4096, f32(1.0f)).returns(-1).because("not an input"),
        deliver(kSelector, i32(100), {{kSingle, f32(0.5f)}}).because("still three inputs"),
    };
    runUiTable(t);
}

TEST(SwitchManyToOne, ChangeModeTable)
{
    const struct
    {
        int mode;
        UiSends onMove;
    } cases[] = {
        {0, {}},
        {1, {{kSingle, f32(0.7f)}}},
        {2, {{4, f32(0.5f)}}},
        {-3, {{4, f32(0.5f)}}},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE("change mode " + std::to_string(c.mode));
        UiTable t{L"QW_GUISwitchManyToOne_Float"};
        t.start = false;
        t.rows = {
            deliver(kChangeMode, i32(c.mode)),
            deliver(4, f32(0.7f)),
            deliver(3, f32(0.2f), {{kSingle, f32(0.2f)}}),
            deliver(kSingle, f32(0.5f), {{3, f32(0.5f)}}),
            deliver(kSelector, i32(1), c.onMove),
            deliver(4, f32(0.8f), {{kSingle, f32(0.8f)}}),
        };
        runUiTable(t);
    }
}

TEST(SwitchManyToOne, ABoolOfFourBytesIsAnInteger)
{
    UiTable t{L"QW_GUISwitchManyToOne_Bool"};
    t.start = false;
    t.rows = {
        deliver(kChangeMode, i32(1)),
        deliver(kSelector, i32(1)),
        deliver(4, b8(false), {{kSingle, b8(false)}}),
        deliver(3, i32(256)).because("256: its first byte is 0, the integer is not"),
        deliver(kSelector, i32(0), {{kSingle, b8(true)}}),
    };
    runUiTable(t);
}

// A slot reads at most the value's own size; shorter values fill from zero
// and a value without bytes is 0. What the switch passes on as received is
// what arrived (a negative size or missing bytes as no bytes).
TEST(SwitchManyToOne, SlotsReadOddSizesSafely)
{
    UiTable t{L"QW_GUISwitchManyToOne_Int"};
    t.start = false;
    t.rows = {
        deliver(kChangeMode, i32(1)),
        deliver(kSelector, i32(1)),
        deliver(4, i32(0), {{kSingle, i32(0)}}),
        deliver(3, Bytes{1, 2, 3}),
        deliver(kSelector, i32(0), {{kSingle, Bytes{1, 2, 3, 0}}}),
        deliver(3, Bytes{1, 2, 3, 4, 5}, {{kSingle, Bytes{1, 2, 3, 4, 5}}}),
        deliver(kSelector, i32(0), {{kSingle, Bytes{1, 2, 3, 4}}}),
        deliver(3, i32(7), {{kSingle, {}}}).sized(-1),
        deliver(kSelector, i32(0), {{kSingle, i32(0)}}),
        deliver(3, i32(7), {{kSingle, {}}}).withoutData(),
        deliver(kSelector, i32(0), {{kSingle, i32(0)}}),
        deliver(3, Bytes{}, {{kSingle, {}}}),
    };
    runUiTable(t);
}

TEST(SwitchManyToOne, TextAndBlobSlotsKeepWholeValues)
{
    UiTable t{L"QW_GUISwitchManyToOne_String"};
    t.start = false;
    t.rows = {
        deliver(kChangeMode, i32(1)),
        deliver(kSelector, i32(1)),
        deliver(4, text(L"x"), {{kSingle, text(L"x")}}),
        deliver(3, Bytes{'a', 0, 0, 0, 'b', 0}).because("six bytes: one whole character"),
        deliver(kSelector, i32(0), {{kSingle, text(L"a")}}),
        deliver(kSelector, i32(1), {{kSingle, text(L"x")}}),
    };
    runUiTable(t);
    UiTable b{L"QW_GUISwitchManyToOne_Blob"};
    b.start = false;
    b.rows = {
        deliver(kChangeMode, i32(1)),
        deliver(kSelector, i32(1)),
        deliver(4, Bytes(1 << 20, 0xAB), {{kSingle, Bytes(1 << 20, 0xAB)}}).because("a blob of 1 MB"),
        deliver(3, Bytes{1, 2, 3}),
        deliver(kSelector, i32(0), {{kSingle, Bytes{1, 2, 3}}}),
        deliver(kSelector, i32(1), {{kSingle, Bytes(1 << 20, 0xAB)}}),
        deliver(4, Bytes{}, {{kSingle, {}}}),
        deliver(kSelector, i32(1), {{kSingle, {}}}),
    };
    runUiTable(b);
}
} // namespace
