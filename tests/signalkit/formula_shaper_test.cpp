// The formula shaper: its shared table on its own (how many evaluations a
// change costs, what lands in the entries) and the module through the built
// bundle (pass-through, symmetry, silence on bad formulas, voices).
#include "audio_fixture.h"
#include "formula_table.h"

#include <cmath>
#include <limits>

namespace
{
using qw::shapers::FormulaTable;
using qwtest::AudioModule;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

bool setFormula(FormulaTable& t, const std::wstring& text, float a = 0.0f, float b = 0.0f, bool odd = false)
{
    return t.update(&text, &a, &b, &odd);
}

TEST(FormulaTable, VoicesSeeingTheSameValuesRebuildOnce)
{
    FormulaTable t;
    ASSERT_TRUE(setFormula(t, L"sin(x*pi*a)", 1.0f));
    EXPECT_EQ(t.evaluations, FormulaTable::kEntries);
    // Three voices hand over the new a; the first rebuilds for all.
    const float a = 2.0f;
    int rebuilt = 0;
    for (int voice = 0; voice < 3; ++voice)
        rebuilt += t.update(nullptr, &a, nullptr, nullptr);
    EXPECT_EQ(rebuilt, 1);
    EXPECT_EQ(t.evaluations, 2 * FormulaTable::kEntries);
    // Entry i holds the formula at x = -1 + i * 2/2047.
    for (int i : {0, 1, 700, 2046, 2047})
    {
        const double x = -1.0 + i * (2.0 / 2047.0);
        EXPECT_NEAR(t.table[i], std::sin(float(x) * 3.1415927f * 2.0f), 2e-6) << i;
    }
    // A NaN parameter always counts as new.
    const float nan = kNaN;
    EXPECT_TRUE(t.update(nullptr, &nan, nullptr, nullptr));
    EXPECT_TRUE(t.update(nullptr, &nan, nullptr, nullptr));
}

TEST(FormulaTable, FirstEntryKeepsFiniteValuesAsEvaluated)
{
    struct Row
    {
        const wchar_t* formula;
        float entry0;
    };
    const Row rows[] = {
        {L"5+x*0", 5.0f},     // finite: kept as evaluated
        {L"log(x)", 0.0f},    // NaN at -1: 0
        {L"log(x+1)", -1.0f}, // minus infinity at -1: -1
        {L"1/(x+1)", 1.0f},   // plus infinity at -1: 1
    };
    for (const Row& r : rows)
    {
        FormulaTable t;
        setFormula(t, r.formula);
        EXPECT_EQ(t.table[0], r.entry0) << gmpi_sdk::toUtf8(r.formula);
        for (int i = 1; i < FormulaTable::kEntries; ++i)
            ASSERT_TRUE(t.table[i] >= -1.0f && t.table[i] <= 1.0f) << gmpi_sdk::toUtf8(r.formula) << " at " << i;
    }
    FormulaTable five;
    setFormula(five, L"5+x*0");
    EXPECT_NEAR(five.shape(-1.0f), 5.0f, 1e-6);
    EXPECT_NEAR(five.shape(-1.0f + 0.5f * 2.0f / 2047.0f), 3.0f, 1e-3); // half way to entry 1 (= 1)
}

TEST(FormulaTable, HostileTextGivesSilenceOrAFiniteTable)
{
    std::wstring longSum = L"x";
    while (longSum.size() < 10000)
        longSum += L"+x*0";
    const std::wstring texts[] = {longSum,
                                  std::wstring(10000, L'('),
                                  std::wstring(10000, L'x'),
                                  L"x\u00e9",
                                  L"\u20ac",
                                  L"x+\xD800",
                                  std::wstring(1, wchar_t(0x7FFFFFFF)),
                                  L"x*",
                                  L")",
                                  L"x=1"};
    for (const auto& text : texts)
    {
        FormulaTable t;
        setFormula(t, text, kNaN, kNaN);
        for (int i = 0; i <= FormulaTable::kEntries; ++i)
            ASSERT_TRUE(std::isfinite(t.table[i])) << text.size() << " characters, entry " << i;
        EXPECT_TRUE(std::isfinite(t.shape(0.3f)));
    }
    FormulaTable t;
    setFormula(t, longSum);
    EXPECT_NEAR(t.shape(0.25f), 0.25f, 1e-3);
    setFormula(t, L"x\u00e9");
    EXPECT_EQ(t.shape(0.25f), 0.0f); // not ASCII: not the formula language
}

// The module with a formula, a and b and the mode, the input streaming.
struct Shaper : AudioModule
{
    Shaper(const std::wstring& formula, float a, float b, bool odd) : AudioModule(L"QW_FormulaShaper")
    {
        start();
        p->setText(pin("Formula"), formula);
        p->setFloat(pin("A"), a);
        p->setFloat(pin("B"), b);
        p->setBool(pin("Odd Symmetric"), odd);
        streaming("Input", true);
    }
};

std::vector<float> grid()
{
    std::vector<float> xs;
    for (int i = -100; i <= 100; ++i)
        xs.push_back(float(i) / 100.0f);
    return xs;
}

// Runs the inputs xs through a fresh module (the first block sets it up).
std::vector<float> shaped(const std::wstring& formula, float a, float b, bool odd, const std::vector<float>& xs)
{
    Shaper m(formula, a, b, odd);
    m.run(64, 64, [](int, int64_t) { return 0.0f; });
    const int64_t start = m.p->now();
    m.run(int64_t(xs.size()), 64, [&](int, int64_t t) { return xs[size_t(t - start)]; });
    const auto& y = m.output("Output");
    return std::vector<float>(y.end() - int64_t(xs.size()), y.end());
}

TEST(FormulaShaper, PassesXInBothModes)
{
    const auto xs = grid();
    for (bool odd : {false, true})
    {
        const auto y = shaped(L"x", 0, 0, odd, xs);
        for (size_t i = 0; i < xs.size(); ++i)
            ASSERT_NEAR(y[i], xs[i], 1e-3) << "odd " << odd << ", x " << xs[i];
    }
}

TEST(FormulaShaper, OddSymmetricSquare)
{
    const auto xs = grid();
    const auto y = shaped(L"x*x", 0, 0, true, xs);
    for (size_t i = 0; i < xs.size(); ++i)
        ASSERT_NEAR(y[i], xs[i] < 0 ? -xs[i] * xs[i] : xs[i] * xs[i], 1e-3) << xs[i];
}

TEST(FormulaShaper, UpperCaseReadsAsLowerCase)
{
    const auto xs = grid();
    const auto upper = shaped(L"SIN(X*PI*A)", 2, 0, false, xs);
    const auto lower = shaped(L"sin(x*pi*a)", 2, 0, false, xs);
    EXPECT_EQ(upper, lower);
    EXPECT_NEAR(lower[125], std::sin(0.25 * 3.14159265 * 2), 1e-3); // x = 0.25
}

TEST(FormulaShaper, SilenceForFormulasThatGiveNothing)
{
    const auto xs = grid();
    for (const wchar_t* formula : {L"x*b", L"x*", L"y=x", L"", L"x\u00e9"})
    {
        const auto y = shaped(formula, 1, 0, false, xs);
        for (size_t i = 0; i < xs.size(); ++i)
            ASSERT_EQ(y[i], 0.0f) << gmpi_sdk::toUtf8(formula) << " at x " << xs[i];
    }
}

TEST(FormulaShaper, OutOfRangeAndNaNInputs)
{
    const std::vector<float> xs = {-7.0f, 7.0f, kNaN, -std::numeric_limits<float>::infinity()};
    const auto y = shaped(L"x*0.5+0.25", 0, 0, false, xs);
    EXPECT_NEAR(y[0], -0.25f, 1e-6);
    EXPECT_NEAR(y[1], 0.75f, 1e-6);
    EXPECT_NEAR(y[2], 0.25f, 1e-3); // the entry of x = 0
    EXPECT_NEAR(y[3], -0.25f, 1e-6);
    const auto five = shaped(L"5+x*0", 0, 0, false, {-1.0f, -2.0f});
    EXPECT_EQ(five[0], 5.0f);
    EXPECT_EQ(five[1], 5.0f);
}

// A formula of some kilobytes arriving after the first block allocates nothing
// on its way through the pin, the text conversions and the parser.
TEST(FormulaShaper, LongFormulaArrivesWithoutAllocating)
{
    Shaper m(L"x", 0, 0, false);
    m.run(64, 64, [](int, int64_t) { return 0.5f; });
    m.p->resetAllocationCount();
    std::wstring formula = L"x";
    while (formula.size() + 6 <= 4000)
        formula += L"+0*x*x";
    m.p->setText(m.pin("Formula"), formula);
    m.run(128, 64, [](int, int64_t) { return 0.5f; });
    EXPECT_EQ(m.p->allocationsAfterFirstBlock(), 0) << formula.size() << " characters";
    EXPECT_NEAR(m.output("Output").back(), 0.5f, 1e-3);
}

TEST(FormulaShaper, VoicesShareOneTable)
{
    qwhost::ProcessingHost host;
    auto voices = host.createVoices(qwtest::bundle("signalkit"), L"QW_FormulaShaper", 3);
    for (auto& v : voices)
    {
        v->startGraph();
        v->setText(v->pin("Formula"), L"sin(x*pi*a)");
        v->setFloat(v->pin("A"), 1.0f);
        v->setConstant(v->pin("Input"), 0.25f);
        v->run(16);
    }
    // A new a reaches every voice: all of them play it.
    for (auto& v : voices)
    {
        v->setFloat(v->pin("A"), 2.0f);
        v->setStreaming(v->pin("Input"), true);
        std::fill_n(v->input(v->pin("Input")), 16, 0.25f);
        v->run(16);
        EXPECT_NEAR(v->output(v->pin("Output"))[15], 1.0f, 1e-3); // sin(pi/2)
    }
    // One voice alone changing its a changes the shared table for all.
    voices[1]->setFloat(voices[1]->pin("A"), 1.0f);
    voices[1]->run(16);
    std::fill_n(voices[2]->input(voices[2]->pin("Input")), 16, 0.25f);
    voices[2]->run(16);
    EXPECT_NEAR(voices[2]->output(voices[2]->pin("Output"))[15], std::sin(0.25 * 3.14159265), 1e-3);
}
} // namespace
