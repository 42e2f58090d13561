// The reverbs through the built bundle: the eight line lengths worked out
// from the pseudo-random step at 1991, single echoes at decay 0, the lossless
// freeze, settling on both outputs at the exact sample, silence above
// 48 kHz, and qwhost run finding the echoes of a click.
#include "WavFile32.h"
#include "signal_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

const std::wstring kReverbs[] = {L"QW_Reverb", L"QW_ReverbF"};

// Lengths for bounds in ms at rate fs: the step from 1991, the low 23 bits
// as a fraction of the span, in float as the module computes.
std::vector<int> lengths(float lo, float hi, float fs)
{
    std::vector<int> L;
    uint32_t s = 1991;
    for (int k = 0; k < 8; ++k)
    {
        s = s * 1664525u + 1013904223u;
        const float r = static_cast<float>(s & 0x7FFFFF) / 8388608.0f;
        L.push_back(static_cast<int>((r * (hi - lo) + lo) * fs * 0.001f));
    }
    return L;
}

TEST(ReverbLengths, WorkedOutByHand)
{
    EXPECT_EQ(lengths(10, 50, 48000), (std::vector<int>{2274, 1092, 1893, 739, 516, 2095, 1804, 1820}));
    EXPECT_EQ(lengths(10, 50, 44100), (std::vector<int>{2089, 1003, 1740, 679, 474, 1925, 1658, 1672}));
    EXPECT_EQ(lengths(85, 85, 48000), std::vector<int>(8, 4080));
}

// The outputs after an impulse into both inputs at decay 0.
Recording echoes(const std::wstring& id, float fs, float a, float b, int block, int64_t length)
{
    SignalRun run(id, fs, block);
    run.set("Delay A", a).set("Delay B", b).set("Decay", 0.0);
    run.stream("Left", qwtest::impulse(0)).stream("Right", qwtest::impulse(0));
    return run.run(length);
}

TEST(Reverb, DecayZeroGivesOneEchoPerLine)
{
    struct Case
    {
        float fs, a, b;
    };
    for (const auto& id : kReverbs)
        for (const Case c : {Case{48000, 10, 50}, Case{44100, 50, 10}, Case{48000, 85, 85}})
        {
            const auto L = lengths(std::min(c.a, c.b), std::max(c.a, c.b), c.fs);
            const Recording r =
                qwtest::sameAtBlocks([&](int block) { return echoes(id, c.fs, c.a, c.b, block, 4200); });
            std::vector<float> left(4200, 0.0f), right(4200, 0.0f);
            for (int k = 0; k < 4; ++k)
            {
                left[size_t(L[size_t(k)])] += 0.25f;
                right[size_t(L[size_t(k + 4)])] += 0.25f;
            }
            EXPECT_EQ(r.out("Left Out"), left) << c.fs << " " << c.a << " " << c.b;
            EXPECT_EQ(r.out("Right Out"), right) << c.fs << " " << c.a << " " << c.b;
        }
}

double rms(const std::vector<float>& y, int64_t from, int64_t to)
{
    double sum = 0;
    for (int64_t t = from; t < to; ++t)
        sum += double(y[size_t(t)]) * y[size_t(t)];
    return std::sqrt(sum / double(to - from));
}

// Noise into both inputs for 0.5 s with freeze on, then both static.
Recording frozen(const std::wstring& id, int block, int64_t seconds)
{
    constexpr float fs = 48000;
    SignalRun run(id, fs, block);
    run.set("Freeze", 1).set("Decay", 2.0);
    if (id == L"QW_ReverbF")
        run.set("Damping", 4000.0).set("High Pass", 30.0);
    run.stream("Left", qwtest::noise(1, 0.5)).stream("Right", qwtest::noise(2, 0.5));
    run.constant("Left", 0.0f, 24000).constant("Right", 0.0f, 24000);
    return run.run(24000 + seconds * 48000);
}

TEST(Reverb, FreezeKeepsTheLevel)
{
    const Recording r = qwtest::sameAtBlocks([](int block) { return frozen(L"QW_Reverb", block, 5); }, {64, 7});
    for (const char* out : {"Left Out", "Right Out"})
    {
        const auto& y = r.out(out);
        const double first = rms(y, 24000, 72000);
        EXPECT_GT(first, 0.05);
        for (int s = 1; s < 5; ++s)
            EXPECT_NEAR(rms(y, 24000 + s * 48000, 72000 + s * 48000) / first, 1.0, 0.02) << out << " second " << s;
    }
    EXPECT_LT(r.lastChange("Left Out", false), 24000) << "a frozen reverb keeps streaming";
}

TEST(ReverbF, FreezeStaysBoundedAndFades)
{
    const Recording r = qwtest::sameAtBlocks([](int block) { return frozen(L"QW_ReverbF", block, 5); }, {64, 7});
    for (const char* out : {"Left Out", "Right Out"})
    {
        const auto& y = r.out(out);
        for (float v : y)
            ASSERT_LT(std::fabs(v), 4.0f);
        // The filters in the loop take a little from every pass.
        double previous = rms(y, 24000, 72000);
        for (int s = 1; s < 5; ++s)
        {
            const double now = rms(y, 24000 + s * 48000, 72000 + s * 48000);
            EXPECT_LT(now, previous) << out << " second " << s;
            previous = now;
        }
        EXPECT_LT(previous, 0.7 * rms(y, 24000, 72000)) << out;
    }
}

TEST(Reverb, ADecayChangeEndsTheFreeze)
{
    constexpr int64_t change = 30000;
    for (const auto& id : kReverbs)
    {
        const Recording r = qwtest::sameAtBlocks([&](int block) {
            SignalRun run(id, 48000, block);
            run.set("Freeze", 1).set("Decay", 2.0);
            if (id == L"QW_ReverbF")
                run.set("Damping", 20000.0).set("High Pass", 0.0);
            run.stream("Left", qwtest::noise(1, 0.5)).stream("Right", qwtest::noise(2, 0.5));
            run.constant("Left", 0.0f, 24000).constant("Right", 0.0f, 24000);
            run.set("Decay", 0.0, change);
            return run.run(45000);
        });
        const auto y = r.seen("Left Out");
        EXPECT_GT(rms(y, change - 4000, change), 0.01);
        // Gain 0: what the lines held is heard once, and nothing after it.
        for (int64_t t = change + 4096; t < 45000; ++t)
            ASSERT_EQ(y[size_t(t)], 0.0f) << t;
        const int64_t end = r.lastChange("Left Out", false);
        EXPECT_GT(end, change);
        EXPECT_LE(end, change + 4096 + 4096);
    }
}

TEST(Reverb, SettlesOnBothOutputs)
{
    // Decay 0, lines 4-7 fed by the second input alone: an impulse just
    // before both inputs turn static comes out on the second output only,
    // last through line 5 (2095 samples); settling counts 4096 quiet
    // samples after that one.
    constexpr int64_t stop = 5000;
    for (const auto& id : kReverbs)
    {
        const Recording r = qwtest::sameAtBlocks([&](int block) {
            SignalRun run(id, 48000, block);
            run.set("Delay A", 10.0).set("Delay B", 50.0).set("Decay", 0.0);
            run.stream("Left", [](int64_t) { return 0.0f; }).stream("Right", qwtest::impulse(stop - 1));
            run.constant("Left", 0.0f, stop).constant("Right", 0.0f, stop);
            return run.run(15000);
        });
        const int64_t last = stop - 1 + 2095;
        EXPECT_EQ(r.out("Right Out")[size_t(last)], 0.25f);
        for (const char* out : {"Left Out", "Right Out"})
        {
            EXPECT_EQ(r.lastChange(out, false), last + 1 + 4096) << out;
            const auto y = r.seen(out);
            for (int64_t t = last + 1; t < 15000; ++t)
                ASSERT_EQ(y[size_t(t)], 0.0f) << out << " at " << t;
        }
        EXPECT_FALSE(r.sleepRequests.empty());
    }
}

TEST(Reverb, ValuesBelowTheFloorAreNotKept)
{
    // Lines drop what falls below 1e-30, so nothing lingers as subnormal
    // numbers whatever the processor's mode: input of 1e-31 never comes out,
    // 1e-29 does.
    for (const auto& id : kReverbs)
        for (const float level : {1e-31f, 1e-29f})
        {
            SignalRun run(id, 48000, 64);
            run.set("Decay", 9.0);
            if (id == L"QW_ReverbF")
                run.set("Damping", 20000.0).set("High Pass", 0.0);
            run.stream("Left", [level](int64_t t) { return t % 2 ? level : -level; });
            const Recording r = run.run(6000);
            bool heard = false;
            for (float v : r.out("Left Out"))
                heard |= v != 0.0f;
            EXPECT_EQ(heard, level > 1e-30f) << level;
        }
}

TEST(Reverb, SilentAbove48kHz)
{
    for (const auto& id : kReverbs)
    {
        SignalRun run(id, 96000, 64);
        run.set("Delay A", 10.0).set("Delay B", 10.0).set("Decay", 1.0);
        run.stream("Left", qwtest::noise(1)).stream("Right", qwtest::noise(2));
        const Recording r = run.run(20000);
        for (const char* out : {"Left Out", "Right Out"})
        {
            for (const auto& c : r.changes(out))
                EXPECT_FALSE(c.streaming) << out << " at " << c.time;
            for (float v : r.seen(out))
                ASSERT_EQ(v, 0.0f);
        }
    }
}

class ReverbRun : public qwtest::CommandTest
{};

TEST_F(ReverbRun, EchoesOfAClick)
{
    qw::WavFile32 click;
    std::vector<float> one(24000, 0.0f);
    one[0] = 1.0f;
    click.sampleRate = 48000;
    click.setChannel(0, static_cast<int>(one.size()), one.data());
    ASSERT_TRUE(click._saveWav(std::filesystem::path(file("click.wav")).wstring(), 32));

    const Result r = qwhost({"run", std::string(QW_BUNDLE_DIR) + "/signalkit.so", "QW_Reverb", "--rate", "48000",
                             "--in", file("click.wav"), "--pin", "Delay A=10", "--pin", "Delay B=50", "--pin",
                             "Decay=0", "--out", file("echoes.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    qw::WavFile32 w;
    ASSERT_TRUE(w._loadWav(std::filesystem::path(file("echoes.wav")).wstring()));
    ASSERT_EQ(w.channels, 2);
    // The click reaches every line: four arrivals on each output.
    const auto L = lengths(10, 50, 48000);
    for (int o = 0; o < 2; ++o)
    {
        std::vector<int> arrivals;
        for (int t = 0; t < w.frames; ++t)
            if (w.data[size_t(o)][size_t(t)] != 0.0f)
            {
                EXPECT_EQ(w.data[size_t(o)][size_t(t)], 0.25f) << t;
                arrivals.push_back(t);
            }
        std::vector<int> expected(L.begin() + 4 * o, L.begin() + 4 * o + 4);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(arrivals, expected) << "output " << o;
    }
}
} // namespace
