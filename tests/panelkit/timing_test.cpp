// The interface timers and key repeat through the built bundle, on the
// stand-in's manual clock, with the host's echo inside the send, later and
// none. Edges and times are worked out by hand from each mode's rules: a
// timer started at an interval first ticks one full interval later.
#include "patch.h"
#include "run_loop.h"
#include "sample_source.h"
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>

namespace
{
using namespace qwtest;

UiSends operator+(UiSends a, const UiSends& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Both outputs, the higher-numbered one first.
struct Outputs
{
    int low, high;
    UiSends set(bool v) const { return {{high, b8(v)}, {low, b8(v)}}; }
    UiSends pulse() const { return set(true) + set(false); }
};

UiTable onClock(const wchar_t* id)
{
    UiTable t{id};
    t.manualClock = 1000.0;
    return t;
}

// ---------------------------------------------------------------- QW_GUITimer2

constexpr int kTrigR = 0, kTrig = 1, kMode = 2, kTime = 3;
constexpr Outputs kOut2{4, 5};

struct ModeTable
{
    const char* name;
    int mode;
    std::vector<UiRow> rows;
};

// One table per mode, time 300 ms.
TEST(GUITimer2, EachModeWithTime300)
{
    const Outputs o = kOut2;
    const std::vector<ModeTable> tables = {
        {"delay on",
         0,
         {
             deliver(kTrigR, b8(true)).because("the outputs stay false"),
             wait(299),
             wait(1, o.set(true)).because("the first tick"),
             wait(1000).because("one tick only"),
             deliver(kTrigR, b8(false), o.set(false)),
             deliver(kTrigR, b8(true)),
             wait(200),
             deliver(kTrigR, b8(false)).because("a fall before the tick cancels it"),
             wait(1000),
         }},
        {"delay off",
         1,
         {
             deliver(kTrig, b8(true), o.set(true)),
             deliver(kTrig, b8(false)),
             wait(299),
             wait(1, o.set(false)),
             deliver(kTrig, b8(true), o.set(true)),
             deliver(kTrig, b8(false)),
             wait(100),
             deliver(kTrig, b8(true)).because("a rise before the tick cancels it"),
             wait(1000),
         }},
        {"pulse on rise",
         2,
         {
             deliver(kTrig, b8(true), o.set(true)),
             deliver(kTrig, b8(false)),
             wait(100),
             deliver(kTrig, b8(true)).because("no retrigger while true"),
             wait(199),
             wait(1, o.set(false)).because("the pulse counts from the first rise"),
             wait(1000),
             deliver(kTrig, b8(false)),
             deliver(kTrig, b8(true), o.set(true)),
             wait(300, o.set(false)),
             deliver(kTrig, b8(false)),
             deliver(kTrig, b8(true), o.set(true)),
             deliver(kTime, i32(100)),
             wait(50),
             deliver(kTrig, b8(false)),
             deliver(kTrig, b8(true)).because("no retrigger at a new time either"),
             wait(200),
             wait(50, o.set(false)),
         }},
        {"pulse on fall",
         3,
         {
             deliver(kTrig, b8(true)),
             deliver(kTrig, b8(false), o.set(true)),
             wait(150),
             deliver(kTrig, b8(true)),
             deliver(kTrig, b8(false)).because("no retrigger while true"),
             wait(149),
             wait(1, o.set(false)),
             wait(1000),
         }},
        {"delayed pulse",
         4,
         {
             deliver(kTrig, b8(true)),
             deliver(kTrig, b8(false)),
             wait(100),
             deliver(kTrig, b8(true)).because("ignored while a pulse is pending"),
             wait(199),
             wait(1, o.pulse()),
             wait(1000),
             deliver(kTrig, b8(true)),
             wait(100),
             deliver(kMode, i32(4)).because("a mode change cancels the pending pulse"),
             wait(1000),
             deliver(kTrig, b8(true)).because("and the next rise counts"),
             wait(300, o.pulse()),
         }},
        {"toggle",
         5,
         {
             deliver(kTrig, b8(true), o.set(true)),
             deliver(kTrig, b8(false)),
             wait(1000).because("no timer"),
             deliver(kTrigR, b8(true), o.set(false)),
             deliver(kTrigR, b8(true), o.set(true)).because("every rise"),
         }},
        {"blink while high",
         6,
         {
             deliver(kTrig, b8(true), o.set(true)),
             wait(299),
             wait(1, o.set(false)),
             wait(300, o.set(true)),
             wait(300, o.set(false)),
             wait(300, o.set(true)),
             deliver(kTrig, b8(false), o.set(false)),
             wait(1000),
         }},
    };
    for (const ModeTable& m : tables)
    {
        SCOPED_TRACE(m.name);
        UiTable t = onClock(L"QW_GUITimer2");
        t.rows = {deliver(kTime, i32(300)), deliver(kMode, i32(m.mode))};
        t.rows.insert(t.rows.end(), m.rows.begin(), m.rows.end());
        runUiTable(t);
    }
}

// A new time takes effect at the next start: a rise while blinking moves the
// blink to it, and the old interval ticks no more.
TEST(GUITimer2, ARiseAtANewTimeMovesTheBlink)
{
    UiTable t = onClock(L"QW_GUITimer2");
    t.rows = {
        deliver(kTime, i32(300)),
        deliver(kMode, i32(6)),
        deliver(kTrig, b8(true), kOut2.set(true)),
        wait(150),
        deliver(kTime, i32(100)),
        wait(100).because("the running blink keeps 300 ms"),
        deliver(kTrigR, b8(true)),
        wait(100, kOut2.set(false)),
        wait(50).because("every 100 ms from the rise on, and no more at 300 ms"),
        wait(50, kOut2.set(true)),
        wait(100, kOut2.set(false)),
    };
    runUiTable(t);
}

// Times below 2 ms run at 1 ms; 2 ms is 2 ms.
TEST(GUITimer2, TimesBelowTwoAreOneMillisecond)
{
    for (int32_t time : {0, 1, -5, INT_MIN})
    {
        SCOPED_TRACE(time);
        UiTable t = onClock(L"QW_GUITimer2");
        t.rows = {
            deliver(kTime, i32(time)),
            deliver(kTrig, b8(true)),
            wait(0.4),
            wait(0.6, kOut2.set(true)),
        };
        runUiTable(t);
    }
    UiTable t = onClock(L"QW_GUITimer2");
    t.rows = {deliver(kTime, i32(2)), deliver(kTrig, b8(true)), wait(1), wait(1, kOut2.set(true))};
    runUiTable(t);
}

// Triggers count from initialize on: one that is true on the left pin then
// runs its rise, one on the right pin alone does nothing.
TEST(GUITimer2, InitializeRunsTheRiseOfTheLeftTrigger)
{
    UiTable left = onClock(L"QW_GUITimer2");
    left.start = false;
    left.rows = {
        deliver(kTime, i32(300)),
        deliver(kMode, i32(2)),
        deliver(kTrig, b8(true)).because("not yet initialised"),
        initialize(kOut2.set(true)),
        wait(300, kOut2.set(false)),
    };
    runUiTable(left);

    UiTable right = onClock(L"QW_GUITimer2");
    right.start = false;
    right.rows = {
        deliver(kTime, i32(300)),
        deliver(kMode, i32(2)),
        deliver(kTrigR, b8(true)),
        initialize(),
        wait(1000),
        deliver(kTrigR, b8(true), kOut2.set(true)),
    };
    runUiTable(right);
}

// An output wired back to a trigger through a patch net: what the tick writes
// comes back as a rise while the tick runs, and changes nothing.
TEST(GUITimer2, OutputsWiredBackToATriggerChangeNothingDuringATick)
{
    qwhost::RunLoop::useManualClock();
    for (auto echo : kEchoModes)
    {
        SCOPED_TRACE(echoName(echo));
        qwhost::Patch patch;
        patch.gui.echo = echo;
        qwhost::GuiModule& g = patch.addGui(bundle("panelkit"), L"QW_GUITimer2");
        patch.connect(g, "Output", g, "Trigger");
        patch.start();
        g.setInt(kTime, 300);
        g.setInt(kMode, 0);
        g.setBool(kTrigR, true);
        g.settleEchoes();
        const size_t before = g.transmits.size();
        EXPECT_EQ(qwhost::RunLoop::current().advance(300), 1);
        g.settleEchoes();
        ASSERT_EQ(g.transmits.size(), before + 2);
        EXPECT_EQ(g.transmits[before].pin, 5);
        EXPECT_EQ(g.transmits[before + 1].pin, 4);
        EXPECT_EQ(g.transmits.back().data, b8(true)) << "the outputs stay on";
        EXPECT_EQ(qwhost::RunLoop::current().advance(1000), 0);
    }
    qwhost::RunLoop::useRealClock();
}

// ---------------------------------------------------------------- QW_GUITimer

constexpr int kT1 = 3, kT2 = 4;
constexpr Outputs kOut1{5, 6};

TEST(GUITimer, EachModeWithT1AndT2)
{
    const Outputs o = kOut1;
    struct Case
    {
        const char* name;
        int mode, t1, t2;
        std::vector<UiRow> rows;
    };
    const std::vector<Case> cases = {
        {"delay on",
         0,
         200,
         50,
         {
             deliver(kTrig, b8(true)),
             wait(199),
             wait(1, o.set(true)),
             deliver(kTrig, b8(false), o.set(false)),
             deliver(kTrig, b8(true)),
             wait(100),
             deliver(kTrig, b8(false)).because("a fall before T1 cancels"),
             wait(1000),
         }},
        {"delay off",
         1,
         200,
         50,
         {
             deliver(kTrig, b8(true), o.set(true)),
             deliver(kTrig, b8(false)),
             wait(199),
             wait(1, o.set(false)),
             wait(1000),
         }},
        {"delayed pulse on rise: true T1 after the rise, for T2",
         2,
         200,
         100,
         {
             deliver(kTrig, b8(true)),
             deliver(kTrig, b8(false)),
             wait(199),
             wait(1, o.set(true)),
             wait(99),
             wait(1, o.set(false)),
             wait(1000),
         }},
        {"delayed pulse on fall",
         3,
         200,
         100,
         {
             deliver(kTrig, b8(true)),
             wait(1000),
             deliver(kTrig, b8(false)),
             wait(200, o.set(true)),
             wait(100, o.set(false)),
             wait(1000),
         }},
        {"toggle",
         4,
         200,
         100,
         {
             deliver(kTrig, b8(true), o.set(true)),
             deliver(kTrig, b8(false)),
             deliver(kTrigR, b8(true), o.set(false)),
             wait(1000),
         }},
        {"blink while high: T1 on, T2 off",
         5,
         100,
         30,
         {
             deliver(kTrig, b8(true), o.set(true)),
             wait(99),
             wait(1, o.set(false)),
             wait(29),
             wait(1, o.set(true)),
             wait(100, o.set(false)),
             wait(30, o.set(true)),
             deliver(kTrig, b8(false), o.set(false)),
             wait(1000),
         }},
        {"repeat while high: a pulse at once, after T1, then every T2",
         6,
         200,
         50,
         {
             deliver(kTrig, b8(true), o.pulse()),
             wait(199),
             wait(1, o.pulse()),
             wait(49),
             wait(1, o.pulse()),
             wait(50, o.pulse()),
             wait(20),
             deliver(kTrig, b8(false)).because("stops without touching the outputs"),
             wait(1000),
         }},
        {"repeat while high, T1 = T2: re-armed at the interval of the tick",
         6,
         100,
         100,
         {
             deliver(kTrig, b8(true), o.pulse()),
             wait(100, o.pulse()),
             wait(99),
             wait(1, o.pulse()),
             deliver(kTrig, b8(false)),
             wait(1000),
         }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        UiTable t = onClock(L"QW_GUITimer");
        t.rows = {deliver(kT1, i32(c.t1)), deliver(kT2, i32(c.t2)), deliver(kMode, i32(c.mode))};
        t.rows.insert(t.rows.end(), c.rows.begin(), c.rows.end());
        runUiTable(t);
    }
}

// Until mode, T1 and T2 have all come, a value on the left trigger waits and
// is acted on with the pin's value when the last of them comes; one on the
// right trigger is dropped.
TEST(GUITimer, ALeftTriggerBeforeItIsReadyActsWhenT2Comes)
{
    UiTable left = onClock(L"QW_GUITimer");
    left.start = false;
    left.rows = {
        deliver(kTrig, b8(true)),
        deliver(kMode, i32(4)),
        deliver(kT1, i32(100)),
        deliver(kT2, i32(100), kOut1.set(true)).because("the toggle runs once"),
    };
    runUiTable(left);

    UiTable right = onClock(L"QW_GUITimer");
    right.start = false;
    right.rows = {
        deliver(kTrigR, b8(true)),
        deliver(kMode, i32(4)),
        deliver(kT1, i32(100)),
        deliver(kT2, i32(100)).because("lost"),
        deliver(kTrigR, b8(true), kOut1.set(true)),
    };
    runUiTable(right);

    // Mode last: the rise of a delay on, acted on when the mode comes.
    UiTable modeLast = onClock(L"QW_GUITimer");
    modeLast.start = false;
    modeLast.rows = {
        deliver(kTrig, b8(true)), deliver(kT1, i32(100)),     deliver(kT2, i32(100)),
        deliver(kMode, i32(0)),   wait(100, kOut1.set(true)),
    };
    runUiTable(modeLast);
}

// A negative T1 counts as 0, which the bundle's timers run at 1 ms.
TEST(GUITimer, NegativeTimesCountAsZero)
{
    for (int32_t t1 : {-50, -1, 0, INT_MIN})
    {
        SCOPED_TRACE(t1);
        UiTable t = onClock(L"QW_GUITimer");
        t.rows = {
            deliver(kT1, i32(t1)),      deliver(kMode, i32(0)), deliver(kTrig, b8(true)), wait(0.4),
            wait(0.6, kOut1.set(true)),
        };
        runUiTable(t);
    }
}

// ---------------------------------------------------------------- QW_KeyRepeat

constexpr int kDelay = 2, kRate = 3;
constexpr Outputs kOutK{4, 5};

TEST(KeyRepeat, PulsesAtOnceThenAfterTheDelayThenEveryTick)
{
    const Outputs o = kOutK;
    UiTable t = onClock(L"QW_KeyRepeat");
    t.rows = {
        deliver(kDelay, i32(3)),
        deliver(kRate, i32(10)),
        deliver(kTrig, b8(true), o.pulse()),
        wait(100),
        wait(100),
        wait(100),
        wait(99),
        wait(1, o.pulse()).because("the fourth tick"),
        wait(100, o.pulse()),
        wait(100, o.pulse()),
        deliver(kTrig, b8(false)),
        wait(1000),
        deliver(kTrigR, b8(true), o.pulse()).because("the right trigger alike, the delay anew"),
        wait(300),
        wait(100, o.pulse()),
    };
    runUiTable(t);
}

// The period is 1000 / rate ms, at least 1; a rate of 0 counts as 1.
TEST(KeyRepeat, PeriodFromTheRate)
{
    struct Case
    {
        int32_t rate;
        double periodMs;
    };
    for (const Case& c : {Case{3, 333}, Case{10, 100}, Case{500, 2}, Case{1000, 1}, Case{2000, 1}, Case{-4, 1},
                          Case{0, 1000}, Case{INT_MAX, 1}, Case{INT_MIN, 1}})
    {
        SCOPED_TRACE(c.rate);
        UiTable t = onClock(L"QW_KeyRepeat");
        t.rows = {
            deliver(kDelay, i32(0)), deliver(kRate, i32(c.rate)), deliver(kTrig, b8(true), kOutK.pulse()),
            wait(c.periodMs - 0.6),  wait(0.6, kOutK.pulse()),    wait(c.periodMs, kOutK.pulse()),
        };
        runUiTable(t);
    }
}

// A trigger already true when the module is initialised does nothing until it
// falls and rises again.
TEST(KeyRepeat, ATriggerTrueAtInitializeWaitsForTheNextRise)
{
    UiTable t = onClock(L"QW_KeyRepeat");
    t.start = false;
    t.rows = {
        deliver(kDelay, i32(0)),
        deliver(kRate, i32(10)),
        deliver(kTrig, b8(true)),
        initialize(),
        wait(1000),
        deliver(kTrig, b8(false)),
        deliver(kTrig, b8(true), kOutK.pulse()),
        wait(100, kOutK.pulse()),
    };
    runUiTable(t);
}

// ---------------------------------------------------------------- the host lets go

// A module with its timer started, and the time to its first tick.
struct Doomed
{
    const char* what;
    const wchar_t* id;
    std::function<void(qwhost::GuiModule&)> arm;
    double ms;
    // What its tick writes after the first value.
    enum Rest
    {
        MORE,        // more values
        INSIDE_ECHO, // those its echo inside the write brings
        NOTHING,     // nothing: the tick's one value is all
    } rest = MORE;
};

std::vector<Doomed> doomed()
{
    auto trigger = [](std::vector<std::pair<int, int32_t>> ints) {
        return [ints](qwhost::GuiModule& g) {
            for (auto& [pin, v] : ints)
                g.setInt(pin, v);
            g.setBool(kTrig, true);
        };
    };
    auto text = [](const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); };
    return {
        {"timer, blink", L"QW_GUITimer2", trigger({{kTime, 100}, {kMode, 6}}), 100},
        {"timer, delayed pulse", L"QW_GUITimer2", trigger({{kTime, 100}, {kMode, 4}}), 100},
        {"older timer, repeat", L"QW_GUITimer", trigger({{kT1, 100}, {kT2, 30}, {kMode, 6}}), 100},
        {"older timer, delayed pulse", L"QW_GUITimer", trigger({{kT1, 100}, {kT2, 30}, {kMode, 2}}), 100},
        {"key repeat", L"QW_KeyRepeat", trigger({{kDelay, 0}, {kRate, 10}}), 100},
        {"radio buttons", L"QW_RadioButtons", [](qwhost::GuiModule& g) { g.setFloat(2, 1.0f); }, 10},
        // A file on the path pin: its folder goes to the path pin 100 ms later.
        {"older browser, file to folder", L"QW_FileBrowser2",
         [text](qwhost::GuiModule& g) { g.setText(0, text(std::string(QW_BUNDLE_DIR) + "/panelkit.so")); }, 100,
         Doomed::INSIDE_ECHO},
        // A folder entered: the choice goes again 100 ms later.
        {"browser, folder entered", L"QW_FileBrowser3",
         [text](qwhost::GuiModule& g) {
             namespace fs = std::filesystem;
             // A folder of this process's own: the tests that arm it run in parallel.
             static const qwtest::ScratchFolder scratch;
             const fs::path top = scratch.path() / "browser";
             fs::remove_all(top);
             fs::create_directories(top / "Inner");
             std::ofstream(top / "Inner" / "f.wav") << "f";
             g.setText(0, text(top.string()));
             g.settleEchoes();
             g.setInt(6, 0); // Inner/
         },
         100, Doomed::NOTHING},
    };
}

// A host that destroys the module in answer to the first value it writes in
// a tick: the module finishes its tick and goes, and its timers with it.
TEST(TimedModules, DestroyedInsideTheirOwnTick)
{
    qwhost::RunLoop::useManualClock();
    for (const Doomed& d : doomed())
        for (auto echo : kEchoModes)
        {
            SCOPED_TRACE(std::string(d.what) + ", " + echoName(echo));
            qwhost::GuiHost host;
            host.echo = echo;
            auto g = host.create(bundle("panelkit"), d.id);
            g->settleEchoes();
            d.arm(*g);
            g->settleEchoes();
            bool released = false;
            g->onTransmit = [&](const qwhost::GuiValue&) {
                if (!released)
                {
                    released = true;
                    g->releaseObject();
                }
            };
            const size_t before = g->transmits.size();
            EXPECT_EQ(qwhost::RunLoop::current().advance(d.ms), 1);
            EXPECT_TRUE(released);
            EXPECT_EQ(g->hostReferences(), 1) << "the module is gone";
            if (d.rest == Doomed::MORE || (d.rest == Doomed::INSIDE_ECHO && echo == qwhost::Echo::Inside))
                EXPECT_GT(g->transmits.size(), before + 1) << "after the first value it wrote the rest of its tick";
            EXPECT_EQ(qwhost::RunLoop::current().timerCount(), 0u);
            EXPECT_EQ(qwhost::RunLoop::current().advance(1000), 0);
        }
    qwhost::RunLoop::useRealClock();
}

TEST(TimedModules, DestroyedWhileTheirTimerRuns)
{
    qwhost::RunLoop::useManualClock();
    for (const Doomed& d : doomed())
    {
        SCOPED_TRACE(d.what);
        qwhost::GuiHost host;
        auto g = host.create(bundle("panelkit"), d.id);
        d.arm(*g);
        EXPECT_EQ(qwhost::RunLoop::current().timerCount(), 1u);
        g.reset();
        EXPECT_EQ(qwhost::RunLoop::current().timerCount(), 0u);
        EXPECT_EQ(qwhost::RunLoop::current().advance(1000), 0);
    }
    qwhost::RunLoop::useRealClock();
}

// ---------------------------------------------------------------- qwhost ui

using TimingCommand = CommandTest;

TEST_F(TimingCommand, KeyRepeatHeldForASecond)
{
    const Result r = qwhost({"ui", std::string(QW_BUNDLE_DIR) + "/panelkit.so", "QW_KeyRepeat", "--steps",
                             "Delay=3; Rate=10; Trigger=1; wait 1000; Trigger=0"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string pulses;
    for (int i = 0; i < 7; ++i)
        pulses += "\tsent Output R = true\n\tsent Output = true\n\tsent Output R = false\n\tsent Output = false\n";
    EXPECT_EQ(r.out,
              "# QW_KeyRepeat: pins Trigger R, Trigger, Delay, Rate, Output, Output R; echo none\n"
              "start (defaults, initialize)\n"
              "Delay=3\n"
              "Rate=10\n"
              "Trigger=1\n"
              "\tsent Output R = true\n\tsent Output = true\n\tsent Output R = false\n\tsent Output = false\n"
              "wait 1000\t10 timer tick(s)\n" +
                  pulses + "Trigger=0\n");
}

TEST_F(TimingCommand, ClockOption)
{
    const std::string panelkit = std::string(QW_BUNDLE_DIR) + "/panelkit.so";
    const Result real =
        qwhost({"ui", panelkit, "QW_GUITimer2", "--clock", "real", "--steps", "Time=20; Trigger=1; wait 100"});
    ASSERT_EQ(real.code, 0) << real.err;
    EXPECT_NE(real.out.find("wait 100\t1 timer tick(s)\n\tsent Output R = true\n"), std::string::npos) << real.out;
    const Result bad = qwhost({"ui", panelkit, "QW_GUITimer2", "--clock", "soon", "--steps", "Trigger=1"});
    EXPECT_EQ(bad.code, 2);
    EXPECT_NE(bad.err.find("--clock 'soon' is not 'manual' or 'real'"), std::string::npos) << bad.err;
}
} // namespace
