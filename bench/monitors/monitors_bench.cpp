// The monitor displays at 800 x 600 through their real OnRender on the
// drawing stand-in, one new frame or message per render (items are renders).
// moduleScopeFrame paints a 1470-point frame into the fading trace bitmap;
// bareScopeFrame fades the same bytes and sets the same pixels in a plain
// loop. moduleScope2Frame draws the frame as line segments; bareScope2Frame
// draws the same lines straight into a context. modulePlotterColumn shifts
// the chart one column and paints the new one; barePlotterColumn copies the
// rows one pixel left and writes the column in a plain loop.
#include "../bench_support.h"

#include "drawing/drawn_view.h"
#include "ui_host.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{
constexpr int kWidth = 800, kHeight = 600, kPoints = 1470;

// A frame of a 50 Hz sweep against a noisy sine, in signal units.
std::vector<float> frame()
{
    std::vector<float> xy(2 * kPoints);
    for (int i = 0; i < kPoints; ++i)
    {
        xy[2 * i] = 2.0f * std::fmod((i + 1) * 50.0f / 44100.0f, 1.0f) - 1.0f;
        xy[2 * i + 1] = 0.4f * std::sin(i * 0.05f) + 0.05f * qwbench::noise(i);
    }
    return xy;
}

std::vector<uint8_t> frameBlob()
{
    const auto xy = frame();
    std::vector<uint8_t> b(xy.size() * 4);
    std::memcpy(b.data(), xy.data(), b.size());
    return b;
}

// Renders of a display, `feed` run before each.
template <class Feed> void renders(benchmark::State& state, const wchar_t* id, Feed&& feed)
{
    qwhost::GuiHost host;
    qwhost::DrawingDesk desk(host);
    qwhost::DrawnView view(desk, qwbench::bundle("signalkit"), id);
    view.layOutAndRender(kWidth, kHeight);
    qwhost::drawing::Bitmap* target = desk.factory()->createBitmap(kWidth, kHeight);
    qwhost::drawing::DeviceContext* context = desk.factory()->createContext(target);
    auto& redraws = view.graphicsHost().redraws;
    for (auto _ : state)
    {
        feed(view.module());
        context->BeginDraw();
        benchmark::DoNotOptimize(view.graphics()->OnRender(context));
        context->EndDraw();
        redraws.clear();
    }
    context->release();
    target->release();
    state.SetItemsProcessed(state.iterations());
}

void moduleScopeFrame(benchmark::State& state)
{
    const auto blob = frameBlob();
    renders(state, L"QW_Oscilloscope", [&](qwhost::GuiModule& m) {
        m.setBlob(0, {});
        m.setBlob(0, blob);
    });
}

void bareScopeFrame(benchmark::State& state)
{
    const auto xy = frame();
    std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
    const uint8_t fade = 37; // 1470 points at persistence 1000
    for (auto _ : state)
    {
        for (auto& b : pixels)
            b = b > fade ? static_cast<uint8_t>(b - fade) : 0;
        for (int i = kPoints; i-- > 0;)
        {
            const float fx = (10.0f * xy[2 * i] / 6.0f + 1.0f) * 0.5f * (kWidth - 1);
            const float fy = (-10.0f * xy[2 * i + 1] / 6.0f + 1.0f) * 0.5f * (kHeight - 1);
            if (fx > -1.0f && fx < kWidth && fy > -1.0f && fy < kHeight)
            {
                uint8_t* p = pixels.data() + (static_cast<size_t>(fy) * kWidth + static_cast<size_t>(fx)) * 4;
                p[0] = 133, p[1] = 254, p[2] = 0, p[3] = 255;
            }
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(state.iterations());
}

void moduleScope2Frame(benchmark::State& state)
{
    const auto blob = frameBlob();
    renders(state, L"QW_Oscilloscope2", [&](qwhost::GuiModule& m) {
        m.setBlob(0, {});
        m.setBlob(0, blob);
    });
}

void bareScope2Frame(benchmark::State& state)
{
    const auto xy = frame();
    qwhost::GuiHost host;
    qwhost::DrawingDesk desk(host);
    qwhost::drawing::Bitmap* target = desk.factory()->createBitmap(kWidth, kHeight);
    qwhost::drawing::DeviceContext* context = desk.factory()->createContext(target);
    GmpiDrawing_API::MP1_COLOR c{0.0f, 1.0f, 0.43f, 1.0f};
    GmpiDrawing_API::IMpSolidColorBrush* brush = nullptr;
    context->CreateSolidColorBrush(&c, &brush);
    for (auto _ : state)
    {
        context->BeginDraw();
        for (int i = kPoints - 1; i > 0; --i)
        {
            auto at = [&](int k) {
                return GmpiDrawing_API::MP1_POINT{(10.0f * xy[2 * k] / 6.0f + 1.0f) * 0.5f * kWidth,
                                                  (-10.0f * xy[2 * k + 1] / 6.0f + 1.0f) * 0.5f * kHeight};
            };
            if (xy[2 * i] > xy[2 * i - 2])
            {
                c.a = static_cast<float>(i) / kPoints;
                brush->SetColor(&c);
                context->DrawLine(at(i), at(i - 1), brush, 1.0f, nullptr);
            }
        }
        context->EndDraw();
    }
    brush->release();
    context->release();
    target->release();
    state.SetItemsProcessed(state.iterations());
}

void modulePlotterColumn(benchmark::State& state)
{
    int n = 0;
    renders(state, L"QW_Plotter", [&](qwhost::GuiModule& m) {
        const float v = 0.5f * qwbench::noise(n++);
        const float msg[2] = {v - 0.2f, v + 0.2f};
        m.messageFromAudio(0, msg, 8);
    });
}

void barePlotterColumn(benchmark::State& state)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
    int n = 0;
    for (auto _ : state)
    {
        for (int y = 0; y < kHeight; ++y)
        {
            uint8_t* row = pixels.data() + static_cast<size_t>(y) * kWidth * 4;
            std::memmove(row, row + 4, (kWidth - 1) * 4);
        }
        const float v = 0.5f * qwbench::noise(n++);
        const int t = static_cast<int>(300.0f - (v + 0.2f) * 300.0f),
                  b = static_cast<int>(300.0f - (v - 0.2f) * 300.0f);
        for (int y = 0; y < kHeight; ++y)
        {
            uint8_t* p = pixels.data() + (static_cast<size_t>(y) * kWidth + kWidth - 1) * 4;
            const uint8_t a = y >= t && y <= b ? 128 : 0;
            p[0] = p[1] = p[2] = 0, p[3] = a;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(state.iterations());
}
} // namespace

BENCHMARK(moduleScopeFrame);
BENCHMARK(bareScopeFrame);
BENCHMARK(moduleScope2Frame);
BENCHMARK(bareScope2Frame);
BENCHMARK(modulePlotterColumn);
BENCHMARK(barePlotterColumn);
