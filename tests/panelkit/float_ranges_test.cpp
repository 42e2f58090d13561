// Range mapping, wrapping, clipping, smaller and larger, running mean and
// cross-fade on interface pins, under every echo of the host.
#include "arith_rows.h"
#include "mp_sdk_common.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

namespace
{
using namespace arith;

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// QW_GUIFloatRngScal: value 0, input range 1-2, output range 3-4, copies 5
// and 6, switch 7, range-change mode 8.
constexpr int kV = 0, kIn1 = 1, kIn2 = 2, kOut1 = 3, kOut2 = 4, kL = 5, kR = 6, kSwitch = 7, kMode = 8;

// Input range 0..10, output range 100..200, value 5: 150 on both copies.
std::vector<UiRow> scaleFrom0To10Onto100To200(int mode)
{
    return {setOnly(kIn2, f32(10)), setOnly(kOut1, f32(100)), setOnly(kOut2, f32(200)), deliver(kMode, i32(mode)),
            deliver(kV, f32(5), copies(kL, kR, 150))};
}

TEST(FloatRngScal, MapsBothWaysAndEqualEndsGiveTheFirstEnd)
{
    UiTable t{L"QW_GUIFloatRngScal"};
    t.start = false;
    t.rows = scaleFrom0To10Onto100To200(0);
    const std::vector<UiRow> more = {
        deliver(kV, f32(20), copies(kL, kR, 300)).because("values outside the range extrapolate"),
        deliver(kL, f32(120)).because("switch off"),
        deliver(kSwitch, b8(true)),
        deliver(kL, f32(120), one(kV, 2)),
        deliver(kR, f32(250), one(kV, 15)),
        deliver(kIn1, f32(3)).because("mode 0: a range change does nothing"),
        deliver(kIn2, f32(3)),
        deliver(kV, f32(7), copies(kL, kR, 100)).because("input range 3..3"),
        deliver(kV, f32(-50)).because("still 100"),
        deliver(kOut2, f32(100)),
        deliver(kL, f32(42), one(kV, 3)).because("output range 100..100: back to the first input end"),
        deliver(kIn1, f32(10)),
        deliver(kIn2, f32(0)),
        deliver(kOut2, f32(200)),
        deliver(kV, f32(2.5f), copies(kL, kR, 175)).because("reversed input ends invert the slope"),
    };
    t.rows.insert(t.rows.end(), more.begin(), more.end());
    runUiTable(t);
}

// Input-range changes recompute the result in modes 1 and 3, output-range
// changes the value in modes 2 and 3; no other mode does anything (not even
// one whose low bits are set, like 5 or 7). Neither needs the switch.
TEST(FloatRngScal, RangeChangeModes)
{
    for (int mode : {0, 1, 2, 3, 4, 5, 7, -1, INT_MIN, INT_MAX})
    {
        SCOPED_TRACE("mode " + std::to_string(mode));
        const bool result = mode == 1 || mode == 3, value = mode == 2 || mode == 3;
        {
            UiTable t{L"QW_GUIFloatRngScal"};
            t.start = false;
            t.rows = scaleFrom0To10Onto100To200(mode);
            t.rows.push_back(deliver(kIn2, f32(20), result ? copies(kL, kR, 125) : UiSends{}));
            runUiTable(t);
        }
        {
            UiTable t{L"QW_GUIFloatRngScal"};
            t.start = false;
            t.rows = scaleFrom0To10Onto100To200(mode);
            t.rows.push_back(deliver(kOut2, f32(300), value ? one(kV, 2.5) : UiSends{}));
            runUiTable(t);
        }
    }
}

TEST(FloatRngScal, OutputRangeChangeTakesTheRightCopyWhenTheLeftHoldsZero)
{
    UiTable t{L"QW_GUIFloatRngScal"};
    t.start = false;
    t.rows = scaleFrom0To10Onto100To200(2);
    const std::vector<UiRow> more = {
        setOnly(kL, f32(0)),     deliver(kOut2, f32(300), one(kV, 2.5)).because("from the right copy's 150"),
        setOnly(kL, f32(110)),   deliver(kOut1, f32(100), one(kV, 0.5)).because("from the left copy's 110"),
        setOnly(kL, f32(-0.0f)), deliver(kOut1, f32(100), one(kV, 2.5)).because("-0 is 0 too"),
    };
    t.rows.insert(t.rows.end(), more.begin(), more.end());
    runUiTable(t);
}

// QW_GUIFloatRngScal2: switch 0, mode 1, value 2, input range 3-4, output
// range 5-6, copies 7 and 8.
TEST(FloatRngScal2, AnyRangeChangeActsByTheMode)
{
    constexpr int kSw2 = 0, kMode2 = 1, kV2 = 2, kIn2b = 4, kOut1b = 5, kOut2b = 6, kL2 = 7, kR2 = 8;
    // Input 0..10, output 100..200, value 5 (150 on both copies), then the
    // left copy holds 110 and the right one 150.
    const struct
    {
        int mode;
        UiSends onIn, onOut;
        float left;
    } cases[] = {
        {0, copies(kL2, kR2, 125), copies(kL2, kR2, 200), 110},
        {1, one(kV2, 2), one(kV2, 0.5), 110},
        {1, one(kV2, -20), one(kV2, -5), 0}, // no fall back to the right copy
        {2, one(kV2, 10), one(kV2, 2.5), 110},
        {3, {}, {}, 110},
        {-1, {}, {}, 110},
        {INT_MAX, {}, {}, 110},
    };
    for (auto& c : cases)
        for (bool input : {true, false})
        {
            SCOPED_TRACE("mode " + std::to_string(c.mode) + (input ? ", input range" : ", output range") +
                         ", left copy " + std::to_string(c.left));
            UiTable t{L"QW_GUIFloatRngScal2"};
            t.start = false;
            t.rows = {
                setOnly(kIn2b, f32(10)),
                setOnly(kOut1b, f32(100)),
                setOnly(kOut2b, f32(200)),
                deliver(kMode2, i32(c.mode)),
                deliver(kV2, f32(5), copies(kL2, kR2, 150)),
                setOnly(kL2, f32(c.left)),
                input ? deliver(kIn2b, f32(20), c.onIn) : deliver(kOut2b, f32(300), c.onOut),
            };
            runUiTable(t);
        }
    UiTable t{L"QW_GUIFloatRngScal2"};
    t.start = false;
    t.rows = {
        deliver(kMode2, i32(7)),
        setOnly(kIn2b, f32(10)),
        setOnly(kOut2b, f32(20)),
        deliver(kV2, f32(5), copies(kL2, kR2, 10)),
        deliver(kR2, f32(4)).because("switch off"),
        deliver(kSw2, b8(true)),
        deliver(kR2, f32(4), one(kV2, 2)),
        deliver(kL2, f32(30), one(kV2, 15)),
    };
    runUiTable(t);
}

// QW_GUIFloatWrap: value 0, period 1, copies 2 and 3, switch 4, mode 5.
constexpr int kWV = 0, kPeriod = 1, kWL = 2, kWR = 3, kWSwitch = 4, kWMode = 5;

TEST(FloatWrap, WrapsIntoThePeriod)
{
    // By hand: v - floor(v / p) p.
    const struct
    {
        float p, v;
        double r;
    } cases[] = {
        {1, -0.25f, 0.75}, {1, 2.5f, 0.5}, {1, 0.75f, 0.75}, {1, -3, 0},     {2.5f, 7, 2},
        {2.5f, -7, 0.5},   {0, 3, 0},      {-1, 3, 0},       {-1, -0.5f, 0}, {1, kNaN, kNaN},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE("period " + std::to_string(c.p) + ", value " + std::to_string(c.v));
        UiTable t{L"QW_GUIFloatWrap"};
        t.start = false;
        t.rows = {setOnly(kPeriod, f32(c.p)), mark(kWL), mark(kWR), deliver(kWV, f32(c.v), copies(kWL, kWR, c.r))};
        runUiTable(t);
    }
}

TEST(FloatWrap, BackwardsAndPeriodChanges)
{
    UiTable t{L"QW_GUIFloatWrap"};
    t.start = false;
    t.rows = {
        setOnly(kPeriod, f32(1)),
        deliver(kWSwitch, b8(true)),
        deliver(kWV, f32(2.5f), copies(kWL, kWR, 0.5)).because("the echo of 0.5 leaves the value at 2.5"),
        deliver(kPeriod, f32(1.5f)).because("mode 0: nothing"),
        deliver(kWMode, i32(1)),
        deliver(kPeriod, f32(1.5f), copies(kWL, kWR, 1)).because("2.5 wrapped into 1.5"),
        deliver(kWL, f32(3.25f), one(kWV, 0.25)),
        deliver(kWR, f32(-0.5f), one(kWV, 1)),
        deliver(kWMode, i32(2)),
        setOnly(kWL, f32(0)),
        setOnly(kWR, f32(0.7f)),
        deliver(kPeriod, f32(0.5f), one(kWV, 0.2, 1e-6)).because("from the right copy: the left holds 0"),
        setOnly(kWL, f32(1.25f)),
        deliver(kPeriod, f32(1), one(kWV, 0.25)).because("from the left copy"),
        deliver(kWMode, i32(3)),
        deliver(kPeriod, f32(2)).because("mode 3: nothing"),
    };
    runUiTable(t);
}

// QW_GUIFloatClip: value 0, limits 1 and 2, copies 3 and 4, clip mode 5,
// switch 6, range-change mode 7.
constexpr int kCV = 0, kLo = 1, kHi = 2, kCL = 3, kCR = 4, kClipMode = 5, kCSwitch = 6, kCMode = 7;

TEST(FloatClip, ClipModesWithTheLowerLimitAboveTheUpper)
{
    const struct
    {
        int mode;
        float lo, hi, v;
        double r;
    } cases[] = {
        {2, 10, 0, 5, 10}, {2, 10, 0, 50, 0},     {2, 10, 0, -5, 10},     {0, 10, 0, 50, 50},    {0, 10, 0, 5, 10},
        {1, 10, 0, 50, 0}, {1, 10, 0, 5, 0},      {1, 0, 10, 5, 5},       {2, 0, 1, 0.5f, 0.5},  {2, 0, 1, -1, 0},
        {2, 0, 1, 2, 1},   {INT_MAX, 0, 1, 2, 1}, {INT_MIN, 0, 1, -2, 0}, {2, 0, 1, kNaN, kNaN}, {0, 0, 1, kNaN, kNaN},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + ", limits " + std::to_string(c.lo) + ".." +
                     std::to_string(c.hi) + ", value " + std::to_string(c.v));
        UiTable t{L"QW_GUIFloatClip"};
        t.start = false;
        t.rows = {setOnly(kLo, f32(c.lo)),
                  setOnly(kHi, f32(c.hi)),
                  deliver(kClipMode, i32(c.mode)),
                  mark(kCL),
                  mark(kCR),
                  deliver(kCV, f32(c.v), copies(kCL, kCR, c.r))};
        runUiTable(t);
    }
}

TEST(FloatClip, BackwardsAndLimitChanges)
{
    UiTable t{L"QW_GUIFloatClip"};
    t.start = false;
    t.rows = {
        setOnly(kHi, f32(1)),
        deliver(kClipMode, i32(2)),
        deliver(kCSwitch, b8(true)),
        deliver(kCV, f32(5), copies(kCL, kCR, 1)).because("the echo of 1 leaves the value at 5"),
        deliver(kCR, f32(-5), one(kCV, 0)),
        deliver(kCV, f32(5), {{kCR, f32(1)}}).because("the right copy held -5, the left one 1 still"),
        deliver(kCMode, i32(1)),
        deliver(kHi, f32(3), copies(kCL, kCR, 3)),
        deliver(kCMode, i32(2)),
        setOnly(kHi, f32(10)),
        setOnly(kCL, f32(0)),
        setOnly(kCR, f32(12)),
        deliver(kLo, f32(1), one(kCV, 10)).because("the right copy's 12: the left holds 0"),
        setOnly(kCL, f32(-3)),
        deliver(kLo, f32(1), one(kCV, 1)).because("the left copy's -3"),
        deliver(kCMode, i32(0)),
        deliver(kLo, f32(2)).because("mode 0: nothing"),
    };
    runUiTable(t);
}

// Min and Max: operands 0 and 1, copies 2 and 3 (3 written first),
// magnitude mode 4.
TEST(FloatMinMax, ByValueAndByMagnitudeSecondCopyFirst)
{
    const struct
    {
        const wchar_t* id;
        int mode;
        float a, b;
        double r;
    } cases[] = {
        {L"QW_GUIFloatMin", 0, 1, 2, 1},       {L"QW_GUIFloatMin", 0, 2, 1, 1},
        {L"QW_GUIFloatMax", 0, 1, 2, 2},       {L"QW_GUIFloatMax", 0, 2, 1, 2},
        {L"QW_GUIFloatMin", 1, -3, 3, 3},      {L"QW_GUIFloatMax", 1, -3, 3, 3},
        {L"QW_GUIFloatMin", 1, -2, 5, -2},     {L"QW_GUIFloatMax", 1, -2, 5, 5},
        {L"QW_GUIFloatMax", 1, -7, 5, -7},     {L"QW_GUIFloatMin", INT_MIN, 5, -2, -2},
        {L"QW_GUIFloatMin", 0, kNaN, 1, kNaN}, {L"QW_GUIFloatMax", 0, kNaN, 1, kNaN},
        {L"QW_GUIFloatMax", 0, 1, kNaN, 1},    {L"QW_GUIFloatMin", 0, -0.0f, 0, -0.0},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(c.id) + " mode " + std::to_string(c.mode) + " of " + std::to_string(c.a) + ", " +
                     std::to_string(c.b));
        UiTable t{c.id};
        t.start = false;
        t.rows = {
            mark(2),
            mark(3),
            deliver(4, i32(c.mode)),
            setOnly(0, f32(c.a)),
            deliver(1, f32(c.b), {near(3, c.r), near(2, c.r)}),
            deliver(4, i32(c.mode == 0 ? 1 : 0)).because("a mode change alone"),
        };
        runUiTable(t);
    }
}

// Average: value 0, reset 1, mean 2; the two identifiers are one module.
TEST(FloatAverage, RunningMeanAndReset)
{
    for (const wchar_t* id : {L"QW_GUIFloatAverageL", L"QW_GUIFloatAverageR"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        UiTable t{id};
        t.start = false;
        t.rows = {
            deliver(0, f32(1), one(2, 1)),
            deliver(0, f32(2), one(2, 1.5)),
            deliver(0, f32(3), one(2, 2)),
            deliver(1, b8(true), one(2, 0)),
            deliver(0, f32(4), one(2, 4)).because("reset held: every value starts again"),
            deliver(0, f32(6), one(2, 6)),
            deliver(1, b8(false)).because("releasing the reset does nothing"),
            deliver(0, f32(8), one(2, 7)),
            deliver(1, b8(true), one(2, 0)),
            deliver(1, b8(false)),
            deliver(0, f32(5), one(2, 5)),
            deliver(0, f32(5)).because("mean still 5"),
        };
        runUiTable(t);
    }
}

// XFade: inputs 0 and 1, fade 2, switch 3, fade-change mode 4, result 5.
constexpr int kA = 0, kB = 1, kFade = 2, kXSwitch = 3, kXMode = 4, kResult = 5;

TEST(FloatXFade, FadesClampsAndSplitsAResultBack)
{
    UiTable t{L"QW_GUIFloatXFade"};
    t.start = false;
    t.rows = {
        deliver(kXSwitch, b8(true)),
        deliver(kFade, f32(0.25f)).because("mode 0: nothing"),
        deliver(kB, f32(10), one(kResult, 2.5)).because("the echo of 2.5 leaves the inputs"),
        deliver(kXMode, i32(1)),
        deliver(kFade, f32(2), one(kResult, 10)).because("a fade above 1 counts as 1"),
        deliver(kFade, f32(-1), one(kResult, 0)),
        deliver(kFade, f32(0.25f), one(kResult, 2.5)),
        deliver(kResult, f32(8), {near(kA, 6), near(kB, 2)}).because("the result pin is not rewritten"),
        deliver(kXMode, i32(2)),
        deliver(kFade, f32(0.5f), {near(kA, 4), near(kB, 4)}).because("the inputs from the result 8"),
        deliver(kXMode, i32(3)),
        deliver(kFade, f32(0.75f)),
        deliver(kXMode, i32(1)),
        deliver(kFade, f32(kNaN), one(kResult, kNaN)).because("a NaN fade passes"),
        deliver(kXSwitch, b8(false)),
        deliver(kResult, f32(1)).because("switch off"),
    };
    runUiTable(t);
}

TEST(FloatXFade, InputsKeepTheirValuesWhenTheResultComesBack)
{
    UiTable t{L"QW_GUIFloatXFade"};
    t.start = false;
    t.rows = {
        deliver(kXSwitch, b8(true)),
        setOnly(kFade, f32(0.25f)),
        deliver(kA, f32(4), one(kResult, 3)),
        deliver(kB, f32(8), one(kResult, 5)),
        deliver(kA, f32(4)).because("both inputs still 4 and 8: the result 5 is unchanged"),
    };
    runUiTable(t);
}
} // namespace

namespace
{
using UiCommand = qwtest::CommandTest;

// qwhost ui plays a range mapping: 150 on both copies, under every echo.
TEST_F(UiCommand, ShowsARangeMappingOnBothCopies)
{
    const std::string panelkit = std::string(QW_BUNDLE_DIR) + "/panelkit.so";
    for (const char* echo : {"none", "inside", "later"})
    {
        SCOPED_TRACE(echo);
        const Result r = qwhost({"ui", panelkit, "QW_GUIFloatRngScal", "--echo", echo, "--steps",
                                 "In 2=10; Out 1=100; Out 2=200; Value=5; Bidirectional=true; Result L=120"});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.out.find("Value=5\n\tsent Result R = 150\n\tsent Result L = 150\n"
                             "Bidirectional=true\nResult L=120\n\tsent Value = 2\n"),
                  std::string::npos)
            << r.out;
    }
}
} // namespace
