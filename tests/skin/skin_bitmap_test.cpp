// Skinned bitmaps: the offset a position gives, what is drawn, and that hit
// testing follows exactly what is drawn.
#include "ImageBase.h"
#include "skin_rig.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <limits>

using skintest::Folder;
using skintest::Rig;

namespace
{
using Call = std::array<double, 10>; // destination, source, opacity, interpolation

// Draws the bitmap's state at an offset; the DrawBitmap calls made.
std::vector<Call> drawn(const Rig& rig, skinBitmap& sb, uint32_t x = 0, uint32_t y = 0)
{
    auto& f = rig.factory();
    f.calls().clear();
    qwhost::drawing::Bitmap* target = f.createBitmap(64, 128);
    qwhost::drawing::DeviceContext* context = f.createContext(target);
    context->BeginDraw();
    GmpiDrawing::Graphics g(context);
    sb.renderBitmap(g, {x, y});
    context->EndDraw();
    context->release();
    target->release();
    std::vector<Call> out;
    for (auto& c : f.calls())
        if (c.op == "DrawBitmap" && c.values.size() == 10)
        {
            Call v;
            std::copy(c.values.begin(), c.values.end(), v.begin());
            out.push_back(v);
        }
    return out;
}

Call call(double l, double t, double r, double b, double sl, double st, double sr, double sb)
{
    return {l, t, r, b, sl, st, sr, sb, 1.0, 1.0};
}

// h.png: a horizontal slider, frame 30 x 10 at padding top 1, left 2, its
// handle (3, 12, 9, 18) travelling from -5 to 20.
void writeHorizontalSlider(const Folder& skin)
{
    skintest::writePng(skin.file("h.png"), 40, 20, [](int, int) { return skintest::Rgba{1, 2, 3, 255}; });
    skin.write("h.txt",
               "type slider\nframe_size 30 10\npadding 1 0 2 0\nhandle_rect 3 12 9 18\n"
               "handle_range -5 20\norientation horizontal\n");
}

ImageMetadata slider(int32_t orientation, int32_t start, int32_t end)
{
    ImageMetadata m;
    m.imageType = ImageMetadata::SLIDER;
    m.orientation = orientation;
    m.rangeStart = start;
    m.rangeEnd = end;
    return m;
}
} // namespace

TEST(SkinBitmap, OffsetOfAPosition)
{
    ImageMetadata bar;
    bar.imageType = ImageMetadata::BARGRAPH;
    bar.segmentCount = 5.0f;
    bar.rangeStart = 2;
    bar.rangeEnd = 6;
    ImageMetadata knob;
    knob.frameHeight = 32;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case
    {
        const char* what;
        ImageMetadata m;
        int32_t lastFrame;
        float position;
        int32_t offset;
    };
    const Case cases[] = {
        // A 64-frame strip: frame truncate(0.5 x 63 + 0.5) = 32.
        {"knob 0.5", knob, 63, 0.5f, 1024},
        {"knob 1", knob, 63, 1.0f, 2016},
        {"knob 0", knob, 63, 0.0f, 0},
        {"knob below 0", knob, 63, -3.0f, 0},
        {"knob above 1", knob, 63, 7.0f, 2016},
        {"knob NaN", knob, 63, nan, 0},
        // Vertical sliders run from the end down, others from the start up.
        {"vertical 1", slider(ImageMetadata::VERTICAL, 0, 100), 0, 1.0f, 0},
        {"vertical 0", slider(ImageMetadata::VERTICAL, 0, 100), 0, 0.0f, 100},
        {"relative 0.25", slider(ImageMetadata::RELATIVE, 0, 100), 0, 0.25f, 75},
        {"horizontal 1", slider(ImageMetadata::HORIZONTAL, 0, 100), 0, 1.0f, 100},
        {"horizontal 0", slider(ImageMetadata::HORIZONTAL, 0, 100), 0, 0.0f, 0},
        {"unset 0.3", slider(ImageMetadata::UNSET, 10, 110), 0, 0.3f, 40},
        {"rotary 1", slider(ImageMetadata::ROTARY, 0, 100), 0, 1.0f, 100},
        // Bar graph: truncate(p x (segments + 1)) x end + start - 1.
        {"bar 1", bar, 0, 1.0f, 37},
        {"bar 0", bar, 0, 0.0f, 1},
        {"bar 0.5", bar, 0, 0.5f, 19},
    };
    for (const auto& c : cases)
        EXPECT_EQ(skinBitmap::drawOffset(c.m, c.lastFrame, c.position), c.offset) << c.what;
}

TEST(SkinBitmap, OffsetsOfExtremeMetadataSaturate)
{
    ImageMetadata bar;
    bar.imageType = ImageMetadata::BARGRAPH;
    bar.segmentCount = 1e9f;
    ImageMetadata strip;
    strip.frameHeight = INT32_MAX;
    ImageMetadata upside;
    upside.frameHeight = INT32_MIN;
    struct Case
    {
        const char* what;
        ImageMetadata m;
        int32_t lastFrame;
        float position;
        int32_t offset;
    };
    auto barWith = [&](int32_t start, int32_t end, float segments) {
        ImageMetadata m = bar;
        m.rangeStart = start;
        m.rangeEnd = end;
        m.segmentCount = segments;
        return m;
    };
    const Case cases[] = {
        // The whole 32-bit range: 2^32 - 1 steps.
        {"horizontal full range 1", slider(ImageMetadata::HORIZONTAL, INT32_MIN, INT32_MAX), 0, 1.0f, INT32_MAX},
        {"horizontal full range 0.5", slider(ImageMetadata::HORIZONTAL, INT32_MIN, INT32_MAX), 0, 0.5f, -1},
        {"vertical full range 1", slider(ImageMetadata::VERTICAL, INT32_MIN, INT32_MAX), 0, 1.0f, INT32_MIN},
        {"reversed range", slider(ImageMetadata::HORIZONTAL, INT32_MAX, INT32_MIN), 0, 1.0f, INT32_MIN},
        {"bar 1e9 segments up", barWith(INT32_MAX, INT32_MAX, 1e9f), 0, 1.0f, INT32_MAX},
        {"bar 1e9 segments down", barWith(0, INT32_MIN, 1e9f), 0, 1.0f, INT32_MIN},
        {"bar infinite segments", barWith(0, 1, std::numeric_limits<float>::infinity()), 0, 1.0f, INT32_MAX - 1},
        {"bar NaN segments", barWith(5, 7, std::numeric_limits<float>::quiet_NaN()), 0, 1.0f, 4},
        {"bar start minimum", barWith(INT32_MIN, 0, 5.0f), 0, 0.0f, INT32_MIN},
        {"frames of 2^31 - 1", strip, INT32_MAX, 1.0f, INT32_MAX},
        {"frames of -2^31", upside, INT32_MAX, 1.0f, INT32_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(skinBitmap::drawOffset(c.m, c.lastFrame, c.position), c.offset) << c.what;
}

TEST(SkinBitmap, KnobStripFrame32)
{
    Rig rig(skintest::fixture());
    skinBitmap sb;
    ASSERT_EQ(sb.Load(rig.ui(), rig.gfx(), "knob.png"), 0);
    EXPECT_EQ(sb.getLastFrame(), 63);
    EXPECT_TRUE(sb.calcDrawAt(0.5f));
    EXPECT_EQ(sb.getDrawAt(), 1024);
    EXPECT_FALSE(sb.calcDrawAt(0.5f));
    EXPECT_EQ(drawn(rig, sb, 5, 7), std::vector<Call>{call(5, 7, 37, 39, 0, 1024, 32, 1056)});
}

TEST(SkinBitmap, DrawnRectangles)
{
    Folder skin;
    writeHorizontalSlider(skin);
    Rig fixtureRig(skintest::fixture()), rig(skin.path());
    struct Case
    {
        const Rig& rig;
        const char* name;
        float position;
        std::vector<Call> calls;
    };
    const Case cases[] = {
        // Vertical slider at 0.5: d = 90 - 45; the track at the padding, the
        // handle (4, 100, 20, 110) at (3 + 4, 2 + 45).
        {fixtureRig, "slider.png", 0.5f, {call(3, 2, 27, 102, 0, 0, 24, 100), call(7, 47, 23, 57, 4, 100, 20, 110)}},
        {fixtureRig, "slider.png", 1.0f, {call(3, 2, 27, 102, 0, 0, 24, 100), call(7, 2, 23, 12, 4, 100, 20, 110)}},
        // Horizontal with a negative offset d = -5: the handle's left 5 pixels are cut.
        {rig, "h.png", 0.0f, {call(2, 1, 32, 11, 0, 0, 30, 10), call(2, 13, 3, 19, 8, 12, 9, 18)}},
        {rig, "h.png", 1.0f, {call(2, 1, 32, 11, 0, 0, 30, 10), call(22, 13, 28, 19, 3, 12, 9, 18)}},
        // Bar graph at 1: d = 37 of 40; the lit frame below, the unlit one above.
        {fixtureRig, "bargraph.png", 1.0f, {call(0, 3, 12, 40, 0, 3, 12, 40), call(0, 0, 12, 3, 0, 40, 12, 43)}},
        {fixtureRig, "bargraph.png", 0.0f, {call(0, 39, 12, 40, 0, 39, 12, 40), call(0, 0, 12, 39, 0, 40, 12, 79)}},
        {fixtureRig, "button.bmp", 1.0f, {call(0, 0, 16, 16, 0, 16, 16, 32)}},
    };
    for (const auto& c : cases)
    {
        skinBitmap sb;
        ASSERT_EQ(sb.Load(c.rig.ui(), c.rig.gfx(), c.name), 0) << c.name;
        sb.calcDrawAt(c.position);
        EXPECT_EQ(drawn(c.rig, sb), c.calls) << c.name << " at " << c.position;
    }
}

TEST(SkinBitmap, PlaceholderWithoutAnImage)
{
    Rig rig(skintest::fixture());
    skinBitmap sb;
    EXPECT_EQ(sb.Load(rig.ui(), rig.gfx(), "no such image.png"), -1);
    EXPECT_FALSE(sb.calcDrawAt(0.5f));
    EXPECT_FALSE(sb.bitmapHitTestLocal({1, 1}));
    drawn(rig, sb, 2, 3);
    std::vector<qwhost::drawing::DrawCall> calls;
    for (auto& c : rig.factory().calls())
        if (c.op == "FillRectangle" || c.op == "DrawTextU")
            calls.push_back(c);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].op, "FillRectangle");
    EXPECT_EQ(calls[0].values, (std::vector<double>{2, 3, 10, 13}));
    EXPECT_NEAR(calls[0].color.r, 1.0, 1e-6);
    EXPECT_NEAR(calls[0].color.b, 1.0, 1e-6);
    EXPECT_EQ(calls[1].op, "DrawTextU");
    EXPECT_EQ(calls[1].text, "X");
    EXPECT_EQ(calls[1].values[0], 2);
    EXPECT_EQ(calls[1].values[3], 13);
    EXPECT_EQ(calls[1].color.r, 0.0f);
    auto& requests = rig.factory().textFormatRequests;
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().family, "Arial");
    EXPECT_EQ(requests.back().size, 6.0f);
    EXPECT_EQ(requests.back().weight, 400);
}

TEST(SkinBitmap, HandleHitsExactlyWhereItIsDrawn)
{
    Folder skin;
    writeHorizontalSlider(skin);
    Rig fixtureRig(skintest::fixture()), rig(skin.path());
    struct Case
    {
        const Rig& rig;
        const char* name;
        float position;
    };
    const Case cases[] = {
        {fixtureRig, "slider.png", 0.5f}, {fixtureRig, "slider.png", 0.0f}, {rig, "h.png", 0.0f}, {rig, "h.png", 0.7f}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(c.position));
        skinBitmap sb;
        ASSERT_EQ(sb.Load(c.rig.ui(), c.rig.gfx(), c.name), 0);
        sb.calcDrawAt(c.position);
        const std::vector<Call> calls = drawn(c.rig, sb);
        ASSERT_EQ(calls.size(), 2u);
        const Call& handle = calls[1];
        int hits = 0;
        for (int y = -2; y < 115; ++y)
            for (int x = -2; x < 45; ++x)
            {
                const bool onHandle = x >= handle[0] && x < handle[2] && y >= handle[1] && y < handle[3];
                const bool hit = sb.bitmapHitTestLocal({x + 0.5f, y + 0.5f});
                EXPECT_EQ(hit, onHandle) << "pixel " << x << ", " << y;
                hits += hit;
            }
        EXPECT_GT(hits, 0);
    }
}

TEST(SkinBitmap, FrameHitTesting)
{
    Rig rig(skintest::fixture());
    skinBitmap knob;
    ASSERT_EQ(knob.Load(rig.ui(), rig.gfx(), "knob.png"), 0);
    knob.calcDrawAt(0.5f);
    EXPECT_TRUE(knob.bitmapHitTestLocal({16, 16}));      // on the disc
    EXPECT_FALSE(knob.bitmapHitTestLocal({0.5f, 0.5f})); // transparent corner
    EXPECT_FALSE(knob.bitmapHitTestLocal({-0.5f, 16}));  // left of the frame
    EXPECT_FALSE(knob.bitmapHitTestLocal({16, 32.5f}));  // below the frame (the next frame is not drawn)
    EXPECT_FALSE(knob.bitmapHitTestLocal({16, std::numeric_limits<float>::quiet_NaN()}));
    knob.pixelHitTesting = false;
    EXPECT_TRUE(knob.bitmapHitTestLocal({0.5f, 0.5f}));
    EXPECT_TRUE(knob.bitmapHitTestLocal({31.9f, 31.9f}));
    EXPECT_FALSE(knob.bitmapHitTestLocal({32, 16}));

    // A slider without pixel testing is hit on its drawn frame.
    skinBitmap track;
    track.pixelHitTesting = false;
    ASSERT_EQ(track.Load(rig.ui(), rig.gfx(), "slider.png"), 0);
    EXPECT_TRUE(track.bitmapHitTestLocal({3, 2}));
    EXPECT_TRUE(track.bitmapHitTestLocal({26.9f, 101.9f}));
    EXPECT_FALSE(track.bitmapHitTestLocal({2.9f, 50}));
    EXPECT_FALSE(track.bitmapHitTestLocal({27, 50}));

    // A bar graph is hit everywhere.
    skinBitmap bar;
    ASSERT_EQ(bar.Load(rig.ui(), rig.gfx(), "bargraph.png"), 0);
    EXPECT_TRUE(bar.bitmapHitTestLocal({-100, 1000}));
}

TEST(SkinBitmap, FrameOfNoHeightIsTheWholeImage)
{
    Folder skin;
    for (const char* name : {"zero.png", "minus.png", "tall.png"})
        skintest::writePng(skin.file(name), 6, 12, [](int, int) { return skintest::Rgba{5, 5, 5, 255}; });
    skin.write("zero.txt", "frame_size 6 0\n");
    skin.write("minus.txt", "frame_size 6 -1\n");
    skin.write("tall.txt", "frame_size 6 2147483647\n");
    Rig rig(skin.path());
    for (const char* name : {"zero.png", "minus.png"})
    {
        SCOPED_TRACE(name);
        skinBitmap sb;
        ASSERT_EQ(sb.Load(rig.ui(), rig.gfx(), name), 0);
        EXPECT_EQ(sb.getLastFrame(), 0);
        sb.calcDrawAt(1.0f);
        EXPECT_EQ(sb.getDrawAt(), 0);
        EXPECT_EQ(drawn(rig, sb), std::vector<Call>{call(0, 0, 6, 12, 0, 0, 6, 12)});
        EXPECT_TRUE(sb.bitmapHitTestLocal({5.5f, 11.5f}));
    }
    skinBitmap tall;
    ASSERT_EQ(tall.Load(rig.ui(), rig.gfx(), "tall.png"), 0);
    EXPECT_EQ(tall.getLastFrame(), 0);
    tall.calcDrawAt(1.0f);
    EXPECT_EQ(tall.getDrawAt(), 0);
    EXPECT_TRUE(tall.bitmapHitTestLocal({1, 1}));
    EXPECT_FALSE(tall.bitmapHitTestLocal({1, 12.5f})); // beyond the image
}

namespace
{
class Shown : public ImageBase
{
public:
    float getAnimationPos() override { return 0.0f; }
    void setAnimationPos(float) override {}
    void onLoaded() override {}
    std::wstring getHint() override { return {}; }
};
} // namespace

TEST(SkinBitmap, NoMouseResponseBeforeALoad)
{
    Rig rig(skintest::fixture());
    auto* module = new Shown();
    module->setHost(rig.ui());
    EXPECT_EQ(module->getMouseResponse(), ImageBase::kNoMouseResponse);
    ASSERT_EQ(module->Load("knob.png"), 0);
    EXPECT_EQ(module->getMouseResponse(), ImageMetadata::ROTARY);
    ASSERT_EQ(module->Load("slider.png"), 0);
    EXPECT_EQ(module->getMouseResponse(), ImageMetadata::VERTICAL);
    EXPECT_EQ(module->Load(""), -1);
    EXPECT_EQ(module->getMouseResponse(), ImageBase::kNoMouseResponse);
    module->release();
}
