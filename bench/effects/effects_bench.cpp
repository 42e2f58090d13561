// Cost per sample of the detuner, chorus, swept chorus, vibrato and the two
// reverbs: each module through its real process call (blocks of 64, no
// events), beside a bare loop of the same taps and arithmetic over plain
// arrays. Compare moduleX with bareX of the same arguments.
#include "../bench_support.h"
#include "bundle.h"
#include "effect_pattern.h"
#include "processing_host.h"
#include "sweep.h"

#include <benchmark/benchmark.h>

#include <array>
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

struct Input
{
    float in[kBlock];
    Input()
    {
        for (int i = 0; i < kBlock; ++i)
            in[i] = 0.5f * noise(i);
    }
};

// A module with its audio inputs streaming noise (or held) and its control
// pins set, then processed block after block with no events.
void runModule(benchmark::State& state, const std::wstring& id, const std::vector<std::string>& streaming,
               const std::vector<std::pair<std::string, float>>& held,
               const std::vector<std::pair<std::string, float>>& floats,
               const std::vector<std::pair<std::string, int>>& ints, const std::string& output)
{
    qwhost::ProcessingHost host;
    host.record = false;
    host.sampleRate = kRate;
    host.blockSize = kBlock;
    auto p = host.create(qwhost::Bundle::load(QW_BUNDLE_DIR "/signalkit.so"), id);
    p->startGraph(0);
    for (auto& [name, v] : floats)
        p->setFloat(p->pin(name), v);
    for (auto& [name, v] : ints)
        p->setInt(p->pin(name), v);
    for (auto& [name, v] : held)
        p->setConstant(p->pin(name), v);
    for (auto& name : streaming)
    {
        p->setStreaming(p->pin(name), true);
        for (int i = 0; i < kBlock; ++i)
            p->input(p->pin(name))[i] = 0.5f * noise(i);
    }
    p->run(kBlock);
    for (auto& [name, v] : held)
        std::fill_n(p->input(p->pin(name)), kBlock, v);

    gmpi::IMpPlugin2* plugin = p->plugin();
    const gmpi::MpEvent* noEvents = nullptr;
    float* out = p->output(p->pin(output));
    for (auto _ : state)
    {
        plugin->process(kBlock, noEvents);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

template <class Block> void runBare(benchmark::State& state, Block block)
{
    for (auto _ : state)
    {
        block();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// --- detuner ---

void moduleDetuner(benchmark::State& state)
{
    runModule(state, L"QW_Detuner", {"Signal"}, {}, {{"Detune", 3.0f}}, {}, "Output");
}

// With the check the module must make: input that is not finite is cleared
// from the ring after the block.
void bareDetuner(benchmark::State& state)
{
    static std::array<float, 4096> ring{};
    static float out[kBlock];
    const Input x;
    uint32_t w = 0, p = 0;
    const uint32_t inc = static_cast<uint32_t>((std::exp2(3.0 / 12) - 1) * 1048576.0);
    runBare(state, [&] {
        const bool finite = qw::finite::allFinite(x.in, kBlock);
        qw::finite::clearNonFinite(ring.data(), 4096, finite ? 0.0f : 1.0f);
        for (int i = 0; i < kBlock; ++i)
        {
            ring[w >> 20] = x.in[i];
            out[i] = qw::ring12::windowRead(ring.data(), w + p, p);
            p += inc;
            w += qw::ring12::kStep;
        }
        benchmark::DoNotOptimize(out[kBlock - 1]);
    });
}

// --- chorus: voices per output V, half down-voices and half up-voices ---

void moduleChorus(benchmark::State& state)
{
    const int voices = static_cast<int>(state.range(0));
    const int pin = voices == 2 ? 0 : voices == 4 ? 1 : voices == 8 ? 2 : 3;
    runModule(state, L"QW_Chorus", {"Signal"}, {}, {{"Detune", 1.0f}}, {{"Voices", pin}}, "Left Out");
}

void bareChorus(benchmark::State& state)
{
    const int voices = static_cast<int>(state.range(0));
    static std::array<float, 4096> ring{};
    static float out[2][kBlock];
    const Input x;
    uint32_t phase[16], step[16];
    for (int k = 0; k < 16; ++k)
    {
        phase[k] = static_cast<uint32_t>(k) * 0x1234567u;
        step[k] = 100u + static_cast<uint32_t>(k) * 77u;
    }
    uint32_t w = 0;
    const int perOutput = voices / 2;
    runBare(state, [&] {
        for (int i = 0; i < kBlock; ++i)
        {
            ring[w >> 20] = x.in[i];
            for (int o = 0; o < 2; ++o)
            {
                float sum = 0.0f;
                for (int v = 0; v < perOutput; ++v)
                {
                    const int k = o * perOutput + v;
                    const uint32_t q = phase[k];
                    sum += qw::ring12::windowRead(ring.data(), (v & 1) ? w + q : w - q, q);
                    phase[k] = q + step[k];
                }
                out[o][i] = sum;
            }
            w += qw::ring12::kStep;
        }
        benchmark::DoNotOptimize(out[0][kBlock - 1]);
        benchmark::DoNotOptimize(out[1][kBlock - 1]);
    });
}

// --- swept chorus at 8 taps, vibrato ---

void moduleChorusMod(benchmark::State& state)
{
    runModule(state, L"QW_ChorusMod", {"Signal"}, {{"Depth Mod", 1.0f}}, {{"Rate", 1.0f}, {"Depth", 5.0f}},
              {{"Voices", 2}}, "Left Out");
}

void bareChorusMod(benchmark::State& state)
{
    using Ring = qw::sweep::Ring<8>;
    static std::array<float, Ring::kSize> ring{};
    static float left[kBlock], right[kBlock];
    static float mod[kBlock];
    std::fill_n(mod, kBlock, 1.0f);
    const Input x;
    qw::sweep::Oscillator osc;
    osc.setRate(1.0f, kRate);
    const float h = 0.875f * 127.5f * 0.5f;
    uint32_t w = 0;
    runBare(state, [&] {
        for (int i = 0; i < kBlock; ++i)
        {
            ring[w >> Ring::kShift] = x.in[i];
            const float m = qw::sweep::modulation(mod[i]);
            const float c = osc.c(), s = osc.s();
            const float a = (c - s) * 0.70710677f, b = (c + s) * 0.70710677f;
            const float* r = ring.data();
            left[i] = Ring::tap(r, w, h * (1.0f - m * c)) + Ring::tap(r, w, h * (1.0f - m * a)) +
                      Ring::tap(r, w, h * (1.0f - m * s)) + Ring::tap(r, w, h * (1.0f - m * b));
            right[i] = Ring::tap(r, w, h * (1.0f + m * c)) + Ring::tap(r, w, h * (1.0f + m * a)) +
                       Ring::tap(r, w, h * (1.0f + m * s)) + Ring::tap(r, w, h * (1.0f + m * b));
            osc.turn();
            w += Ring::kStep;
        }
        benchmark::DoNotOptimize(left[kBlock - 1]);
        benchmark::DoNotOptimize(right[kBlock - 1]);
    });
}

void moduleVibrato(benchmark::State& state)
{
    runModule(state, L"QW_Vibrato", {"Signal"}, {{"Depth Mod", 1.0f}}, {{"Rate", 5.0f}, {"Depth", 1.0f}}, {}, "Output");
}

void bareVibrato(benchmark::State& state)
{
    using Ring = qw::sweep::Ring<10>;
    static std::array<float, Ring::kSize> ring{};
    static float out[kBlock], mod[kBlock];
    std::fill_n(mod, kBlock, 1.0f);
    const Input x;
    qw::sweep::Oscillator osc;
    osc.setRate(5.0f, kRate);
    const float h = 511.5f / 5.0f * 0.5f;
    uint32_t w = 0;
    runBare(state, [&] {
        for (int i = 0; i < kBlock; ++i)
        {
            ring[w >> Ring::kShift] = x.in[i];
            out[i] = Ring::tap(ring.data(), w, h * (1.0f - qw::sweep::modulation(mod[i]) * osc.c()));
            osc.turn();
            w += Ring::kStep;
        }
        benchmark::DoNotOptimize(out[kBlock - 1]);
    });
}

// --- reverbs: argument 0 a mono input, 1 a stereo input ---

void runReverb(benchmark::State& state, const std::wstring& id)
{
    const bool stereo = state.range(0) != 0;
    std::vector<std::string> streaming = {"Left"};
    std::vector<std::pair<std::string, float>> held;
    if (stereo)
        streaming.push_back("Right");
    else
        held.emplace_back("Right", 0.0f);
    std::vector<std::pair<std::string, float>> floats = {{"Delay A", 10.0f}, {"Delay B", 50.0f}, {"Decay", 2.0f}};
    if (id == L"QW_ReverbF")
    {
        floats.emplace_back("Damping", 5000.0f);
        floats.emplace_back("High Pass", 50.0f);
    }
    runModule(state, id, streaming, held, floats, {}, "Left Out");
}

void moduleReverb(benchmark::State& state)
{
    runReverb(state, L"QW_Reverb");
}
void moduleReverbF(benchmark::State& state)
{
    runReverb(state, L"QW_ReverbF");
}

// The common part of every sample and the routine's feed, over plain arrays,
// with the checks the module must make: the filtered form saturates its sums
// at the float limit and counts infinite input as NaN, as the module does, so
// that audio near the limit gives no infinity.
template <bool Filtered> void bareReverbOf(benchmark::State& state)
{
    using qw::finite::infinityAsNaN;
    using qw::finite::saturated;
    const bool stereo = state.range(0) != 0;
    static float lines[8][4096];
    static float outL[kBlock], outR[kBlock];
    const Input x;
    const uint32_t L[8] = {2274, 1092, 1893, 739, 516, 2095, 1804, 1820};
    const float g = std::pow(1.0f - 1.0f / 9.0f, 1.0f);
    const float a = std::exp(-6.2831855f * 5000.0f / kRate), b = std::exp(-6.2831855f * 50.0f / kRate);
    float lp = 0.0f, hs = 0.0f;
    uint32_t w = 0;
    auto block = [&](auto stereoTag) {
        constexpr bool Stereo = decltype(stereoTag)::value;
        const uint32_t first = w;
        for (int i = 0; i < kBlock; ++i)
        {
            float y[8];
            for (int k = 0; k < 8; ++k)
                y[k] = lines[k][(w - L[k]) & 4095];
            float o1, o2;
            if constexpr (Filtered)
            {
                o1 = 0.25f * saturated(y[0] + y[1] + y[2] + y[3]);
                o2 = 0.25f * saturated(y[4] + y[5] + y[6] + y[7]);
            }
            else
            {
                o1 = 0.25f * (y[0] + y[1] + y[2] + y[3]);
                o2 = 0.25f * (y[4] + y[5] + y[6] + y[7]);
            }
            outL[i] = o1;
            outR[i] = o2;
            const float f = -(o1 + o2) * g;
            float e1, e2;
            if constexpr (Filtered)
            {
                const float v = saturated(Stereo ? f : f + infinityAsNaN(x.in[i]));
                lp = saturated(saturated(lp - v) * a + v);
                hs = saturated(saturated(hs - lp) * b + lp);
                const float e = lp - hs;
                e1 = Stereo ? e + infinityAsNaN(x.in[i]) : e;
                e2 = Stereo ? e + infinityAsNaN(x.in[i]) : e;
                for (int k = 0; k < 4; ++k)
                    lines[k][w] = saturated(y[k] * g + e1);
                for (int k = 4; k < 8; ++k)
                    lines[k][w] = saturated(y[k] * g + e2);
            }
            else
            {
                e1 = e2 = f + x.in[i];
                for (int k = 0; k < 4; ++k)
                    lines[k][w] = y[k] * g + e1;
                for (int k = 4; k < 8; ++k)
                    lines[k][w] = y[k] * g + e2;
            }
            w = (w + 1) & 4095;
        }
        // The same end-of-block clean-up as the module's.
        for (auto& line : lines)
            for (int i = 0; i < kBlock; ++i)
            {
                float& v = line[(first + static_cast<uint32_t>(i)) & 4095];
                const float m = std::fabs(v);
                v = m >= 1e-30f && m <= 3.4028235e38f ? v : 0.0f;
            }
        if constexpr (Filtered)
        {
            lp = std::fabs(lp) >= 1e-30f && std::fabs(lp) <= 3.4028235e38f ? lp : 0.0f;
            hs = std::fabs(hs) >= 1e-30f && std::fabs(hs) <= 3.4028235e38f ? hs : 0.0f;
        }
        benchmark::DoNotOptimize(outL[kBlock - 1]);
        benchmark::DoNotOptimize(outR[kBlock - 1]);
    };
    if (stereo)
        runBare(state, [&] { block(std::true_type{}); });
    else
        runBare(state, [&] { block(std::false_type{}); });
}

void bareReverb(benchmark::State& state)
{
    bareReverbOf<false>(state);
}
void bareReverbF(benchmark::State& state)
{
    bareReverbOf<true>(state);
}
} // namespace

BENCHMARK(moduleDetuner);
BENCHMARK(bareDetuner);
BENCHMARK(moduleChorus)->Arg(2)->Arg(4)->Arg(8)->Arg(16);
BENCHMARK(bareChorus)->Arg(2)->Arg(4)->Arg(8)->Arg(16);
BENCHMARK(moduleChorusMod)->Arg(8);
BENCHMARK(bareChorusMod)->Arg(8);
BENCHMARK(moduleVibrato);
BENCHMARK(bareVibrato);
BENCHMARK(moduleReverb)->Arg(0)->Arg(1);
BENCHMARK(bareReverb)->Arg(0)->Arg(1);
BENCHMARK(moduleReverbF)->Arg(0)->Arg(1);
BENCHMARK(bareReverbF)->Arg(0)->Arg(1);
