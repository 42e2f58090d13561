// The slowest process calls of the modules whose work comes in bursts (frame
// searches, frame evaluations, tables filled when a setting changes): each
// runs 10 s of audio block by block, every call timed, and reports the
// slowest call and the 99th percentile in ms beside the block's real-time
// budget (budget_ms, the block's duration) and half of it (half_ms, the
// goal). A call is timed by the thread's own CPU time, so that the time the
// system gives to other work (on a busy machine, ticks of several ms) is not
// counted as the module's; wall_max_ms is the slowest call by the clock. One
// iteration is one run; the time per iteration is the whole run.
//
// burstPitchShifter2: both frame shifters at every rate they run at, blocks
// of 64, 32 and 16, the largest frame, with and without anti-aliasing and
// level correction; burstPitchShifter2Moving: the same with the pitch moving
// all the time, at 48 and 96 kHz, block 64. burstModule: the other bursty modules at 48 and 96 kHz,
// block 64.
#include "../bench_support.h"
#include "../samplekit2/loaded_sample.h"
#include "bundle.h"
#include "processing_host.h"
#include "qw_shape.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{
using qwbench::noise;

// Seconds of audio per run; a short run (QW_BENCH_SHORT) only shows it works.
double runSeconds()
{
    return std::getenv("QW_BENCH_SHORT") ? 0.05 : 10.0;
}

// A module set up for a run: its streaming inputs (filled with noise each
// block) and what happens every `everyBlocks` blocks (a setting changed).
struct Run
{
    Run(std::vector<std::string> streaming_ = {}, int everyBlocks_ = 0,
        std::function<void(qwhost::Processor&, int64_t)> change_ = nullptr)
        : streaming(std::move(streaming_)), everyBlocks(everyBlocks_), change(std::move(change_))
    {}

    std::vector<std::string> streaming;
    int everyBlocks = 0;
    std::function<void(qwhost::Processor&, int64_t)> change;
    // Sample t of streaming input k; noise when empty.
    std::function<float(size_t k, int64_t t)> signal;
};

// A module made for one run, with its host.
struct Module
{
    std::unique_ptr<qwhost::ProcessingHost> host;
    std::unique_ptr<qwhost::Processor> p;
    Run run;
};

Module make(const char* bundle, const std::wstring& id, float rate, int block)
{
    Module m;
    m.host = std::make_unique<qwhost::ProcessingHost>();
    m.host->record = false;
    m.host->sampleRate = rate;
    m.host->blockSize = block;
    m.p = m.host->create(qwbench::bundle(bundle), id);
    m.p->startGraph(0);
    return m;
}

// Runs a module made afresh by `fresh` for runSeconds(), three times, timing
// every run(block) call (events included: a setting's work is done inside
// the call that delivers it). The same input every time, so call c does the
// same work in each run; its time is the least of the three, which leaves
// out what the machine added to one of them. An untimed second first warms
// buffers, caches and predictors.
void timeRun(benchmark::State& state, const std::function<Module()>& fresh, float rate, int block)
{
    const int64_t calls = static_cast<int64_t>(runSeconds() * rate / block);
    const int64_t warmCalls = static_cast<int64_t>(std::min(1.0, runSeconds()) * rate / block);
    const int runs = std::getenv("QW_BENCH_SHORT") ? 1 : 3;
    std::vector<double> ms(static_cast<size_t>(calls), 1e300);
    double wallMax = 0.0;
    for (auto _ : state)
        for (int run = 0; run < runs; ++run)
        {
            Module m = fresh();
            qwhost::Processor& p = *m.p;
            std::vector<int> pins;
            for (const auto& name : m.run.streaming)
                pins.push_back(p.pin(name));
            for (int pin : pins)
                p.setStreaming(pin, true);
            int64_t t = 0;
            for (int64_t c = -warmCalls; c < calls; ++c)
            {
                for (size_t k = 0; k < pins.size(); ++k)
                {
                    float* in = p.input(pins[k]);
                    if (m.run.signal)
                        for (int i = 0; i < block; ++i)
                            in[i] = m.run.signal(k, t + i);
                    else
                        for (int i = 0; i < block; ++i)
                            in[i] = 0.5f * noise(static_cast<int>(t + i + 7919 * static_cast<int64_t>(k)));
                }
                t += block;
                if (c > 0 && m.run.everyBlocks > 0 && c % m.run.everyBlocks == 0)
                    m.run.change(p, c / m.run.everyBlocks);
                timespec c0{}, c1{};
                const auto t0 = std::chrono::steady_clock::now();
                clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
                p.run(block);
                clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
                const auto t1 = std::chrono::steady_clock::now();
                if (c < 0)
                    continue;
                const double cpu = 1e3 * static_cast<double>(c1.tv_sec - c0.tv_sec) +
                                   1e-6 * static_cast<double>(c1.tv_nsec - c0.tv_nsec);
                ms[static_cast<size_t>(c)] = std::min(ms[static_cast<size_t>(c)], cpu);
                wallMax = std::max(wallMax, std::chrono::duration<double, std::milli>(t1 - t0).count());
            }
        }
    std::sort(ms.begin(), ms.end());
    const double budget = 1000.0 * block / rate;
    const double most = ms.empty() ? 0.0 : ms.back();
    state.counters["max_ms"] = most;
    state.counters["p99_ms"] = ms.empty() ? 0.0 : ms[ms.size() * 99 / 100];
    state.counters["budget_ms"] = budget;
    state.counters["half_ms"] = budget / 2;
    state.counters["wall_max_ms"] = wallMax;
    state.counters["max_over_half"] = most / (budget / 2);
}

constexpr float kRates[] = {44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f};

// Arguments: stereo (0/1), anti-aliasing and level correction (0/1), rate
// index into kRates, block. The largest frame; the pitch a little up, held or
// moving all the time (a slow sine around the held pitch).
void pitchShifter2(benchmark::State& state, bool moving)
{
    const bool stereo = state.range(0) != 0;
    const bool extras = state.range(1) != 0;
    const float rate = kRates[state.range(2)];
    const int block = static_cast<int>(state.range(3));
    timeRun(
        state,
        [&] {
            Module m = make("signalkit", stereo ? L"QW_PitchShifter2ST" : L"QW_PitchShifter2", rate, block);
            qwhost::Processor& p = *m.p;
            p.setInt(p.pin("Frame Size"), 13);
            p.setBool(p.pin("Anti-Alias"), extras);
            p.setBool(p.pin("Level Correction"), extras);
            m.run.streaming = stereo ? std::vector<std::string>{"Left", "Right"} : std::vector<std::string>{"Signal"};
            if (!moving)
            {
                p.setConstant(p.pin("Pitch"), 0.05f);
                return m;
            }
            m.run.streaming.push_back("Pitch");
            const size_t pitch = m.run.streaming.size() - 1;
            m.run.signal = [pitch, rate](size_t k, int64_t t) {
                if (k == pitch)
                    return 0.05f + 0.03f * std::sin(6.2831853f * 0.3f * static_cast<float>(t) / rate);
                return 0.5f * noise(static_cast<int>(t + 7919 * static_cast<int64_t>(k)));
            };
            return m;
        },
        rate, block);
}

void burstPitchShifter2(benchmark::State& state)
{
    pitchShifter2(state, false);
}

// With the pitch moving, the lag search cannot be made ahead and is redone
// where a half frame starts.
void burstPitchShifter2Moving(benchmark::State& state)
{
    pitchShifter2(state, true);
}

void pitchShifter2Args(benchmark::internal::Benchmark* b)
{
    for (int stereo : {0, 1})
        for (int extras : {0, 1})
            for (int rate = 0; rate < 6; ++rate)
                for (int block : {64, 32, 16})
                    b->Args({stereo, extras, rate, block});
    b->Iterations(1)->Unit(benchmark::kMillisecond);
}

// A 100-node shape (the largest): a sine from `phase` times `wobble`, plus
// a line rising from -1 to 1 times 1 - wobble.
std::vector<uint8_t> shapeBlob(float phase, float wobble = 1.0f)
{
    qw::Shape s;
    std::vector<qw::Shape::Node> n(100);
    for (int i = 0; i < 100; ++i)
    {
        const float x = i == 99 ? 1.0f : static_cast<float>(i) / 99.0f;
        n[static_cast<size_t>(i)] = {x, wobble * std::sin(phase + 0.1f * static_cast<float>(i)) +
                                            (1.0f - wobble) * (2.0f * x - 1.0f)};
    }
    s._importNodes(n.data(), 100);
    const auto* b = static_cast<const uint8_t*>(s.blobData());
    return {b, b + s.blobSize()};
}

// The bytes of a shape blob as the text value that carries them.
std::wstring shapeText(float phase, float wobble = 1.0f)
{
    const std::vector<uint8_t> b = shapeBlob(phase, wobble);
    std::wstring t(b.size() / sizeof(wchar_t), L'\0');
    std::memcpy(&t[0], b.data(), t.size() * sizeof(wchar_t));
    return t;
}

// Every 50 ms at most (rounded to blocks).
int every50ms(float rate, int block)
{
    return std::max(1, static_cast<int>(0.05f * rate / static_cast<float>(block)));
}

// QW_ShapeEnv3 and QW_ShapeEnv4: a new shape and a gate falling and rising
// every 50 ms, the clip setting switched too (the table clipped again).
Run gatedEnvelope(qwhost::Processor& p, float rate, int block)
{
    p.setInt(p.pin("Interpolation"), 20);
    p.setFloat(p.pin("Time"), 100.0f);
    p.setInt(p.pin("Sustain Node"), 8);
    const int shape = p.pin("Shape"), gate = p.pin("Gate"), clip = p.pin("Clip");
    p.setBool(gate, true);
    return Run{{"Signal"}, every50ms(rate, block), [shape, gate, clip](qwhost::Processor& q, int64_t k) {
                   q.setBlob(shape, shapeBlob(0.1f * static_cast<float>(k % 50)));
                   q.setBool(clip, k % 2 != 0);
                   q.setBool(gate, false, 0);
                   q.setBool(gate, true, 32);
               }};
}

Run syncOsc(qwhost::Processor& p, float pitch)
{
    std::vector<float> frames(2048);
    for (int i = 0; i < 2048; ++i)
        frames[static_cast<size_t>(i)] = 0.5f * noise(i);
    p.setBlob(p.pin("Table"), qwbench::loadedSample(frames));
    p.setInt(p.pin("Interpolation"), 4);
    p.setConstant(p.pin("Pitch"), pitch);
    p.setFloat(p.pin("Ratio A"), 0.5f);
    p.setFloat(p.pin("Ratio B"), 2.0f);
    return Run{{"Ratio Mix"}, 0, nullptr};
}

struct Case
{
    using Setup = std::function<Run(qwhost::Processor&, float rate, int block)>;
    Case(const char* bundle_, const wchar_t* id_, Setup setup_, const char* variant_ = "")
        : bundle(bundle_), id(id_), setup(std::move(setup_)), variant(variant_)
    {}

    const char* bundle;
    const wchar_t* id;
    Setup setup;
    const char* variant; // added to the label where a module has several cases
};

const std::vector<Case>& cases()
{
    static const std::vector<Case> all = {
        {"signalkit", L"QW_PitchShifter",
         [](qwhost::Processor& p, float, int) {
             p.setInt(p.pin("Frame Size"), 12);
             p.setConstant(p.pin("Pitch"), 0.05f);
             return Run{{"Signal"}, 0, nullptr};
         }},
        {"signalkit", L"QW_Harmonizer",
         [](qwhost::Processor& p, float, int) {
             p.setBool(p.pin("On"), true);
             p.setInt(p.pin("Voices"), 2);
             p.sendMidi(p.pin("Chord"), {0x90, 0x48, 0x64});
             p.sendMidi(p.pin("Chord"), {0x90, 0x43, 0x64});
             p.sendMidi(p.pin("Chord"), {0x90, 0x40, 0x64});
             p.sendMidi(p.pin("Chord"), {0x90, 0x3C, 0x64});
             return Run{{"Signal"}, 0, nullptr};
         }},
        {"signalkit", L"QW_LevResp",
         [](qwhost::Processor& p, float, int) {
             p.setInt(p.pin("Frame Length"), 12);
             return Run{{"Input"}, 0, nullptr};
         }},
        {"signalkit", L"QW_LevResp2",
         [](qwhost::Processor& p, float, int) {
             p.setInt(p.pin("Frame Length"), 13);
             return Run{{"Input"}, 0, nullptr};
         }},
        {"signalkit", L"QW_LevResp2ST",
         [](qwhost::Processor& p, float, int) {
             p.setInt(p.pin("Frame Length"), 13);
             return Run{{"Left", "Right"}, 0, nullptr};
         }},
        // A new A every 50 ms: the 2048-entry table evaluated again.
        {"signalkit", L"QW_FormulaShaper",
         [](qwhost::Processor& p, float rate, int block) {
             p.setText(p.pin("Formula"), L"sin(x*pi*a)");
             const int a = p.pin("A");
             return Run{{"Input"}, every50ms(rate, block), [a](qwhost::Processor& q, int64_t k) {
                            q.setFloat(a, 1.0f + 0.01f * float(k % 100));
                        }};
         }},
        // A new 100-node shape every 50 ms: the table rendered inside process.
        {"shapekit", L"QW_ShapeOsc2",
         [](qwhost::Processor& p, float rate, int block) {
             p.setInt(p.pin("Interpolation"), 30);
             p.setConstant(p.pin("Pitch"), 0.5f);
             p.setBool(p.pin("On"), true);
             const int shape = p.pin("Shape");
             return Run{{}, every50ms(rate, block), [shape](qwhost::Processor& q, int64_t k) {
                            q.setBlob(shape, shapeBlob(0.1f * static_cast<float>(k % 50)));
                        }};
         }},
        // Shape envelopes: every 50 ms a new 100-node shape (the largest
        // blob) with the costliest interpolation (local cubic, by a little),
        // then the gate falls and rises inside one block, so the table is
        // rendered again in the call that delivers the rising gate, a run
        // going on.
        {"shapekit", L"QW_ShapeEnv2",
         [](qwhost::Processor& p, float rate, int block) {
             p.setInt(p.pin("Interpolation"), 20);
             p.setFloat(p.pin("Time"), 100.0f);
             p.setInt(p.pin("Sustain Node"), 8);
             const int shape = p.pin("Shape"), gate = p.pin("Gate");
             p.setText(shape, shapeText(0.0f));
             p.setConstant(gate, 1.0f);
             return Run{{"Signal"}, every50ms(rate, block), [shape, gate](qwhost::Processor& q, int64_t k) {
                            q.setText(shape, shapeText(0.1f * static_cast<float>(k % 50)));
                            q.setConstant(gate, 0.0f, 0);
                            q.setConstant(gate, 1.0f, 32);
                        }};
         }},
        // An audio gate at its fastest (on and off every other sample) over a
        // rising shape: every rising edge while a run goes on searches the
        // 4096-point table for the first point at the present level, and a
        // long run keeps the level near the top, where the search is longest.
        {"shapekit", L"QW_ShapeEnv2",
         [](qwhost::Processor& p, float, int) {
             p.setInt(p.pin("Interpolation"), 20);
             p.setFloat(p.pin("Time"), 1000.0f);
             p.setText(p.pin("Shape"), shapeText(0.0f, 0.0f));
             Run r{{"Gate", "Signal"}, 0, nullptr};
             r.signal = [](size_t k, int64_t t) { return k == 0 ? static_cast<float>((t + 1) % 2) : 0.5f; };
             return r;
         },
         " audio-rate gate"},
        {"shapekit", L"QW_ShapeEnv3", gatedEnvelope},
        {"shapekit", L"QW_ShapeEnv4", gatedEnvelope},
        // As the others, with the retrigger too; one voice.
        {"shapekit", L"QW_ShapeEnv5",
         [](qwhost::Processor& p, float rate, int block) {
             p.setInt(p.pin("Interpolation"), 20);
             p.setFloat(p.pin("Duration"), 100.0f);
             p.setInt(p.pin("Sustain Node"), 8);
             p.setConstant(p.pin("Velocity"), 0.7f);
             const int shape = p.pin("Shape"), gate = p.pin("Gate"), retrigger = p.pin("Retrigger");
             p.setBool(gate, true);
             return Run{{}, every50ms(rate, block), [shape, gate, retrigger](qwhost::Processor& q, int64_t k) {
                            q.setBlob(shape, shapeBlob(0.1f * static_cast<float>(k % 50)));
                            q.setBool(gate, false, 0);
                            q.setBool(gate, true, 32);
                            q.setFloat(retrigger, k % 2 ? 1.0f : 0.0f, 48);
                        }};
         }},
        // Every 50 ms all four curves get a new 100-node shape and exponent
        // (four 128-entry tables rebuilt in one call), with a note through each.
        {"signalkit", L"QW_MIDICurves",
         [](qwhost::Processor& p, float rate, int block) {
             const char* names[] = {"Velocity", "Release Velocity", "Channel Pressure", "Key Pressure"};
             std::vector<int> curves, types, exponents;
             for (const char* n : names)
             {
                 curves.push_back(p.pin(std::string(n) + " Curve"));
                 types.push_back(p.pin(std::string(n) + " Interpolation"));
                 exponents.push_back(p.pin(std::string(n) + " Exponent"));
             }
             for (int t : types)
                 p.setInt(t, 20);
             const int in = p.pin("MIDI In");
             return Run{{}, every50ms(rate, block), [=](qwhost::Processor& q, int64_t k) {
                            for (size_t c = 0; c < curves.size(); ++c)
                            {
                                q.setBlob(curves[c], shapeBlob(0.1f * static_cast<float>((k + 7 * c) % 50)));
                                q.setFloat(exponents[c], 0.5f + 0.03f * static_cast<float>(k % 100));
                            }
                            const auto note = static_cast<uint8_t>(36 + k % 48);
                            q.sendMidi(in, {0x90, note, 100}, 8);
                            q.sendMidi(in, {0xA0, note, 80}, 16);
                            q.sendMidi(in, {0xD0, 90}, 24);
                            q.sendMidi(in, {0x80, note, 64}, 40);
                        }};
         }},
        // A 2048-frame table, its ratio moving every sample: the working
        // table read again (8-crossing sinc) at every cycle start, at 440 Hz
        // and at the top pitch (a cycle every 4 samples).
        {"samplekit2", L"QW_S2_LUTOscSYNC", [](qwhost::Processor& p, float, int) { return syncOsc(p, 0.5f); }},
        {"samplekit2", L"QW_S2_LUTOscSYNC", [](qwhost::Processor& p, float, int) { return syncOsc(p, 1.0f); },
         " top pitch"},
        // At 440 Hz the reader switched every 50 ms between 8-crossing sinc
        // and widened cubic (the rest of the cycle keeps the old reader).
        {"samplekit2", L"QW_S2_LUTOscSYNC",
         [](qwhost::Processor& p, float rate, int block) {
             Run r = syncOsc(p, 0.5f);
             const int interpolation = p.pin("Interpolation");
             r.everyBlocks = every50ms(rate, block);
             r.change = [interpolation](qwhost::Processor& q, int64_t k) { q.setInt(interpolation, k % 2 ? 2 : 4); };
             return r;
         },
         " reader change"},
    };
    return all;
}

// Arguments: case index, rate (48 or 96 kHz); block 64.
void burstModule(benchmark::State& state)
{
    const Case& c = cases()[static_cast<size_t>(state.range(0))];
    const float rate = state.range(1) == 96 ? 96000.0f : 48000.0f;
    constexpr int kBlock = 64;
    state.SetLabel(std::string(c.id, c.id + std::wcslen(c.id)) + c.variant);
    timeRun(
        state,
        [&] {
            Module m = make(c.bundle, c.id, rate, kBlock);
            m.run = c.setup(*m.p, rate, kBlock);
            return m;
        },
        rate, kBlock);
}

void moduleArgs(benchmark::internal::Benchmark* b)
{
    for (int k = 0; k < static_cast<int>(cases().size()); ++k)
        for (int rate : {48, 96})
            b->Args({k, rate});
    b->Iterations(1)->Unit(benchmark::kMillisecond);
}
} // namespace

BENCHMARK(burstPitchShifter2)->Apply(pitchShifter2Args);
BENCHMARK(burstPitchShifter2Moving)
    ->ArgsProduct({{0, 1}, {0, 1}, {1, 3}, {64}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(burstModule)->Apply(moduleArgs);
