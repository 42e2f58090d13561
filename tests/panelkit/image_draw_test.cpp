// The skinned image controls as a user tries them: qwhost draw turns the
// test skin's dial (10 flat frames) and drags the picker's handle; the PNG
// shows the frame and the handle where they were worked out to be.
#include "drawn_fixture.h"

using namespace drawntest;

namespace
{
// Frame k of the test skin's dial.png: RGB (25k, 0x80, 250 - 25k).
qwtest::Png::Rgba dialFrame(int k)
{
    return {25 * k, 0x80, 250 - 25 * k, 255};
}

void expectPixel(const qwtest::Png& png, int x, int y, const qwtest::Png::Rgba& c, int tolerance = 1)
{
    ASSERT_GT(png.width, x);
    const auto p = png.at(x, y);
    EXPECT_NEAR(p.r, c.r, tolerance) << x << ", " << y;
    EXPECT_NEAR(p.g, c.g, tolerance) << x << ", " << y;
    EXPECT_NEAR(p.b, c.b, tolerance) << x << ", " << y;
    EXPECT_NEAR(p.a, c.a, tolerance) << x << ", " << y;
}

class ImageDraw : public DrawCommand
{};
} // namespace

TEST_F(ImageDraw, TurnsTheDialUpwards)
{
    // A rotary dial, pressed below the centre and dragged straight up: the
    // upward motion wins the vote, 0.01 a pixel: 0.4, frame 4 of 10.
    const auto png =
        draw("QW_Image", "64x64", {"--pin", "Image=dial.png", "--pointer", "press 32,40; move 32,0; release 32,0"});
    EXPECT_NE(last.out.find("sent Animation Position = 0.4"), std::string::npos) << last.out;
    expectPixel(png, 32, 32, dialFrame(4));
    expectPixel(png, 0, 0, {0, 0, 0, 0});
}

TEST_F(ImageDraw, TurnsTheJogShuttleAQuarter)
{
    // From the right of the centre to below it: a quarter turn clockwise,
    // value 0.25 of a range of 10 over 10 turns; frame truncate(0.25 x 9 + 0.5).
    const auto png = draw("QW_JogShuttleImg", "64x64",
                          {"--pin", "Image=dial.png", "--pointer", "press 60,32; move 32,60; release 32,60"});
    EXPECT_NE(last.out.find("sent Value = 0.25"), std::string::npos) << last.out;
    expectPixel(png, 32, 32, dialFrame(2));
}

TEST_F(ImageDraw, PicksTheTopRightCorner)
{
    // Angle 0.125 at distance 1: the 20 x 20 handle's corner at
    // (40 (1 + cos 45), 40 (1 - sin 45)) = (68.3, 11.7).
    const auto png =
        draw("QW_PolarPickerImg", "100x100", {"--pin", "Image=handle.png", "--pointer", "press 90,10; release 90,10"});
    EXPECT_NE(last.out.find("sent Angle = 0.125"), std::string::npos) << last.out;
    EXPECT_NE(last.out.find("sent Distance = 1"), std::string::npos) << last.out;
    expectPixel(png, 78, 21, {40, 200, 255, 255}); // the handle's frame 0 (test skin)
    expectPixel(png, 50, 50, {0, 32, 64, 255}, 3); // the background's centre colour
    expectPixel(png, 1, 1, {0, 0, 0, 0});          // outside the ellipse
}
