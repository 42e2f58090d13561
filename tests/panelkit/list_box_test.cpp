// QW_ListBox2 through the built bundle on the test skin ("normal": Arial 12,
// #202020), with the host's echo on and off: rows and their highlight, the
// click that writes Choice, separators, paging by plain rows, stripes, the
// scroll bar that hides itself, folder colours and the style pin.
#include "list_fixture.h"

using namespace drawntest;
using qwhost::Echo;

namespace
{
constexpr int kWidth = 100;

class ListBox2Test : public ::testing::TestWithParam<Echo>
{
protected:
    void SetUp() override
    {
        c = std::make_unique<Drawn>(L"QW_ListBox2", GetParam());
        rh = rowHeightOf(*c, "normal");
        // Room for four whole rows and half of a fifth.
        height = static_cast<int>(std::ceil(4.5f * rh));
    }
    std::vector<DrawCall> render() { return c->render(kWidth, height); }
    std::vector<std::string> texts(const std::vector<DrawCall>& calls)
    {
        std::vector<std::string> out;
        for (auto& t : only(calls, "DrawTextU"))
            out.push_back(t.text);
        return out;
    }
    std::unique_ptr<Drawn> c;
    float rh = 0;
    int height = 0;
};

std::vector<std::string> numbers(int from, int to)
{
    std::vector<std::string> out;
    for (int i = from; i <= to; ++i)
        out.push_back(std::to_string(i));
    return out;
}
} // namespace

TEST_P(ListBox2Test, ChoiceHighlightsItsRowAndAClickWritesTheRow)
{
    c->setText("Items", L"a,b,c");
    c->setInt("Choice", 1);
    auto calls = render();
    const auto rows = only(calls, "DrawTextU");
    ASSERT_EQ(rows.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        expectNear(rows[i].values, {0, i * rh, kWidth, (i + 1) * rh, 2}, "row " + std::to_string(i));
    EXPECT_EQ(texts(calls), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(rows[0].color.r, 0.0f) << "black by default";
    EXPECT_NEAR(rows[0].color.a, 1.0f, 1e-6);

    // The selection (FF90D040) fills the second row; auto-hide leaves no bar.
    bool found = false;
    for (auto& f : only(calls, "FillRectangle"))
        if (std::abs(f.color.r - linear(0x90)) < 1e-6 && std::abs(f.color.b - linear(0x40)) < 1e-6)
        {
            expectNear(f.values, {0, rh, kWidth, 2 * rh}, "selection");
            found = true;
        }
    EXPECT_TRUE(found);

    c->clearSent();
    EXPECT_EQ(c->down(10, 2.5f * rh), 0);
    EXPECT_TRUE(c->graphicsHost().captured());
    EXPECT_EQ(c->sentInts("Choice"), (std::vector<int32_t>{2}));
    EXPECT_EQ(c->sentBools("Pointer Down"), (std::vector<bool>{true}));
    EXPECT_EQ(c->move(10, 0.5f * rh), 0);
    EXPECT_EQ(c->sentInts("Choice"), (std::vector<int32_t>{2})) << "a move picks nothing";
    EXPECT_EQ(c->up(10, 0.5f * rh), 0);
    EXPECT_EQ(c->sentBools("Pointer Down"), (std::vector<bool>{true, false}));
    EXPECT_FALSE(c->graphicsHost().captured());

    // Below the last row nothing is picked.
    c->clearSent();
    EXPECT_EQ(c->down(10, 3.5f * rh), 0);
    EXPECT_TRUE(c->sentInts("Choice").empty());
    c->up(10, 3.5f * rh);

    // Only the left button picks.
    EXPECT_EQ(c->down(10, 0.5f * rh, 0x20), -1);
    EXPECT_TRUE(c->sentInts("Choice").empty());
}

TEST_P(ListBox2Test, SeparatorsHaveNoRow)
{
    c->setText("Items", L"a,----,b,c");
    c->setInt("Choice", 3);
    const auto calls = render();
    EXPECT_EQ(texts(calls), (std::vector<std::string>{"a", "b", "c"}));
    expectNear(only(calls, "DrawTextU")[1].values, {0, rh, kWidth, 2 * rh}, "b moved up");
    c->clearSent();
    c->down(10, 1.5f * rh);
    EXPECT_EQ(c->sentInts("Choice"), (std::vector<int32_t>{2})) << "the second row is b (value 2)";
    c->up(10, 1.5f * rh);
}

TEST_P(ListBox2Test, PagingCountsPlainEntries)
{
    // Ten plain entries among separators, four rows: pages go 0, 4, 6, 6 and back.
    c->setText("Items", L"----,0,1,2,----,3,4,5,6,7,8,9,----");
    render();
    struct Step
    {
        float y; // in the bar
        int top;
    };
    const float barY = height - 2.0f; // below the thumb while it is at the top
    const Step steps[] = {{barY, 4}, {barY, 6}, {barY, 6}, {1.0f, 2}, {1.0f, 0}, {1.0f, 0}};
    for (const Step& s : steps)
    {
        c->down(kWidth - 5.0f, s.y);
        c->up(kWidth - 5.0f, s.y);
        const auto calls = render();
        EXPECT_EQ(texts(calls), numbers(s.top, s.top + 3)) << "page to " << s.top;
        // Thumb: (H - 4) x Top / 10 from 2, (H - 4) x 4 / 10 long, plus 1.
        const double start = (height - 4.0) * s.top / 10.0, length = (height - 4.0) * 0.4;
        const auto fills = only(calls, "FillRectangle");
        ASSERT_GE(fills.size(), 2u);
        expectNear(fills[0].values, {kWidth - 12, 0, kWidth, double(height)}, "track");
        expectNear(fills[1].values, {kWidth - 10, start + 2, kWidth - 2, start + length + 3}, "thumb");
    }
    EXPECT_TRUE(c->sentInts("Choice").empty()) << "paging picks nothing";
}

TEST_P(ListBox2Test, TheThumbScrollsARowPerRowHeight)
{
    c->setText("Items", L"range 0,9");
    render();
    c->down(kWidth - 5.0f, 5.0f);
    c->move(kWidth - 5.0f, 5.0f + rh * 0.9f);
    EXPECT_EQ(texts(render())[0], "0");
    c->move(kWidth - 5.0f, 5.0f + rh * 1.1f);
    EXPECT_EQ(texts(render())[0], "1");
    for (int i = 0; i < 20; ++i)
        c->move(kWidth - 5.0f, 5.0f + rh * (2.1f + i));
    EXPECT_EQ(texts(render())[0], "6") << "at most the last page";
    c->up(kWidth - 5.0f, 5.0f);
    c->move(kWidth - 5.0f, 5.0f);
    EXPECT_EQ(texts(render())[0], "6");
}

TEST_P(ListBox2Test, AChoiceOutsideTheViewScrollsItIn)
{
    c->setText("Items", L"range 0,9");
    render(); // the rows that fit are known from the arranged size on
    c->setInt("Choice", 7);
    EXPECT_EQ(texts(render()), numbers(4, 7));
    c->setInt("Choice", 2);
    EXPECT_EQ(texts(render()), numbers(2, 5));
    c->setInt("Choice", 42);
    EXPECT_EQ(texts(render()), numbers(2, 5)) << "a value not in the list does not scroll";
    c->setText("Items", L"range 0,9");
    EXPECT_EQ(texts(render()), numbers(0, 3)) << "a new list starts at the top";
}

// The half row under the last whole one can be clicked; the choice it writes,
// coming back now or later, is the list's own and does not scroll it.
TEST_P(ListBox2Test, AClickOnTheHalfRowPicksItWithoutScrolling)
{
    c->setText("Items", L"range 0,9");
    render();
    c->down(10, 4.2f * rh);
    c->up(10, 4.2f * rh);
    EXPECT_EQ(c->sentInts("Choice"), (std::vector<int32_t>{4}));
    EXPECT_EQ(texts(render()), numbers(0, 3));
}

TEST_P(ListBox2Test, StripesStayWithTheirRows)
{
    c->setText("Items", L"range 0,9");
    render();
    c->setInt("Background Mode", 1);
    c->setText("Background Colour A", L"FF0000FF");
    c->setText("Background Colour B", L"FFFF0000");
    auto firstStripe = [&] {
        const auto calls = render();
        for (auto& f : only(calls, "FillRectangle"))
            if (f.values[0] == 0 && f.values[1] == 0)
            {
                expectNear(f.values, {0, 0, kWidth - 12, rh + 1}, "stripe");
                return f.color.b > 0.5f ? 'A' : 'B';
            }
        ADD_FAILURE() << "no stripe at the top";
        return '?';
    };
    EXPECT_EQ(firstStripe(), 'A');
    c->setInt("Choice", 5); // Top 2
    EXPECT_EQ(texts(render())[0], "2");
    EXPECT_EQ(firstStripe(), 'A');
    c->setInt("Choice", 6); // Top 3
    EXPECT_EQ(texts(render())[0], "3");
    EXPECT_EQ(firstStripe(), 'B');
}

TEST_P(ListBox2Test, TheScrollBarHidesOnlyWhenAskedAndEverythingFits)
{
    c->setText("Items", L"a,b");
    auto calls = render();
    for (auto& f : only(calls, "FillRectangle"))
        EXPECT_NE(f.values[0], kWidth - 12) << "no bar";
    expectNear(only(calls, "DrawTextU")[0].values, {0, 0, kWidth, rh}, "full-width row");
    expectNear(only(calls, "PushAxisAlignedClip")[0].values, {0, 0, kWidth, double(height)}, "clip");

    c->setBool("Auto-hide Scroll Bar", false);
    calls = render();
    const auto fills = only(calls, "FillRectangle");
    ASSERT_GE(fills.size(), 2u);
    expectNear(fills[0].values, {kWidth - 12, 0, kWidth, double(height)}, "track");
    EXPECT_NEAR(fills[0].color.r, linear(0x50), 1e-6); // FF506070
    expectNear(fills[1].values, {kWidth - 10, 2, kWidth - 2, height - 4.0 + 3}, "thumb over the whole track");
    expectNear(only(calls, "DrawTextU")[0].values, {0, 0, kWidth - 12, rh}, "row beside the bar");
}

TEST_P(ListBox2Test, AnEmptyListWithABarHasNoThumbAndIgnoresTheBar)
{
    c->setBool("Auto-hide Scroll Bar", false);
    auto calls = render();
    EXPECT_TRUE(allFinite(calls));
    const auto fills = only(calls, "FillRectangle");
    ASSERT_GE(fills.size(), 1u);
    expectNear(fills[0].values, {kWidth - 12, 0, kWidth, double(height)}, "track");
    for (size_t i = 1; i < fills.size(); ++i)
        EXPECT_LT(fills[i].values[2], kWidth - 12 + 0.5) << "nothing in the bar but the track";
    EXPECT_TRUE(only(calls, "DrawTextU").empty());
    EXPECT_EQ(c->down(kWidth - 5.0f, 5.0f), 0);
    EXPECT_EQ(c->move(kWidth - 5.0f, 5.0f + 3 * rh), 0);
    EXPECT_EQ(c->up(kWidth - 5.0f, 5.0f), 0);
    EXPECT_TRUE(allFinite(render()));
    EXPECT_TRUE(c->module().transmitsOf(c->pin("Choice")).empty());
}

TEST_P(ListBox2Test, FolderEntriesTakeTheirOwnColour)
{
    c->setText("Items", L"docs/,file,C:\\");
    c->setText("Text Colour", L"FF00FF00");
    c->setText("Folder Text Colour", L"FFFF0000");
    const auto rows = only(render(), "DrawTextU");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_NEAR(rows[0].color.r, 1.0f, 1e-6);
    EXPECT_NEAR(rows[1].color.g, 1.0f, 1e-6);
    EXPECT_EQ(rows[1].color.r, 0.0f);
    EXPECT_NEAR(rows[2].color.r, 1.0f, 1e-6);
    EXPECT_EQ(rows[2].text, "C:\\");

    // A transparent text colour hands both to the style.
    c->setText("Text Colour", L"00FFFFFF");
    for (auto& r : only(render(), "DrawTextU"))
        EXPECT_NEAR(r.color.r, linear(0x20), 1e-6) << r.text;
}

TEST_P(ListBox2Test, AnEmptyStyleBecomesNormalAndSetsTheRowHeight)
{
    c->clearSent();
    c->setText("Style", L"");
    EXPECT_EQ(c->sentTexts("Style"), (std::vector<std::wstring>{L"normal"}));
    c->setText("Items", L"a,b");
    expectNear(only(render(), "DrawTextU")[1].values, {0, rh, kWidth, 2 * rh}, "normal rows");

    c->setText("Style", L"heading");
    const float heading = rowHeightOf(*c, "heading");
    EXPECT_GT(heading, rh);
    expectNear(only(render(), "DrawTextU")[1].values, {0, heading, kWidth, 2 * heading}, "heading rows");
}

TEST_P(ListBox2Test, NonAsciiEntriesAreDrawnAsUtf8)
{
    c->setText("Items", L"Caf\u00e9,\u65e5\u672c");
    const auto rows = only(render(), "DrawTextU");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].text, "Caf\xC3\xA9");
    EXPECT_EQ(rows[1].text, "\xE6\x97\xA5\xE6\x9C\xAC");
}

INSTANTIATE_TEST_SUITE_P(Echo, ListBox2Test, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });
