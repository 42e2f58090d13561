// Cost per output sample of each interpolating reader, through the sample
// oscillator's process call (looping a noise sample, blocks of 64, no events)
// beside a bare loop of the same reader over the same frames. Arguments: the
// interpolation code and 100 x the increment (frames per output sample). At
// an increment of 16 the kernel is at its widest stretch, so 64 costs the
// same (shown for the 8-crossing sinc). Compare moduleSampleOsc with
// bareSampleOsc of the same arguments.
#include "../bench_support.h"
#include "loaded_sample.h"
#include "mp_sdk_common.h"
#include "processing_host.h"
#include "resamp.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
constexpr int kBlock = 64;
constexpr float kRate = 48000.0f;
constexpr int kFrames = 48000;

const std::vector<float>& frames()
{
    static const std::vector<float> x = [] {
        std::vector<float> v(kFrames);
        for (int i = 0; i < kFrames; ++i)
            v[static_cast<size_t>(i)] = qwbench::noise(i);
        return v;
    }();
    return x;
}

// The frames as a sample descriptor (the loader keeps them for the whole run).
const std::vector<uint8_t>& descriptor()
{
    static const std::vector<uint8_t> bytes = qwbench::loadedSample(frames(), static_cast<int>(kRate));
    return bytes;
}

double incrementOf(const benchmark::State& state)
{
    return static_cast<double>(state.range(1)) / 100.0;
}

void moduleSampleOsc(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    host.record = false;
    host.sampleRate = kRate;
    host.blockSize = kBlock;
    auto p = host.create(qwbench::bundle("samplekit2"), L"QW_S2_SampleOsc");
    p->startGraph(0);
    const auto& d = descriptor();
    p->setBlob(p->pin("Sample"), d);
    p->setInt(p->pin("Mode"), 1); // loop over the whole sample
    p->setInt(p->pin("Interpolation"), static_cast<int>(state.range(0)));
    // At 5 V and root 440 Hz the increment is the sample's rate over the host's.
    p->setFloat(p->pin("Sample Rate"), static_cast<float>(incrementOf(state) * kRate));
    p->setConstant(p->pin("Pitch"), 0.5f);
    p->setBool(p->pin("Gate"), true);
    p->run(kBlock);
    qwbench::timeProcess(state, *p, kBlock);
}

// The reader of the code over the same frames, looping them at the same
// increment, with nothing around it.
void bareSampleOsc(benchmark::State& state)
{
    const double inc = incrementOf(state);
    const float w = qw::resamp::stretch(inc);
    const float* x = frames().data();
    float out[kBlock];
    double pos = 0.0;
    qw::resamp::withReader(static_cast<int>(state.range(0)), [&](auto reader) {
        using R = decltype(reader);
        for (auto _ : state)
        {
            for (int k = 0; k < kBlock; ++k)
            {
                int i;
                float frac;
                qw::resamp::split(pos, i, frac);
                out[k] = R::looped(x, kFrames, i, frac, w);
                pos += inc;
                if (pos >= kFrames)
                    pos -= kFrames;
            }
            benchmark::DoNotOptimize(out[kBlock - 1]);
            benchmark::ClobberMemory();
        }
    });
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void readerArguments(benchmark::internal::Benchmark* b)
{
    for (int code = 0; code <= 4; ++code)
        for (int inc : {50, 100, 400, 1600})
            b->Args({code, inc});
    b->Args({4, 6400});
}

BENCHMARK(moduleSampleOsc)->Apply(readerArguments);
BENCHMARK(bareSampleOsc)->Apply(readerArguments);
} // namespace
