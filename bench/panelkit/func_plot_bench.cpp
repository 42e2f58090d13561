// QW_FuncPlotDuo rendering two formulas at 1000 x 500 through its real
// OnRender (background, grid and two 1000-point curves), against the bare
// 2000 evaluations of the same formulas by two parsers: the ratio is what the
// drawing adds to the arithmetic. Items are renders (evaluation passes).
#include "bundle.h"
#include "drawing/drawn_view.h"
#include "qw_formula.h"
#include "ui_host.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{
constexpr int kWidth = 1000, kHeight = 500;
const char* const kFormulas[2] = {"sin(x*a)+b*x", "x*x*c-d"};

void moduleFuncPlotDuo(benchmark::State& state)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/panelkit.so");
    qwhost::GuiHost host;
    qwhost::DrawingDesk desk(host);
    qwhost::DrawnView view(desk, bundle, L"QW_FuncPlotDuo");
    auto& m = view.module();
    m.setText(m.pin("Formula 1"), L"sin(x*a)+b*x");
    m.setText(m.pin("Formula 2"), L"x*x*c-d");
    for (auto [pin, v] : {std::pair{"A", 3.0f},
                          {"B", 0.1f},
                          {"C", 0.2f},
                          {"D", 1.0f},
                          {"X min", -3.2f},
                          {"X max", 3.2f},
                          {"Y min", -1.2f},
                          {"Y max", 1.2f}})
        m.setFloat(m.pin(pin), v);
    view.layOutAndRender(kWidth, kHeight);

    qwhost::drawing::Bitmap* target = desk.factory()->createBitmap(kWidth, kHeight);
    qwhost::drawing::DeviceContext* context = desk.factory()->createContext(target);
    for (auto _ : state)
    {
        context->BeginDraw();
        benchmark::DoNotOptimize(view.graphics()->OnRender(context));
        context->EndDraw();
        view.graphicsHost().redraws.clear();
    }
    context->release();
    target->release();
    state.SetItemsProcessed(state.iterations());
}

void bareFuncPlotDuo(benchmark::State& state)
{
    qw::FormulaParser parsers[2];
    for (int k = 0; k < 2; ++k)
    {
        parsers[k].setFormula(kFormulas[k]);
        for (auto [name, v] : {std::pair{"a", 3.0f}, {"b", 0.1f}, {"c", 0.2f}, {"d", 1.0f}})
            parsers[k].setVar(name, v);
    }
    const float dx = 6.4f / (kWidth - 1);
    for (auto _ : state)
        for (auto& p : parsers)
            for (int i = 0; i < kWidth; ++i)
            {
                float r = 0.0f;
                p.setVar("x", static_cast<float>(i) * dx - 3.2f);
                p.evaluate(&r);
                benchmark::DoNotOptimize(r);
            }
    state.SetItemsProcessed(state.iterations());
}
} // namespace

BENCHMARK(moduleFuncPlotDuo);
BENCHMARK(bareFuncPlotDuo);
