// One render of a drawn control at 1000 x 40 (the jog knobs at 200 x 200)
// through its real OnRender, on
// the drawing stand-in. moduleX draws as the control does, copying its
// background from the bitmap cached at the first render; bareX is the same
// render with the cache dropped before each one (by running a colour pin's
// handler), so the background is drawn anew every time. Items are renders.
#include "bundle.h"
#include "drawing/drawn_view.h"
#include "ui_host.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{
constexpr int kWidth = 1000, kHeight = 40;

void renders(benchmark::State& state, const wchar_t* id, const char* colourPin, bool rebuild, int width = kWidth,
             int height = kHeight)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/panelkit.so");
    qwhost::GuiHost host;
    qwhost::DrawingDesk desk(host);
    qwhost::DrawnView view(desk, bundle, id);
    if (std::wstring(id) == L"QW_ScrollBar2")
        view.module().setInt(view.module().pin("Offset"), 45);
    else if (view.module().info().pinIndex("Value") >= 0)
        view.module().setFloat(view.module().pin("Value"), 0.5f);
    view.layOutAndRender(width, height);
    const int colour = view.module().pin(colourPin);

    qwhost::drawing::Bitmap* target = desk.factory()->createBitmap(width, height);
    qwhost::drawing::DeviceContext* context = desk.factory()->createContext(target);
    auto& redraws = view.graphicsHost().redraws;
    for (auto _ : state)
    {
        if (rebuild)
            view.module().notifyPin(colour);
        context->BeginDraw();
        benchmark::DoNotOptimize(view.graphics()->OnRender(context));
        context->EndDraw();
        redraws.clear(); // the requests would pile up otherwise
    }
    context->release();
    target->release();
    state.SetItemsProcessed(state.iterations());
}

void moduleScrollBar2(benchmark::State& state)
{
    renders(state, L"QW_ScrollBar2", "Background Fill Colour", false);
}
void bareScrollBar2(benchmark::State& state)
{
    renders(state, L"QW_ScrollBar2", "Background Fill Colour", true);
}
void moduleVecSlider(benchmark::State& state)
{
    renders(state, L"QW_VecSlider", "Groove Fill Colour", false);
}
void bareVecSlider(benchmark::State& state)
{
    renders(state, L"QW_VecSlider", "Groove Fill Colour", true);
}
// The jog wheel at 200 x 200: its body and cap copied from their bitmaps, or
// both drawn anew (gradients and discs) before each render.
void moduleJogWheel(benchmark::State& state)
{
    renders(state, L"QW_VecJogShuttleS", "Body Colour", false, 200, 200);
}
void bareJogWheel(benchmark::State& state)
{
    renders(state, L"QW_VecJogShuttleS", "Body Colour", true, 200, 200);
}
// The jog shuttle likewise, at 200 x 200.
void moduleJogShuttle2(benchmark::State& state)
{
    renders(state, L"QW_VecJogShuttle2", "Body Colour", false, 200, 200);
}
void bareJogShuttle2(benchmark::State& state)
{
    renders(state, L"QW_VecJogShuttle2", "Body Colour", true, 200, 200);
}
} // namespace

BENCHMARK(moduleJogWheel);
BENCHMARK(bareJogWheel);
BENCHMARK(moduleJogShuttle2);
BENCHMARK(bareJogShuttle2);
BENCHMARK(moduleScrollBar2);
BENCHMARK(bareScrollBar2);
BENCHMARK(moduleVecSlider);
BENCHMARK(bareVecSlider);
