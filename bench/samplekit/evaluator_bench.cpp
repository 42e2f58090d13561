// The formula evaluator as the sample generator uses it, once per output
// sample: x set, then the formula evaluated; beside the same formula compiled.
#include "Evaluator.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace
{
constexpr const char* kFormula = "sin(x*pi2)*0.5+x^2";

void moduleEvaluator(benchmark::State& state)
{
    Evaluator e;
    float x = 0.0f, r = 0.0f;
    int assigned = 0;
    for (auto _ : state)
    {
        e.SetValue("x", x);
        e.Evaluate(kFormula, &r, &assigned);
        benchmark::DoNotOptimize(r);
        x = x < 1.0f ? x + 1.0f / 65536.0f : 0.0f;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(moduleEvaluator);

void bareEvaluator(benchmark::State& state)
{
    float x = 0.0f, r = 0.0f;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(x);
        r = std::sin(x * 6.2831855f) * 0.5f + std::pow(x, 2.0f);
        benchmark::DoNotOptimize(r);
        x = x < 1.0f ? x + 1.0f / 65536.0f : 0.0f;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(bareEvaluator);
} // namespace
