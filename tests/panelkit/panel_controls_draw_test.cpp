// The formula plot, the jog shuttle, the line slider and the hover box tried
// with the command-line host as a user would: drawn to PNG after pin values
// and pointer scripts, with a few pixels and the values sent checked.
#include "drawn_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
class PanelDraw : public drawntest::DrawCommand
{};

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
} // namespace

TEST_F(PanelDraw, AFormulaPlot)
{
    const qwtest::Png p = draw("QW_FuncPlot", "300x200",
                               {"--pin", "Formula=sin(x*a)", "--pin", "A=3", "--pin", "X Min=-3.2", "--pin",
                                "X Max=3.2", "--pin", "Y Min=-1.2", "--pin", "Y Max=1.2"});
    ASSERT_EQ(p.width, 300);
    ASSERT_EQ(p.height, 200);
    // White inside a cell of the grid (tenths 4.67 columns and 8.3 rows apart).
    const auto ground = p.at(2, 195);
    EXPECT_EQ(ground.r, 255);
    EXPECT_EQ(ground.g, 255);
    EXPECT_EQ(ground.b, 255);
    // sin(3x) peaks at x = pi/6: column (pi/6 + 3.2) / 6.4 x 299 = 174.0,
    // row (1 - 2.2 / 2.4) x 199 = 16.6, where the curve is black.
    EXPECT_LT(p.at(174, 16).r, 100);
    EXPECT_LT(p.at(174, 16).g, 100);
    // Its trough at x = -pi/6: column 125.1, row (1 - 0.2 / 2.4) x 199 = 182.4.
    EXPECT_LT(p.at(125, 182).r, 100);
    // The x axis (FF8080) along row 99, away from the curve.
    EXPECT_GT(p.at(174, 99).r, 200);
    EXPECT_LT(p.at(174, 99).g, 230);
}

TEST_F(PanelDraw, AJogShuttleTurnedAQuarter)
{
    const std::vector<std::string> look = {"--pin",    "Body Colour=FF0000FF", "--pin", "Cap Colour=FFFF0000", "--pin",
                                           "Cap Dot=0"};
    const qwtest::Png before = draw("QW_VecJogShuttle2", "100x100", look);
    std::vector<std::string> turned = look;
    turned.insert(turned.end(), {"--pointer", "press 50,10; move 90,50; release 90,50"});
    const qwtest::Png after = draw("QW_VecJogShuttle2", "100x100", turned);
    // 0 .. 10 over 10 turns: a quarter turn adds 0.25.
    EXPECT_TRUE(contains(last.out, "sent Value = 0.25\n")) << last.out;
    EXPECT_TRUE(contains(last.out, "sent Pointer Down = false")) << last.out;
    // The red cap moved from the top (50, 23) to the right (77, 50).
    EXPECT_GT(before.at(50, 23).r, 100);
    EXPECT_LT(before.at(50, 23).b, 60);
    EXPECT_GT(before.at(77, 50).b, 100);
    EXPECT_GT(after.at(77, 50).r, 100);
    EXPECT_LT(after.at(77, 50).b, 60);
    EXPECT_GT(after.at(50, 23).b, 100);
}

TEST_F(PanelDraw, ALineSliderDragged)
{
    // 40 x 200, a bar 10 thick: the press jumps it to 0.5 (rows 95 .. 105);
    // the drag and a fine drag of 100 pixels take its centre to 160.
    const qwtest::Png p = draw("QW_Line2", "40x200",
                               {"--pin", "Thickness=10", "--pin", "Mouse Mode=2", "--pin", "Background Colour=FF202020",
                                "--pointer", "press 20,100; move 20,150; move 20,250 fine; release 20,250"});
    EXPECT_TRUE(contains(last.out, "press 20,100\t1\n")) << last.out;
    EXPECT_TRUE(contains(last.out, "sent Position = 0.5\n")) << last.out;
    EXPECT_TRUE(contains(last.out, "sent Position = 0.815789461\n")) << "155 / 190: " << last.out;
    // The orange bar over rows 155 .. 165, dark grey elsewhere.
    EXPECT_EQ(p.at(20, 160).r, 255);
    EXPECT_EQ(p.at(20, 160).g, 128);
    EXPECT_EQ(p.at(20, 160).b, 0);
    EXPECT_EQ(p.at(20, 100).r, 0x20);
    EXPECT_EQ(p.at(20, 100).a, 255);
}

TEST_F(PanelDraw, AHoverBoxPassedOver)
{
    const qwtest::Png p =
        draw("QW_HoverBox", "101x51", {"--pin", "Normalised=1", "--pointer", "hover 50,25; hover 100,50"});
    EXPECT_TRUE(contains(last.out, "hover 50,25\t-1\n")) << last.out;
    EXPECT_TRUE(contains(last.out, "sent X = 0.5\n")) << last.out;
    EXPECT_TRUE(contains(last.out, "sent Y = 1\n")) << last.out;
    EXPECT_TRUE(contains(last.out, "sent Width = 101\n")) << last.out;
    EXPECT_EQ(p.at(50, 25).a, 0) << "draws nothing";
}
