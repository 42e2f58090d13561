// When a module may ask the host to stop calling it, and when it wakes.
#include "probe_fixture.h"

using Strings = std::vector<std::string>;

// Output set static at 100 of a 256-sample block, no streaming input: the
// module processes one more host block (156 + 100 samples) and then asks to
// sleep, leaving the rest of that block unprocessed.
TEST_F(ProbeFixture, OutputGoingStaticGrantsOneMoreHostBlock)
{
    makeRunning();
    p->setConstant(SIGNAL, 0.0f, 100);
    p->run(256);
    EXPECT_EQ(log(), Strings({"span 0 100 0", "pins 100 1", "span 100 156 0"}));
    EXPECT_TRUE(p->sleepRequests.empty());
    clear();
    p->run(256);
    EXPECT_EQ(log(), Strings({"span 0 100 0"}));
    EXPECT_EQ(p->sleepRequests, std::vector<int64_t>({p->blocks() - 1}));
    clear();
    const auto calls = p->processCalls();
    p->runFor(1024, 256);
    EXPECT_EQ(p->processCalls(), calls) << "asleep: the host does not call process";
    EXPECT_TRUE(log().empty());
}

// A pin event wakes a sleeping module: the samples up to the event are
// processed, the event applied, then it asks to sleep again.
TEST_F(ProbeFixture, EventWakesASleepingModule)
{
    makeRunning();
    p->setConstant(SIGNAL, 0.0f, 0);
    p->runFor(768, 256);
    ASSERT_TRUE(p->asleep());
    clear();
    p->setFloat(VALUE, 0.5f, 40);
    p->run(256);
    EXPECT_EQ(log(), Strings({"span 0 40 0", "pins 40 2"}));
    EXPECT_EQ(p->sleepRequests.size(), 1u);
    auto v = updatesOf(VALUE_OUT);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0]->position, 40);
}

// setSleep(true) counts down the sleep counter and then sleeps, even while
// the input streams.
TEST_F(ProbeFixture, ForcedSleepWhileStreaming)
{
    makeRunning();
    p->setInt(COMMAND, OUTPUT_STATIC, 0); // refills the counter to one host block
    p->setInt(COMMAND, SLEEP_ON, 50);
    p->run(256);
    EXPECT_EQ(log(), Strings({"pins 0 4", "span 0 50 0", "pins 50 4", "span 50 206 0"}));
    clear();
    p->run(256);
    EXPECT_EQ(log(), Strings({"span 0 50 0"}));
    EXPECT_EQ(p->sleepRequests.size(), 1u);
}

// setSleep(false): never asks, whatever the pins do.
TEST_F(ProbeFixture, SleepOffRunsEveryBlock)
{
    make();
    p->startGraph();
    p->setInt(COMMAND, SLEEP_OFF, 0);
    p->runFor(256 * 8, 256);
    EXPECT_TRUE(p->sleepRequests.empty());
    EXPECT_EQ(p->processCalls(), 8);
    EXPECT_EQ(log().back(), "span 0 256 0");
}

// Reporting an output static again refills the counter: a module that does
// it every block processes every sample of every block, and every call
// reaches the host.
TEST_F(ProbeFixture, RepeatedStaticReportKeepsTheModuleAwake)
{
    make();
    p->startGraph();
    p->run(256);
    for (int b = 0; b < 6; ++b)
    {
        clear();
        p->setInt(COMMAND, OUTPUT_STATIC, 0);
        p->run(256);
        EXPECT_EQ(log(), Strings({"pins 0 4", "span 0 256 0"}));
    }
    EXPECT_EQ(p->processCalls(), 7);
    ASSERT_EQ(p->streamingReports.size(), 1u);
    EXPECT_FALSE(p->streamingReports[0].streaming);
}

// No audio outputs and no streaming inputs: asleep in the first block, yet
// pin events are still handled when the host delivers them.
TEST_F(ProbeFixture, ModuleWithoutAudioSleepsAtOnceButHandlesEvents)
{
    host.autoDuplicateCount = 3;
    make(L"QW_TestPins");
    p->startGraph();
    p->run(256);
    EXPECT_EQ(p->sleepRequests, std::vector<int64_t>({0}));
    p->runFor(512, 256);
    EXPECT_EQ(p->processCalls(), 1);
    p->setInt(1, 5, 10);
    p->setInt(3, 7, 10);
    p->run(256);
    EXPECT_EQ(p->processCalls(), 2);
    ASSERT_FALSE(p->updates.empty());
    EXPECT_EQ(p->updates.back().asInt(), 12);
    EXPECT_EQ(p->updates.back().position, 10);
    EXPECT_EQ(p->sleepRequests.size(), 2u);
}

// The same countdown whatever the host's block length is: after the output
// goes static the module processes exactly one host block of samples.
TEST_F(ProbeFixture, CountdownInSamplesNotBlocks)
{
    for (int block : {1, 7, 64, 256})
    {
        makeRunning(256);
        p->setConstant(SIGNAL, 0.0f, 0);
        for (int i = 0; i < 2000 && p->sleepRequests.empty(); ++i)
            p->run(block);
        ASSERT_EQ(p->sleepRequests.size(), 1u) << "block " << block;
        int processed = 0;
        for (auto& e : qwtest::probeLog(*p))
            if (e.kind == 1)
                processed += e.v[1];
        EXPECT_EQ(processed, 256) << "block " << block;
    }
}
