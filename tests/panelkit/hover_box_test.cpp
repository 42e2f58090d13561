// The hover box through the built bundle, with the host's echo inside the
// call, later and none: where each hit test puts the pointer (pixels, or
// fractions from 0 at the first pixel to 1 at the last), the pulse at every
// hit test, the size it reports, and that nothing is ever hit or drawn.
#include "drawn_fixture.h"

using namespace drawntest;
using qwhost::Echo;

namespace
{
class HoverBox : public ::testing::TestWithParam<Echo>
{
protected:
    HoverBox() : c(L"QW_HoverBox", GetParam()) {}
    void arrange(float w, float h)
    {
        c.view().arrange({0, 0, w, h});
        c.settle();
    }
    int32_t hover(float x, float y)
    {
        const int32_t r = c.view().hitTest({x, y});
        c.settle();
        return r;
    }
    Drawn c;
};
} // namespace

TEST_P(HoverBox, NormalisedPositions)
{
    c.setBool("Normalised", true);
    arrange(101, 51);
    struct Case
    {
        float x, y, fx, fy;
    };
    // x / 100 and y / 50.
    const Case cases[] = {
        {50, 25, 0.5f, 0.5f}, {100, 50, 1, 1}, {0, 0, 0, 0}, {25, 5, 0.25f, 0.1f}, {-10, 75, -0.1f, 1.5f}};
    for (const auto& k : cases)
    {
        c.clearSent();
        EXPECT_EQ(hover(k.x, k.y), -1);
        EXPECT_NEAR(c.last("X")->asFloat(), k.fx, 1e-6) << k.x;
        EXPECT_NEAR(c.last("Y")->asFloat(), k.fy, 1e-6) << k.y;
    }
}

TEST_P(HoverBox, PixelPositionsAsTheyAre)
{
    arrange(101, 51);
    EXPECT_EQ(hover(12.5f, 3), -1);
    EXPECT_EQ(c.sentFloats("X"), std::vector<float>{12.5f});
    EXPECT_EQ(c.sentFloats("Y"), std::vector<float>{3.0f});
}

TEST_P(HoverBox, PulsesEveryTimeAndSendsOnlyChangedPositions)
{
    arrange(101, 51);
    hover(10, 20);
    hover(10, 20);
    hover(30, 20);
    EXPECT_EQ(c.sentBools("Hover"), (std::vector<bool>{true, false, true, false, true, false}));
    EXPECT_EQ(c.sentFloats("X"), (std::vector<float>{10, 30}));
    EXPECT_EQ(c.sentFloats("Y"), std::vector<float>{20});
}

TEST_P(HoverBox, ReportsItsSizeInWholePixels)
{
    arrange(80.7f, 20.2f);
    EXPECT_EQ(c.sentInts("Width"), std::vector<int32_t>{80});
    EXPECT_EQ(c.sentInts("Height"), std::vector<int32_t>{20});
    arrange(80.2f, 33);
    EXPECT_EQ(c.sentInts("Width"), std::vector<int32_t>{80}) << "sent only when it changes";
    EXPECT_EQ(c.sentInts("Height"), (std::vector<int32_t>{20, 33}));
    EXPECT_TRUE(c.graphicsHost().redraws.empty()) << "arranging asks for no redraw";
}

TEST_P(HoverBox, NormalisedIsZeroBeforeArrangingAndAcrossOnePixel)
{
    c.setBool("Normalised", true);
    c.clearSent();
    hover(40, 30);
    EXPECT_TRUE(c.sentFloats("X").empty()) << "0, as before";
    EXPECT_TRUE(c.sentFloats("Y").empty());
    EXPECT_EQ(c.sentBools("Hover").size(), 2u);
    // One pixel wide, or none: that axis stays at 0; the other is scaled.
    for (const auto& [w, h] : {std::pair{1.0f, 11.0f}, {0.0f, 11.0f}, {0.5f, 11.0f}})
    {
        arrange(w, h);
        hover(7, 5);
        EXPECT_EQ(c.last("X"), nullptr) << w;
        EXPECT_NEAR(c.last("Y")->asFloat(), 0.5, 1e-6) << w;
    }
}

TEST_P(HoverBox, NothingIsHitOrDrawn)
{
    arrange(100, 50);
    for (const auto& [x, y] : {std::pair{50.0f, 25.0f}, {0.0f, 0.0f}, {200.0f, -3.0f}})
        EXPECT_EQ(hover(x, y), -1);
    EXPECT_TRUE(drawn(c.render(100, 50)).empty());
    // The pointer calls are the base's: no hit, so no press either.
    EXPECT_EQ(c.down(10, 10), -1);
    EXPECT_FALSE(c.graphicsHost().captured());
}

TEST_P(HoverBox, PointsAndSizesThatAreNoNumbers)
{
    c.setBool("Normalised", true);
    for (const auto& [w, h] : {std::pair{NAN, NAN}, {INFINITY, 1e30f}, {-5.0f, 16384.0f}})
    {
        arrange(w, h);
        for (const auto& [x, y] : {std::pair{NAN, 3.0f}, {INFINITY, -INFINITY}, {1e30f, 5.0f}})
            EXPECT_EQ(hover(x, y), -1);
    }
    c.setBool("Normalised", false);
    hover(NAN, INFINITY);
    for (float v : c.sentFloats("X"))
        EXPECT_TRUE(std::isfinite(v)) << v;
    for (float v : c.sentFloats("Y"))
        EXPECT_TRUE(std::isfinite(v)) << v;
    // Sizes truncate and saturate; NaN gives 0, which the pin holds already.
    EXPECT_EQ(c.sentInts("Width"), (std::vector<int32_t>{INT32_MAX, -5}));
    EXPECT_EQ(c.sentInts("Height"), (std::vector<int32_t>{INT32_MAX, 16384}));
}

INSTANTIATE_TEST_SUITE_P(Echo, HoverBox, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });
