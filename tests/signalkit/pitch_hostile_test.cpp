// Hostile input for the pitch shifters and the harmoniser: pitch samples
// that are not a number (counted as 0), infinite or huge; exponents and fade
// times at the ends of the integer range; MIDI of every size and with bad
// data bytes, stray note-offs and a flood of note-ons; a burst of non-finite
// input, after which the output is finite again within one block; and no
// allocation inside process, across frame size changes too.
#include "mp_sdk_common.h"
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct Module
{
    std::wstring id;
    std::vector<std::string> ins, outs;
};
const Module kShifters[] = {
    {L"QW_PitchShifter2", {"Signal"}, {"Output"}},
    {L"QW_PitchShifter2ST", {"Left", "Right"}, {"Left Out", "Right Out"}},
    {L"QW_PitchShifter", {"Signal"}, {"Output"}},
};

void expectFinite(const Recording& r, const std::vector<std::string>& outs, int64_t from, const std::string& what)
{
    for (const auto& out : outs)
    {
        const auto& y = r.out(out);
        for (size_t t = size_t(from); t < y.size(); ++t)
            ASSERT_TRUE(std::isfinite(y[t])) << what << ": " << out << " at " << t;
    }
}

Recording runShifter(const Module& m, const qwtest::Signal& pitch, int exponent, int block = 64, int64_t length = 12000)
{
    SignalRun run(m.id, 48000.0f, block);
    run.set("Frame Size", exponent).stream("Pitch", pitch);
    for (const auto& in : m.ins)
        run.stream(in, qwtest::noise(3, 0.5));
    return run.run(length);
}

qwtest::Signal held(float v)
{
    return [v](int64_t) { return v; };
}

TEST(PitchHostile, PitchSamples)
{
    for (const Module& m : kShifters)
    {
        const std::string id = gmpi_sdk::toUtf8(m.id);
        // Not a number is 0; beyond +-0.1 is an octave.
        EXPECT_EQ(runShifter(m, held(kNaN), 10).out(m.outs[0]), runShifter(m, held(0.0f), 10).out(m.outs[0])) << id;
        const auto up = runShifter(m, held(0.1f), 10).out(m.outs[0]);
        const auto down = runShifter(m, held(-0.1f), 10).out(m.outs[0]);
        EXPECT_EQ(runShifter(m, held(kInf), 10).out(m.outs[0]), up) << id;
        EXPECT_EQ(runShifter(m, held(FLT_MAX), 10).out(m.outs[0]), up) << id;
        EXPECT_EQ(runShifter(m, held(-kInf), 10).out(m.outs[0]), down) << id;
        EXPECT_EQ(runShifter(m, held(-FLT_MAX), 10).out(m.outs[0]), down) << id;
        // All of them mixed, changing every few samples.
        const float bad[] = {kNaN, kInf, -kInf, FLT_MAX, -FLT_MAX, 0.03f};
        const Recording r = runShifter(
            m, [&](int64_t t) { return bad[(t / 5) % 6]; }, 9, 7);
        expectFinite(r, m.outs, 0, id + " mixed pitch");
    }
}

TEST(PitchHostile, ExponentsAtTheIntegerLimits)
{
    const auto pitch = held(0.04f);
    for (const Module& m : kShifters)
    {
        const bool older = m.id == L"QW_PitchShifter";
        const std::string id = gmpi_sdk::toUtf8(m.id);
        EXPECT_EQ(runShifter(m, pitch, INT_MIN).out(m.outs[0]), runShifter(m, pitch, older ? 5 : 9).out(m.outs[0]))
            << id;
        const Recording top = runShifter(m, pitch, INT_MAX);
        EXPECT_EQ(top.out(m.outs[0]), runShifter(m, pitch, older ? 12 : 13).out(m.outs[0])) << id;
        expectFinite(top, m.outs, 0, id);
    }
}

TEST(PitchHostile, NonFiniteBurstIsGoneWithinABlock)
{
    const float burst[] = {kNaN, kInf, -kInf};
    for (const Module& m : kShifters)
        for (int block : {7, 64})
            for (int64_t at : {int64_t(1000), int64_t(4090), int64_t(8190)})
            {
                // The burst straddles the start of a half frame for some of
                // these times, so frames are built from it too.
                SignalRun run(m.id, 48000.0f, block);
                run.set("Frame Size", 10).constant("Pitch", 0.03f);
                for (const auto& in : m.ins)
                    run.stream(in, [&](int64_t t) {
                        return t >= at && t < at + 12 ? burst[t % 3] : qwtest::noise(3, 0.5)(t);
                    });
                const Recording r = run.run(16000);
                const int64_t clean = (at + 12 + block - 1) / block * block;
                expectFinite(r, m.outs, clean, gmpi_sdk::toUtf8(m.id) + " after a burst at " + std::to_string(at));
                double energy = 0;
                for (size_t t = 14000; t < 16000; ++t)
                    energy += std::fabs(r.out(m.outs[0])[t]);
                EXPECT_GT(energy, 10.0) << "still sounding";
            }
    // The harmoniser too.
    for (int block : {7, 64})
    {
        SignalRun run(L"QW_Harmonizer", 48000.0f, block);
        run.set("On", 1).set("Fade Time", 5).midi("Chord", {0x90, 60, 90}).midi("Chord", {0x90, 67, 90});
        run.stream("Signal", [&](int64_t t) { return t >= 3000 && t < 3010 ? burst[t % 3] : qwtest::noise(3)(t); });
        const Recording r = run.run(12000);
        expectFinite(r, {"Voice 1"}, (3010 + block - 1) / block * block, "harmoniser burst");
    }
}

TEST(PitchHostile, FadeTimesAtTheIntegerLimits)
{
    auto run = [](int fade) {
        SignalRun r(L"QW_Harmonizer", 48000.0f, 64);
        r.set("On", 1).set("Fade Time", fade).stream("Signal", qwtest::noise(2));
        r.midi("Chord", {0x90, 60, 90}, 100).midi("Chord", {0x90, 65, 90}, 100).midi("Chord", {0x80, 65, 0}, 30000);
        return r.run(60000).out("Voice 1");
    };
    EXPECT_EQ(run(INT_MIN), run(5));
    EXPECT_EQ(run(INT_MAX), run(1000));
}

TEST(PitchHostile, MidiOfEverySizeAndFlood)
{
    SignalRun run(L"QW_Harmonizer", 48000.0f, 64);
    run.set("On", 1).set("Voices", INT_MAX).stream("Signal", qwtest::noise(4));
    run.set("Voices", INT_MIN, 50);
    std::vector<std::vector<uint8_t>> messages = {{},
                                                  {0x90},
                                                  {0x90, 60},
                                                  {0x90, 60, 100, 0, 1, 2, 3, 4},
                                                  {0x90, 200, 100},
                                                  {0x90, 60, 255},
                                                  {0x80, 61, 0},
                                                  {0x80, 200, 0},
                                                  {0xFF, 0xFF, 0xFF}};
    int64_t t = 100;
    for (const auto& m : messages)
        run.midi("Chord", m, t++);
    for (int i = 0; i < 1000; ++i)
        run.midi("Chord", {uint8_t(0x90 | (i & 15)), uint8_t(i % 128), 100}, 200 + i / 4);
    for (int i = 0; i < 300; ++i)
        run.midi("Chord", {0x80, uint8_t(i % 128), 0}, 600 + i / 4);
    const Recording r = run.run(4000);
    expectFinite(r, {"Voice 1", "Voice 2", "Voice 3"}, 0, "MIDI flood");
    EXPECT_EQ(run.processor().allocationsAfterFirstBlock(), 0);
}

TEST(PitchHostile, NoAllocationInProcessAcrossFrameSizes)
{
    for (const Module& m : kShifters)
        for (float rate : {44100.0f, 96000.0f, 192000.0f})
        {
            SignalRun run(m.id, rate, 64);
            run.set("Frame Size", 9).set("Anti-Alias", 1);
            for (const auto& in : m.ins)
                run.stream(in, qwtest::noise(1));
            int64_t at = 0;
            for (int e : {13, 9, 12, 40, 11, -3, 13})
                run.set("Frame Size", e, at += 3000);
            run.constant(m.ins[0], 0.0f, at + 2000);
            const Recording r = run.run(at + 6000);
            EXPECT_EQ(run.processor().allocationsAfterFirstBlock(), 0) << gmpi_sdk::toUtf8(m.id) << " at " << rate;
            expectFinite(r, m.outs, 0, gmpi_sdk::toUtf8(m.id));
        }
}
} // namespace
