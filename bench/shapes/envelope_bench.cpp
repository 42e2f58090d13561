// QW_ShapeEnv5 per voice: the clones of one voice group share one table; each
// voice's process is called directly, one block after another, while every
// envelope runs through its table. Beside it, a bare loop of the same segment
// arithmetic over the same number of voices, each with its state in locals.
#include "bundle.h"
#include "processing_host.h"
#include "qw_shape.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
enum Pin
{
    GATE = 1,
    SHAPE = 2,
    TYPE = 3,
    DURATION = 5,
};

void moduleEnvelope(benchmark::State& state)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/shapekit.so");
    const int voices = static_cast<int>(state.range(0));
    const int block = static_cast<int>(state.range(1));
    qwhost::ProcessingHost host;
    host.record = false; // counts only: recording would be measured too
    host.sampleRate = 48000;
    host.blockSize = block;
    auto group = host.createVoices(bundle, L"QW_ShapeEnv5", voices);

    const qw::Shape shape(L"(-5,-5)(-4,5)(-1,2)(2,3)(5,-5)");
    const auto* bytes = static_cast<const uint8_t*>(shape.blobData());
    const std::vector<uint8_t> blob(bytes, bytes + shape.blobSize());
    std::vector<gmpi::IMpPlugin2*> plugins;
    for (auto& v : group)
    {
        v->startGraph();
        v->setBlob(SHAPE, blob);
        v->setInt(TYPE, 30);
        v->setFloat(DURATION, 1e7f); // long enough never to end while measured
        v->setBool(GATE, true);
        v->run(block);
        plugins.push_back(v->plugin());
    }
    for (auto _ : state)
        for (auto* p : plugins)
            p->process(block, nullptr);
    state.SetItemsProcessed(state.iterations() * voices * block); // items: voice samples
}

// One voice's run: a linear reading of a 1024-point table plus the sustain
// slope, scaled by the voice's gain, the phase rising to its limit.
struct BareVoice
{
    float phase, increment, limit, gain, scale, slope, susPos;
};

void bareEnvelope(benchmark::State& state)
{
    const int voices = static_cast<int>(state.range(0));
    const int block = static_cast<int>(state.range(1));
    constexpr int kPoints = 1024;
    std::vector<float> table(kPoints + 2);
    for (int i = 0; i < kPoints + 2; ++i)
        table[i] = 0.5f + 0.4f * std::sin(0.01f * static_cast<float>(i));
    std::vector<BareVoice> all(static_cast<size_t>(voices));
    for (int v = 0; v < voices; ++v)
        all[v] = {0.0f, 1e-4f * static_cast<float>(v + 1), kPoints - 1.0f, 0.9f, 1.0f, 0.0f, 512.0f};
    std::vector<float> out(static_cast<size_t>(block));
    for (auto _ : state)
    {
        for (auto& voice : all)
        {
            const float* t = table.data();
            float phase = voice.phase;
            const float increment = voice.increment, limit = voice.limit, gain = voice.gain;
            const float scale = voice.scale, slope = voice.slope, susPos = voice.susPos;
            for (int i = 0; i < block; ++i)
            {
                const int k = static_cast<int>(phase);
                const float f = phase - static_cast<float>(k);
                float value = ((1.0f - f) * t[k] + f * t[k + 1]) * scale + (phase - susPos) * slope;
                value = std::fabs(value) < 1e-30f ? 0.0f : value;
                phase = std::min(phase + increment, limit);
                out[i] = gain * value;
            }
            voice.phase = phase;
            benchmark::DoNotOptimize(out.data());
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * voices * block); // items: voice samples
}

void cases(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"voices", "block"});
    for (int block : {64, 256})
        for (int voices : {16, 64, 128})
            b->Args({voices, block});
}
} // namespace

BENCHMARK(moduleEnvelope)->Apply(cases);
BENCHMARK(bareEnvelope)->Apply(cases);
