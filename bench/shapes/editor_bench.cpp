// The shape editor at 1000 x 400 on the drawing stand-in, through its real
// OnRender. moduleShapeEditorForeground rebuilds the foreground of a 100-node
// natural-spline shape every time (a new shape each render: table, curve and
// fill paths, nodes); bareShapeEditorForeground renders the same table and
// works out the same per-column points with nothing around them.
// moduleShapeEditorDrag drags one node up and down, a render after each move.
// moduleShapeEditorRedraw draws the unchanged editor (two bitmap copies);
// bareShapeEditorRedraw makes the same two copies itself. Items are renders.
#include "bundle.h"
#include "drawing/drawn_view.h"
#include "qw_shape.h"
#include "ui_host.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr int kWidth = 1000, kHeight = 400;
constexpr float kBorder = 0.035f;

// 100 nodes along a wave; `phase` moves the y values.
qw::Shape wave(float phase)
{
    qw::Shape s;
    s.count = 100;
    for (int i = 0; i < 100; ++i)
        s.nodes[i] = {i / 99.0f, 0.8f * std::sin(0.3f * i + phase)};
    s.itp = qw::Shape::kItpNaturalSpline;
    return s;
}

std::vector<uint8_t> blobOf(const qw::Shape& s)
{
    const auto* p = static_cast<const uint8_t*>(s.blobData());
    return std::vector<uint8_t>(p, p + s.blobSize());
}

void renders(benchmark::State& state, bool rebuild)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/shapekit.so");
    qwhost::GuiHost host;
    qwhost::DrawingDesk desk(host);
    qwhost::DrawnView view(desk, bundle, L"QW_ShapeEditor6");
    auto& m = view.module();
    m.setInt(m.pin("Interpolation"), 30);
    const std::vector<uint8_t> shapes[2] = {blobOf(wave(0.0f)), blobOf(wave(0.5f))};
    m.setBlob(m.pin("Shape"), shapes[0]);
    view.layOutAndRender(kWidth, kHeight);

    qwhost::drawing::Bitmap* target = desk.factory()->createBitmap(kWidth, kHeight);
    qwhost::drawing::DeviceContext* context = desk.factory()->createContext(target);
    auto& redraws = view.graphicsHost().redraws;
    int k = 0;
    for (auto _ : state)
    {
        if (rebuild)
            m.setBlob(m.pin("Shape"), shapes[++k & 1]);
        context->BeginDraw();
        benchmark::DoNotOptimize(view.graphics()->OnRender(context));
        context->EndDraw();
        redraws.clear();
    }
    context->release();
    target->release();
    state.SetItemsProcessed(state.iterations());
}

void moduleShapeEditorForeground(benchmark::State& state)
{
    renders(state, true);
}

void bareShapeEditorForeground(benchmark::State& state)
{
    // The editor's mapping of a 1000 x 400 area with a 3.5 % margin.
    const float w = (1 - 2 * kBorder) * kWidth - 1, h = (1 - 2 * kBorder) * kHeight - 1;
    const float left = kBorder * kWidth, ay = -0.5f * h, by = kBorder * kHeight + 0.5f * h;
    const int columns = static_cast<int>(std::floor(w + 1));
    const qw::Shape shapes[2] = {wave(0.0f), wave(0.5f)};
    qw::Shape::Interpolator it(columns);
    std::vector<float> xs(static_cast<size_t>(columns)), ys(static_cast<size_t>(columns));
    int k = 0;
    for (auto _ : state)
    {
        std::memcpy(&it.shape, &shapes[++k & 1], sizeof(qw::Shape));
        it.shape.changed = 1;
        it.render();
        for (int i = 0; i < columns; ++i)
        {
            float v = it.table[static_cast<size_t>(i)];
            v = v < -1.0f ? -1.0f : (v > 1.0f ? 1.0f : v);
            xs[static_cast<size_t>(i)] = left + static_cast<float>(i);
            ys[static_cast<size_t>(i)] = ay * v + by;
        }
        benchmark::DoNotOptimize(ys.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

// A node of the 100 dragged up and down by the pointer, one move a render:
// the foreground follows the drag.
void moduleShapeEditorDrag(benchmark::State& state)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/shapekit.so");
    qwhost::GuiHost host;
    qwhost::DrawingDesk desk(host);
    qwhost::DrawnView view(desk, bundle, L"QW_ShapeEditor6");
    auto& m = view.module();
    m.setInt(m.pin("Interpolation"), 30);
    m.setBool(m.pin("Editable"), true);
    const qw::Shape s = wave(0.0f);
    m.setBlob(m.pin("Shape"), blobOf(s));
    view.layOutAndRender(kWidth, kHeight);

    // Node 50 in pixels, by the editor's mapping of 1000 x 400 with a 3.5 % margin.
    const float w = (1 - 2 * kBorder) * kWidth - 1, h = (1 - 2 * kBorder) * kHeight - 1;
    const float x = kBorder * kWidth + w * s.nodes[50].x, y = kBorder * kHeight + 0.5f * h * (1 - s.nodes[50].y);
    constexpr int32_t kLeft = 0x10; // the left button
    view.pointerDown(kLeft, {x, y});
    m.deliverEchoes();
    qwhost::drawing::Bitmap* target = desk.factory()->createBitmap(kWidth, kHeight);
    qwhost::drawing::DeviceContext* context = desk.factory()->createContext(target);
    auto& redraws = view.graphicsHost().redraws;
    int k = 0;
    for (auto _ : state)
    {
        view.pointerMove(kLeft, {x, y + ((++k & 1) ? 20.0f : 0.0f)});
        m.deliverEchoes();
        context->BeginDraw();
        benchmark::DoNotOptimize(view.graphics()->OnRender(context));
        context->EndDraw();
        redraws.clear();
    }
    view.pointerUp(kLeft, {x, y});
    context->release();
    target->release();
    state.SetItemsProcessed(state.iterations());
}

void moduleShapeEditorRedraw(benchmark::State& state)
{
    renders(state, false);
}

void bareShapeEditorRedraw(benchmark::State& state)
{
    qwhost::GuiHost host;
    qwhost::DrawingDesk desk(host);
    auto* f = desk.factory();
    qwhost::drawing::Bitmap* layers[2] = {f->createBitmap(kWidth, kHeight), f->createBitmap(kWidth, kHeight)};
    qwhost::drawing::Bitmap* target = f->createBitmap(kWidth, kHeight);
    qwhost::drawing::DeviceContext* context = f->createContext(target);
    const GmpiDrawing_API::MP1_RECT r{0, 0, kWidth, kHeight};
    for (auto _ : state)
    {
        context->BeginDraw();
        for (auto* b : layers)
            context->DrawBitmap(b, &r, 1.0f, 1, &r);
        context->EndDraw();
    }
    context->release();
    target->release();
    for (auto* b : layers)
        b->release();
    state.SetItemsProcessed(state.iterations());
}
} // namespace

BENCHMARK(moduleShapeEditorForeground);
BENCHMARK(bareShapeEditorForeground);
BENCHMARK(moduleShapeEditorDrag);
BENCHMARK(moduleShapeEditorRedraw);
BENCHMARK(bareShapeEditorRedraw);
