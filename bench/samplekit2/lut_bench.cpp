// The table-lookup oscillators: cost per output sample through each module's
// process call (blocks of 64, no events) beside a bare loop of the same read,
// with the linear and the 8-crossing sinc reader, on tables of 256 and 65536
// frames at the top pitch (a quarter cycle per sample; the kernel is at its
// widest stretch on both tables). The LFO runs at its top rate, 100 Hz.
// Arguments: interpolation code, table frames. Compare moduleX with bareX.
//
// SyncRebuild: the synced oscillator at the top pitch with its ratio mix
// moving, so that every cycle start (every 4 samples) rebuilds the working
// table; one item is one rebuild. Arguments: code, frames.
#include "../bench_support.h"
#include "denormals.h"
#include "loaded_sample.h"
#include "lut_osc.h"
#include "mp_sdk_common.h"
#include "processing_host.h"

#include <benchmark/benchmark.h>

#include <map>
#include <vector>

namespace
{
constexpr int kBlock = 64;
constexpr float kRate = 48000.0f;

const std::vector<float>& table(int frames)
{
    static std::map<int, std::vector<float>> tables;
    auto& x = tables[frames];
    if (x.empty())
    {
        x.resize(static_cast<size_t>(frames));
        for (int i = 0; i < frames; ++i)
            x[static_cast<size_t>(i)] = qwbench::noise(i);
    }
    return x;
}

const std::vector<uint8_t>& descriptor(int frames)
{
    static std::map<int, std::vector<uint8_t>> loaded;
    auto& d = loaded[frames];
    if (d.empty())
        d = qwbench::loadedSample(table(frames));
    return d;
}

// What a streaming input carries: noise in [0, 1), new at every sample.
float moving(int k)
{
    return 0.5f + 0.5f * qwbench::noise(k);
}

// One block of it, as the modules' input buffers hold it.
const float* movingBlock()
{
    static const std::vector<float> block = [] {
        std::vector<float> v(kBlock);
        for (int k = 0; k < kBlock; ++k)
            v[static_cast<size_t>(k)] = moving(k);
        return v;
    }();
    return block.data();
}

int codeOf(const benchmark::State& state)
{
    return static_cast<int>(state.range(0));
}
int framesOf(const benchmark::State& state)
{
    return static_cast<int>(state.range(1));
}

// A module on the table of the arguments, every table pin given it, the
// pitch at the top; `streams` are audio inputs given noise.
std::unique_ptr<qwhost::Processor> oscillator(qwhost::ProcessingHost& host, const wchar_t* id,
                                              const benchmark::State& state,
                                              std::initializer_list<const char*> streams = {})
{
    host.record = false;
    host.sampleRate = kRate;
    host.blockSize = kBlock;
    auto p = host.create(qwbench::bundle("samplekit2"), id);
    p->startGraph(0);
    for (int i = 0; i < p->pinCount(); ++i)
        if (p->pinInfo(i).has("descriptor"))
            p->setBlob(i, descriptor(framesOf(state)));
    p->setInt(p->pin("Interpolation"), codeOf(state));
    for (int i = 0; i < p->pinCount(); ++i)
        if (p->pinInfo(i).name == "Pitch")
            p->setConstant(i, 1.5f);
    for (const char* name : streams)
        p->setStreaming(p->pin(name), true);
    p->run(kBlock);
    for (const char* name : streams)
    {
        float* in = p->input(p->pin(name));
        for (int k = 0; k < kBlock; ++k)
            in[k] = movingBlock()[k];
    }
    return p;
}

// A bare loop: `sample(k)` gives output sample k, block after block.
template <class F> void bareLoop(benchmark::State& state, F sample)
{
    float out[kBlock];
    for (auto _ : state)
    {
        for (int k = 0; k < kBlock; ++k)
            out[k] = sample(k);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// Runs f(Reader{}) with the reader of the arguments' code.
template <class F> void withCode(const benchmark::State& state, F f)
{
    qw::resamp::withReader(codeOf(state), f);
}

void moduleLUTOsc(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    auto p = oscillator(host, L"QW_S2_LUTOsc", state);
    qwbench::timeProcess(state, *p, kBlock);
}
void bareLUTOsc(benchmark::State& state)
{
    const auto& x = table(framesOf(state));
    const int n = framesOf(state);
    const float w = qw::lut::stretchFor(0.25f, n);
    withCode(state, [&](auto reader) {
        using R = decltype(reader);
        qw::lut::Cycle c;
        c.inc = 0.25f;
        bareLoop(state, [&](int) {
            const float y = qw::lut::readCycle<R>(x.data(), n, c.phase, w);
            c.advance();
            return y;
        });
    });
}

void moduleLUTOscM(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    auto p = oscillator(host, L"QW_S2_LUTOscM", state);
    qwbench::timeProcess(state, *p, kBlock);
}
// The copy holds at most 256 frames.
void bareLUTOscM(benchmark::State& state)
{
    const auto& x = table(framesOf(state));
    const int m = std::min(framesOf(state), 256);
    const float w = qw::lut::stretchFor(0.25f, m);
    withCode(state, [&](auto reader) {
        using R = decltype(reader);
        qw::lut::Cycle c;
        c.inc = 0.25f;
        bareLoop(state, [&](int) {
            const float y = qw::lut::readCycle<R>(x.data(), m, c.phase, w);
            c.advance();
            return y;
        });
    });
}

void moduleLUTOscDUO(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    auto p = oscillator(host, L"QW_S2_LUTOscDUO", state, {"Mix"});
    qwbench::timeProcess(state, *p, kBlock);
}
void bareLUTOscDUO(benchmark::State& state)
{
    const auto& a = table(framesOf(state));
    const auto& b = table(framesOf(state));
    const int n = framesOf(state);
    const float w = qw::lut::stretchFor(0.25f, n);
    withCode(state, [&](auto reader) {
        using R = decltype(reader);
        qw::lut::Cycle c;
        c.inc = 0.25f;
        bareLoop(state, [&](int k) {
            const float m = qw::lut::clampInput(movingBlock()[k], 0.0f, 1.0f);
            int i;
            float frac;
            qw::lut::locate(c.phase, n, i, frac);
            const float y = m * R::looped(b.data(), n, i, frac, w) + (1.0f - m) * R::looped(a.data(), n, i, frac, w);
            c.advance();
            return y;
        });
    });
}

// At a fixed ratio the working table is built once: each sample reads an entry.
void moduleLUTOscSYNC(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    auto p = oscillator(host, L"QW_S2_LUTOscSYNC", state);
    p->setFloat(p->pin("Ratio A"), 1.5f);
    p->setFloat(p->pin("Ratio B"), 1.5f);
    p->run(kBlock);
    qwbench::timeProcess(state, *p, kBlock);
}
void bareLUTOscSYNC(benchmark::State& state)
{
    const auto& x = table(framesOf(state));
    const int n = framesOf(state);
    std::vector<float> work(x.size());
    withCode(state, [&](auto reader) { qw::lut::syncRebuild<decltype(reader), true>(x.data(), n, 1.5f, work.data()); });
    qw::lut::Cycle c;
    c.inc = 0.25f;
    bareLoop(state, [&](int) {
        int i;
        float frac;
        qw::lut::locate(c.phase, n, i, frac);
        c.advance();
        return work[static_cast<size_t>(i)];
    });
}

void moduleLUTOscLFO(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    auto p = oscillator(host, L"QW_S2_LUTOscLFO", state);
    p->setConstant(p->pin("Rate"), 10.0f);
    p->run(kBlock);
    qwbench::timeProcess(state, *p, kBlock);
}
void bareLUTOscLFO(benchmark::State& state)
{
    const auto& x = table(framesOf(state));
    const int n = framesOf(state);
    const float inc = 100.0f / kRate;
    const float w = qw::lut::stretchFor(inc, n);
    const float factor = 0.95f;
    const qw::FlushDenormals flush; // as in the module's process call: the glide decays into subnormals
    withCode(state, [&](auto reader) {
        using R = decltype(reader);
        float phase = 0.0f, glide = 0.5f;
        bareLoop(state, [&](int) {
            const float y = glide + qw::lut::readCycle<R>(x.data(), n, phase, w);
            glide *= factor;
            phase = qw::lut::wrap(phase + inc);
            return y;
        });
    });
}

void moduleLUTOscPMOD(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    auto p = oscillator(host, L"QW_S2_LUTOscPMOD", state, {"Modulation"});
    qwbench::timeProcess(state, *p, kBlock);
}
void bareLUTOscPMOD(benchmark::State& state)
{
    const auto& x = table(framesOf(state));
    const int n = framesOf(state);
    withCode(state, [&](auto reader) {
        using R = decltype(reader);
        qw::lut::Cycle c;
        c.inc = 0.25f;
        float last = 0.0f;
        bareLoop(state, [&](int k) {
            const float pm = qw::lut::clampInput(movingBlock()[k], -1.0f, 1.0f);
            const float w = qw::lut::stretchFor(c.inc + pm - last, n);
            const float y = qw::lut::readCycle<R>(x.data(), n, qw::lut::wrap(c.phase + pm), w);
            c.advance();
            last = pm;
            return y;
        });
    });
}

// One item per rebuild: a cycle start every 4 samples, 16 per block.
void moduleSyncRebuild(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    auto p = oscillator(host, L"QW_S2_LUTOscSYNC", state, {"Ratio Mix"});
    p->setFloat(p->pin("Ratio A"), 0.5f);
    p->setFloat(p->pin("Ratio B"), 2.0f);
    p->run(kBlock);
    gmpi::IMpPlugin2* plugin = p->plugin();
    for (auto _ : state)
    {
        plugin->process(kBlock, nullptr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock / 4);
}
void bareSyncRebuild(benchmark::State& state)
{
    const auto& x = table(framesOf(state));
    const int n = framesOf(state);
    std::vector<float> work(x.size());
    withCode(state, [&](auto reader) {
        int k = 0;
        for (auto _ : state)
        {
            const float s = 0.5f + 1.5f * moving(k++ % kBlock);
            qw::lut::syncRebuild<decltype(reader), true>(x.data(), n, s, work.data());
            benchmark::ClobberMemory();
        }
    });
    state.SetItemsProcessed(state.iterations());
}

void perSampleArguments(benchmark::internal::Benchmark* b)
{
    for (int code : {1, 4})
        for (int frames : {256, 65536})
            b->Args({code, frames});
}

void rebuildArguments(benchmark::internal::Benchmark* b)
{
    for (int code : {1, 4})
        for (int frames : {256, 4096, 65536})
            b->Args({code, frames});
}

BENCHMARK(moduleLUTOsc)->Apply(perSampleArguments);
BENCHMARK(bareLUTOsc)->Apply(perSampleArguments);
BENCHMARK(moduleLUTOscM)->Apply(perSampleArguments);
BENCHMARK(bareLUTOscM)->Apply(perSampleArguments);
BENCHMARK(moduleLUTOscDUO)->Apply(perSampleArguments);
BENCHMARK(bareLUTOscDUO)->Apply(perSampleArguments);
BENCHMARK(moduleLUTOscSYNC)->Apply(perSampleArguments);
BENCHMARK(bareLUTOscSYNC)->Apply(perSampleArguments);
BENCHMARK(moduleLUTOscLFO)->Apply(perSampleArguments);
BENCHMARK(bareLUTOscLFO)->Apply(perSampleArguments);
BENCHMARK(moduleLUTOscPMOD)->Apply(perSampleArguments);
BENCHMARK(bareLUTOscPMOD)->Apply(perSampleArguments);
BENCHMARK(moduleSyncRebuild)->Apply(rebuildArguments)->Unit(benchmark::kMicrosecond);
BENCHMARK(bareSyncRebuild)->Apply(rebuildArguments)->Unit(benchmark::kMicrosecond);
} // namespace
