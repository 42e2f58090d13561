// QW_ShapeEnv5 per voice: the clones of one voice group share one table; each
// voice's process is called directly, one block after another, while every
// envelope runs through its table.
#include "bundle.h"
#include "processing_host.h"
#include "qw_shape.h"

#include <benchmark/benchmark.h>

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

void envelopeVoices(benchmark::State& state)
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
    // Time per voice and sample.
    state.counters["voice_samples"] = benchmark::Counter(static_cast<double>(state.iterations()) * voices * block,
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(state.iterations() * voices);
}
} // namespace

BENCHMARK(envelopeVoices)
    ->ArgNames({"voices", "block"})
    ->Args({16, 64})
    ->Args({64, 64})
    ->Args({128, 64})
    ->Args({16, 256})
    ->Args({64, 256})
    ->Args({128, 256});
