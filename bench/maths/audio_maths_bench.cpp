// Cost per sample of audio-rate maths and ordering modules through their
// real process call (bundle loaded, module created by the host stand-in,
// process called directly with no events), each beside a bare loop of the
// same expression with nothing around it (moduleX against bareX of the same
// arguments). Blocks of 64 samples.
//   Exp: argument 0 fast, 1 accurate (base 2).   Pow: 0 fast, 1 good, 2 exact.
//   SortAudio: 8 inputs, bare = a per-sample bubble sort with branches.
//   SlidingMax: L = 2000; argument 0 a falling ramp (a rescan every sample,
//   its worst case), 1 noise; bare = a scan of the whole window per sample.
#include "../bench_support.h"
#include "audio_modules.h"
#include "bundle.h"
#include "processing_host.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kBlock = 64;

using qwbench::noise;

std::shared_ptr<qwhost::Bundle> signalkit()
{
    return qwbench::bundle("signalkit");
}

// The module with its options set and every audio input streaming the
// block `fill(pin index, sample)`; then process is timed alone. The inputs
// keep the same block, which is all the module sees.
template <class Fill>
void runModule(benchmark::State& state, const wchar_t* id, const std::map<std::string, int>& options, int copies,
               Fill fill)
{
    qwhost::ProcessingHost host;
    host.record = false;
    host.blockSize = kBlock;
    host.autoDuplicateCount = copies;
    auto p = host.create(signalkit(), id);
    p->startGraph(0);
    for (auto& [name, v] : options)
        p->setInt(p->pin(name), v);
    int k = 0;
    std::vector<int> outs;
    for (int i = 0; i < p->pinCount(); ++i)
    {
        if (p->pinInfo(i).datatype != gmpi::MP_AUDIO)
            continue;
        if (p->pinInfo(i).direction == gmpi::MP_OUT)
        {
            outs.push_back(i);
            continue;
        }
        p->setStreaming(i, true);
        for (int t = 0; t < kBlock; ++t)
            p->input(i)[t] = fill(k, t);
        ++k;
    }
    p->run(kBlock);
    gmpi::IMpPlugin2* plugin = p->plugin();
    const gmpi::MpEvent* noEvents = nullptr;
    float* out = p->output(outs[0]);
    for (auto _ : state)
    {
        plugin->process(kBlock, noEvents);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// A bare loop: f over the block, inputs and output in plain arrays.
template <int Ins, class F> void runBare(benchmark::State& state, F f, float (*fill)(int, int))
{
    float in[Ins][kBlock], out[kBlock];
    for (int k = 0; k < Ins; ++k)
        for (int t = 0; t < kBlock; ++t)
            in[k][t] = fill(k, t);
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(&in[0][0]);
        for (int t = 0; t < kBlock; ++t)
        {
            if constexpr (Ins == 1)
                out[t] = f(in[0][t]);
            else
                out[t] = f(in[0][t], in[1][t]);
        }
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

float smallSignal(int k, int t)
{
    return 0.3f * noise(t + 100 * k);
}
float positiveSignal(int k, int t)
{
    return 0.05f + 0.1f * (noise(t + 100 * k) + 1.0f);
}

// --- Exp
void moduleAudioExp(benchmark::State& state)
{
    runModule(state, L"QW_AudioExp", {{"Base", 0}, {"Precision", static_cast<int>(state.range(0))}}, 1, smallSignal);
}
void bareAudioExp(benchmark::State& state)
{
    using namespace qw::maths;
    if (state.range(0) == 0)
        runBare<1>(
            state, [](float x) { return 0.1f * qw::fm::exp2Fast(fastExpArg(volts(x))); }, smallSignal);
    else
        runBare<1>(
            state, [](float x) { return 0.1f * qw::fm::exp2Acc(volts(x)); }, smallSignal);
}
BENCHMARK(moduleAudioExp)->Arg(0)->Arg(1);
BENCHMARK(bareAudioExp)->Arg(0)->Arg(1);

// --- Pow
void moduleAudioPow(benchmark::State& state)
{
    runModule(state, L"QW_AudioPow", {{"Precision", static_cast<int>(state.range(0))}}, 1, positiveSignal);
}
void bareAudioPow(benchmark::State& state)
{
    using namespace qw::maths;
    switch (state.range(0))
    {
    case 0:
        runBare<2>(
            state,
            [](float b, float e) {
                const float p = qw::fm::exp2Fast(fastExpArg(qw::fm::log2Fast(fastLogArg(volts(b))) * volts(e)));
                return b < 0.0f ? 0.0f : 0.1f * p;
            },
            positiveSignal);
        break;
    case 1:
        runBare<2>(
            state,
            [](float b, float e) {
                const float p = qw::fm::exp2Acc(qw::fm::log2Acc(volts(b)) * volts(e));
                return b < 0.0f ? 0.0f : 0.1f * p;
            },
            positiveSignal);
        break;
    default:
        using qw::maths::volts;
        runBare<2>(
            state, [](float b, float e) { return b < 0.0f ? 0.0f : 0.1f * std::pow(volts(b), volts(e)); },
            positiveSignal);
        break;
    }
}
BENCHMARK(moduleAudioPow)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(bareAudioPow)->Arg(0)->Arg(1)->Arg(2);

// --- Tan (degrees)
void moduleAudioTan(benchmark::State& state)
{
    runModule(state, L"QW_AudioTan", {{"Unit", 1}}, 1, smallSignal);
}
void bareAudioTan(benchmark::State& state)
{
    runBare<1>(
        state, [](float x) { return 0.1f * qw::maths::flt::tanTurns(qw::maths::scaled(x, 0.02777777f)); }, smallSignal);
}
BENCHMARK(moduleAudioTan);
BENCHMARK(bareAudioTan);

// --- SortAudio, 8 inputs
constexpr int kSorted = 8;
void moduleSortAudio(benchmark::State& state)
{
    runModule(state, L"QW_SortAudio", {}, kSorted, smallSignal);
}
void bareSortAudio(benchmark::State& state)
{
    float in[kSorted][kBlock], out[kSorted][kBlock];
    for (int k = 0; k < kSorted; ++k)
        for (int t = 0; t < kBlock; ++t)
            in[k][t] = smallSignal(k, t);
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(&in[0][0]);
        for (int t = 0; t < kBlock; ++t)
        {
            float v[kSorted];
            for (int k = 0; k < kSorted; ++k)
                v[k] = in[k][t];
            for (int pass = 0; pass + 1 < kSorted; ++pass)
                for (int j = 0; j + 1 < kSorted - pass; ++j)
                    if (v[j] > v[j + 1])
                        std::swap(v[j], v[j + 1]);
            for (int k = 0; k < kSorted; ++k)
                out[k][t] = v[k];
        }
        benchmark::DoNotOptimize(out[kSorted - 1][kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(moduleSortAudio);
BENCHMARK(bareSortAudio);

// --- SlidingMax, L = 2000. The falling ramp goes on falling from block to
// block (2^24 - n at sample n, whole numbers), so the maximum leaves the
// window at every sample and is scanned for again; the noise block repeats.
constexpr int kWindow = 2000;
void fillBlock(float* in, bool ramp, int64_t& n)
{
    for (int t = 0; t < kBlock; ++t, ++n)
    {
        if (n >= 16000000)
            n = 0;
        in[t] = ramp ? 16777216.0f - static_cast<float>(n) : noise(t);
    }
}
void moduleSlidingMax(benchmark::State& state)
{
    const bool ramp = state.range(0) == 0;
    qwhost::ProcessingHost host;
    host.record = false;
    host.blockSize = kBlock;
    auto p = host.create(signalkit(), L"QW_SlidingMax");
    p->startGraph(0);
    p->setInt(p->pin("Length"), kWindow);
    const int x = p->pin("X");
    p->setStreaming(x, true);
    int64_t n = 0;
    fillBlock(p->input(x), ramp, n);
    p->run(kBlock);
    gmpi::IMpPlugin2* plugin = p->plugin();
    const gmpi::MpEvent* noEvents = nullptr;
    float* in = p->input(x);
    float* out = p->output(p->pin("Output"));
    for (auto _ : state)
    {
        if (ramp)
            fillBlock(in, ramp, n);
        plugin->process(kBlock, noEvents);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
void bareSlidingMax(benchmark::State& state)
{
    const bool ramp = state.range(0) == 0;
    std::vector<float> ring(kWindow, 0.0f);
    float in[kBlock], out[kBlock];
    int64_t n = 0;
    fillBlock(in, ramp, n);
    int pos = 0;
    for (auto _ : state)
    {
        if (ramp)
            fillBlock(in, ramp, n);
        benchmark::DoNotOptimize(&in[0]);
        for (int t = 0; t < kBlock; ++t)
        {
            ring[static_cast<size_t>(pos)] = in[t];
            if (++pos == kWindow)
                pos = 0;
            float m = 0.0f;
            for (float v : ring)
                m = std::max(m, v);
            out[t] = m;
        }
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(moduleSlidingMax)->Arg(0)->Arg(1);
BENCHMARK(bareSlidingMax)->Arg(0)->Arg(1);
} // namespace
