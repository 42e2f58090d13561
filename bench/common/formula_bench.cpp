// Formula evaluations per second: the parser (the owner sets x, then
// evaluate runs the instructions the text was translated into) beside the
// same expression compiled as C++, with the same float functions, and beside
// the reference evaluator of the tests, which parses the text anew each time.
#include "formula_reference.h"
#include "qw_fm.h"
#include "qw_formula.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <type_traits>

namespace
{
constexpr float kPi = 3.1415927f;

// x runs through [0, 1) so that no call sees the same argument twice in a row.
struct Ramp
{
    float x = 0.0f;
    float next()
    {
        x += 0.0009765625f;
        if (x >= 1.0f)
            x -= 1.0f;
        return x;
    }
};

float shortCompiled(float x)
{
    return std::sin(x * 2.0f * kPi) * 0.5f + std::pow(x, 2.0f);
}

float hann(float x)
{
    const float u = x < -1.0f ? -0.5f : (x > 1.0f ? 0.5f : 0.5f * x);
    return (qw::fm::cosTurns(u) + 1.0f) * 0.5f;
}

// 40 tokens, three variables.
constexpr const char* kLong = "(a*x^2+b*x-sin(x*pi)*a)/(1+abs(b))-hann(x-b)*0.25+a";
float longCompiled(float x, float a, float b)
{
    return (a * std::pow(x, 2.0f) + b * x - std::sin(x * kPi) * a) / (1.0f + std::fabs(b)) - hann(x - b) * 0.25f + a;
}

// The parameters a and b of the long formula.
constexpr float kA = 0.75f;
constexpr float kB = -0.3f;

// Both forms agree before either is measured.
template <class Parser> bool agree(Parser& p, float (*compiled)(float))
{
    for (float x = 0.0f; x < 1.0f; x += 0.01f)
    {
        p.setVar("x", x);
        float v = 0;
        if (!p.evaluate(&v) || v != compiled(x))
            return false;
    }
    return true;
}

// The owner's loop: set x, evaluate.
template <class Parser = qw::FormulaParser>
void evaluateEach(benchmark::State& state, const char* text, float (*compiled)(float))
{
    Parser p;
    if constexpr (std::is_same_v<Parser, qw::FormulaParser>)
        p.setFormula(text);
    else
        p.formula = text;
    p.setVar("a", kA);
    p.setVar("b", kB);
    if (!agree(p, compiled))
        state.SkipWithError("the parser and the compiled expression differ");
    Ramp ramp;
    for (auto _ : state)
    {
        p.setVar("x", ramp.next());
        float v;
        p.evaluate(&v);
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations());
}

void moduleFormulaShort(benchmark::State& state)
{
    evaluateEach(state, "sin(x*2*pi)*0.5+x^2", shortCompiled);
}

void bareFormulaShort(benchmark::State& state)
{
    Ramp ramp;
    for (auto _ : state)
    {
        float v = shortCompiled(ramp.next());
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations());
}

void moduleFormulaLong(benchmark::State& state)
{
    evaluateEach(state, kLong, [](float x) { return longCompiled(x, kA, kB); });
}

void referenceFormulaShort(benchmark::State& state)
{
    evaluateEach<qw::reference::FormulaParser>(state, "sin(x*2*pi)*0.5+x^2", shortCompiled);
}

void referenceFormulaLong(benchmark::State& state)
{
    evaluateEach<qw::reference::FormulaParser>(state, kLong, [](float x) { return longCompiled(x, kA, kB); });
}

void bareFormulaLong(benchmark::State& state)
{
    Ramp ramp;
    float a = kA, b = kB;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(a); // read as variables, as the parser reads them
        benchmark::DoNotOptimize(b);
        float v = longCompiled(ramp.next(), a, b);
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations());
}
} // namespace

BENCHMARK(moduleFormulaShort);
BENCHMARK(bareFormulaShort);
BENCHMARK(moduleFormulaLong);
BENCHMARK(bareFormulaLong);
BENCHMARK(referenceFormulaShort);
BENCHMARK(referenceFormulaLong);
