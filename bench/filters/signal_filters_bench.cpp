// Cost per sample of the equaliser, the one-pole low-pass, the comb filter,
// the moving average and the leaky integrator: each module through its real
// process call (bundle loaded, module created by the host stand-in, then
// process called directly with an empty event list) beside a bare loop of the
// same arithmetic with nothing around it. Compare moduleX with bareX of the
// same arguments. Argument audioRate: 0 a static control, 1 one that moves
// every sample (the equaliser's centre, the one-pole's cutoff, the comb's
// delay, the integrator's leak).
// All run blocks of 64 samples.
#include "../bench_support.h"
#include "OnePole.h"
#include "PeakGain.h"
#include "bundle.h"
#include "comb.h"
#include "processing_host.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>

namespace
{
constexpr int kBlock = 64;
constexpr float kRate = 48000.0f;

using qwbench::noise;

// A control that differs at every sample of the block, around `centre`.
float sweep(int t, float centre)
{
    return centre * (1.0f + 0.5f * std::sin(6.2831853f * static_cast<float>(t) / kBlock));
}

// The module `id` with its signal streaming noise and the control pin
// `control` static at `centre` or streaming a sweep around it; `setup` gives
// the other pins. Then process is timed alone.
void runModule(benchmark::State& state, const wchar_t* id, const char* control, float centre,
               const std::function<void(qwhost::Processor&)>& setup)
{
    const bool audioRate = state.range(0) != 0;
    qwhost::ProcessingHost host;
    host.record = false; // counts only: recording would be measured too
    host.sampleRate = kRate;
    host.blockSize = kBlock;
    auto p = host.create(qwhost::Bundle::load(QW_BUNDLE_DIR "/signalkit.so"), id);
    const int signal = p->pin("Signal"), ctl = p->pin(control);
    p->startGraph(0);
    if (setup)
        setup(*p);
    p->setStreaming(signal, true);
    if (audioRate)
        p->setStreaming(ctl, true);
    else
        p->setConstant(ctl, centre);
    for (int i = 0; i < kBlock; ++i)
    {
        p->input(signal)[i] = 0.5f * noise(i);
        p->input(ctl)[i] = audioRate ? sweep(i, centre) : centre;
    }
    p->run(kBlock); // the pin events; from here on the module sees none
    if (!audioRate)
        p->input(ctl)[0] = centre;

    qwbench::timeProcess(state, *p, kBlock);
}

// A bare block loop over prepared input and control buffers.
template <class Block> void runBare(benchmark::State& state, float centre, Block block)
{
    const bool audioRate = state.range(0) != 0;
    float in[kBlock], ctl[kBlock], out[kBlock];
    for (int i = 0; i < kBlock; ++i)
    {
        in[i] = 0.5f * noise(i);
        ctl[i] = audioRate ? sweep(i, centre) : centre;
    }
    for (auto _ : state)
    {
        block(in, ctl, out);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// --- equaliser: +9 dB around 1 kHz ---

void modulePeakGain(benchmark::State& state)
{
    runModule(state, L"QW_PeakGain2", "Frequency", 100.0f,
              [](qwhost::Processor& p) { p.setFloat(p.pin("Gain"), 9.0f); });
}

void barePeakGain(benchmark::State& state)
{
    const qw::peak::Gain g = qw::peak::gainOf(9.0f);
    qw::peak::History h;
    qw::peak::Coefficients k;
    float cached = -1.0f;
    runBare(state, 100.0f, [&](const float* in, const float* ctl, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            const float fc = qw::biquad::clampCutoff(ctl[i], kRate / 2.0f);
            if (fc != cached)
            {
                qw::peak::design(k, fc * (1.0f / kRate), g.k);
                cached = fc;
            }
            out[i] = g.s * qw::peak::bandPass(k, h, in[i]) + in[i];
        }
    });
}

// --- one-pole low-pass, hertz mode around 1 kHz ---

void moduleOnePole(benchmark::State& state)
{
    runModule(state, L"QW_LPF2", "Cutoff", 100.0f, nullptr);
}

void bareOnePole(benchmark::State& state)
{
    const float hertz = qw::onepole::kLog2eTwoPi * 10.0f / kRate, pitch = qw::onepole::kLog2eTwoPi * 440.0f / kRate;
    float y = 0.0f, cached = -1.0f, p = 0.0f;
    runBare(state, 100.0f, [&](const float* in, const float* ctl, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            if (ctl[i] != cached)
            {
                p = qw::onepole::poleOf(ctl[i], false, hertz, pitch);
                cached = ctl[i];
            }
            y = (y - in[i]) * p + in[i];
            out[i] = y;
        }
    });
}

// --- comb filter with dry and wet levels, a delay around 100.5 samples ---

void moduleComb(benchmark::State& state)
{
    runModule(state, L"QW_CombFilter2", "Delay", 10.05f, [](qwhost::Processor& p) {
        p.setFloat(p.pin("Feedback"), 0.7f);
        p.setFloat(p.pin("Dry"), 0.5f);
        p.setFloat(p.pin("Wet"), 0.5f);
    });
}

void bareComb(benchmark::State& state)
{
    static std::array<float, 8192> line{};
    int w = 0;
    float d = 0.0f;
    const bool moving = state.range(0) != 0;
    runBare(state, 10.05f, [&](const float* in, const float* ctl, float* out) {
        float D = qw::comb::clampDelay(10.0f * ctl[0], 8191.0f);
        for (int i = 0; i < kBlock; ++i)
        {
            if (moving)
                D = qw::comb::clampDelay(10.0f * ctl[i], 8191.0f);
            const int k = static_cast<int>(D);
            const float f = D - static_cast<float>(k);
            const float a = f < 1e-5f ? 0.99999f : 1.0f - f;
            qw::comb::allPass(d, a, line[(w - k) & 8191], line[(w - k - 1) & 8191]);
            out[i] = 0.5f * in[i] + 0.5f * d;
            line[w] = in[i] + 0.7f * d;
            w = (w + 1) & 8191;
        }
    });
}

// --- moving average over 100 samples (the signal is the moving control) ---

void moduleMovingAvg(benchmark::State& state)
{
    runModule(state, L"QW_MovingAvg", "Signal", 0.5f, [](qwhost::Processor& p) { p.setInt(p.pin("Window"), 100); });
}

void bareMovingAvg(benchmark::State& state)
{
    static std::array<float, 20000> ring{};
    int index = 0;
    float sum = 0.0f;
    runBare(state, 0.5f, [&](const float*, const float* in, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            sum = (sum - ring[index]) + in[i];
            ring[index] = in[i];
            out[i] = sum * 0.01f;
            if (++index == 100)
                index = 0;
        }
    });
}

// --- leaky integrator, the leak around 0.999 ---

void moduleIntegrator(benchmark::State& state)
{
    runModule(state, L"QW_Integrator", "Leak", 0.999f, nullptr);
}

void bareIntegrator(benchmark::State& state)
{
    float y = 0.0f;
    runBare(state, 0.999f, [&](const float* in, const float* ctl, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            y = y * std::clamp(ctl[i], -1.0f, 1.0f) + in[i];
            out[i] = y;
        }
    });
}

void controls(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"audioRate"});
    b->Arg(0)->Arg(1);
}
} // namespace

BENCHMARK(modulePeakGain)->Apply(controls);
BENCHMARK(barePeakGain)->Apply(controls);
BENCHMARK(moduleOnePole)->Apply(controls);
BENCHMARK(bareOnePole)->Apply(controls);
BENCHMARK(moduleComb)->Apply(controls);
BENCHMARK(bareComb)->Apply(controls);
BENCHMARK(moduleIntegrator)->Apply(controls);
BENCHMARK(bareIntegrator)->Apply(controls);
BENCHMARK(moduleMovingAvg)->ArgName("audioRate")->Arg(1);
BENCHMARK(bareMovingAvg)->ArgName("audioRate")->Arg(1);
