// The formula language: one table of formulas with their values or errors
// (worked out by hand, or the C library's single-precision function where the
// language names it), sequences that keep variables between evaluations, the
// turn-based functions against double-precision maths, and hostile texts.
#include "alloc_counter.h"
#include "formula_reference.h"
#include "qw_formula.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace
{
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kHalfUlpAt1 = 5.9604644775390625e-8; // 2^-24
const float kInf = std::numeric_limits<float>::infinity();

enum Outcome
{
    VALUE,  // true, the value
    ASSIGN, // false, the assigned value
    ERROR,  // false, 0
};

struct Case
{
    std::string text;
    Outcome outcome;
    double expected = 0;  // VALUE or ASSIGN
    double tolerance = 0; // absolute; 0 = exactly
};

std::string str(const char* s, size_t n)
{
    return std::string(s, n);
}

bool sameBits(float u, float v)
{
    return std::memcmp(&u, &v, sizeof u) == 0;
}

// The translating parser beside the evaluator it replaced, which read the text
// anew each time: every call goes to both, and every evaluation must agree bit
// for bit in its return value, its result (NaN included) and the variables
// it leaves.
struct Both
{
    qw::FormulaParser parser;
    qw::reference::FormulaParser reference;

    void setFormula(const std::string& text)
    {
        parser.setFormula(text);
        reference.formula = text;
    }
    int setVar(const char* name, float value)
    {
        const int r = parser.setVar(name, value);
        EXPECT_EQ(r, reference.setVar(name, value)) << name;
        return r;
    }
    int clearVar(const char* name)
    {
        const int r = parser.clearVar(name);
        EXPECT_EQ(r, reference.clearVar(name)) << name;
        return r;
    }
    int getValue(const char* name, float* value) const
    {
        float other = *value;
        const int r = parser.getValue(name, value);
        EXPECT_EQ(r, reference.getValue(name, &other)) << name;
        EXPECT_TRUE(sameBits(*value, other)) << name << ": " << *value << " against " << other;
        return r;
    }
    bool evaluate(float* result)
    {
        float other = *result;
        const bool ok = parser.evaluate(result);
        const std::string shown = "'" + parser.formula().substr(0, 60) + "'";
        EXPECT_EQ(ok, reference.evaluate(&other)) << shown;
        EXPECT_TRUE(sameBits(*result, other)) << shown << ": " << *result << " against " << other;
        for (const char* name :
             {"a", "b", "c", "q", "x", "y", "pi", "e", "alpha", "qqqqq", "_a1", "v0", "v3", "v5", "v9", "v10"})
        {
            float mine = -7.0f, theirs = -7.0f;
            EXPECT_EQ(parser.getValue(name, &mine), reference.getValue(name, &theirs)) << shown << " " << name;
            EXPECT_TRUE(sameBits(mine, theirs)) << shown << " " << name;
        }
        return ok;
    }
};

// Evaluates text on parser and checks the outcome; the result starts at a
// sentinel so that an untouched result shows.
void check(Both& parser, const Case& c)
{
    parser.setFormula(c.text);
    float result = 12345.0f;
    const bool ok = parser.evaluate(&result);
    const std::string shown = "'" + c.text.substr(0, 60) + "'";
    switch (c.outcome)
    {
    case VALUE:
    case ASSIGN:
        EXPECT_EQ(ok, c.outcome == VALUE) << shown;
        if (c.tolerance == 0)
            EXPECT_EQ(static_cast<double>(result), c.expected) << shown;
        else
            EXPECT_NEAR(result, c.expected, c.tolerance) << shown;
        break;
    case ERROR:
        EXPECT_FALSE(ok) << shown;
        EXPECT_EQ(result, 0.0f) << shown << " (an error gives 0)";
        break;
    }
}

float valueOf(Both& parser, const char* text)
{
    parser.setFormula(text);
    float result = 0;
    EXPECT_TRUE(parser.evaluate(&result)) << text;
    return result;
}

TEST(Formula, Grammar)
{
    const Case cases[] = {
        {"1+2*3", VALUE, 7},
        {"(1+2)*3", VALUE, 9},
        {"7%4", VALUE, 3},
        {"-7%4", VALUE, -3}, // fmodf keeps the dividend's sign
        {"8/2/2", VALUE, 2},
        {"2-3-4", VALUE, -5},
        {"2*-3", VALUE, -6},
        {"+5", VALUE, 5},
        {"2^3^2", VALUE, 8}, // one '^' only: the rest is ignored
        {"-2^2", VALUE, 4},  // the sign binds tighter
        {"2^-1", VALUE, 0.5},
        {"2*3^2", VALUE, 18},
        {"1 2", VALUE, 1},
        {"1.2.3", VALUE, 1.2f},
        {"3.14159265", VALUE, 3.1415927f},
        {".5", VALUE, 0.5},
        {"5.", VALUE, 5},
        {"..5", VALUE, 0}, // no digits before a second point
        {" \t1 + 1\t ", VALUE, 2},
        {"sin(0", VALUE, 0}, // the closing parenthesis may be left out
        {"sin (0)+1", VALUE, 1},
        {"1/0", VALUE, kInf},
        {"(a=2)*3", VALUE, 6},
        {"2+", ERROR},
        {"(1+2", ERROR},
        {"()", ERROR},
        {"--2", ERROR}, // one sign per operand
        {"2**3", ERROR},
        {"1+(2", ERROR},
        {"x", ERROR},
        {"Sin(1)", ERROR}, // the owner lower-cases, the parser does not
        {"#", ERROR},
        {"1+#", ERROR},
        {"1\n", ERROR},
        {" \t ", ERROR},
        {"=3", ERROR},
        {"a==3", ERROR},
    };
    for (const Case& c : cases)
    {
        Both parser;
        check(parser, c);
    }
}

TEST(Formula, EmptyTextLeavesTheResultAsItWas)
{
    Both parser;
    float result = 42.0f;
    EXPECT_FALSE(parser.evaluate(&result));
    EXPECT_EQ(result, 42.0f);
}

TEST(Formula, AnErrorKeepsTheVariablesAssignedBeforeIt)
{
    Both parser;
    check(parser, {"(b=4)+(c=5)+#", ERROR});
    float v = 0;
    ASSERT_EQ(parser.getValue("b", &v), 1);
    EXPECT_EQ(v, 4.0f);
    ASSERT_EQ(parser.getValue("c", &v), 1);
    EXPECT_EQ(v, 5.0f);
}

// Sequences on one parser: variables live from one evaluation to the next.
TEST(Formula, VariablesAndConstants)
{
    const std::vector<std::vector<Case>> sequences = {
        {{"a=5", ASSIGN, 5}, {"a*2", VALUE, 10}, {"a=", ASSIGN, 0}, {"a", ERROR}},
        {{"a = 2 + 3", ASSIGN, 5}, {"a=a*a", ASSIGN, 25}, {"a", VALUE, 25}},
        {{"pi", VALUE, 3.1415927f},
         {"pi=3", ASSIGN, 3},
         {"pi", VALUE, 3},
         {"pi=", ASSIGN, 0},
         {"pi", VALUE, 3.1415927f}},
        {{"pi2", VALUE, 6.2831855f}, {"pih", VALUE, 1.5707964f}, {"e", VALUE, 2.7182817f}},
        {{"(a=2)*3", VALUE, 6}, {"a", VALUE, 2}},
        {{"sin(a=0)+a", VALUE, 0}, {"a", VALUE, 0}},
        // Names are significant to five characters; a function name is not cut.
        {{"alphabet=2", ASSIGN, 2}, {"alpha", VALUE, 2}, {"alphax", VALUE, 2}, {"alph", ERROR}, {"alpho", ERROR}},
        {{"floorx(1.5)", ERROR}, {"floor(1.5)", VALUE, 1}},
        {{"_a1=7", ASSIGN, 7}, {"_a1+1", VALUE, 8}},
        // A cleared variable's name takes its own row again: no stale row.
        {{"a=1", ASSIGN, 1},
         {"b=2", ASSIGN, 2},
         {"a=", ASSIGN, 0},
         {"b=3", ASSIGN, 3},
         {"b=", ASSIGN, 0},
         {"b", ERROR}},
        {{"a=1", ASSIGN, 1}, {"b=2", ASSIGN, 2}, {"a=", ASSIGN, 0}, {"b=3", ASSIGN, 3}, {"b", VALUE, 3}},
        // A name read after an assignment in the same text reads the new
        // variable, one that hides a constant included.
        {{"(q=2)+q", VALUE, 4}, {"q=", ASSIGN, 0}, {"q+(q=2)", ERROR}, {"q", ERROR}}, // stopped before it assigned
        {{"(pi=3)+pi", VALUE, 6}, {"pi=", ASSIGN, 0}, {"pi*2", VALUE, 6.2831855f}},
        {{"(a=1)+(b=a+1)+(a=b*5)+a", VALUE, 23}, {"a*100+b", VALUE, 1002}},
    };
    for (const auto& steps : sequences)
    {
        Both parser;
        for (const Case& c : steps)
            check(parser, c);
    }
}

TEST(Formula, TenVariablesAtMost)
{
    Both parser;
    for (int i = 0; i < 10; ++i)
        check(parser, {"v" + std::to_string(i) + "=" + std::to_string(i), ASSIGN, double(i)});
    check(parser, {"v10=1", ERROR});
    EXPECT_EQ(parser.setVar("x", 1.0f), 0);
    check(parser, {"v3=33", ASSIGN, 33}); // a known name still takes its row
    check(parser, {"v0+v9+v3", VALUE, 42});

    // A freed row takes the next new name.
    EXPECT_EQ(parser.clearVar("v5"), 1);
    check(parser, {"v10=1", ASSIGN, 1});
    check(parser, {"v5", ERROR});
}

// A text set once reads the variables of the moment it is evaluated: the
// owner may add, change and clear them between evaluations.
TEST(Formula, NamesReadTheVariablesOfEachEvaluation)
{
    Both parser;
    parser.setFormula("pi+q*2");
    check(parser, {"pi+q*2", ERROR});
    parser.setVar("q", 1.0f);
    float v = 0;
    EXPECT_TRUE(parser.evaluate(&v));
    EXPECT_EQ(v, 3.1415927f + 2.0f);
    parser.setVar("pi", 3.0f);
    parser.setVar("q", -1.0f);
    EXPECT_TRUE(parser.evaluate(&v));
    EXPECT_EQ(v, 1.0f);
    parser.clearVar("pi");
    EXPECT_TRUE(parser.evaluate(&v));
    EXPECT_EQ(v, 3.1415927f - 2.0f);
    parser.clearVar("q");
    EXPECT_FALSE(parser.evaluate(&v));

    // An assignment into a table that the owner filled meanwhile fails.
    parser.setFormula("(w=1)+2");
    for (int i = 0; i < 10; ++i)
        parser.setVar(("v" + std::to_string(i)).c_str(), 1.0f);
    v = 5.0f;
    EXPECT_FALSE(parser.evaluate(&v));
    EXPECT_EQ(v, 0.0f);
    parser.clearVar("v4");
    EXPECT_TRUE(parser.evaluate(&v));
    EXPECT_EQ(v, 3.0f);
}

TEST(Formula, OwnerSetsVariablesByTheAssignmentsRule)
{
    Both parser;
    EXPECT_EQ(parser.setVar("x", 2.0f), 1);
    EXPECT_EQ(valueOf(parser, "x*3"), 6.0f);
    check(parser, {"x=5", ASSIGN, 5});
    EXPECT_EQ(parser.setVar("X", 7.0f), 1); // stored lower-cased, in x's row
    EXPECT_EQ(valueOf(parser, "x"), 7.0f);
    EXPECT_EQ(parser.setVar("alphabet", 1.5f), 1); // cut to five characters
    EXPECT_EQ(valueOf(parser, "alpha"), 1.5f);

    float v = 0;
    EXPECT_EQ(parser.getValue("ALPHA", &v), 1);
    EXPECT_EQ(v, 1.5f);
    EXPECT_EQ(parser.getValue("e", &v), 1);
    EXPECT_EQ(v, 2.7182817f);
    EXPECT_EQ(parser.getValue("y", &v), 0);
    EXPECT_EQ(parser.getValue("", &v), 0);
    EXPECT_EQ(parser.setVar("", 1.0f), 0);
    EXPECT_EQ(parser.clearVar("x"), 1);
    EXPECT_EQ(parser.clearVar("x"), 0);
    EXPECT_EQ(parser.clearVar("pi"), 0); // constants stay
    EXPECT_EQ(parser.getValue("x", &v), 0);

    // alpha and eight more: x takes the tenth row, then none is left.
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(parser.setVar(("v" + std::to_string(i)).c_str(), 1.0f), 1);
    EXPECT_EQ(parser.setVar("x", 3.0f), 1);
    EXPECT_EQ(parser.setVar("x", 4.0f), 1); // its own row, though all are taken
    EXPECT_EQ(parser.setVar("y", 3.0f), 0);
    EXPECT_EQ(parser.getValue("y", &v), 0);
}

TEST(Formula, Functions)
{
    const std::vector<Case> cases = {
        {"max(2,3)", VALUE, 3},
        {"max(3,2)", VALUE, 3},
        {"min(2,3)", VALUE, 2},
        {"min(3,2)", VALUE, 2},
        {"sgn(0)", VALUE, 1},
        {"sgn(-2)", VALUE, -1},
        {"sgn(5)", VALUE, 1},
        {"abs(-2.5)", VALUE, 2.5},
        {"mod(7,4)", VALUE, 3},
        {"mod(-7,4)", VALUE, -3},
        {"hypot(3,4)", VALUE, 5},
        {"exp10(2)", VALUE, std::exp2(6.643856f)},
        {"log10(1000)", VALUE, std::log2(1000.0f) * 0.30103f},
        {"saw(0.25)", VALUE, -0.5},
        {"saw(-0.25)", VALUE, 0.5},
        {"tri(0.25)", VALUE, 0},
        {"tri(0.5)", VALUE, 1},
        {"tri(0)", VALUE, -1},
        {"squ(0.3,0.5)", VALUE, 1},
        {"squ(0.7,0.5)", VALUE, -1},
        {"squ(0.3,2)", VALUE, 1},   // d clamped to 1
        {"squ(0.3,-1)", VALUE, -1}, // d clamped to 0
        {"hann(0)", VALUE, 1, 2e-7},
        {"hann(1)", VALUE, 0, 2e-7},
        {"hann(5)", VALUE, 0, 2e-7},
        {"hann(0.5)", VALUE, 0.5, 2e-7},
        {"sinc(0)", VALUE, 1},
        {"sinc(1)", VALUE, 0, 1e-7},
        {"sinc(0.5)", VALUE, 2 / kPi, 1e-7},
        {"cost(0.25)", VALUE, 0, 2e-7},
        {"cost(0)", VALUE, 1, 2e-7},
        {"sint(0.25)", VALUE, 1},
        {"tant(0.125)", VALUE, 1, 5e-7},
        {"tant(-0.125)", VALUE, -1, 5e-7},
        {"rnd(2,2)", VALUE, 2},
        {"turns(0,1)", VALUE, 0.25},
        {"turns(-1,0)", VALUE, 0.5},
        {"turns(0,-1)", VALUE, 0.75},
        {"turns(0,0)", VALUE, 0},
        {"arg(0,-1)", VALUE, -1.5707964f},
        {"arg(-1,0)", VALUE, 3.1415927f},
        {"arg(0,0)", VALUE, 0},
        {"log(e)", VALUE, std::log(2.7182817f)},
        {"ln(e)", VALUE, std::log(2.7182817f)},
        {"sin(1,2)", ERROR},
        {"pow(2)", ERROR},
        {"pow(2,3,4)", ERROR},
        {"sin(1,2,3,4,5)", ERROR},
        {"max(1,2,3,4,5,6,7,8)", ERROR},
        {"sin()", ERROR},
        {"sin(,1)", ERROR},
        {"max(1,)", ERROR},
        {"foo(1)", ERROR},
        {"pi(1)", ERROR},
    };
    for (const Case& c : cases)
    {
        Both parser;
        check(parser, c);
    }

    Both parser;
    EXPECT_EQ(valueOf(parser, "hann(5)"), valueOf(parser, "hann(1)")); // clamped to 1
    const float zero = valueOf(parser, "abs(-0)");
    EXPECT_EQ(zero, 0.0f);
    EXPECT_FALSE(std::signbit(zero)) << "abs clears the sign bit";
}

TEST(Formula, LibraryFunctionsAreTheCLibrarysFloatFunctions)
{
    struct Fn
    {
        const char* name;
        float (*f)(float);
        const char* points[3];
    };
    const Fn fns[] = {
        {"sin", [](float x) { return std::sin(x); }, {"0.3", "-2.7", "100.5"}},
        {"cos", [](float x) { return std::cos(x); }, {"0.3", "-2.7", "100.5"}},
        {"tan", [](float x) { return std::tan(x); }, {"0.3", "-1.2", "100.5"}},
        {"asin", [](float x) { return std::asin(x); }, {"0.3", "-0.7", "0.99"}},
        {"acos", [](float x) { return std::acos(x); }, {"0.3", "-0.7", "0.99"}},
        {"atan", [](float x) { return std::atan(x); }, {"0.3", "-2.7", "1000"}},
        {"sinh", [](float x) { return std::sinh(x); }, {"0.3", "-2.7", "10.5"}},
        {"cosh", [](float x) { return std::cosh(x); }, {"0.3", "-2.7", "10.5"}},
        {"tanh", [](float x) { return std::tanh(x); }, {"0.3", "-2.7", "10.5"}},
        {"exp", [](float x) { return std::exp(x); }, {"0.3", "-2.7", "50.5"}},
        {"exp2", [](float x) { return std::exp2(x); }, {"0.3", "-2.7", "50.5"}},
        {"log", [](float x) { return std::log(x); }, {"0.3", "2.7", "12345.6"}},
        {"ln", [](float x) { return std::log(x); }, {"0.3", "2.7", "12345.6"}},
        {"log2", [](float x) { return std::log2(x); }, {"0.3", "2.7", "12345.6"}},
        {"sqrt", [](float x) { return std::sqrt(x); }, {"0.3", "2", "12345.6"}},
        {"floor", [](float x) { return std::floor(x); }, {"0.3", "-2.7", "12345.6"}},
        {"ceil", [](float x) { return std::ceil(x); }, {"0.3", "-2.7", "12345.6"}},
    };
    for (const Fn& fn : fns)
        for (const char* p : fn.points)
        {
            const float x = static_cast<float>(std::atof(p));
            Both parser;
            check(parser, {std::string(fn.name) + "(" + p + ")", VALUE, fn.f(x)});
        }
    const char* pows[][2] = {{"2", "0.5"}, {"0.3", "-2.7"}, {"10", "3"}};
    for (const auto& p : pows)
    {
        Both parser;
        const float x = static_cast<float>(std::atof(p[0]));
        const float y = static_cast<float>(std::atof(p[1]));
        check(parser, {std::string("pow(") + p[0] + "," + p[1] + ")", VALUE, std::pow(x, y)});
        check(parser, {std::string(p[0]) + "^" + p[1], VALUE, std::pow(x, y)});
    }
    // Outside a function's domain the library's NaN comes out as a value.
    Both parser;
    EXPECT_TRUE(std::isnan(valueOf(parser, "log(-1)")));
}

// Largest |error| of the formula in x over n points in [lo, hi), less the
// allowance that slack gives at each point.
double sweep(const char* formula, double lo, double hi, int n, const std::function<double(float, float)>& excess,
             float* at)
{
    qw::FormulaParser parser;
    parser.setFormula(formula);
    double worst = 0;
    for (int i = 0; i < n; ++i)
    {
        const float x = static_cast<float>(lo + (hi - lo) * (i + 0.5) / n);
        parser.setVar("x", x);
        float y = 0;
        if (!parser.evaluate(&y))
        {
            *at = x;
            return std::numeric_limits<double>::infinity();
        }
        const double e = excess(x, y);
        if (!(e <= worst))
        {
            worst = e;
            *at = x;
        }
    }
    return worst;
}

TEST(Formula, TurnFunctionsWithinTheFastMathsBounds)
{
    // The cosine kernel is within 1.8e-7 and the sine kernel within 8e-8; the
    // polynomial rounds by half an ulp of 1 and folding the phase by up to
    // 2^-24 turns (2 pi 2^-24 in the value).
    const double phase = kTwoPi * std::ldexp(1.0, -24);
    const double cosBound = 1.8e-7 + kHalfUlpAt1 + phase;
    const double sinBound = 8e-8 + kHalfUlpAt1 + phase;
    float at = 0;

    EXPECT_LE(sweep(
                  "cost(x)", -3, 3, 100000,
                  [&](float x, float y) { return std::fabs(y - std::cos(kTwoPi * x)) - cosBound; }, &at),
              0)
        << "cost at " << at;
    EXPECT_LE(sweep(
                  "sint(x)", -3, 3, 100000,
                  [&](float x, float y) { return std::fabs(y - std::sin(kTwoPi * x)) - sinBound; }, &at),
              0)
        << "sint at " << at;
    // hann halves the cosine's error.
    EXPECT_LE(sweep(
                  "hann(x)", -2, 2, 100000,
                  [&](float x, float y) {
                      const double u = std::max(-1.0, std::min(1.0, double(x)));
                      return std::fabs(y - 0.5 * (1 + std::cos(kPi * u))) - 0.5 * cosBound - kHalfUlpAt1;
                  },
                  &at),
              0)
        << "hann at " << at;
    // sinc divides the sine's error by pi x: swept where |x| >= 0.01.
    for (double lo : {-4.0, 0.01})
        EXPECT_LE(sweep(
                      "sinc(x)", lo, lo + 3.99, 100000,
                      [&](float x, float y) {
                          const double ref = std::sin(kPi * x) / (kPi * x);
                          // the float pi (2.8e-8 relative), the product and the quotient round
                          return std::fabs(y - ref) - sinBound / std::fabs(kPi * x) -
                                 (2.8e-8 + 2 * kHalfUlpAt1) * std::fabs(ref);
                      },
                      &at),
                  0)
            << "sinc at " << at;
    // tan = S / C away from the poles (|tan| <= tan(0.2 turns)): the errors of
    // S and C carried through the quotient, plus the fold's phase rounding
    // through the derivative 2 pi (1 + tan^2).
    for (double lo : {-0.2, 0.3, 1.8})
        EXPECT_LE(sweep(
                      "tant(x)", lo, lo + 0.4, 100000,
                      [&](float x, float y) {
                          const double t = std::tan(kTwoPi * x);
                          const double c = std::fabs(std::cos(kTwoPi * x));
                          const double bound = (cosBound + std::fabs(t) * sinBound) / c + phase * (1 + t * t) +
                                               2 * kHalfUlpAt1 * (1 + std::fabs(t));
                          return std::fabs(y - t) - bound;
                      },
                      &at),
                  0)
            << "tant at " << at;
}

TEST(Formula, AnglesOfPointsWithinTheFastMathsBound)
{
    // The arc-tangent polynomial is within 3.7e-7 turns; the sum rounds by
    // half an ulp of 1 and arg's product by half an ulp of pi.
    const double bound = 3.7e-7 + kHalfUlpAt1;
    qw::FormulaParser turns;
    turns.setFormula("turns(x,y)");
    qw::FormulaParser arg;
    arg.setFormula("arg(x,y)");
    for (double radius : {1e-3, 1.0, 1e4})
    {
        const int n = 20000;
        for (int i = 0; i < n; ++i)
        {
            const double a = kTwoPi * (i + 0.5) / n;
            const float x = static_cast<float>(radius * std::cos(a));
            const float y = static_cast<float>(radius * std::sin(a));
            const double ref = std::atan2(double(y), double(x));
            float t = 0, r = 0;
            turns.setVar("x", x);
            turns.setVar("y", y);
            arg.setVar("x", x);
            arg.setVar("y", y);
            ASSERT_TRUE(turns.evaluate(&t));
            ASSERT_TRUE(arg.evaluate(&r));
            ASSERT_GE(t, 0.0f);
            ASSERT_LT(t, 1.0f);
            double d = std::fabs(t - (ref < 0 ? ref / kTwoPi + 1 : ref / kTwoPi));
            d = std::min(d, 1 - d);
            ASSERT_LE(d, bound) << "turns(" << x << ", " << y << ")";
            // arg: times the float 2 pi (8.8e-8 at pi), rounded to half an ulp of pi (2^-23)
            ASSERT_LE(std::fabs(r - ref), kTwoPi * bound + 8.8e-8 + 2 * kHalfUlpAt1) << "arg(" << x << ", " << y << ")";
            ASSERT_LE(std::fabs(r), 3.1415927f);
        }
    }
}

TEST(Formula, RandomValuesLieBetweenTheBounds)
{
    Both parser;
    parser.setFormula("rnd(0,1)");
    float lo = 1, hi = 0, sum = 0;
    const int n = 10000;
    for (int i = 0; i < n; ++i)
    {
        float v = -1;
        ASSERT_TRUE(parser.evaluate(&v));
        ASSERT_GE(v, 0.0f);
        ASSERT_LE(v, 1.0f);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        sum += v;
    }
    // Spread over the range, not one value: the mean of n uniform values is
    // 0.5 within 5 standard deviations (1 / sqrt(12 n)).
    EXPECT_LT(lo, 0.01f);
    EXPECT_GT(hi, 0.99f);
    EXPECT_NEAR(sum / n, 0.5, 5 / std::sqrt(12.0 * n));

    // Bounds at the ends of the float range give finite values between them.
    parser.setFormula("rnd(-3*10^38,3*10^38)");
    for (int i = 0; i < 1000; ++i)
    {
        float v = 0;
        ASSERT_TRUE(parser.evaluate(&v));
        ASSERT_TRUE(std::isfinite(v)) << v;
    }
}

TEST(Formula, NumbersAndNamesOfAnyLength)
{
    const std::string hundredDigits(100, '7');
    const std::string tiny = "0." + std::string(99, '0') + "1";
    const std::string longName(100, 'q');
    const Case cases[] = {
        {hundredDigits, VALUE, kInf}, // beyond the float range
        {std::string(400, '9'), VALUE, kInf},
        {"1" + std::string(37, '0'), VALUE, 1e37f},
        {"0.000000000000000000000000000000000000001", VALUE, 1e-39f},
        {tiny, VALUE, 0},
        {"0." + std::string(400, '0') + "1", VALUE, 0},
        {std::string(60, '0') + "1.25" + std::string(60, '0'), VALUE, 1.25},
        {"3.1415926535897932384626433832795028841971", VALUE, 3.1415927f},
        {longName, ERROR},
        {longName + "(1)", ERROR},
        {longName + "=3", ASSIGN, 3},
    };
    for (const Case& c : cases)
    {
        Both parser;
        check(parser, c);
    }
    Both parser;
    check(parser, {longName + "=3", ASSIGN, 3});
    check(parser, {"qqqqq+" + longName, VALUE, 6});
}

TEST(Formula, NumbersAreReadAsTheCLibraryReadsThem)
{
    // Random decimals of 1 to 30 digits, the point anywhere (or nowhere):
    // strtod's double rounded to float.
    uint32_t state = 12345;
    auto next = [&] { return state = state * 1664525u + 1013904223u; };
    for (int i = 0; i < 20000; ++i)
    {
        const int digits = 1 + static_cast<int>(next() >> 8) % 30;
        std::string text;
        for (int k = 0; k < digits; ++k)
            text += static_cast<char>('0' + (next() >> 8) % 10);
        const int point = static_cast<int>((next() >> 8) % (digits + 2));
        if (point <= digits)
            text.insert(static_cast<size_t>(point), ".");
        Both parser;
        check(parser, {text, VALUE, static_cast<float>(std::strtod(text.c_str(), nullptr))});
    }
}

TEST(Formula, UnexpectedBytesAreErrors)
{
    const Case cases[] = {
        {"1+\xc3\xa9", ERROR},      {"\xff", ERROR},        {"sin(\x80)", ERROR}, {str("1+\0", 3), ERROR},
        {str("\0", 1), ERROR},      {str("1\0", 2), ERROR}, // a NUL is a character like any other
        {str("2+3\0+4", 6), ERROR},
    };
    for (const Case& c : cases)
    {
        Both parser;
        check(parser, c);
    }
}

// Runs f on a thread with a stack of the given size.
void onStack(size_t bytes, const std::function<void()>& f)
{
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, bytes);
    pthread_t thread;
    auto* fn = new std::function<void()>(f);
    ASSERT_EQ(pthread_create(
                  &thread, &attr,
                  [](void* p) -> void* {
                      auto* g = static_cast<std::function<void()>*>(p);
                      (*g)();
                      delete g;
                      return nullptr;
                  },
                  fn),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

TEST(Formula, NestingIsLimited)
{
    // depth times open (each one level), 1, depth times ')'.
    auto nest = [](const std::string& open, int depth) {
        std::string s;
        for (int i = 0; i < depth; ++i)
            s += open;
        return s + "1" + std::string(depth, ')');
    };
    // 256 levels are fine on a 512 KiB stack (a small thread stack; with the
    // sanitizers every frame is larger than in a release build).
    onStack(512 << 10, [&] {
        for (const char* open : {"(", "sin(", "-(", "max(1,"})
        {
            const int depth = qw::FormulaParser::kMaxNesting;
            Both parser;
            parser.setFormula(nest(open, depth));
            float v = 0;
            EXPECT_TRUE(parser.evaluate(&v)) << open << " x " << depth;
            parser.setFormula(nest(open, depth + 1));
            v = 5;
            EXPECT_FALSE(parser.evaluate(&v)) << open << " x " << depth + 1;
            EXPECT_EQ(v, 0.0f);
        }
    });
    const Case cases[] = {
        {std::string(100000, '('), ERROR},
        {nest("(", 100000), ERROR},
        {[] {
             std::string s;
             for (int i = 0; i < 100000; ++i)
                 s += "sin(";
             return s;
         }(),
         ERROR},
        {nest("sin(", 100000), ERROR},
    };
    for (const Case& c : cases)
    {
        Both parser;
        check(parser, c);
    }
}

TEST(Formula, MegabyteText)
{
    std::string sum;
    const int terms = 1 << 19; // "1+" per term: one megabyte
    for (int i = 0; i < terms - 1; ++i)
        sum += "1+";
    sum += "1";
    Both parser;
    check(parser, {sum, VALUE, double(terms)});
    check(parser, {sum + "+", ERROR});
    check(parser, {std::string(1 << 20, ' ') + "3", VALUE, 3});
}

TEST(Formula, EvaluateDoesNotAllocate)
{
    // Nor does setting a text within the room reserved, as an owner on the
    // audio thread does.
    qw::FormulaParser parser;
    parser.reserve(400);
    parser.setVar("x", 0.25f);
    parser.setVar("a", 2.0f);
    const std::string texts[] = {
        "sin(x*2*pi)*0.5+x^2",
        "b=a*3",
        "b=",
        "(c=2)+c+(d=)",
        "rnd(0,1)+hann(x)+turns(x,a)+3.14159265358979323846264338327950288",
        "sin(1,2,3,4,5)",
        "foo(1)+#",
        std::string(300, '(') + "1",
        "q" + std::string(100, 'q'),
        [] {
            std::string s = "x";
            for (int i = 0; i < 199; ++i)
                s += "+x";
            return s;
        }(),
    };
    for (const std::string& t : texts)
    {
        qwhost::alloc::begin();
        parser.setFormula(t);
        float v = 0;
        parser.evaluate(&v);
        parser.evaluate(&v);
        EXPECT_EQ(qwhost::alloc::end(), 0) << t.substr(0, 40);
    }
}
} // namespace
