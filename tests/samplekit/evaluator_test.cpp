// The formula evaluator: texts with their outcome, against references from
// the C library in double precision; the variables' life; each function's
// values at points worked out by hand.
#include "Evaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace
{
constexpr double kPi = 3.14159265358979323846;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct Outcome
{
    int code;
    float value;
    int assigned;
};

Outcome evaluate(Evaluator& e, const std::string& text)
{
    Outcome o{-1, 123.0f, -1};
    o.code = e.Evaluate(text.c_str(), &o.value, &o.assigned);
    return o;
}

// A float result against a double reference: within `ulps` float steps of
// it (relative), or within `absolute`.
::testing::AssertionResult near(float got, double want, double absolute = 0.0, double ulps = 4.0)
{
    if (std::isnan(want))
        return std::isnan(got) ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << got << " is no NaN";
    if (std::isinf(want))
        return got == want ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << got << " != " << want;
    const double tolerance = std::max(absolute, std::fabs(want) * ulps * 5.96e-8);
    if (std::fabs(static_cast<double>(got) - want) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << got << " differs from " << want << " by more than " << tolerance;
}
} // namespace

TEST(Evaluator, TextsAndTheirOutcome)
{
    struct Case
    {
        const char* text;
        int code;
        double value;
        int assigned = 0;
    };
    const Case cases[] = {
        // no token, or a fault the language names
        {"", 8, 0},
        {" \t  ", 8, 0},
        {"2+", 1, 0},
        {"--2", 1, 0},
        {"2*", 1, 0},
        {"1$", 1, 0},
        {"(1+2", 2, 0},
        {"()", 7, 0},
        {"sin()", 7, 0},
        {"max(1,)", 7, 0},
        {"max(,1)", 7, 0},
        {"max(1)", 6, 0},
        {"sin(1,2,3,4,5)", 6, 0},
        {"foo(1)", 5, 0},
        {"y", 3, 0},
        {"a b", 3, 0},
        // numbers: digits and points only
        {"1e3", 0, 1},
        {"1.2.3", 0, 1.2},
        {".5", 0, 0.5},
        {"5.", 0, 5},
        {".", 0, 0},
        {"0.1", 0, 0.1},
        {"1234567890123456789012345678901", 0, 1234567890123456789012345678901.0},
        // precedence and association
        {"2^3^2", 0, 8},
        {"-2^2", 0, 4},
        {"2^-1", 0, 0.5},
        {"7%3", 0, 1},
        {"-7%3", 0, std::fmod(-7.0, 3.0)},
        {"1+2*3", 0, 7},
        {"(1+2)*3", 0, 9},
        {"2*3^2", 0, 18},
        {"10-4-3", 0, 3},
        {"64/4/2", 0, 8},
        {"+5", 0, 5},
        {"2 3", 0, 2},
        {"max(1,2)3", 0, 2},
        {"1/0", 0, kInf},
        {"-1/0", 0, -kInf},
        {"0/0", 0, kNaN},
        {"sqrt(-1)", 0, kNaN},
        // constants, in any case
        {"PI*2", 0, 2 * kPi},
        {"pi", 0, kPi},
        {"Pi2", 0, 2 * kPi},
        {"pih", 0, kPi / 2},
        {"E", 0, std::exp(1.0)},
        // calls: after the last argument one token is passed unread
        {"SIN(PI/2)", 0, 1},
        {"sin(1 2)", 0, std::sin(1.0)},
        {"max(1,2", 0, 2},
        {"max ( 3 , 4 ) + 1", 0, 5},
        {"pow(2,0.5)+cos(0)", 0, std::sqrt(2.0) + 1},
        // assignments
        {"a=3", 0, 3, 1},
        {"a = 2*pi", 0, 2 * kPi, 1},
        {"a=", 0, 0, 1},
        {"(a=3)+1", 0, 4},
        {"max(b=2,1)", 0, 2},
        {"a==3", 1, 0},
        {"a=b", 3, 0},
        // the C library's functions
        {"sin(0.5)", 0, std::sin(0.5)},
        {"cos(2)", 0, std::cos(2.0)},
        {"tan(1)", 0, std::tan(1.0)},
        {"asin(0.5)", 0, std::asin(0.5)},
        {"acos(-0.5)", 0, std::acos(-0.5)},
        {"atan(3)", 0, std::atan(3.0)},
        {"sinh(1.5)", 0, std::sinh(1.5)},
        {"cosh(1.5)", 0, std::cosh(1.5)},
        {"tanh(0.5)", 0, std::tanh(0.5)},
        {"exp(2)", 0, std::exp(2.0)},
        {"exp2(10)", 0, 1024},
        {"log(10)", 0, std::log(10.0)},
        {"ln(10)", 0, std::log(10.0)},
        {"log2(10)", 0, std::log2(10.0)},
        {"pow(3,4)", 0, 81},
        {"3^0.5", 0, std::sqrt(3.0)},
        {"sqrt(2)", 0, std::sqrt(2.0)},
        {"floor(-1.5)", 0, -2},
        {"ceil(-1.5)", 0, -1},
        {"abs(-2.5)", 0, 2.5},
        {"hypot(3,4)", 0, 5},
        {"mod(-7,3)", 0, -1},
        {"exp10(2)", 0, 100},
        {"log10(1000)", 0, 3},
        {"sgn(0)", 0, 1},
        {"sgn(-0.5)", 0, -1},
        {"min(2,1)", 0, 1},
        {"max(2,1)", 0, 2},
        {"min(-1,5)", 0, -1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        Evaluator e;
        const Outcome o = evaluate(e, c.text);
        EXPECT_EQ(o.code, c.code);
        if (c.code != 0)
        {
            EXPECT_EQ(o.value, 0.0f) << "a failure gives 0";
            EXPECT_EQ(o.assigned, -1) << "and leaves assigned as it was";
            EXPECT_EQ(e.errorCode(), c.code);
            continue;
        }
        EXPECT_TRUE(near(o.value, c.value));
        EXPECT_EQ(o.assigned, c.assigned);
    }
}

TEST(Evaluator, WhereAFailureIsReported)
{
    struct Case
    {
        std::string text;
        int code;
        int64_t position;
        std::string token;
    };
    const Case cases[] = {
        {"2+", 1, 1, ""},         // the end, just past the text
        {"1 $ 2", 1, 2, "$"},     // an outside character: its own index
        {"y  + 1", 3, 2, "y"},    // past the name and its blanks, less one
        {"foo (1)", 5, 3, "foo"}, //
        {"max(1)", 6, 5, "max"},  // the function's name
        {"(1", 2, 1, ""},         //
        {"sin( )", 7, 5, ")"},    //
        {std::string(600, '1'), 1, 511, "1"},
        {"2*" + std::string(40, '7'), 1, 33, "7"}, // the first digit that does not fit
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        Evaluator e;
        EXPECT_EQ(evaluate(e, c.text).code, c.code);
        EXPECT_EQ(e.errorPosition(), c.position);
        EXPECT_EQ(std::string(e.errorText()), c.token);
    }

    // The longest text and the longest number are read.
    Evaluator e;
    const std::string longest = "1+" + std::string(507, ' ') + "+2";
    ASSERT_EQ(longest.size(), 511u);
    EXPECT_EQ(evaluate(e, longest).code, 0);
    EXPECT_EQ(evaluate(e, longest).value, 3.0f);
    // A success leaves the last failure's code.
    EXPECT_EQ(evaluate(e, "nope").code, 3);
    EXPECT_EQ(evaluate(e, "1").code, 0);
    EXPECT_EQ(e.errorCode(), 3);
}

TEST(Evaluator, DeepNestingWithinTheLimitIsRead)
{
    Evaluator e;
    const std::string nested = std::string(255, '(') + "2" + std::string(255, ')');
    EXPECT_EQ(evaluate(e, nested).value, 2.0f);
    EXPECT_EQ(evaluate(e, std::string(511, '(')).code, 1);
    std::string calls;
    for (int i = 0; i < 100; ++i)
        calls += "abs(";
    calls += "-3";
    EXPECT_EQ(evaluate(e, calls + std::string(100, ')')).value, 3.0f);
}

TEST(Evaluator, VariablesLiveUntilCleared)
{
    Evaluator e;
    // Set, cleared, set again: a variable has one row, found from any row.
    for (const char* text : {"a=1", "b=2", "a=", "b=5", "b="})
        ASSERT_EQ(evaluate(e, text).code, 0) << text;
    EXPECT_EQ(evaluate(e, "b").code, 3) << "cleared for good";
    EXPECT_EQ(evaluate(e, "a").code, 3);

    // Names compare lower-cased and cut, whoever gives them.
    EXPECT_EQ(e.SetValue("Gain", 0.5f), 1);
    float v = 0.0f;
    EXPECT_EQ(e.GetValue("GAIN", &v), 1);
    EXPECT_EQ(v, 0.5f);
    EXPECT_EQ(evaluate(e, "gain*4").value, 2.0f);
    EXPECT_EQ(e.SetValue("abcdefghijklmnopqrst", 5.0f), 1);
    EXPECT_EQ(evaluate(e, "ABCDEFGHIJKLMNOxyz").value, 5.0f) << "a name is known by its first 15 characters";
    EXPECT_EQ(e.GetValue("abcdefghijklmno", &v), 1);
    EXPECT_EQ(e.ClearVar("ABCDEFGHIJKLMNOPQ"), 1);
    EXPECT_EQ(e.GetValue("abcdefghijklmno", &v), 0);
    EXPECT_EQ(e.ClearVar("gain"), 1);
    EXPECT_EQ(e.ClearVar("gain"), 0);

    // A variable hides a constant of its name until cleared.
    EXPECT_EQ(e.SetValue("pi", 3.0f), 1);
    EXPECT_EQ(evaluate(e, "pi").value, 3.0f);
    EXPECT_EQ(evaluate(e, "pi=").code, 0);
    EXPECT_EQ(evaluate(e, "pi").value, 3.1415927f);

    // An assignment inside an argument stays when the text fails later.
    EXPECT_EQ(evaluate(e, "max(c=7, foo(1))").code, 5);
    EXPECT_EQ(evaluate(e, "c").value, 7.0f);
    e.ClearAllVars();
    EXPECT_EQ(evaluate(e, "c").code, 3);
}

TEST(Evaluator, FiftyVariablesAtMost)
{
    Evaluator e;
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(evaluate(e, "v" + std::to_string(i) + "=" + std::to_string(i)).code, 0) << i;
    const Outcome full = evaluate(e, "v50=1");
    EXPECT_EQ(full.code, 4);
    EXPECT_EQ(full.value, 0.0f);
    EXPECT_EQ(e.SetValue("w", 1.0f), 0);
    EXPECT_EQ(evaluate(e, "v50").code, 3) << "nothing was stored";
    EXPECT_EQ(evaluate(e, "v7=70").code, 0) << "a variable that exists still takes values";
    EXPECT_EQ(evaluate(e, "v7").value, 70.0f);
    EXPECT_EQ(evaluate(e, "v3=").code, 0);
    EXPECT_EQ(evaluate(e, "v50=1").code, 0) << "a cleared row is free again";
    EXPECT_EQ(e.SetValue("", 1.0f), 0) << "an empty name is never stored";
}

TEST(Evaluator, FunctionsOfTurnsAndShapes)
{
    const double turn = 2 * kPi;
    struct Case
    {
        const char* text;
        double value;
        double absolute;
    };
    const Case cases[] = {
        // the angle of a point in each quadrant, on the axes and at the origin
        {"turns(1,1)", 0.125, 1e-6},
        {"turns(-1,1)", 0.375, 1e-6},
        {"turns(-1,-1)", 0.625, 1e-6},
        {"turns(1,-1)", 0.875, 1e-6},
        {"turns(3,4)", std::atan2(4.0, 3.0) / turn, 1e-6},
        {"turns(-1,-3)", 1 + std::atan2(-3.0, -1.0) / turn, 1e-6},
        {"turns(0,2)", 0.25, 1e-6},
        {"turns(-2,0)", 0.5, 1e-6},
        {"turns(0,0)", 0, 0},
        {"arg(1,1)", std::atan2(1.0, 1.0), 3e-6},
        {"arg(-1,1)", std::atan2(1.0, -1.0), 3e-6},
        {"arg(-1,-1)", std::atan2(-1.0, -1.0), 3e-6},
        {"arg(1,-1)", std::atan2(-1.0, 1.0), 3e-6},
        {"arg(3,-4)", std::atan2(-4.0, 3.0), 3e-6},
        {"arg(-2,0)", kPi, 3e-6},
        {"arg(0,0)", 0, 0},
        // functions of turns
        {"cost(0.125)", std::cos(turn * 0.125), 2e-7},
        {"cost(0.25)", 0, 2e-7},
        {"sint(1/12)", 0.5, 1e-7},
        {"sint(-0.25)", -1, 1e-7},
        {"tant(0.125)", 1, 1e-6},
        {"tant(-0.125)", -1, 1e-6},
        {"tant(0.625)", 1, 1e-6},
        {"tant(0.1)", std::tan(turn * 0.1), 1e-6},
        {"sinc(0)", 1, 0},
        {"sinc(0.5)", 2 / kPi, 1e-7},
        {"sinc(-0.5)", 2 / kPi, 1e-7},
        {"sinc(2.5)", 1 / (2.5 * kPi), 1e-7},
        {"sinc(1)", 0, 1e-7},
        {"hann(0)", 1, 1e-7},
        {"hann(0.5)", 0.5, 1e-7},
        {"hann(-0.5)", 0.5, 1e-7},
        {"hann(0.25)", (1 + std::cos(kPi * 0.25)) / 2, 1e-7},
        {"hann(1)", 0, 1e-7},
        {"hann(-1.5)", 0, 1e-7},
        {"hann(3)", 0, 1e-7},
        // shapes over each unit
        {"saw(0)", -1, 0},
        {"saw(0.25)", -0.5, 0},
        {"saw(0.75)", 0.5, 0},
        {"saw(-0.25)", 0.5, 0},
        {"saw(3)", -1, 0},
        {"tri(0)", -1, 0},
        {"tri(0.25)", 0, 0},
        {"tri(0.5)", 1, 0},
        {"tri(1.75)", 0, 0},
        {"tri(-0.5)", 1, 0},
        {"squ(0.2,0.5)", 1, 0},
        {"squ(0.5,0.5)", -1, 0},
        {"squ(0.7,0.5)", -1, 0},
        {"squ(1.2,0.5)", 1, 0},
        {"squ(0,-1)", -1, 0},
        {"squ(0.99,2)", 1, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        Evaluator e;
        const Outcome o = evaluate(e, c.text);
        ASSERT_EQ(o.code, 0);
        EXPECT_TRUE(near(o.value, c.value, c.absolute, 0.0));
    }
}

TEST(Evaluator, RandomValuesLieFromATowardsB)
{
    Evaluator e;
    std::srand(12345);
    float lowest = 10.0f, highest = -10.0f;
    double sum = 0.0;
    for (int i = 0; i < 2000; ++i)
    {
        const float v = evaluate(e, "rnd(-3,5)").value;
        ASSERT_GE(v, -3.0f);
        ASSERT_LT(v, 5.0f);
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
        sum += v;
    }
    EXPECT_LT(lowest, -2.9f);
    EXPECT_GT(highest, 4.9f);
    EXPECT_NEAR(sum / 2000, 1.0, 0.25);

    // Where a and b are neighbouring floats (1 and the float after it), half
    // the draws would round onto b: none may.
    for (int i = 0; i < 200; ++i)
    {
        const float v = evaluate(e, "rnd(1,1.00000012)").value;
        ASSERT_EQ(v, 1.0f) << "draw " << i;
    }
    // From a towards b also when b is below a.
    for (int i = 0; i < 200; ++i)
    {
        const float v = evaluate(e, "rnd(2,-2)").value;
        ASSERT_LE(v, 2.0f);
        ASSERT_GT(v, -2.0f);
    }
}
