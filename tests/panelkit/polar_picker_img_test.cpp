// QW_PolarPickerImg through the built bundle, with a 20 x 20 handle strip
// the tests make: the angle and distance of a point, where the handle is
// drawn (following a drag with the host's echo inside the call, later and
// none), the background's gradient, colours and inset, and a handle that
// leaves no room to travel.
#include "image_strips.h"

#include <cmath>

using namespace drawntest;
using imagetest::Skin;
using qwhost::Echo;

namespace
{
// A picker of w x h with a 3-frame 20 x 20 handle, drawn once.
struct Picker
{
    explicit Picker(Echo echo = Echo::None, int w = 100, int h = 100) : c(L"QW_PolarPickerImg", echo), w(w), h(h)
    {
        skin.flat("handle.png", 20, 20, 3, "type knob\nframe_size 20 20\n");
        skin.use(c);
        c.setText("Image", L"handle.png");
        c.render(w, h);
    }
    std::vector<DrawCall> render() { return c.render(w, h); }
    // Where the handle is drawn: destination, then source.
    std::vector<double> handle()
    {
        const auto draws = imagetest::bitmapDraws(render());
        return draws.size() == 1 ? draws[0] : std::vector<double>{};
    }
    // The last angle and distance sent (0 while none was).
    std::pair<float, float> picked()
    {
        auto last = [&](const char* pin) { return c.last(pin) ? c.last(pin)->asFloat() : 0.0f; };
        return {last("Angle"), last("Distance")};
    }
    Skin skin;
    Drawn c;
    int w, h;
};

class PickerEcho : public ::testing::TestWithParam<Echo>
{};

// The handle's top-left corner at (angle, distance) in a 100 x 100 picker:
// 80 x 80 of travel around the middle.
std::vector<double> handleAt(double angle, double distance, double frameTop = 0)
{
    const double t = 2 * 3.14159265358979323846 * angle;
    const double x = 80 * (1 + distance * std::cos(t)) / 2, y = 80 * (1 - distance * std::sin(t)) / 2;
    return {x, y, x + 20, y + 20, 0, frameTop, 20, frameTop + 20};
}
} // namespace

TEST(PolarPickerImg, APointGivesItsAngleAndDistance)
{
    struct Case
    {
        float x, y;
        float angle, distance;
    };
    const Case cases[] = {
        {50, 50, 0, 0},             // the middle
        {90, 50, 0, 1},             // the right edge of the travel
        {50, 10, 0.25f, 1},         // the top
        {10, 50, 0.5f, 1},          // the left
        {50, 90, 0.75f, 1},         // the bottom
        {90, 10, 0.125f, 1},        // the top-right corner: sqrt 2 held at 1
        {70, 50, 0, 0.5f},          // half way right
        {30, 70, 0.625f, 0.70711f}, // (-0.5, -0.5)
        {500, 50, 0, 1},            // far outside
    };
    for (const auto& k : cases)
    {
        SCOPED_TRACE(::testing::Message() << k.x << ", " << k.y);
        Picker p;
        ASSERT_EQ(p.c.down(k.x, k.y), 0);
        const auto [angle, distance] = p.picked();
        EXPECT_NEAR(angle, k.angle, 1e-6);
        EXPECT_NEAR(distance, k.distance, 1e-5);
        expectNear(p.handle(), handleAt(k.angle, k.distance), "handle", 1e-3);
    }
}

TEST_P(PickerEcho, TheHandleFollowsTheDrag)
{
    Picker p(GetParam());
    ASSERT_EQ(p.c.down(90, 50), 0);
    EXPECT_EQ(p.c.sentBools("Pointer Down"), std::vector<bool>{true});
    EXPECT_TRUE(p.c.graphicsHost().captured());
    expectNear(p.handle(), {80, 40, 100, 60}, "right");
    ASSERT_EQ(p.c.move(50, 10), 0);
    expectNear(p.handle(), {40, 0, 60, 20}, "top");
    ASSERT_EQ(p.c.move(50, 50), 0);
    expectNear(p.handle(), {40, 40, 60, 60}, "middle");
    EXPECT_EQ(p.c.sentFloats("Angle"), (std::vector<float>{0.25f, 0.0f}));
    EXPECT_EQ(p.c.sentFloats("Distance"), (std::vector<float>{1.0f, 0.0f}));
    ASSERT_EQ(p.c.up(50, 50), 0);
    EXPECT_EQ(p.c.sentBools("Pointer Down"), (std::vector<bool>{true, false}));
    EXPECT_FALSE(p.c.graphicsHost().captured());
    EXPECT_EQ(p.c.move(90, 50), -1) << "no capture";
    // Every release lowers the pointer pin, also after the host took the capture away.
    ASSERT_EQ(p.c.down(90, 50), 0);
    p.c.graphicsHost().releaseCapture();
    EXPECT_EQ(p.c.up(90, 50), -1);
    EXPECT_EQ(p.c.sentBools("Pointer Down"), (std::vector<bool>{true, false, true, false}));
}

INSTANTIATE_TEST_SUITE_P(Echo, PickerEcho, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });

// Values a drag sent, handed back only after the release, are the picker's
// own: the handle stays where the drag left it and nothing is redrawn.
TEST(PolarPickerImg, ADragsEchoesAfterTheReleaseMoveNothing)
{
    Picker p(Echo::Later);
    ASSERT_EQ(p.c.down(90, 50), 0);
    // Straight to the view: the echoes are held until after the release.
    p.c.view().pointerMove(kLeft, {50, 10});
    p.c.view().pointerMove(kLeft, {50, 50});
    p.c.view().pointerUp(kLeft, {50, 50});
    const size_t redraws = p.c.graphicsHost().redraws.size();
    p.c.settle();
    EXPECT_EQ(p.c.graphicsHost().redraws.size(), redraws);
    expectNear(p.handle(), {40, 40, 60, 60}, "middle");
}

TEST(PolarPickerImg, PinsOutsideTheRangeAreHeldForDrawingOnly)
{
    Picker p;
    p.c.setFloat("Angle", 0.25f);
    p.c.setFloat("Distance", 5);
    expectNear(p.handle(), handleAt(0.25, 1), "distance 5 drawn as 1");
    p.c.setFloat("Angle", -0.5f);
    expectNear(p.handle(), handleAt(0, 1), "angle -0.5 drawn as 0");
    EXPECT_TRUE(p.c.sentFloats("Angle").empty() && p.c.sentFloats("Distance").empty());
    // The frame follows the animation position: the last of 3 at 1.
    EXPECT_EQ(p.c.sentInts("Frame Count"), std::vector<int32_t>{3});
    p.c.setFloat("Animation Position", 1);
    expectNear(p.handle(), handleAt(0, 1, 40), "frame 2");
}

TEST(PolarPickerImg, TheBackgroundIsARadialGradientInTheEllipse)
{
    Picker p;
    p.c.setFloat("Distance", 1); // the handle out of the middle
    auto background = [&] {
        const auto calls = p.render();
        return std::make_pair(only(calls, "CreateRadialGradientBrush"), only(calls, "FillEllipse", 0));
    };
    // Inset 0: radii W/2 and H/2, from the centre colour sRGB (0, 32, 64) to
    // the rim colour sRGB (64, 128, 192).
    auto [gradients, ellipses] = background();
    ASSERT_EQ(gradients.size(), 1u);
    expectNear(gradients[0].values,
               {50, 50, 0, 0, 50, 50, 0, 0, linear(32), linear(64), 1, 1, linear(64), linear(128), linear(192), 1},
               "gradient", 1e-6);
    ASSERT_EQ(ellipses.size(), 1u);
    EXPECT_EQ(ellipses[0].values, (std::vector<double>{50, 50, 50, 50}));
    EXPECT_EQ(ellipses[0].brush, "radial");
    const auto& b = *p.c.view().bitmap();
    imagetest::expectColour(b, 50, 50, {0, 32, 64, 255}, "the middle", 3);
    EXPECT_EQ(b.pixel(1, 1).a, 0) << "outside the ellipse";

    // Inset and offsets; a colour, then an empty text for its default again.
    p.c.setFloat("Background Inset", 10);
    p.c.setInt("Background X Offset", 7);
    p.c.setInt("Background Y Offset", -4);
    p.c.setText("Centre Colour", L"FFFF0000");
    std::tie(gradients, ellipses) = background();
    ASSERT_EQ(gradients.size(), 1u);
    expectNear(gradients[0].values, {57, 46, 0, 0, 40, 40, 0, 1, 0, 0, 1}, "inset, offset, red", 1e-6);
    EXPECT_EQ(ellipses[0].values, (std::vector<double>{57, 46, 40, 40}));
    p.c.setText("Centre Colour", L"");
    std::tie(gradients, ellipses) = background();
    expectNear(gradients[0].values, {57, 46, 0, 0, 40, 40, 0, 0, linear(32), linear(64), 1}, "default again", 1e-6);

    // Half the size or more: no background at all. Transparent colours: none either.
    for (float inset : {50.0f, 60.0f})
    {
        p.c.setFloat("Background Inset", inset);
        std::tie(gradients, ellipses) = background();
        EXPECT_TRUE(gradients.empty() && ellipses.empty()) << inset;
    }
    p.c.setFloat("Background Inset", 0);
    p.c.setText("Centre Colour", L"00FF0000");
    p.c.setText("Rim Colour", L"not hex");
    std::tie(gradients, ellipses) = background();
    EXPECT_TRUE(gradients.empty() && ellipses.empty());
    p.c.setText("Rim Colour", L"01000000");
    std::tie(gradients, ellipses) = background();
    EXPECT_EQ(ellipses.size(), 1u) << "one colour not quite clear";
}

TEST(PolarPickerImg, AHandleThatFillsAnAxisMapsToItsMiddle)
{
    struct Case
    {
        int w, h;
        float x, y;
        float angle, distance;
    };
    const Case cases[] = {
        {20, 20, 2, 18, 0, 0},  // no room either way
        {100, 20, 90, 5, 0, 1}, // only across
        {100, 20, 10, 15, 0.5f, 1},
        {20, 100, 5, 10, 0.25f, 1}, // only up and down
    };
    for (const auto& k : cases)
    {
        SCOPED_TRACE(::testing::Message() << k.w << " x " << k.h << " at " << k.x << ", " << k.y);
        Picker p(Echo::None, k.w, k.h);
        p.c.setFloat("Angle", 0.3f);
        p.c.setFloat("Distance", 0.5f);
        ASSERT_EQ(p.c.down(k.x, k.y), 0);
        EXPECT_EQ(p.c.sentFloats("Angle"), std::vector<float>{k.angle});
        EXPECT_EQ(p.c.sentFloats("Distance"), std::vector<float>{k.distance});
        EXPECT_TRUE(allFinite(p.render()));
    }
}

TEST(PolarPickerImg, WithoutAnImageOnlyTheBackgroundIsThere)
{
    Drawn c(L"QW_PolarPickerImg");
    const auto calls = c.render(100, 100);
    EXPECT_EQ(only(calls, "FillEllipse", 0).size(), 1u);
    EXPECT_TRUE(only(calls, "DrawBitmap").empty());
    EXPECT_EQ(c.down(90, 50), 0) << "answered, but nothing happens";
    EXPECT_FALSE(c.graphicsHost().captured());
    EXPECT_EQ(c.move(50, 50), -1);
    EXPECT_EQ(c.up(50, 50), -1);
    EXPECT_TRUE(c.sentFloats("Angle").empty() && c.sentFloats("Distance").empty());

    Picker p;
    EXPECT_EQ(p.c.down(90, 50, 0), 0) << "another button: answered, nothing happens";
    EXPECT_FALSE(p.c.graphicsHost().captured());
    EXPECT_TRUE(p.c.sentFloats("Angle").empty() && p.c.sentFloats("Distance").empty());
}
