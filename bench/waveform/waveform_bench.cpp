// The waveform view with a 10,000,000-frame sample at 1000 x 200, through the
// older sample display's real OnRender (which shares the view with the
// display-editors): a rebuild of the waveform layer, where the column walk
// reads every frame once and the stand-in draws the two paths, beside a bare
// minimum and maximum loop over the same frames and columns; the walk alone;
// and a redraw from the cached layers, against the 16.7 ms of a frame.
// Items of the rebuilds and walks are frames.
#include "../bench_support.h"
#include "drawing/drawn_view.h"
#include "ui_host.h"
#include "waveform_walk.h"

#include <cstring>
#include <vector>

namespace
{
constexpr int kWidth = 1000, kHeight = 200;
constexpr int64_t kFrames = 10000000;

const std::vector<float>& frames()
{
    static const std::vector<float> f = [] {
        std::vector<float> v(static_cast<size_t>(kFrames));
        for (int64_t i = 0; i < kFrames; ++i)
            v[static_cast<size_t>(i)] = qwbench::noise(static_cast<int>(i)) * 0.7f;
        return v;
    }();
    return f;
}

// The display with the sample, laid out and drawn once.
struct Display
{
    qwhost::GuiHost host;
    qwhost::DrawingDesk desk{host};
    qwhost::DrawnView view{desk, qwbench::bundle("samplekit"), L"QW_SampleDisplay"};
    qwhost::drawing::Bitmap* target = nullptr;
    qwhost::drawing::DeviceContext* context = nullptr;

    Display()
    {
        auto& m = view.module();
        std::vector<uint8_t> bytes(frames().size() * sizeof(float));
        std::memcpy(bytes.data(), frames().data(), bytes.size());
        m.setBlob(m.pin("Sample"), bytes);
        view.layOutAndRender(kWidth, kHeight);
        target = desk.factory()->createBitmap(kWidth, kHeight);
        context = desk.factory()->createContext(target);
    }
    ~Display()
    {
        context->release();
        target->release();
    }
    int32_t render()
    {
        context->BeginDraw();
        const int32_t r = view.graphics()->OnRender(context);
        context->EndDraw();
        view.graphicsHost().redraws.clear();
        return r;
    }
};

void moduleWaveformRebuild(benchmark::State& state)
{
    Display d;
    auto& m = d.view.module();
    const int range = m.pin("Y Range");
    float r = 10.0f;
    for (auto _ : state)
    {
        // A new vertical range drops the waveform layer only.
        r = r == 10.0f ? 10.5f : 10.0f;
        m.setFloat(range, r);
        benchmark::DoNotOptimize(d.render());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void bareWaveformRebuild(benchmark::State& state)
{
    const float* f = frames().data();
    std::vector<float> lo(kWidth), hi(kWidth);
    for (auto _ : state)
    {
        int64_t from = 0;
        for (int c = 1; c <= kWidth; ++c)
        {
            const int64_t to = kFrames * c / kWidth;
            float mn = f[from], mx = f[from];
            for (int64_t i = from; i < to; ++i)
            {
                mn = f[i] < mn ? f[i] : mn;
                mx = f[i] > mx ? f[i] : mx;
            }
            lo[static_cast<size_t>(c - 1)] = mn;
            hi[static_cast<size_t>(c - 1)] = mx;
            from = to;
        }
        benchmark::DoNotOptimize(lo.data());
        benchmark::DoNotOptimize(hi.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void walkWaveformColumns(benchmark::State& state)
{
    std::vector<qw::wave::Column> columns(kWidth);
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(qw::wave::walkColumns(frames().data(), 0, kFrames, kWidth, columns.data(), kWidth));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

// Nothing changed: the cached layers copied, the zero line drawn.
void moduleWaveformRedraw(benchmark::State& state)
{
    Display d;
    for (auto _ : state)
        benchmark::DoNotOptimize(d.render());
    state.SetItemsProcessed(state.iterations());
}
} // namespace

BENCHMARK(moduleWaveformRebuild)->Unit(benchmark::kMillisecond);
BENCHMARK(bareWaveformRebuild)->Unit(benchmark::kMillisecond);
BENCHMARK(walkWaveformColumns)->Unit(benchmark::kMillisecond);
BENCHMARK(moduleWaveformRedraw)->Unit(benchmark::kMicrosecond);
