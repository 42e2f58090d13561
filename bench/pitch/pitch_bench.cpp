// Cost of the frame pitch shifters through their real process call (the
// frame making, lag search and level correction spread over the calls of
// each half frame): the mean per sample, and the slowest call and its 99th percentile (every call timed;
// counters max_ms and p99_ms), at blocks of 64 and 256. Beside each, a bare
// loop of the same search over plain arrays, counted per sample of the half
// frame it serves. Compare moduleX with bareX of the same arguments.
#include "../bench_support.h"
#include "bundle.h"
#include "pitch_kernels.h"
#include "processing_host.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace
{
using qwbench::noise;

// Every call of `call` timed; the slowest and the 99th percentile in ms.
template <class Call> void timeCalls(benchmark::State& state, int samplesPerCall, Call call)
{
    std::vector<double> ms;
    ms.reserve(1 << 20);
    for (auto _ : state)
    {
        const auto t0 = std::chrono::steady_clock::now();
        call();
        const auto t1 = std::chrono::steady_clock::now();
        if (ms.size() < ms.capacity())
            ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    state.SetItemsProcessed(state.iterations() * samplesPerCall);
    if (ms.empty())
        return;
    std::sort(ms.begin(), ms.end());
    state.counters["max_ms"] = ms.back();
    state.counters["p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
}

// The module at its largest usual frame, noise streaming into its signal
// inputs and the pitch held, run block after block with no events.
void runModule(benchmark::State& state, const std::wstring& id, const std::vector<std::string>& inputs, float rate,
               int exponent, bool antiAlias, int block)
{
    qwhost::ProcessingHost host;
    host.record = false;
    host.sampleRate = rate;
    host.blockSize = block;
    auto p = host.create(qwbench::bundle("signalkit"), id);
    p->startGraph(0);
    p->setInt(p->pin("Frame Size"), exponent);
    p->setBool(p->pin("Anti-Alias"), antiAlias);
    p->setConstant(p->pin("Pitch"), 0.05f);
    for (const auto& name : inputs)
        p->setStreaming(p->pin(name), true);
    int64_t t = 0;
    auto fill = [&] {
        for (const auto& name : inputs)
            for (int i = 0; i < block; ++i)
                p->input(p->pin(name))[i] = 0.5f * noise(int(t + i));
        t += block;
    };
    fill();
    p->run(block);
    std::fill_n(p->input(p->pin("Pitch")), block, 0.05f);
    gmpi::IMpPlugin2* plugin = p->plugin();
    const gmpi::MpEvent* noEvents = nullptr;
    timeCalls(state, block, [&] {
        plugin->process(block, noEvents);
        benchmark::ClobberMemory();
    });
}

// Arguments: stereo (0/1), anti-aliased (0/1), rate in kHz, block.
void modulePitchShifter2(benchmark::State& state)
{
    const bool stereo = state.range(0) != 0;
    runModule(state, stereo ? L"QW_PitchShifter2ST" : L"QW_PitchShifter2",
              stereo ? std::vector<std::string>{"Left", "Right"} : std::vector<std::string>{"Signal"},
              float(state.range(2)) * 1000.0f, 13, state.range(1) != 0, int(state.range(3)));
}

// One lag search of a frame of N = 8192 (48 kHz) or 16384 (96 kHz): N/64
// probes over N/2 lags in a ring of 4N, counted as the N/2 samples it serves.
void barePitchShifter2(benchmark::State& state)
{
    const int n = qw::pitch::frameSize(state.range(2) == 96 ? 2 : 1, 13);
    const int half = n / 2, probes = n / 64;
    std::vector<float> line(static_cast<size_t>(4 * n)), value(static_cast<size_t>(probes)),
        cost(static_cast<size_t>(half));
    std::vector<int32_t> back(static_cast<size_t>(probes));
    for (int i = 0; i < 4 * n; ++i)
        line[size_t(i)] = noise(i);
    for (int p = 0; p < probes; ++p)
    {
        value[size_t(p)] = noise(p + 77);
        back[size_t(p)] = half + 31 + 32 * p;
    }
    int newest = 0;
    timeCalls(state, half, [&] {
        benchmark::DoNotOptimize(
            qw::pitch::bestLag(line.data(), 4 * n - 1, newest, value.data(), back.data(), probes, half, cost.data()));
        newest = (newest + half) & (4 * n - 1);
    });
}

void pitchShifter2Args(benchmark::internal::Benchmark* b)
{
    for (int stereo : {0, 1})
        for (int aa : {0, 1})
            for (int rate : {48, 96})
                for (int block : {64, 256})
                    b->Args({stereo, aa, rate, block});
    b->MinTime(qwbench::minTime(1.0));
}

// Arguments: anti-aliased (0/1), block; 48 kHz, exponent 12 (N = 4096).
void modulePitchShifter(benchmark::State& state)
{
    runModule(state, L"QW_PitchShifter", {"Signal"}, 48000.0f, 12, state.range(0) != 0, int(state.range(1)));
}

// One search of the windowed shifter at N = 4096: 16 probes over 2049 lags.
void barePitchShifter(benchmark::State& state)
{
    const int n = 4096;
    std::vector<float> ref(static_cast<size_t>(n / 2)), scratch(static_cast<size_t>(3 * n / 2));
    for (int i = 0; i < n / 2; ++i)
        ref[size_t(i)] = noise(i + 5);
    for (int i = 0; i < 3 * n / 2; ++i)
        scratch[size_t(i)] = noise(i);
    timeCalls(state, n / 2,
              [&] { benchmark::DoNotOptimize(qw::pitch::findMatchingOffset(ref.data(), scratch.data(), n)); });
}

void pitchShifterArgs(benchmark::internal::Benchmark* b)
{
    for (int aa : {0, 1})
        for (int block : {64, 256})
            b->Args({aa, block});
    b->MinTime(qwbench::minTime(1.0));
}
} // namespace

BENCHMARK(modulePitchShifter2)->Apply(pitchShifter2Args);
BENCHMARK(barePitchShifter2)->Apply(pitchShifter2Args);
BENCHMARK(modulePitchShifter)->Apply(pitchShifterArgs);
BENCHMARK(barePitchShifter)->Apply(pitchShifterArgs);
