// The timer service of a bundle (here the copy linked into the test itself):
// one run-loop timer per interval, ticks, and clients that stop, restart or
// die inside their own tick.
#include "TimerManager.h"
#include "run_loop.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> tickLog;

class Client : public TimerClient
{
public:
    explicit Client(std::string name) : name_(std::move(name)) {}
    std::function<bool(Client&)> onTick; // empty: keep ticking
    int ticks = 0;
    std::vector<double> times;

    bool OnTimer() override
    {
        ++ticks;
        times.push_back(CFAbsoluteTimeGetCurrent());
        tickLog.push_back(name_);
        return onTick ? onTick(*this) : true;
    }

private:
    std::string name_;
};

class TimerManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qwhost::RunLoop::useManualClock(2000.0);
        TimerManager::Instance().SetInterval(50);
        tickLog.clear();
        misuses_ = qwhost::RunLoop::misuses();
        live_ = qwhost::RunLoop::liveTimerObjects();
    }
    void TearDown() override
    {
        // Every client is gone: nothing left running, nothing leaked.
        EXPECT_EQ(runningTimers(), 0);
        EXPECT_EQ(loop().timerCount(), 0u);
        EXPECT_EQ(qwhost::RunLoop::liveTimerObjects(), live_);
        EXPECT_EQ(qwhost::RunLoop::misuses(), misuses_);
    }
    static qwhost::RunLoop& loop() { return qwhost::RunLoop::current(); }
    static TimerManager& manager() { return TimerManager::Instance(); }
    static int runningTimers()
    {
        int n = 0;
        for (auto& t : manager().timers())
            n += t->isRunning();
        return n;
    }
    static std::vector<int> intervals()
    {
        std::vector<int> out;
        for (auto& t : manager().timers())
            if (t->isRunning())
                out.push_back(t->interval());
        return out;
    }
    int misuses_ = 0;
    int live_ = 0;
};

TEST_F(TimerManagerTest, ClientsOfOneIntervalShareOneTimer)
{
    Client a("a"), b("b"), c("c");
    a.StartTimer();
    b.StartTimer();
    EXPECT_EQ(intervals(), std::vector<int>{50});
    EXPECT_EQ(loop().timerCount(), 1u);
    c.StartTimer(100);
    EXPECT_EQ(intervals(), (std::vector<int>{50, 100}));
    EXPECT_EQ(loop().timerCount(), 2u);

    loop().advance(50);
    EXPECT_EQ(tickLog, (std::vector<std::string>{"a", "b"}));
    loop().advance(50);
    EXPECT_EQ(tickLog, (std::vector<std::string>{"a", "b", "a", "b", "c"}));

    // However many clients: still one platform timer per interval.
    std::vector<std::unique_ptr<Client>> many;
    for (int i = 0; i < 10; ++i)
    {
        many.push_back(std::make_unique<Client>("m"));
        many.back()->StartTimer(100);
    }
    EXPECT_EQ(loop().timerCount(), 2u);
}

TEST_F(TimerManagerTest, StartingTwiceRegistersOnce)
{
    Client a("a");
    a.StartTimer();
    a.StartTimer();
    a.StartTimer(50);
    loop().advance(50);
    EXPECT_EQ(a.ticks, 1);
    EXPECT_EQ(manager().timers().front()->clients().size(), 1u);
}

TEST_F(TimerManagerTest, FirstTickComesOneIntervalAfterTheStart)
{
    const double start = qwhost::RunLoop::now();
    Client a("a");
    a.StartTimer(40);
    loop().advance(39);
    EXPECT_EQ(a.ticks, 0);
    loop().advance(1);
    ASSERT_EQ(a.ticks, 1);
    EXPECT_NEAR(a.times[0], start + 0.040, 1e-6);
    loop().advance(120);
    ASSERT_EQ(a.ticks, 4);
    EXPECT_NEAR(a.times[3], start + 0.160, 1e-6);

    // A client that joins a running timer waits for that timer's next firing.
    Client b("b");
    loop().advance(10);
    b.StartTimer(40);
    loop().advance(30);
    EXPECT_EQ(b.ticks, 1);
    EXPECT_EQ(a.ticks, 5);
}

TEST_F(TimerManagerTest, ClientAnsweringFalseLeavesAndTheKeptTimerRestarts)
{
    Client a("a"), b("b");
    a.onTick = [](Client&) { return false; };
    a.StartTimer();
    b.StartTimer();
    loop().advance(50);
    loop().advance(50);
    EXPECT_EQ(a.ticks, 1);
    EXPECT_EQ(b.ticks, 2);

    b.onTick = [](Client&) { return false; };
    loop().advance(50);
    EXPECT_EQ(b.ticks, 3);
    // The last one left: the platform timer is removed, invalidated and
    // released; the manager keeps the stopped timer of its interval.
    EXPECT_EQ(loop().timerCount(), 0u);
    EXPECT_EQ(qwhost::RunLoop::liveTimerObjects(), live_);
    ASSERT_EQ(manager().timers().size(), 1u);
    const mp_sdk_timers::Timer* kept = manager().timers().front().get();
    EXPECT_FALSE(kept->isRunning());
    loop().advance(200);
    EXPECT_EQ(b.ticks, 3);

    const double restart = qwhost::RunLoop::now();
    b.onTick = nullptr;
    b.StartTimer();
    ASSERT_EQ(manager().timers().size(), 1u);
    EXPECT_EQ(manager().timers().front().get(), kept);
    EXPECT_TRUE(kept->isRunning());
    loop().advance(50);
    ASSERT_EQ(b.ticks, 4);
    EXPECT_NEAR(b.times[3], restart + 0.050, 1e-6);
    b.StopTimer();
    EXPECT_TRUE(manager().timers().empty());
}

TEST_F(TimerManagerTest, StoppingAClientThatIsNotRegisteredDoesNothing)
{
    Client a("a"), b("b");
    b.StopTimer();
    a.StartTimer();
    b.StopTimer();
    loop().advance(50);
    EXPECT_EQ(a.ticks, 1);
    EXPECT_EQ(loop().timerCount(), 1u);
}

TEST_F(TimerManagerTest, DefaultIntervalIsSharedByLaterStarts)
{
    Client a("a"), b("b"), c("c");
    a.StartTimer();
    b.SetTimerIntervalMs(20);
    // Running timers keep their interval; later StartTimer() of any client uses 20 ms.
    EXPECT_EQ(intervals(), std::vector<int>{50});
    c.StartTimer();
    EXPECT_EQ(intervals(), (std::vector<int>{50, 20}));
    loop().advance(20);
    EXPECT_EQ(c.ticks, 1);
    EXPECT_EQ(a.ticks, 0);
    EXPECT_EQ(manager().defaultInterval(), 20);
}

TEST_F(TimerManagerTest, StoppingItselfInsideItsTickFreesTheTimerAfterTheTick)
{
    Client a("a");
    a.onTick = [](Client& self) {
        self.StopTimer();
        // The timer whose tick runs is still there for the rest of the tick.
        return true;
    };
    a.StartTimer();
    loop().advance(50);
    EXPECT_EQ(a.ticks, 1);
    EXPECT_TRUE(manager().timers().empty());
    EXPECT_EQ(loop().timerCount(), 0u);
    loop().advance(200);
    EXPECT_EQ(a.ticks, 1);
}

TEST_F(TimerManagerTest, ClientsStoppedByAnEarlierClientOfTheTickAreSkipped)
{
    Client a("a"), b("b"), c("c");
    a.onTick = [&b](Client&) {
        b.StopTimer();
        return true;
    };
    a.StartTimer();
    b.StartTimer();
    c.StartTimer();
    loop().advance(50);
    EXPECT_EQ(tickLog, (std::vector<std::string>{"a", "c"}));

    // The last two stop each other: the emptied timer goes after the tick.
    a.onTick = [&c](Client& self) {
        self.StopTimer();
        c.StopTimer();
        return true;
    };
    loop().advance(50);
    EXPECT_EQ(tickLog, (std::vector<std::string>{"a", "c", "a"}));
    EXPECT_TRUE(manager().timers().empty());
}

TEST_F(TimerManagerTest, RestartingInsideItsTick)
{
    struct Row
    {
        int from, to;
        bool alone;
    };
    for (const Row r : {Row{50, 30, true}, Row{50, 50, true}, Row{50, 80, false}, Row{50, 50, false}})
    {
        SCOPED_TRACE(::testing::Message() << r.from << " -> " << r.to << (r.alone ? " alone" : " with another"));
        Client a("a"), other("o");
        double restartedAt = 0;
        a.onTick = [&](Client& self) {
            self.onTick = nullptr;
            restartedAt = CFAbsoluteTimeGetCurrent();
            self.StopTimer();
            self.StartTimer(r.to);
            return true;
        };
        a.StartTimer(r.from);
        if (!r.alone)
            other.StartTimer(r.from);
        loop().advance(r.from);
        ASSERT_EQ(a.ticks, 1);

        // From now on only the timer of the new interval calls the client.
        std::vector<int> expected = r.alone || r.from == r.to ? std::vector<int>{r.to} : std::vector<int>{r.from, r.to};
        EXPECT_EQ(intervals(), expected);
        if (r.alone || r.from != r.to)
        {
            loop().advance(r.to - 1);
            EXPECT_EQ(a.ticks, 1);
            loop().advance(1);
            ASSERT_EQ(a.ticks, 2);
            EXPECT_NEAR(a.times[1], restartedAt + r.to * 0.001, 1e-6);
        }
        else
        {
            // Joined the running timer again: called at its next firing.
            loop().advance(r.from);
            EXPECT_EQ(a.ticks, 2);
        }
        loop().advance(4 * r.to);
        EXPECT_EQ(a.ticks, 6);
    }
}

TEST_F(TimerManagerTest, DestroyedInsideItsOwnTick)
{
    for (bool alone : {true, false})
    {
        SCOPED_TRACE(alone ? "alone" : "with others");
        auto* a = new Client("a");
        Client before("before"), after("after");
        a->onTick = [](Client& self) {
            delete &self;
            return false;
        };
        if (!alone)
            before.StartTimer();
        a->StartTimer();
        a->StartTimer(70); // on two timers: its death must leave both
        if (!alone)
            after.StartTimer();
        tickLog.clear();
        loop().advance(50);
        EXPECT_EQ(tickLog, alone ? std::vector<std::string>{"a"} : (std::vector<std::string>{"before", "a", "after"}));
        EXPECT_EQ(intervals(), alone ? std::vector<int>{} : std::vector<int>{50});
        loop().advance(100);
        EXPECT_EQ(tickLog.size(), alone ? 1u : 7u);
    }
}

TEST_F(TimerManagerTest, ClientDestroyedByAnEarlierClientOfTheTickIsNotCalled)
{
    auto* victim = new Client("victim");
    Client killer("killer");
    killer.onTick = [&victim](Client&) {
        delete victim;
        victim = nullptr;
        return true;
    };
    killer.StartTimer();
    victim->StartTimer();
    loop().advance(50);
    EXPECT_EQ(tickLog, std::vector<std::string>{"killer"});
}

TEST_F(TimerManagerTest, ClientAtTwoIntervalsIsCalledByBothAndStopLeavesBoth)
{
    Client a("a");
    a.StartTimer(20);
    a.StartTimer(30);
    loop().advance(60);
    EXPECT_EQ(a.ticks, 5); // 20, 30, 40, 60, 60
    a.StopTimer();
    EXPECT_TRUE(manager().timers().empty());
    loop().advance(100);
    EXPECT_EQ(a.ticks, 5);
}

TEST_F(TimerManagerTest, ClientJoiningDuringATickIsCalledFromTheNextTick)
{
    Client a("a"), late("late");
    a.onTick = [&late](Client&) {
        late.StartTimer();
        return true;
    };
    a.StartTimer();
    loop().advance(50);
    EXPECT_EQ(late.ticks, 0);
    loop().advance(50);
    EXPECT_EQ(late.ticks, 1);
}

TEST_F(TimerManagerTest, NonPositiveIntervalStillRepeats)
{
    Client a("a");
    a.StartTimer(0);
    loop().advance(3);
    EXPECT_EQ(a.ticks, 3);
    a.StopTimer();
}
} // namespace
