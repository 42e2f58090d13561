// Cost per sample of the one-dimensional morph (16 inputs, a position that
// moves every sample, so every weight is recomputed at every sample) and of an
// audio switch that is always fading, through the real process call, beside
// bare loops of the same arithmetic. Blocks of 64 samples.
#include "bundle.h"
#include "processing_host.h"
#include "qw_fm.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace
{
constexpr int kBlock = 64;
constexpr int kInputs = 16;

float position(int t)
{
    return 0.5f + 0.45f * std::sin(6.2831853f * static_cast<float>(t) / kBlock);
}

void moduleMorph1D(benchmark::State& state)
{
    const int law = static_cast<int>(state.range(0));
    qwhost::ProcessingHost host;
    host.record = false;
    host.blockSize = kBlock;
    host.autoDuplicateCount = kInputs;
    auto p = host.create(qwhost::Bundle::load(QW_BUNDLE_DIR "/signalkit.so"), L"QW_Morph1D");
    p->startGraph(0);
    p->setInt(p->pin("Law"), law);
    p->setStreaming(0, true);
    for (int k = 0; k < kInputs; ++k)
        p->setStreaming(3 + k, true);
    for (int i = 0; i < kBlock; ++i)
    {
        p->input(0)[i] = position(i);
        for (int k = 0; k < kInputs; ++k)
            p->input(3 + k)[i] = 0.01f * static_cast<float>(i + k);
    }
    p->run(kBlock);
    gmpi::IMpPlugin2* plugin = p->plugin();
    float* out = p->output(p->pin("Output"));
    for (auto _ : state)
    {
        plugin->process(kBlock, nullptr);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void bareMorph1D(benchmark::State& state)
{
    const bool exponential = state.range(0) != 0;
    std::vector<float> pos(kBlock), out(kBlock), weights(kInputs);
    std::vector<std::vector<float>> in(kInputs, std::vector<float>(kBlock));
    for (int i = 0; i < kBlock; ++i)
    {
        pos[i] = position(i);
        for (int k = 0; k < kInputs; ++k)
            in[k][i] = 0.01f * static_cast<float>(i + k);
    }
    float last = -1.0f;
    for (auto _ : state)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            const float p = std::clamp(pos[i], 0.0f, 1.0f);
            if (p != last)
            {
                last = p;
                for (int k = 0; k < kInputs; ++k)
                {
                    const float t = std::max(0.0f, 1.0f - std::fabs(p * (kInputs - 1) - static_cast<float>(k)));
                    weights[k] = exponential ? qw::fm::exp2Acc(4.3f * (t - 1.0f)) * 1.0534807f - 0.053480767f : t;
                }
            }
            float sum = 0.0f;
            for (int k = 0; k < kInputs; ++k)
                sum += in[k][i] * weights[k];
            out[i] = sum;
        }
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// The switch is turned the other way at the start of every block, so it never
// reaches the end of its 100-sample fade.
void moduleAudioSwitchFade(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    host.record = false;
    host.blockSize = kBlock;
    auto p = host.create(qwhost::Bundle::load(QW_BUNDLE_DIR "/signalkit.so"), L"QW_AudioSwitch2To1");
    p->startGraph(0);
    p->setInt(p->pin("Mode"), 1);
    p->setStreaming(0, true);
    p->setStreaming(1, true);
    for (int i = 0; i < kBlock; ++i)
    {
        p->input(0)[i] = 0.01f * static_cast<float>(i);
        p->input(1)[i] = -0.02f * static_cast<float>(i);
    }
    p->run(kBlock);
    const int select = p->pin("Select B");
    gmpi::MpEvent turn[2] = {};
    for (int k = 0; k < 2; ++k)
    {
        turn[k].eventType = gmpi::EVENT_PIN_SET;
        turn[k].parm1 = select;
        turn[k].parm2 = 1;
        turn[k].parm3 = k;
    }
    gmpi::IMpPlugin2* plugin = p->plugin();
    float* out = p->output(p->pin("Output"));
    int k = 1;
    for (auto _ : state)
    {
        plugin->process(kBlock, &turn[k]);
        k ^= 1;
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void bareAudioSwitchFade(benchmark::State& state)
{
    std::vector<float> a(kBlock), b(kBlock), out(kBlock);
    for (int i = 0; i < kBlock; ++i)
    {
        a[i] = 0.01f * static_cast<float>(i);
        b[i] = -0.02f * static_cast<float>(i);
    }
    float g = 0.0f;
    bool up = true;
    for (auto _ : state)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            g = up ? std::min(1.0f, g + 0.01f) : std::max(0.0f, g - 0.01f);
            out[i] = (1.0f - g) * a[i] + g * b[i];
        }
        up = !up;
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
} // namespace

BENCHMARK(moduleMorph1D)->Arg(0)->Arg(1);
BENCHMARK(bareMorph1D)->Arg(0)->Arg(1);
BENCHMARK(moduleAudioSwitchFade);
BENCHMARK(bareAudioSwitchFade);
