// QW_Image through the built bundle, on strips the tests make: the frame a
// position shows, the drags of each response code with the host's echo
// inside the call, later and none, the button and the step, the alpha hit
// test and its pins, the slider hit exactly where its handle is drawn, the
// rotary vote, the disabled look, the bar graph and the centre marker.
#include "image_strips.h"

#include <cmath>

using namespace drawntest;
using imagetest::frameColour;
using imagetest::Rgba;
using imagetest::Skin;
using qwhost::Echo;

namespace
{
// A QW_Image on its own skin, drawn once at w x h with `image` loaded.
struct Image
{
    Image(Skin& skin, const std::wstring& image, int w, int h, Echo echo = Echo::None)
        : c(L"QW_Image", echo), w(w), h(h)
    {
        skin.use(c);
        c.setText("Image", image);
        c.render(w, h);
    }
    std::vector<DrawCall> render() { return c.render(w, h); }
    float position() { return c.sentFloats("Animation Position").back(); }
    Drawn c;
    int w, h;
};

class ImageEcho : public ::testing::TestWithParam<Echo>
{};

const auto echoNames = [](const auto& info) { return std::string(echoName(info.param)); };
} // namespace

TEST(Image, APositionShowsItsFrame)
{
    Skin skin;
    skin.flat("knob10.png", 10, 10, 10, "type knob\nframe_size 10 10\n");
    Image i(skin, L"knob10.png", 10, 10);
    EXPECT_EQ(i.c.sentInts("Frame Count").back(), 10);
    // frame = truncate(position x 9 + 0.5), held within the strip.
    const std::pair<float, int> cases[] = {{0.5f, 5},  {0.0f, 0},  {1.0f, 9}, {0.05f, 0},
                                           {0.06f, 1}, {-1.0f, 0}, {2.0f, 9}};
    for (auto [position, frame] : cases)
    {
        i.c.setFloat("Animation Position", position);
        const auto draws = imagetest::bitmapDraws(i.render());
        const double top = 10.0 * frame;
        EXPECT_EQ(draws, (std::vector<std::vector<double>>{{0, 0, 10, 10, 0, top, 10, top + 10}})) << position;
        imagetest::expectColour(*i.c.view().bitmap(), 5, 5, frameColour(frame), "position " + std::to_string(position));
    }
}

TEST(Image, MeasuresOneFrameWithItsPaddings)
{
    Skin skin;
    // Paddings are read top, bottom, left, right.
    skin.flat("padded.png", 10, 10, 2, "type knob\nframe_size 10 10\npadding 1 2 3 4\n");
    Image i(skin, L"padded.png", 30, 30);
    GmpiDrawing_API::MP1_SIZE desired{};
    i.c.view().measure({100, 100}, desired);
    EXPECT_EQ(desired.width, 17.0f);
    EXPECT_EQ(desired.height, 13.0f);
    // The frame is drawn after the left and top paddings.
    EXPECT_EQ(imagetest::bitmapDraws(i.render()), (std::vector<std::vector<double>>{{3, 1, 13, 11, 0, 0, 10, 10}}));

    Drawn none(L"QW_Image");
    none.view().measure({100, 100}, desired);
    EXPECT_EQ(desired.width, 10.0f);
    EXPECT_EQ(desired.height, 10.0f);
    EXPECT_TRUE(drawn(none.render(20, 20)).empty()) << "nothing is drawn without an image";
    EXPECT_EQ(none.view().hitTest({5, 5}), -1);
    EXPECT_EQ(none.down(5, 5), -1);
}

TEST_P(ImageEcho, AnImageWithoutMetadataIsOneWholeFrameDraggedSideways)
{
    Skin skin;
    skin.flat("plain.png", 30, 20, 1, std::nullopt);
    Image i(skin, L"plain.png", 30, 20, GetParam());
    EXPECT_EQ(i.c.sentInts("Frame Count"), std::vector<int32_t>{1});
    EXPECT_EQ(imagetest::bitmapDraws(i.render()), (std::vector<std::vector<double>>{{0, 0, 30, 20, 0, 0, 30, 20}}));
    ASSERT_EQ(i.c.down(5, 5), 0);
    i.c.move(25, 9);  // 20 to the right: + 0.1
    i.c.move(15, 30); // 10 back: - 0.05; up and down count for nothing
    i.c.up(15, 30);
    const auto sent = i.c.sentFloats("Animation Position");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_NEAR(sent[0], 0.1, 1e-6);
    EXPECT_NEAR(sent[1], 0.05, 1e-6);
}

TEST_P(ImageEcho, AVerticalDragOf200PixelsSpansTheRangeAnd1000WithTheFineFlag)
{
    Skin skin;
    skin.flat("vertical.png", 40, 40, 10, "type knob\nframe_size 40 40\nmouse_response vertical\n");
    Image i(skin, L"vertical.png", 40, 40, GetParam());
    ASSERT_EQ(i.c.down(20, 20), 0);
    EXPECT_EQ(i.c.sentBools("Pointer Down"), std::vector<bool>{true});
    EXPECT_TRUE(i.c.graphicsHost().captured());
    for (int k = 1; k <= 20; ++k)
        i.c.move(20, 20 - 10.0f * k);
    EXPECT_EQ(i.position(), 1.0f) << "200 pixels up";
    const size_t sent = i.c.sentFloats("Animation Position").size();
    i.c.move(20, -400);
    EXPECT_EQ(i.c.sentFloats("Animation Position").size(), sent) << "held at 1";
    // The frame follows: 9 at 1.
    EXPECT_EQ(imagetest::bitmapDraws(i.render())[0][5], 360.0);
    i.c.move(20, 400); // 800 down: held at 0
    EXPECT_EQ(i.position(), 0.0f);
    for (float p : i.c.sentFloats("Animation Position"))
        EXPECT_TRUE(p >= 0.0f && p <= 1.0f) << p;
    i.c.up(20, 400);
    EXPECT_EQ(i.c.sentBools("Pointer Down").back(), false);
    EXPECT_FALSE(i.c.graphicsHost().captured());

    // With the fine flag: 200 pixels give 0.2, 1000 the whole range.
    i.c.setFloat("Animation Position", 0);
    ASSERT_EQ(i.c.down(20, 20), 0);
    i.c.move(20, -180, kLeftFine);
    EXPECT_NEAR(i.position(), 0.2, 1e-6);
    i.c.move(20, -980, kLeftFine);
    EXPECT_NEAR(i.position(), 1.0, 1e-6);
    i.c.up(20, -980);
    EXPECT_EQ(i.c.move(20, 0), -1) << "no capture after the release";
}

// Positions a drag sent, handed back only after the release, are the
// knob's own: they neither show an older frame nor ask for a redraw.
TEST(Image, ADragsEchoesAfterTheReleaseRedrawNothing)
{
    Skin skin;
    skin.flat("vertical.png", 40, 40, 10, "type knob\nframe_size 40 40\nmouse_response vertical\n");
    Image i(skin, L"vertical.png", 40, 40, Echo::Later);
    ASSERT_EQ(i.c.down(20, 20), 0);
    // Straight to the view: the echoes are held until after the release.
    i.c.view().pointerMove(kLeft, {20, -20});  // 0.2
    i.c.view().pointerMove(kLeft, {20, -100}); // 0.6
    i.c.view().pointerUp(kLeft, {20, -100});
    ASSERT_NEAR(i.position(), 0.6, 1e-6);
    const size_t redraws = i.c.graphicsHost().redraws.size();
    i.c.settle();
    EXPECT_EQ(i.c.graphicsHost().redraws.size(), redraws);
    // Frame truncate(0.6 x 9 + 0.5) = 5 still shown.
    EXPECT_EQ(imagetest::bitmapDraws(i.render())[0][5], 200.0);
}

TEST_P(ImageEcho, AButtonSetsOneFromZeroAndSpringsBack)
{
    Skin skin;
    skin.flat("button.png", 16, 16, 2, "type button\nframe_size 16 16\nmouse_response click\n");
    Image i(skin, L"button.png", 16, 16, GetParam());
    i.c.clearSent();
    ASSERT_EQ(i.c.down(8, 8), 0);
    EXPECT_EQ(i.c.sentFloats("Animation Position"), std::vector<float>{1.0f});
    EXPECT_EQ(imagetest::bitmapDraws(i.render())[0][5], 16.0) << "the second frame while held";
    i.c.move(30, -30);
    EXPECT_EQ(i.c.sentFloats("Animation Position"), std::vector<float>{1.0f}) << "a drag changes nothing";
    ASSERT_EQ(i.c.up(30, -30), 0);
    EXPECT_EQ(i.c.sentFloats("Animation Position"), (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(imagetest::bitmapDraws(i.render())[0][5], 0.0);

    // From anything but 0 a press gives 0.
    i.c.setFloat("Animation Position", 0.3f);
    i.c.clearSent();
    ASSERT_EQ(i.c.down(8, 8), 0);
    EXPECT_EQ(i.c.sentFloats("Animation Position"), std::vector<float>{0.0f});
    i.c.up(8, 8);
    EXPECT_EQ(i.c.sentFloats("Animation Position"), std::vector<float>{0.0f});
}

TEST_P(ImageEcho, EachClickStepsToTheNextFrameAndWraps)
{
    Skin skin;
    skin.flat("step4.png", 10, 10, 4, "type knob\nframe_size 10 10\nmouse_response step\n");
    skin.flat("step1.png", 10, 10, 1, "type knob\nframe_size 10 10\nmouse_response step\n");
    Image i(skin, L"step4.png", 10, 10, GetParam());
    std::vector<float> positions;
    std::vector<double> tops;
    for (int k = 0; k < 4; ++k)
    {
        ASSERT_EQ(i.c.down(5, 5), 0);
        i.c.up(5, 5);
        positions.push_back(i.position());
        tops.push_back(imagetest::bitmapDraws(i.render())[0][5]);
    }
    const float third = 1.0f / 3.0f;
    EXPECT_EQ(positions, (std::vector<float>{third, 2.0f / 3.0f, 1.0f, 0.0f}));
    EXPECT_EQ(tops, (std::vector<double>{10, 20, 30, 0}));

    // One frame: no step, the position stays.
    Image one(skin, L"step1.png", 10, 10, GetParam());
    one.c.setFloat("Animation Position", 0.5f);
    one.c.clearSent();
    ASSERT_EQ(one.c.down(5, 5), 0);
    one.c.up(5, 5);
    EXPECT_TRUE(one.c.sentFloats("Animation Position").empty());
}

INSTANTIATE_TEST_SUITE_P(Echo, ImageEcho, ::testing::ValuesIn(allEchoes()), echoNames);

TEST(Image, TheHitTestComparesAlphaAndReportsThePoint)
{
    // Frame 0: alpha 0 in columns 0-2, 128 in 3-5, opaque beyond; frame 1 opaque.
    Skin skin;
    skin.strip(
        "alpha.png", 10, 10, 2,
        [](int f, int x, int) {
            const Rgba c = frameColour(f);
            return Rgba{c.r, c.g, c.b, static_cast<uint8_t>(f == 1 || x >= 6 ? 255 : x >= 3 ? 128 : 0)};
        },
        "type knob\nframe_size 10 10\n");
    Image i(skin, L"alpha.png", 10, 10);
    struct Case
    {
        int32_t threshold;
        float x, y;
        int hit;
        bool reported; // pins 15 and 16 written: the point passed the rectangle check
    };
    const Case cases[] = {
        {1, 1, 5, -1, true},      // alpha 0
        {0, 1, 5, 0, true},       // a threshold of 0 takes every pixel of the frame
        {1, 4, 5, 0, true},       // alpha 128
        {128, 4, 5, 0, true},     // reached
        {129, 4, 5, -1, true},    // not reached
        {255, 8, 5, 0, true},     // opaque
        {-1, 8, 5, -1, true},     // compared unsigned: no pixel reaches it
        {0, -0.5f, 5, 0, true},   // truncated toward zero: column 0
        {0, -1, 5, -1, false},    // left of the frame
        {0, 10, 5, -1, false},    // the right edge counts, but lies outside the bitmap
        {1, 1, 10, 0, true},      // the bottom edge counts: row 10 (frame 1, opaque)
        {0, 5, 11, -1, false},    // below it
        {0, 1e30f, 5, -1, false}, // far outside
    };
    for (const auto& k : cases)
    {
        SCOPED_TRACE(::testing::Message() << "threshold " << k.threshold << " at " << k.x << ", " << k.y);
        i.c.setInt("Alpha Threshold", k.threshold);
        i.c.view().hitTest({9.5f, 9.5f}); // a point inside the frame, reported
        i.c.clearSent();
        EXPECT_EQ(i.c.view().hitTest({k.x, k.y}), k.hit);
        EXPECT_EQ(i.c.sentBools("Hit"), k.hit == 0 ? (std::vector<bool>{true, false}) : std::vector<bool>{});
        EXPECT_EQ(i.c.sentFloats("Hit X"), k.reported ? std::vector<float>{k.x} : std::vector<float>{});
        EXPECT_EQ(i.c.sentFloats("Hit Y"), k.reported ? std::vector<float>{k.y} : std::vector<float>{});
    }
    // A press runs the same test: refused on a clear pixel.
    i.c.setInt("Alpha Threshold", 1);
    EXPECT_EQ(i.c.down(1, 5), -1);
    EXPECT_FALSE(i.c.graphicsHost().captured());
    EXPECT_EQ(i.c.down(8, 5), 0);
}

TEST(Image, ASliderIsHitExactlyWhereItsHandleIsDrawn)
{
    // A 20 x 50 track (opaque) with its 12 x 6 handle below it at (4, 50); the
    // columns beside the handle are clear. Top padding 3, left 5.
    auto pixel = [](int, int x, int y) {
        if (y < 50)
            return frameColour(0);
        return x >= 4 && x < 16 ? frameColour(3) : Rgba{0, 0, 0, 0};
    };
    const std::string common =
        "type slider\nframe_size 20 50\npadding 3 0 5 0\nhandle_rect 4 50 16 56\n"
        "handle_range 0 40\n";
    Skin skin;
    skin.strip("vertical.png", 20, 56, 1, pixel, common + "orientation vertical\n");
    skin.strip("relative.png", 20, 56, 1, pixel, common + "orientation relative\n");
    skin.strip("horizontal.png", 20, 56, 1, pixel, common + "orientation horizontal\n");
    struct Case
    {
        std::wstring image;
        std::vector<double> handle; // destination and source, worked from the handle range at 0.25
    };
    const Case cases[] = {
        // Vertical: 40 - truncate(0.25 x 40) = 30 down from the top padding.
        {L"vertical.png", {9, 33, 21, 39, 4, 50, 16, 56}},
        {L"relative.png", {9, 33, 21, 39, 4, 50, 16, 56}},
        // Horizontal: 10 to the right of the left padding.
        {L"horizontal.png", {15, 53, 27, 59, 4, 50, 16, 56}},
    };
    for (const auto& k : cases)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(k.image));
        Image i(skin, k.image, 40, 70);
        i.c.setFloat("Animation Position", 0.25f);
        const auto draws = imagetest::bitmapDraws(i.render());
        ASSERT_EQ(draws.size(), 2u);
        EXPECT_EQ(draws[0], (std::vector<double>{5, 3, 25, 53, 0, 0, 20, 50})) << "the track";
        EXPECT_EQ(draws[1], k.handle);
        const float l = static_cast<float>(k.handle[0]), t = static_cast<float>(k.handle[1]);
        const float r = static_cast<float>(k.handle[2]), b = static_cast<float>(k.handle[3]);
        const float mx = (l + r) / 2, my = (t + b) / 2;
        const std::pair<GmpiDrawing_API::MP1_POINT, int> points[] = {
            {{mx, my}, 0},         {{l + 0.01f, t + 0.01f}, 0}, {{r - 0.01f, b - 0.01f}, 0},
            {{l - 0.01f, my}, -1}, // the clear column before the handle
            {{mx, t - 0.01f}, -1}, // the row above the handle: the track
            {{r, my}, -1},         // the clear column after it
            {{mx, b}, -1},         // below the image
            {{10, 10}, -1},        // the track
        };
        for (auto& [p, hit] : points)
            EXPECT_EQ(i.c.view().hitTest(p), hit) << p.x << ", " << p.y;
    }
}

TEST(Image, RotaryDragFollowsTheVoteOfTheLastMoves)
{
    Skin skin;
    skin.flat("rotary.png", 100, 100, 1, "type knob\nframe_size 100 100\nmouse_response rotary\n");
    Image i(skin, L"rotary.png", 100, 100);
    const double pi = 3.14159265358979323846;
    auto positions = [&] { return i.c.sentFloats("Animation Position").size(); };
    // A turn about the centre (50, 50) from `from` to `to` changes the position
    // by dA x w1 x 0.01, w1 = 20 x min(1, 2 (|u.x| + |u.y|) / (W + H)), u = to - centre.
    auto turned = [&](double fromX, double fromY, double toX, double toY) {
        double dA = std::atan2(toY - 50, toX - 50) - std::atan2(fromY - 50, fromX - 50);
        dA += dA < -pi ? 2 * pi : dA > pi ? -2 * pi : 0;
        return dA * 20 * std::min(1.0, 2 * (std::fabs(toX - 50) + std::fabs(toY - 50)) / 200) * 0.01;
    };

    // Right above the centre (|u.x| < 1, so w0 = 1): moving up wins the vote
    // and counts 0.01 a pixel, 0.001 with the fine flag. Three such moves
    // bring the vote to -0.271.
    i.c.setFloat("Animation Position", 0.5f);
    ASSERT_EQ(i.c.down(50.5f, 30), 0);
    i.c.move(50.5f, 28);
    EXPECT_NEAR(i.position(), 0.52, 1e-6);
    i.c.move(50.5f, 26, kLeftFine);
    EXPECT_NEAR(i.position(), 0.522, 1e-6);
    i.c.move(50.5f, 24);
    EXPECT_NEAR(i.position(), 0.542, 1e-6);
    // Moves along the top (dy = 0) turn the knob and win each vote, but the
    // vote (0.9 v + 0.1) stays below 0 for two of them: nothing changes
    // until the third (-0.144, -0.030, then 0.073).
    const size_t before = positions();
    i.c.move(53, 24);
    i.c.move(55.5f, 24);
    EXPECT_EQ(positions(), before);
    i.c.move(58, 24);
    EXPECT_NEAR(i.position(), 0.542 + turned(55.5, 24, 58, 24), 1e-6);
    i.c.up(58, 24);

    // A release leaves the vote below 0 (-0.321 after six moves up and one
    // along); the next press starts it from 0.
    i.c.setFloat("Animation Position", 0.5f);
    ASSERT_EQ(i.c.down(50.5f, 30), 0);
    for (float y : {28.0f, 26.0f, 24.0f, 22.0f, 20.0f, 18.0f})
        i.c.move(50.5f, y);
    i.c.move(53, 18);
    i.c.up(53, 18);
    EXPECT_NEAR(i.position(), 0.62, 1e-6);
    ASSERT_EQ(i.c.down(53, 18), 0);
    i.c.move(55.5f, 18); // vote 0.1: turns
    EXPECT_NEAR(i.position(), 0.62 + turned(53, 18, 55.5, 18), 1e-6);
    i.c.up(55.5f, 18);

    // w0 = 1 - min(truncate(|u.x|), 10) / 10: at |u.x| = 5.9 it is 0.5, so
    // this move's 2 pixels up (0.5 x 2 = 1) outweigh its turn (0.913).
    i.c.setFloat("Animation Position", 0.5f);
    ASSERT_EQ(i.c.down(52, 32), 0);
    i.c.move(55.9f, 30);
    EXPECT_NEAR(i.position(), 0.52, 1e-6);
    i.c.up(55.9f, 30);

    // Far to the side (w0 = 0) a turn wins at once; clockwise adds; beyond
    // (W + H) / 2 from the centre w1 is 20 at the most.
    for (double radius : {40.0, 150.0})
    {
        i.c.setFloat("Animation Position", 0.5f);
        ASSERT_EQ(i.c.down(90, 50), 0);
        const float x = static_cast<float>(50 + radius * std::cos(0.05));
        const float y = static_cast<float>(50 + radius * std::sin(0.05));
        i.c.move(x, y);
        EXPECT_NEAR(i.position(), 0.5 + turned(90, 50, x, y), 1e-6) << radius;
        i.c.up(x, y);
    }
    // Across the seam behind the centre: a small turn, not almost a whole one.
    i.c.setFloat("Animation Position", 0.5f);
    ASSERT_EQ(i.c.down(10, 51), 0);
    i.c.move(10, 49);
    EXPECT_NEAR(i.position(), 0.5 + turned(10, 51, 10, 49), 1e-6);
    EXPECT_GT(i.position(), 0.5f);
}

TEST(Image, DisabledItIsDrawnFadedAndTakesNoPress)
{
    Skin skin;
    skin.flat("knob.png", 10, 10, 2, "type knob\nframe_size 10 10\nmouse_response vertical\n");
    Image i(skin, L"knob.png", 10, 10);
    EXPECT_EQ(only(i.render(), "DrawBitmap", 0)[0].values[8], 1.0) << "enabled: opaque";
    i.c.setBool("Enabled", false);
    i.c.setFloat("Disabled Opacity", 0.25f);
    EXPECT_EQ(only(i.render(), "DrawBitmap", 0)[0].values[8], 0.25);
    EXPECT_EQ(i.c.down(5, 5), -1);
    EXPECT_FALSE(i.c.graphicsHost().captured());
    EXPECT_EQ(i.c.view().hitTest({5, 5}), 0) << "the hit test still runs";
    EXPECT_EQ(i.c.last("Hit X")->asFloat(), 5.0f);
    i.c.setFloat("Disabled Opacity", 0);
    EXPECT_EQ(i.c.view().hitTest({5, 5}), -1) << "untouchable at opacity 0";
    i.c.setBool("Enabled", true);
    EXPECT_EQ(i.c.down(5, 5), 0);
}

TEST(Image, ABarGraphShowsItsLevelFromTwoFramesWithoutPadding)
{
    Skin skin;
    // Frame 0 lit, frame 1 unlit; levels of 4 pixels from 1 - 1 = 0 up.
    skin.flat("bar.png", 10, 20, 2, "type bargraph\nframe_size 10 20\npadding 2 2 2 2\nsegment_count 4\nsegment 1 4\n");
    Image i(skin, L"bar.png", 10, 20);
    // 0.5: truncate(0.5 x 5) = 2 segments, 2 x 4 + 1 - 1 = 8 pixels lit.
    i.c.setFloat("Animation Position", 0.5f);
    EXPECT_EQ(imagetest::bitmapDraws(i.render()),
              (std::vector<std::vector<double>>{{0, 12, 10, 20, 0, 12, 10, 20}, {0, 0, 10, 12, 0, 20, 10, 32}}));
    imagetest::expectColour(*i.c.view().bitmap(), 5, 15, frameColour(0), "lit");
    imagetest::expectColour(*i.c.view().bitmap(), 5, 5, frameColour(1), "unlit");
    i.c.clearSent();
    EXPECT_EQ(i.c.view().hitTest({500, -500}), 0) << "hit everywhere";
    EXPECT_TRUE(i.c.sent().empty()) << "with no pin written";
}

TEST(Image, TheCentreMarkerCrossesTheRotationCentre)
{
    Skin skin;
    skin.flat("knob.png", 40, 40, 1, "type knob\nframe_size 40 40\n");
    Image i(skin, L"knob.png", 40, 40);
    EXPECT_TRUE(only(i.render(), "DrawLine").empty());
    i.c.setInt("Centre X", 5);
    i.c.setInt("Centre Y", -3);
    i.c.setBool("Show Centre", true);
    const auto lines = only(i.render(), "DrawLine", 0);
    ASSERT_EQ(lines.size(), 2u);
    // Centre (20 + 5, 20 - 3), 30 to each side, 1 wide, opaque black.
    EXPECT_EQ(lines[0].values, (std::vector<double>{-5, 17, 55, 17, 1}));
    EXPECT_EQ(lines[1].values, (std::vector<double>{25, -13, 25, 47, 1}));
    for (auto& l : lines)
    {
        EXPECT_EQ(l.brush, "solid");
        EXPECT_EQ(std::vector<float>({l.color.r, l.color.g, l.color.b, l.color.a}), (std::vector<float>{0, 0, 0, 1}));
    }
}
