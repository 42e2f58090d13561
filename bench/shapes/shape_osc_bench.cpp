// QW_ShapeOsc2 at block 64 with 1, 4 and 32 table steps a sample, its pitch
// held or streaming, beside a bare loop of the same table reads; and
// QW_ShapeMorpher2 morphing two 100-node shapes per position change beside a
// bare loop of the same node arithmetic.
#include "../bench_support.h"
#include "bundle.h"
#include "processing_host.h"
#include "qw_shape.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{
std::shared_ptr<qwhost::Bundle> shapekit()
{
    return qwbench::bundle("shapekit");
}

constexpr int kBlock = 64;

// args: oversampling exponent, pitch streaming (0 held, 1 audio rate)
void moduleShapeOsc(benchmark::State& state)
{
    const int e = static_cast<int>(state.range(0));
    const bool audioRate = state.range(1) != 0;
    qwhost::ProcessingHost host;
    host.record = false;
    host.sampleRate = 48000;
    host.blockSize = kBlock;
    auto p = host.create(shapekit(), L"QW_ShapeOsc2");
    p->startGraph();
    p->setInt(p->pin("Oversampling"), e);
    p->setInt(p->pin("Law"), 0);
    const int pitch = p->pin("Pitch");
    if (audioRate)
        p->setStreaming(pitch, true);
    else
        p->setConstant(pitch, 44.1f);
    p->setBool(p->pin("On"), true);
    float* in = p->input(pitch);
    for (int i = 0; i < kBlock; ++i)
        in[i] = 40.0f + 0.1f * static_cast<float>(i);
    p->run(kBlock);
    auto* plugin = p->plugin();
    for (auto _ : state)
        plugin->process(kBlock, nullptr);
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void bareShapeOsc(benchmark::State& state)
{
    const int k = 1 << state.range(0);
    const bool audioRate = state.range(1) != 0;
    float table[257];
    for (int i = 0; i < 256; ++i)
        table[i] = -0.5f + static_cast<float>(i) / 255.0f;
    table[256] = table[0];
    float pitch[kBlock], out[kBlock];
    for (int i = 0; i < kBlock; ++i)
        pitch[i] = 40.0f + 0.1f * static_cast<float>(i);
    // The module's increment: Hz limited to 0 .. a quarter of the rate
    // (the module must, for any input), times points per Hz and 1 / k.
    const float pointsPerHz = 256.0f / 48000.0f, maxHz = 0.25f * 48000.0f;
    const float invSteps = 1.0f / static_cast<float>(k);
    const auto increment = [&](float hz) { return (hz < 0.0f ? 0.0f : std::min(hz, maxHz)) * pointsPerHz * invSteps; };
    float phase = 0.0f;
    float inc = increment(441.0f);
    for (auto _ : state)
    {
        for (int s = 0; s < kBlock; ++s)
        {
            if (audioRate)
                inc = increment((pitch[s] == pitch[s] ? pitch[s] : 0.0f) * 10.0f); // NaN counts as 0
            float sum = 0.0f;
            for (int j = 0; j < k; ++j)
            {
                const int i = static_cast<int>(phase);
                const float f = phase - static_cast<float>(i);
                sum += table[i] + f * (table[i + 1] - table[i]);
                phase += inc;
                if (phase >= 256.0f)
                    phase -= 256.0f;
            }
            out[s] = sum * invSteps;
        }
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

std::vector<uint8_t> blobOf(const qw::Shape& s)
{
    const auto* b = static_cast<const uint8_t*>(s.blobData());
    return {b, b + s.blobSize()};
}

qw::Shape hundredNodes(float phase)
{
    qw::Shape s;
    std::vector<qw::Shape::Node> n(100);
    for (int i = 0; i < 100; ++i)
        n[static_cast<size_t>(i)] = {i == 99 ? 1.0f : static_cast<float>(i) / 99.0f,
                                     std::sin(phase + 0.1f * static_cast<float>(i))};
    s._importNodes(n.data(), 100);
    return s;
}

// items: position changes, each a morph and a send. Each reaches the module
// as from a host whose event list is ready: one pin event written, then the
// process call of a one-sample block (as the other module benchmarks call
// process directly, without the test host's event queue).
void moduleShapeMorph(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    host.record = false;
    host.blockSize = 1;
    host.autoDuplicateCount = 2;
    auto p = host.create(shapekit(), L"QW_ShapeMorpher2");
    p->startGraph();
    p->setBlob(2, blobOf(hundredNodes(0.0f)));
    p->setBlob(3, blobOf(hundredNodes(1.0f)));
    p->run(1);
    gmpi::IMpPlugin2* plugin = p->plugin();
    gmpi::MpEvent position{};
    position.eventType = gmpi::EVENT_PIN_SET;
    position.parm1 = 1;
    position.parm2 = 4;
    const int64_t sentBefore = p->updateCount;
    float t = 0.0f;
    for (auto _ : state)
    {
        t = t >= 0.99f ? 0.01f : t + 0.01f;
        std::memcpy(&position.parm3, &t, 4);
        plugin->process(1, &position);
    }
    if (p->updateCount - sentBefore != static_cast<int64_t>(state.iterations()))
        state.SkipWithError("the module did not send once per position change");
    state.SetItemsProcessed(state.iterations());
}

void bareShapeMorph(benchmark::State& state)
{
    const qw::Shape a = hundredNodes(0.0f), b = hundredNodes(1.0f);
    qw::Shape out;
    float t = 0.0f;
    for (auto _ : state)
    {
        t = t >= 0.99f ? 0.01f : t + 0.01f;
        // Equal counts: node by node, x on the x + 1 grid, kept while it
        // rises; a node that reached x = 1 (x + 1 >= 2) ends the shape there,
        // as the module must see.
        const float wa = 1.0f - t, wb = t;
        out.nodes[0] = {0.0f, wa * a.nodes[0].y + wb * b.nodes[0].y};
        int n = 1;
        float last = 1.0f;
        for (int i = 1; i < 99; ++i)
        {
            const float v = wa * a.nodes[i].x + wb * b.nodes[i].x + 1.0f;
            if (v > last)
            {
                out.nodes[n++] = {v - 1.0f, wa * a.nodes[i].y + wb * b.nodes[i].y};
                last = v;
            }
        }
        if (last < 2.0f)
            out.nodes[n++] = {1.0f, wa * a.nodes[99].y + wb * b.nodes[99].y};
        out.count = n;
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
} // namespace

BENCHMARK(moduleShapeOsc)->ArgsProduct({{0, 2, 5}, {0, 1}});
BENCHMARK(bareShapeOsc)->ArgsProduct({{0, 2, 5}, {0, 1}});
BENCHMARK(moduleShapeMorph);
BENCHMARK(bareShapeMorph);
