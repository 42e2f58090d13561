// QW_AudioRecorder's per-sample loop through its process call: a gate that
// is high for all but the last sample of each 256-sample block, so a
// recording starts, runs and stops in every block; beside the same gate loop
// copying into a buffer of its own.
#include "../bench_support.h"

#include <vector>

namespace
{
constexpr int kBlock = 256;

float gateAt(int i)
{
    return i == kBlock - 1 ? 0.0f : 1.0f;
}

void moduleRecorder(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    host.blockSize = kBlock;
    host.record = false;
    auto p = host.create(qwbench::bundle("samplekit"), L"QW_AudioRecorder");
    p->startGraph();
    p->setStreaming(0, true);
    p->setStreaming(1, true);
    for (int i = 0; i < kBlock; ++i)
    {
        p->input(0)[i] = qwbench::noise(i);
        p->input(1)[i] = gateAt(i);
    }
    p->run(kBlock);
    gmpi::IMpPlugin2* plugin = p->plugin();
    for (auto _ : state)
    {
        plugin->process(kBlock, static_cast<const gmpi::MpEvent*>(nullptr));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(moduleRecorder);

void bareRecorder(benchmark::State& state)
{
    std::vector<float> in(kBlock), gate(kBlock), buffer(kBlock);
    for (int i = 0; i < kBlock; ++i)
    {
        in[static_cast<size_t>(i)] = qwbench::noise(i);
        gate[static_cast<size_t>(i)] = gateAt(i);
    }
    bool recording = false, was = false;
    size_t count = 0;
    for (auto _ : state)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            const bool high = gate[static_cast<size_t>(i)] > 0.0f;
            if (!recording)
            {
                if (high && !was)
                {
                    recording = true;
                    count = 0;
                    buffer[count++] = in[static_cast<size_t>(i)];
                }
            }
            else if (high)
                buffer[count++] = in[static_cast<size_t>(i)];
            else
                recording = false;
            was = high;
        }
        benchmark::DoNotOptimize(count);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(bareRecorder);
} // namespace
