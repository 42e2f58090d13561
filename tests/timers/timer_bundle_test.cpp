// The timer service as a bundle has it: QW_TestTimer of the test bundle, on
// the run loop of this process, driven through its pins by the interface
// host, or created by the factory and held through its test interface.
#include "run_loop.h"
#include "test_support.h"
#include "timer_probe.h"
#include "ui_host.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
class Probe
{
public:
    Probe()
    {
        void* object = nullptr;
        auto* factory = qwtest::bundle("testkit")->factory();
        EXPECT_EQ(factory->createInstance2(L"QW_TestTimer", gmpi::MP_SUB_TYPE_GUI2, &object), gmpi::MP_OK);
        auto* unknown = static_cast<gmpi::IMpUnknown*>(object);
        void* probe = nullptr;
        EXPECT_EQ(unknown->queryInterface(QW_IID_TIMER_PROBE, &probe), gmpi::MP_OK);
        unknown->release();
        p_ = static_cast<ITimerProbe*>(probe);
    }
    ~Probe()
    {
        if (p_)
            p_->release();
    }
    ITimerProbe* operator->() const { return p_; }
    // The object releases itself: this holder lets go without releasing.
    void handOver() { p_ = nullptr; }

private:
    ITimerProbe* p_ = nullptr;
};

class TimerBundleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qwhost::RunLoop::useManualClock(3000.0);
        Probe p;
        p->setDefaultInterval(50);
        live_ = qwhost::RunLoop::liveTimerObjects();
        misuses_ = qwhost::RunLoop::misuses();
    }
    void TearDown() override
    {
        EXPECT_EQ(loop().timerCount(), 0u);
        EXPECT_EQ(qwhost::RunLoop::liveTimerObjects(), live_);
        EXPECT_EQ(qwhost::RunLoop::misuses(), misuses_);
    }
    static qwhost::RunLoop& loop() { return qwhost::RunLoop::current(); }
    static int bundleTimers(int& running)
    {
        Probe p;
        return p->timerCount(running);
    }
    int live_ = 0;
    int misuses_ = 0;
};

TEST_F(TimerBundleTest, ModulesShareOneTimerPerInterval)
{
    Probe a, b, c;
    a->start(-1);
    b->start(-1);
    int running = 0;
    EXPECT_EQ(bundleTimers(running), 1);
    EXPECT_EQ(loop().timerCount(), 1u);
    c->start(100);
    EXPECT_EQ(bundleTimers(running), 2);
    EXPECT_EQ(running, 2);
    EXPECT_EQ(loop().timerCount(), 2u);
    EXPECT_EQ(a->timerInterval(0), 50);
    EXPECT_EQ(a->timerInterval(1), 100);

    const double start = qwhost::RunLoop::now();
    loop().advance(49);
    EXPECT_EQ(a->tickCount(), 0);
    loop().advance(1);
    EXPECT_EQ(a->tickCount(), 1);
    EXPECT_EQ(b->tickCount(), 1);
    EXPECT_EQ(c->tickCount(), 0);
    EXPECT_NEAR(a->lastTickTime(), start + 0.050, 1e-6);
    loop().advance(50);
    EXPECT_EQ(a->tickCount(), 2);
    EXPECT_EQ(c->tickCount(), 1);
    EXPECT_NEAR(c->lastTickTime(), start + 0.100, 1e-6);
}

TEST_F(TimerBundleTest, DefaultIntervalIsOneValueForTheBundle)
{
    Probe a, b;
    a->setDefaultInterval(20);
    b->start(-1);
    EXPECT_EQ(b->timerInterval(0), 20);
    loop().advance(20);
    EXPECT_EQ(b->tickCount(), 1);
}

TEST_F(TimerBundleTest, StopRestartAndLeaveInsideTicks)
{
    Probe a, b;
    a->start(50);
    b->start(50);

    // a stops itself inside its tick; b goes on.
    a->setTickAction(ITimerProbe::STOP, 0, true);
    loop().advance(100);
    EXPECT_EQ(a->tickCount(), 1);
    EXPECT_EQ(b->tickCount(), 2);

    // b, now alone, restarts at 30 ms inside its tick: the 50 ms timer is
    // freed after the tick, the 30 ms one calls b from then on.
    b->setTickAction(ITimerProbe::RESTART, 30, true);
    loop().advance(50);
    EXPECT_EQ(b->tickCount(), 3);
    int running = 0;
    EXPECT_EQ(bundleTimers(running), 1);
    EXPECT_EQ(b->timerInterval(0), 30);
    loop().advance(60);
    EXPECT_EQ(b->tickCount(), 5);

    // Answering false: the timer stops and stays known for its interval.
    b->setTickAction(ITimerProbe::LEAVE, 0, true);
    loop().advance(30);
    EXPECT_EQ(b->tickCount(), 6);
    EXPECT_EQ(bundleTimers(running), 1);
    EXPECT_EQ(running, 0);
    EXPECT_EQ(loop().timerCount(), 0u);
    loop().advance(100);
    EXPECT_EQ(b->tickCount(), 6);
    a->start(30);
    EXPECT_EQ(bundleTimers(running), 1);
    EXPECT_EQ(running, 1);
    a->stop();
    EXPECT_EQ(bundleTimers(running), 0);
}

TEST_F(TimerBundleTest, ModuleReleasedInsideItsOwnTick)
{
    for (int others : {0, 2})
    {
        SCOPED_TRACE(others);
        Probe first;
        Probe doomed;
        Probe last;
        if (others)
            first->start(50);
        doomed->start(50);
        doomed->start(70); // on two timers
        if (others)
            last->start(50);
        doomed->setTickAction(ITimerProbe::DESTROY, 0, false);
        doomed.handOver();
        loop().advance(100);
        int running = 0;
        EXPECT_EQ(bundleTimers(running), others ? 1 : 0);
        if (others)
        {
            EXPECT_EQ(first->tickCount(), 2);
            EXPECT_EQ(last->tickCount(), 2);
        }
    }
}

TEST_F(TimerBundleTest, StartingAnotherIntervalInsideATick)
{
    Probe a;
    a->start(50);
    a->setTickAction(ITimerProbe::START_OTHER, 20, true);
    loop().advance(50);
    EXPECT_EQ(a->tickCount(), 1);
    loop().advance(20); // 70: the 20 ms timer
    EXPECT_EQ(a->tickCount(), 2);
    loop().advance(30); // 90 (20 ms) and 100 (50 ms)
    EXPECT_EQ(a->tickCount(), 4);
    a->stop();
    int running = 0;
    EXPECT_EQ(bundleTimers(running), 0);
}
// Through the interface host: pins start and stop the timer, ticks come back
// as pin values, at the times the intervals give.
class TimerGuiTest : public TimerBundleTest
{
protected:
    struct Tick
    {
        int module;
        int count;
        double time;
    };
    std::unique_ptr<qwhost::GuiModule> make(int index)
    {
        auto g = host_.create(qwtest::bundle("testkit"), L"QW_TestTimer");
        const int ticksPin = g->pin("Ticks");
        g->onTransmit = [this, index, ticksPin](const qwhost::GuiValue& v) {
            if (v.pin == ticksPin)
                ticks_.push_back({index, v.asInt(), qwhost::RunLoop::now()});
        };
        return g;
    }
    static void run(qwhost::GuiModule& g, int intervalMs)
    {
        g.setInt(g.pin("Interval"), intervalMs);
        g.setBool(g.pin("Run"), true);
    }
    std::vector<int> ticksOf(int module) const
    {
        std::vector<int> out;
        for (auto& t : ticks_)
            if (t.module == module)
                out.push_back(t.count);
        return out;
    }
    qwhost::GuiHost host_;
    std::vector<Tick> ticks_;
};

TEST_F(TimerGuiTest, PinsStartAndStopSharedTimers)
{
    auto a = make(0), b = make(1);
    const double start = qwhost::RunLoop::now();
    run(*a, 40);
    run(*b, 40);
    EXPECT_EQ(loop().timerCount(), 1u);

    loop().advance(39);
    EXPECT_TRUE(ticks_.empty());
    loop().advance(41);
    EXPECT_EQ(ticksOf(0), (std::vector<int>{1, 2}));
    EXPECT_EQ(ticksOf(1), (std::vector<int>{1, 2}));
    ASSERT_FALSE(ticks_.empty());
    EXPECT_NEAR(ticks_[0].time, start + 0.040, 1e-6);

    a->setBool(a->pin("Run"), false);
    loop().advance(80);
    EXPECT_EQ(ticksOf(0), (std::vector<int>{1, 2}));
    EXPECT_EQ(ticksOf(1), (std::vector<int>{1, 2, 3, 4}));
    b->setBool(b->pin("Run"), false);
    EXPECT_EQ(loop().timerCount(), 0u);
}

TEST_F(TimerGuiTest, RestartAtAnotherIntervalThroughThePins)
{
    auto a = make(0);
    run(*a, 50);
    a->setInt(a->pin("Action Argument"), 20);
    a->setInt(a->pin("Tick Action"), ITimerProbe::RESTART);
    loop().advance(50);
    ASSERT_EQ(ticks_.size(), 1u);
    const double restart = ticks_[0].time;
    loop().advance(60);
    ASSERT_EQ(ticksOf(0), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_NEAR(ticks_[1].time, restart + 0.020, 1e-6);
    EXPECT_NEAR(ticks_[3].time, restart + 0.060, 1e-6);
    a.reset(); // destroying the module leaves its timer
    EXPECT_EQ(loop().timerCount(), 0u);
}

TEST_F(TimerGuiTest, DefaultIntervalPinServesLaterStarts)
{
    auto a = make(0), b = make(1);
    a->setInt(a->pin("Default Interval"), 25);
    run(*b, -1);
    loop().advance(50);
    EXPECT_EQ(ticksOf(1), (std::vector<int>{1, 2}));
    EXPECT_TRUE(ticksOf(0).empty());
}
} // namespace
