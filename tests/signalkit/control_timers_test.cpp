// Timers and counters through the built bundle: output edges at exact samples
// for every block size.
#include "control_run.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace
{
using qwtest::SignalRun;
using qwtest::Trace;
using qwtest::traceAtBlocks;

struct PinAt
{
    std::string pin;
    double value;
    int64_t at;
};

struct TimerCase
{
    const char* what;
    const wchar_t* id;
    std::vector<PinAt> pins; // mode, unit and times at 0 unless given later
    Trace edges;
};

// T1, T2 in samples unless the case sets Unit = 0; 48 kHz.
const std::vector<TimerCase> kTimerCases = {
    {"on-delay 0 rises at the trigger", L"QW_DSPTimer", {{"Mode", 0, 0}, {"Unit", 1, 0}, {"Trigger", 1, 5}}, {{5, 1}}},
    {"on-delay of 20, falls with the trigger",
     L"QW_DSPTimer",
     {{"Mode", 0, 0}, {"Unit", 1, 0}, {"T1", 20, 0}, {"Trigger", 1, 5}, {"Trigger", 0, 40}},
     {{25, 1}, {40, 0}}},
    {"on-delay restarts at each true update",
     L"QW_DSPTimer",
     {{"Mode", 0, 0}, {"Unit", 1, 0}, {"T1", 20, 0}, {"Trigger", 1, 5}, {"Trigger", 1, 15}},
     {{35, 1}}},
    {"off-delay of 10",
     L"QW_DSPTimer",
     {{"Mode", 1, 0}, {"Unit", 1, 0}, {"T1", 10, 0}, {"Trigger", 1, 5}, {"Trigger", 0, 30}},
     {{5, 1}, {40, 0}}},
    {"pulse on rise, retrigger ignored",
     L"QW_DSPTimer",
     {{"Mode", 2, 0},
      {"Unit", 1, 0},
      {"T1", 10, 0},
      {"T2", 5, 0},
      {"Trigger", 1, 3},
      {"Trigger", 0, 4},
      {"Trigger", 1, 15}},
     {{13, 1}, {18, 0}}},
    {"pulse with T2 = 0 lasts one sample",
     L"QW_DSPTimer",
     {{"Mode", 2, 0}, {"Unit", 1, 0}, {"Trigger", 1, 3}},
     {{3, 1}, {4, 0}}},
    {"pulse on fall after a rise; a lone false starts nothing",
     L"QW_DSPTimer",
     {{"Mode", 3, 0},
      {"Unit", 1, 0},
      {"T1", 2, 0},
      {"T2", 3, 0},
      {"Trigger", 0, 3},
      {"Trigger", 1, 10},
      {"Trigger", 0, 20}},
     {{22, 1}, {25, 0}}},
    {"toggle on true updates",
     L"QW_DSPTimer",
     {{"Mode", 4, 0}, {"Trigger", 1, 5}, {"Trigger", 0, 6}, {"Trigger", 1, 9}, {"Trigger", 0, 10}, {"Trigger", 1, 12}},
     {{5, 1}, {9, 0}, {12, 1}}},
    {"pulse train with T1 = T2 = 0 alternates every sample",
     L"QW_DSPTimer",
     {{"Mode", 5, 0}, {"Unit", 1, 0}, {"Trigger", 1, 10}, {"Trigger", 0, 16}},
     {{10, 1}, {11, 0}, {12, 1}, {13, 0}, {14, 1}, {15, 0}}},
    {"pulse train 3 on, 2 off, ends with the trigger",
     L"QW_DSPTimer",
     {{"Mode", 5, 0}, {"Unit", 1, 0}, {"T1", 3, 0}, {"T2", 2, 0}, {"Trigger", 1, 10}, {"Trigger", 0, 22}},
     {{10, 1}, {13, 0}, {15, 1}, {18, 0}, {20, 1}, {22, 0}}},
    {"mode 7 does nothing", L"QW_DSPTimer", {{"Mode", 7, 0}, {"Unit", 1, 0}, {"Trigger", 1, 5}}, {}},
    {"10 ms at 48 kHz is 480 samples", L"QW_DSPTimer", {{"Mode", 0, 0}, {"T1", 10, 0}, {"Trigger", 1, 7}}, {{487, 1}}},
    {"a unit change alone converts nothing",
     L"QW_DSPTimer",
     {{"Mode", 0, 0},
      {"Unit", 1, 0},
      {"T1", 100, 0},
      {"Unit", 0, 2},
      {"Trigger", 1, 5},
      {"T1", 1, 200},
      {"Trigger", 0, 210},
      {"Trigger", 1, 220}},
     {{105, 1}, {210, 0}, {268, 1}}},
    {"a mode change returns to idle with the output false",
     L"QW_DSPTimer",
     {{"Mode", 4, 0}, {"Trigger", 1, 5}, {"Mode", 4, 9}},
     {{5, 1}, {9, 0}}},
    {"held reset ignores triggers; its release with the trigger true acts as a rise",
     L"QW_DSPTimer2",
     {{"Mode", 0, 0}, {"Unit", 1, 0}, {"T1", 4, 0}, {"Reset", 1, 5}, {"Trigger", 1, 10}, {"Reset", 0, 20}},
     {{24, 1}}},
    {"a rising reset clears the output",
     L"QW_DSPTimer2",
     {{"Mode", 1, 0}, {"Unit", 1, 0}, {"T1", 100, 0}, {"Trigger", 1, 10}, {"Trigger", 0, 20}, {"Reset", 1, 50}},
     {{10, 1}, {50, 0}}},
};

TEST(Timers, EdgesFallAtTheSamplesOfTheirTimes)
{
    for (const auto& c : kTimerCases)
    {
        SCOPED_TRACE(c.what);
        const Trace edges = traceAtBlocks(
            c.id,
            [&](SignalRun& run) {
                for (const auto& p : c.pins)
                    run.set(p.pin, p.value, p.at);
            },
            "Output", 600);
        EXPECT_EQ(edges, c.edges);
    }
}

TEST(Timers, SleepWhileIdleAndRunWhileATimeRuns)
{
    SignalRun run(L"QW_DSPTimer", 48000.0f, 64);
    run.set("Mode", 2).set("Unit", 1).set("T1", 1000).set("T2", 10).set("Trigger", 1, 100);
    run.run(64);
    EXPECT_TRUE(run.processor().asleep()) << "idle after graph start";
    run.run(600);
    EXPECT_FALSE(run.processor().asleep()) << "counting toward the pulse";
    const size_t sleeps = run.processor().sleepRequests.size();
    run.run(1000);
    EXPECT_TRUE(run.processor().asleep()) << "the pulse ended";
    EXPECT_GT(run.processor().sleepRequests.size(), sleeps);
    EXPECT_EQ(qwtest::changesOf(run.processor(), "Output"), (Trace{{1100, 1}, {1110, 0}}));
}

TEST(Timers, HostileTimesStayInsideTheRange)
{
    // Milliseconds that overflow 32 bits saturate (the sanitized build traps a
    // float-to-integer overflow); negative times are raised to the minimum.
    for (double t : {double(INT_MAX), double(INT_MIN), -5.0, 2e9})
        for (int mode : {0, 2, 5})
        {
            SCOPED_TRACE(std::to_string(t) + " mode " + std::to_string(mode));
            SignalRun run(L"QW_DSPTimer2", 192000.0f, 64);
            run.set("Mode", mode).set("T1", t).set("T2", t).set("Trigger", 1, 3);
            run.run(256);
            const Trace e = qwtest::changesOf(run.processor(), "Output");
            if (t < 0)
            {
                ASSERT_FALSE(e.empty()) << "a negative time acts as the minimum";
            }
            else if (mode == 0)
            {
                EXPECT_TRUE(e.empty()) << "the saturated time has not run out";
            }
        }
}

// --- counters ---

TEST(Counters, ModeSequences)
{
    struct Case
    {
        const char* what;
        std::vector<PinAt> before; // at time 0
        int clocks;
        std::vector<int> expected; // the count after each clock
    };
    const std::vector<Case> cases = {
        {"free up", {{"Mode", 0, 0}, {"Limit", 1, 0}}, 3, {1, 2, 3}},
        {"free down", {{"Mode", 0, 0}, {"Limit", -4, 0}}, 2, {-1, -2}},
        {"free with step 0", {{"Mode", 0, 0}, {"Limit", 0, 0}}, 2, {0, 0}},
        {"saturating", {{"Mode", 1, 0}, {"Limit", 3, 0}}, 4, {1, 2, 3, 3}},
        {"wrapping", {{"Mode", 2, 0}, {"Limit", 2, 0}}, 6, {1, 2, 0, 1, 2, 0}},
        {"ping-pong", {{"Mode", 3, 0}, {"Limit", 3, 0}}, 8, {1, 2, 3, 2, 1, 0, 1, 2}},
        {"unknown mode takes no step", {{"Mode", 9, 0}, {"Limit", 3, 0}}, 2, {0, 0}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        for (int block : {1, 7, 64})
        {
            SignalRun run(L"QW_DSPCounter", 48000.0f, block);
            for (const auto& p : c.before)
                run.set(p.pin, p.value, p.at);
            std::vector<int> counts;
            for (int k = 0; k < c.clocks; ++k)
            {
                run.set("Clock", 1, 10 * k + 5).set("Clock", 0, 10 * k + 6);
            }
            run.run(10 * c.clocks + 10);
            // The count as it stood after each clock.
            const Trace t = qwtest::changesOf(run.processor(), "Count");
            for (int k = 0; k < c.clocks; ++k)
            {
                double v = 0;
                for (const auto& [time, value] : t)
                    if (time <= 10 * k + 5)
                        v = value;
                counts.push_back(static_cast<int>(v));
            }
            EXPECT_EQ(counts, c.expected) << "block " << block;
        }
    }
}

TEST(Counters, SaturatingCountStepsDownFromAbove)
{
    SignalRun run(L"QW_DSPCounter", 48000.0f, 7);
    run.set("Mode", 0).set("Limit", 1);
    for (int k = 0; k < 5; ++k)
        run.set("Clock", 1, 10 * k + 5).set("Clock", 0, 10 * k + 6);
    run.set("Mode", 1, 100).set("Limit", 3, 100);
    for (int k = 0; k < 3; ++k)
        run.set("Clock", 1, 110 + 10 * k).set("Clock", 0, 111 + 10 * k);
    run.run(200);
    const Trace t = qwtest::changesOf(run.processor(), "Count");
    ASSERT_GE(t.size(), 7u);
    EXPECT_EQ(t[4], (std::pair<int64_t, double>{45, 5}));
    EXPECT_EQ(t[5], (std::pair<int64_t, double>{110, 4}));
    EXPECT_EQ(t[6], (std::pair<int64_t, double>{120, 3}));
    EXPECT_EQ(t.size(), 7u) << "held at 3";
}

TEST(Counters, FalseClocksAndResetsChangeNothing)
{
    SignalRun run(L"QW_DSPCounter", 48000.0f, 7);
    run.set("Mode", 0).set("Limit", 1).set("Clock", 1, 5).set("Clock", 0, 6);
    run.set("Clock", 0, 20).set("Reset", 0, 30).set("Clock", 1, 40).set("Reset", 1, 50).set("Clock", 0, 51);
    run.run(80);
    EXPECT_EQ(qwtest::changesOf(run.processor(), "Count"), (Trace{{5, 1}, {40, 2}, {50, 0}}));
}

// An audio signal from a table: table[t] for t inside it, 0 after.
qwtest::Signal table(std::vector<float> v)
{
    return [v](int64_t t) { return t >= 0 && t < static_cast<int64_t>(v.size()) ? v[t] : 0.0f; };
}

TEST(AudioCounter, EdgesFromExactZeroWithThePolarity)
{
    struct Case
    {
        const char* what;
        int polarity, mode, limit;
        std::vector<float> clock, reset;
        std::vector<float> counts; // output at each sample of the clock table
    };
    const std::vector<Case> cases = {
        {"0.2 to 0.5 is no edge", 0, 0, 1, {0, 0.2f, 0.5f, 0, 1, 1, 0}, {}, {0, 1, 1, 1, 2, 2, 2}},
        {"negative polarity counts 0 to -1", 1, 0, 1, {0, -1, 0, 1, 0, -0.5f}, {}, {0, 1, 1, 1, 1, 2}},
        {"a reset sample of 0.0 does not reset", 0, 0, 1, {0, 1, 0, 1, 0}, {0, 0, 0, 0, 1}, {0, 1, 1, 2, 0}},
        {"ping-pong", 0, 3, 2, {0, 1, 0, 1, 0, 1, 0, 1, 0, 1}, {}, {0, 1, 1, 2, 2, 1, 1, 0, 0, 1}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const auto r = qwtest::sameAtBlocks([&](int block) {
            SignalRun run(L"QW_AudioCounter", 48000.0f, block);
            run.set("Polarity", c.polarity).set("Mode", c.mode).set("Limit", c.limit);
            run.stream("Clock", table(c.clock)).stream("Reset", table(c.reset));
            return run.run(static_cast<int64_t>(c.clock.size()));
        });
        const auto& out = r.out("Count");
        for (size_t i = 0; i < c.counts.size(); ++i)
            EXPECT_FLOAT_EQ(out[i], c.counts[i] * 0.1f) << "sample " << i;
    }
}

TEST(AudioCounter, PingPongStaysInsideTheLimitAfterItChanges)
{
    SignalRun run(L"QW_AudioCounter", 48000.0f, 7);
    run.set("Mode", 3).set("Limit", 3).set("Limit", 5, 9);
    run.stream("Clock", [](int64_t t) { return t % 2 ? 1.0f : 0.0f; });
    const auto r = run.run(200);
    float lo = 1e9f, hi = -1e9f;
    for (float v : r.out("Count"))
    {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_FLOAT_EQ(lo, 0.0f);
    EXPECT_FLOAT_EQ(hi, 0.5f) << "up to the new limit 5 and no further";
}

TEST(AudioCounter, ZerosBeforeTheFirstMode)
{
    qwhost::ProcessingHost host;
    auto p = host.create(qwtest::bundle("signalkit"), L"QW_AudioCounter");
    const int out = p->pin("Count");
    std::fill_n(p->output(out), 64, 7.0f);
    p->setStreaming(0, true);
    std::fill_n(p->input(0), 64, 1.0f);
    p->run(64);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(p->output(out)[i], 0.0f) << i;
}

TEST(TimeCounter, HowLongTheGateStayedOn)
{
    // A second off is no new measurement: the time the gate stayed off is not counted.
    const auto gate = [](SignalRun& run) { run.set("Gate", 1, 100).set("Gate", 0, 24100).set("Gate", 0, 30000); };
    const Trace samples = traceAtBlocks(L"QW_TimeCounter", gate, "Samples", 30100);
    EXPECT_EQ(samples, (Trace{{24100, 24000}}));
    const Trace seconds = traceAtBlocks(L"QW_TimeCounter", gate, "Seconds", 30100);
    EXPECT_EQ(seconds, (Trace{{24100, 0.5}}));
}

TEST(TimeCounter2, RampsOfTheTimeSinceTheGateWentOn)
{
    const auto r = qwtest::sameAtBlocks([](int block) {
        SignalRun run(L"QW_TimeCounter2", 48000.0f, block);
        run.set("Gate", 1, 10).set("Gate", 0, 48100);
        return run.run(48200);
    });
    EXPECT_FLOAT_EQ(r.out("Samples")[10 + 48000], 4800.0f);
    EXPECT_NEAR(r.out("Seconds")[10 + 48000], 0.1f, 1e-6f);
    const auto held = r.seen("Samples");
    EXPECT_FLOAT_EQ(held[48150], held[48100]) << "holds while the gate is off";
    EXPECT_EQ(r.lastChange("Samples", false), 48100);
}
} // namespace
