// Unloading a bundle stops the timers of its timer service, so the run loop
// never calls into code that is gone.
#include "bundle.h"
#include "run_loop.h"
#include "timer_probe.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace
{
// A module the host never destroyed; it stays reachable for the leak checker.
ITimerProbe* forgotten = nullptr;

TEST(TimerUnload, UnloadingTheBundleStopsItsTimers)
{
    qwhost::RunLoop::useManualClock(4000.0);
    qwhost::RunLoop& loop = qwhost::RunLoop::current();
    const int live = qwhost::RunLoop::liveTimerObjects();
    const int misuses = qwhost::RunLoop::misuses();
    const std::string path = std::string(QW_TEST_BUNDLE_DIR) + "/testkit.so";
    {
        auto bundle = qwhost::Bundle::load(path);
        void* object = nullptr;
        ASSERT_EQ(bundle->factory()->createInstance2(L"QW_TestTimer", gmpi::MP_SUB_TYPE_GUI2, &object), gmpi::MP_OK);
        void* probe = nullptr;
        auto* unknown = static_cast<gmpi::IMpUnknown*>(object);
        ASSERT_EQ(unknown->queryInterface(QW_IID_TIMER_PROBE, &probe), gmpi::MP_OK);
        unknown->release();
        forgotten = static_cast<ITimerProbe*>(probe);
        forgotten->start(30);
        forgotten->start(70);
        loop.advance(30);
        EXPECT_EQ(forgotten->tickCount(), 1);
        EXPECT_EQ(loop.timerCount(), 2u);
    }
    if (void* still = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD))
    {
        dlclose(still);
        GTEST_SKIP() << "the test bundle stays loaded in this process";
    }
    EXPECT_EQ(loop.timerCount(), 0u);
    EXPECT_EQ(qwhost::RunLoop::liveTimerObjects(), live);
    EXPECT_EQ(qwhost::RunLoop::misuses(), misuses);
    EXPECT_EQ(loop.advance(200), 0);
}
} // namespace
