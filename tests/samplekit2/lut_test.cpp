// The table-lookup oscillators through the built bundle, against a model of
// the cycle worked out here: the increment min(0.25, 2^(10 v - 5) x 440 /
// rate) (2^x by its bit formula), a float phase stepped by it, and the table
// read at phase x length (the entry, or linearly between two entries).
#include "WavFile32.h"
#include "mp_sdk_common.h"
#include "sample_fixture.h"
#include "signal_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace
{
using s2test::exp2Formula;
using s2test::sample;

constexpr double kPi = 3.14159265358979323846;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kRate = 48000.0f;

// ===========================================================================
// The model

// Cycles per sample at pitch v.
float incrementFor(float v, float rate)
{
    const float e = exp2Formula(std::max(-126.0f, 10.0f * v - 5.0f));
    return std::min(0.25f, e * (440.0f / rate));
}

// A cycle from phase 0 (or `phase`): one phase per sample.
std::vector<float> phases(float inc, size_t count, float phase = 0.0f)
{
    std::vector<float> p(count);
    for (auto& v : p)
    {
        v = phase;
        phase += inc;
        if (phase >= 1.0f)
            phase -= 1.0f;
    }
    return p;
}

// The first sample from `at` on where the phases wrap: a cycle starts there.
size_t cycleStartFrom(const std::vector<float>& p, size_t at)
{
    while (p[at] >= p[at - 1])
        ++at;
    return at;
}

// The phase at each sample: + rate / sample rate, wrapped by its floor.
std::vector<float> lfoPhases(float hz, float rate, size_t count, float phase = 0.0f)
{
    const float inc = hz / rate;
    std::vector<float> p(count);
    for (auto& v : p)
    {
        v = phase;
        phase = phase + inc - std::floor(phase + inc);
    }
    return p;
}

size_t entryIndex(size_t n, float phase)
{
    const auto i = static_cast<size_t>(phase * static_cast<float>(n));
    return i >= n ? 0 : i;
}

// The entry at a phase.
double entryAt(const std::vector<float>& x, float phase)
{
    return x[entryIndex(x.size(), phase)];
}

// Linear between the entry at a phase and the next (the first after the last).
double linearAt(const std::vector<float>& x, float phase)
{
    const size_t n = x.size();
    const double p = static_cast<double>(phase * static_cast<float>(n));
    const size_t i = entryIndex(n, phase);
    const double f = p - static_cast<double>(i);
    return (1.0 - f) * x[i] + f * x[(i + 1) % n];
}

// The linear kernel widened by 1 / w (w <= 1) read cyclically at position p:
// w x the sum of x[k mod n] (1 - |k - p| w) over the k where that is positive.
double widenedLinear(const std::vector<float>& x, double p, double w)
{
    const auto n = static_cast<int64_t>(x.size());
    const double reach = 1.0 / w;
    double sum = 0.0;
    for (auto k = static_cast<int64_t>(std::floor(p - reach)); k <= static_cast<int64_t>(std::ceil(p + reach)); ++k)
    {
        const double weight = 1.0 - std::abs(static_cast<double>(k) - p) * w;
        if (weight > 0.0)
            sum += x[static_cast<size_t>(((k % n) + n) % n)] * weight;
    }
    return w * sum;
}

// The widening for a read that passes `entries` per sample: at most 16 times.
double widening(double entries)
{
    return std::max(1.0 / 16.0, std::min(1.0, 1.0 / entries));
}

// Reading with code 0 (entry) or 1 (linear, natural width).
double readAt(int code, const std::vector<float>& x, float phase)
{
    return code == 0 ? entryAt(x, phase) : linearAt(x, phase);
}

double mean(const std::vector<float>& x)
{
    double s = 0.0;
    for (float v : x)
        s += v;
    return s / static_cast<double>(x.size());
}

std::vector<float> noiseTable(size_t n, uint32_t seed)
{
    std::mt19937 g(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (auto& v : x)
        v = u(g);
    return x;
}

// x[k] = scale x k.
std::vector<float> rampTable(size_t n, float scale = 1.0f)
{
    std::vector<float> x(n);
    for (size_t k = 0; k < n; ++k)
        x[k] = scale * static_cast<float>(k);
    return x;
}

// One cycle of a sine.
std::vector<float> sineTable(size_t n)
{
    std::vector<float> x(n);
    for (size_t k = 0; k < n; ++k)
        x[k] = static_cast<float>(std::sin(2.0 * kPi * static_cast<double>(k) / static_cast<double>(n)));
    return x;
}

// A module of samplekit2 at a rate and block size: every input at its default.
qwtest::SignalRun lut(const wchar_t* id, float rate = kRate, int block = 64)
{
    return qwtest::SignalRun(id, rate, block, "samplekit2");
}

// Expects out[from + k] == expected(k) for k in [0, count).
void expectRun(const std::vector<float>& out, size_t from, size_t count, const std::function<double(size_t)>& expected,
               double tolerance, const std::string& what)
{
    ASSERT_LE(from + count, out.size()) << what;
    for (size_t k = 0; k < count; ++k)
        ASSERT_NEAR(out[from + k], expected(k), tolerance) << what << ", sample " << from + k;
}

struct Module
{
    const wchar_t* id;
    std::vector<std::string> tables; // its table pins
};
const Module kModules[] = {
    {L"QW_S2_LUTOsc", {"Table"}},     {L"QW_S2_LUTOscM", {"Table"}},   {L"QW_S2_LUTOscDUO", {"Table A", "Table B"}},
    {L"QW_S2_LUTOscSYNC", {"Table"}}, {L"QW_S2_LUTOscLFO", {"Table"}}, {L"QW_S2_LUTOscPMOD", {"Table"}},
};

// Gives every table pin of the module these frames from `at` on.
void setTables(qwtest::SignalRun& run, const wchar_t* id, const std::vector<float>& frames, int64_t at = 0)
{
    for (const auto& m : kModules)
        if (std::wstring(m.id) == id)
            for (const auto& t : m.tables)
                run.blob(t, sample(frames), at);
}

bool hasPin(qwtest::SignalRun& run, const std::string& name)
{
    auto& p = run.processor();
    for (int i = 0; i < p.pinCount(); ++i)
        if (p.pinInfo(i).name == name)
            return true;
    return false;
}

bool allFinite(const std::vector<float>& y)
{
    return std::all_of(y.begin(), y.end(), [](float v) { return std::isfinite(v); });
}

// ===========================================================================
// QW_S2_LUTOsc

// The mean period between upward zero crossings (each placed by linear
// interpolation between the samples around it).
double meanPeriod(const std::vector<float>& y, size_t from)
{
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (size_t t = from + 1; t < y.size(); ++t)
        if (y[t - 1] < 0.0f && y[t] >= 0.0f)
        {
            const double at = static_cast<double>(t - 1) + y[t - 1] / (y[t - 1] - y[t]);
            if (first < 0.0)
                first = at;
            last = at;
            ++crossings;
        }
    return crossings > 1 ? (last - first) / (crossings - 1) : 0.0;
}

TEST(LUTOsc, PeriodOfASineTableFollowsThePitch)
{
    for (size_t n : {size_t(16), size_t(64), size_t(2048)})
        for (float rate : {44100.0f, 96000.0f})
            for (float v : {0.3f, 0.5f, 0.72f})
            {
                const auto x = sineTable(n);
                auto run = lut(L"QW_S2_LUTOsc", rate);
                run.blob("Table", sample(x)).set("Interpolation", 1).constant("Pitch", v);
                const auto out = run.run(static_cast<int64_t>(rate / 2)).out("Output");
                const double hz = 440.0 * std::pow(2.0, 10.0 * v - 5.0);
                EXPECT_NEAR(rate / meanPeriod(out, 0), hz, 2e-4 * hz)
                    << n << " entries, " << rate << " Hz, pitch " << v;
            }
}

TEST(LUTOsc, AtTheCapTheOutputRepeatsEveryFourSamples)
{
    const auto x = sineTable(64);
    for (float rate : {44100.0f, 192000.0f})
        for (int code : {0, 4})
        {
            auto run = lut(L"QW_S2_LUTOsc", rate);
            run.blob("Table", sample(x)).set("Interpolation", code).constant("Pitch", 1.5f);
            const auto out = run.run(400).out("Output");
            for (size_t t = 4; t < out.size(); ++t)
                ASSERT_EQ(out[t], out[t - 4]) << rate << " Hz, code " << code << ", sample " << t;
            if (code == 0) // a quarter cycle per sample: entries 0, 16, 32, 48
            {
                for (size_t t = 0; t < 4; ++t)
                    EXPECT_EQ(out[t], x[16 * t]) << rate << " Hz";
            }
        }
}

// Reading more than one entry per sample widens the kernel by the entries
// passed per sample, at most 16 times (the same in the plain, morphing,
// two-table and phase-modulated oscillators).
TEST(LUTOscs, KernelReadersWidenByTheEntriesPassedPerSample)
{
    const auto x = noiseTable(256, 9);
    for (const wchar_t* id : {L"QW_S2_LUTOsc", L"QW_S2_LUTOscM", L"QW_S2_LUTOscDUO", L"QW_S2_LUTOscPMOD"})
        for (float v : {0.5f, 0.62f, 1.5f})
        {
            auto run = lut(id);
            setTables(run, id, x);
            run.set("Interpolation", 1).constant("Pitch", v);
            const float inc = incrementFor(v, kRate);
            const auto p = phases(inc, 300);
            const double w = widening(static_cast<double>(inc) * 256.0);
            expectRun(
                run.run(300).out("Output"), 0, 300,
                [&](size_t k) { return widenedLinear(x, static_cast<double>(p[k] * 256.0f), w); }, 1e-5,
                gmpi_sdk::toUtf8(id) + ", pitch " + std::to_string(v));
        }
    // The low-frequency oscillator, at its rate.
    const auto y = noiseTable(2048, 10);
    for (float rate : {10.0f, -10.0f, 0.05f})
    {
        auto run = lut(L"QW_S2_LUTOscLFO");
        run.blob("Table", sample(y)).set("Interpolation", 1).constant("Rate", rate);
        const auto p = lfoPhases(10.0f * rate, kRate, 300);
        const double w = widening(std::abs(10.0 * rate / kRate) * 2048.0);
        expectRun(
            run.run(300).out("Output"), 0, 300,
            [&](size_t k) { return widenedLinear(y, static_cast<double>(p[k] * 2048.0f), w); }, 1e-5,
            "low frequency, rate " + std::to_string(rate));
    }
}

TEST(LUTOscs, DcRemovalAndOneFrameTables)
{
    const std::vector<float> constant(100, 0.3f), one{0.7f};
    struct Row
    {
        const std::vector<float>* table;
        bool dc;
        double expected;
    };
    const Row rows[] = {{&constant, true, 0.0}, {&constant, false, 0.3}, {&one, false, 0.7}, {&one, true, 0.0}};
    for (const wchar_t* id : {L"QW_S2_LUTOsc", L"QW_S2_LUTOscM", L"QW_S2_LUTOscDUO", L"QW_S2_LUTOscPMOD"})
        for (const auto& row : rows)
            for (int code = 0; code <= 4; ++code)
                for (float v : {0.5f, 1.5f})
                {
                    auto run = lut(id);
                    setTables(run, id, *row.table);
                    run.set("Interpolation", code).set("DC Removal", row.dc).constant("Pitch", v);
                    const auto out = run.run(300).out("Output");
                    // The windowed sinc sums to 1 only within its ripple.
                    expectRun(
                        out, 0, out.size(), [&](size_t) { return row.expected; }, code <= 2 ? 1e-6 : 1e-3,
                        gmpi_sdk::toUtf8(id) + ", " + std::to_string(row.table->size()) + " frames, code " +
                            std::to_string(code) + (row.dc ? ", mean removed" : ""));
                }
}

// An oscillator on a ramp (the output names the phase) to which something
// happens at kAt; after it the cycle either goes on or starts again. The same
// for the plain, two-table (mix 0) and phase-modulated (no modulation) ones.
TEST(LUTOscs, RestartOnlyOnANewLengthOrEnableTrue)
{
    constexpr int64_t kAt = 300;
    const auto ramp = rampTable(64), doubled = rampTable(64, 2.0f), shorter = rampTable(40);
    const float inc = incrementFor(0.5f, kRate);
    using Event = std::function<void(qwtest::SignalRun&, const wchar_t*)>;
    struct Row
    {
        const char* what;
        Event event;
        bool restarts;
        const std::vector<float>* after; // the table read after it
        int code;                        // the reader after it
        int64_t frozen = kAt;            // silent and the phase standing still from here to kAt
    };
    const Row rows[] = {
        {"a change of interpolation", [](qwtest::SignalRun& r, const wchar_t*) { r.set("Interpolation", 1, kAt); },
         false, &ramp, 1},
        {"a table of the same length", [&](qwtest::SignalRun& r, const wchar_t* id) { setTables(r, id, doubled, kAt); },
         false, &doubled, 0},
        {"muted, then unmuted",
         [](qwtest::SignalRun& r, const wchar_t*) { r.set("Mute", 1, kAt - 100).set("Mute", 0, kAt); }, false, &ramp, 0,
         kAt - 100},
        {"a table of another length", [&](qwtest::SignalRun& r, const wchar_t* id) { setTables(r, id, shorter, kAt); },
         true, &shorter, 0},
        {"enable set true again", [](qwtest::SignalRun& r, const wchar_t*) { r.set("Enable", 1, kAt); }, true, &ramp,
         0},
        {"enable off, then on",
         [](qwtest::SignalRun& r, const wchar_t*) { r.set("Enable", 0, kAt - 100).set("Enable", 1, kAt); }, true, &ramp,
         0, kAt - 100},
    };
    for (const wchar_t* id : {L"QW_S2_LUTOsc", L"QW_S2_LUTOscDUO", L"QW_S2_LUTOscPMOD"})
        for (const auto& row : rows)
        {
            const auto r = qwtest::sameAtBlocks([&](int block) {
                auto run = lut(id, kRate, block);
                setTables(run, id, ramp);
                run.set("Interpolation", 0).constant("Pitch", 0.5f);
                row.event(run, id);
                return run.run(kAt + 200);
            });
            const std::string what = gmpi_sdk::toUtf8(id) + ", " + row.what;
            const auto out = r.seen("Output");
            const auto p = phases(inc, static_cast<size_t>(row.frozen) + 1);
            expectRun(
                out, 0, static_cast<size_t>(row.frozen), [&](size_t t) { return entryAt(ramp, p[t]); }, 0.0, what);
            expectRun(
                out, static_cast<size_t>(row.frozen), static_cast<size_t>(kAt - row.frozen), [](size_t) { return 0.0; },
                0.0, what);
            // The phase goes on from where it stood.
            const auto after = phases(inc, 200, row.restarts ? 0.0f : p.back());
            expectRun(
                out, kAt, 200, [&](size_t k) { return readAt(row.code, *row.after, after[k]); }, 1e-5, what);
        }
}

TEST(LUTOscs, MuteOverridesEveryOtherPinAndItsEndResumesAtOnce)
{
    constexpr int64_t kUnmute = 400;
    const auto ramp = rampTable(64), other = rampTable(50);
    for (const wchar_t* id : {L"QW_S2_LUTOsc", L"QW_S2_LUTOscM", L"QW_S2_LUTOscDUO", L"QW_S2_LUTOscPMOD"})
    {
        const auto r = qwtest::sameAtBlocks([&](int block) {
            auto run = lut(id, kRate, block);
            setTables(run, id, ramp);
            run.set("Mute", 1).set("Interpolation", 0).constant("Pitch", 0.5f);
            run.set("Enable", 1, 100).set("Interpolation", 1, 150).set("Interpolation", 0, 250);
            setTables(run, id, other, 200);
            run.set("Mute", 0, kUnmute);
            return run.run(kUnmute + 300);
        });
        const std::string what = gmpi_sdk::toUtf8(id);
        const auto out = r.seen("Output");
        expectRun(
            out, 0, kUnmute, [](size_t) { return 0.0; }, 0.0, what + ", muted");
        EXPECT_FALSE(r.sleepRequests.empty()) << what << ": a muted module sleeps";
        // The table that came while muted took effect there: its new length
        // restarted the cycle, which resumes at the unmute.
        EXPECT_EQ(r.lastChange("Output", true), kUnmute) << what;
        const auto p = phases(incrementFor(0.5f, kRate), 300);
        expectRun(
            out, kUnmute, 300, [&](size_t k) { return entryAt(other, p[k]); }, 0.0, what + ", after the mute");
    }
}

// ===========================================================================
// QW_S2_LUTOscM

TEST(LUTOscM, PlaysAndAveragesOnlyTheFirst256Frames)
{
    std::vector<float> x = rampTable(300);
    std::fill(x.begin() + 256, x.end(), 1000.0f);
    const std::vector<float> first(x.begin(), x.begin() + 256);
    const auto r = qwtest::sameAtBlocks([&](int block) {
        auto run = lut(L"QW_S2_LUTOscM", kRate, block);
        run.blob("Table", sample(x)).set("Interpolation", 0).set("DC Removal", 1).constant("Pitch", 0.2f);
        return run.run(4000); // more than one cycle
    });
    const auto p = phases(incrementFor(0.2f, kRate), 4000);
    expectRun(
        r.out("Output"), 0, 4000, [&](size_t k) { return entryAt(first, p[k]) - 127.5; }, 0.0, "300 frames");
}

// Table A all 0, then a table B of the same length all 1: the copy moves
// towards B by w = min(1, 0.125 / 2^(10 v - 5)) at each cycle end, until a step
// moves no entry by more than 1e-6.
TEST(LUTOscM, ASameLengthTableMorphsInCycleByCycle)
{
    constexpr int64_t kNew = 100;
    constexpr size_t kSamples = 12000;
    const std::vector<float> a(64, 0.0f), b(64, 1.0f);
    for (float v : {0.5f, 0.6f, 0.15f})
    {
        const auto r = qwtest::sameAtBlocks([&](int block) {
            auto run = lut(L"QW_S2_LUTOscM", kRate, block);
            run.blob("Table", sample(a)).set("Interpolation", 0).constant("Pitch", v);
            run.blob("Table", sample(b), kNew);
            return run.run(kSamples);
        });
        const float w = std::min(1.0f, 0.125f / exp2Formula(10.0f * v - 5.0f));
        const auto p = phases(incrementFor(v, kRate), kSamples + 1);
        std::vector<float> expected(kSamples);
        float level = 0.0f, moved = 1.0f;
        int steps = 0;
        for (size_t t = 0; t < kSamples; ++t)
        {
            expected[t] = level;
            const bool wraps = p[t + 1] < p[t];
            if (t >= static_cast<size_t>(kNew) && wraps && moved > 1e-6f)
            {
                const float next = (1.0f - w) * level + w * 1.0f;
                moved = std::abs(next - level);
                level = next;
                ++steps;
            }
        }
        ASSERT_LE(moved, 1e-6f) << "pitch " << v << ": the run is long enough for the morph to end";
        const auto out = r.out("Output");
        expectRun(
            out, 0, kSamples, [&](size_t t) { return expected[t]; }, 1e-7, "pitch " + std::to_string(v));
        if (w == 1.0f)
            EXPECT_EQ(steps, 2) << "whole at the first cycle end, then a step that moves nothing";
        else
            EXPECT_GT(steps, 20) << "pitch " << v;
    }
}

// Ramp a, then ramp b = -a of the same length at 100 (a morph starts): at 300
// a refresh of exactly 1, or enable set true, takes b whole and restarts;
// anything else leaves the cycle and the morph going.
TEST(LUTOscM, RefreshAtExactlyOneOrEnableTrueTakesACopyAndRestarts)
{
    constexpr int64_t kAt = 300;
    const auto a = rampTable(64), b = rampTable(64, -1.0f);
    const float inc = incrementFor(0.5f, kRate);
    const float w = 0.125f / exp2Formula(0.0f);
    struct Row
    {
        const char* pin;
        float value;
        bool restarts;
    };
    const Row rows[] = {{"Refresh", 1.0f, true},
                        {"Enable", 1.0f, true},
                        {"Refresh", 0.5f, false},
                        {"Refresh", 0.999999f, false},
                        {"Refresh", kNaN, false}};
    for (const auto& row : rows)
    {
        const auto r = qwtest::sameAtBlocks([&](int block) {
            auto run = lut(L"QW_S2_LUTOscM", kRate, block);
            run.blob("Table", sample(a)).set("Interpolation", 0).constant("Pitch", 0.5f);
            run.blob("Table", sample(b), 100);
            run.set(row.pin, row.value, kAt);
            return run.run(kAt + 200);
        });
        const std::string what = std::string(row.pin) + " " + std::to_string(row.value);
        const auto p = phases(inc, kAt + 200, 0.0f);
        const auto fresh = phases(inc, 200);
        // Each entry k of the copy is c k: c goes from 1 towards -1 by w per cycle end.
        float c = 1.0f;
        std::vector<float> expected(kAt + 200);
        for (size_t t = 0; t < expected.size(); ++t)
        {
            const bool restarted = row.restarts && t >= static_cast<size_t>(kAt);
            const float phase = restarted ? fresh[t - kAt] : p[t];
            expected[t] =
                restarted ? -static_cast<float>(entryIndex(64, phase)) : c * static_cast<float>(entryIndex(64, phase));
            const bool wraps = t + 1 < p.size() && p[t + 1] < p[t];
            if (t >= 100 && wraps && !restarted)
                c = (1.0f - w) * c - w;
        }
        expectRun(
            r.out("Output"), 0, expected.size(), [&](size_t t) { return expected[t]; }, 1e-4, what);
    }
}

// A refresh during a morph takes the table whole and ends the morph: DC
// removal turned on afterwards changes nothing until the next copy.
TEST(LUTOscM, ARefreshEndsTheMorph)
{
    const auto a = rampTable(64), b = rampTable(64, -1.0f);
    auto run = lut(L"QW_S2_LUTOscM");
    run.blob("Table", sample(a)).set("Interpolation", 0).constant("Pitch", 0.5f);
    run.blob("Table", sample(b), 100).set("Refresh", 1.0, 300).set("DC Removal", 1, 310);
    const auto out = run.run(2000).out("Output");
    const auto p = phases(incrementFor(0.5f, kRate), 1700);
    expectRun(
        out, 300, 1700, [&](size_t k) { return entryAt(b, p[k]); }, 0.0, "after the refresh");
}

// ===========================================================================
// QW_S2_LUTOscDUO

TEST(LUTOscDUO, TheMixBlendsTheTwoTables)
{
    const auto a = noiseTable(64, 1), b = noiseTable(64, 2);
    const float inc = incrementFor(0.5f, kRate);
    const auto p = phases(inc, 300);
    struct Row
    {
        float mix;
        double c; // the mix it counts as
    };
    const Row rows[] = {{0.0f, 0.0}, {1.0f, 1.0},  {0.25f, 0.25}, {kNaN, 0.0},
                        {5.0f, 1.0}, {-3.0f, 0.0}, {kInf, 1.0},   {-kInf, 0.0}};
    for (bool dc : {false, true})
        for (const auto& row : rows)
        {
            auto run = lut(L"QW_S2_LUTOscDUO");
            run.blob("Table A", sample(a)).blob("Table B", sample(b)).set("DC Removal", dc);
            run.constant("Mix", row.mix).constant("Pitch", 0.5f);
            const auto out = run.run(300).out("Output");
            const double ma = dc ? mean(a) : 0.0, mb = dc ? mean(b) : 0.0;
            expectRun(
                out, 0, 300,
                [&](size_t k) { return row.c * (linearAt(b, p[k]) - mb) + (1.0 - row.c) * (linearAt(a, p[k]) - ma); },
                2e-6, "mix " + std::to_string(row.mix) + (dc ? ", means removed" : ""));
        }
}

TEST(LUTOscDUO, TablesOfDifferentLengthsGiveSilence)
{
    const auto a = noiseTable(64, 1), b = noiseTable(65, 2), c = noiseTable(64, 3);
    const auto r = qwtest::sameAtBlocks([&](int block) {
        auto run = lut(L"QW_S2_LUTOscDUO", kRate, block);
        run.blob("Table A", sample(a)).blob("Table B", sample(b)).set("Interpolation", 0).constant("Pitch", 0.5f);
        run.blob("Table B", sample(c), 600);
        return run.run(800);
    });
    const auto out = r.seen("Output");
    expectRun(
        out, 0, 600, [](size_t) { return 0.0; }, 0.0, "64 and 65 frames");
    EXPECT_FALSE(r.sleepRequests.empty());
    EXPECT_EQ(r.lastChange("Output", true), 600);
    const auto p = phases(incrementFor(0.5f, kRate), 200);
    expectRun(
        out, 600, 200, [&](size_t k) { return entryAt(a, p[k]); }, 0.0, "64 and 64 frames");
}

// ===========================================================================
// QW_S2_LUTOscSYNC

// A read of the table at a position in [0, n).
using Read = std::function<double(const std::vector<float>&, double)>;
double entryRead(const std::vector<float>& x, double p)
{
    return x[static_cast<size_t>(p)];
}
double linearRead(const std::vector<float>& x, double p)
{
    const size_t i = static_cast<size_t>(p);
    const double f = p - static_cast<double>(i);
    return (1.0 - f) * x[i] + f * x[(i + 1) % x.size()];
}

// The working table at ratio s: the read from 0 at s per entry, faded into
// the read from frac(1 - s) n; positions are taken modulo n.
std::vector<float> syncTable(const std::vector<float>& x, double s, const Read& read)
{
    const double n = static_cast<double>(x.size());
    double p1 = 0.0, p0 = (1.0 - s - std::floor(1.0 - s)) * n;
    std::vector<float> w(x.size());
    for (size_t k = 0; k < x.size(); ++k)
    {
        const double g = static_cast<double>(k) / n;
        w[k] = static_cast<float>((1.0 - g) * read(x, std::fmod(p1, n)) + g * read(x, std::fmod(p0, n)));
        p1 += s;
        p0 += s;
    }
    return w;
}

// A synced oscillator on x at a ratio, pitch 5 V.
void setUpSync(qwtest::SignalRun& run, const std::vector<float>& x, int code, int kind, float ratio)
{
    run.blob("Table", sample(x)).set("Interpolation", code).set("Read Kind", kind);
    run.set("Ratio A", ratio).set("Ratio B", ratio).constant("Pitch", 0.5f);
}

TEST(LUTOscSYNC, RatioOneReproducesTheTableWithEveryRoutine)
{
    const auto x = noiseTable(64, 7);
    const auto p = phases(incrementFor(0.5f, kRate), 400);
    for (int code = 0; code <= 4; ++code)
        for (int kind : {0, 1})
        {
            auto run = lut(L"QW_S2_LUTOscSYNC");
            setUpSync(run, x, code, kind, 1.0f);
            expectRun(
                run.run(400).out("Output"), 0, 400, [&](size_t k) { return entryAt(x, p[k]); }, 1e-6,
                "code " + std::to_string(code) + ", kind " + std::to_string(kind));
        }
}

// The ratio (or the table) changes in the middle of a cycle: the rest of the
// cycle plays the old working table, the next cycle the new one.
TEST(LUTOscSYNC, AChangeTakesEffectAtTheNextCycleStart)
{
    constexpr int64_t kAt = 150; // the first cycle ends near sample 109, the second near 218
    const auto x = noiseTable(64, 7), y = noiseTable(64, 8);
    const auto p = phases(incrementFor(0.5f, kRate), 500);
    const size_t nextStart = cycleStartFrom(p, kAt);
    struct Row
    {
        const char* what;
        int code, kind;
        std::function<void(qwtest::SignalRun&)> change;
        std::vector<float> before, after;
    };
    const Row rows[] = {
        {"ratio A 1 -> 2.5, entries", 0, 1, [](qwtest::SignalRun& r) { r.set("Ratio A", 2.5, kAt); }, x,
         syncTable(x, 2.5, entryRead)},
        {"ratio A 1 -> 2.5, widened linear", 1, 1, [](qwtest::SignalRun& r) { r.set("Ratio A", 2.5, kAt); }, x,
         syncTable(x, 2.5, [](const std::vector<float>& t, double p) { return widenedLinear(t, p, 0.4); })},
        {"ratio A 1 -> 0.3, linear", 0, 0, [](qwtest::SignalRun& r) { r.set("Ratio A", 0.3, kAt); }, x,
         syncTable(x, 0.3, linearRead)},
        {"ratio mix 0 -> 0.5 between 1 and 3", 1, 0,
         [](qwtest::SignalRun& r) { r.set("Ratio B", 3.0).constant("Ratio Mix", 0.5f, kAt); }, x,
         syncTable(x, 2.0, linearRead)},
        {"a table of the same length", 0, 1, [&](qwtest::SignalRun& r) { r.blob("Table", sample(y), kAt); }, x, y},
    };
    for (const auto& row : rows)
    {
        const auto r = qwtest::sameAtBlocks([&](int block) {
            auto run = lut(L"QW_S2_LUTOscSYNC", kRate, block);
            setUpSync(run, x, row.code, row.kind, 1.0f);
            row.change(run);
            return run.run(500);
        });
        const auto out = r.out("Output");
        expectRun(
            out, 0, nextStart, [&](size_t k) { return entryAt(row.before, p[k]); }, 1e-6, row.what);
        expectRun(
            out, nextStart, 500 - nextStart, [&](size_t k) { return entryAt(row.after, p[nextStart + k]); }, 2e-6,
            row.what);
    }
}

// A new reader or a new table of the same length in the middle of a cycle:
// the rest of the cycle plays the working table made at its start. A long
// table, so that the cycle still reads entries it has not read before, at a
// ratio whose positions fall between entries (so the readers differ).
TEST(LUTOscSYNC, TheRestOfTheCycleKeepsItsWorkingTable)
{
    constexpr int64_t kAt = 50; // the first cycle ends near sample 109
    const auto x = noiseTable(2048, 7), y = noiseTable(2048, 8);
    const auto expected = syncTable(x, 2.5, entryRead);
    const auto p = phases(incrementFor(0.5f, kRate), 300);
    const size_t nextStart = cycleStartFrom(p, kAt);
    struct Row
    {
        const char* what;
        std::function<void(qwtest::SignalRun&)> change;
    };
    const Row rows[] = {
        {"interpolation entries -> linear", [](qwtest::SignalRun& r) { r.set("Interpolation", 1, kAt); }},
        {"read kind widened -> plain", [](qwtest::SignalRun& r) { r.set("Read Kind", 0, kAt); }},
        {"a table of the same length", [&](qwtest::SignalRun& r) { r.blob("Table", sample(y), kAt); }},
        {"a table of the same length, then linear",
         [&](qwtest::SignalRun& r) { r.blob("Table", sample(y), kAt).set("Interpolation", 1, kAt + 10); }},
    };
    for (const auto& row : rows)
    {
        const auto r = qwtest::sameAtBlocks([&](int block) {
            auto run = lut(L"QW_S2_LUTOscSYNC", kRate, block);
            setUpSync(run, x, 0, 1, 2.5f);
            row.change(run);
            return run.run(300);
        });
        expectRun(
            r.out("Output"), 0, nextStart, [&](size_t k) { return entryAt(expected, p[k]); }, 1e-6, row.what);
    }
}

// A new length, refresh 1 or enable set true restarts the cycle at once and
// rebuilds at its start; the mean comes off when DC removal is on.
TEST(LUTOscSYNC, RestartsRebuildAtOnce)
{
    constexpr int64_t kAt = 150;
    const auto x = noiseTable(64, 7), y = noiseTable(48, 8);
    const auto p = phases(incrementFor(0.5f, kRate), 300);
    struct Row
    {
        const char* what;
        std::function<void(qwtest::SignalRun&)> event;
        const std::vector<float>* after;
        int64_t silent = kAt; // silent from here to kAt
    };
    const Row rows[] = {
        {"a table of another length", [&](qwtest::SignalRun& r) { r.blob("Table", sample(y), kAt); }, &y},
        {"refresh 1", [](qwtest::SignalRun& r) { r.set("Refresh", 1.0, kAt); }, &x},
        {"enable set true again", [](qwtest::SignalRun& r) { r.set("Enable", 1, kAt); }, &x},
        {"a table of another length while muted",
         [&](qwtest::SignalRun& r) {
             r.set("Mute", 1, kAt - 50).blob("Table", sample(y), kAt - 40).set("Mute", 0, kAt);
         },
         &y, kAt - 50},
    };
    for (bool dc : {false, true})
        for (const auto& row : rows)
        {
            auto run = lut(L"QW_S2_LUTOscSYNC");
            setUpSync(run, x, 0, 1, 2.5f);
            run.set("DC Removal", dc);
            row.event(run);
            const auto out = run.run(kAt + 300).seen("Output");
            const auto before = syncTable(x, 2.5, entryRead), after = syncTable(*row.after, 2.5, entryRead);
            const double mx = dc ? mean(x) : 0.0, ma = dc ? mean(*row.after) : 0.0;
            const std::string what = std::string(row.what) + (dc ? ", mean removed" : "");
            const auto silent = static_cast<size_t>(row.silent);
            expectRun(
                out, 0, silent, [&](size_t k) { return entryAt(before, p[k]) - mx; }, 2e-6, what);
            expectRun(
                out, silent, kAt - silent, [](size_t) { return 0.0; }, 0.0, what);
            expectRun(
                out, kAt, 300, [&](size_t k) { return entryAt(after, p[k]) - ma; }, 2e-6, what);
        }
}

// Read positions wrap by the remainder: at ratio 10 the working table of n
// entries takes entry 10 k mod n.
TEST(LUTOscSYNC, TablesShorterThanTheRatioStayInside)
{
    for (size_t n = 1; n <= 9; ++n)
    {
        const auto x = noiseTable(n, static_cast<uint32_t>(n));
        for (double s : {10.0, 9.75})
        {
            const auto expected = syncTable(x, s, entryRead);
            const auto p = phases(incrementFor(0.5f, kRate), 300);
            // Ratio 10 comes through the ratio mix as well.
            auto run = lut(L"QW_S2_LUTOscSYNC");
            setUpSync(run, x, 0, 1, 1.0f);
            run.set("Ratio B", s).constant("Ratio Mix", 1.0f);
            expectRun(
                run.run(300).out("Output"), 0, 300, [&](size_t k) { return entryAt(expected, p[k]); }, 1e-6,
                std::to_string(n) + " frames at ratio " + std::to_string(s));
            for (int code = 1; code <= 4; ++code)
                for (int kind : {0, 1})
                {
                    auto other = lut(L"QW_S2_LUTOscSYNC");
                    setUpSync(other, x, code, kind, static_cast<float>(s));
                    const auto out = other.run(300).out("Output");
                    EXPECT_TRUE(allFinite(out)) << n << " frames, code " << code << ", kind " << kind;
                }
        }
    }
}

// ===========================================================================
// QW_S2_LUTOscLFO

TEST(LUTOscLFO, RateInTensOfHertzHeldToPlusMinus100)
{
    const auto x = rampTable(100);
    struct Row
    {
        float input;
        float hz;
    };
    const Row rows[] = {{2.0f, 20.0f},  {20.0f, 100.0f}, {-3.0f, -30.0f},  {-kInf, -100.0f},
                        {kInf, 100.0f}, {kNaN, 0.0f},    {-25.0f, -100.0f}};
    for (float rate : {48000.0f, 44100.0f})
        for (const auto& row : rows)
        {
            auto run = lut(L"QW_S2_LUTOscLFO", rate);
            run.blob("Table", sample(x)).set("Interpolation", 0).constant("Rate", row.input);
            const auto out = run.run(2000).out("Output");
            const auto p = lfoPhases(row.hz, rate, 2000);
            expectRun(
                out, 0, 2000, [&](size_t k) { return entryAt(x, p[k]); }, 0.0,
                "rate " + std::to_string(row.input) + " at " + std::to_string(rate));
        }
}

// A retrigger at kAt: the output keeps its value, then the difference to the
// table read from frame 0 decays by 0.95^(48000 / rate) per sample.
TEST(LUTOscLFO, RetriggerRestartsAtFrameZeroWithADecayingGlide)
{
    constexpr int64_t kAt = 700;
    const auto x = sineTable(64);
    for (float rate : {48000.0f, 44100.0f, 96000.0f})
        for (int code : {0, 1})
        {
            const auto r = qwtest::sameAtBlocks([&](int block) {
                auto run = lut(L"QW_S2_LUTOscLFO", rate, block);
                run.blob("Table", sample(x)).set("Interpolation", code).constant("Rate", 0.7f);
                run.set("Retrigger", 1, kAt).set("Retrigger", 0, kAt + 5);
                return run.run(kAt + 300);
            });
            const auto out = r.out("Output");
            const std::string what = std::to_string(rate) + " Hz, code " + std::to_string(code);
            const auto before = lfoPhases(7.0f, rate, kAt);
            expectRun(
                out, 0, kAt, [&](size_t k) { return readAt(code, x, before[k]); }, 1e-6, what);
            const double glide = out[kAt - 1] - x[0];
            ASSERT_GT(std::abs(glide), 0.1) << what << ": the retrigger comes away from frame 0";
            const double factor = std::pow(0.95, 48000.0 / rate);
            const auto after = lfoPhases(7.0f, rate, 300);
            expectRun(
                out, kAt, 300,
                [&](size_t k) { return glide * std::pow(factor, static_cast<double>(k)) + readAt(code, x, after[k]); },
                2e-6, what);
        }
}

// Reading many entries per sample, a widened kernel at phase 0 is not frame 0:
// the glide starts from that reading, so there is still no jump.
TEST(LUTOscLFO, NoJumpWhereTheKernelIsWidened)
{
    const auto x = noiseTable(4096, 12);
    auto run = lut(L"QW_S2_LUTOscLFO");
    run.blob("Table", sample(x)).set("Interpolation", 1).constant("Rate", 10.0f).set("Retrigger", 1, 333);
    const auto out = run.run(400).out("Output");
    EXPECT_NEAR(out[333], out[332], 1e-6);
    EXPECT_GT(std::abs(widenedLinear(x, 0.0, widening(100.0 / kRate * 4096.0)) - x[0]), 1e-3)
        << "the widened reading at frame 0 differs from the frame";
}

// Only a table of another length restarts the low-frequency oscillator.
TEST(LUTOscLFO, OnlyATableOfAnotherLengthRestarts)
{
    constexpr int64_t kAt = 300;
    const auto x = rampTable(100), same = rampTable(100, -1.0f), other = rampTable(60);
    struct Row
    {
        const char* what;
        std::function<void(qwtest::SignalRun&)> event;
        const std::vector<float>* after;
        bool restarts;
    };
    const Row rows[] = {
        {"another length", [&](qwtest::SignalRun& r) { r.blob("Table", sample(other), kAt); }, &other, true},
        {"the same length", [&](qwtest::SignalRun& r) { r.blob("Table", sample(same), kAt); }, &same, false},
        {"enable set true again", [](qwtest::SignalRun& r) { r.set("Enable", 1, kAt); }, &x, false},
        {"another length while muted",
         [&](qwtest::SignalRun& r) {
             r.set("Mute", 1, kAt - 50).blob("Table", sample(other), kAt - 40).set("Mute", 0, kAt);
         },
         &other, true},
    };
    for (const auto& row : rows)
    {
        auto run = lut(L"QW_S2_LUTOscLFO");
        run.blob("Table", sample(x)).set("Interpolation", 0).constant("Rate", 2.3f);
        row.event(run);
        const auto out = run.run(kAt + 200).out("Output");
        const auto p = lfoPhases(23.0f, kRate, kAt + 200);
        const auto fresh = lfoPhases(23.0f, kRate, 200);
        expectRun(
            out, kAt, 200, [&](size_t k) { return entryAt(*row.after, row.restarts ? fresh[k] : p[kAt + k]); }, 0.0,
            row.what);
    }
}

TEST(LUTOscLFO, ARetriggerWhileDisabledChangesNothing)
{
    const auto x = rampTable(100);
    auto run = lut(L"QW_S2_LUTOscLFO");
    run.blob("Table", sample(x)).set("Interpolation", 0).constant("Rate", 1.0f);
    run.set("Enable", 0, 200).set("Retrigger", 1, 300).set("Enable", 1, 400);
    const auto out = run.run(700).seen("Output");
    // Disabled, it stays where it was; enable does not restart it.
    const auto p = lfoPhases(10.0f, kRate, 500);
    expectRun(
        out, 0, 200, [&](size_t k) { return entryAt(x, p[k]); }, 0.0, "before");
    expectRun(
        out, 200, 200, [](size_t) { return 0.0; }, 0.0, "disabled");
    expectRun(
        out, 400, 300, [&](size_t k) { return entryAt(x, p[200 + k]); }, 0.0, "enabled again");
}

// ===========================================================================
// QW_S2_LUTOscPMOD

// The table is read at the phase plus the modulation (held to -1 .. 1); a
// kernel reader widens by how far the read point moved: the increment plus
// the modulation's change since the previous sample (0 before the first, and
// again after a restart).
TEST(LUTOscPMOD, TheModulationShiftsTheReadPhase)
{
    constexpr size_t kRestart = 300;
    const auto x = rampTable(64);
    const float inc = incrementFor(0.5f, kRate);
    const auto p = phases(inc, 600), fresh = phases(inc, 300);
    auto shifted = [](float phase, float pm) {
        const float f = phase + pm - std::floor(phase + pm);
        return f >= 1.0f ? 0.0f : f;
    };
    const qwtest::Signal half = [](int64_t) { return 0.5f; };
    // A swing past +-1, which is held there.
    const qwtest::Signal swing = qwtest::sine(200.0, kRate, 1.5);
    for (const auto* modulation : {&half, &swing})
        for (int code : {0, 1})
            for (bool restarts : {false, true})
            {
                const auto r = qwtest::sameAtBlocks([&](int block) {
                    auto run = lut(L"QW_S2_LUTOscPMOD", kRate, block);
                    run.blob("Table", sample(x)).set("Interpolation", code).constant("Pitch", 0.5f);
                    run.stream("Modulation", *modulation);
                    if (restarts)
                        run.set("Enable", 1, kRestart);
                    return run.run(600);
                });
                const size_t start = restarts ? kRestart : 0;
                auto pmAt = [&](size_t t) { return std::clamp((*modulation)(static_cast<int64_t>(t)), -1.0f, 1.0f); };
                expectRun(
                    r.out("Output"), 0, 600,
                    [&](size_t t) {
                        const float phase = shifted(t < start ? p[t] : (restarts ? fresh[t - start] : p[t]), pmAt(t));
                        if (code == 0)
                            return entryAt(x, phase);
                        const float before = t == 0 || t == start ? 0.0f : pmAt(t - 1);
                        const double w = widening(std::abs(static_cast<double>(inc + pmAt(t) - before)) * 64.0);
                        return widenedLinear(x, static_cast<double>(phase * 64.0f), w);
                    },
                    1e-4,
                    std::string(modulation == &half ? "half a cycle" : "a swing") + ", code " + std::to_string(code) +
                        (restarts ? ", restarted" : ""));
            }
}

// Phase 0 minus a hair: its fraction rounds to 1, which reads entry 0.
TEST(LUTOscPMOD, ATinyNegativeModulationAtPhaseZeroReadsEntryZero)
{
    const auto x = noiseTable(64, 5);
    for (int code = 0; code <= 4; ++code)
    {
        auto run = lut(L"QW_S2_LUTOscPMOD");
        run.blob("Table", sample(x)).set("Interpolation", code).constant("Pitch", 0.5f).constant("Modulation", -1e-9f);
        const auto out = run.run(64).out("Output");
        EXPECT_EQ(out[0], x[0]) << "code " << code;
        EXPECT_TRUE(allFinite(out)) << "code " << code;
    }
}

// ===========================================================================
// Bad input, every module

// A value no patch should send gives what the value it counts as gives.
TEST(LUTOscs, NonFiniteAndHugeInputsCountAsTheirClampOrZero)
{
    const auto x = noiseTable(64, 11);
    struct Row
    {
        const wchar_t* id;
        const char* pin;
        float bad, same;
    };
    const Row rows[] = {
        {L"QW_S2_LUTOsc", "Pitch", kNaN, 0.0f},          {L"QW_S2_LUTOsc", "Pitch", kInf, 10.0f},
        {L"QW_S2_LUTOsc", "Pitch", -kInf, -100.0f},      {L"QW_S2_LUTOscM", "Pitch", kNaN, 0.0f},
        {L"QW_S2_LUTOscM", "Pitch", kInf, 10.0f},        {L"QW_S2_LUTOscDUO", "Mix", kNaN, 0.0f},
        {L"QW_S2_LUTOscDUO", "Mix", kInf, 1.0f},         {L"QW_S2_LUTOscDUO", "Mix", -kInf, 0.0f},
        {L"QW_S2_LUTOscDUO", "Pitch", -kInf, -100.0f},   {L"QW_S2_LUTOscSYNC", "Pitch", kNaN, 0.0f},
        {L"QW_S2_LUTOscSYNC", "Ratio Mix", kNaN, 0.0f},  {L"QW_S2_LUTOscSYNC", "Ratio Mix", kInf, 1.0f},
        {L"QW_S2_LUTOscSYNC", "Ratio Mix", -kInf, 0.0f}, {L"QW_S2_LUTOscSYNC", "Ratio A", kNaN, 0.1f},
        {L"QW_S2_LUTOscSYNC", "Ratio A", 1e30f, 10.0f},  {L"QW_S2_LUTOscSYNC", "Ratio B", -1e30f, 0.1f},
        {L"QW_S2_LUTOscSYNC", "Refresh", kNaN, 0.0f},    {L"QW_S2_LUTOscM", "Refresh", kNaN, 0.0f},
        {L"QW_S2_LUTOscLFO", "Rate", kNaN, 0.0f},        {L"QW_S2_LUTOscLFO", "Rate", kInf, 10.0f},
        {L"QW_S2_LUTOscLFO", "Rate", -kInf, -10.0f},     {L"QW_S2_LUTOscPMOD", "Modulation", kNaN, 0.0f},
        {L"QW_S2_LUTOscPMOD", "Modulation", kInf, 1.0f}, {L"QW_S2_LUTOscPMOD", "Modulation", -kInf, -1.0f},
        {L"QW_S2_LUTOscPMOD", "Pitch", kInf, 10.0f},
    };
    for (const auto& row : rows)
    {
        auto play = [&](float v) {
            auto run = lut(row.id);
            setTables(run, row.id, x);
            run.set("Interpolation", 4);
            const std::string pin = row.pin;
            if (pin == "Ratio Mix")
                run.set("Ratio B", 3.0); // so that the mix matters
            if (pin == "Ratio A" || pin == "Ratio B" || pin == "Refresh")
                run.set(pin, v, 100);
            else
                run.constant(pin, 0.25f).constant(pin, v, 100);
            return run.run(600).out("Output");
        };
        const auto bad = play(row.bad), same = play(row.same);
        const std::string what = gmpi_sdk::toUtf8(row.id) + " " + row.pin + " " + std::to_string(row.bad);
        ASSERT_TRUE(allFinite(bad)) << what;
        for (size_t t = 0; t < bad.size(); ++t)
            ASSERT_EQ(bad[t], same[t]) << what << " at sample " << t;
    }
}

// A table of a million frames at the top pitch through the widest reader (the
// kernel is widened at most 16 times), one-frame tables, and a new table in
// every block: the output stays finite.
TEST(LUTOscs, HugeTinyAndEverChangingTables)
{
    const auto huge = noiseTable(1000000, 3);
    const std::vector<float> one{0.25f};
    std::vector<std::vector<float>> tables;
    for (size_t n : {64, 65, 1, 300, 2, 64})
        tables.push_back(noiseTable(n, static_cast<uint32_t>(n)));
    for (const auto& m : kModules)
    {
        const std::string what = gmpi_sdk::toUtf8(m.id);
        auto setUp = [&](qwtest::SignalRun& run, int code) {
            run.set("Interpolation", code);
            run.constant(hasPin(run, "Pitch") ? "Pitch" : "Rate", 10.0f);
            if (hasPin(run, "Modulation"))
                run.stream("Modulation", qwtest::noise(2));
            if (hasPin(run, "Ratio Mix"))
                run.stream("Ratio Mix", qwtest::noise(3, 0.5));
        };
        {
            auto run = lut(m.id);
            setUp(run, 4);
            if (hasPin(run, "Ratio B"))
                run.set("Ratio B", 1.0);
            setTables(run, m.id, huge);
            EXPECT_TRUE(allFinite(run.run(512).out("Output"))) << what << ", a million frames";
        }
        for (int code = 0; code <= 4; ++code)
        {
            auto run = lut(m.id);
            setUp(run, code);
            setTables(run, m.id, one);
            const auto out = run.run(300).out("Output");
            EXPECT_TRUE(allFinite(out)) << what << ", one frame, code " << code;
            if (code == 0)
            {
                EXPECT_EQ(out[299], 0.25f) << what << ", one frame";
            }
        }
        {
            auto run = lut(m.id);
            setUp(run, 2);
            for (int64_t at = 0; at < 1024; at += 64)
                for (size_t i = 0; i < m.tables.size(); ++i)
                    run.blob(m.tables[i], sample(tables[(static_cast<size_t>(at / 64) + i) % tables.size()]), at);
            EXPECT_TRUE(allFinite(run.run(1100).out("Output"))) << what << ", a new table every block";
        }
    }
}

// ===========================================================================
// Trying it from the command line

class LutCommand : public qwtest::CommandTest
{};

TEST_F(LutCommand, QwhostRunsTheOscillatorOnALoadedCycle)
{
    qw::WavFile32 wav;
    const auto cycle = sineTable(64);
    wav.setChannel(0, static_cast<int>(cycle.size()), cycle.data());
    wav.sampleRate = 48000;
    ASSERT_TRUE(wav._saveWav(gmpi_sdk::fromUtf8(file("cycle.wav")), 32));
    const auto r = qwhost({"run", qwtest::bundle("samplekit2")->path(), "QW_S2_LUTOsc", "--sample",
                           "Table=" + file("cycle.wav"), "--pin", "Enable=1", "--pin", "Pitch=0.5", "--pin",
                           "Interpolation=0", "--rate", "48000", "--seconds", "0.1", "--out", file("lut.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    qw::WavFile32 out;
    ASSERT_TRUE(out._loadWav(gmpi_sdk::fromUtf8(file("lut.wav"))));
    ASSERT_EQ(out.frames, 4800);
    const auto p = phases(incrementFor(0.5f, 48000.0f), 4800);
    for (size_t k = 0; k < 4800; ++k)
        ASSERT_EQ(out.data[0][k], entryAt(cycle, p[k])) << k;
}
} // namespace
