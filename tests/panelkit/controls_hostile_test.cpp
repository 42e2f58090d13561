// What the drag controls make of hostile input: non-finite and huge numbers
// on every float pin, the ends of the integer range, colour texts of any
// length, sizes from nothing to 100000 wide, and pointers before the first
// render. Nothing drawn or sent is ever NaN or infinite, and values end
// inside their limits (NaN at the lower one).
#include "drawn_fixture.h"
#include "mp_sdk_common.h"

#include <cfloat>
#include <climits>
#include <functional>
#include <limits>

using namespace drawntest;

namespace
{
const wchar_t* const kControls[] = {L"QW_LevelBar2",  L"QW_LevelBar",  L"QW_VecSlider",
                                    L"QW_ScrollBar2", L"QW_ScrollBar", L"QW_Line2"};

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

std::string name(const wchar_t* id)
{
    return gmpi_sdk::toUtf8(id);
}

// Every value the module sent on a float pin is a finite number.
void expectFiniteSent(const Drawn& c, const std::string& context)
{
    for (auto& t : c.module().transmits)
    {
        if (c.module().pinInfo(t.pin).datatype == gmpi::MP_FLOAT32)
        {
            EXPECT_TRUE(std::isfinite(t.asFloat())) << context << ": pin " << t.pin << " sent " << t.asFloat();
        }
    }
}

// Draws both ways round, drags across and beyond the control, then draws again.
void exercise(Drawn& c, const std::string& context)
{
    for (const auto& [w, h] : {std::pair{300, 40}, {40, 300}})
    {
        EXPECT_TRUE(allFinite(c.render(w, h))) << context << " at " << w << "x" << h;
        const float x = w / 2.0f, y = h / 2.0f;
        c.down(x, y);
        c.move(x + 7.5f, y - 7.5f);
        c.move(x + 1e6f, y - 1e6f, kLeftFine);
        c.move(x - 1e30f, y + 1e30f);
        c.move(kNaN, kInf);
        c.move(x, y);
        c.up(x, y);
        c.down(1, 1); // a page or a press near the corner
        c.up(1, 1);
        EXPECT_TRUE(allFinite(c.render(w, h))) << context << " after the drag at " << w << "x" << h;
    }
    expectFiniteSent(c, context);
}

class EveryPin : public ::testing::TestWithParam<const wchar_t*>
{};
} // namespace

TEST_P(EveryPin, NonFiniteAndHugeFloats)
{
    const std::vector<float> values = {kNaN, kInf, -kInf, FLT_MAX, -FLT_MAX, 1e30f, FLT_TRUE_MIN, -0.0f};
    Drawn probe(GetParam());
    for (int pin = 0; pin < probe.module().pinCount(); ++pin)
    {
        if (probe.module().pinInfo(pin).datatype != gmpi::MP_FLOAT32)
            continue;
        for (float v : values)
        {
            Drawn c(GetParam());
            c.module().setFloat(pin, v);
            exercise(c, name(GetParam()) + " " + c.module().pinInfo(pin).name + " = " + std::to_string(v));
        }
    }
}

TEST_P(EveryPin, EndsOfTheIntegerRange)
{
    Drawn probe(GetParam());
    for (int pin = 0; pin < probe.module().pinCount(); ++pin)
    {
        if (probe.module().pinInfo(pin).datatype != gmpi::MP_INT32 &&
            probe.module().pinInfo(pin).datatype != gmpi::MP_ENUM)
            continue;
        for (int32_t v : {INT_MIN, INT_MAX, -1, 0})
        {
            Drawn c(GetParam());
            c.module().setInt(pin, v);
            exercise(c, name(GetParam()) + " " + c.module().pinInfo(pin).name + " = " + std::to_string(v));
        }
    }
}

TEST_P(EveryPin, ColourTextsOfAnyKind)
{
    const std::vector<std::wstring> texts = {L"",
                                             L"zz",
                                             L"-1",
                                             L"0x80FF0000",
                                             L" FF102030",
                                             L"\u00e9\u4e2d\U0001F600",
                                             std::wstring(65536, L'F'),
                                             std::wstring(1000, L'7') + L"G"};
    Drawn probe(GetParam());
    for (int pin = 0; pin < probe.module().pinCount(); ++pin)
    {
        if (probe.module().pinInfo(pin).datatype != gmpi::MP_STRING)
            continue;
        for (const auto& t : texts)
        {
            Drawn c(GetParam());
            c.module().setText(pin, t);
            exercise(c,
                     name(GetParam()) + " " + c.module().pinInfo(pin).name + ", text of " + std::to_string(t.size()));
        }
    }
}

TEST_P(EveryPin, SizesFromNothingTo100000Wide)
{
    for (const auto& [w, h] : {std::pair{0.0f, 0.0f}, {1.0f, 1.0f}, {100000.0f, 40.0f}, {40.0f, 100000.0f}})
    {
        Drawn c(GetParam());
        GmpiDrawing_API::MP1_SIZE desired;
        c.view().measure({w, h}, desired);
        c.view().arrange({0, 0, w, h});
        const auto calls = c.renderOnly(100, 100);
        EXPECT_EQ(c.view().lastRenderResult(), 0);
        EXPECT_TRUE(allFinite(calls)) << name(GetParam()) << " " << w << "x" << h;
        c.down(w / 2, h / 2);
        c.move(w / 2 + 10, h / 2 + 10);
        c.up(w / 2 + 10, h / 2 + 10);
        EXPECT_TRUE(allFinite(c.renderOnly(100, 100)));
        expectFiniteSent(c, name(GetParam()));
    }
}

TEST_P(EveryPin, PointerBeforeTheFirstRenderChangesNothing)
{
    Drawn c(GetParam());
    const int32_t firstPress = c.down(5, 5);
    c.move(50, 50);
    c.move(-50, 7);
    c.up(-50, 7);
    c.down(250, 5);
    c.up(250, 5);
    for (auto& t : c.module().transmits)
        EXPECT_EQ(c.module().pinInfo(t.pin).name, "Pointer Down") << name(GetParam()) << " sent a value";
    // Only the level bars take the press itself, and the line slider, which
    // jumps there (answering 1) and, with no travel yet, stays at 0.
    const bool levelBar = std::wstring(GetParam()).rfind(L"QW_LevelBar", 0) == 0;
    const bool line = std::wstring(GetParam()) == L"QW_Line2";
    EXPECT_EQ(firstPress, levelBar ? 0 : line ? 1 : -1);
}

INSTANTIATE_TEST_SUITE_P(Controls, EveryPin, ::testing::ValuesIn(kControls),
                         [](const auto& info) { return name(info.param); });

// Values that end inside their limits, NaN at the lower one, as the drawing shows them.
TEST(HostileValues, EndInsideTheirLimits)
{
    struct Case
    {
        const wchar_t* id;
        const char* pin;
        float value;
        std::function<void(const std::vector<DrawCall>&)> check;
    };
    auto cursor = [](const std::vector<DrawCall>& calls) { return only(calls, "FillRoundedRectangle", 0).back(); };
    auto groove = [](const std::vector<DrawCall>& calls) { return only(calls, "DrawRoundedRectangle", 1).back(); };
    auto cursorRadius = [cursor](double r) {
        return [cursor, r](const std::vector<DrawCall>& calls) { EXPECT_EQ(cursor(calls).values[4], r); };
    };
    auto cursorLength = [cursor](double l) {
        return [cursor, l](const std::vector<DrawCall>& calls) {
            EXPECT_NEAR(cursor(calls).values[2] - cursor(calls).values[0], l - 1, 1e-3);
        };
    };
    auto outline = [groove](double w) {
        return [groove, w](const std::vector<DrawCall>& calls) { EXPECT_EQ(groove(calls).values[6], w); };
    };
    auto cursorLeft = [cursor](double x) {
        return [cursor, x](const std::vector<DrawCall>& calls) { EXPECT_NEAR(cursor(calls).values[0], x, 1e-3); };
    };
    auto bars = [](size_t n, double right) {
        return [n, right](const std::vector<DrawCall>& calls) {
            const auto fills = only(calls, "FillRectangle");
            ASSERT_EQ(fills.size(), n);
            if (n == 2)
            {
                EXPECT_EQ(fills[1].values[2], right);
            }
        };
    };
    // 200 x 40; the slider's travel and the scroll bar's track span the whole length.
    const Case cases[] = {
        {L"QW_VecSlider", "Cursor Radius", kNaN, cursorRadius(0)},
        {L"QW_VecSlider", "Cursor Radius", kInf, cursorRadius(20)},
        {L"QW_VecSlider", "Cursor Radius", -FLT_MAX, cursorRadius(0)},
        {L"QW_VecSlider", "Cursor Length %", kNaN, cursorLength(10)},
        {L"QW_VecSlider", "Cursor Length %", kInf, cursorLength(100.5)},
        {L"QW_VecSlider", "Groove Outline Width", kNaN, outline(1)},
        {L"QW_VecSlider", "Groove Outline Width", FLT_MAX, outline(20)},
        {L"QW_VecSlider", "Travel Length %", kNaN, cursorLeft(90)},
        {L"QW_VecSlider", "Value", kNaN, cursorLeft(0)},
        {L"QW_VecSlider", "Value", kInf, cursorLeft(160.8)},
        {L"QW_ScrollBar2", "Cursor Radius", kNaN, cursorLength(10)},
        {L"QW_ScrollBar2", "Cursor Radius", kInf, cursorLength(40)},
        {L"QW_ScrollBar2", "Background Outline Width", kNaN, outline(1)},
        {L"QW_ScrollBar2", "Background Outline Width", -kInf, outline(1)},
        {L"QW_ScrollBar2", "Background Outline Width", kInf, outline(20)},
        {L"QW_ScrollBar2", "Track Length %", kNaN, cursorLeft(90)},
        {L"QW_LevelBar2", "Level", kNaN, bars(1, 0)},
        {L"QW_LevelBar2", "Level", -kInf, bars(1, 0)},
        {L"QW_LevelBar2", "Level", kInf, bars(2, 200)},
        {L"QW_LevelBar", "Level", kNaN, bars(1, 0)},
        {L"QW_LevelBar", "Level", FLT_MAX, bars(2, 200)},
    };
    for (const auto& k : cases)
    {
        SCOPED_TRACE(name(k.id) + " " + k.pin + " = " + std::to_string(k.value));
        Drawn c(k.id);
        const std::wstring id = k.id;
        if (id == L"QW_VecSlider")
        {
            c.setFloat("Travel Length %", 100);
            c.setBool("Cursor Bevel", false);
        }
        if (id == L"QW_ScrollBar2")
        {
            c.setFloat("Track Length %", 100);
            c.setInt("Total", 1000);
            c.setInt("Visible", 1);
            c.setInt("Offset", 0);
        }
        c.setFloat(k.pin, k.value);
        k.check(c.render(200, 40));
    }
}

TEST(HostileValues, DisabledAlphaIsZeroToOne)
{
    for (const wchar_t* id : {L"QW_VecSlider", L"QW_ScrollBar2"})
        for (const auto& [v, alpha] : {std::pair{kNaN, 0.0f}, {-kInf, 0.0f}, {kInf, 1.0f}, {7.0f, 1.0f}})
        {
            Drawn c(id);
            c.setBool("Enabled", false);
            c.setFloat("Disabled Alpha", v);
            EXPECT_NEAR(only(c.render(200, 40), "FillRoundedRectangle", 0).back().color.a, alpha, 1e-6)
                << name(id) << " " << v;
        }
}

TEST(HostileValues, ScrollBarsOverTheWholeIntegerRange)
{
    // The newer bar: paging, stepping and dragging at the top of the range.
    {
        Drawn c(L"QW_ScrollBar2");
        c.setFloat("Track Length %", 100);
        c.setInt("Total", INT_MAX);
        c.setInt("Visible", 1);
        c.setInt("Offset", INT_MAX);
        c.render(300, 40); // cursor 10 long, at the end of the track
        c.down(1, 20);     // before it: one page down
        c.setBool("Inc", true);
        c.setBool("Inc", false);
        c.setBool("Inc", true); // at the end: nothing to send
        c.setBool("Inc", false);
        c.down(295, 20); // on the cursor
        c.move(0, 20);
        c.move(400, 20);
        c.up(400, 20);
        EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{INT_MAX - 2, INT_MAX - 1, 0, INT_MAX - 1}));
    }
    // The older bar counts negative values as 0 and sends whole values in range.
    {
        Drawn c(L"QW_ScrollBar");
        c.setInt("Total", INT_MAX);
        c.setInt("Visible", INT_MIN);
        c.setInt("Offset", INT_MAX);
        c.render(300, 20);
        c.down(1, 10); // Visible 0: a page of nothing
        c.down(285, 10);
        c.move(-1000, 10);
        c.move(1000, 10);
        c.up(1000, 10);
        EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{0, INT_MAX}));
        c.setInt("Visible", INT_MAX);
        EXPECT_TRUE(allFinite(c.render(300, 20)));
    }
}

// The list controls with huge, malformed and extreme pin values: bounded work,
// finite drawing and no pin written with NaN.
TEST(ListControlsHostile, HugeAndMalformedLists)
{
    const std::wstring huge(1 << 20, L',');
    std::wstring words;
    while (words.size() < (1u << 20))
        words += L"ab=c=,,==,x=99999999999,----,";
    const std::wstring lists[] = {huge,     words,   L"range 0,2000000000", L"range -2147483648,2147483647",
                                  L"range", L"=,=,="};
    const std::wstring styles[] = {L"", L"\uFFFF\xD800", std::wstring(5000, L'z'), L"QWListEntry:text:normal"};
    const std::wstring colours[] = {L"ZZZ", L"FFFFFFFFFFFFFFFFFFFFFFFF", L"-1", L"  7f00ff00xyz"};
    for (const wchar_t* id : {L"QW_ListBox2", L"QW_ListBox", L"QW_ListEntry", L"QW_MouseBox"})
    {
        Drawn c(id);
        const std::string items = std::wstring(id) == L"QW_MouseBox" ? "Menu Items" : "Items";
        for (size_t i = 0; i < std::size(lists); ++i)
        {
            c.setText(items, lists[i]);
            if (std::wstring(id) != L"QW_MouseBox")
            {
                c.setText("Style", styles[i % std::size(styles)]);
                c.setText("Text Colour", colours[i % std::size(colours)]);
                for (int32_t choice : {INT32_MIN, -1, 1999999999, INT32_MAX})
                {
                    c.setInt("Choice", choice);
                    const auto calls = c.render(300, 600);
                    EXPECT_TRUE(allFinite(calls));
                    EXPECT_LE(only(calls, "DrawTextU").size(), 600u);
                }
                c.down(290, 590);
                c.move(290, 10);
                c.up(290, 10);
                c.down(10, 10);
                if (auto* menu = c.dialogs().lastMenu())
                {
                    EXPECT_LE(menu->items.size(), 10000u);
                    menu->cancel();
                }
                c.up(10, 10);
            }
            else
            {
                qwhost::ContextMenuSink sink;
                EXPECT_EQ(c.module().ui()->populateContextMenu(0, 0, &sink), 0);
                EXPECT_LE(sink.items.size(), 10000u);
                c.render(300, 600);
                c.down(1e30f, -1e30f);
                c.move(NAN, INFINITY);
                c.up(0, 0);
            }
        }
        if (std::wstring(id) == L"QW_MouseBox")
        {
            for (const char* pin :
                 {"X Fraction", "Y Fraction", "Angle", "Delta X Fraction", "Delta Y Fraction", "Delta Angle"})
                for (float v : c.sentFloats(pin))
                    EXPECT_TRUE(std::isfinite(v)) << pin;
        }
    }
}
