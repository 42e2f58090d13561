// QW_JoystickImg through the built bundle, with the test skin's 20 x 20
// handle: where the handle is drawn for X and Y, jump and drag with the
// host's echo inside the call, late and absent, limits, the fine factor,
// sub-pixel placement, the frame count and the padded handle.
#include "drawn_fixture.h"

using namespace drawntest;
using qwhost::Echo;

namespace
{
// The handle's destination rectangle in a render (empty when none is drawn).
std::vector<double> handleAt(const std::vector<DrawCall>& calls)
{
    const auto b = only(calls, "DrawBitmap", 0);
    if (b.size() != 1)
        return {};
    return {b[0].values[0], b[0].values[1], b[0].values[2], b[0].values[3]};
}

// A 100 x 100 joystick with a handle image, drawn once.
struct Joystick
{
    explicit Joystick(Echo echo = Echo::None, const std::wstring& image = L"handle.png", int w = 100, int h = 100)
        : c(L"QW_JoystickImg", echo), w(w), h(h)
    {
        c.setText("Image", image);
        c.render(w, h);
    }
    std::vector<double> handle() { return handleAt(c.render(w, h)); }
    Drawn c;
    int w, h;
};
} // namespace

TEST(Joystick, TheHandleTravelsOverTheModuleLessItsSize)
{
    struct Case
    {
        float x, y;
        std::vector<double> at;
    };
    const Case cases[] = {
        {0.5f, 0.5f, {40, 40, 60, 60}},
        {1, 1, {80, 0, 100, 20}}, // top right
        {0, 0, {0, 80, 20, 100}},
    };
    for (const auto& k : cases)
    {
        Joystick j;
        j.c.setFloat("X", k.x);
        j.c.setFloat("Y", k.y);
        EXPECT_EQ(j.handle(), k.at) << k.x << ", " << k.y;
    }
    // The frame follows the animation position: frame 9 of 10 at 1.
    Joystick j;
    j.c.setFloat("Animation Position", 1);
    const auto b = only(j.c.render(100, 100), "DrawBitmap", 0);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(std::vector<double>(b[0].values.begin() + 4, b[0].values.begin() + 8),
              (std::vector<double>{0, 180, 20, 200}));
}

TEST(Joystick, TheBackgroundIsAVerticalGradient)
{
    Joystick j;
    const auto calls = j.c.render(100, 100);
    const auto g = only(calls, "CreateLinearGradientBrush");
    ASSERT_EQ(g.size(), 1u);
    expectNear(g[0].values, {0, 0, 0, 99, 0, 0, 0, 0, 1, 1, linear(0x60), linear(0x60), linear(0x60), 1},
               "default gradient", 1e-6);
    EXPECT_EQ(only(calls, "FillRectangle", 0).size(), 1u);
    // Six digits leave alpha 0: with both colours transparent nothing is filled.
    j.c.setText("Top Colour", L"FFFFFF");
    j.c.setText("Bottom Colour", L"000000");
    EXPECT_TRUE(only(j.c.render(100, 100), "FillRectangle", 0).empty());
}

class JoystickDrag : public ::testing::TestWithParam<Echo>
{};

TEST_P(JoystickDrag, AJumpPutsTheHandlesCentreAtThePointer)
{
    Joystick j(GetParam());
    j.c.setBool("Jump", true);
    j.c.clearSent();
    EXPECT_EQ(j.c.down(60, 20), 0);
    EXPECT_EQ(j.c.sentFloats("X"), std::vector<float>{0.625f}); // (60 - 10) / 80
    EXPECT_EQ(j.c.sentFloats("Y"), std::vector<float>{0.875f}); // 1 - (20 - 10) / 80
    EXPECT_EQ(j.c.sentBools("Pointer Down"), std::vector<bool>{true});
    EXPECT_EQ(j.c.sentBools("Pointer Down 2"), std::vector<bool>{true});
    EXPECT_EQ(j.handle(), (std::vector<double>{50, 10, 70, 30}));
    // Then a drag from there.
    EXPECT_EQ(j.c.move(68, 20), 0);
    EXPECT_NEAR(j.c.sentFloats("X").back(), 0.725, 1e-6);
    EXPECT_NEAR(j.handle()[0], 58, 1.0); // 0.725 x 80, in whole pixels
    EXPECT_EQ(j.c.up(68, 20), 0);
    EXPECT_EQ(j.c.sentBools("Pointer Down").back(), false);
    EXPECT_EQ(j.c.sentBools("Pointer Down 2").back(), false);
    EXPECT_FALSE(j.c.graphicsHost().captured());
    EXPECT_EQ(j.c.move(90, 20), -1) << "no capture";
}

TEST_P(JoystickDrag, PastALimitTheHandleWaitsUnlessRelative)
{
    for (bool relative : {false, true})
    {
        Joystick j(GetParam());
        j.c.setBool("Relative", relative);
        j.c.setFloat("X", 0.5f);
        j.c.setFloat("Y", 0.5f);
        j.c.clearSent();
        ASSERT_EQ(j.c.down(50, 50), 0) << "on the handle";
        j.c.move(110, 50); // 0.75 to the right: 1.25, held at 1
        j.c.move(90, 50);  // back 0.25
        j.c.move(70, 50);  // back another 0.25
        const std::vector<float> expected =
            relative ? std::vector<float>{1.0f, 0.75f, 0.5f} : std::vector<float>{1.0f, 0.75f};
        EXPECT_EQ(j.c.sentFloats("X"), expected) << (relative ? "relative" : "absolute");
        EXPECT_EQ(j.handle()[0], relative ? 40 : 60);
        EXPECT_TRUE(j.c.sentFloats("Y").empty());
    }
}

TEST_P(JoystickDrag, TheFineFactorScalesTheDrag)
{
    Joystick j(GetParam());
    j.c.setFloat("Fine Factor", 0.1f);
    j.c.setFloat("X", 0.5f);
    j.c.setFloat("Y", 0.5f);
    j.c.clearSent();
    j.c.down(50, 50);
    j.c.move(130, 50, kLeftFine); // the whole span
    const auto x = j.c.sentFloats("X");
    ASSERT_EQ(x.size(), 1u);
    EXPECT_NEAR(x[0], 0.6, 1e-6);
    j.c.move(130, 10); // without the modifier: 0.5 up
    EXPECT_NEAR(j.c.sentFloats("Y").back(), 1.0, 1e-6);
}

// Two moves before any echo: the echoes, coming after both, are the
// joystick's own and neither move the handle back nor redraw it.
TEST_P(JoystickDrag, TwoMovesBeforeAnyEchoLeaveTheHandleWhereTheDragPutIt)
{
    Joystick j(GetParam());
    j.c.setFloat("X", 0.5f);
    j.c.setFloat("Y", 0.5f);
    ASSERT_EQ(j.c.down(50, 50), 0);
    // Straight to the view: echoes held back stay held.
    j.c.view().pointerMove(kLeft, {66, 50});
    j.c.view().pointerMove(kLeft, {82, 50});
    EXPECT_EQ(j.c.sentFloats("X"), (std::vector<float>{0.7f, 0.9f}));
    const size_t redraws = j.c.graphicsHost().redraws.size();
    j.c.settle();
    EXPECT_EQ(j.c.graphicsHost().redraws.size(), redraws);
    EXPECT_EQ(j.handle()[0], 72);
}

INSTANTIATE_TEST_SUITE_P(Echo, JoystickDrag, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });

TEST(Joystick, LimitsAreWithinZeroAndOneAndDoNotMoveTheHandle)
{
    Joystick j;
    j.c.setFloat("X Max", 2);
    j.c.setFloat("X", 1.5f);
    EXPECT_EQ(j.handle()[0], 80) << "2 is stored as 1";
    j.c.setFloat("X Min", -1);
    j.c.setFloat("X", -0.5f);
    EXPECT_EQ(j.handle()[0], 0) << "-1 is stored as 0";

    j.c.setFloat("X", 0.8f);
    EXPECT_EQ(j.handle()[0], 64);
    const size_t redraws = j.c.graphicsHost().redraws.size();
    j.c.setFloat("X Max", 0.5f);
    EXPECT_EQ(j.c.graphicsHost().redraws.size(), redraws);
    EXPECT_EQ(j.handle()[0], 64) << "until the next value";
    j.c.setFloat("X", 0.7f);
    EXPECT_EQ(j.handle()[0], 40);
}

TEST(Joystick, WholePixelsAreDrawnButTheExactPlaceIsHit)
{
    Joystick j;
    j.c.setFloat("Y", 0.5f);
    j.c.setFloat("X", 12.7f / 80);
    EXPECT_EQ(j.handle(), (std::vector<double>{12, 40, 32, 60}));
    EXPECT_EQ(j.c.view().hitTest({12.5f, 50}), -1) << "left of 12.7";
    EXPECT_EQ(j.c.view().hitTest({12.8f, 50}), 0);
    EXPECT_EQ(j.c.view().hitTest({13.0f, 41}), -1) << "a transparent corner";
    EXPECT_EQ(j.c.down(12.5f, 50), -1);
    j.c.setBool("Sub-pixel", true);
    expectNear(j.handle(), {12.7, 40, 32.7, 60}, "sub-pixel");
    j.c.setBool("Grab Anywhere", true);
    EXPECT_EQ(j.c.view().hitTest({1, 1}), 0);
}

TEST(Joystick, FramesAndHandleSizeFromTheMetadata)
{
    Joystick j;
    const auto frames = j.c.sentInts("Frame Count");
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back(), 10); // 200 / 20

    Joystick whole(Echo::None, L"handle_whole.png", 100, 300);
    EXPECT_EQ(whole.c.sentInts("Frame Count").back(), 1) << "no frame height: one frame";
    whole.c.setFloat("X", 1);
    whole.c.setFloat("Y", 1);
    EXPECT_EQ(whole.handle(), (std::vector<double>{80, 0, 100, 200}));

    // Padding top 1, bottom 2, left 3, right 4: a handle of 27 x 23.
    Joystick padded(Echo::None, L"handle_padded.png");
    padded.c.setFloat("X", 1);
    padded.c.setFloat("Y", 0);
    EXPECT_EQ(padded.handle(), (std::vector<double>{73, 77, 93, 97}));
}

TEST(Joystick, AJumpWithNoRoomGivesZero)
{
    Joystick j(Echo::None, L"handle.png", 20, 20);
    j.c.setBool("Jump", true);
    j.c.clearSent();
    EXPECT_EQ(j.c.down(15, 5), 0);
    EXPECT_EQ(j.c.sentFloats("X"), std::vector<float>{0.0f});
    EXPECT_TRUE(j.c.sentFloats("Y").empty() || j.c.sentFloats("Y").back() == 0.0f);
    j.c.move(18, 2);
    for (float v : j.c.sentFloats("X"))
        EXPECT_EQ(v, 0.0f);
}
