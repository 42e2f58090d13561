// The framework's own cost per process call: a module whose routine does
// nothing, called with no events and with eight pin events per block, from a
// host that leaves the processor's subnormal mode alone (the call sets and
// restores it) and from one that already flushes subnormals (nothing to set).
#include "bundle.h"
#include "denormals.h"
#include "processing_host.h"

#include <benchmark/benchmark.h>
#include <xmmintrin.h>

#include <vector>

namespace
{
struct Fixture
{
    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> module;
    std::vector<gmpi::MpEvent> events;

    Fixture(int blockSize, int pinEvents)
    {
        static auto bundle = qwhost::Bundle::load(std::string(QW_TEST_BUNDLE_DIR) + "/testkit.so");
        host.blockSize = blockSize;
        host.record = false; // counts only: recording would be measured too
        module = host.create(bundle, L"QW_TestNothing");
        module->startGraph();
        module->run(blockSize);
        // Eight float values spread over the block, prebuilt once.
        for (int i = 0; i < pinEvents; ++i)
        {
            gmpi::MpEvent e{};
            e.timeDelta = i * blockSize / pinEvents;
            e.eventType = gmpi::EVENT_PIN_SET;
            e.parm1 = i;
            e.parm2 = 4;
            const float v = 0.1f * static_cast<float>(i);
            std::memcpy(&e.parm3, &v, 4);
            events.push_back(e);
        }
        for (size_t i = 0; i + 1 < events.size(); ++i)
            events[i].next = &events[i + 1];
    }
};

void processCall(benchmark::State& state)
{
    const int blockSize = static_cast<int>(state.range(0));
    Fixture f(blockSize, static_cast<int>(state.range(1)));
    gmpi::IMpPlugin2* plugin = f.module->plugin();
    const gmpi::MpEvent* events = f.events.empty() ? nullptr : f.events.data();
    const unsigned hostMode = _mm_getcsr();
    if (state.range(2))
        _mm_setcsr(hostMode | 0x8040); // flush to zero, denormals are zero
    for (auto _ : state)
        plugin->process(blockSize, events);
    _mm_setcsr(hostMode);
    state.SetItemsProcessed(state.iterations());
}

// The cost of reading the mode alone.
void bareModeRead(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(_mm_getcsr());
    state.SetItemsProcessed(state.iterations());
}

// The least a call from a host that does not flush pays: read the mode, set
// the flush bits, restore the mode.
void bareModeGuard(benchmark::State& state)
{
    for (auto _ : state)
    {
        const unsigned mode = _mm_getcsr();
        _mm_setcsr(mode | 0x8040);
        benchmark::ClobberMemory();
        _mm_setcsr(mode);
    }
    state.SetItemsProcessed(state.iterations());
}

// The check a call from a host that flushes pays instead of the read.
void bareFlushCheck(benchmark::State& state)
{
    const unsigned hostMode = _mm_getcsr();
    if (state.range(0))
        _mm_setcsr(hostMode | 0x8040);
    for (auto _ : state)
        benchmark::DoNotOptimize(qw::FlushDenormals::processorFlushes());
    _mm_setcsr(hostMode);
    state.SetItemsProcessed(state.iterations());
}
} // namespace

BENCHMARK(processCall)
    ->ArgNames({"block", "events", "hostFlushes"})
    ->Args({64, 0, 0})
    ->Args({64, 0, 1})
    ->Args({256, 0, 0})
    ->Args({64, 8, 0})
    ->Args({64, 8, 1})
    ->Args({256, 8, 0});
BENCHMARK(bareModeRead);
BENCHMARK(bareModeGuard);
BENCHMARK(bareFlushCheck)->ArgName("hostFlushes")->Arg(0)->Arg(1);
