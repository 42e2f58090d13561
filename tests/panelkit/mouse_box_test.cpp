// QW_MouseBox through the built bundle, with the host's echo on and off:
// positions, fractions and angles worked out by hand for a 200 x 100 box, the
// changes between events, the release, the context menu and the tooltip.
#include "drawn_fixture.h"

#include "mp_sdk_common.h"

using namespace drawntest;
using qwhost::Echo;

namespace
{
class MouseBoxTest : public ::testing::TestWithParam<Echo>
{
protected:
    void SetUp() override
    {
        c = std::make_unique<Drawn>(L"QW_MouseBox", GetParam());
        c->render(200, 100);
    }
    int32_t lastInt(const std::string& pin)
    {
        const auto v = c->sentInts(pin);
        EXPECT_FALSE(v.empty()) << pin;
        return v.empty() ? -999 : v.back();
    }
    float lastFloat(const std::string& pin)
    {
        const auto v = c->sentFloats(pin);
        EXPECT_FALSE(v.empty()) << pin;
        return v.empty() ? -999.0f : v.back();
    }
    std::unique_ptr<Drawn> c;
};

const char* const kChanges[] = {"Delta X", "Delta Y", "Delta X Fraction", "Delta Y Fraction", "Delta Angle"};
} // namespace

TEST_P(MouseBoxTest, APressReportsThePosition)
{
    EXPECT_EQ(lastInt("Width"), 200);
    EXPECT_EQ(lastInt("Height"), 100);
    EXPECT_EQ(c->down(150, 50), 0);
    EXPECT_EQ(c->sentBools("Pointer Down"), (std::vector<bool>{true}));
    EXPECT_EQ(lastInt("X"), 150);
    EXPECT_EQ(lastInt("Y"), 50);
    EXPECT_FLOAT_EQ(lastFloat("X Fraction"), 0.75f);
    EXPECT_FLOAT_EQ(lastFloat("Y Fraction"), 0.5f);
    EXPECT_NEAR(lastFloat("Angle"), 0.25f, 1e-6); // right of the centre
    for (const char* pin : kChanges)
        for (auto* v : c->module().transmitsOf(c->pin(pin)))
            EXPECT_EQ(v->asFloat(), 0.0f) << pin; // 0 as int and as float alike
    c->up(150, 50);

    // Below the centre, then left of it.
    c->down(100, 90);
    EXPECT_NEAR(lastFloat("Angle"), 0.5f, 1e-6);
    c->move(10, 50);
    EXPECT_NEAR(lastFloat("Angle"), 0.75f, 1e-6);
    c->up(10, 50);
}

TEST_P(MouseBoxTest, AxisFlagsFlipThePosition)
{
    c->setInt("Axis Flags", 1);
    c->down(150, 50);
    EXPECT_EQ(lastInt("Y"), 49);
    EXPECT_FLOAT_EQ(lastFloat("Y Fraction"), 0.49f);
    EXPECT_EQ(lastInt("X"), 150);
    c->up(150, 50);
    c->setInt("Axis Flags", 2);
    c->down(150, 50);
    EXPECT_EQ(lastInt("X"), 49);
    EXPECT_FLOAT_EQ(lastFloat("X Fraction"), 0.245f);
    EXPECT_EQ(lastInt("Y"), 50);
    c->up(150, 50);
}

TEST_P(MouseBoxTest, ChangesGoThroughZeroAndAngleChangesWrap)
{
    // Angle 0.95 and 0.05: points above the centre, 0.05 turns either side:
    // (100 +- 50 tan(0.1 pi), 0) in a box whose centre is 50 below the top.
    const float side = 50.0f * static_cast<float>(std::tan(0.1 * M_PI));
    c->down(100 - side, 0);
    EXPECT_NEAR(lastFloat("Angle"), 0.95f, 1e-5);
    c->move(100 + side, 0);
    EXPECT_NEAR(lastFloat("Angle"), 0.05f, 1e-5);
    EXPECT_NEAR(lastFloat("Delta Angle"), 0.1f, 1e-5);
    c->move(100 - side, 0);
    EXPECT_NEAR(lastFloat("Delta Angle"), -0.1f, 1e-5);

    // Two equal moves: each change is sent as 0 and then again.
    c->move(110, 40);
    c->clearSent();
    c->move(120, 40);
    c->move(130, 40);
    EXPECT_EQ(c->sentInts("Delta X"), (std::vector<int32_t>{0, 10, 0, 10}));
    EXPECT_EQ(c->sentInts("Delta Y"), (std::vector<int32_t>{0})) << "40, then 0 and 0 again";
    const auto dfx = c->sentFloats("Delta X Fraction");
    ASSERT_EQ(dfx.size(), 4u);
    EXPECT_EQ(dfx[0], 0.0f);
    EXPECT_NEAR(dfx[1], 0.05f, 1e-6);
    EXPECT_EQ(dfx[2], 0.0f);
    EXPECT_NEAR(dfx[3], 0.05f, 1e-6);

    // The release zeroes the changes and keeps the position.
    c->clearSent();
    EXPECT_EQ(c->up(130, 40), 0);
    EXPECT_EQ(c->sentBools("Pointer Down"), (std::vector<bool>{false}));
    EXPECT_EQ(c->sentInts("Delta X"), (std::vector<int32_t>{0}));
    EXPECT_EQ(c->sentFloats("Delta X Fraction"), (std::vector<float>{0.0f}));
    EXPECT_EQ(c->sentFloats("Delta Angle").back(), 0.0f);
    for (const char* pin : {"X", "Y", "X Fraction", "Y Fraction", "Angle"})
        EXPECT_TRUE(c->module().transmitsOf(c->pin(pin)).empty()) << pin;
    EXPECT_FALSE(c->graphicsHost().captured());
}

TEST_P(MouseBoxTest, MovesWithoutAPressAndOtherButtonsAreDeclined)
{
    c->clearSent();
    EXPECT_EQ(c->move(10, 10), -1);
    EXPECT_EQ(c->down(10, 10, 0x20), -1);
    EXPECT_EQ(c->move(20, 10), -1);
    EXPECT_TRUE(c->module().transmits.empty());
}

TEST_P(MouseBoxTest, ContextMenuAndToolTip)
{
    c->setText("Menu Items", L"range 0,9");
    qwhost::ContextMenuSink sink;
    EXPECT_EQ(c->module().ui()->populateContextMenu(5, 5, &sink), 0);
    ASSERT_EQ(sink.items.size(), 10u);
    EXPECT_EQ(sink.items[3].text, "3");
    EXPECT_EQ(sink.items[3].id, 3);
    EXPECT_EQ(sink.items[3].flags, 0);
    EXPECT_EQ(sink.moduleReferences(), 0);
    c->clearSent();
    EXPECT_EQ(c->module().ui()->onContextMenu(3), 0);
    c->settle();
    EXPECT_EQ(c->sentInts("Menu Selection"), (std::vector<int32_t>{3, -1}));

    c->setText("Menu Items", L"Caf\u00e9,x\xD800y,----");
    qwhost::ContextMenuSink odd;
    c->module().ui()->populateContextMenu(0, 0, &odd);
    ASSERT_EQ(odd.items.size(), 3u);
    EXPECT_EQ(odd.items[0].text, "Caf\xC3\xA9");
    EXPECT_EQ(odd.items[1].text, "") << "no UTF-8 form: an empty item";
    EXPECT_EQ(odd.items[2].flags, 0);

    gmpi_sdk::MpString notASink;
    EXPECT_EQ(c->module().ui()->populateContextMenu(0, 0, &notASink), 0);
    EXPECT_EQ(c->module().ui()->populateContextMenu(0, 0, nullptr), 0);

    gmpi_sdk::MpString tip;
    EXPECT_EQ(c->view().graphics()->getToolTip({1, 1}, &tip), 0);
    EXPECT_EQ(tip.str(), "");
    c->setText("Hint", L"a\xDC00z");
    EXPECT_EQ(c->view().graphics()->getToolTip({1, 1}, &tip), 0);
    EXPECT_EQ(tip.str(), "a\xEF\xBF\xBDz");
}

INSTANTIATE_TEST_SUITE_P(Echo, MouseBoxTest, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });

TEST(MouseBox, AnEmptyBoxSendsZeroFractions)
{
    Drawn c(L"QW_MouseBox");
    c.view().arrange({0, 0, 0, 0});
    c.renderOnly(1, 1);
    c.down(0, 0);
    c.move(5, 7);
    for (const char* pin : {"X Fraction", "Y Fraction", "Angle", "Delta X Fraction", "Delta Y Fraction", "Delta Angle"})
        for (float v : c.sentFloats(pin))
        {
            EXPECT_TRUE(std::isfinite(v)) << pin;
            if (std::string(pin).find("Fraction") != std::string::npos)
            {
                EXPECT_EQ(v, 0.0f) << pin;
            }
        }
    c.up(5, 7);
}
