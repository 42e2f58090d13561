// Audio gates and latches, switches and crossfaders, and the one-dimensional
// morph through the built bundle, at several block sizes.
#include "control_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::sameAtBlocks;
using qwtest::SignalRun;

qwtest::Signal gateBetween(std::vector<std::pair<int64_t, int64_t>> on, float level = 1.0f)
{
    return [on, level](int64_t t) {
        for (auto [a, b] : on)
            if (t >= a && t < b)
                return level;
        return 0.0f;
    };
}
qwtest::Signal ramp()
{
    return [](int64_t t) { return 0.001f * static_cast<float>(t % 1000) + 0.5f; };
}

// Which input each sample of a seen output came from: 'a' active, 'i' idle.
std::string sources(const std::vector<float>& seen, float idle)
{
    std::string s;
    for (float v : seen)
        s += v == idle ? 'i' : 'a';
    return s;
}

TEST(OFFDelay, HoldsTheActiveInputAfterTheGateFalls)
{
    struct Case
    {
        const char* what;
        float holdMs;
        std::vector<std::pair<int64_t, int64_t>> gate;
        int64_t activeUntil; // first sample from the idle input after the last gate
    };
    const std::vector<Case> cases = {
        {"10 ms at 48 kHz is 480 samples", 10.0f, {{10, 20}}, 20 + 480},
        {"a negative hold acts as 0", -3.0f, {{10, 20}}, 20},
        {"a NaN hold acts as 0", std::numeric_limits<float>::quiet_NaN(), {{10, 20}}, 20},
        {"a re-rise restarts the hold", 10.0f, {{10, 20}, {300, 310}}, 310 + 480},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const Recording r = sameAtBlocks([&](int block) {
            SignalRun run(L"QW_OFFDelay", 48000.0f, block);
            run.set("Hold", c.holdMs)
                .constant("Idle", 0.25f)
                .stream("Active", ramp())
                .stream("Gate", gateBetween(c.gate));
            run.constant("Gate", 0.0f, 1000);
            return run.run(1200);
        });
        const auto seen = r.seen("Output");
        std::string expected;
        for (int64_t t = 0; t < 1200; ++t)
            expected += (t >= c.gate.front().first && t < c.activeUntil) ? 'a' : 'i';
        EXPECT_EQ(sources(seen, 0.25f), expected);
        EXPECT_EQ(r.lastChange("Output", false), 1000) << "static once the idle input passes and the gate is static";
    }
}

TEST(OFFDelay, HugeHoldsSaturate)
{
    for (float ms : {3e38f, std::numeric_limits<float>::infinity(), 2147483647.0f})
    {
        SignalRun run(L"QW_OFFDelay", 192000.0f, 64);
        run.set("Hold", ms).constant("Idle", 0.25f).constant("Active", 1.0f).stream("Gate", gateBetween({{1, 2}}));
        const auto r = run.run(256);
        EXPECT_EQ(r.seen("Output").back(), 1.0f) << "still holding";
    }
}

TEST(FlipFlopAudio, TogglesOnceAtEachRisingCrossing)
{
    const std::vector<float> clock = {0.4f, 0.6f, 0.6f, 0.4f, 0.5f, 0.7f, 0.0f};
    const Recording r = sameAtBlocks([&](int block) {
        SignalRun run(L"QW_FlipFlopAudio", 48000.0f, block);
        run.set("Threshold", 5).set("Level", 8);
        run.stream("Clock", [&](int64_t t) { return t < 7 ? clock[t] : 0.0f; });
        return run.run(7);
    });
    const std::vector<float> expected = {0, 0.8f, 0.8f, 0.8f, 0, 0, 0};
    for (int i = 0; i < 7; ++i)
        EXPECT_FLOAT_EQ(r.out("Output")[i], expected[i]) << i;

    SignalRun negative(L"QW_FlipFlopAudio", 48000.0f, 7);
    negative.set("Threshold", -5).set("Level", std::numeric_limits<double>::quiet_NaN());
    negative.stream("Clock", [](int64_t t) { return t == 0 ? -1.0f : 0.0f; });
    const auto n = negative.run(3);
    EXPECT_EQ(n.out("Output")[1], 0.0f) << "threshold 0: 0.0 is above it; a NaN level gives 0";
}

TEST(MemoryReset, LevelsFlipEverySampleEdgesOnlyAtCrossings)
{
    for (bool edges : {false, true})
    {
        SCOPED_TRACE(edges ? "QW_MemoryReset2" : "QW_MemoryReset");
        const Recording r = sameAtBlocks([&](int block) {
            SignalRun run(edges ? L"QW_MemoryReset2" : L"QW_MemoryReset", 48000.0f, block);
            run.stream("Reset Signal", [](int64_t) { return 0.25f; });
            run.stream("Set Signal", [](int64_t) { return 0.75f; });
            run.stream("Set", [](int64_t t) { return t >= 2 ? 1.0f : 0.0f; });
            run.stream("Reset", [](int64_t t) { return t >= 2 ? 1.0f : 0.0f; });
            return run.run(8);
        });
        const auto& out = r.out("Output");
        for (int i = 0; i < 8; ++i)
        {
            const float expected = i < 2 ? 0.25f : (edges ? (i == 2 ? 0.75f : 0.75f) : (i % 2 == 0 ? 0.75f : 0.25f));
            EXPECT_EQ(out[i], expected) << i;
        }
    }
}

TEST(MemoryReset, OutputStreamsAsThePassedInputAndSleepsWhenAllIsStatic)
{
    const Recording r = sameAtBlocks([](int block) {
        SignalRun run(L"QW_MemoryReset2", 48000.0f, block);
        run.constant("Reset Signal", 0.25f).stream("Set Signal", ramp());
        run.stream("Set", gateBetween({{100, 110}})).stream("Reset", gateBetween({{300, 310}}));
        run.constant("Set", 0.0f, 400).constant("Reset", 0.0f, 400).constant("Set Signal", 0.5f, 400);
        return run.run(1000);
    });
    const auto ch = r.changes("Output");
    ASSERT_GE(ch.size(), 3u);
    EXPECT_EQ(r.lastChange("Output", true), 100);
    EXPECT_EQ(r.lastChange("Output", false), 300);
    EXPECT_FALSE(r.sleepRequests.empty()) << "all four inputs static";
    EXPECT_EQ(r.seen("Output")[200], ramp()(200));
    EXPECT_EQ(r.seen("Output")[500], 0.25f);
}

// --- switches ---

// g after each of k fade steps of 0.01 from `from`.
std::vector<float> fadeSteps(float from, int k, bool up)
{
    std::vector<float> g;
    float x = from;
    for (int i = 0; i < k; ++i)
    {
        x = up ? std::min(1.0f, x + 0.01f) : std::max(0.0f, x - 0.01f);
        g.push_back(x);
    }
    return g;
}

TEST(AudioSwitch, FadesByOneHundredthPerSample)
{
    const Recording r = sameAtBlocks([](int block) {
        SignalRun run(L"QW_AudioSwitch", 48000.0f, block);
        run.set("Mode", 1).stream("Input", ramp()).set("On", 1, 50);
        return run.run(300);
    });
    const auto& out = r.out("Output");
    const auto g = fadeSteps(0.0f, 250, true);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(out[i], 0.0f) << "off by the first, hard change";
    EXPECT_FLOAT_EQ(out[50], ramp()(50) * 0.01f);
    EXPECT_FLOAT_EQ(out[51], ramp()(51) * 0.02f);
    for (int i = 50; i < 300; ++i)
        ASSERT_FLOAT_EQ(out[i], ramp()(i) * g[i - 50]) << i;
    EXPECT_EQ(out[150], ramp()(150)) << "the 101st sample passes the input";
    EXPECT_LT(out[149], ramp()(149));
}

TEST(AudioSwitch, AReversalContinuesFromTheReachedGain)
{
    const Recording r = sameAtBlocks([](int block) {
        SignalRun run(L"QW_AudioSwitch", 48000.0f, block);
        run.set("Mode", 1).constant("Input", 1.0f).set("On", 1, 10).set("On", 0, 60);
        return run.run(200);
    });
    const auto& out = r.out("Output");
    auto g = fadeSteps(0.0f, 50, true);
    const auto down = fadeSteps(g.back(), 100, false);
    for (int i = 0; i < 100; ++i)
        ASSERT_FLOAT_EQ(out[60 + i], down[i]) << i;
    EXPECT_EQ(r.seen("Output")[199], 0.0f);
    EXPECT_GT(r.lastChange("Output", false), 60) << "off at the end of the fade, not before";
    EXPECT_LT(r.lastChange("Output", false), 60 + 55) << "half the fade back";
}

TEST(AudioSwitch, HardOffIsStaticZerosAtOnce)
{
    const Recording r = sameAtBlocks([](int block) {
        SignalRun run(L"QW_AudioSwitch", 48000.0f, block);
        run.set("Mode", 0).set("On", 1).stream("Input", ramp()).set("On", 0, 30);
        return run.run(100);
    });
    EXPECT_EQ(r.lastChange("Output", false), 30);
    EXPECT_EQ(r.out("Output")[29], ramp()(29));
    EXPECT_EQ(r.out("Output")[30], 0.0f);
    EXPECT_EQ(r.seen("Output")[99], 0.0f);
}

TEST(AudioSwitch2To1, AStaticBIsStaticWhereTheFadeEnds)
{
    const Recording r = sameAtBlocks([](int block) {
        SignalRun run(L"QW_AudioSwitch2To1", 48000.0f, block);
        run.set("Mode", 1).stream("A", ramp()).constant("B", 0.3f).set("Select B", 1, 40);
        return run.run(300);
    });
    const auto g = fadeSteps(0.0f, 200, true);
    int64_t end = 0;
    while (g[end] != 1.0f)
        ++end;
    EXPECT_EQ(r.lastChange("Output", false), 40 + end);
    for (int i = 40; i < 40 + end; ++i)
        ASSERT_FLOAT_EQ(r.out("Output")[i], (1.0f - g[i - 40]) * ramp()(i) + g[i - 40] * 0.3f) << i;
    EXPECT_EQ(r.seen("Output")[299], 0.3f);
}

TEST(AudioSwitch1To2, RoutesAndReportsEachOutput)
{
    const Recording r = sameAtBlocks([](int block) {
        SignalRun run(L"QW_AudioSwitch1To2", 48000.0f, block);
        run.set("Mode", 0).stream("Input", ramp()).set("To B", 1, 20);
        return run.run(60);
    });
    EXPECT_EQ(r.out("A")[10], ramp()(10));
    EXPECT_EQ(r.out("B")[10], 0.0f);
    EXPECT_EQ(r.out("A")[30], 0.0f);
    EXPECT_EQ(r.out("B")[30], ramp()(30));
    EXPECT_EQ(r.lastChange("A", false), 20);
    EXPECT_EQ(r.lastChange("B", false), 0);
    EXPECT_EQ(r.lastChange("B", true), 20);
}

TEST(AudioSwitchST, ChannelByChannel)
{
    const Recording r = sameAtBlocks([](int block) {
        SignalRun run(L"QW_AudioSwitchST", 48000.0f, block);
        run.set("Mode", 0).set("On", 1).stream("Left", ramp()).constant("Right", 0.5f);
        return run.run(40);
    });
    EXPECT_EQ(r.out("Left Out")[20], ramp()(20));
    EXPECT_EQ(r.seen("Right Out")[20], 0.5f);
    EXPECT_EQ(r.lastChange("Left Out", false), -1);
    EXPECT_EQ(r.lastChange("Right Out", false), 0);

    const Recording x = sameAtBlocks([](int block) {
        SignalRun run(L"QW_AudioSwitch2To1ST", 48000.0f, block);
        run.set("Mode", 0).set("Select B", 1).stream("A Left", ramp()).constant("B Left", 0.1f);
        run.stream("B Right", ramp());
        return run.run(40);
    });
    EXPECT_EQ(x.seen("Left")[20], 0.1f);
    EXPECT_EQ(x.out("Right")[20], ramp()(20));
    EXPECT_EQ(x.lastChange("Left", false), 0);
    EXPECT_EQ(x.lastChange("Right", false), -1);
}

TEST(AudioSwitches, ZerosBeforeTheFirstBoolValue)
{
    for (const wchar_t* id : {L"QW_AudioSwitch", L"QW_AudioSwitch1To2ST", L"QW_AudioSwitch2To1", L"QW_Morph1D"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        qwhost::ProcessingHost host;
        auto p = host.create(qwtest::bundle("signalkit"), id);
        std::vector<int> outs;
        for (int k = 0; k < p->pinCount(); ++k)
            if (p->pinInfo(k).datatype == gmpi::MP_AUDIO)
            {
                if (p->pinInfo(k).direction == gmpi::MP_OUT)
                {
                    outs.push_back(k);
                    std::fill_n(p->output(k), 64, 7.0f);
                }
                else
                {
                    p->setStreaming(k, true);
                    std::fill_n(p->input(k), 64, 0.5f);
                }
            }
        p->run(64);
        for (int k : outs)
            for (int i = 0; i < 64; ++i)
                ASSERT_EQ(p->output(k)[i], 0.0f) << "pin " << k << " sample " << i;
    }
}

// --- morph ---

TEST(Morph1D, WeightsByPosition)
{
    struct Case
    {
        int inputs, law;
        float position, expected, tolerance;
    };
    // Inputs carry 1, 10, 100...: the output spells out the weights.
    const std::vector<Case> cases = {
        {3, 0, 0.5f, 10.0f, 1e-5f},                            // 0, 1, 0
        {3, 0, 0.25f, 5.5f, 1e-5f},                            // 0.5, 0.5, 0
        {3, 0, 0.0f, 1.0f, 1e-5f},                             // 1, 0, 0
        {3, 0, 7.0f, 100.0f, 1e-4f},                           // clamped to 1
        {3, 0, -2.0f, 1.0f, 1e-5f},                            // clamped to 0
        {1, 0, 0.7f, 1.0f, 1e-6f},                             // one input: weight 1
        {3, 1, 0.5f, 10.0f, 1e-4f},                            // exponential: t = 1 gives 1, t = 0 gives 0
        {3, 1, 1.0f, 100.0f, 1e-4f}, {0, 0, 0.5f, 0.0f, 0.0f}, // no inputs
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE("inputs " + std::to_string(c.inputs) + " law " + std::to_string(c.law) + " p " +
                     std::to_string(c.position));
        qwhost::ProcessingHost host;
        host.autoDuplicateCount = c.inputs;
        host.sampleRate = 48000.0f;
        auto p = host.create(qwtest::bundle("signalkit"), L"QW_Morph1D");
        p->startGraph();
        p->setInt(p->pin("Law"), c.law);
        p->setConstant(p->pin("Position"), c.position);
        for (int k = 3; k < p->pinCount(); ++k)
            p->setConstant(k, std::pow(10.0f, static_cast<float>(k - 3)));
        const auto seen = qwtest::play(*p, p->pin("Output"), 16, 7);
        EXPECT_NEAR(seen[15], c.expected, c.tolerance);
    }
}

TEST(Morph1D, ExponentialEndsAreZeroAndOne)
{
    qwhost::ProcessingHost host;
    host.autoDuplicateCount = 2;
    auto p = host.create(qwtest::bundle("signalkit"), L"QW_Morph1D");
    p->startGraph();
    p->setInt(p->pin("Law"), 1);
    p->setConstant(p->pin("Position"), 0.0f);
    p->setConstant(3, 1.0f);
    p->setConstant(4, 0.0f);
    EXPECT_NEAR(qwtest::play(*p, p->pin("Output"), 8, 8)[7], 1.0f, 1e-6f);
    p->setConstant(3, 0.0f);
    p->setConstant(4, 1.0f);
    EXPECT_NEAR(qwtest::play(*p, p->pin("Output"), 8, 8)[7], 0.0f, 1e-6f);
}

// A host whose list puts pins of another datatype or direction between the
// inputs: the morph blends only the audio inputs, at the ids the host gave them.
TEST(Morph1D, SkipsHostPinsOfOtherKinds)
{
    auto bundle = qwtest::bundleDescribedAs("signalkit",
                                            "module QW_Morph1D 0\n"
                                            "pin in audio \"Position\" default=0\n"
                                            "pin in enum \"Law\" default=0 list=\"Linear,Exponential\"\n"
                                            "pin out audio \"Output\"\n"
                                            "pin in audio \"A\" default=0\n"
                                            "pin in float \"Gain\" default=0\n"
                                            "pin out audio \"Spare\"\n"
                                            "pin in audio \"B\" default=0\n");
    qwhost::ProcessingHost host;
    host.sampleRate = 48000.0f;
    auto p = host.create(bundle, L"QW_Morph1D");
    EXPECT_EQ(qwtest::builtPinIds(*p), (std::vector<int>{0, 1, 2, 3, 6}));
    p->startGraph();
    p->setConstant(0, 0.5f); // half way between the two inputs
    p->setConstant(3, 1.0f);
    p->setFloat(4, 1000.0f);
    p->setConstant(6, 10.0f);
    EXPECT_NEAR(qwtest::play(*p, 2, 8, 8)[7], 5.5f, 1e-5f);
}

TEST(Morph1D, StreamingPositionIsRepeatableAcrossBlocks)
{
    const Recording r = sameAtBlocks([](int block) {
        SignalRun run(L"QW_Morph1D", 48000.0f, block);
        run.set("Law", 1).stream("Position", [](int64_t t) { return 0.01f * static_cast<float>(t % 150) - 0.2f; });
        run.processor().setConstant(3, 1.0f);
        run.processor().setConstant(4, -1.0f);
        return run.run(300);
    });
    for (float v : r.out("Output"))
        ASSERT_TRUE(std::isfinite(v));
    EXPECT_EQ(r.lastChange("Output", true), 0);
}
} // namespace
