// Polar and Cartesian conversions on interface pins. Sines, cosines and
// angles come from the fast turn functions: expected values are exact
// trigonometry, within the approximations' stated error (sine and cosine
// 1.8e-7 a unit of magnitude, angle 3.7e-7 turns) and float rounding.
#include "arith_rows.h"
#include "mp_sdk_common.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

namespace
{
using namespace arith;

const double kPi = std::acos(-1.0);

// Tolerance of a coordinate of magnitude m, and of an angle in a unit.
double coordTol(double m)
{
    return 3e-7 * std::max(1.0, m);
}
double angleTol(int unit)
{
    return unit == 0 ? 3e-6 : unit == 1 ? 2e-4 : 5e-7;
}
// Exact angle of a number of turns in a unit (0 radians, 1 degrees, other turns).
double inUnit(double turns, int unit)
{
    return unit == 0 ? turns * 2 * kPi : unit == 1 ? turns * 360 : turns;
}
std::string unitName(int unit)
{
    return "unit " + std::to_string(unit);
}

// Both pairs of P2C and C2P: left 2 and 3, right 4 and 5; unit 6, switch 7.
constexpr int kL0 = 2, kL1 = 3, kR0 = 4, kR1 = 5, kUnit = 6, kSwitch = 7;

// A two-value result: first value right then left, second value right then left.
UiSends pair(double first, double firstTol, double second, double secondTol)
{
    return {near(kR0, first, firstTol), near(kL0, first, firstTol), near(kR1, second, secondTol),
            near(kL1, second, secondTol)};
}

TEST(FloatP2C, MagnitudeAndAngleToXAndY)
{
    const struct
    {
        int unit;
        float m, a;
        double turns;
    } cases[] = {
        {1, 2, 90, 0.25},    {1, 2, 180, 0.5},         {2, 2, 0.25f, 0.25},
        {2, 2, 0.5f, 0.5},   {0, 2, 1.5707964f, 0.25}, {0, 1, 3.1415927f, 0.5},
        {1, 3, -45, -0.125}, {1, 3, 765, 2.125},       {INT_MAX, 1, 0.125f, 0.125},
        {1, 0, 123, 0},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE(unitName(c.unit) + ", magnitude " + std::to_string(c.m) + ", angle " + std::to_string(c.a));
        UiTable t{L"QW_GUIFloatP2C"};
        t.start = false;
        const double x = c.m * std::cos(2 * kPi * c.turns), y = c.m * std::sin(2 * kPi * c.turns);
        t.rows = {mark(kL0),
                  mark(kL1),
                  mark(kR0),
                  mark(kR1),
                  deliver(kUnit, i32(c.unit)),
                  setOnly(0, f32(c.m)),
                  deliver(1, f32(c.a), pair(x, coordTol(c.m), y, coordTol(c.m))),
                  deliver(kUnit, i32(c.unit == 1 ? 2 : 1)).because("a unit change alone")};
        runUiTable(t);
    }
}

TEST(FloatP2C, EitherPairBackToMagnitudeAndAngle)
{
    for (bool left : {true, false})
    {
        SCOPED_TRACE(left ? "left pair" : "right pair");
        const int x = left ? kL0 : kR0, y = left ? kL1 : kR1;
        UiTable t{L"QW_GUIFloatP2C"};
        t.start = false;
        t.rows = {
            deliver(kUnit, i32(1)),
            setOnly(x, f32(0)),
            deliver(y, f32(3)).because("switch off"),
            deliver(kSwitch, b8(true)),
            deliver(y, f32(3), {near(0, 3), near(1, 90, angleTol(1))}),
            setOnly(x, f32(-1)),
            deliver(y, f32(0), {near(0, 1), near(1, 180, angleTol(1))}),
            deliver(kUnit, i32(0)),
            setOnly(x, f32(1)),
            deliver(y, f32(-1), {near(0, std::sqrt(2.0), 1e-6), near(1, 7 * kPi / 4, angleTol(0))}),
            setOnly(x, f32(0)),
            deliver(y, f32(0), {near(0, 0), near(1, 0)}).because("the zero vector: angle 0"),
        };
        runUiTable(t);
    }
}

TEST(FloatC2P, XAndYToMagnitudeAndAngle)
{
    const struct
    {
        int unit;
        float x, y;
        double m, turns;
    } cases[] = {
        {1, -1, 0, 1, 0.5},
        {2, -1, 0, 1, 0.5},
        {0, -1, 0, 1, 0.5},
        {1, 1, -1, std::sqrt(2.0), 0.875},
        {0, 1, -1, std::sqrt(2.0), 0.875},
        {2, 0, -1, 1, 0.75},
        {1, 3, 4, 5, std::atan2(4.0, 3.0) / (2 * kPi)},
        {INT_MIN, 0, 2, 2, 0.25},
        {0, 0, 0, 0, 0},
        {1, 0, 0, 0, 0},
        {2, 0, 0, 0, 0},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE(unitName(c.unit) + ", X " + std::to_string(c.x) + ", Y " + std::to_string(c.y));
        const int unit = c.unit == 0 || c.unit == 1 ? c.unit : 2;
        UiTable t{L"QW_GUIFloatC2P"};
        t.start = false;
        t.rows = {mark(kL0),
                  mark(kL1),
                  mark(kR0),
                  mark(kR1),
                  deliver(kUnit, i32(c.unit)),
                  setOnly(0, f32(c.x)),
                  deliver(1, f32(c.y), pair(c.m, 1e-6, inUnit(c.turns, unit), angleTol(unit)))};
        runUiTable(t);
    }
}

TEST(FloatC2P, EitherPairBackToXAndY)
{
    for (bool left : {true, false})
    {
        SCOPED_TRACE(left ? "left pair" : "right pair");
        const int m = left ? kL0 : kR0, a = left ? kL1 : kR1;
        UiTable t{L"QW_GUIFloatC2P"};
        t.start = false;
        t.rows = {
            mark(0),
            mark(1),
            deliver(kSwitch, b8(true)),
            deliver(kUnit, i32(1)),
            setOnly(m, f32(2)),
            deliver(a, f32(90), {near(0, 0, coordTol(2)), near(1, 2, coordTol(2))}),
            deliver(a, f32(180), {near(0, -2, coordTol(2)), near(1, 0, coordTol(2))}),
            deliver(kUnit, i32(0)),
            deliver(a, f32(-0.7853982f), {near(0, std::sqrt(2.0), 1e-6), near(1, -std::sqrt(2.0), 1e-6)}),
        };
        runUiTable(t);
    }
}

// The angle just below the positive X axis: a full turn less a little, or
// 0; never a full turn, in any unit.
TEST(FloatC2P, AnglesStayBelowAFullTurn)
{
    for (int unit : {0, 1, 2})
        for (float y : {-1e-3f, -1e-5f, -1e-7f, -1e-20f, -1.4e-45f})
            for (const wchar_t* id : {L"QW_GUIFloatC2P", L"QW_GUIFloatAngle"})
            {
                if (unit == 0 && std::wstring(id) == L"QW_GUIFloatAngle")
                    continue; // signed radians
                SCOPED_TRACE(gmpi_sdk::toUtf8(id) + " " + unitName(unit) + ", Y " + std::to_string(y));
                qwhost::GuiHost host;
                auto g = host.create(bundle("panelkit"), id, false);
                const bool c2p = std::wstring(id) == L"QW_GUIFloatC2P";
                g->setInt(c2p ? kUnit : 4, unit);
                g->setFloat(0, 1.0f);
                g->setFloat(1, y);
                const qwhost::GuiValue* sent = g->lastTransmit(c2p ? kL1 : 2);
                const double full = inUnit(1, unit), turns = std::atan2(double(y), 1.0) / (2 * kPi) + 1;
                const double a = sent ? sent->asFloat() : 0.0; // nothing sent: still 0
                EXPECT_GE(a, 0.0);
                EXPECT_LT(a, full);
                // How far below a full turn, against the exact angle's; 0 when that is within the error.
                const double below = full - inUnit(turns, unit), tol = angleTol(unit);
                EXPECT_TRUE(std::fabs((full - a) - below) <= tol || (a <= tol && below <= tol)) << a;
            }
}

TEST(FloatRadius, MagnitudeSecondCopyFirst)
{
    const struct
    {
        float x, y;
        double m;
    } cases[] = {{3, 4, 5}, {-3, -4, 5}, {0, 0, 0}, {0, -2.5f, 2.5}, {1, 1, std::sqrt(2.0)}};
    for (auto& c : cases)
    {
        SCOPED_TRACE("X " + std::to_string(c.x) + ", Y " + std::to_string(c.y));
        UiTable t{L"QW_GUIFloatRadius"};
        t.start = false;
        t.rows = {mark(2), mark(3), setOnly(0, f32(c.x)),
                  deliver(1, f32(c.y), {near(3, c.m, 1e-6), near(2, c.m, 1e-6)})};
        runUiTable(t);
    }
}

TEST(FloatAngle, SignedRadiansOtherUnitsFromZero)
{
    const struct
    {
        int unit;
        float x, y;
        double angle;
    } cases[] = {
        {0, 1, -1, -kPi / 4}, {0, -1, 0, kPi}, {0, -1, -0.0f, kPi}, {0, -1, -1e-30f, -kPi}, {0, 0, 2, kPi / 2},
        {0, 0, -2, -kPi / 2}, {0, 0, 0, 0},    {1, 1, -1, 315},     {1, 0, 0, 0},           {1, -1, 1, 135},
        {2, 0, -1, 0.75},     {2, 0, 0, 0},    {7, 1, 1, 0.125},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE(unitName(c.unit) + ", X " + std::to_string(c.x) + ", Y " + std::to_string(c.y));
        const int unit = c.unit == 0 || c.unit == 1 ? c.unit : 2;
        UiTable t{L"QW_GUIFloatAngle"};
        t.start = false;
        t.rows = {mark(2),
                  mark(3),
                  deliver(4, i32(c.unit)),
                  setOnly(0, f32(c.x)),
                  deliver(1, f32(c.y), {near(3, c.angle, angleTol(unit)), near(2, c.angle, angleTol(unit))}),
                  deliver(4, i32(c.unit == 1 ? 2 : 1)).because("a unit change alone")};
        runUiTable(t);
    }
}
} // namespace
