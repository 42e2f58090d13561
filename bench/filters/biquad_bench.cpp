// Cost per sample of the biquad filter: the module through its real process
// call (bundle loaded, module created by the host stand-in, then process
// called directly with a prebuilt, empty event list), beside a bare loop of
// the same recurrence with nothing around it. Compare moduleBiquad with
// bareBiquad of the same arguments.
// Arguments: sections, audio-rate cutoff (0 static, 1 a new cutoff every sample).
// All run blocks of 64 samples. bareBiquad is the faster of the plain order
// and the wave front (inOrderBiquad is the plain order alone).
#include "../bench_support.h"
#include "Biquad.h"
#include "bundle.h"
#include "processing_host.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>

namespace
{
constexpr int kBlock = 64;
constexpr float kRate = 44100.0f;
constexpr float kQ = 0.707f;

using qwbench::noise;

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

    qwbench::timeProcess(state, *p, kBlock);
}

// Bare loops: the same recurrence in the same evaluation order, with the
// history in locals for the whole block and nothing around it.
struct Bare
{
    float h1[qw::biquad::kPoints] = {};
    float h2[qw::biquad::kPoints] = {};
};

struct K
{
    float b0, b1, b2, a1, a2, invA0;
};

K coefficientsFor(float cutoffValue)
{
    qw::biquad::Coefficients c;
    const float fc = qw::biquad::clampCutoff(cutoffValue, kRate / 2.0f);
    qw::biquad::design<qw::biquad::LowPass>(c, fc * (1.0f / kRate), 1.0f / (2.0f * kQ));
    return {c.b0, c.b1, c.b2, c.a1, c.a2, c.invA0};
}

// In order: each sample through every section; with an audio-rate cutoff the
// coefficients are designed again wherever the cutoff changes.
template <int S, bool AudioRate> void inOrderBlock(Bare& b, const float* in, const float* cut, float* out)
{
    float h1[S + 1], h2[S + 1];
    for (int p = 0; p <= S; ++p)
        h1[p] = b.h1[p], h2[p] = b.h2[p];
    K k = coefficientsFor(cut[0]);
    float cached = cut[0];
    for (int i = 0; i < kBlock; ++i)
    {
        if constexpr (AudioRate)
            if (cut[i] != cached)
            {
                k = coefficientsFor(cut[i]);
                cached = cut[i];
            }
        float v = in[i];
#pragma GCC unroll 16
        for (int s = 1; s <= S; ++s)
        {
            const float y =
                ((((k.b1 * h1[s - 1] + k.b0 * v) + k.b2 * h2[s - 1]) - k.a1 * h1[s]) - k.a2 * h2[s]) * k.invA0;
            h2[s - 1] = h1[s - 1];
            h1[s - 1] = v;
            v = y;
        }
        h2[S] = h1[S];
        h1[S] = v;
        out[i] = v;
    }
    for (int p = 0; p <= S; ++p)
        b.h1[p] = h1[p], b.h2[p] = h2[p];
}

// A wave front with fixed coefficients: at step t section s works on sample
// t - s, so the sections' recurrences overlap.
template <int S> void waveBlock(Bare& b, const float* in, const float* cut, float* out)
{
    const K k = coefficientsFor(cut[0]);
    float x1[S], x2[S], y1[S], y2[S], pipe[S] = {};
    for (int s = 0; s < S; ++s)
        x1[s] = b.h1[s], x2[s] = b.h2[s], y1[s] = b.h1[s + 1], y2[s] = b.h2[s + 1];
    auto one = [&](int s, float v) {
        const float y = ((((k.b1 * x1[s] + k.b0 * v) + k.b2 * x2[s]) - k.a1 * y1[s]) - k.a2 * y2[s]) * k.invA0;
        x2[s] = x1[s], x1[s] = v, y2[s] = y1[s], y1[s] = y;
        return y;
    };
    for (int t = 0; t < kBlock + S - 1; ++t)
    {
        if (t >= S - 1 && t < kBlock)
        {
#pragma GCC unroll 16
            for (int s = S - 1; s > 0; --s)
                pipe[s] = one(s, pipe[s - 1]);
            pipe[0] = one(0, in[t]);
            out[t - (S - 1)] = pipe[S - 1];
            continue;
        }
        for (int s = S - 1; s >= 0; --s)
            if (t - s >= 0 && t - s < kBlock)
            {
                pipe[s] = one(s, s == 0 ? in[t - s] : pipe[s - 1]);
                if (s == S - 1)
                    out[t - s] = pipe[s];
            }
    }
    for (int s = 0; s < S; ++s)
        b.h1[s] = x1[s], b.h2[s] = x2[s];
    b.h1[S] = y1[S - 1], b.h2[S] = y2[S - 1];
}

using BlockFn = void (*)(Bare&, const float*, const float*, float*);

template <template <int> class Pick> BlockFn pick(int sections)
{
    switch (sections)
    {
    case 1:
        return Pick<1>::fn;
    case 4:
        return Pick<4>::fn;
    default:
        return Pick<16>::fn;
    }
}
template <int S> struct InOrderStatic
{
    static constexpr BlockFn fn = inOrderBlock<S, false>;
};
template <int S> struct InOrderAudioRate
{
    static constexpr BlockFn fn = inOrderBlock<S, true>;
};
template <int S> struct Wave
{
    static constexpr BlockFn fn = waveBlock<S>;
};

void runBare(benchmark::State& state, BlockFn block)
{
    const bool audioRate = state.range(1) != 0;
    float in[kBlock], cut[kBlock], out[kBlock];
    for (int i = 0; i < kBlock; ++i)
    {
        in[i] = 0.5f * noise(i);
        cut[i] = audioRate ? sweep(i) : 100.0f;
    }
    Bare b;
    for (auto _ : state)
    {
        block(b, in, cut, out);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// The faster bare loop: the wave front for a fixed cutoff over several
// sections, else the plain order.
void bareBiquad(benchmark::State& state)
{
    const int sections = static_cast<int>(state.range(0));
    const bool audioRate = state.range(1) != 0;
    if (audioRate)
        runBare(state, pick<InOrderAudioRate>(sections));
    else if (sections > 1)
        runBare(state, pick<Wave>(sections));
    else
        runBare(state, pick<InOrderStatic>(sections));
}

// The plain order with a fixed cutoff too, to show what the wave front gains.
void inOrderBiquad(benchmark::State& state)
{
    const int sections = static_cast<int>(state.range(0));
    runBare(state, state.range(1) != 0 ? pick<InOrderAudioRate>(sections) : pick<InOrderStatic>(sections));
}

// A chain of dependent integer additions, one cycle each on every x86-64
// processor: the time per item is the time of a cycle. (A float addition is
// not a safe yardstick: it takes 3 cycles on some processors, 2 on others.)
void calibrateAddChain(benchmark::State& state)
{
    uint64_t x = 1;
    for (auto _ : state)
        for (int i = 0; i < 32; ++i)
            asm volatile(
                "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
                "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0"
                : "+r"(x));
    benchmark::DoNotOptimize(x);
    state.SetItemsProcessed(state.iterations() * 256);
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
BENCHMARK(inOrderBiquad)->Apply(cases);
BENCHMARK(calibrateAddChain);
