// Hostile values on the unit, text and colour converters of panelkit: the
// ends of the integer range on every int pin, NaN, infinities and the float
// range's end on every float pin, texts of a megabyte, huge ranges and
// characters UTF-8 cannot encode on every text pin. Nothing throws, hangs,
// keeps sending or converts out of range (the sanitizers stop the test at
// such a conversion); where a value is defined, it is checked.
#include "arith_rows.h"
#include "mp_sdk_common.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace
{
using namespace arith;

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

const wchar_t* const kConverters[] = {
    L"QW_V2dB",           L"QW_dB2V",           L"QW_F2dB",      L"QW_dB2F",       L"QW_Oct2Hz",      L"QW_Hz2Oct",
    L"QW_GUI_MIDI2Pitch", L"QW_GUI_Pitch2MIDI", L"QW_MIDI2Note", L"QW_Pitch2Note", L"QW_CtrlRespPow", L"QW_Int2TxtC",
    L"QW_Float2TxtC",     L"QW_List2Txt",       L"QW_ARGB2Str",  L"QW_HSV2RGB",
};

const float kHostileFloats[] = {kNaN, -kNaN, kInf, -kInf, 3.4e38f, -3.4e38f, FLT_MAX, -FLT_MAX, 0.0f, -0.0f, 0.5f};
const int32_t kHostileInts[] = {INT_MIN, INT_MAX, INT_MIN + 1, -1, 0, 1, 2};

std::wstring megabyteOf(const std::wstring& unit)
{
    std::wstring s;
    while (s.size() < (1u << 20))
        s += unit;
    return s;
}

// Texts no UTF-8 can hold: lone surrogates and values beyond U+10FFFF.
std::wstring unencodable()
{
    std::wstring s = L"A,";
    s += static_cast<wchar_t>(0xD800);
    s += L"=3,";
    s += static_cast<wchar_t>(0x110000);
    s += static_cast<wchar_t>(-1);
    return s;
}

std::vector<std::wstring> hostileTexts()
{
    return {megabyteOf(L"9"),
            megabyteOf(L"A,"),
            megabyteOf(L"0.0000000001"),
            L"range 0,2000000000",
            L"range -2147483648,2147483647",
            L"range",
            L"nan",
            L"-inf",
            L"1e99999",
            L"99999999999999999999999999",
            unencodable(),
            std::wstring(1, L'\0') + L"5",
            L"=,=,,=="};
}

// Every converter, under every echo of the host: each hostile value on each
// pin in turn, then a seeded random run of the values short of a megabyte;
// the module settles after each value, and its texts stay bounded.
TEST(ConvertersBadInput, EveryPinEveryHostileValueSettles)
{
    const auto texts = hostileTexts();
    for (const wchar_t* id : kConverters)
        for (auto echo : kEchoModes)
        {
            SCOPED_TRACE(gmpi_sdk::toUtf8(id) + ", " + echoName(echo));
            qwhost::GuiHost host;
            host.echo = echo;
            auto g = host.create(bundle("panelkit"), id);
            ASSERT_TRUE(g->settleEchoes());
            std::vector<std::pair<int, Bytes>> values;
            for (int pin = 0; pin < g->pinCount(); ++pin)
            {
                const int type = g->pinInfo(pin).datatype;
                if (type == gmpi::MP_BOOL)
                {
                    values.push_back({pin, b8(true)});
                    values.push_back({pin, b8(false)});
                }
                else if (type == gmpi::MP_FLOAT32)
                    for (float f : kHostileFloats)
                        values.push_back({pin, f32(f)});
                else if (type == gmpi::MP_STRING)
                    for (const auto& s : texts)
                        values.push_back({pin, text(s)});
                else
                    for (int32_t i : kHostileInts)
                        values.push_back({pin, i32(i)});
            }
            uint64_t state = 42;
            auto next = [&] {
                state = state * 6364136223846793005ULL + 1442695040888963407ULL;
                return static_cast<size_t>(state >> 33);
            };
            const size_t ordered = values.size();
            std::vector<size_t> small;
            for (size_t k = 0; k < ordered; ++k)
                if (values[k].second.size() < 4096)
                    small.push_back(k);
            for (size_t k = 0; k < ordered + 300; ++k)
            {
                const auto& [pin, bytes] = values[k < ordered ? k : small[next() % small.size()]];
                g->set(pin, bytes.data(), static_cast<int>(bytes.size()));
                if (echo == qwhost::Echo::Later)
                {
                    ASSERT_TRUE(g->settleEchoes()) << "value " << k;
                }
                ASSERT_EQ(g->pendingEchoes(), 0u) << "value " << k;
            }
            for (auto& t : g->transmits)
                EXPECT_LE(t.data.size(), size_t{8} << 20) << "pin " << t.pin;
        }
}

// Defined results at the ends: float to integer conversions take NaN as 0
// and saturate; integer arithmetic wraps.
TEST(ConvertersBadInput, IntegerEnds)
{
    auto table = [](const wchar_t* id, std::vector<UiRow> rows) {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        UiTable t{id};
        t.start = false;
        t.rows = std::move(rows);
        runUiTable(t);
    };
    const double minPitch = (double(INT_MIN) - 69) / 12 + 5, maxPitch = (double(INT_MAX) - 69) / 12 + 5;
    table(L"QW_GUI_Pitch2MIDI", {
                                    setOnly(1, i32(7)),
                                    deliver(0, f32(kNaN), {{1, i32(0)}}),
                                    deliver(0, f32(kInf), {{1, i32(INT_MAX)}}),
                                    deliver(0, f32(-3.4e38f), {{1, i32(INT_MIN)}}),
                                    deliver(1, i32(INT_MIN + 1), one(0, minPitch, 1e3)),
                                });
    table(L"QW_GUI_MIDI2Pitch", {
                                    deliver(0, i32(INT_MAX), one(1, maxPitch, 1e3)),
                                    deliver(1, f32(kNaN), {{0, i32(0)}}),
                                    deliver(1, f32(-kInf), {{0, i32(INT_MIN)}}),
                                });
    // Notes: d = note - 9 in 64 bits; the key written back wraps.
    const int64_t d = int64_t{INT_MIN} - 9;
    const auto wrapped = static_cast<int32_t>(static_cast<uint32_t>(int64_t{3} + int64_t{INT_MAX} * 12 + 9));
    table(L"QW_MIDI2Note", {
                               deliver(0, i32(INT_MIN), {{1, i32(int32_t(d % 12))}, {3, i32(int32_t(d / 12))}}),
                               deliver(0, i32(INT_MAX), {{1, i32((INT_MAX - 9) % 12)}, {3, i32((INT_MAX - 9) / 12)}}),
                               setOnly(1, i32(3)),
                               deliver(3, i32(INT_MAX), {{0, i32(wrapped)}}),
                           });
    table(L"QW_Pitch2Note", {
                                deliver(0, f32(3.4e38f), {{1, i32(INT_MAX % 12)}, {3, i32(INT_MAX)}}),
                                deliver(0, f32(kNaN), {{1, i32(0)}, {3, i32(0)}}),
                                deliver(0, f32(-kInf), {{1, i32(INT_MIN % 12)}, {3, i32(INT_MIN)}}),
                                setOnly(3, i32(INT_MIN)),
                                deliver(1, i32(INT_MAX), one(0, double(INT_MAX) / 12 + double(INT_MIN), 1e3)),
                            });
}

TEST(ConvertersBadInput, FloatEnds)
{
    auto table = [](const wchar_t* id, std::vector<UiRow> rows) {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        UiTable t{id};
        t.start = false;
        t.rows = std::move(rows);
        runUiTable(t);
    };
    table(L"QW_CtrlRespPow", {
                                 setOnly(1, f32(2)),
                                 mark(3),
                                 deliver(0, f32(kNaN), one(3, 0)).because("a NaN position counts as 0"),
                                 deliver(0, f32(kInf), one(3, 1)),
                                 deliver(3, f32(-3.4e38f), one(0, 0)),
                                 deliver(1, f32(kInf)),
                                 deliver(3, f32(0.5f), {}).because("0 already"),
                                 deliver(3, f32(1.0f), one(0, 1)),
                                 deliver(1, f32(-kInf)),
                                 deliver(0, f32(0), one(3, 0)),
                             });
    table(L"QW_ARGB2Str", {
                              setOnly(0, f32(kInf)),
                              setOnly(1, f32(-kInf)),
                              setOnly(2, f32(3.4e38f)),
                              deliver(3, f32(-kNaN), {{4, text(L"ff00ff00")}}),
                          });
    table(L"QW_HSV2RGB", {
                             setOnly(0, f32(-kInf)),
                             setOnly(1, f32(kNaN)),
                             deliver(2, f32(3.4e38f), {near(3, 1), near(4, 1), near(5, 1)}),
                         });
}

// Digits at the ends of the integer range: the precision is capped above
// the most digits a float prints (its exact decimal form), so the largest
// shows every digit and the smallest takes %g's default.
TEST(ConvertersBadInput, DigitsAtTheIntegerEnds)
{
    auto g = [](double x, int precision) {
        char b[400];
        std::snprintf(b, sizeof b, "%.*g", precision, x);
        return gmpi_sdk::fromUtf8(b);
    };
    const float tiny = std::numeric_limits<float>::denorm_min();
    UiTable t{L"QW_Float2TxtC"};
    t.start = false;
    t.rows = {
        setOnly(1, f32(-kInf)),
        setOnly(2, f32(kInf)),
        setOnly(0, f32(0.1f)),
        deliver(3, i32(INT_MAX), {{4, text(L"0.100000001490116119384765625")}}),
        deliver(0, f32(tiny), {{4, text(g(tiny, 300))}}),
        deliver(0, f32(-FLT_MAX), {{4, text(L"-340282346638528859811704183484516925440")}}),
        deliver(3, i32(INT_MIN), {{4, text(L"-3.40282e+38")}}),
        deliver(3, i32(INT_MAX - 1), {{4, text(L"-340282346638528859811704183484516925440")}}),
    };
    runUiTable(t);
}

// Typed texts of a megabyte read as the C library reads them, saturated and
// clamped; unencodable characters are no digits.
TEST(ConvertersBadInput, HugeAndUnencodableTypedTexts)
{
    UiTable i{L"QW_Int2TxtC"};
    i.start = false;
    i.rows = {
        setOnly(2, i32(100)),
        deliver(3, text(megabyteOf(L"9")), {{0, i32(100)}, {3, text(L"100")}}),
        deliver(3, text(L"-" + megabyteOf(L"9")), {{0, i32(0)}, {3, text(L"0")}}),
        deliver(3, text(unencodable()), {{3, text(L"0")}}),
        deliver(3, text(L"7" + unencodable()), {{0, i32(7)}}),
    };
    runUiTable(i);
    UiTable f{L"QW_Float2TxtC"};
    f.start = false;
    f.rows = {
        setOnly(2, f32(10)),
        setOnly(3, i32(2)),
        deliver(4, text(megabyteOf(L"9")), {{0, f32(10)}, {4, text(L"10")}}),
        deliver(4, text(L"0." + megabyteOf(L"0") + L"1"), {{0, f32(0)}}).because("0 after underflow, in range"),
        deliver(4, text(L"2.5" + unencodable()), {{0, f32(2.5f)}}),
        deliver(4, text(unencodable()), {{4, text(L"2.5")}}),
    };
    runUiTable(f);
}

// The list module with lists of a megabyte and unencodable items.
TEST(ConvertersBadInput, HugeAndUnencodableLists)
{
    std::wstring odd = unencodable();
    UiTable t{L"QW_List2Txt"};
    t.start = false;
    t.rows = {
        deliver(1, text(megabyteOf(L"A,"))),
        deliver(0, i32(9999), {{3, text(L"A")}}),
        deliver(0, i32(10000), {{3, text(L"")}}),
        deliver(2, i32(2)),
        deliver(0, i32(3), {{3, text(L"A")}}),
        deliver(3, text(L"B")).because("more than 10000 entries: not rewritten"),
        deliver(1, text(odd), {{3, text(std::wstring(1, static_cast<wchar_t>(0xD800)))}}),
        deliver(3, text(std::wstring(1, static_cast<wchar_t>(0xDFFF))),
                {{1, text(L"A," + std::wstring(1, static_cast<wchar_t>(0xDFFF)) + L"=3," +
                          std::wstring(1, static_cast<wchar_t>(0x110000)) + static_cast<wchar_t>(-1) + L"=4")}}),
        deliver(3, text(megabyteOf(L"x")),
                {{1, text(L"A," + megabyteOf(L"x") + L"=3," + std::wstring(1, static_cast<wchar_t>(0x110000)) +
                          static_cast<wchar_t>(-1) + L"=4")}}),
    };
    runUiTable(t);
}
} // namespace
