// Cost per sample of the oscillators, noises, the random LFO and the glides:
// each module through its real process call (blocks of 64, no events) beside
// a bare loop of the same arithmetic over plain arrays; and the Dirac
// oscillator's first open (which fills the shared sine table) against a
// later one (bareDiracOpen: the same call finding the table filled). Compare
// moduleX with bareX of the same arguments.
#include "../bench_support.h"
#include "dirac_table.h"
#include "processing_host.h"
#include "quarter_sine.h"
#include "qw_fm.h"
#include "qw_rnd.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr int kBlock = 64;
constexpr float kRate = 48000.0f;

using qwbench::noise;

struct Settings
{
    std::vector<std::pair<std::string, std::string>> values; // control pins, as text
    std::vector<std::pair<std::string, float>> held;         // audio inputs held
    std::vector<std::pair<std::string, float>> streaming;    // audio inputs streaming around a value
};

std::unique_ptr<qwhost::Processor> prepare(qwhost::ProcessingHost& host, const wchar_t* id, const Settings& s)
{
    host.record = false;
    host.sampleRate = kRate;
    host.blockSize = kBlock;
    auto p = host.create(qwbench::bundle("signalkit"), id);
    p->startGraph(0);
    std::string why;
    for (auto& [name, text] : s.values)
        p->setFromText(p->pin(name), text, why);
    for (auto& [name, v] : s.held)
        p->setConstant(p->pin(name), v);
    for (auto& [name, v] : s.streaming)
    {
        p->setStreaming(p->pin(name), true);
        for (int i = 0; i < kBlock; ++i)
            p->input(p->pin(name))[i] = v * (1.0f + 0.01f * noise(i));
    }
    p->run(kBlock); // the pin events; from here on the module sees none
    return p;
}

void runModule(benchmark::State& state, const wchar_t* id, const Settings& s)
{
    qwhost::ProcessingHost host;
    auto p = prepare(host, id, s);
    qwbench::timeProcess(state, *p, kBlock);
}

// A bare block loop: block(control, out) over a control buffer around `centre`.
template <class Block> void runBare(benchmark::State& state, float centre, Block block)
{
    float ctl[kBlock], out[kBlock];
    for (int i = 0; i < kBlock; ++i)
        ctl[i] = centre * (1.0f + 0.01f * noise(i));
    for (auto _ : state)
    {
        block(ctl, out);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// --- sine: argument 0 a static pitch, 1 a pitch streaming at audio rate ---

void moduleSineOsc(benchmark::State& state)
{
    Settings s{{{"On", "1"}}, {}, {}};
    if (state.range(0))
        s.streaming = {{"Pitch", 0.5f}};
    else
        s.held = {{"Pitch", 0.5f}};
    runModule(state, L"QW_SineOsc", s);
}

void bareSineOsc(benchmark::State& state)
{
    const bool audioRate = state.range(0) != 0;
    const float factor = 440.0f / kRate;
    float phase = 0.0f, previous = 0.0f, increment = std::min(0.25f, std::exp2(0.0f) * factor);
    static const float pm[kBlock] = {}, fb[kBlock] = {}; // the modulation inputs, held at 0
    runBare(state, 0.5f, [&](const float* pitch, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            if (audioRate)
                increment =
                    std::min(0.25f, qw::fm::exp2Fast(std::clamp(10.0f * pitch[i] - 5.0f, -126.0f, 127.0f)) * factor);
            const float x = phase + std::clamp(pm[i], -1.0f, 1.0f) + std::clamp(fb[i], 0.0f, 1.0f) * previous;
            previous = out[i] = qw::osc::sineOfTurn(x - std::floor(x));
            phase += increment;
            if (phase >= 1.0f)
                phase -= 1.0f;
        }
    });
}

// --- pulse: argument = the harmonic limit, at about 19 Hz ---

void modulePulseOsc(benchmark::State& state)
{
    runModule(
        state, L"QW_PulseOsc",
        {{{"Gate", "1"}, {"Harmonics", std::to_string(state.range(0))}, {"Amplitude", "5"}}, {{"Pitch", 0.05f}}, {}});
}

float sineOf(float g)
{
    const float u = g - std::floor(g);
    const float v = std::min(1.0f - u, u);
    const float s = qw::osc::quarterSine(std::min(0.5f - v, v) * 128.0f);
    return u >= 0.5f ? -s : s;
}

void barePulseOsc(benchmark::State& state)
{
    const float f = 440.0f * qw::fm::exp2Acc(0.05f * 10.0f - 5.0f);
    const float N = std::min(kRate * 0.5f / f - 1.0f, static_cast<float>(state.range(0)));
    const float A = std::floor(N), B = N - A, C = 0.5f * 0.5f / N, increment = f / kRate;
    float phase = 0.0f;
    runBare(state, 0.05f, [&](const float*, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            const float x = phase;
            const float d = qw::osc::quarterSine(std::min(x, 1.0f - x) * 64.0f);
            out[i] = d == 0.0f ? 2.0f * C * (A + B)
                               : C * ((B * sineOf(x * (A + 1.5f)) + (1.0f - B) * sineOf(x * (A + 0.5f))) / d - 1.0f);
            phase += increment;
            if (phase >= 1.0f)
                phase -= 1.0f;
        }
    });
}

// --- Dirac, anti-aliased: argument = the period in samples ---

void moduleDiracOsc(benchmark::State& state)
{
    runModule(state, L"QW_DiracOsc",
              {{{"On", "1"}, {"Anti-Alias", "1"}, {"Pitch Mode", "2"}},
               {{"Pitch", static_cast<float>(state.range(0)) * 0.1f}, {"Amplitude", 0.5f}},
               {}});
}

void bareDiracOsc(benchmark::State& state)
{
    static std::vector<float> table(qw::dirac::kEntries);
    qw::dirac::fill(table.data());
    const double P = static_cast<double>(state.range(0)), increment = 0.5 / P;
    const int32_t M = static_cast<int32_t>(P * 0.5);
    const uint32_t K = static_cast<uint32_t>(2 * M + 1);
    const float norm = 1.0f / static_cast<float>(2 * M);
    double phase = 0.0;
    runBare(state, 0.5f, [&](const float* a, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            const uint32_t j = static_cast<uint32_t>(phase * qw::dirac::kEntries) & qw::dirac::kMask;
            const float k = (j & (qw::dirac::kHalf - 1)) == 0 ? float(K) : table[(K * j) & qw::dirac::kMask] / table[j];
            out[i] = a[i] * k * norm;
            phase += increment;
            if (phase >= 1.0)
                phase -= 1.0;
        }
    });
}

// The first open fills the 1 MB table; a later one finds it filled.
void moduleDiracOpen(benchmark::State& state)
{
    for (auto _ : state)
    {
        qwhost::ProcessingHost host;
        auto p = host.create(qwbench::bundle("signalkit"), L"QW_DiracOsc");
        benchmark::DoNotOptimize(p.get());
    }
}

void bareDiracOpen(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    auto first = host.create(qwbench::bundle("signalkit"), L"QW_DiracOsc");
    for (auto _ : state)
    {
        auto p = host.create(qwbench::bundle("signalkit"), L"QW_DiracOsc");
        benchmark::DoNotOptimize(p.get());
    }
}

// --- noise: argument 0 white, 1 pink ---

void moduleNoiseGen(benchmark::State& state)
{
    runModule(state, L"QW_NoiseGen", {{{"Type", std::to_string(state.range(0))}, {"Seed", "1"}, {"On", "1"}}, {}, {}});
}

void bareNoiseGen(benchmark::State& state)
{
    const bool pink = state.range(0) != 0;
    uint32_t x = 1, c = 0, rows[7] = {};
    runBare(state, 0.0f, [&](const float*, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            if (!pink)
            {
                out[i] = static_cast<float>(x * (1.0 / 4294967296.0) - 0.5);
                continue;
            }
            const uint32_t r = x & ((1u << 29) - 1);
            x = r ? r : 2463534242u;
            uint32_t sum = r;
            for (int k = 0; k < 7; ++k)
            {
                if ((c & ((2u << k) - 1)) == 0)
                    rows[k] = r;
                sum += rows[k];
            }
            out[i] = static_cast<float>(sum * (1.0 / 2147483648.0) - 1.0);
            c = (c + 1) & 255;
        }
    });
}

void moduleNoiseGen2(benchmark::State& state)
{
    runModule(state, L"QW_NoiseGen2", {{{"Type", std::to_string(state.range(0))}, {"Seed", "5"}, {"On", "1"}}, {}, {}});
}

void bareNoiseGen2(benchmark::State& state)
{
    const bool pink = state.range(0) != 0;
    qw::rnd::RndIterator rnd(5);
    float s1 = 0.0f, s2 = 0.0f;
    runBare(state, 0.0f, [&](const float*, float* out) {
        if (!pink)
        {
            for (int i = 0; i < kBlock; ++i)
                out[i] = rnd.nextHalfBipolar();
            return;
        }
        for (int i = 0; i < kBlock; ++i)
        {
            const float w = rnd.nextBipolar();
            s1 = w + 0.96f * (s1 - w);
            s2 = w + 0.655f * (s2 - w);
            out[i] = 2.5f * (s1 + 0.25f * s2);
        }
    });
}

// --- random LFO, 100 points a second from a streaming rate ---

void moduleRndLFO(benchmark::State& state)
{
    runModule(state, L"QW_RndLFO", {{{"On", "1"}, {"Seed", "3"}, {"Amplitude", "5"}}, {}, {{"Rate", 5.0f}}});
}

void bareRndLFO(benchmark::State& state)
{
    qw::rnd::RndIterator rnd(3);
    float p[4] = {rnd.nextBipolar(), rnd.nextBipolar(), rnd.nextBipolar(), rnd.nextBipolar()};
    float t = 0.0f;
    const float inverse = 1.0f / kRate, gain = 0.5f;
    runBare(state, 5.0f, [&](const float* rate, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            const float r = 10.0f * rate[i];
            const float perSecond = r < 0.0f ? 0.0f : (r > 10000.0f ? 20000.0f : 2.0f * r);
            const float u = 1.0f - t;
            const float A = p[1] + 0.5f * t * (p[2] - p[0]), B = p[1] + t * (p[2] - p[1]);
            const float C = p[2] - 0.5f * u * (p[3] - p[1]);
            out[i] = gain * (u * (u * A + t * B) + t * (u * B + t * C));
            t += perSecond * inverse;
            if (t >= 1.0f)
            {
                t -= 1.0f;
                p[0] = p[1], p[1] = p[2], p[2] = p[3], p[3] = rnd.nextBipolar();
            }
        }
    });
}

// --- glides: a streaming target, constant time 0.1 s ---

void moduleGlider(benchmark::State& state)
{
    runModule(state, L"QW_Glider", {{{"Mode", "0"}}, {{"Time", 0.01f}}, {{"Signal", 0.5f}}});
}

void moduleGlider2(benchmark::State& state)
{
    runModule(state, L"QW_Glider2",
              {{{"Mode", "0"}}, {{"Rise Time", 0.01f}, {"Fall Time", 0.02f}}, {{"Signal", 0.5f}}});
}

void glideLoop(benchmark::State& state, float rise, float fall)
{
    float y = 0.0f, p = 0.0f, step = 0.0f;
    runBare(state, 0.5f, [&](const float* target, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            const float x = target[i];
            if (y != x)
            {
                const float T = y < x ? rise : fall;
                if (x != p)
                    step = std::fabs(x - y) / (T * kRate);
                y = x > y ? std::min(y + step, x) : std::max(y - step, x);
            }
            p = x;
            out[i] = y;
        }
    });
}

void bareGlider(benchmark::State& state)
{
    glideLoop(state, 0.1f, 0.1f);
}

void bareGlider2(benchmark::State& state)
{
    glideLoop(state, 0.1f, 0.2f);
}
} // namespace

BENCHMARK(moduleSineOsc)->Arg(0)->Arg(1);
BENCHMARK(bareSineOsc)->Arg(0)->Arg(1);
BENCHMARK(modulePulseOsc)->Arg(5)->Arg(1000);
BENCHMARK(barePulseOsc)->Arg(5)->Arg(1000);
BENCHMARK(moduleDiracOsc)->Arg(100)->Arg(100000);
BENCHMARK(bareDiracOsc)->Arg(100)->Arg(100000);
BENCHMARK(moduleDiracOpen)->Unit(benchmark::kMicrosecond);
BENCHMARK(bareDiracOpen)->Unit(benchmark::kMicrosecond);
BENCHMARK(moduleNoiseGen)->Arg(0)->Arg(1);
BENCHMARK(bareNoiseGen)->Arg(0)->Arg(1);
BENCHMARK(moduleNoiseGen2)->Arg(0)->Arg(1);
BENCHMARK(bareNoiseGen2)->Arg(0)->Arg(1);
BENCHMARK(moduleRndLFO);
BENCHMARK(bareRndLFO);
BENCHMARK(moduleGlider);
BENCHMARK(bareGlider);
BENCHMARK(moduleGlider2);
BENCHMARK(bareGlider2);
