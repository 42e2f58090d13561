// The function plot and the jog wheel drawn to PNG by the command-line host,
// as a user tries them.
#include "drawn_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
class VectorDraw : public drawntest::DrawCommand
{};

size_t count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}
} // namespace

TEST_F(VectorDraw, AFunctionPlot)
{
    const qwtest::Png p = draw("QW_FuncPlotDuo", "300x200",
                               {"--pin", "Formula 1=sin(x*a)", "--pin", "A=3", "--pin", "X min=-3.2", "--pin",
                                "X max=3.2", "--pin", "Y min=-1.2", "--pin", "Y max=1.2"});
    ASSERT_EQ(p.width, 300);
    // White background in a cell of the grid (tenths 4.67 columns and 8.3
    // rows apart, from column 0 and row 199).
    const auto ground = p.at(2, 195);
    EXPECT_EQ(ground.r, 255);
    EXPECT_EQ(ground.g, 255);
    EXPECT_EQ(ground.b, 255);
    // sin(3x) peaks at x = pi/6: column (pi/6 + 3.2) / 6.4 x 299 = 174.0,
    // row (1 - 2.2 / 2.4) x 199 = 16.6; the curve is black there.
    const auto peak = p.at(174, 16);
    EXPECT_LT(peak.r, 100);
    EXPECT_LT(peak.g, 100);
    // The x axis (light red, FF8080) over row 99, away from the curve.
    const auto axis = p.at(174, 99);
    EXPECT_GT(axis.r, 200);
    EXPECT_LT(axis.g, 230);
}

TEST_F(VectorDraw, AJogWheelTurnedByAPointerScript)
{
    const std::vector<std::string> look = {"--pin", "Body Colour=FF0000FF", "--pin", "Cap Colour=FFFF0000",
                                           "--pin", "Highlight Spot=0",     "--pin", "Steps=8"};
    const qwtest::Png before = draw("QW_VecJogShuttleS", "100x100", look);
    std::vector<std::string> turned = look;
    turned.insert(turned.end(), {"--pointer", "press 50,10; move 90,50; release 90,50"});
    const qwtest::Png after = draw("QW_VecJogShuttleS", "100x100", turned);
    // A quarter turn with 8 steps: two clockwise pulses.
    EXPECT_EQ(count(last.out, "sent Clockwise = true"), 2u) << last.out;
    EXPECT_EQ(count(last.out, "sent Counter-clockwise"), 0u) << last.out;

    // The red cap moved from the top (50, 23) to the right (77, 50).
    EXPECT_GT(before.at(50, 23).r, 100);
    EXPECT_LT(before.at(50, 23).b, 60);
    EXPECT_GT(before.at(77, 50).b, 100);
    EXPECT_GT(after.at(77, 50).r, 100);
    EXPECT_LT(after.at(77, 50).b, 60);
    EXPECT_GT(after.at(50, 23).b, 100);
    EXPECT_LT(after.at(50, 23).r, 60);
}
