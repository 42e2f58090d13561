// Smoothing 1,000,000 frames at the widest width (1024: 4099 taps a frame).
// moduleSmooth triggers QW_S2_SmoothSample through its real interface pins,
// editing its own result in place after the first time; bareSmooth is the
// same sum as a plain loop over the module's taps, stopping at the sample's
// ends.
// Items are frames; one iteration is one edit on the interface thread.
#include "../bench_support.h"

#include "WavFile32.h"
#include "edit_maths.h"
#include "mp_sdk_common.h"
#include "ui_host.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
constexpr int kFrames = 1000000;
constexpr int kWidth = 1024;

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

// The frames as the bundle's file loader publishes them, from a file written
// for the purpose; the loader stays alive, so the frames do.
std::vector<uint8_t> descriptor(qwhost::ProcessingHost& host, std::unique_ptr<qwhost::Processor>& loader)
{
    const auto dir = std::filesystem::temp_directory_path() / ("qw-smooth-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "noise.wav").string();
    qw::WavFile32 w;
    w.setChannel(0, kFrames, frames().data());
    w.sampleRate = 44100;
    w._saveWav(gmpi_sdk::fromUtf8(path), 32);
    host.autoDuplicateCount = 1;
    loader = host.create(qwbench::bundle("samplekit2"), L"QW_S2_SampleLoaderDSP");
    loader->startGraph();
    loader->setText(loader->pin("File"), gmpi_sdk::fromUtf8(path));
    loader->run(1);
    std::filesystem::remove_all(dir);
    std::vector<uint8_t> d;
    for (auto& u : loader->updates)
        if (u.pin == loader->pin("Channel"))
            d = u.data;
    return d;
}

void moduleSmooth(benchmark::State& state)
{
    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> loader;
    const std::vector<uint8_t> sample = descriptor(host, loader);
    if (sample.size() != 24)
    {
        state.SkipWithError("the file loader sent no sample");
        return;
    }
    qwhost::GuiHost gui;
    auto g = gui.create(qwbench::bundle("samplekit2"), L"QW_S2_SmoothSample");
    g->setBlob(g->pin("Sample"), sample);
    g->setInt(g->pin("Width"), kWidth);
    const int trigger = g->pin("Trigger");
    for (auto _ : state)
    {
        g->setBool(trigger, true);
        g->setBool(trigger, false);
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void bareSmooth(benchmark::State& state)
{
    std::vector<float> x = frames();
    float step;
    const std::vector<float> taps = qw::edit::smoothTaps(kWidth, step);
    const int reach = static_cast<int>(taps.size() / 2);
    std::vector<float> out(kFrames);
    for (auto _ : state)
    {
        for (int i = 0; i < kFrames; ++i)
        {
            float sum = 0.0f;
            const int from = std::max(i - reach, 0), to = std::min(i + reach, kFrames - 1);
            for (int k = from; k <= to; ++k)
                sum += taps[static_cast<size_t>(k - i + reach)] * x[static_cast<size_t>(k)];
            out[static_cast<size_t>(i)] = sum * step;
        }
        x.swap(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
} // namespace

BENCHMARK(moduleSmooth)->Unit(benchmark::kMillisecond);
BENCHMARK(bareSmooth)->Unit(benchmark::kMillisecond);
