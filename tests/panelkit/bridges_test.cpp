// The trigger pairs, the older set-to-trigger pair and the sample rate, each
// half on its own through the built bundle: pulses worked out by hand at
// every block size, the interface halves' notifications, hostile lengths,
// levels and messages.
#include "bridges_fixture.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace
{
using namespace bridgetest;
using qwtest::b8;
using qwtest::f32;
using qwtest::i32;
using qwtest::text;
using qwtest::UiSends;

constexpr int64_t M = kCommon; // a message time that starts a block at every size
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// ---------------------------------------------------------------------------
// QW_GUIDSPBoolTrigger, processing half: Length 0, Pulse 1.

Outcome boolRun(int block, const std::function<void(DspRun&)>& setup, int64_t until)
{
    return {runOf(L"QW_GUIDSPBoolTrigger", block, setup, until)->updates("Pulse"), {}, {}};
}

std::vector<Update> boolPulses(std::initializer_list<std::pair<int64_t, int64_t>> spans)
{
    std::vector<Update> u{{0, 0.0, {0}}}; // graph start sends the output's false
    for (auto [on, off] : spans)
    {
        u.push_back({on, 1.0, {1}});
        if (off >= 0)
            u.push_back({off, 0.0, {0}});
    }
    return u;
}

TEST(GUIDSPBoolTrigger, APulseOfLengthSamplesFromTheBlockAfterTheMessage)
{
    // N = 300 in 128-sample blocks: true at 1792 (the block after the
    // message), false 300 samples later at 2092, inside the third block
    // (2048 .. 2175). The same at every other block size.
    const auto o = sameAtEveryBlock([](int block) {
        return boolRun(
            block, [](DspRun& r) { r.set("Length", 300, 0).message(M); }, 3000);
    });
    EXPECT_EQ(o.updates, boolPulses({{M, M + 300}}));
    EXPECT_EQ((M + 300) / 128 - M / 128, 2) << "false falls in the third block of 128";
}

TEST(GUIDSPBoolTrigger, LengthsBelowTwoGiveOneSampleAndTheLargestRunsOn)
{
    const std::pair<int32_t, std::vector<Update>> cases[] = {
        {1, boolPulses({{M, M + 1}})},       {0, boolPulses({{M, M + 1}})},    {-7, boolPulses({{M, M + 1}})},
        {INT_MIN, boolPulses({{M, M + 1}})}, {INT_MAX, boolPulses({{M, -1}})},
    };
    for (auto& [n, expected] : cases)
    {
        const auto o = sameAtEveryBlock([n = n](int block) {
            return boolRun(
                block, [n](DspRun& r) { r.set("Length", n, 0).message(M); }, 3 * M);
        });
        EXPECT_EQ(o.updates, expected) << "N = " << n;
    }
}

TEST(GUIDSPBoolTrigger, ALengthChangedDuringAPulseWaitsForTheNextMessage)
{
    const auto o = sameAtEveryBlock([](int block) {
        return boolRun(
            block, [](DspRun& r) { r.set("Length", 300, 0).message(M).set("Length", 50, M + 100).message(2 * M); },
            3 * M);
    });
    EXPECT_EQ(o.updates, boolPulses({{M, M + 300}, {2 * M, 2 * M + 50}}));
}

TEST(GUIDSPBoolTrigger, AMessageDuringAPulseRestartsTheCountWithoutANewEdge)
{
    const auto o = sameAtEveryBlock([](int block) {
        return boolRun(
            block, [](DspRun& r) { r.set("Length", 2000, 0).message(M).message(2 * M); }, 4 * M);
    });
    EXPECT_EQ(o.updates, boolPulses({{M, 2 * M + 2000}}));
}

TEST(GUIDSPBoolTrigger, SleepsAfterEveryPulse)
{
    for (int block : kBlocks)
    {
        const auto r = runOf(
            L"QW_GUIDSPBoolTrigger", block,
            [](DspRun& d) { d.set("Length", 300, 0).message(M).message(2 * M).message(4 * M); }, 5 * M);
        expectSleepAfterEachPulse(*r, {{M, M + 300}, {2 * M, 2 * M + 300}, {4 * M, 4 * M + 300}});
    }
}

// Whatever a message says, it is a trigger.
TEST(GUIDSPBoolTrigger, MessagesOfAnyIdSizeAndDataTriggerAlike)
{
    static const char bytes[16] = "not a trigger";
    const struct
    {
        int32_t id, size;
        const void* data;
    } messages[] = {{0, 0, nullptr}, {7, 16, bytes}, {-1, -100, nullptr}, {INT_MAX, INT_MAX, bytes}};
    for (auto& m : messages)
    {
        DspRun r(L"QW_GUIDSPBoolTrigger", 64);
        r.set("Length", 10, 0).message(M, m.id, m.size, m.data);
        r.run(2 * M);
        EXPECT_EQ(r.updates("Pulse"), boolPulses({{M, M + 10}})) << "id " << m.id << ", size " << m.size;
    }
}

// ---------------------------------------------------------------------------
// QW_GUIAudioTrigger, processing half: Level 0, Length 1, Pulse 2.

Outcome audioRun(int block, const std::function<void(DspRun&)>& setup, int64_t until)
{
    const auto r = runOf(L"QW_GUIAudioTrigger", block, setup, until);
    return {{}, r->seen(), r->reports()};
}

// Samples of a pulse at `a` over the spans, zeros elsewhere.
std::vector<float> audioPulses(int64_t length, float a, std::initializer_list<std::pair<int64_t, int64_t>> spans)
{
    std::vector<float> y(static_cast<size_t>(length), 0.0f);
    for (auto [on, off] : spans)
        std::fill(y.begin() + on, y.begin() + std::min(off, length), a);
    return y;
}

TEST(GUIAudioTrigger, Level5GivesAPulseOf05ForLengthSamplesThenZeros)
{
    const auto o = sameAtEveryBlock([](int block) {
        // The level arrives in the block before the message: the message's
        // report still falls at the start of the next block.
        return audioRun(
            block, [](DspRun& r) { r.set("Length", 300, 0).set("Level", 5.0, M - 10).message(M); }, 3000);
    });
    EXPECT_EQ(o.seen, audioPulses(3000, 0.5f, {{M, M + 300}}));
    // Static from graph start, from the message, and again at the pulse's end.
    EXPECT_EQ(o.reports, (std::vector<Report>{{0, false}, {M, false}, {M + 300, false}}));
}

TEST(GUIAudioTrigger, OneSampleReportsStaticRightAfterIt)
{
    for (int32_t n : {1, 0, -3, INT_MIN})
    {
        const auto o = sameAtEveryBlock([n](int block) {
            return audioRun(
                block, [n](DspRun& r) { r.set("Level", -2.0, 0).set("Length", n, 0).message(M); }, 2500);
        });
        EXPECT_EQ(o.seen, audioPulses(2500, -0.2f, {{M, M + 1}})) << "N = " << n;
        EXPECT_EQ(o.reports, (std::vector<Report>{{0, false}, {M, false}, {M + 1, false}})) << "N = " << n;
    }
}

TEST(GUIAudioTrigger, TheLargestLengthRunsOnAtItsLevel)
{
    DspRun r(L"QW_GUIAudioTrigger", 64);
    r.set("Level", 1.0, 0).set("Length", INT_MAX, 0).message(M);
    r.run(4 * M);
    EXPECT_EQ(r.seen(), audioPulses(4 * M, 0.1f, {{M, 4 * M}}));
    EXPECT_FALSE(r.processor().asleep());
}

TEST(GUIAudioTrigger, ALengthChangeKeepsThePulseAndAMessageRestartsIt)
{
    const auto changed = sameAtEveryBlock([](int block) {
        return audioRun(
            block,
            [](DspRun& r) {
                r.set("Level", 3.0, 0).set("Length", 300, 0).message(M).set("Length", 40, M + 10).message(2 * M);
            },
            3 * M);
    });
    EXPECT_EQ(changed.seen, audioPulses(3 * M, 0.3f, {{M, M + 300}, {2 * M, 2 * M + 40}}));

    const auto restarted = sameAtEveryBlock([](int block) {
        return audioRun(
            block, [](DspRun& r) { r.set("Level", 3.0, 0).set("Length", 2000, 0).message(M).message(2 * M); }, 3 * M);
    });
    EXPECT_EQ(restarted.seen, audioPulses(3 * M, 0.3f, {{M, 2 * M + 2000}}));
}

TEST(GUIAudioTrigger, SleepsAfterEveryPulse)
{
    for (int block : kBlocks)
    {
        const auto r = runOf(
            L"QW_GUIAudioTrigger", block,
            [](DspRun& d) { d.set("Level", 1.0, 0).set("Length", 300, 0).message(M).message(2 * M); }, 4 * M);
        expectSleepAfterEachPulse(*r, {{M, M + 300}, {2 * M, 2 * M + 300}});
    }
}

TEST(GUIAudioTrigger, ALevelThatIsNotFiniteCountsAs0)
{
    for (float level : {kNaN, kInf, -kInf})
    {
        DspRun r(L"QW_GUIAudioTrigger", 64);
        r.set("Level", level, 0).set("Length", 300, 0).message(M);
        r.run(3000);
        EXPECT_EQ(r.seen(), audioPulses(3000, 0.0f, {})) << level;
    }
    // A finite level keeps its tenth, however large.
    DspRun big(L"QW_GUIAudioTrigger", 64);
    big.set("Level", 3e38, 0).set("Length", 10, 0).message(M);
    big.run(2000);
    EXPECT_FLOAT_EQ(big.seen()[M], 3e37f);
}

TEST(GUIAudioTrigger, MessagesOfAnyIdSizeAndDataTriggerAlike)
{
    static const int32_t bytes[4] = {1, 2, 3, 4};
    for (auto [id, size, data] :
         {std::tuple<int32_t, int32_t, const void*>{0, 0, nullptr}, {3, 16, bytes}, {INT_MIN, -1, bytes}})
    {
        DspRun r(L"QW_GUIAudioTrigger", 7);
        r.set("Level", 10.0, 0).set("Length", 5, 0).message(M, id, size, data);
        r.run(2000);
        EXPECT_EQ(r.seen(), audioPulses(2000, 1.0f, {{M, M + 5}})) << "id " << id;
    }
}

// ---------------------------------------------------------------------------
// Interface halves of both trigger pairs: Trigger R 0, Trigger L 1, Active Level 2.
// They send messages, not pin values: a table of notifications and the
// number of trigger messages each sends, under every echo of the host.

struct Notify
{
    int pin;
    qwtest::Bytes value;
    size_t messages; // trigger messages this notification sends
};

void runTriggerGui(const std::wstring& id, const std::vector<Notify>& rows)
{
    for (auto echo : qwtest::kEchoModes)
    {
        qwhost::GuiHost host;
        host.echo = echo;
        auto g = host.create(qwtest::bundle("panelkit"), id, false);
        for (size_t k = 0; k < rows.size(); ++k)
        {
            const size_t before = g->messagesToAudio.size();
            g->set(rows[k].pin, rows[k].value.data(), static_cast<int>(rows[k].value.size()));
            g->settleEchoes();
            ASSERT_EQ(g->messagesToAudio.size() - before, rows[k].messages) << qwtest::echoName(echo) << ", row " << k;
            for (size_t m = before; m < g->messagesToAudio.size(); ++m)
            {
                EXPECT_EQ(g->messagesToAudio[m].id, 0);
                EXPECT_TRUE(g->messagesToAudio[m].data.empty());
            }
        }
        EXPECT_TRUE(g->transmits.empty()) << qwtest::echoName(echo);
    }
}

class TriggerGui : public ::testing::TestWithParam<const wchar_t*>
{};

TEST_P(TriggerGui, TheFirstNotificationNeverSendsAndEachTrueOneSends)
{
    runTriggerGui(GetParam(), {
                                  {0, b8(true), 0}, // the first, whatever it holds
                                  {0, b8(true), 1},
                                  {0, b8(true), 1}, // two trues in a row send twice
                                  {1, b8(true), 1},
                                  {1, b8(false), 0},
                                  {0, b8(false), 0},
                                  {2, i32(0), 0}, // the level pin sends nothing itself
                              });
}

TEST_P(TriggerGui, ActiveLevel1SendsOnFalseOnly)
{
    runTriggerGui(GetParam(), {
                                  {2, i32(1), 0},
                                  {1, b8(false), 0}, // still the first trigger notification
                                  {1, b8(false), 1},
                                  {0, b8(true), 0},
                                  {0, b8(false), 1},
                                  {2, i32(-5), 0}, // any level but 0 fires on false
                                  {1, b8(false), 1},
                                  {1, b8(true), 0},
                                  {2, i32(0), 0},
                                  {1, i32(256), 1}, // four bytes are an int: true
                              });
}

INSTANTIATE_TEST_SUITE_P(Pairs, TriggerGui, ::testing::Values(L"QW_GUIDSPBoolTrigger", L"QW_GUIAudioTrigger"),
                         [](const auto& info) {
                             return std::wstring(info.param) == L"QW_GUIAudioTrigger" ? "Audio" : "Bool";
                         });

// ---------------------------------------------------------------------------
// QW_GUISet2Trig, processing half: Trigger 0, Ignore First 1, Length 2, Invert 3, Pulse 4.

Outcome set2Run(int block, const std::function<void(DspRun&)>& setup, int64_t until)
{
    const auto r = runOf(L"QW_GUISet2Trig", block, setup, until);
    return {{}, r->seen(), r->reports()};
}

TEST(GUISet2Trig, APulseOf1000SamplesUntilTheLengthIsSet)
{
    // Any update fires, false as well as true, at its own sample.
    const auto o = sameAtEveryBlock([](int block) {
        return set2Run(
            block, [](DspRun& r) { r.set("Trigger", 0, 37); }, 3000);
    });
    EXPECT_EQ(o.seen, audioPulses(3000, 1.0f, {{37, 1037}}));
    // Streaming from graph start until its first routine ends it, and for the pulse.
    EXPECT_EQ(o.reports, (std::vector<Report>{{0, true}, {0, false}, {37, true}, {1037, false}}));

    const auto set = sameAtEveryBlock([](int block) {
        return set2Run(
            block, [](DspRun& r) { r.set("Length", 250, 0).set("Trigger", 1, 1001); }, 3000);
    });
    EXPECT_EQ(set.seen, audioPulses(3000, 1.0f, {{1001, 1251}}));
}

TEST(GUISet2Trig, LengthsBelowOneGiveOneSampleAndTheLargestRunsOn)
{
    for (int32_t n : {0, -4, INT_MIN})
    {
        const auto o = sameAtEveryBlock([n](int block) {
            return set2Run(
                block, [n](DspRun& r) { r.set("Length", n, 0).set("Trigger", 1, 500); }, 1000);
        });
        EXPECT_EQ(o.seen, audioPulses(1000, 1.0f, {{500, 501}})) << "N = " << n;
    }
    DspRun r(L"QW_GUISet2Trig", 64);
    r.set("Length", INT_MAX, 0).set("Trigger", 1, 500);
    r.run(5000);
    EXPECT_EQ(r.seen(), audioPulses(5000, 1.0f, {{500, 5000}}));
}

TEST(GUISet2Trig, IgnoreFirstSkipsTheFirstUpdateOnly)
{
    const auto o = sameAtEveryBlock([](int block) {
        return set2Run(
            block,
            [](DspRun& r) {
                r.set("Ignore First", 1, 0).set("Length", 100, 0).set("Trigger", 1, 50).set("Trigger", 0, 400);
                r.set("Trigger", 1, 800);
            },
            1500);
    });
    EXPECT_EQ(o.seen, audioPulses(1500, 1.0f, {{400, 500}, {800, 900}}));
}

TEST(GUISet2Trig, IgnoreFirstTurnedOnAfterPulsesStillSkipsTheNextUpdate)
{
    // Updates that pulse while it is off leave the first flag set.
    const auto o = sameAtEveryBlock([](int block) {
        return set2Run(
            block,
            [](DspRun& r) {
                r.set("Length", 100, 0).set("Trigger", 1, 50).set("Trigger", 0, 400);
                r.set("Ignore First", 1, 700).set("Trigger", 1, 800).set("Trigger", 0, 1100);
            },
            1500);
    });
    EXPECT_EQ(o.seen, audioPulses(1500, 1.0f, {{50, 150}, {400, 500}, {1100, 1200}}));
}

TEST(GUISet2Trig, InvertedItRestsAt1AndDipsTo0)
{
    const auto o = sameAtEveryBlock([](int block) {
        return set2Run(
            block, [](DspRun& r) { r.set("Invert", 1, 0).set("Length", 30, 0).set("Trigger", 1, 300); }, 1000);
    });
    std::vector<float> expected(1000, 1.0f);
    std::fill(expected.begin() + 300, expected.begin() + 330, 0.0f);
    EXPECT_EQ(o.seen, expected);
}

// At rest the output takes the new resting level at the sample the invert
// changes, without waiting for a pulse.
TEST(GUISet2Trig, InvertChangedAtRestMovesTheRestingLevelThere)
{
    const auto o = sameAtEveryBlock([](int block) {
        return set2Run(
            block,
            [](DspRun& r) {
                r.set("Length", 30, 0).set("Invert", 1, 1000).set("Trigger", 1, 1500).set("Invert", 0, 2000);
            },
            2500);
    });
    std::vector<float> expected(2500, 0.0f);
    std::fill(expected.begin() + 1000, expected.begin() + 2000, 1.0f);
    std::fill(expected.begin() + 1500, expected.begin() + 1530, 0.0f);
    EXPECT_EQ(o.seen, expected);
}

TEST(GUISet2Trig, ATriggerDuringAPulseRestartsItAndALengthChangeWaits)
{
    const auto restarted = sameAtEveryBlock([](int block) {
        return set2Run(
            block, [](DspRun& r) { r.set("Length", 500, 0).set("Trigger", 1, 100).set("Trigger", 0, 403); }, 1500);
    });
    EXPECT_EQ(restarted.seen, audioPulses(1500, 1.0f, {{100, 903}}));

    const auto changed = sameAtEveryBlock([](int block) {
        return set2Run(
            block,
            [](DspRun& r) {
                r.set("Length", 500, 0).set("Trigger", 1, 100).set("Length", 20, 300).set("Trigger", 1, 1000);
            },
            1500);
    });
    EXPECT_EQ(changed.seen, audioPulses(1500, 1.0f, {{100, 600}, {1000, 1020}}));
}

TEST(GUISet2Trig, SleepsAfterEveryPulse)
{
    for (int block : kBlocks)
    {
        const auto r = runOf(
            L"QW_GUISet2Trig", block,
            [](DspRun& d) {
                d.set("Length", 100, 0).set("Trigger", 1, 100).set("Trigger", 0, 1000).set("Trigger", 1, 2001);
            },
            3000);
        expectSleepAfterEachPulse(*r, {{100, 200}, {1000, 1100}, {2001, 2101}});
    }
}

// Interface half: watched pins 0-9 (float, int, text, bool, blob, twice), Trigger 10.
TEST(GUISet2TrigGUI, IgnoresFiveNotificationsThenToggles)
{
    qwtest::UiTable t{L"QW_GUISet2Trig"};
    t.start = false;
    t.rows = {
        qwtest::deliver(0, f32(1.0f)),
        qwtest::deliver(2, text(L"a")),
        qwtest::deliver(4, {1, 2}),
        qwtest::deliver(6, i32(3)),
        qwtest::deliver(8, b8(true)).because("the fifth notification"),
        qwtest::deliver(9, {}, {{10, b8(true)}}).because("the sixth writes true"),
        qwtest::deliver(3, b8(false), {{10, b8(false)}}),
        qwtest::deliver(3, b8(false), {{10, b8(true)}}).because("every notification toggles, changed or not"),
        qwtest::deliver(10, b8(false)).because("the host sets the toggle's pin (its start value, say)"),
        qwtest::deliver(5, f32(kNaN), {{10, b8(false)}}).because("sent whatever the pin holds"),
        qwtest::deliver(10, b8(true)),
        qwtest::deliver(1, i32(INT_MIN), {{10, b8(true)}}),
    };
    qwtest::runUiTable(t);
}

// ---------------------------------------------------------------------------
// QW_GUISampleRate

TEST(GUISampleRate, SendsTheHostRateAtGraphStart)
{
    for (float rate : {44100.0f, 48000.0f, 96000.0f, 192000.0f})
    {
        DspRun r(L"QW_GUISampleRate", 64, rate);
        r.run(1000);
        EXPECT_EQ(r.updates("Sample Rate"), (std::vector<Update>{{0, rate, f32(rate)}})) << rate;
        EXPECT_TRUE(r.processor().asleep());
    }
    DspRun none(L"QW_GUISampleRate", 64, 0.0f);
    none.run(1000);
    EXPECT_TRUE(none.updates("Sample Rate").empty()) << "a rate of 0 is what the pin holds already";
}

// Fallback 0, Sample Rate 1, Rate 2.
TEST(GUISampleRate, InterfaceHalfPassesTheRateOnOrTheFallback)
{
    qwtest::UiTable t{L"QW_GUISampleRate"};
    t.start = false;
    t.rows = {
        qwtest::deliver(0, f32(44100.0f)).because("the fallback alone updates nothing"),
        qwtest::deliver(1, f32(0.0f), {{2, f32(44100.0f)}}),
        qwtest::deliver(1, f32(48000.0f), {{2, f32(48000.0f)}}),
        qwtest::deliver(0, f32(22050.0f)),
        qwtest::deliver(1, f32(48000.0f)).because("unchanged: nothing to send"),
        qwtest::deliver(1, f32(-1.0f), {{2, f32(22050.0f)}}),
        qwtest::deliver(1, f32(96000.0f), {{2, f32(96000.0f)}}),
        qwtest::deliver(1, f32(kNaN), {{2, f32(kNaN)}}).because("not a number is not 0 or less: copied"),
        qwtest::deliver(1, f32(-kInf), {{2, f32(22050.0f)}}),
    };
    qwtest::runUiTable(t);
}
} // namespace
