// Float control-rate maths through the built bundle: one case table over all
// the memoryless modules (expected values from the defining formulas: IEEE
// single precision where the steps are fixed, the library's double-precision
// functions within the fast maths' stated bounds elsewhere), the running
// mean, and what reaches the host when a result does not change.
#include "control_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

namespace
{
using qwtest::ControlCase;
using qwtest::ControlModule;
using qwtest::kInf;
using qwtest::kNaN;

constexpr double kPi = 3.14159265358979323846;
constexpr float kBelowHalf = 0.49999997f; // the largest float below 0.5

// Angle units and the other options, by their values.
constexpr int kRad = 0, kDeg = 1, kTurn = 2;
constexpr int kBase2 = 0, kBaseE = 1, kBase10 = 2;
constexpr int kSigned = 0, kMagnitude = 1;
constexpr int kLower = 0, kUpper = 1, kBoth = 2;

// Range scaling, in float steps: lo + (x - il)(oh - ol)/(ih - il).
float rangeScaled(float x, float il, float ih, float ol, float oh)
{
    return ol + (x - il) * (oh - ol) / (ih - il);
}

// Wrap in float steps: x - floor(x/range) range, plus range when negative.
float wrapped(float x, float range)
{
    float r = x - std::floor(x / range) * range;
    return r < 0.0f ? r + range : r;
}

// The exact remainder in [0, range), in double precision.
double exactWrap(float x, float range)
{
    const double r = std::fmod(double(x), double(range));
    return r < 0 ? r + range : r;
}

std::complex<double> quotient(double ra, double ia, double rb, double ib)
{
    return std::complex<double>(ra, ia) / std::complex<double>(rb, ib);
}

// Fast maths tolerances: sine 8e-8 and cosine 1.8e-7 absolute, the angle
// 3.7e-7 turns, 2^x 6e-8 and log2 1e-6; the unit conversions add a few ulps.
constexpr double kTrig = 1e-6;
constexpr double kAngleTurns = 1e-6;

TEST(FloatMaths, CaseTable)
{
    const std::complex<double> q1 = quotient(1, 2, 3, 4), q2 = quotient(5, -3, -2, 0.5);
    const ControlCase cases[] = {
        {L"QW_FloatAbs", {{"X", -2.5}}, {{"Output", 2.5}}},
        {L"QW_FloatAbs", {{"X", -kInf}}, {{"Output", kInf}}},
        {L"QW_FloatAdd", {{"A", 1}, {"B", 2}}, {{"Output", 3}}},
        {L"QW_FloatAdd", {{"A", 0.1}, {"B", 0.2}}, {{"Output", 0.1f + 0.2f}}},
        {L"QW_FloatCAdd", {{"Re A", 1}, {"Im A", 2}, {"Re B", 3}, {"Im B", -4}}, {{"Re", 4}, {"Im", -2}}},
        {L"QW_FloatCos", {{"X", 60}, {"Unit", kDeg}}, {{"Output", 0.5}}, kTrig},
        {L"QW_FloatCos", {{"X", kPi}, {"Unit", kRad}}, {{"Output", -1}}, kTrig},
        {L"QW_FloatCos", {{"X", 0.25}, {"Unit", kTurn}}, {{"Output", 0}}, kTrig},
        {L"QW_FloatCos", {{"X", -1.3}, {"Unit", 7}}, {{"Output", std::cos(2 * kPi * -1.3f)}}, kTrig},
        {L"QW_FloatSin", {{"X", 30}, {"Unit", kDeg}}, {{"Output", 0.5}}, kTrig},
        {L"QW_FloatSin", {{"X", 1}, {"Unit", kRad}}, {{"Output", std::sin(1.0)}}, kTrig},
        {L"QW_FloatSin", {{"X", 0.75}, {"Unit", kTurn}}, {{"Output", -1}}, kTrig},
        {L"QW_FloatDiv", {{"A", 1}, {"B", 4}}, {{"Output", 0.25}}},
        {L"QW_FloatDiv", {{"A", 1}, {"B", 0}}, {{"Output", kInf}}},
        {L"QW_FloatDiv", {{"A", -1}, {"B", 0}}, {{"Output", -kInf}}},
        {L"QW_FloatDiv", {{"A", 0}, {"B", 0}}, {{"Output", kNaN}}},
        // The true quotient, imaginary part included: (1+2i)/(3+4i) = 0.44 + 0.08i.
        {L"QW_FloatCDiv",
         {{"Re A", 1}, {"Im A", 2}, {"Re B", 3}, {"Im B", 4}},
         {{"Re", q1.real()}, {"Im", q1.imag()}},
         1e-7},
        {L"QW_FloatCDiv",
         {{"Re A", 5}, {"Im A", -3}, {"Re B", -2}, {"Im B", 0.5}},
         {{"Re", q2.real()}, {"Im", q2.imag()}},
         1e-6},
        {L"QW_FloatCDiv", {{"Re A", 1}, {"Im A", 0}, {"Re B", 0}, {"Im B", 0}}, {{"Re", kNaN}, {"Im", kNaN}}},
        {L"QW_FloatExp", {{"X", 128}, {"Base", kBase2}}, {{"Output", kInf}}},
        {L"QW_FloatExp", {{"X", -127}, {"Base", kBase2}}, {{"Output", 0}}},
        {L"QW_FloatExp", {{"X", 3}, {"Base", kBase2}}, {{"Output", 8}}, 8 * 6e-8},
        {L"QW_FloatExp", {{"X", 1}, {"Base", kBaseE}}, {{"Output", std::exp(1.0)}}, 1e-6},
        {L"QW_FloatExp", {{"X", 2}, {"Base", kBase10}}, {{"Output", 100}}, 100 * 1e-6},
        {L"QW_FloatRound", {{"X", 0.5}, {"Rounding", 1}}, {{"Output", 1}}},
        {L"QW_FloatRound", {{"X", -0.5}, {"Rounding", 1}}, {{"Output", -1}}},
        {L"QW_FloatRound", {{"X", 2.5}, {"Rounding", 1}}, {{"Output", 3}}},
        {L"QW_FloatRound", {{"X", kBelowHalf}, {"Rounding", 1}}, {{"Output", 0}}},
        {L"QW_FloatRound", {{"X", -1.7}, {"Rounding", 0}}, {{"Output", -1}}},
        {L"QW_FloatRound", {{"X", 1.7}, {"Rounding", 5}}, {{"Output", 2}}},
        {L"QW_FloatRound", {{"X", 3e9}, {"Rounding", 1}}, {{"Output", 3e9f}}},
        {L"QW_FloatRound", {{"X", -kInf}, {"Rounding", 1}}, {{"Output", -kInf}}},
        {L"QW_FloatRound", {{"X", kNaN}, {"Rounding", 0}}, {{"Output", kNaN}}},
        {L"QW_FloatFrac", {{"X", -1.75}}, {{"Output", -0.75}}},
        {L"QW_FloatFrac", {{"X", 2.5}}, {{"Output", 0.5}}},
        {L"QW_FloatFrac", {{"X", 3e9}}, {{"Output", 0}}},
        {L"QW_FloatInvert", {{"X", 3}}, {{"Output", -3}}},
        {L"QW_FloatRngScal",
         {{"X", 0.3}, {"Input Low", 0.1}, {"Input High", 1.1}, {"Output Low", 10}, {"Output High", -20}},
         {{"Output", rangeScaled(0.3f, 0.1f, 1.1f, 10.0f, -20.0f)}}},
        {L"QW_FloatRngScal",
         {{"X", 5}, {"Input Low", 0}, {"Input High", 1}, {"Output Low", 0}, {"Output High", 2}},
         {{"Output", 10}}}, // no clamping
        {L"QW_FloatRngScal",
         {{"X", 5}, {"Input Low", 2}, {"Input High", 2}, {"Output Low", 7}, {"Output High", 9}},
         {{"Output", 7}}},
        {L"QW_FloatLog", {{"X", 0}, {"Base", kBase2}}, {{"Output", -kInf}}},
        {L"QW_FloatLog", {{"X", -3}, {"Base", kBase10}}, {{"Output", -kInf}}},
        {L"QW_FloatLog", {{"X", 8}, {"Base", kBase2}}, {{"Output", 3}}, 1e-6},
        {L"QW_FloatLog", {{"X", 10}, {"Base", kBaseE}}, {{"Output", std::log(10.0)}}, 2e-6},
        {L"QW_FloatLog", {{"X", 1000}, {"Base", kBase10}}, {{"Output", 3}}, 1e-6},
        {L"QW_FloatMax", {{"A", -3}, {"B", 3}, {"Comparison", kMagnitude}}, {{"Output", 3}}},
        {L"QW_FloatMax", {{"A", 3}, {"B", -3}, {"Comparison", kMagnitude}}, {{"Output", -3}}},
        {L"QW_FloatMax", {{"A", -5}, {"B", 2}, {"Comparison", kMagnitude}}, {{"Output", -5}}},
        {L"QW_FloatMax", {{"A", -5}, {"B", 2}, {"Comparison", kSigned}}, {{"Output", 2}}},
        {L"QW_FloatMax", {{"A", kNaN}, {"B", 2}, {"Comparison", kSigned}}, {{"Output", kNaN}}},
        {L"QW_FloatMax", {{"A", 2}, {"B", kNaN}, {"Comparison", kSigned}}, {{"Output", 2}}},
        {L"QW_FloatMax", {{"A", 2}, {"B", kNaN}, {"Comparison", kMagnitude}}, {{"Output", kNaN}}},
        {L"QW_FloatMin", {{"A", -3}, {"B", 3}, {"Comparison", kMagnitude}}, {{"Output", 3}}},
        {L"QW_FloatMin", {{"A", -1}, {"B", 3}, {"Comparison", kMagnitude}}, {{"Output", -1}}},
        {L"QW_FloatMin", {{"A", -1}, {"B", -3}, {"Comparison", kSigned}}, {{"Output", -3}}},
        {L"QW_FloatMul", {{"A", 3}, {"B", -2}}, {{"Output", -6}}},
        {L"QW_FloatCMul", {{"Re A", 1}, {"Im A", 2}, {"Re B", 3}, {"Im B", 4}}, {{"Re", -5}, {"Im", 10}}},
        {L"QW_FloatPow", {{"Base", 2}, {"Exponent", 10}}, {{"Output", 1024}}},
        {L"QW_FloatPow", {{"Base", 9}, {"Exponent", 0.5}}, {{"Output", 3}}},
        {L"QW_FloatPow", {{"Base", -2}, {"Exponent", 2}}, {{"Output", 0}}},
        {L"QW_FloatPow", {{"Base", 0}, {"Exponent", -1}}, {{"Output", kInf}}},
        {L"QW_FloatSqrt", {{"X", 16}}, {{"Output", 4}}},
        {L"QW_FloatSqrt", {{"X", -4}}, {{"Output", 0}}},
        {L"QW_FloatSub", {{"A", 5}, {"B", 3}}, {{"Output", 2}}},
        {L"QW_FloatCSub", {{"Re A", 5}, {"Im A", 1}, {"Re B", 3}, {"Im B", 4}}, {{"Re", 2}, {"Im", -3}}},
        {L"QW_FloatWrap", {{"X", -0.25}, {"Range", 1}}, {{"Output", 0.75}}},
        {L"QW_FloatWrap", {{"X", 1.3}, {"Range", 0.5}}, {{"Output", wrapped(1.3f, 0.5f)}}},
        {L"QW_FloatWrap", {{"X", 1.3}, {"Range", 0.5}}, {{"Output", 0.3}}, 1e-7},
        {L"QW_FloatWrap", {{"X", -7.5}, {"Range", 2}}, {{"Output", 0.5}}},
        {L"QW_FloatWrap", {{"X", 3}, {"Range", 0}}, {{"Output", 0}}},
        {L"QW_FloatWrap", {{"X", 3}, {"Range", -1}}, {{"Output", 0}}},
        // Far beyond the range the exact remainder is taken, and x / range
        // beyond the float range does not make the result infinite.
        {L"QW_FloatWrap", {{"X", 1e30}, {"Range", 3}}, {{"Output", exactWrap(1e30f, 3.0f)}}},
        {L"QW_FloatWrap", {{"X", -1e30}, {"Range", 1e-10}}, {{"Output", exactWrap(-1e30f, 1e-10f)}}, 1e-17},
        {L"QW_FloatWrap", {{"X", kInf}, {"Range", 1}}, {{"Output", kNaN}}},
        {L"QW_FloatClip", {{"X", 0}, {"Lower Bound", 5}, {"Upper Bound", 2}, {"Clip", kBoth}}, {{"Output", 5}}},
        {L"QW_FloatClip", {{"X", 9}, {"Lower Bound", 5}, {"Upper Bound", 2}, {"Clip", kBoth}}, {{"Output", 5}}},
        {L"QW_FloatClip", {{"X", 3}, {"Lower Bound", 5}, {"Upper Bound", 2}, {"Clip", kBoth}}, {{"Output", 5}}},
        {L"QW_FloatClip", {{"X", 2}, {"Lower Bound", -1}, {"Upper Bound", 1}, {"Clip", kBoth}}, {{"Output", 1}}},
        {L"QW_FloatClip", {{"X", 0.5}, {"Lower Bound", -1}, {"Upper Bound", 1}, {"Clip", kBoth}}, {{"Output", 0.5}}},
        {L"QW_FloatClip", {{"X", -3}, {"Lower Bound", -1}, {"Upper Bound", -2}, {"Clip", kLower}}, {{"Output", -1}}},
        {L"QW_FloatClip", {{"X", 3}, {"Lower Bound", 5}, {"Upper Bound", 1}, {"Clip", kUpper}}, {{"Output", 1}}},
        {L"QW_FloatC2P", {{"Re", 0}, {"Im", 0}, {"Unit", kRad}}, {{"Radius", 0}, {"Angle", 0}}},
        {L"QW_FloatC2P", {{"Re", 0}, {"Im", -1}, {"Unit", kTurn}}, {{"Radius", 1}, {"Angle", 0.75}}, kAngleTurns},
        {L"QW_FloatC2P", {{"Re", 0}, {"Im", -1}, {"Unit", kDeg}}, {{"Angle", 270}}, 360 * kAngleTurns},
        {L"QW_FloatC2P", {{"Re", 0}, {"Im", -1}, {"Unit", kRad}}, {{"Angle", 0.75f * 6.2831855f}}, 7 * kAngleTurns},
        {L"QW_FloatC2P",
         {{"Re", -3}, {"Im", 4}, {"Unit", kDeg}},
         {{"Radius", 5}, {"Angle", 180 - 53.130102354}},
         360 * kAngleTurns},
        {L"QW_FloatP2C", {{"Radius", 2}, {"Angle", 90}, {"Unit", kDeg}}, {{"Re", 0}, {"Im", 2}}, 2 * kTrig},
        {L"QW_FloatP2C", {{"Radius", 2}, {"Angle", 0.5}, {"Unit", kTurn}}, {{"Re", -2}, {"Im", 0}}, 2 * kTrig},
        {L"QW_FloatP2C",
         {{"Radius", 1}, {"Angle", 1}, {"Unit", kRad}},
         {{"Re", std::cos(1.0)}, {"Im", std::sin(1.0)}},
         kTrig},
        {L"QW_FloatRadius", {{"Re", 3}, {"Im", -4}}, {{"Output", 5}}},
        {L"QW_FloatAngle", {{"Re", -1}, {"Im", 0}, {"Unit", kDeg}}, {{"Output", 180}}, 360 * kAngleTurns},
        {L"QW_FloatAngle", {{"Re", 1}, {"Im", 1}, {"Unit", kTurn}}, {{"Output", 0.125}}, kAngleTurns},
        {L"QW_FloatSign", {{"X", 0}}, {{"Output", 1}}},
        {L"QW_FloatSign", {{"X", -0.0}}, {{"Output", 1}}},
        {L"QW_FloatSign", {{"X", kNaN}}, {{"Output", 1}}},
        {L"QW_FloatSign", {{"X", -1e-30}}, {{"Output", -1}}},
        {L"QW_FloatXFade", {{"A", 1}, {"B", 3}, {"Mix", 0.25}}, {{"Output", 1.5}}},
        {L"QW_FloatXFade", {{"A", 1}, {"B", 3}, {"Mix", -1}}, {{"Output", 1}}},
        {L"QW_FloatXFade", {{"A", 1}, {"B", 3}, {"Mix", 2}}, {{"Output", 3}}},
        {L"QW_FloatTan", {{"X", 45}, {"Unit", kDeg}}, {{"Output", 1}}, 1e-6},
        {L"QW_FloatTan", {{"X", 200}, {"Unit", kDeg}}, {{"Output", std::tan(200 * kPi / 180)}}, 1e-6},
        {L"QW_FloatTan", {{"X", -100}, {"Unit", kDeg}}, {{"Output", std::tan(-100 * kPi / 180)}}, 1e-5},
        {L"QW_FloatTan", {{"X", 0.1}, {"Unit", kTurn}}, {{"Output", std::tan(0.2 * kPi)}}, 1e-6},
        {L"QW_FloatTan", {{"X", -2.3}, {"Unit", kTurn}}, {{"Output", std::tan(2 * kPi * -2.3f)}}, 5e-6},
        {L"QW_FloatTan", {{"X", 1}, {"Unit", kRad}}, {{"Output", std::tan(1.0)}}, 1e-6},
        {L"QW_FloatInfNanCln", {{"X", kInf}, {"Cleaning", 1}}, {{"Output", 10}}},
        {L"QW_FloatInfNanCln", {{"X", -kInf}, {"Cleaning", 1}}, {{"Output", -10}}},
        {L"QW_FloatInfNanCln", {{"X", kNaN}, {"Cleaning", 1}}, {{"Output", 0}}},
        {L"QW_FloatInfNanCln", {{"X", 123}, {"Cleaning", 1}}, {{"Output", 123}}},
        {L"QW_FloatInfNanCln", {{"X", -kInf}, {"Cleaning", 0}}, {{"Output", -1}}},
        {L"QW_FloatInfNanCln", {{"X", kInf}, {"Cleaning", 4}}, {{"Output", 0}}},
    };
    for (auto& c : cases)
        qwtest::runCase(c);
}

// Near a quarter turn the denominator of the tangent vanishes.
TEST(FloatMaths, TangentAtAQuarterTurnIsHugeOrInfinite)
{
    for (auto [x, unit] : {std::pair{90.0, kDeg}, {-90.0, kDeg}, {0.25, kTurn}, {1.75, kTurn}})
    {
        ControlModule m(L"QW_FloatTan");
        m.start();
        m.set("X", x);
        m.set("Unit", unit);
        m.step();
        EXPECT_GT(std::fabs(m.value("Output")), 1e6) << x << " in unit " << unit;
    }
}

TEST(FloatMaths, AverageIsTheRunningMeanSinceTheLastReset)
{
    ControlModule m(L"QW_FloatAverage");
    m.start();
    struct Step
    {
        double reset;
        double x; // NaN: no new x in this step
        double mean;
    };
    const Step steps[] = {
        {1, 1, 1},    {0, 2, 1.5}, {0, 3, 2}, // reset cleared the value from graph start
        {1, 5, 5},                            // reset held: the step's x alone
        {1, kNaN, 0},                         // reset alone
        {0, 4, 4},
    };
    for (auto& s : steps)
    {
        m.set("Reset", s.reset);
        if (!std::isnan(s.x))
            m.set("X", s.x);
        m.step();
        EXPECT_EQ(m.value("Output"), s.mean) << "reset " << s.reset << " x " << s.x;
    }
}

TEST(FloatMaths, AnUnchangedResultSendsNothingAndANanResultIsAlwaysSent)
{
    ControlModule m(L"QW_FloatAdd");
    m.start();
    m.set("A", 1);
    m.set("B", 2);
    m.step();
    const size_t sent = m.countOf("Output");
    EXPECT_EQ(m.value("Output"), 3);
    m.set("A", 2);
    m.set("B", 1);
    m.step();
    m.set("B", 1);
    m.step();
    EXPECT_EQ(m.countOf("Output"), sent) << "3 again is not sent";

    m.set("A", kNaN);
    m.step();
    m.set("A", kNaN);
    m.step();
    EXPECT_EQ(m.countOf("Output"), sent + 2) << "every NaN result is sent";
    EXPECT_TRUE(std::isnan(m.value("Output")));
}
} // namespace
