// QW_ScrollBar2 through the built bundle: drawing, paging, the smooth drag,
// values from the host during a drag or a held step, and the Dec/Inc
// auto-repeat under the stand-in's manual clock, with the host's echo on and
// off.
#include "drawn_fixture.h"

#include <climits>

using namespace drawntest;
using qwhost::Echo;

namespace
{
// 300 x 40 with a track over the whole length and 80 % of the height:
// track (0, 4, 300, 36), 301 long; Total 100, Visible 10: cursor 30.1 long,
// room 270.9. Square corners, no bevel, no grip.
void plain(Drawn& c, int offset = 40)
{
    c.setFloat("Track Length %", 100);
    c.setFloat("Track Thickness %", 80);
    c.setFloat("Cursor Radius", 0);
    c.setBool("Cursor Bevel", false);
    c.setBool("Cursor Grip", false);
    c.setInt("Total", 100);
    c.setInt("Visible", 10);
    c.setInt("Offset", offset);
    c.setInt("Repeat Delay ms", 300);
    c.setInt("Repeat Interval ms", 50);
}

DrawCall cursorOf(const std::vector<DrawCall>& calls)
{
    const auto fills = only(calls, "FillRoundedRectangle", 0);
    EXPECT_FALSE(fills.empty());
    return fills.empty() ? DrawCall() : fills.back();
}

// Left edge of the cursor of an Offset, worked out as room x Offset / (Total - Visible).
double leftOf(double offset, double room = 270.9, double range = 90)
{
    return room * offset / range;
}

class ScrollBar2Test : public ::testing::TestWithParam<Echo>
{
protected:
    void SetUp() override { qwhost::RunLoop::useManualClock(6000.0); }
    void TearDown() override { EXPECT_EQ(loop().timerCount(), 0u) << "a timer outlived its scroll bar"; }
    static qwhost::RunLoop& loop() { return qwhost::RunLoop::current(); }
};
} // namespace

TEST_P(ScrollBar2Test, DrawsTheCachedBackgroundAndTheCursor)
{
    Drawn c(L"QW_ScrollBar2", GetParam());
    plain(c);
    c.setFloat("Background Radius", 5);
    c.setFloat("Background Outline Width", 2);
    const auto calls = c.render(300, 40);
    const auto fill = only(calls, "FillRoundedRectangle", 1);
    const auto outline = only(calls, "DrawRoundedRectangle", 1);
    ASSERT_EQ(fill.size(), 1u);
    ASSERT_EQ(outline.size(), 1u);
    EXPECT_EQ(fill[0].values, (std::vector<double>{1, 1, 299, 39, 5, 5}));
    EXPECT_EQ(outline[0].values, (std::vector<double>{1, 1, 299, 39, 5, 5, 2}));
    EXPECT_NEAR(fill[0].color.g, linear(0x40), 1e-6);    // FF004080
    EXPECT_NEAR(outline[0].color.g, linear(0x80), 1e-6); // FF0080FF
    EXPECT_EQ(only(calls, "DrawBitmap", 0)[0].values, (std::vector<double>{0, 0, 300, 40, 0, 0, 300, 40, 1, 1}));

    const DrawCall cursor = cursorOf(calls);
    EXPECT_NEAR(cursor.values[0], leftOf(40), 1e-3);
    EXPECT_NEAR(cursor.values[1], 4, 1e-6);
    EXPECT_NEAR(cursor.values[2], leftOf(40) + 29.1, 1e-3);
    EXPECT_NEAR(cursor.values[3], 36, 1e-6);
    EXPECT_NEAR(cursor.color.g, linear(0x80), 1e-6);
    EXPECT_EQ(cursor.color.r, 0.0f);
    EXPECT_TRUE(only(c.render(300, 40), "CreateCompatibleRenderTarget").empty()) << "the background is reused";
}

TEST_P(ScrollBar2Test, AClickBeforeOrAfterTheCursorTurnsAPage)
{
    Drawn c(L"QW_ScrollBar2", GetParam());
    plain(c);
    c.render(300, 40); // cursor 120.4 .. 149.5
    EXPECT_EQ(c.down(50, 20), 1);
    c.up(50, 20);
    EXPECT_NEAR(cursorOf(c.render(300, 40)).values[0], leftOf(30), 1e-3);
    EXPECT_EQ(c.down(250, 20), 1);
    c.up(250, 20);
    EXPECT_EQ(c.down(299, 36), 1); // the track's corner counts
    c.up(299, 36);
    EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{30, 40, 50}));
    EXPECT_TRUE(c.sentBools("Pointer Down").empty()) << "paging is no drag";
    EXPECT_FALSE(c.graphicsHost().captured());

    // At either end paging stops there.
    c.clearSent();
    c.setInt("Offset", 5);
    c.render(300, 40);
    c.down(1, 20);
    c.up(1, 20);
    c.setInt("Offset", 85);
    c.render(300, 40);
    c.down(299, 20);
    c.up(299, 20);
    EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{0, 90}));
}

TEST_P(ScrollBar2Test, PressesItRefuses)
{
    Drawn c(L"QW_ScrollBar2", GetParam());
    plain(c);
    EXPECT_EQ(c.down(50, 20), -1) << "before the first render";
    c.render(300, 40);
    EXPECT_EQ(c.down(50, 20, 0), -1) << "not the left button";
    EXPECT_EQ(c.down(50, 3.5f), -1) << "above the track";
    c.setFloat("Track Thickness %", 50); // a new layout at the next render
    EXPECT_EQ(c.down(50, 20), -1) << "before the new layout";
    c.render(300, 40);
    c.setBool("Enabled", false);
    c.render(300, 40);
    EXPECT_EQ(c.down(50, 20), -1) << "disabled";
    EXPECT_TRUE(c.module().transmitsOf(c.pin("Offset")).empty());
    EXPECT_FALSE(c.graphicsHost().captured());
}

TEST_P(ScrollBar2Test, TheCursorFollowsTheDragSmoothlyAndTheModifierMovesItATenth)
{
    Drawn c(L"QW_ScrollBar2", GetParam());
    plain(c);
    c.render(300, 40);
    EXPECT_EQ(c.down(130, 20), 1);
    EXPECT_EQ(c.sentBools("Pointer Down"), std::vector<bool>{true});
    EXPECT_EQ(c.move(140, 20, kLeftFine), 1); // 10 px: the cursor moves 1
    DrawCall cursor = cursorOf(c.render(300, 40));
    EXPECT_NEAR(cursor.values[0], leftOf(40) + 1, 1e-3);
    EXPECT_NEAR(cursor.color.r, 1.0, 1e-6) << "the dragged colour is white";
    EXPECT_TRUE(c.sentInts("Offset").empty()) << "40.33 rounds to 40";

    EXPECT_EQ(c.move(150, 20), 1); // 10 px more: 131.4 of 270.9 is 43.65 items
    EXPECT_EQ(c.sentInts("Offset"), std::vector<int32_t>{44});
    EXPECT_NEAR(cursorOf(c.render(300, 40)).values[0], leftOf(40) + 11, 1e-3);

    EXPECT_EQ(c.up(150, 20), 0);
    EXPECT_EQ(c.sentBools("Pointer Down"), (std::vector<bool>{true, false}));
    // Once released the cursor shows the Offset.
    cursor = cursorOf(c.render(300, 40));
    EXPECT_NEAR(cursor.values[0], leftOf(44), 1e-3);
    EXPECT_EQ(cursor.color.r, 0.0f);
    EXPECT_EQ(c.move(200, 20), 0) << "no capture after the release";
}

// The Offset the drag sent, coming back after the release, is the bar's own:
// the release has shown it already, and it redraws nothing more.
TEST_P(ScrollBar2Test, ADragsEchoAfterTheReleaseRedrawsNothing)
{
    Drawn c(L"QW_ScrollBar2", GetParam());
    plain(c);
    c.render(300, 40);
    c.down(130, 20);
    // Straight to the view: the echo is held until after the release.
    c.view().pointerMove(kLeft, {150, 20});
    c.view().pointerUp(kLeft, {150, 20});
    // 20 px of 270.9 are 6.64 items: 46.64, sent as 47.
    EXPECT_EQ(c.sentInts("Offset"), std::vector<int32_t>{47});
    const size_t redraws = c.graphicsHost().redraws.size();
    c.settle();
    EXPECT_EQ(c.graphicsHost().redraws.size(), redraws);
    EXPECT_NEAR(cursorOf(c.render(300, 40)).values[0], leftOf(47), 1e-3);
}

TEST_P(ScrollBar2Test, ValuesFromTheHostDuringADragAreAppliedWhenItEnds)
{
    Drawn c(L"QW_ScrollBar2", GetParam());
    plain(c);
    c.render(300, 40);
    c.down(130, 20);
    c.setInt("Total", 50);
    EXPECT_NEAR(cursorOf(c.render(300, 40)).values[2] - cursorOf(c.render(300, 40)).values[0], 29.1, 1e-3)
        << "the drag goes on with the old Total";
    c.up(130, 20);
    // Total 50: cursor 60.2 long, room 240.8, Offset 40 of 40.
    const DrawCall cursor = cursorOf(c.render(300, 40));
    EXPECT_NEAR(cursor.values[0], 240.8, 1e-3);
    EXPECT_NEAR(cursor.values[2], 300, 1e-3);
}

TEST_P(ScrollBar2Test, TotalEqualToVisibleFillsTheTrack)
{
    Drawn c(L"QW_ScrollBar2", GetParam());
    plain(c);
    c.setInt("Total", 10);
    const DrawCall cursor = cursorOf(c.render(300, 40));
    EXPECT_EQ(cursor.values[0], 0);
    EXPECT_NEAR(cursor.values[2], 300, 1e-3);
    c.down(150, 20);
    c.move(200, 20);
    c.up(200, 20);
    for (int32_t o : c.sentInts("Offset"))
        EXPECT_EQ(o, 0);
}

TEST_P(ScrollBar2Test, DecAndIncStepAtOnceThenAfterTheDelayThenAtEveryInterval)
{
    Drawn c(L"QW_ScrollBar2", GetParam());
    plain(c);
    c.render(300, 40);
    c.setBool("Inc", true);
    EXPECT_EQ(c.sentInts("Offset"), std::vector<int32_t>{41});
    EXPECT_EQ(loop().advance(299), 0);
    EXPECT_EQ(loop().advance(1), 1);
    EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{41, 42}));
    EXPECT_EQ(loop().advance(49), 0);
    EXPECT_EQ(loop().advance(1), 1);
    EXPECT_EQ(loop().advance(100), 2);
    EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{41, 42, 43, 44, 45}));
    EXPECT_NEAR(cursorOf(c.render(300, 40)).values[0], leftOf(45), 1e-3);

    // The release stops the timer.
    c.setBool("Inc", false);
    EXPECT_EQ(loop().timerCount(), 0u);
    EXPECT_EQ(loop().advance(1000), 0);
    EXPECT_EQ(c.sentInts("Offset").size(), 5u);

    c.clearSent();
    c.setBool("Dec", true);
    loop().advance(350);
    c.setBool("Dec", false);
    EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{44, 43, 42}));
}

TEST_P(ScrollBar2Test, AtALimitTheTimerRunsAndNothingIsSent)
{
    Drawn c(L"QW_ScrollBar2", GetParam());
    plain(c, 0);
    c.render(300, 40);
    c.setBool("Dec", true);
    EXPECT_EQ(loop().advance(1000), 15); // at 300 ms, then every 50 ms
    EXPECT_EQ(loop().timerCount(), 1u);
    EXPECT_TRUE(c.sentInts("Offset").empty());
    c.setBool("Dec", false);
}

TEST_P(ScrollBar2Test, IncIsIgnoredWhileDecIsHeld)
{
    Drawn c(L"QW_ScrollBar2", GetParam());
    plain(c);
    c.render(300, 40);
    c.setBool("Dec", true);
    c.setBool("Inc", true);
    EXPECT_EQ(c.sentInts("Offset"), std::vector<int32_t>{39});
    loop().advance(300);
    EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{39, 38}));
    // Letting go of the ignored Inc leaves Dec stepping.
    c.setBool("Inc", false);
    loop().advance(50);
    EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{39, 38, 37}));
    // Releasing Dec stops the timer; Inc, pressed again, steps up.
    c.setBool("Inc", true);
    c.setBool("Dec", false);
    EXPECT_EQ(loop().timerCount(), 0u);
    EXPECT_EQ(c.sentInts("Offset").size(), 3u);
    c.setBool("Inc", false);
    c.setBool("Inc", true);
    EXPECT_EQ(c.sentInts("Offset").back(), 38);
    c.setBool("Inc", false);
}

TEST_P(ScrollBar2Test, EqualAndZeroRepeatTimesNeverSpin)
{
    struct Case
    {
        int delay, interval;
        double over;
        int steps; // after the one at the press
    };
    for (const Case k :
         {Case{40, 40, 200, 5}, Case{0, 0, 20, 20}, Case{INT_MIN, -5, 10, 10}, Case{INT_MAX, 1, 1000, 0}})
    {
        Drawn c(L"QW_ScrollBar2", GetParam());
        plain(c, 0);
        c.setInt("Repeat Delay ms", k.delay);
        c.setInt("Repeat Interval ms", k.interval);
        c.render(300, 40);
        c.setBool("Inc", true);
        EXPECT_EQ(loop().advance(k.over), k.steps) << k.delay << " " << k.interval;
        EXPECT_EQ(c.sentInts("Offset").size(), static_cast<size_t>(k.steps + 1)) << k.delay << " " << k.interval;
        c.setBool("Inc", false);
        EXPECT_EQ(loop().timerCount(), 0u);
    }
}

TEST_P(ScrollBar2Test, ValuesFromTheHostWhileAStepIsHeldAreAppliedAtTheRelease)
{
    Drawn c(L"QW_ScrollBar2", GetParam());
    plain(c);
    c.render(300, 40);
    c.setBool("Inc", true);
    c.setInt("Total", 50);
    EXPECT_NEAR(cursorOf(c.render(300, 40)).values[0], leftOf(41), 1e-3) << "held: the old Total";
    c.setBool("Inc", false);
    // Total 50: room 240.8, Offset 40 of 40.
    EXPECT_NEAR(cursorOf(c.render(300, 40)).values[0], 240.8, 1e-3);
}

TEST_P(ScrollBar2Test, DisabledItFadesEveryColourAndIgnoresThePointer)
{
    Drawn c(L"QW_ScrollBar2", GetParam());
    plain(c);
    c.setBool("Cursor Bevel", true);
    c.setBool("Enabled", false);
    c.setFloat("Disabled Alpha", 0.3f);
    const auto calls = c.render(300, 40);
    int checked = 0;
    for (auto& call : calls)
        if (call.brush == "solid" && call.op != "FillRectangle")
        {
            EXPECT_NEAR(call.color.a, 0.3, 1e-6) << call.op << " on " << call.target;
            ++checked;
        }
    EXPECT_EQ(checked, 5); // background fill and outline, bevel light and dark, cursor
    EXPECT_EQ(c.down(130, 20), -1);
    EXPECT_EQ(c.down(20, 20), -1);
}

INSTANTIATE_TEST_SUITE_P(Echo, ScrollBar2Test, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });

TEST(ScrollBar2, CursorRadiusSetsTheShortestCursor)
{
    for (const auto& [radius, length] : {std::pair{8.0f, 16.0}, {3.0f, 10.0}, {50.0f, 40.0}})
    {
        Drawn c(L"QW_ScrollBar2");
        plain(c);
        c.setInt("Total", 1000);
        c.setInt("Visible", 1);
        c.setInt("Offset", 0);
        c.setFloat("Cursor Radius", radius);
        const DrawCall cursor = cursorOf(c.render(300, 40));
        EXPECT_NEAR(cursor.values[2] - cursor.values[0], length - 1, 1e-3) << radius;
        EXPECT_EQ(cursor.values[4], std::min(radius, 20.0f)) << radius;
    }
}

TEST(ScrollBar2, PercentPinsAreTenToAHundred)
{
    struct Case
    {
        const char* pin;
        float value;
        const char* op; // the call that shows it
        int target;
        std::vector<double> rect;
    };
    const Case cases[] = {
        {"Track Length %", 0, "FillRoundedRectangle", 0, {135, 4, 144, 36}}, // 31 long: cursor 10 at Offset 0
        {"Track Thickness %", 1000, "FillRoundedRectangle", 0, {0, 0, 29.1, 40}},
        {"Background Length %", -3, "FillRoundedRectangle", 1, {135.5, 0.5, 164.5, 39.5}},
        {"Background Thickness %", 200, "FillRoundedRectangle", 1, {0.5, 0.5, 299.5, 39.5}},
        {"Background Thickness %", 0, "FillRoundedRectangle", 1, {0.5, 18.5, 299.5, 21.5}},
    };
    for (const auto& k : cases)
    {
        Drawn c(L"QW_ScrollBar2");
        plain(c, 0);
        c.setFloat(k.pin, k.value);
        const auto calls = only(c.render(300, 40), k.op, k.target);
        ASSERT_FALSE(calls.empty()) << k.pin;
        for (size_t i = 0; i < 4; ++i)
            EXPECT_NEAR(calls.back().values[i], k.rect[i], 1e-3) << k.pin << " " << k.value << " value " << i;
    }
}

TEST(ScrollBar2, BelowTenByTenNothingIsDrawnAndClicksAreRefused)
{
    for (const auto& [w, h] : {std::pair{9, 40}, {300, 9}})
    {
        Drawn c(L"QW_ScrollBar2");
        plain(c);
        EXPECT_TRUE(drawn(c.render(w, h)).empty()) << w << "x" << h;
        EXPECT_EQ(c.down(1, 1), -1);
    }
}

TEST(ScrollBar2, GripAcrossALongEnoughCursor)
{
    Drawn c(L"QW_ScrollBar2");
    plain(c, 0);
    c.setBool("Cursor Grip", true);
    c.setInt("Visible", 20); // cursor 60.2 long, 32 thick
    const auto lines = only(c.render(300, 40), "DrawLine", 0);
    ASSERT_EQ(lines.size(), 10u);
    // m = (59.2 - 14) / 2 = 22.6: ridges from x = 22.5, y from 10 to 30.
    expectNear(lines[0].values, {22.5, 10, 22.5, 30, 1}, "light ridge");
    expectNear(lines[1].values, {23.5, 11, 23.5, 31, 1}, "dark ridge");
}
