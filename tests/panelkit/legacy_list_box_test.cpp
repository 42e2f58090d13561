// QW_ListBox (and QW_ListBoxC, the same module) through the built bundle on
// the test skin, with the host's echo inside the call, later and none: rows,
// thumb and paging counted in rows of plain entries, the choice scrolled
// into view, the bar that hides, the thumb drag, stripes, the text colour
// handed to the style, and an empty list with a bar.
//
// Style "field" (Courier New 15, #1030C0) is drawn with Liberation Mono,
// whose ascent and descent are 1705 and 615 of 2048 units per em and whose
// line gap is 0: rows are 15 x 2320 / 2048 + 2 = 18.9921875 high, so a list
// 100 high shows 5 whole rows.
#include "list_fixture.h"

#include <climits>

using namespace drawntest;
using qwhost::Echo;

namespace
{
constexpr int kW = 120, kH = 100;
constexpr float kRow = 15.0f * 2320.0f / 2048.0f + 2.0f;
constexpr float kBar = kW - 5.0f; // x inside the scroll bar

class LegacyListBoxTest : public ::testing::TestWithParam<Echo>
{
protected:
    void SetUp() override
    {
        c = std::make_unique<Drawn>(L"QW_ListBox", GetParam());
        c->setText("Style", L"field");
        c->setText("Items", L"range 0,9");
        c->render(kW, kH);
    }
    std::vector<DrawCall> render() { return c->render(kW, kH); }
    std::vector<std::string> texts(const std::vector<DrawCall>& calls)
    {
        std::vector<std::string> out;
        for (auto& t : only(calls, "DrawTextU"))
            out.push_back(t.text);
        return out;
    }
    std::string firstRow() { return texts(render()).at(0); }
    void click(float x, float y)
    {
        c->down(x, y);
        c->up(x, y);
    }
    // The fill in the thumb's column, after the track's.
    DrawCall thumb(const std::vector<DrawCall>& calls)
    {
        const auto fills = only(calls, "FillRectangle");
        EXPECT_GE(fills.size(), 2u);
        return fills.size() >= 2 ? fills[1] : DrawCall();
    }
    std::unique_ptr<Drawn> c;
};

std::vector<std::string> strings(std::initializer_list<const char*> list)
{
    return std::vector<std::string>(list.begin(), list.end());
}
} // namespace

TEST_P(LegacyListBoxTest, TheFixtureStyleGivesRowsOf19)
{
    EXPECT_NEAR(rowHeightOf(*c, "field"), kRow, 1e-4);
}

TEST_P(LegacyListBoxTest, TenEntriesShowFiveRowsBesideAHalfThumb)
{
    const auto calls = render();
    const auto fills = only(calls, "FillRectangle");
    ASSERT_GE(fills.size(), 4u);
    expectNear(fills[0].values, {kW - 12, 0, kW, kH}, "track");
    EXPECT_NEAR(fills[0].color.r, linear(0x50), 1e-6);
    // Start 0, length (100 - 4) x 5 / 10 = 48.
    expectNear(fills[1].values, {kW - 10, 2, kW - 2, 51}, "thumb");
    EXPECT_NEAR(fills[1].color.r, linear(0x90), 1e-6);
    EXPECT_NEAR(fills[1].color.b, linear(0xB0), 1e-6);
    expectNear(fills[2].values, {0, 0, kW - 12, kH}, "gradient background");
    EXPECT_EQ(fills[2].brush, "linear");
    expectNear(fills[3].values, {0, 0, kW - 12, kRow}, "Choice 0 highlights the first row");
    EXPECT_NEAR(fills[3].color.g, linear(0xD0), 1e-6);

    const auto rows = only(calls, "DrawTextU");
    ASSERT_EQ(rows.size(), 5u);
    for (size_t i = 0; i < rows.size(); ++i)
    {
        EXPECT_EQ(rows[i].text, std::to_string(i));
        expectNear(rows[i].values, {0, i * kRow, kW - 12, (i + 1) * kRow, 2}, "row " + std::to_string(i));
    }
}

TEST_P(LegacyListBoxTest, PagesGoByWholePages)
{
    struct Step
    {
        float y;
        int top;
    };
    // The thumb runs from 2 + 9.6 x top, 48 long: below it pages down, above it up.
    const Step steps[] = {{80, 5}, {98, 5}, {10, 0}, {10, 0}};
    for (const Step& s : steps)
    {
        click(kBar, s.y);
        const auto calls = render();
        EXPECT_EQ(texts(calls).at(0), std::to_string(s.top)) << "press at " << s.y;
        const double start = 96.0 * s.top / 10.0;
        expectNear(thumb(calls).values, {kW - 10, start + 2, kW - 2, start + 51}, "thumb at " + std::to_string(s.top));
    }
    EXPECT_TRUE(c->sentInts("Choice").empty()) << "paging picks nothing";
}

TEST_P(LegacyListBoxTest, AChoiceFromOutsideScrollsItsRowIntoView)
{
    c->setText("Items", L"a=100,b,c,d,e,f,g,h,i,j");
    c->setInt("Choice", 107); // h, the entry at index 7
    auto calls = render();
    EXPECT_EQ(texts(calls), strings({"d", "e", "f", "g", "h"}));
    const auto fills = only(calls, "FillRectangle");
    ASSERT_FALSE(fills.empty());
    expectNear(fills.back().values, {0, 4 * kRow, kW - 12, 5 * kRow}, "h highlighted as the last row");

    c->setInt("Choice", 101);
    EXPECT_EQ(firstRow(), "b") << "scrolled up to it";
    c->setInt("Choice", 999);
    EXPECT_EQ(firstRow(), "b") << "no such entry: the view stays";
}

TEST_P(LegacyListBoxTest, WhenEverythingFitsTheBarHidesOnlyIfAsked)
{
    c->setText("Items", L"a,b,c");
    auto calls = render();
    for (auto& f : only(calls, "FillRectangle"))
        EXPECT_LT(f.values[0], kW - 12) << "no bar";
    expectNear(only(calls, "DrawTextU").at(0).values, {0, 0, kW, kRow}, "a full-width row");
    c->clearSent();
    click(kBar, 1.5f * kRow);
    EXPECT_EQ(c->sentInts("Choice"), (std::vector<int32_t>{1})) << "the bar's column picks a row";
    EXPECT_EQ(c->sentBools("Pointer Down"), (std::vector<bool>{true, false}));

    // Shown anyway: a thumb over the whole track whose drag moves nothing.
    c->setBool("Auto-hide Scroll Bar", false);
    calls = render();
    expectNear(only(calls, "FillRectangle").at(0).values, {kW - 12, 0, kW, kH}, "track");
    expectNear(thumb(calls).values, {kW - 10, 2, kW - 2, 99}, "thumb over the whole track");
    expectNear(only(calls, "DrawTextU").at(0).values, {0, 0, kW - 12, kRow}, "a row beside the bar");
    c->clearSent();
    c->down(kBar, 50);
    for (int i = 1; i <= 4; ++i)
        c->move(kBar, 50 + i * 1.5f * kRow);
    EXPECT_EQ(firstRow(), "a");
    c->up(kBar, 50);
    EXPECT_TRUE(c->sentInts("Choice").empty());
}

TEST_P(LegacyListBoxTest, APartlyVisibleRowIsNotDrawnButPicks)
{
    EXPECT_EQ(texts(render()), strings({"0", "1", "2", "3", "4"}));
    c->clearSent();
    click(10, 97); // row 5 runs from 94.96 to 113.95
    EXPECT_EQ(c->sentInts("Choice"), (std::vector<int32_t>{5}));
    EXPECT_EQ(firstRow(), "0") << "the module's own choice does not scroll, whenever the host echoes it";
    c->setInt("Choice", 6);
    EXPECT_EQ(firstRow(), "2") << "a choice from outside does";
}

TEST_P(LegacyListBoxTest, MarkerEntriesHaveNoRowAndCountNowhere)
{
    // Values: ---- 0, r0 1, r1 2, ---- 3, r2 4, r3 5 ... r9 11, ---- 12.
    c->setText("Items", L"----,r0,r1,----,r2,r3,r4,r5,r6,r7,r8,r9,----");
    auto calls = render();
    EXPECT_EQ(texts(calls), strings({"r0", "r1", "r2", "r3", "r4"}));
    expectNear(thumb(calls).values, {kW - 10, 2, kW - 2, 51}, "5 of 10 rows");
    click(kBar, 80);
    EXPECT_EQ(firstRow(), "r5");
    click(kBar, 98);
    EXPECT_EQ(firstRow(), "r5") << "the last page of 10 rows";
    click(kBar, 10);
    EXPECT_EQ(firstRow(), "r0");

    c->setInt("Choice", 9); // r7: row 7, list index 9
    EXPECT_EQ(texts(render()), strings({"r3", "r4", "r5", "r6", "r7"}));
    c->clearSent();
    click(10, 1.5f * kRow);
    EXPECT_EQ(c->sentInts("Choice"), (std::vector<int32_t>{6})) << "r4";
}

TEST_P(LegacyListBoxTest, StripesStayWithTheirEntries)
{
    c->setInt("Background Mode", 1);
    auto stripes = [&] {
        std::vector<DrawCall> out;
        for (auto& f : only(render(), "FillRectangle"))
            if (f.values[0] == 0 && std::abs(f.values[3] - f.values[1] - (kRow + 1)) < 1e-3)
                out.push_back(f);
        return out;
    };
    const float a = linear(0xE0), b = linear(0xD0); // red of E0E0F0 and D0D0E0
    auto s = stripes();
    ASSERT_EQ(s.size(), 6u) << "down to the bottom, below the last whole row too";
    expectNear(s[1].values, {0, kRow, kW - 12, 2 * kRow + 1}, "second stripe");
    EXPECT_GE(s[5].values[3], kH);
    EXPECT_NEAR(s[0].color.r, a, 1e-6);
    EXPECT_NEAR(s[1].color.r, b, 1e-6);

    c->setInt("Choice", 7); // first visible row 3: an odd entry on top
    s = stripes();
    ASSERT_EQ(s.size(), 6u);
    EXPECT_NEAR(s[0].color.r, b, 1e-6);
    EXPECT_NEAR(s[1].color.r, a, 1e-6);
}

TEST_P(LegacyListBoxTest, TextColourWithoutAlphaIsTheStyles)
{
    struct Case
    {
        const wchar_t* text;
        int r, g, b;
        float a;
    };
    const Case cases[] = {
        {L"", 0x10, 0x30, 0xC0, 1.0f},         // the style's #1030C0, red and blue in place
        {L"00FF0000", 0x10, 0x30, 0xC0, 1.0f}, // alpha 00: the style's
        {L"FF000000", 0, 0, 0, 1.0f},
        {L"80FF0000", 0xFF, 0, 0, 128 / 255.0f},
    };
    for (const Case& k : cases)
    {
        c->setText("Text Colour", k.text);
        for (auto& row : only(render(), "DrawTextU"))
        {
            EXPECT_NEAR(row.color.r, linear(k.r), 1e-6) << gmpi_sdk::toUtf8(k.text);
            EXPECT_NEAR(row.color.g, linear(k.g), 1e-6) << gmpi_sdk::toUtf8(k.text);
            EXPECT_NEAR(row.color.b, linear(k.b), 1e-6) << gmpi_sdk::toUtf8(k.text);
            EXPECT_NEAR(row.color.a, k.a, 1e-6) << gmpi_sdk::toUtf8(k.text);
        }
    }
}

TEST_P(LegacyListBoxTest, AnEmptyStyleIsAnsweredByNormal)
{
    c->clearSent();
    c->setText("Style", L"");
    EXPECT_EQ(c->sentTexts("Style"), (std::vector<std::wstring>{L"normal"}));
    const float normal = rowHeightOf(*c, "normal");
    expectNear(only(render(), "DrawTextU").at(1).values, {0, normal, kW - 12, 2 * normal}, "rows of normal");

    // A style the skin does not have is its default style (black text).
    c->setText("Style", L"no such style");
    const auto row = only(render(), "DrawTextU").at(0);
    EXPECT_EQ(row.color.r, 0.0f);
    EXPECT_EQ(row.color.a, 1.0f);
    EXPECT_EQ(c->sentTexts("Style").size(), 1u);
}

TEST_P(LegacyListBoxTest, ClickingTheChosenEntryWritesOnlyPointerDown)
{
    c->setInt("Choice", 2);
    c->clearSent();
    EXPECT_EQ(c->down(10, 2.5f * kRow), 0);
    EXPECT_TRUE(c->sentInts("Choice").empty());
    EXPECT_EQ(c->sentBools("Pointer Down"), (std::vector<bool>{true}));
    EXPECT_EQ(c->up(10, 2.5f * kRow), 0);
    EXPECT_EQ(c->sentBools("Pointer Down"), (std::vector<bool>{true, false}));
    EXPECT_FALSE(c->graphicsHost().captured());

    // Other buttons press nothing.
    EXPECT_EQ(c->down(10, 0.5f * kRow, 0x20), -1);
    EXPECT_FALSE(c->graphicsHost().captured());
    EXPECT_TRUE(c->sentInts("Choice").empty());
}

TEST_P(LegacyListBoxTest, TheThumbScrollsOneEntryPerRowHeight)
{
    const float y = 20;
    c->down(kBar, y);
    c->move(kBar, y + 0.9f * kRow);
    EXPECT_EQ(firstRow(), "0");
    c->move(kBar, y + 1.1f * kRow);
    EXPECT_EQ(firstRow(), "1");
    c->move(kBar, y + 50 * kRow);
    EXPECT_EQ(firstRow(), "2") << "one entry per move";
    for (int i = 0; i < 10; ++i)
        c->move(kBar, y + 50 * kRow);
    EXPECT_EQ(firstRow(), "5") << "no further than the last page";
    c->move(kBar, y - 50 * kRow);
    EXPECT_EQ(firstRow(), "4") << "and back, one per move";
    c->up(kBar, y);
    c->move(kBar, y - 50 * kRow);
    EXPECT_EQ(firstRow(), "4") << "released";
    EXPECT_TRUE(c->sentInts("Choice").empty());
}

TEST_P(LegacyListBoxTest, NoEntriesWithABarGiveAWholeTrackThumbAndHarmlessPresses)
{
    c->setText("Items", L"");
    c->setBool("Auto-hide Scroll Bar", false);
    auto calls = render();
    EXPECT_TRUE(allFinite(calls));
    EXPECT_TRUE(only(calls, "DrawTextU").empty());
    expectNear(thumb(calls).values, {kW - 10, 2, kW - 2, 99}, "thumb over the whole track");
    for (float y : {0.5f, 50.0f, 99.5f})
    {
        EXPECT_EQ(c->down(kBar, y), 0);
        c->move(kBar, y + 3 * kRow);
        c->move(kBar, y - 3 * kRow);
        EXPECT_EQ(c->up(kBar, y), 0);
        calls = render();
        EXPECT_TRUE(allFinite(calls));
        expectNear(thumb(calls).values, {kW - 10, 2, kW - 2, 99}, "thumb after a press at " + std::to_string(y));
    }
    click(10, 10);
    EXPECT_TRUE(c->sentInts("Choice").empty());
}

INSTANTIATE_TEST_SUITE_P(Echo, LegacyListBoxTest, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });

TEST(LegacyListBox, BothIdentifiersAreTheSameModule)
{
    auto session = [](const wchar_t* id) {
        Drawn c(id);
        c.setText("Style", L"field");
        c.setText("Items", L"range 0,20");
        c.setInt("Background Mode", 1);
        c.render(kW, kH);
        c.down(kBar, 80);
        c.up(kBar, 80);
        c.down(10, 30);
        c.up(10, 30);
        auto calls = c.render(kW, kH);
        std::vector<std::string> out;
        for (auto& call : calls)
        {
            std::string line = call.op + " " + call.text;
            for (double v : call.values)
                line += " " + std::to_string(v);
            out.push_back(line);
        }
        out.push_back("Choice " + std::to_string(c.sentInts("Choice").at(0)));
        return out;
    };
    const auto plain = session(L"QW_ListBox");
    EXPECT_EQ(plain.back(), "Choice 6") << "row 1 of the second page";
    EXPECT_EQ(session(L"QW_ListBoxC"), plain);
}

TEST(LegacyListBox, SizesFromNothingTo16384Square)
{
    for (float side : {0.0f, 1.0f, 16384.0f})
    {
        Drawn c(L"QW_ListBox");
        c.setText("Style", L"field");
        c.setText("Items", L"range 0,2000000000");
        c.setBool("Auto-hide Scroll Bar", false);
        c.setInt("Background Mode", 1);
        GmpiDrawing_API::MP1_SIZE desired;
        c.view().measure({side, side}, desired);
        EXPECT_EQ(desired.width, std::max(4.0f, side));
        c.view().arrange({0, 0, side, side});
        auto calls = c.renderOnly(100, 100);
        EXPECT_TRUE(allFinite(calls)) << side;
        // As many rows as fit, at most.
        EXPECT_LE(only(calls, "DrawTextU").size(), static_cast<size_t>(side / kRow) + 1) << side;
        for (int32_t choice : {INT_MIN, INT_MAX, 9999, 10000})
            c.setInt("Choice", choice);
        c.down(side - 5, side - 5);
        c.move(side - 5, 0);
        c.up(side - 5, 0);
        c.down(1, 1);
        c.up(1, 1);
        EXPECT_TRUE(allFinite(c.renderOnly(100, 100))) << side;
    }
}
