// Cost per sample of the biquad filter: the module through its real process
// call (bundle loaded, module created by the host stand-in, then process
// called directly with a prebuilt, empty event list), beside a bare loop of
// the same recurrence with nothing around it. Compare moduleBiquad with
// bareBiquad of the same arguments.
// Arguments: sections, audio-rate cutoff (0 static, 1 a new cutoff every sample).
// All run blocks of 64 samples. textbookBiquad is the bare loop without the
// module's floor on tiny values, to show what that floor costs.
#include "Biquad.h"
#include "bundle.h"
#include "processing_host.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace
{
constexpr int kBlock = 64;
constexpr float kRate = 44100.0f;
constexpr float kQ = 0.707f;

float noise(int t)
{
    uint32_t x = static_cast<uint32_t>(t) * 2654435761u + 12345u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return static_cast<float>(x & 0xFFFFFF) / 8388608.0f - 1.0f;
}

// A cutoff value (Hz / 10) that differs at every sample of the block.
float sweep(int t)
{
    return 100.0f + 80.0f * std::sin(6.2831853f * static_cast<float>(t) / kBlock);
}

void moduleBiquad(benchmark::State& state)
{
    const int sections = static_cast<int>(state.range(0));
    const bool audioRate = state.range(1) != 0;

    qwhost::ProcessingHost host;
    host.record = false; // counts only: recording would be measured too
    host.sampleRate = kRate;
    host.blockSize = kBlock;
    auto p = host.create(qwhost::Bundle::load(QW_BUNDLE_DIR "/signalkit.so"), L"QW_Biquad2");
    const int signal = p->pin("Signal"), cutoff = p->pin("Cutoff");
    p->startGraph(0);
    p->setInt(p->pin("Filter Type"), qw::biquad::LowPass);
    p->setFloat(p->pin("Q"), kQ);
    p->setInt(p->pin("Sections"), sections);
    p->setStreaming(signal, true);
    if (audioRate)
        p->setStreaming(cutoff, true);
    else
        p->setConstant(cutoff, 100.0f);
    for (int i = 0; i < kBlock; ++i)
    {
        p->input(signal)[i] = 0.5f * noise(i);
        p->input(cutoff)[i] = sweep(i);
    }
    p->run(kBlock); // the pin events; from here on the module sees none
    if (!audioRate)
        p->input(cutoff)[0] = 100.0f;

    gmpi::IMpPlugin2* plugin = p->plugin();
    const gmpi::MpEvent* noEvents = nullptr;
    float* out = p->output(p->pin("Output"));
    for (auto _ : state)
    {
        plugin->process(kBlock, noEvents);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// The same recurrence, coefficients and cutoff handling, and nothing else.
struct Bare
{
    float h1[qw::biquad::kPoints] = {};
    float h2[qw::biquad::kPoints] = {};
    qw::biquad::Coefficients k;
    float cached = -1.0f;
};

// Direct form I without the floor on tiny values.
float textbookCascade(const qw::biquad::Coefficients& k, float* h1, float* h2, int S, float v)
{
    for (int s = 1; s <= S; ++s)
    {
        const float y = ((((k.b1 * h1[s - 1] + k.b0 * v) + k.b2 * h2[s - 1]) - k.a1 * h1[s]) - k.a2 * h2[s]) * k.invA0;
        h2[s - 1] = h1[s - 1];
        h1[s - 1] = v;
        v = y;
    }
    h2[S] = h1[S];
    h1[S] = v;
    return v;
}

template <bool AudioRate, bool Floor> void bareBlock(Bare& b, const float* in, const float* cut, float* out, int S)
{
    float h1[qw::biquad::kPoints], h2[qw::biquad::kPoints];
    for (int p = 0; p <= S; ++p)
    {
        h1[p] = b.h1[p];
        h2[p] = b.h2[p];
    }
    qw::biquad::Coefficients k = b.k;
    float cached = b.cached;
    const float damping = 1.0f / (2.0f * kQ);
    for (int i = 0; i < kBlock; ++i)
    {
        if constexpr (AudioRate)
        {
            const float fc = qw::biquad::clampCutoff(cut[i], kRate / 2.0f);
            if (fc != cached)
            {
                qw::biquad::design<qw::biquad::LowPass>(k, fc * (1.0f / kRate), damping);
                cached = fc;
            }
        }
        if constexpr (Floor)
            out[i] = qw::biquad::cascade(k, h1, h2, S, in[i]);
        else
            out[i] = textbookCascade(k, h1, h2, S, in[i]);
    }
    for (int p = 0; p <= S; ++p)
    {
        b.h1[p] = h1[p];
        b.h2[p] = h2[p];
    }
    b.k = k;
    b.cached = cached;
}

template <bool Floor> void bare(benchmark::State& state)
{
    const int sections = static_cast<int>(state.range(0));
    const bool audioRate = state.range(1) != 0;
    float in[kBlock], cut[kBlock], out[kBlock];
    for (int i = 0; i < kBlock; ++i)
    {
        in[i] = 0.5f * noise(i);
        cut[i] = sweep(i);
    }
    Bare b;
    qw::biquad::design<qw::biquad::LowPass>(b.k, 1000.0f / kRate, 1.0f / (2.0f * kQ));
    for (auto _ : state)
    {
        if (audioRate)
            bareBlock<true, Floor>(b, in, cut, out, sections);
        else
            bareBlock<false, Floor>(b, in, cut, out, sections);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void bareBiquad(benchmark::State& state)
{
    bare<true>(state);
}

void textbookBiquad(benchmark::State& state)
{
    bare<false>(state);
}

void cases(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"sections", "audioRateCutoff"});
    for (int audioRate : {0, 1})
        for (int sections : {1, 4, 16})
            b->Args({sections, audioRate});
}
} // namespace

BENCHMARK(moduleBiquad)->Apply(cases);
BENCHMARK(bareBiquad)->Apply(cases);
BENCHMARK(textbookBiquad)->Apply(cases);
