// Cost per sample of the two audio trigger pairs' processing halves during a
// long pulse, through the real process call in blocks of 64, beside a bare
// loop filling the same samples with the pulse level.
#include "../bench_support.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace
{
constexpr int kBlock = 64;
// Blocks after which the pulse is started again, long before its
// 2^31 - 1 samples run out.
constexpr int kRestartBlocks = 1 << 24;

std::unique_ptr<qwhost::Processor> started(const wchar_t* id)
{
    static qwhost::ProcessingHost host;
    host.record = false;
    host.blockSize = kBlock;
    auto p = host.create(qwbench::bundle("panelkit"), id);
    p->startGraph(0);
    p->setInt(p->pin("Length"), INT_MAX);
    return p;
}

// QW_GUIAudioTrigger: the trigger message starts the pulse.
void moduleAudioTriggerPulse(benchmark::State& state)
{
    auto p = started(L"QW_GUIAudioTrigger");
    p->setFloat(p->pin("Level"), 5.0f);
    p->run(kBlock);
    gmpi::IMpPlugin2* plugin = p->plugin();
    plugin->receiveMessageFromGui(0, 0, nullptr);
    float* out = p->output(p->pin("Pulse"));
    int blocks = 0;
    for (auto _ : state)
    {
        if (++blocks == kRestartBlocks)
        {
            blocks = 0;
            plugin->receiveMessageFromGui(0, 0, nullptr);
        }
        plugin->process(kBlock, nullptr);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// QW_GUISet2Trig: an update of the trigger starts the pulse.
void moduleSet2TrigPulse(benchmark::State& state)
{
    auto p = started(L"QW_GUISet2Trig");
    p->setBool(p->pin("Ignore First"), false);
    p->setBool(p->pin("Trigger"), true);
    p->run(kBlock);
    gmpi::IMpPlugin2* plugin = p->plugin();
    gmpi::MpEvent trigger{0, gmpi::EVENT_PIN_SET, p->pin("Trigger"), 1, 1, 0, nullptr, nullptr};
    float* out = p->output(p->pin("Pulse"));
    int blocks = 0;
    for (auto _ : state)
    {
        const bool restart = ++blocks == kRestartBlocks;
        if (restart)
            blocks = 0;
        plugin->process(kBlock, restart ? &trigger : nullptr);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// The same samples without a module around them.
void barePulse(benchmark::State& state, float level)
{
    std::vector<float> out(kBlock);
    for (auto _ : state)
    {
        for (int i = 0; i < kBlock; ++i)
            out[static_cast<size_t>(i)] = level;
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void bareAudioTriggerPulse(benchmark::State& state)
{
    barePulse(state, 0.5f);
}

void bareSet2TrigPulse(benchmark::State& state)
{
    barePulse(state, 1.0f);
}
} // namespace

BENCHMARK(moduleAudioTriggerPulse);
BENCHMARK(bareAudioTriggerPulse);
BENCHMARK(moduleSet2TrigPulse);
BENCHMARK(bareSet2TrigPulse);
