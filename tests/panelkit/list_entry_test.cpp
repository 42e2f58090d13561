// QW_ListEntry through the built bundle on the test skin, with the host's
// echo on and off: the shown entry, the pop-up menu and its answers, the
// inset text rectangle, the disabled look and the tooltip.
#include "drawn_fixture.h"
#include "mp_sdk_common.h"

using namespace drawntest;
using qwhost::Echo;
using Item = qwhost::PlatformMenu::Item;

namespace
{
class ListEntryTest : public ::testing::TestWithParam<Echo>
{
protected:
    void SetUp() override { c = std::make_unique<Drawn>(L"QW_ListEntry", GetParam()); }

    // The text drawn at 100 x 20, or "(none)".
    std::string shown()
    {
        const auto t = only(c->render(100, 20), "DrawTextU");
        return t.empty() ? "(none)" : t[0].text;
    }
    // Clicks somewhere and answers the menu that opens.
    qwhost::PlatformMenu* click(float x = 50, float y = 10)
    {
        const size_t before = c->dialogs().menus.size();
        EXPECT_EQ(c->down(x, y), 1);
        EXPECT_EQ(c->up(x, y), 0);
        EXPECT_EQ(c->dialogs().menus.size(), before + 1);
        auto* menu = c->dialogs().lastMenu();
        EXPECT_TRUE(menu && menu->pending());
        return menu;
    }
    void expectItems(const std::vector<Item>& expected)
    {
        auto* menu = c->dialogs().lastMenu();
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->items.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
        {
            EXPECT_EQ(menu->items[i].text, expected[i].text) << i;
            EXPECT_EQ(menu->items[i].id, expected[i].id) << i;
            EXPECT_EQ(menu->items[i].flags, expected[i].flags) << i;
        }
    }
    std::unique_ptr<Drawn> c;
};
} // namespace

TEST_P(ListEntryTest, ShowsTheChosenEntryInTheInsetRectangle)
{
    c->setText("Items", L"Off,On");
    c->setInt("Choice", 1);
    const auto calls = c->render(100, 20);
    const auto text = only(calls, "DrawTextU");
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].text, "On");
    expectNear(text[0].values, {4, 4, 96, 16, 2}, "inner 92 x 12");
    EXPECT_NEAR(text[0].color.r, linear(0x20), 1e-6) << "the style's colour";
    const auto fill = only(calls, "FillRectangle");
    ASSERT_EQ(fill.size(), 1u);
    expectNear(fill[0].values, {4, 4, 96, 16}, "background");
    EXPECT_EQ(fill[0].color.a, 0.0f) << "the style has no background";

    // Six pixels high: inset by 3 vertically, nothing left.
    expectNear(only(c->render(100, 6), "FillRectangle")[0].values, {4, 3, 96, 3}, "empty rectangle");

    c->setText("Text Colour", L"FF00FF00");
    c->setText("Background Colour", L"FF0000FF");
    const auto coloured = c->render(100, 20);
    EXPECT_NEAR(only(coloured, "DrawTextU")[0].color.g, 1.0f, 1e-6);
    EXPECT_NEAR(only(coloured, "FillRectangle")[0].color.b, 1.0f, 1e-6);
    EXPECT_NEAR(only(coloured, "FillRectangle")[0].color.a, 1.0f, 1e-6);
}

TEST_P(ListEntryTest, DisplayTextPassesOverMarkers)
{
    struct Case
    {
        std::wstring items;
        int choice;
        std::string expected;
    };
    const Case cases[] = {
        {L"----=0,Sine=0", 0, "Sine"},
        {L"Off,On", 5, ""},
        {L"abc=2,xxxx=2", 2, "abc"},
        {L"zzzz=1,q=1", 1, "q"},
        {L"Caf\u00e9,\u65e5\u672c", 1, "\xE6\x97\xA5\xE6\x9C\xAC"},
        {L"range 1,3", 3, "3"},
    };
    for (const auto& k : cases)
    {
        c->setText("Items", k.items);
        c->setInt("Choice", k.choice);
        const auto t = only(c->render(100, 20), "DrawTextU");
        ASSERT_EQ(t.size(), 1u);
        EXPECT_EQ(t[0].text, k.expected) << k.choice;
    }
}

TEST_P(ListEntryTest, PickingAnEntryWritesItsValue)
{
    c->setText("Items", L"Off,On");
    c->setInt("Choice", 1);
    c->clearSent();
    auto* menu = click(70, 15);
    EXPECT_EQ(menu->rect, (qwhost::WidgetRect{0, 0, 120, 20})) << "over the top-left corner";
    expectItems({{"Off", 0, 0}, {"On", 1, 4}});
    EXPECT_FALSE(c->graphicsHost().captured());

    size_t redraws = c->graphicsHost().redraws.size();
    menu->choose(0);
    c->settle();
    EXPECT_EQ(c->sentInts("Choice"), (std::vector<int32_t>{0}));
    EXPECT_EQ(c->graphicsHost().redraws.size(), redraws + 1) << "its echo, now or later, redraws nothing more";
    EXPECT_EQ(menu->moduleReferences(), 0) << "the menu is released";
    EXPECT_EQ(shown(), "Off");

    // The chosen entry again: nothing sent, still redrawn.
    menu = click();
    expectItems({{"Off", 0, 4}, {"On", 1, 0}});
    redraws = c->graphicsHost().redraws.size();
    menu->choose(0);
    c->settle();
    EXPECT_EQ(c->sentInts("Choice"), (std::vector<int32_t>{0}));
    EXPECT_EQ(c->graphicsHost().redraws.size(), redraws + 1);

    // Cancelled: nothing changes.
    menu = click();
    menu->cancel();
    c->settle();
    EXPECT_EQ(c->sentInts("Choice"), (std::vector<int32_t>{0}));
    EXPECT_EQ(menu->moduleReferences(), 0);
}

TEST_P(ListEntryTest, MenuItemsAndFlags)
{
    c->setText("Items", L"A,----,||||,>>>>,B=7,<<<<,Caf\u00e9");
    c->setInt("Choice", 7);
    click()->cancel();
    expectItems({{"A", 0, 0}, {"----", 1, 8}, {">>>>", 3, 8}, {"B", 7, 4}, {"Caf\xC3\xA9", 9, 0}});

    c->setText("Items", L"range 1,3");
    c->setInt("Choice", 0);
    auto* menu = click();
    expectItems({{"1", 1, 0}, {"2", 2, 0}, {"3", 3, 0}});
    c->clearSent();
    menu->choose(3);
    c->settle();
    EXPECT_EQ(c->sentInts("Choice"), (std::vector<int32_t>{3}));
}

TEST_P(ListEntryTest, ASecondClickReplacesTheHeldMenu)
{
    c->setText("Items", L"Off,On");
    auto* first = click();
    auto* second = click();
    EXPECT_NE(first, second);
    EXPECT_EQ(first->moduleReferences(), 0);
    c->clearSent();
    first->choose(1);
    c->settle();
    EXPECT_TRUE(c->sentInts("Choice").empty()) << "the replaced menu's answer is dropped";
    second->choose(1);
    c->settle();
    EXPECT_EQ(c->sentInts("Choice"), (std::vector<int32_t>{1}));
}

TEST_P(ListEntryTest, DisabledFadesAndIgnoresClicks)
{
    c->setText("Items", L"Off,On");
    c->setText("Background Colour", L"FF0000FF");
    c->setBool("Enabled", false);
    struct Case
    {
        float alpha;
        float expected;
    };
    for (const Case k : {Case{1.5f, 1.0f}, Case{0.5f, 0.5f}, Case{-1.0f, 0.0f}, Case{NAN, 0.0f}})
    {
        c->setFloat("Disabled Alpha", k.alpha);
        const auto calls = c->render(100, 20);
        EXPECT_NEAR(only(calls, "DrawTextU")[0].color.a, k.expected, 1e-6) << k.alpha;
        EXPECT_NEAR(only(calls, "FillRectangle")[0].color.a, k.expected, 1e-6) << k.alpha;
        EXPECT_TRUE(allFinite(calls));
    }
    EXPECT_EQ(c->down(50, 10), -1);
    EXPECT_FALSE(c->graphicsHost().captured());
    EXPECT_EQ(c->up(50, 10), -1);
    EXPECT_TRUE(c->dialogs().menus.empty());

    c->setBool("Enabled", true);
    EXPECT_EQ(c->down(50, 10, 0x20), -1) << "only the left button";
    EXPECT_FALSE(c->graphicsHost().captured());
    EXPECT_EQ(c->up(50, 10), -1);
    EXPECT_TRUE(c->dialogs().menus.empty());
}

TEST_P(ListEntryTest, ToolTipIsTheHintInUtf8)
{
    c->setText("Hint", L"Gr\u00fc\u00dfe");
    gmpi_sdk::MpString tip;
    EXPECT_EQ(c->view().graphics()->getToolTip({1, 1}, &tip), 0);
    EXPECT_EQ(tip.str(),
              "Gr\xC3\xBC\xC3\x9F"
              "e");
}

INSTANTIATE_TEST_SUITE_P(Echo, ListEntryTest, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });

TEST(ListEntry, DrawsOnlyTheBackgroundBeforeAStyle)
{
    Drawn c(L"QW_ListEntry", Echo::None, false);
    c.setText("Items", L"Off,On");
    c.setText("Background Colour", L"FF0000FF");
    c.setBool("Enabled", true);
    const auto calls = c.render(100, 20);
    EXPECT_TRUE(only(calls, "DrawTextU").empty());
    const auto fill = only(calls, "FillRectangle");
    ASSERT_EQ(fill.size(), 1u);
    EXPECT_NEAR(fill[0].color.b, 1.0f, 1e-6);
    EXPECT_EQ(c.view().lastRenderResult(), 0);
}
