// What the benchmarks share: a repeatable noise value per sample index, and
// the built bundles by name, each loaded once per process.
#pragma once

#include "bundle.h"
#include "processing_host.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace qwbench
{
// Noise in [-1, 1) from a sample index: an integer hash, the same every run.
inline float noise(int t)
{
    uint32_t x = static_cast<uint32_t>(t) * 2654435761u + 12345u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return static_cast<float>(x & 0xFFFFFF) / 8388608.0f - 1.0f;
}

// The minimum time of a benchmark that sets one of its own; a short run
// (QW_BENCH_SHORT set, as the tests' run of each benchmark does) only shows
// that it runs, in a few milliseconds.
inline double minTime(double seconds)
{
    return std::getenv("QW_BENCH_SHORT") ? 0.002 : seconds;
}

// A bundle built in QW_BUNDLE_DIR ("signalkit", "shapekit", ...).
inline std::shared_ptr<qwhost::Bundle> bundle(const std::string& name)
{
    static std::map<std::string, std::shared_ptr<qwhost::Bundle>> loaded;
    auto& b = loaded[name];
    if (!b)
        b = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/" + name + ".so");
    return b;
}

// Times the module's process call alone, block after block with no events,
// and counts the samples of its output `output`.
inline void timeProcess(benchmark::State& state, qwhost::Processor& p, int block, const char* output = "Output")
{
    gmpi::IMpPlugin2* plugin = p.plugin();
    const gmpi::MpEvent* noEvents = nullptr;
    float* out = p.output(p.pin(output));
    for (auto _ : state)
    {
        plugin->process(block, noEvents);
        benchmark::DoNotOptimize(out[block - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * block);
}
} // namespace qwbench
