// The formula plots rendering at 1000 x 500 through their real OnRender
// (background, grid and one 1000-point curve per formula), against the bare
// 1000 evaluations per formula by parsers of their own: the ratio is what the
// drawing adds to the arithmetic. Items are renders (evaluation passes).
#include "bundle.h"
#include "drawing/drawn_view.h"
#include "qw_formula.h"
#include "ui_host.h"

#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr int kWidth = 1000, kHeight = 500;
using Values = std::vector<std::pair<const char*, float>>;
const Values kParameters = {{"a", 3.0f}, {"b", 0.1f}, {"c", 0.2f}, {"d", 1.0f}};

// Renders a plot whose formula pins and parameter pins (named "A", "B", ...
// for the formula's a, b, ...) take these values, over x -3.2 .. 3.2 and y
// -1.2 .. 1.2 (on the range pins named).
void renders(benchmark::State& state, const wchar_t* id,
             const std::vector<std::pair<const char*, const wchar_t*>>& formulas, int parameters,
             const char* const range[4])
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/panelkit.so");
    qwhost::GuiHost host;
    qwhost::DrawingDesk desk(host);
    qwhost::DrawnView view(desk, bundle, id);
    auto& m = view.module();
    for (auto& [pin, text] : formulas)
        m.setText(m.pin(pin), text);
    for (int i = 0; i < parameters; ++i)
        m.setFloat(m.pin(std::string(1, static_cast<char>('A' + i))), kParameters[i].second);
    const float ends[4] = {-3.2f, 3.2f, -1.2f, 1.2f};
    for (int i = 0; i < 4; ++i)
        m.setFloat(m.pin(range[i]), ends[i]);
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

// The same evaluations, column by column, with nothing drawn.
void evaluates(benchmark::State& state, const std::vector<const char*>& formulas, int parameters)
{
    std::vector<qw::FormulaParser> parsers(formulas.size());
    for (size_t k = 0; k < formulas.size(); ++k)
    {
        parsers[k].setFormula(formulas[k]);
        for (int i = 0; i < parameters; ++i)
            parsers[k].setVar(kParameters[i].first, kParameters[i].second);
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

const char* const kDuoRange[4] = {"X min", "X max", "Y min", "Y max"};
const char* const kRangePins[4] = {"X Min", "X Max", "Y Min", "Y Max"};

void moduleFuncPlotDuo(benchmark::State& state)
{
    renders(state, L"QW_FuncPlotDuo", {{"Formula 1", L"sin(x*a)+b*x"}, {"Formula 2", L"x*x*c-d"}}, 4, kDuoRange);
}
void bareFuncPlotDuo(benchmark::State& state)
{
    evaluates(state, {"sin(x*a)+b*x", "x*x*c-d"}, 4);
}
void moduleFuncPlot(benchmark::State& state)
{
    renders(state, L"QW_FuncPlot", {{"Formula", L"sin(x*a)+b*x"}}, 2, kRangePins);
}
void bareFuncPlot(benchmark::State& state)
{
    evaluates(state, {"sin(x*a)+b*x"}, 2);
}
} // namespace

BENCHMARK(moduleFuncPlotDuo);
BENCHMARK(bareFuncPlotDuo);
BENCHMARK(moduleFuncPlot);
BENCHMARK(bareFuncPlot);
