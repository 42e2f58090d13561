// Cost per sample of the wideners, the delays and the waveguides: each module
// through its real process call (bundle loaded, module created by the host
// stand-in, then process called directly with an empty event list) beside a
// bare loop of the same arithmetic with nothing around it. Compare moduleX
// with bareX. All run blocks of 64 samples at 48 kHz.
//
// moduleDWGOpen / bareDWGOpen: the first open of QW_DWG in a host (it fills
// both shared tables, 2 x 1,048,576 entries in double precision) against a
// later open that finds them filled; time per open.
#include "../bench_support.h"
#include "bundle.h"
#include "dwg_tables.h"
#include "processing_host.h"
#include "qw_fm.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr int kBlock = 64;
constexpr float kRate = 48000.0f;

using qwbench::noise;

std::shared_ptr<qwhost::Bundle> signalkit()
{
    return qwbench::bundle("signalkit");
}

using Streams = std::vector<std::pair<std::string, std::function<float(int)>>>;

// The module `id` with `streams` streaming one block of their samples again
// and again; `setup` gives the other pins. Then process is timed alone.
void runModule(benchmark::State& state, const wchar_t* id, const Streams& streams,
               const std::function<void(qwhost::Processor&)>& setup)
{
    qwhost::ProcessingHost host;
    host.record = false; // counts only: recording would be measured too
    host.sampleRate = kRate;
    host.blockSize = kBlock;
    auto p = host.create(signalkit(), id);
    p->startGraph(0);
    if (setup)
        setup(*p);
    for (auto& [name, f] : streams)
    {
        const int pin = p->pin(name);
        p->setStreaming(pin, true);
        for (int i = 0; i < kBlock; ++i)
            p->input(pin)[i] = f(i);
    }
    p->run(kBlock); // the pin events; from here on the module sees none
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

template <class Block> void runBare(benchmark::State& state, Block block)
{
    float in[kBlock], out[kBlock];
    for (int i = 0; i < kBlock; ++i)
        in[i] = 0.5f * noise(i);
    for (auto _ : state)
    {
        block(in, out);
        benchmark::DoNotOptimize(out[kBlock - 1]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

float signal(int i)
{
    return 0.5f * noise(i);
}

// --- Haas wideners: a delay of 110 samples on one output ---

void moduleHaas(benchmark::State& state)
{
    runModule(state, L"QW_Haas", {{"Signal", signal}}, [](qwhost::Processor& p) { p.setFloat(p.pin("Delay"), 2.5f); });
}

void bareHaas(benchmark::State& state)
{
    static std::array<float, 8192> line{};
    static float second[kBlock];
    int w = 0;
    runBare(state, [&](const float* in, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            line[size_t(w)] = in[i];
            out[i] = line[size_t((w - 110) & 8191)];
            second[i] = in[i];
            w = (w + 1) & 8191;
        }
        benchmark::DoNotOptimize(second[0]);
    });
}

void moduleHaas2(benchmark::State& state)
{
    runModule(state, L"QW_Haas2", {{"Signal", signal}}, [](qwhost::Processor& p) {
        p.setFloat(p.pin("Side"), 2.5f);
        p.setFloat(p.pin("Max Delay"), 20.0f);
    });
}

void moduleHaas2ST(benchmark::State& state)
{
    runModule(state, L"QW_Haas2ST", {{"Left In", signal}, {"Right In", [](int i) { return 0.5f * noise(i + 99); }}},
              [](qwhost::Processor& p) {
                  p.setFloat(p.pin("Side"), 2.5f);
                  p.setFloat(p.pin("Max Delay"), 20.0f);
              });
}

template <int Channels> void bareHaasSide(benchmark::State& state)
{
    static std::array<float, 8192 * Channels> line{};
    static float second[kBlock];
    int w = 0;
    float c1 = 480.0f, c2 = 0.0f;
    auto glide = [](float c, float t) {
        const float gap = t - c;
        return gap < -0.1f ? c - 0.1f : c + std::min(0.1f, gap);
    };
    runBare(state, [&](const float* in, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            for (int c = 0; c < Channels; ++c)
                line[size_t(w * Channels + c)] = in[i] * 1.0f;
            c1 = glide(c1, 480.0f);
            c2 = glide(c2, 0.0f);
            out[i] = line[size_t(((w - int(c1)) & 8191) * Channels)];
            second[i] = line[size_t(((w - int(c2)) & 8191) * Channels + Channels - 1)];
            w = (w + 1) & 8191;
        }
        benchmark::DoNotOptimize(second[0]);
    });
}

void bareHaas2(benchmark::State& state)
{
    bareHaasSide<1>(state);
}

void bareHaas2ST(benchmark::State& state)
{
    bareHaasSide<2>(state);
}

// --- delays of 100 and 100.5 samples ---

void moduleLatency(benchmark::State& state)
{
    runModule(state, L"QW_Latency", {{"Signal", signal}}, [](qwhost::Processor& p) { p.setInt(p.pin("Delay"), 100); });
}

void bareLatency(benchmark::State& state)
{
    static std::array<float, 8192> line{};
    int w = 0;
    runBare(state, [&](const float* in, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            line[size_t(w)] = in[i];
            out[i] = line[size_t((w - 100) & 8191)];
            w = (w + 1) & 8191;
        }
    });
}

void moduleFracDelay(benchmark::State& state)
{
    runModule(state, L"QW_FracDelay", {{"Signal", signal}},
              [](qwhost::Processor& p) { p.setFloat(p.pin("Delay"), 100.5f); });
}

void bareFracDelay(benchmark::State& state)
{
    static std::array<float, 8192> line{};
    int w = 0;
    float y = 0.0f;
    const float a = 0.5f / 1.5f;
    runBare(state, [&](const float* in, float* out) {
        for (int i = 0; i < kBlock; ++i)
        {
            line[size_t(w)] = in[i];
            y = (line[size_t((w - 100) & 8191)] - y) * a + line[size_t((w - 101) & 8191)];
            out[i] = y;
            w = (w + 1) & 8191;
        }
    });
}

// --- QW_DWG: both corrections on, the period moving around 200 samples ---

float dwgPeriod(int i)
{
    return 20.0f + 5.0f * std::sin(6.2831853f * float(i) / kBlock);
}

void moduleDWG(benchmark::State& state)
{
    runModule(state, L"QW_DWG", {{"Excitation", signal}, {"Period", dwgPeriod}}, [](qwhost::Processor& p) {
        p.setBool(p.pin("On"), true);
        p.setBool(p.pin("Correct Length"), true);
        p.setBool(p.pin("Scale Reflection"), true);
        p.setConstant(p.pin("Gate"), 1.0f);
        p.setConstant(p.pin("Reflection"), 0.95f);
        p.setConstant(p.pin("Loss"), 0.3f);
    });
}

// Besides the arithmetic, what the module must do at every sample: loss,
// reflection and gate are audio inputs (each sample clamped; the loss filter's
// coefficient computed again when the loss changes), the gate drives the
// reflection's envelope, what is written is watched for values that are not
// finite, and quiet output is counted for the end of the ring-out.
void bareDWG(benchmark::State& state)
{
    static std::vector<float> lengths(1024 * 1024), scales(1024 * 1024);
    static bool filled = false;
    if (!filled)
    {
        qw::dwg::fillLengths(lengths.data());
        qw::dwg::fillScales(scales.data(), kRate);
        filled = true;
    }
    static std::array<float, 5000> line{};
    float period[kBlock], loss[kBlock], reflection[kBlock], gate[kBlock];
    for (int i = 0; i < kBlock; ++i)
    {
        period[i] = dwgPeriod(i);
        loss[i] = 0.3f;
        reflection[i] = 0.95f;
        gate[i] = 1.0f;
    }
    int w = 0, quiet = 0;
    float memory = 0.0f, s = 0.0f, envelope = 0.0f;
    const float kHz = kRate * 0.001f, toColumn = 1023.0f / 4999.0f;
    runBare(state, [&](const float* in, float* out) {
        float lastV = -1.0f, g = 0.0f, poison = 0.0f;
        for (int i = 0; i < kBlock; ++i)
        {
            float P = std::min(std::max(period[i] * 10.0f, 1.0f), 5000.0f);
            const float v = std::min(std::max(loss[i], 0.0f), 1.0f);
            if (v != lastV)
            {
                lastV = v;
                g = v * kHz / (v * (kHz - 48.0f) + 48.0f);
            }
            const float r = std::min(std::max(reflection[i], -1.0f), 1.0f);
            P = qw::dwg::bilinear(lengths.data(), g * 1023.0f, (P - 1.0f) * toColumn);
            const float q =
                std::copysign(qw::dwg::bilinear(scales.data(), std::fabs(r) * 1023.0f, (P - 1.0f) * toColumn), r);
            envelope = gate[i] != 0.0f ? std::min(envelope + 0.005f, 1.0f) : std::max(envelope - 0.0005875f, 0.0f);
            const int k = int(P);
            const float f = P - float(k), c = (1.0f - f) / (1.0f + f);
            int i0 = w - k;
            if (i0 < 0)
                i0 += 5000;
            const int i1 = i0 == 0 ? 4999 : i0 - 1;
            const float y = c >= 0.9f ? line[size_t(i0)] : (line[size_t(i0)] - memory) * c + line[size_t(i1)];
            memory = y;
            out[i] = y;
            s = (s - y) * g + y;
            const float written = in[i] + s * (q * envelope);
            line[size_t(w)] = written;
            poison += written - written;
            if (++w == 5000)
                w = 0;
            quiet = std::fabs(y) < 1e-5f ? std::min(quiet + 1, 5000) : 0;
        }
        benchmark::DoNotOptimize(poison);
        benchmark::DoNotOptimize(quiet);
    });
}

// --- QW_DWG2: the pitch moving at audio rate around 0.5 V ---

float dwg2Pitch(int i)
{
    return 0.5f + 0.05f * std::sin(6.2831853f * float(i) / kBlock);
}

void moduleDWG2(benchmark::State& state)
{
    runModule(state, L"QW_DWG2", {{"Excitation", signal}, {"Pitch", dwg2Pitch}}, [](qwhost::Processor& p) {
        p.setBool(p.pin("On"), true);
        p.setConstant(p.pin("Gain"), 0.99f);
        p.setFloat(p.pin("Loss"), 1.0f);
    });
}

// Besides the arithmetic, the checks the module must make: the loop gain is
// an audio input (each sample clamped, its power taken again when it
// changes), positions before the start of the line are silent on the first
// pass, and what is written is watched for values that are not finite.
void bareDWG2(benchmark::State& state)
{
    static std::array<float, 4096> line{};
    float pitch[kBlock], gain[kBlock];
    for (int i = 0; i < kBlock; ++i)
    {
        pitch[i] = dwg2Pitch(i);
        gain[i] = 0.99f;
    }
    const float g = qw::fm::exp2Acc(qw::fm::log2Acc(0.1f) * (48000.0f / kRate));
    int w = 0;
    bool firstPass = true;
    float cached = -1.0f, L = 100.0f, old = 100.0f, fade = 0.0f, mNew = 0.0f, mOld = 0.0f, s = 0.0f;
    auto tap = [&](int k) { return firstPass && k > w ? 0.0f : line[size_t((w - k) & 4095)]; };
    auto read = [&](float len, float& m) {
        const int k = int(len);
        const float f = len - float(k), c = (1.0f - f) / (1.0f + f);
        const float A = tap(k);
        const float y = c > 0.9f ? A : c * (A - m) + tap(k + 1);
        m = y;
        return y;
    };
    runBare(state, [&](const float* in, float* out) {
        float lastA = -2.0f, G = 0.0f, poison = 0.0f;
        for (int i = 0; i < kBlock; ++i)
        {
            if (pitch[i] != cached && !(fade > 0.0f))
            {
                cached = pitch[i];
                const float P0 = (kRate / 440.0f) * qw::fm::exp2Acc(5.0f - 10.0f * pitch[i]);
                const float phi = qw::fm::atan2Turns(6.2831853f * g, (1.0f - g) * P0);
                old = L;
                mOld = mNew;
                mNew = 0.0f;
                fade = 1.0f;
                L = std::min(std::max(P0 - phi * P0, 2.0f), 4095.0f);
            }
            const float a = std::min(std::max(gain[i], -1.0f), 1.0f);
            if (a != lastA)
            {
                lastA = a;
                G = qw::fm::exp2Fast(0.1f * qw::fm::log2Fast(a));
            }
            float y = read(L, mNew);
            if (fade > 0.0f)
            {
                y = fade * read(old, mOld) + (1.0f - fade) * y;
                fade -= 500.0f / kRate;
            }
            s = (s - y) * g + y;
            const float written = G * s + in[i];
            line[size_t(w)] = written;
            poison += written - written;
            out[i] = y;
            w = (w + 1) & 4095;
            if (w == 0)
                firstPass = false;
        }
        benchmark::DoNotOptimize(poison);
    });
}

// --- QW_DWG's first open against a later one ---

void moduleDWGOpen(benchmark::State& state)
{
    for (auto _ : state)
    {
        qwhost::ProcessingHost host;
        host.sampleRate = kRate;
        auto p = host.create(signalkit(), L"QW_DWG");
        benchmark::DoNotOptimize(p.get());
    }
    state.SetItemsProcessed(state.iterations());
}

void bareDWGOpen(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    host.sampleRate = kRate;
    auto first = host.create(signalkit(), L"QW_DWG");
    for (auto _ : state)
    {
        auto p = host.create(signalkit(), L"QW_DWG");
        benchmark::DoNotOptimize(p.get());
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(moduleHaas);
BENCHMARK(bareHaas);
BENCHMARK(moduleHaas2);
BENCHMARK(bareHaas2);
BENCHMARK(moduleHaas2ST);
BENCHMARK(bareHaas2ST);
BENCHMARK(moduleLatency);
BENCHMARK(bareLatency);
BENCHMARK(moduleFracDelay);
BENCHMARK(bareFracDelay);
BENCHMARK(moduleDWG);
BENCHMARK(bareDWG);
BENCHMARK(moduleDWG2);
BENCHMARK(bareDWG2);
BENCHMARK(moduleDWGOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(bareDWGOpen)->Unit(benchmark::kMicrosecond);
} // namespace
