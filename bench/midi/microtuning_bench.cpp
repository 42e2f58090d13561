// Cost per sample of QW_Microtuning: the module through its real process call
// (bundle loaded, module created by the host stand-in, then process called
// directly with an empty event list) beside a bare loop of the same table
// interpolation with nothing around it. Compare moduleMicrotuning with
// bareMicrotuning. Blocks of 64 samples of a streaming pitch sweep.
#include "bundle.h"
#include "processing_host.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace
{
constexpr int kBlock = 64;

// Pitches over several octaves, different at every sample.
float pitch(int i)
{
    return -0.8f + 1.6f * static_cast<float>((i * 37) % kBlock) / kBlock;
}

float cents(int k)
{
    return static_cast<float>((k * 7) % 12) * 3.0f - 15.0f;
}

void moduleMicrotuning(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    host.record = false; // counts only: recording would be measured too
    host.blockSize = kBlock;
    auto p = host.create(qwhost::Bundle::load(QW_BUNDLE_DIR "/signalkit.so"), L"QW_Microtuning");
    const int in = p->pin("Pitch");
    p->startGraph(0);
    for (int k = 0; k < 12; ++k)
        p->setFloat(p->pin("A") + k, cents(k));
    p->setStreaming(in, true);
    for (int i = 0; i < kBlock; ++i)
        p->input(in)[i] = pitch(i);
    p->run(kBlock); // the pin events; from here on the module sees none

    gmpi::IMpPlugin2* plugin = p->plugin();
    const gmpi::MpEvent* noEvents = nullptr;
    float* out = p->output(p->pin("Tuned Pitch"));
    for (auto _ : state)
    {
        plugin->process(kBlock, noEvents);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// The same table and interpolation, guards included, and nothing else.
void bareMicrotuning(benchmark::State& state)
{
    float table[13];
    for (int k = 0; k < 12; ++k)
        table[k] = static_cast<float>(k) / 12.0f + cents(k) / 1200.0f;
    table[12] = table[0] + 1.0f;
    float in[kBlock], out[kBlock];
    for (int i = 0; i < kBlock; ++i)
        in[i] = pitch(i);
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(in);
        for (int i = 0; i < kBlock; ++i)
        {
            const float x = in[i];
            const float v = x * 10.0f;
            if (!std::isfinite(v))
            {
                out[i] = x;
                continue;
            }
            const float o = std::floor(v);
            const float f = (v - o) * 12.0f;
            int k = static_cast<int>(f);
            if (k > 11)
                k = 11;
            const float t = f - static_cast<float>(k);
            out[i] = (table[k + 1] * t + table[k] * (1.0f - t) + o) * 0.1f;
        }
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

BENCHMARK(moduleMicrotuning);
BENCHMARK(bareMicrotuning);
} // namespace
