// Cost per sample of the level-response modules, the formula shaper and the
// Chebyshev harmonics: each module through its real process call (blocks of
// 64, no events), beside a bare loop of the same per-sample work. The
// level-response bare loops come with and without their frame evaluations
// (peak scan and gain), which gives the evaluations' share. formulaRebuild
// times one table of sin(x*pi*a): 2048 evaluations.
#include "../bench_support.h"
#include "bundle.h"
#include "formula_table.h"
#include "level_response.h"
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

using qwbench::noise;

// A module streaming noise through blocks of 64 with no events.
void runModule(benchmark::State& state, const wchar_t* id, float rate, int copies, void (*setup)(qwhost::Processor&))
{
    qwhost::ProcessingHost host;
    host.record = false;
    host.sampleRate = rate;
    host.blockSize = kBlock;
    host.autoDuplicateCount = copies;
    auto p = host.create(qwhost::Bundle::load(QW_BUNDLE_DIR "/signalkit.so"), id);
    p->startGraph(0);
    setup(*p);
    const int in = 0;
    p->setStreaming(in, true);
    for (int i = 0; i < kBlock; ++i)
        p->input(in)[i] = 0.7f * noise(i);
    p->run(kBlock);
    gmpi::IMpPlugin2* plugin = p->plugin();
    const gmpi::MpEvent* noEvents = nullptr;
    float* out = p->output(p->pinCount() - 1);
    for (auto _ : state)
    {
        plugin->process(kBlock, noEvents);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void moduleLevResp(benchmark::State& state)
{
    runModule(state, L"QW_LevResp", 44100.0f, 2, [](qwhost::Processor& p) {
        p.setInt(p.pin("Frame Length"), 12); // 4096
    });
}

// N = 2048 at 44.1 kHz (exponent 11), N = 32768 at 192 kHz (exponent 13).
void moduleLevResp2(benchmark::State& state)
{
    const bool large = state.range(0) == 32768;
    runModule(
        state, L"QW_LevResp2", large ? 192000.0f : 44100.0f, 2,
        large ? [](qwhost::Processor& p) { p.setInt(p.pin("Frame Length"), 13); }
              : [](qwhost::Processor& p) { p.setInt(p.pin("Frame Length"), 11); });
}

void moduleFormulaShaper(benchmark::State& state)
{
    runModule(state, L"QW_FormulaShaper", 44100.0f, 2, [](qwhost::Processor& p) {
        p.setText(p.pin("Formula"), L"sin(x*pi*a)");
        p.setFloat(p.pin("A"), 2.0f);
    });
}

void moduleChebyshev(benchmark::State& state)
{
    runModule(state, L"QW_Chebyshev", 44100.0f, 8, [](qwhost::Processor&) {});
}

// --- bare loops -----------------------------------------------------------

float input[kBlock];
float output[kBlock];

void fillInput()
{
    for (int i = 0; i < kBlock; ++i)
        input[i] = 0.7f * noise(i);
}

// Overlap-add over two frame buffers, the frame windowed and scaled at each hop.
void levResp(benchmark::State& state, bool frames)
{
    constexpr int n = 4096, half = n / 2;
    static float f[2][n], w[n];
    for (int i = 0; i < n; ++i)
        w[i] = (1.0f - qw::fm::cosTurns(float(i) / n)) * 0.5f;
    qw::levresp::Curve<4096> curve;
    curve.setAmount(10.0f);
    fillInput();
    int p = 0, c = 0;
    for (auto _ : state)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            if (p == 0 && frames)
            {
                float peak = 0.0f, u, v;
                for (int k = 0; k < n; ++k)
                    peak = std::max(peak, std::fabs(f[c][k]));
                const float g = curve.gain(peak, u, v);
                for (int k = 0; k < n; ++k)
                    f[c][k] *= w[k] * g;
                c = 1 - c;
            }
            output[i] = f[1 - c][p] + f[c][p + half];
            f[1 - c][p] = input[i];
            f[c][p + half] = input[i];
            p = p + 1 == half ? 0 : p + 1;
        }
        benchmark::DoNotOptimize(output[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// A delay line with a smooth-step gain cross-fade, the peak scanned every half frame.
void levResp2(benchmark::State& state, bool frames)
{
    const int n = static_cast<int>(state.range(0)), half = n / 2;
    std::vector<float> line(static_cast<size_t>(n), 0.0f);
    qw::levresp::Curve<2048> curve;
    curve.setAmount(10.0f);
    fillInput();
    int p = 0;
    float g0 = 1.0f, g1 = 1.0f;
    const float inv = 1.0f / static_cast<float>(half);
    for (auto _ : state)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            const int q = p % half;
            if (q == 0 && frames)
            {
                float peak = 0.0f, u, v;
                for (int k = 0; k < n; ++k)
                    peak = std::max(peak, std::fabs(line[size_t(k)]));
                g0 = g1;
                g1 = curve.gain(peak, u, v);
            }
            const float t = static_cast<float>(q) * inv;
            const float s = (3.0f - 2.0f * t) * t * t;
            output[i] = ((1.0f - s) * g0 + s * g1) * line[size_t(p)];
            line[size_t(p)] = input[i];
            p = p + 1 == n ? 0 : p + 1;
        }
        benchmark::DoNotOptimize(output[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void bareLevResp(benchmark::State& state)
{
    levResp(state, true);
}
void bareLevRespNoFrames(benchmark::State& state)
{
    levResp(state, false);
}
void bareLevResp2(benchmark::State& state)
{
    levResp2(state, true);
}
void bareLevResp2NoFrames(benchmark::State& state)
{
    levResp2(state, false);
}

void bareFormulaShaper(benchmark::State& state)
{
    static float table[2049];
    for (int i = 0; i < 2048; ++i)
        table[i] = std::sin(float(i) / 2047.0f * 6.2831853f);
    fillInput();
    for (auto _ : state)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            // The input limited to [-1, 1], NaN read as 0, as any table
            // shaper must before it indexes its table.
            const float x = input[i] > -1.0f ? (input[i] < 1.0f ? input[i] : 1.0f) : (input[i] <= -1.0f ? -1.0f : 0.0f);
            const float t = (x + 1.0f) * 0.5f * 2047.0f;
            const int k = static_cast<int>(t);
            const float f = t - static_cast<float>(k);
            output[i] = (1.0f - f) * table[k] + f * table[k + 1];
        }
        benchmark::DoNotOptimize(output[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void bareChebyshev(benchmark::State& state)
{
    static float outs[8][kBlock];
    fillInput();
    for (auto _ : state)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            const float y = 2.0f * input[i], twoY = 2.0f * y;
            float prev = 1.0f, c = y;
            outs[0][i] = c * 0.5f;
            for (int k = 1; k < 8; ++k)
            {
                const float next = twoY * c - prev;
                outs[k][i] = next * 0.5f;
                prev = c;
                c = next;
            }
        }
        benchmark::DoNotOptimize(outs[7][kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void formulaRebuild(benchmark::State& state)
{
    qw::shapers::FormulaTable t;
    const std::wstring text = L"sin(x*pi*a)";
    const float a = 2.0f;
    t.update(&text, &a, nullptr, nullptr);
    for (auto _ : state)
    {
        t.rebuild();
        benchmark::DoNotOptimize(t.table[1000]);
    }
    state.SetItemsProcessed(state.iterations() * qw::shapers::FormulaTable::kEntries);
}
} // namespace

BENCHMARK(moduleLevResp);
BENCHMARK(bareLevResp);
BENCHMARK(bareLevRespNoFrames);
BENCHMARK(moduleLevResp2)->Arg(2048)->Arg(32768);
BENCHMARK(bareLevResp2)->Arg(2048)->Arg(32768);
BENCHMARK(bareLevResp2NoFrames)->Arg(2048)->Arg(32768);
BENCHMARK(moduleFormulaShaper);
BENCHMARK(bareFormulaShaper);
BENCHMARK(moduleChebyshev);
BENCHMARK(bareChebyshev);
BENCHMARK(formulaRebuild);
