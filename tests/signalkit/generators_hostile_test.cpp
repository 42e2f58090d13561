// Oscillators, noise, random generators, ramps and glides given what no patch
// should send: NaN, infinities and the float limits on every control and
// audio input, the integer limits on integer pins, and a burst of non-finite
// audio followed by ordinary input. Outputs stay finite (the burst may show
// until the end of its block) and the modules keep working.
#include "signal_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace
{
using qwtest::Recording;
using qwtest::SignalRun;

constexpr float kRate = 44100.0f;
constexpr int kBlock = 64;
constexpr int64_t kSamples = 4096;
constexpr int64_t kBurstStart = 1024, kBurstEnd = 1088;

struct Module
{
    const wchar_t* id;
    std::vector<std::pair<const char*, double>> setup;
    std::vector<const char*> pins;         // the inputs given hostile values
    std::vector<const char*> signals = {}; // audio inputs passed through: given only finite extremes
};

const Module kModules[] = {
    {L"QW_SineOsc", {{"On", 1}}, {"Pitch", "Phase Mod", "Feedback", "Reset"}},
    {L"QW_PulseOsc", {{"Gate", 1}}, {"Pitch", "Harmonics", "Amplitude", "Mute"}},
    {L"QW_PulseOsc", {{"Gate", 1}, {"Unnormalised", 1}, {"Pitch", 0.0}}, {"Amplitude", "Harmonics"}},
    {L"QW_DiracOsc", {{"Anti-Alias", 1}, {"Pitch Mode", 0}}, {"Pitch", "Amplitude"}},
    {L"QW_DiracOsc", {{"Anti-Alias", 1}, {"Pitch Mode", 1}, {"Amplitude Mode", 1}}, {"Pitch", "Amplitude"}},
    {L"QW_DiracOsc", {{"Anti-Alias", 1}, {"Pitch Mode", 2}, {"Amplitude Mode", 1}}, {"Pitch", "Amplitude"}},
    {L"QW_DiracOsc", {{"Anti-Alias", 0}, {"Pitch Mode", 2}, {"Remove DC", 1}}, {"Pitch", "Amplitude", "Pitch Mode"}},
    {L"QW_DiracOsc", {{"Anti-Alias", 0}, {"Pitch Mode", 0}, {"Amplitude Mode", 1}}, {"Pitch", "Amplitude"}},
    {L"QW_NoiseGen", {{"Type", 1}}, {"Seed", "Type"}},
    {L"QW_NoiseGen", {{"Type", 0}}, {"Seed"}},
    {L"QW_NoiseGen2", {{"Type", 1}}, {"Seed", "Type"}},
    {L"QW_RndLFO", {}, {"Rate", "Amplitude", "Seed"}},
    {L"QW_RampGen", {{"Run", 1}}, {"Start", "End", "Rate", "Restart Mode"}},
    {L"QW_Glider", {{"Mode", 0}}, {"Time", "Gate", "Mode"}, {"Signal"}},
    {L"QW_Glider", {{"Mode", 1}}, {"Time", "Gate"}, {"Signal"}},
    {L"QW_Glider2", {{"Mode", 0}}, {"Rise Time", "Fall Time", "Gate"}, {"Signal"}},
    {L"QW_Glider2", {{"Mode", 1}}, {"Rise Time", "Fall Time", "Gate"}, {"Signal"}},
    {L"QW_RandomVolts", {}, {"Bound A", "Bound B"}},
};

std::string nameOf(const Module& m)
{
    std::string s(m.id, m.id + std::wcslen(m.id));
    for (auto& [pin, v] : m.setup)
        s += std::string(" ") + pin + "=" + std::to_string(v);
    return s;
}

// Every audio output as a reader sees it is finite outside [from, to).
void expectFinite(const Recording& r, int64_t from, int64_t to, const std::string& what)
{
    for (auto& [name, pin] : r.pins)
    {
        const auto seen = r.seen(name);
        for (int64_t t = 0; t < int64_t(seen.size()); ++t)
            if ((t < from || t >= to) && !std::isfinite(seen[size_t(t)]))
            {
                ADD_FAILURE() << what << ": " << name << " is " << seen[size_t(t)] << " at " << t;
                return;
            }
    }
}

SignalRun& prepare(SignalRun& run, const Module& m)
{
    for (auto& [pin, v] : m.setup)
    {
        if (run.processor().pinInfo(run.pin(pin)).datatype == gmpi::MP_AUDIO)
            run.constant(pin, static_cast<float>(v));
        else
            run.set(pin, v);
    }
    // The trigger generator draws at once, and again later.
    if (std::wstring(m.id) == L"QW_RandomVolts")
        run.set("Trigger", 1, 100).set("Trigger", 0, 200).set("Trigger", 1, 300);
    return run;
}

TEST(GeneratorsHostile, ExtremePinValuesGiveFiniteOutput)
{
    const float floats[] = {NAN, INFINITY, -INFINITY, FLT_MAX, -FLT_MAX, -1.0f};
    const float extremes[] = {NAN, FLT_MAX, -FLT_MAX};
    const int ints[] = {INT_MIN, INT_MAX, -1, 0};
    for (const Module& m : kModules)
    {
        std::vector<const char*> pins = m.pins;
        pins.insert(pins.end(), m.signals.begin(), m.signals.end());
        for (const char* pin : pins)
        {
            const bool signal = std::find(m.signals.begin(), m.signals.end(), pin) != m.signals.end();
            SignalRun probe(m.id, kRate, kBlock);
            const int datatype = probe.processor().pinInfo(probe.pin(pin)).datatype;
            std::vector<double> values;
            if (datatype == gmpi::MP_INT32 || datatype == gmpi::MP_ENUM)
                values.assign(std::begin(ints), std::end(ints));
            else if (signal)
                values.assign(std::begin(extremes), std::end(extremes));
            else
                values.assign(std::begin(floats), std::end(floats));
            for (double v : values)
                for (bool streaming : {false, true})
                {
                    if (streaming && datatype != gmpi::MP_AUDIO)
                        continue;
                    SignalRun run(m.id, kRate, kBlock);
                    prepare(run, m);
                    const float f = static_cast<float>(v);
                    if (datatype != gmpi::MP_AUDIO)
                        run.set(pin, v, 500);
                    else if (streaming)
                        run.stream(
                            pin, [f](int64_t) { return f; }, 500);
                    else
                        run.constant(pin, f, 500);
                    const Recording r = run.run(kSamples);
                    expectFinite(r, 0, 0,
                                 nameOf(m) + ", " + pin + " = " + std::to_string(v) +
                                     (streaming ? " streaming" : " static"));
                }
        }
    }
}

TEST(GeneratorsHostile, ANonFiniteBurstIsGoneByTheEndOfItsBlock)
{
    for (const Module& m : kModules)
    {
        SignalRun probe(m.id, kRate, kBlock);
        std::vector<const char*> pins = m.pins;
        pins.insert(pins.end(), m.signals.begin(), m.signals.end());
        for (const char* pin : pins)
        {
            const auto& info = probe.processor().pinInfo(probe.pin(pin));
            if (info.datatype != gmpi::MP_AUDIO)
                continue;
            const float ordinary = std::strtof(info.defaultValue.c_str(), nullptr) + 0.05f;
            SignalRun run(m.id, kRate, kBlock);
            prepare(run, m);
            run.stream(pin, [ordinary](int64_t t) {
                if (t < kBurstStart || t >= kBurstEnd)
                    return ordinary;
                const float burst[] = {NAN, INFINITY, -INFINITY, 0.5f};
                return burst[t % 4];
            });
            // After the burst the pin turns static at the ordinary value.
            run.constant(pin, ordinary, 2048);
            const Recording r = run.run(kSamples);
            expectFinite(r, kBurstStart, kBurstEnd + kBlock, nameOf(m) + ", burst on " + pin);
        }
    }
}

TEST(GeneratorsHostile, AGlideAfterANaNTargetGlidesAgain)
{
    for (const wchar_t* id : {L"QW_Glider", L"QW_Glider2"})
    {
        SignalRun run(id, kRate, kBlock);
        if (std::wstring(id) == L"QW_Glider")
            run.constant("Time", 0.001f);
        else
            run.constant("Rise Time", 0.001f).constant("Fall Time", 0.001f);
        run.stream("Signal", [](int64_t t) { return t >= kBurstStart && t < kBurstEnd ? NAN : 0.0f; });
        run.constant("Signal", 0.3f, 2048);
        const Recording r = run.run(kSamples);
        const auto seen = r.seen("Output");
        EXPECT_EQ(seen[kBurstStart], 0.0f) << "NaN counts as 0";
        EXPECT_GT(seen[2100], 0.0f);
        EXPECT_EQ(seen.back(), 0.3f) << "arrived";
    }
}
} // namespace
