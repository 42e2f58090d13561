// The run-loop stand-in that stands in for the platform's timers: the
// manual clock, firing order, one-shot and repeating timers, and reference
// counting as the timer service relies on it.
#include "platform_run_loop.h"
#include "run_loop.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace
{
struct Record
{
    std::vector<std::pair<std::string, double>> fired;
};

struct Tag
{
    Record* record;
    std::string name;
    std::function<void(CFRunLoopTimerRef)> action;
};

void callback(CFRunLoopTimerRef timer, void* info)
{
    auto* tag = static_cast<Tag*>(info);
    tag->record->fired.push_back({tag->name, CFAbsoluteTimeGetCurrent()});
    if (tag->action)
        tag->action(timer);
}

CFRunLoopTimerRef schedule(Tag& tag, double firstIn, double interval)
{
    CFRunLoopTimerContext context = {0, &tag, nullptr, nullptr, nullptr};
    CFRunLoopTimerRef t = CFRunLoopTimerCreate(kCFAllocatorDefault, CFAbsoluteTimeGetCurrent() + firstIn, interval, 0,
                                               0, &callback, &context);
    CFRunLoopAddTimer(CFRunLoopGetCurrent(), t, kCFRunLoopCommonModes);
    return t;
}

void drop(CFRunLoopTimerRef t)
{
    CFRunLoopRemoveTimer(CFRunLoopGetCurrent(), t, kCFRunLoopCommonModes);
    CFRunLoopTimerInvalidate(t);
    CFRelease(t);
}

class RunLoopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qwhost::RunLoop::useManualClock(500.0);
        misuses_ = qwhost::RunLoop::misuses();
        live_ = qwhost::RunLoop::liveTimerObjects();
    }
    void TearDown() override
    {
        EXPECT_EQ(qwhost::RunLoop::misuses(), misuses_);
        EXPECT_EQ(qwhost::RunLoop::liveTimerObjects(), live_);
        EXPECT_EQ(loop().timerCount(), 0u);
    }
    static qwhost::RunLoop& loop() { return qwhost::RunLoop::current(); }
    int misuses_ = 0;
    int live_ = 0;
};

TEST_F(RunLoopTest, ManualClockFiresEachDueDateInTimeOrder)
{
    Record r;
    Tag a{&r, "a", {}}, b{&r, "b", {}};
    CFRunLoopTimerRef ta = schedule(a, 0.030, 0.030);
    CFRunLoopTimerRef tb = schedule(b, 0.050, 0.050);
    EXPECT_EQ(loop().timerCount(), 2u);

    EXPECT_EQ(loop().advance(29), 0);
    EXPECT_EQ(loop().advance(71), 5); // a 30, b 50, a 60, a 90, b 100
    EXPECT_EQ(loop().advance(0), 0);
    std::vector<std::string> names;
    for (auto& f : r.fired)
        names.push_back(f.first);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "a", "a", "b"}));
    // Each at its own date.
    EXPECT_NEAR(r.fired[0].second, 500.030, 1e-9);
    EXPECT_NEAR(r.fired[2].second, 500.060, 1e-9);
    EXPECT_NEAR(qwhost::RunLoop::now(), 500.100, 1e-9);
    drop(ta);
    drop(tb);
}

TEST_F(RunLoopTest, OneShotTimerFiresOnceAndLeavesTheLoop)
{
    Record r;
    Tag a{&r, "a", {}};
    CFRunLoopTimerContext context = {0, &a, nullptr, nullptr, nullptr};
    CFRunLoopTimerRef t =
        CFRunLoopTimerCreate(kCFAllocatorDefault, CFAbsoluteTimeGetCurrent() + 0.01, 0, 0, 0, &callback, &context);
    CFRunLoopAddTimer(CFRunLoopGetCurrent(), t, kCFRunLoopCommonModes);
    EXPECT_EQ(loop().advance(100), 1);
    EXPECT_EQ(loop().timerCount(), 0u);
    EXPECT_EQ(qwhost::RunLoop::liveTimerObjects(), live_ + 1); // the creator's reference
    CFRelease(t);
}

TEST_F(RunLoopTest, TimerInvalidatedAndReleasedInsideItsCallbackIsFreedAfterIt)
{
    Record r;
    CFRunLoopTimerRef t = nullptr;
    Tag a{&r, "a", [&t](CFRunLoopTimerRef self) {
              EXPECT_EQ(self, t);
              drop(self);
          }};
    t = schedule(a, 0.01, 0.01);
    EXPECT_EQ(loop().advance(50), 1);
    EXPECT_EQ(r.fired.size(), 1u);
}

TEST_F(RunLoopTest, LateRealTimeRunFiresOnceAndSkipsMissedDates)
{
    Record r;
    Tag a{&r, "a", {}};
    CFRunLoopTimerRef t = schedule(a, 0.01, 0.01);
    // Time jumps without the loop running: like a blocked thread.
    qwhost::RunLoop::useManualClock(qwhost::RunLoop::now() + 0.055);
    EXPECT_EQ(loop().runDue(), 1);
    double next = 0;
    ASSERT_TRUE(loop().nextFireDate(next));
    EXPECT_GT(next, qwhost::RunLoop::now());
    EXPECT_EQ(loop().runDue(), 0);
    drop(t);
}

TEST_F(RunLoopTest, ReleasingTooOftenIsCountedNotFatal)
{
    Record r;
    Tag a{&r, "a", {}};
    CFRunLoopTimerRef t = schedule(a, 0.01, 0.01);
    drop(t);
    CFRelease(t);
    CFRelease(nullptr);
    EXPECT_EQ(qwhost::RunLoop::misuses(), misuses_ + 2);
    misuses_ = qwhost::RunLoop::misuses();
}

TEST(RunLoopRealClock, RunForWaitsForTheTimer)
{
    qwhost::RunLoop::useRealClock();
    Record r;
    Tag a{&r, "a", {}};
    // The clock is read before the timer is made: its first fire is 5 ms after
    // it was scheduled, however long the scheduling itself took.
    const double start = qwhost::RunLoop::now();
    CFRunLoopTimerRef t = schedule(a, 0.005, 0.005);
    qwhost::RunLoop::current().runFor(30);
    EXPECT_GE(qwhost::RunLoop::now() - start, 0.030);
    EXPECT_GE(r.fired.size(), 1u);
    for (auto& f : r.fired)
        EXPECT_GE(f.second, start + 0.005 - 0.001);
    drop(t);
    qwhost::RunLoop::useManualClock();
}
} // namespace
