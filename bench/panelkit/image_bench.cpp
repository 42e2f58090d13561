// QW_Image's hit test, which the host calls on every pointer move, on a
// 10-frame 256 x 2560 strip at frame 5: through the module's real hitTest,
// which locks the bitmap's pixels for each call, beside a bare read of the
// same pixel's alpha from the bitmap locked once. moduleImageHit tests an
// opaque pixel (the module then pulses its hit pin through the host);
// moduleImageMiss a clear one (below the alpha threshold). Items are hit
// tests.
#include "Drawing.h"
#include "drawing/drawn_view.h"
#include "ui_host.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;
constexpr int kWidth = 256, kFrame = 256, kFrames = 10;
// Frame 5 at position 0.5 (truncate(0.5 x 9 + 0.5)); opaque left half, clear right half.
constexpr float kPosition = 0.5f;
constexpr GmpiDrawing_API::MP1_POINT kOpaque{64.5f, 100.5f}, kClear{200.5f, 100.5f};

// The strip and its metadata in a folder of their own for the process's length.
struct Strip
{
    fs::path folder = fs::temp_directory_path() / ("qw_image_bench_" + std::to_string(::getpid()));
    Strip()
    {
        fs::create_directories(folder);
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kFrame * kFrames);
        cairo_surface_flush(s);
        uint8_t* data = cairo_image_surface_get_data(s);
        const int stride = cairo_image_surface_get_stride(s);
        for (int y = 0; y < kFrame * kFrames; ++y)
            for (int x = 0; x < kWidth; ++x)
            {
                const uint32_t grey = static_cast<uint32_t>(20 * (y / kFrame) + 30);
                const uint32_t v = x < kWidth / 2 ? 0xFF000000u | grey << 16 | grey << 8 | grey : 0u;
                std::memcpy(data + y * stride + 4 * x, &v, 4);
            }
        cairo_surface_mark_dirty(s);
        cairo_surface_write_to_png(s, (folder / "strip.png").c_str());
        cairo_surface_destroy(s);
        std::ofstream(folder / "strip.txt") << "type knob\nframe_size 256 256\n";
    }
    ~Strip()
    {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    static Strip& get()
    {
        static Strip strip;
        return strip;
    }
};

void moduleHitTests(benchmark::State& state, GmpiDrawing_API::MP1_POINT point, int32_t expected)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/panelkit.so");
    qwhost::GuiHost host;
    host.resourceFolder = Strip::get().folder.string();
    qwhost::DrawingDesk desk(host);
    qwhost::DrawnView view(desk, bundle, L"QW_Image");
    qwhost::GuiModule& m = view.module();
    m.setText(m.pin("Image"), L"strip.png");
    m.setFloat(m.pin("Animation Position"), kPosition);
    view.layOutAndRender(kWidth, kFrame);
    if (view.hitTest(point) != expected)
        state.SkipWithError("the hit test does not answer as expected");
    int64_t n = 0;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(view.hitTest(point));
        if ((++n & 1023) == 0)
            m.transmits.clear(); // the host's record of the hit pulses
    }
    state.SetItemsProcessed(state.iterations());
}

void moduleImageHit(benchmark::State& state)
{
    moduleHitTests(state, kOpaque, 0);
}
void moduleImageMiss(benchmark::State& state)
{
    moduleHitTests(state, kClear, -1);
}

// The same pixel's alpha against the threshold, from a bitmap locked once.
void bareImageHit(benchmark::State& state)
{
    qwhost::GuiHost host;
    qwhost::DrawingDesk desk(host);
    GmpiDrawing::Factory factory(desk.factory());
    const GmpiDrawing::Bitmap bitmap = factory.LoadImageU((Strip::get().folder / "strip.png").string());
    const GmpiDrawing::BitmapPixels pixels = bitmap.lockPixels(GmpiDrawing::BitmapLockFlags::Read);
    const uint8_t* data = pixels.getAddress();
    if (!data)
    {
        state.SkipWithError("the strip did not load");
        return;
    }
    const int64_t bytesPerRow = pixels.getBytesPerRow();
    const int64_t x = static_cast<int64_t>(kOpaque.x), y = static_cast<int64_t>(kOpaque.y) + 5 * kFrame;
    uint32_t threshold = 1;
    benchmark::DoNotOptimize(threshold);
    for (auto _ : state)
    {
        uint32_t pixel;
        std::memcpy(&pixel, data + y * bytesPerRow + 4 * x, 4);
        benchmark::DoNotOptimize((pixel >> 24) >= threshold);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
} // namespace

BENCHMARK(moduleImageHit);
BENCHMARK(moduleImageMiss);
BENCHMARK(bareImageHit);
