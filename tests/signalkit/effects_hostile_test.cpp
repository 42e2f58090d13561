// Hostile values for the chorus, swept delays and reverbs: not-a-number,
// infinite and huge pin values and modulation samples give finite outputs
// (not a number counting as 0), and a burst of non-finite input leaves
// nothing behind past the block it came in.
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

struct Effect
{
    std::wstring id;
    std::vector<std::string> audioIn; // signal inputs
    std::vector<std::string> floats;  // float pins
    std::vector<std::string> enums;   // voices
    std::vector<std::string> mods;    // audio modulation inputs
    std::vector<std::string> outs;
};

const std::vector<Effect>& effects()
{
    static const std::vector<Effect> all = {
        {L"QW_Detuner", {"Signal"}, {"Detune"}, {}, {}, {"Output"}},
        {L"QW_Chorus", {"Signal"}, {"Detune"}, {"Voices"}, {}, {"Left Out", "Right Out"}},
        {L"QW_ChorusMod", {"Signal"}, {"Rate", "Depth"}, {"Voices"}, {"Depth Mod"}, {"Left Out", "Right Out"}},
        {L"QW_Vibrato", {"Signal"}, {"Rate", "Depth"}, {}, {"Depth Mod"}, {"Output"}},
        {L"QW_Reverb", {"Left", "Right"}, {"Delay A", "Delay B", "Decay"}, {}, {}, {"Left Out", "Right Out"}},
        {L"QW_ReverbF",
         {"Left", "Right"},
         {"Delay A", "Delay B", "Decay", "Damping", "High Pass"},
         {},
         {},
         {"Left Out", "Right Out"}},
    };
    return all;
}

// Sets a pin the module has; others are left alone.
void setIfPresent(SignalRun& run, const std::string& pin, double v)
{
    try
    {
        run.pin(pin);
    }
    catch (const std::exception&)
    {
        return;
    }
    run.set(pin, v);
}

void expectFinite(const Recording& r, const Effect& e, int64_t from, const std::string& what)
{
    for (const auto& out : e.outs)
    {
        const auto& y = r.out(out);
        for (size_t t = size_t(from); t < y.size(); ++t)
            ASSERT_TRUE(std::isfinite(y[t])) << gmpi_sdk::toUtf8(e.id) << " " << what << ": " << out << " at " << t;
    }
}

TEST(EffectsHostile, PinValuesGiveFiniteOutputs)
{
    const float values[] = {kNaN, kInf, -kInf, FLT_MAX, -FLT_MAX, -1e9f, 1e9f};
    for (const Effect& e : effects())
        for (const auto& pin : e.floats)
            for (float v : values)
            {
                SignalRun run(e.id, 48000, 64);
                for (const auto& in : e.audioIn)
                    run.stream(in, qwtest::noise(3, 0.5));
                for (const auto& m : e.mods)
                    run.stream(m, qwtest::noise(4));
                run.set(pin, v);
                expectFinite(run.run(6000), e, 0, pin + "=" + std::to_string(v));
            }
    for (const Effect& e : effects())
        for (const auto& m : e.mods)
            for (float v : values)
            {
                SignalRun run(e.id, 48000, 64);
                run.set("Rate", 2.0).set("Depth", 1.0).stream("Signal", qwtest::noise(3, 0.5));
                run.stream(m, [v](int64_t t) { return t % 3 ? v : 0.5f; });
                expectFinite(run.run(6000), e, 0, m + " samples " + std::to_string(v));
            }
    for (const Effect& e : effects())
        for (const auto& pin : e.enums)
            for (int v : {INT_MIN, INT_MAX, -1, 1000})
            {
                SignalRun run(e.id, 48000, 64);
                run.stream("Signal", qwtest::noise(3, 0.5)).set(pin, v);
                expectFinite(run.run(6000), e, 0, pin + "=" + std::to_string(v));
            }
}

// A not-a-number pin value counts as 0.
TEST(EffectsHostile, NotANumberCountsAsZero)
{
    struct Case
    {
        std::wstring id;
        std::string pin;
        double zero; // the value the pin takes for 0 after its clamp
    };
    const Case cases[] = {
        {L"QW_Detuner", "Detune", 0},  {L"QW_Chorus", "Detune", 0},     {L"QW_ChorusMod", "Rate", 0},
        {L"QW_ChorusMod", "Depth", 0}, {L"QW_Vibrato", "Rate", 1},      {L"QW_Vibrato", "Depth", 0},
        {L"QW_Reverb", "Delay A", 1},  {L"QW_Reverb", "Decay", 0},      {L"QW_ReverbF", "Delay B", 1},
        {L"QW_ReverbF", "Damping", 0}, {L"QW_ReverbF", "High Pass", 0},
    };
    for (const Case& c : cases)
    {
        auto run = [&](double v) {
            const bool reverb = c.id.find(L"Reverb") != std::wstring::npos;
            SignalRun r(c.id, 48000, 64);
            r.stream(reverb ? "Left" : "Signal", qwtest::noise(6, 0.5)).set(c.pin, v);
            if (c.id == L"QW_ChorusMod" || c.id == L"QW_Vibrato")
                r.set(c.pin == "Rate" ? "Depth" : "Rate", 1.5).constant("Depth Mod", 0.7f);
            return r.run(5000).outputs;
        };
        EXPECT_EQ(run(kNaN), run(c.zero)) << gmpi_sdk::toUtf8(c.id) << " " << c.pin;
    }
}

TEST(EffectsHostile, NonFiniteBurstLeavesNothingBehind)
{
    constexpr int64_t from = 3000, to = 3100;
    const float bad[] = {kNaN, kInf, -kInf};
    for (const Effect& e : effects())
        for (int block : {1, 7, 64})
        {
            SignalRun run(e.id, 48000, block);
            for (const auto& [pin, v] : {std::pair<std::string, double>{"Rate", 2.0},
                                         {"Depth", 1.0},
                                         {"Decay", 3.0},
                                         {"Delay A", 5.0},
                                         {"Delay B", 40.0}})
                setIfPresent(run, pin, v);
            for (const auto& m : e.mods)
                run.constant(m, 1.0f);
            for (const auto& in : e.audioIn)
                run.stream(in, [&](int64_t t) { return t >= from && t < to ? bad[t % 3] : qwtest::noise(7)(t); });
            const Recording r = run.run(12000);
            // Finite from the end of the block that held the burst's last sample,
            // and back at the level of the noise: nothing of the burst rings on.
            const int64_t after = (to + block - 1) / block * block;
            expectFinite(r, e, after, "after a burst at blocks of " + std::to_string(block));
            for (const auto& out : e.outs)
                for (size_t t = size_t(after); t < 12000; ++t)
                    ASSERT_LT(std::fabs(r.out(out)[t]), 100.0f) << gmpi_sdk::toUtf8(e.id) << " " << out << " at " << t;
            bool heard = false;
            for (const auto& out : e.outs)
                for (size_t t = 11000; t < 12000; ++t)
                    heard |= r.out(out)[t] != 0.0f;
            EXPECT_TRUE(heard) << gmpi_sdk::toUtf8(e.id) << " goes on after the burst";
        }
}
// Finite input near the float limit (a square from one limit to the other),
// on all inputs and on the first alone, with the lines of the reverbs shorter
// than a block: finite outputs that saturate near the limit instead of
// overflowing. The settings make the sums largest: all voices (the taps sum
// to several times the input), the reverbs frozen, or without feedback and a
// slow square (their filters follow a step from one limit to the other).
TEST(EffectsHostile, InputNearTheFloatLimitGivesFiniteOutputs)
{
    struct Setting
    {
        int voices;
        bool freeze;
        int64_t half; // half a period of the square, samples
    };
    const Setting settings[] = {{3, true, 7}, {1, true, 7}, {3, false, 1500}};
    for (const Effect& e : effects())
        for (size_t inputs = 1; inputs <= e.audioIn.size(); ++inputs)
            for (const Setting& c : settings)
            {
                SignalRun run(e.id, 48000, 256);
                setIfPresent(run, "Voices", c.voices);
                setIfPresent(run, "Freeze", c.freeze);
                setIfPresent(run, "Decay", c.freeze ? 3.0 : 0.0);
                setIfPresent(run, "Depth", 1.0);
                setIfPresent(run, "Detune", 1.0);
                setIfPresent(run, "Delay A", 1.0);
                setIfPresent(run, "Delay B", 1.5);
                const int64_t half = c.half;
                for (size_t k = 0; k < inputs; ++k)
                    run.stream(e.audioIn[k], [half](int64_t t) { return (t / half) % 2 ? FLT_MAX : -0.9f * FLT_MAX; });
                const Recording r = run.run(12000);
                const std::string what = "near the float limit on " + std::to_string(inputs) + " inputs, voices " +
                                         std::to_string(c.voices) + (c.freeze ? ", frozen" : "") + ", half period " +
                                         std::to_string(half);
                expectFinite(r, e, 0, what);
                float largest = 0.0f;
                for (const auto& out : e.outs)
                    for (float y : r.out(out))
                        largest = std::max(largest, std::fabs(y));
                EXPECT_GT(largest, 1e37f) << gmpi_sdk::toUtf8(e.id) << " " << what;
            }
}
} // namespace
