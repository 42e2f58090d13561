// Text and colour conversions on interface pins, through the built bundle:
// clamped numbers shown as text and typed back, list items shown and typed,
// colour channels as text and hue, saturation and value as red, green and
// blue, under every echo of the host.
#include "arith_rows.h"
#include "mp_sdk_common.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace
{
using namespace arith;

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// Int2TxtC: value 0, minimum 1, maximum 2, text 3.
TEST(IntAsText, ClampedShownTypedReadBack)
{
    UiTable t{L"QW_Int2TxtC"};
    t.start = false;
    t.rows = {
        setOnly(1, i32(0)),
        setOnly(2, i32(100)),
        deliver(0, i32(150), {{3, text(L"100")}}).because("the value pin keeps 150"),
        deliver(0, i32(-7), {{3, text(L"0")}}),
        deliver(0, i32(42), {{3, text(L"42")}}),
        deliver(3, text(L"42abc")).because("42 already: the text stays as typed"),
        deliver(3, text(L" \t+17 apples"), {{0, i32(17)}}),
        deliver(3, text(L"-5"), {{0, i32(0)}, {3, text(L"0")}}),
        deliver(3, text(L"99999999999"), {{0, i32(100)}, {3, text(L"100")}}).because("saturated, then clamped"),
        deliver(3, text(L"-99999999999"), {{0, i32(0)}, {3, text(L"0")}}),
        deliver(0, i32(55), {{3, text(L"55")}}),
        deliver(3, text(L"abc"), {{3, text(L"55")}}).because("no number: the value stays and is shown again"),
        deliver(3, text(L""), {{3, text(L"55")}}),
        deliver(3, text(L"- 3"), {{3, text(L"55")}}),
        deliver(1, i32(60)).because("a limit alone"),
        deliver(0, i32(55), {{3, text(L"60")}}),
    };
    runUiTable(t);
}

// With the minimum above the maximum, values from the minimum up give the
// maximum and those below it the minimum.
TEST(IntAsText, MinimumAboveMaximum)
{
    UiTable t{L"QW_Int2TxtC"};
    t.start = false;
    t.rows = {
        setOnly(1, i32(10)),
        setOnly(2, i32(0)),
        deliver(0, i32(5), {{3, text(L"10")}}),
        deliver(0, i32(10), {{3, text(L"0")}}),
        deliver(0, i32(50), {}),
        deliver(3, text(L"3"), {{0, i32(10)}, {3, text(L"10")}}),
        deliver(3, text(L"20"), {{0, i32(0)}, {3, text(L"0")}}),
    };
    runUiTable(t);
}

// Float2TxtC: value 0, minimum 1, maximum 2, digits 3, text 4. Expected texts
// from the C library's %g at digits + 1 (digits from 1 on, else digits).
std::wstring g(double x, int precision)
{
    char b[400];
    std::snprintf(b, sizeof b, "%.*g", precision, x);
    return gmpi_sdk::fromUtf8(b);
}
std::wstring shown(float x, int digits)
{
    return g(x, digits >= 1 ? digits + 1 : digits);
}

TEST(FloatAsText, ShownLikeTheCLibrary)
{
    const struct
    {
        float value;
        int digits;
        const wchar_t* text;
    } cases[] = {
        {2.0f, 3, L"2"},      {0.000123f, 3, L"0.000123"}, {3.14159f, 2, L"3.14"}, {1234.5f, 2, L"1.23e+03"},
        {0.5f, 0, L"0.5"},    {0.25f, 0, L"0.2"},          {-2.5f, 1, L"-2.5"},    {123456.0f, -1, L"123456"},
        {1e-5f, 2, L"1e-05"}, {100.0f, 2, L"100"},         {1000.0f, 2, L"1e+03"}, {7.0f, 9, L"7"},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.value) + " with " + std::to_string(c.digits) + " digits");
        ASSERT_EQ(shown(c.value, c.digits), c.text) << "the expectation itself";
        UiTable t{L"QW_Float2TxtC"};
        t.start = false;
        t.rows = {setOnly(1, f32(-1e6f)), setOnly(2, f32(1e6f)), setOnly(3, i32(c.digits)),
                  deliver(0, f32(c.value), {{4, text(c.text)}})};
        runUiTable(t);
    }
}

TEST(FloatAsText, ClampedDigitsReformatTypedReadBack)
{
    UiTable t{L"QW_Float2TxtC"};
    t.start = false;
    t.rows = {
        setOnly(1, f32(0)),
        setOnly(2, f32(10)),
        setOnly(3, i32(2)),
        deliver(0, f32(3.14159f), {{4, text(L"3.14")}}),
        deliver(3, i32(4), {{4, text(L"3.1416")}}).because("a digits change reformats at once"),
        deliver(0, f32(12.5f), {{4, text(L"10")}}).because("the value pin keeps 12.5"),
        deliver(4, text(L"2.5xyz"), {{0, f32(2.5f)}}).because("in range: the text stays as typed"),
        deliver(4, text(L"-1"), {{0, f32(0)}, {4, text(L"0")}}),
        deliver(4, text(L"  7.25e0"), {{0, f32(7.25f)}}),
        deliver(4, text(L"nan"), {{4, text(L"7.25")}}).because("NaN is no number: the value stays, shown again"),
        deliver(4, text(L"abc"), {{4, text(L"7.25")}}),
        deliver(4, text(L"1e99"), {{0, f32(10)}, {4, text(L"10")}}).because("beyond the float range, then clamped"),
        deliver(4, text(L"-1e99"), {{0, f32(0)}, {4, text(L"0")}}),
        deliver(4, text(L"99999999999"), {{0, f32(10)}, {4, text(L"10")}}),
        deliver(4, text(L"inf"), {{4, text(L"10")}}).because("the maximum, as the value already is"),
        deliver(4, text(L"0x1p2"), {{0, f32(4)}}),
    };
    runUiTable(t);
}

// A NaN value passes the clamp and shows as the C library writes it.
TEST(FloatAsText, NaNValueShownAsIs)
{
    UiTable t{L"QW_Float2TxtC"};
    t.start = false;
    t.rows = {setOnly(2, f32(10)), deliver(0, f32(kNaN), {{4, text(L"nan")}})};
    runUiTable(t);
}

// List2Txt: choice 0, item list 1, direction 2, item text 3.
TEST(ListAsText, ChoiceShowsItsItem)
{
    UiTable t{L"QW_List2Txt"};
    t.start = false;
    t.rows = {
        deliver(0, i32(5)).because("no list yet"),
        deliver(1, text(L"Off,Low=5,High"), {{3, text(L"Low")}}),
        deliver(0, i32(9), {{3, text(L"")}}),
        deliver(0, i32(6), {{3, text(L"High")}}),
        deliver(0, i32(0), {{3, text(L"Off")}}),
        deliver(1, text(L"range 1,3"), {{3, text(L"")}}),
        deliver(0, i32(2), {{3, text(L"2")}}),
        deliver(1, text(L"----,A=1,B"), {{3, text(L"B")}}).because("the marker has value 0, not plain"),
        deliver(0, i32(1), {{3, text(L"A")}}),
    };
    runUiTable(t);
}

TEST(ListAsText, TypingSelectsExactly)
{
    UiTable t{L"QW_List2Txt"};
    t.start = false;
    t.rows = {
        deliver(1, text(L"Off,Low=5,High")),
        deliver(0, i32(0), {{3, text(L"Off")}}),
        deliver(3, text(L"High")).because("no direction delivered yet"),
        deliver(2, i32(0)),
        deliver(3, text(L"High")).because("direction 0"),
        deliver(2, i32(1)),
        deliver(3, text(L"High"), {{0, i32(6)}}).because("the value after Low=5; the text stays"),
        deliver(3, text(L"high")).because("not the same letters"),
        deliver(3, text(L"Lo")),
        deliver(3, text(L" Low"), {}).because("not the same length"),
        deliver(3, text(L"Low"), {{0, i32(5)}}),
    };
    runUiTable(t);
}

TEST(ListAsText, TypingRenamesTheChosenItem)
{
    UiTable t{L"QW_List2Txt"};
    t.start = false;
    t.rows = {
        deliver(1, text(L"Off,Low=5,High")),
        deliver(2, i32(2)),
        deliver(0, i32(5), {{3, text(L"Low")}}),
        deliver(3, text(L"Medium"), {{1, text(L"Off,Medium=5,High=6")}}),
        deliver(0, i32(6), {{3, text(L"High")}}),
        deliver(0, i32(7), {{3, text(L"")}}),
        deliver(3, text(L"X")).because("no item has the choice"),
        deliver(1, text(L"range 1,3"), {{3, text(L"")}}),
        deliver(0, i32(2), {{3, text(L"2")}}),
        deliver(3, text(L"B"), {{1, text(L"1=1,B=2,3=3")}}).because("a range comes back as a comma list"),
        deliver(2, i32(-4)),
        deliver(3, text(L"Two"), {{1, text(L"1=1,Two=2,3=3")}}).because("any direction but 0 and 1 renames"),
        deliver(3, text(L""), {{1, text(L"1=1,=2,3=3")}}).because("an empty item reads back as one"),
    };
    runUiTable(t);
}

// A typed text that would not read back as that one plain item changes
// nothing: the list keeps every item's value.
TEST(ListAsText, TypedTextThatCannotStandAsOneItemChangesNothing)
{
    for (const wchar_t* typed :
         {L"A,B", L"x=1", L"=", L"----x", L"||||", L">>>>sub", L"<<<<", L" Low", L"Low ", L"\tLow"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(typed));
        UiTable t{L"QW_List2Txt"};
        t.start = false;
        t.rows = {
            deliver(1, text(L"Off,Low=5,High")),
            deliver(2, i32(2)),
            deliver(0, i32(5), {{3, text(L"Low")}}),
            deliver(3, text(typed)),
            deliver(0, i32(6), {{3, text(L"High")}}).because("the list is unchanged"),
        };
        runUiTable(t);
    }
    // "range" at the start of the list: only for the first item.
    UiTable t{L"QW_List2Txt"};
    t.start = false;
    t.rows = {
        deliver(1, text(L"Off,Low=5,High")),
        deliver(2, i32(2)),
        deliver(0, i32(0), {{3, text(L"Off")}}),
        deliver(3, text(L"range 1")),
        deliver(3, text(L"range")),
        deliver(0, i32(6), {{3, text(L"High")}}),
        deliver(3, text(L"range 1"), {{1, text(L"Off,Low=5,range 1=6")}}),
    };
    runUiTable(t);
}

// Lists longer than the entries a module looks at: a range of two billion
// values is searched in its first 10000 entries and not rewritten.
TEST(ListAsText, HugeRangeIsNotWalkedNorRewritten)
{
    UiTable t{L"QW_List2Txt"};
    t.start = false;
    t.rows = {
        deliver(1, text(L"range 0,2000000000")),
        deliver(0, i32(42), {{3, text(L"42")}}),
        deliver(0, i32(1999999999), {{3, text(L"")}}).because("beyond the first 10000 entries"),
        deliver(2, i32(1)),
        deliver(3, text(L"9999"), {{0, i32(9999)}}),
        deliver(3, text(L"10000")).because("the 10001st entry"),
        deliver(2, i32(2)),
        deliver(3, text(L"x")).because("a list of more than 10000 entries is not rewritten"),
    };
    runUiTable(t);
}

// ARGB2Str: alpha 0, red 1, green 2, blue 3, colour 4.
TEST(ColourText, ChannelsAsHexDigits)
{
    UiTable t{L"QW_ARGB2Str"};
    t.start = false;
    t.rows = {
        setOnly(0, f32(1)),
        setOnly(1, f32(0.5f)),
        setOnly(2, f32(0)),
        deliver(3, f32(2), {{4, text(L"ff7f00ff")}}),
        deliver(1, f32(kNaN), {{4, text(L"ff0000ff")}}).because("a NaN channel is 00"),
        deliver(0, f32(-3), {{4, text(L"000000ff")}}),
        deliver(2, f32(0.1f), {{4, text(L"000019ff")}}).because("0.1 x 255 = 25.5, truncated"),
        deliver(3, f32(0.999f), {{4, text(L"000019fe")}}),
        deliver(1, f32(0.5f), {{4, text(L"007f19fe")}}),
    };
    runUiTable(t);
}

// The textbook conversion: six sectors of the hue circle, in double precision.
void textbookRgb(double h, double s, double v, double rgb[3])
{
    const double h6 = (h >= 1.0 ? 0.0 : h) * 6.0;
    const int i = static_cast<int>(std::floor(h6)) % 6;
    const double f = h6 - std::floor(h6);
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    const double table[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
    for (int k = 0; k < 3; ++k)
        rgb[k] = table[i][k];
}

// HSV2RGB: hue 0, saturation 1, value 2, red 3, green 4, blue 5.
TEST(HsvToRgb, MatchesTheTextbookOnAGrid)
{
    for (int hk = 0; hk <= 24; ++hk)
        for (double s : {0.0, 0.3, 1.0})
            for (double v : {0.2, 1.0})
            {
                const float h = hk / 24.0f;
                SCOPED_TRACE("h " + std::to_string(h) + " s " + std::to_string(s) + " v " + std::to_string(v));
                double rgb[3];
                textbookRgb(h, s, v, rgb);
                UiTable t{L"QW_HSV2RGB"};
                t.start = false;
                t.echoes = {qwhost::Echo::Inside};
                t.rows = {setOnly(0, f32(h)),
                          setOnly(1, f32(static_cast<float>(s))),
                          mark(3),
                          mark(4),
                          mark(5),
                          deliver(2, f32(static_cast<float>(v)),
                                  {near(3, rgb[0], 1e-6), near(4, rgb[1], 1e-6), near(5, rgb[2], 1e-6)})};
                runUiTable(t);
            }
}

TEST(HsvToRgb, ClampedInputsAndEveryEcho)
{
    UiTable t{L"QW_HSV2RGB"};
    t.start = false;
    t.rows = {
        setOnly(1, f32(1)),
        deliver(2, f32(1), {near(3, 1)}).because("red; green and blue stay 0"),
        deliver(0, f32(1), {}).because("a hue of 1 is red again"),
        deliver(0, f32(2.5f), {}).because("clamped to 1"),
        deliver(1, f32(0), {near(4, 1), near(5, 1)}).because("grey: (v, v, v)"),
        deliver(2, f32(-1), {near(3, 0), near(4, 0), near(5, 0)}),
        deliver(2, f32(kNaN), {}).because("NaN counts as 0"),
        deliver(2, f32(0.5f), {near(3, 0.5), near(4, 0.5), near(5, 0.5)}),
    };
    runUiTable(t);
}
} // namespace
