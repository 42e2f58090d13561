// QW_ScrollBar, the older scroll bar, through the built bundle: its geometry
// from the recorded calls, paging, the drag and its fine factor, the Dec/Inc
// repeat counted in ticks of the bundle's default timer, with the host's echo
// on and off. The timer default is shown on a copy of the module compiled
// into this test, beside a timer client of the same timer service.
#include "TimerManager.h"
#include "drawn_fixture.h"
#include "mp_sdk_common.h"

#include <climits>
#include <cmath>

using namespace drawntest;
using qwhost::Echo;

namespace
{
// 300 x 20: thickness S 20, length L 300, bevel b 2, radius r 9, q 4.5; the
// shortest cursor is 0.9 S + 2q + 2 = 29.
void setTVO(Drawn& c, int total, int visible, int offset)
{
    c.setInt("Total", total);
    c.setInt("Visible", visible);
    c.setInt("Offset", offset);
}

// Where the cursor bitmap goes on the screen: its destination rectangle.
std::vector<double> cursorPlace(const std::vector<DrawCall>& calls)
{
    const auto bitmaps = only(calls, "DrawBitmap", 0);
    EXPECT_EQ(bitmaps.size(), 2u); // track, cursor
    return bitmaps.size() == 2 ? std::vector<double>(bitmaps[1].values.begin(), bitmaps[1].values.begin() + 4)
                               : std::vector<double>{};
}

class LegacyScrollBar : public ::testing::TestWithParam<Echo>
{
protected:
    void SetUp() override { qwhost::RunLoop::useManualClock(7000.0); }
    void TearDown() override { EXPECT_EQ(loop().timerCount(), 0u) << "a timer outlived its scroll bar"; }
    static qwhost::RunLoop& loop() { return qwhost::RunLoop::current(); }
};
} // namespace

TEST_P(LegacyScrollBar, ThicknessTwentyGivesACursorOfAtLeast29WithRadius9)
{
    Drawn c(L"QW_ScrollBar", GetParam());
    setTVO(c, 1000, 1, 0);
    c.setText("Cursor Colour", L"FF808080");
    const auto calls = c.render(300, 20);
    const auto targets = only(calls, "CreateCompatibleRenderTarget");
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0].values, (std::vector<double>{300, 20, 1})); // the track
    EXPECT_EQ(targets[1].values, (std::vector<double>{29, 20, 2}));  // the cursor

    const auto fills = only(calls, "FillRoundedRectangle", 2);
    ASSERT_EQ(fills.size(), 3u);
    expectNear(fills[0].values, {0, 0, 26, 17, 9, 9}, "light");
    expectNear(fills[1].values, {2, 2, 28, 19, 9, 9}, "dark");
    expectNear(fills[2].values, {1, 1, 27, 18, 9, 9}, "cursor");
    const double g = linear(0x80);
    EXPECT_NEAR(fills[0].color.r, (2 + g) * 0.333, 1e-5);
    EXPECT_NEAR(fills[1].color.r, g * 0.333, 1e-5);
    EXPECT_NEAR(fills[2].color.r, g, 1e-6);

    // Two arrowheads, pointing to the ends.
    const auto lines = only(calls, "DrawLine", 2);
    ASSERT_EQ(lines.size(), 4u);
    expectNear(lines[0].values, {9, 10, 13.5, 5.5, 2}, "start arrow");
    expectNear(lines[1].values, {9, 10, 13.5, 14.5, 2}, "start arrow");
    expectNear(lines[2].values, {19, 10, 14.5, 5.5, 2}, "end arrow");
    expectNear(lines[3].values, {19, 10, 14.5, 14.5, 2}, "end arrow");

    expectNear(cursorPlace(calls), {0, 0, 28, 19}, "cursor");
    // Both bitmaps are reused while nothing changes.
    EXPECT_TRUE(only(c.render(300, 20), "CreateCompatibleRenderTarget").empty());
}

TEST_P(LegacyScrollBar, TheCursorShowsTheOffsetOrFillsTheTrack)
{
    Drawn c(L"QW_ScrollBar", GetParam());
    setTVO(c, 1000, 10, 495);
    // 29 long, 271 free: 495 of 990 is half way.
    expectNear(cursorPlace(c.render(300, 20)), {135.5, 0, 163.5, 19}, "half way");
    c.setInt("Offset", 5000); // taken, but the cursor stops at the end
    expectNear(cursorPlace(c.render(300, 20)), {271, 0, 299, 19}, "beyond the end");
    c.setInt("Visible", 1000);
    expectNear(cursorPlace(c.render(300, 20)), {0, 0, 299, 19}, "Visible = Total");
    c.setInt("Visible", 2000);
    expectNear(cursorPlace(c.render(300, 20)), {0, 0, 299, 19}, "Visible > Total");
    // Vertical when higher than wide.
    c.setInt("Visible", 10);
    c.setInt("Offset", 0);
    expectNear(cursorPlace(c.render(20, 300)), {0, 0, 19, 28}, "vertical");
}

TEST_P(LegacyScrollBar, PagingClicks)
{
    Drawn c(L"QW_ScrollBar", GetParam());
    setTVO(c, 1000, 10, 50);
    c.render(300, 20); // cursor 13.69 .. 41.69
    const size_t redraws = c.graphicsHost().redraws.size();
    EXPECT_EQ(c.down(5, 10), 0);
    c.up(5, 10);
    // The cursor moves at the next render, whether or not the host echoes.
    EXPECT_GT(c.graphicsHost().redraws.size(), redraws);
    expectNear(cursorPlace(c.render(300, 20)), {271.0 * 40 / 990, 0, 271.0 * 40 / 990 + 28, 19}, "cursor");
    EXPECT_EQ(c.down(200, 10), 0);
    c.up(200, 10);
    EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{40, 50}));
    EXPECT_TRUE(c.sentBools("Pointer Down").empty()) << "paging is no drag";

    // Paging stops at 0 and at Total - Visible.
    c.clearSent();
    c.setInt("Offset", 4);
    c.render(300, 20);
    c.down(0.5f, 10);
    c.setInt("Offset", 985);
    c.render(300, 20);
    c.down(5, 10);
    c.setInt("Offset", 985);
    c.render(300, 20);
    c.down(299, 10);
    EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{0, 975, 990}));
    EXPECT_EQ(c.down(5, 10, 0), -1) << "not the left button";
}

TEST_P(LegacyScrollBar, TheFineDragMovesATwentiethOfThePlainOne)
{
    // 100000 items of travel over 271 free pixels.
    for (const bool fine : {false, true})
    {
        Drawn c(L"QW_ScrollBar", GetParam());
        setTVO(c, 100001, 1, 0);
        c.render(300, 20);
        EXPECT_EQ(c.down(10, 10), 1);
        EXPECT_EQ(c.sentBools("Pointer Down"), std::vector<bool>{true});
        EXPECT_EQ(c.move(30, 10, fine ? kLeftFine : kLeft), 1);
        const double moved = (fine ? 20 * 0.05f : 20.0) * 100000 / 271;
        EXPECT_EQ(c.sentInts("Offset"), std::vector<int32_t>{static_cast<int32_t>(moved)}) << fine;
        EXPECT_EQ(c.up(30, 10), 0);
        EXPECT_FALSE(c.graphicsHost().captured());
    }
}

TEST_P(LegacyScrollBar, ADragEndingWhereItStartedSendsNothingNew)
{
    Drawn c(L"QW_ScrollBar", GetParam());
    setTVO(c, 1000, 10, 50);
    c.render(300, 20);
    // Within one item and back: nothing at all.
    c.down(20, 10);
    c.move(20.1f, 10);
    c.move(20, 10);
    c.up(20, 10);
    EXPECT_TRUE(c.sentInts("Offset").empty());

    // Away, in steps, and back: the last value sent is the one it started at.
    c.render(300, 20);
    c.down(20, 10);
    for (float x : {33.3f, 47.9f, 52.17f, 29.01f, 61.3f})
        c.move(x, 10);
    c.move(20, 10);
    c.up(20, 10);
    const auto sent = c.sentInts("Offset");
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), 50);
    EXPECT_EQ(sent.front(), 50 + static_cast<int>(13.3 * 990 / 271));
}

// The drag keeps a fraction of an item that the whole Offset it sends cannot
// carry; that Offset coming back after the release is the bar's own and
// leaves the cursor where the drag put it, as it does without an echo.
TEST_P(LegacyScrollBar, AnEchoAfterTheReleaseLeavesTheCursorWhereTheDragPutIt)
{
    std::vector<double> place[2];
    const Echo echoes[2] = {Echo::None, GetParam()};
    for (int k = 0; k < 2; ++k)
    {
        Drawn c(L"QW_ScrollBar", echoes[k]);
        setTVO(c, 1000, 10, 50);
        c.render(300, 20);
        c.down(20, 10);
        // Straight to the view: the echoes are held until after the release.
        c.view().pointerMove(kLeft, {33.3f, 10});
        c.view().pointerUp(kLeft, {33.3f, 10});
        c.settle();
        place[k] = cursorPlace(c.render(300, 20));
    }
    ASSERT_FALSE(place[0].empty());
    EXPECT_EQ(place[1], place[0]);
}

TEST_P(LegacyScrollBar, WithoutFreeTrackADragLeavesTheOffset)
{
    struct Case
    {
        int w, h, total, visible, offset;
    };
    // The cursor fills the track; a track shorter than the shortest cursor.
    for (const Case k : {Case{300, 20, 10, 20, 0}, Case{300, 20, 10, 10, 0}, Case{20, 20, 100, 10, 30}})
    {
        Drawn c(L"QW_ScrollBar", GetParam());
        setTVO(c, k.total, k.visible, k.offset);
        c.render(k.w, k.h);
        EXPECT_EQ(c.down(10, 10), 1) << k.w;
        c.move(15, 12);
        c.move(-100, 12);
        c.move(400, 12);
        c.up(400, 12);
        EXPECT_TRUE(c.sentInts("Offset").empty()) << k.w << " " << k.total << " " << k.visible;
    }
}

TEST_P(LegacyScrollBar, HoldingIncStepsAtOnceThenAfterFifteenIdleTicksAtEveryTick)
{
    Drawn c(L"QW_ScrollBar", GetParam());
    setTVO(c, 20, 10, 5);
    c.render(300, 20);
    c.setBool("Inc", true);
    EXPECT_EQ(c.sentInts("Offset"), std::vector<int32_t>{6});
    ASSERT_EQ(loop().timers().size(), 1u);
    EXPECT_NEAR(loop().timers()[0].interval, 0.010, 1e-6);
    EXPECT_EQ(loop().advance(150), 15);
    EXPECT_EQ(c.sentInts("Offset").size(), 1u);
    loop().advance(10);
    EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{6, 7}));
    loop().advance(30);
    EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{6, 7, 8, 9, 10}));
    loop().advance(100); // at Total - Visible: nothing more
    EXPECT_EQ(c.sentInts("Offset").size(), 5u);
    expectNear(cursorPlace(c.render(300, 20)), {150, 0, 299, 19}, "at the end"); // 150 long, 150 free
    // The release stops the timer at once.
    c.setBool("Inc", false);
    EXPECT_EQ(loop().timerCount(), 0u);

    c.clearSent();
    c.setBool("Dec", true);
    loop().advance(170);
    c.setBool("Dec", false);
    EXPECT_EQ(loop().timerCount(), 0u);
    EXPECT_EQ(c.sentInts("Offset"), (std::vector<int32_t>{9, 8, 7}));
}

TEST_P(LegacyScrollBar, NoRepeatWhenEverythingIsVisible)
{
    Drawn c(L"QW_ScrollBar", GetParam());
    setTVO(c, 10, 10, 0);
    c.setBool("Inc", true);
    c.setBool("Dec", true);
    EXPECT_EQ(loop().timerCount(), 0u);
    EXPECT_TRUE(c.sentInts("Offset").empty());
}

TEST_P(LegacyScrollBar, TrackGradientAndGroove)
{
    Drawn c(L"QW_ScrollBar", GetParam());
    setTVO(c, 100, 10, 0);
    c.setText("Track Colour Start", L"FFFF0000");
    c.setText("Track Colour End", L"FF0000FF");
    c.setBool("Groove", true);
    auto calls = c.render(300, 20);
    const auto gradient = only(calls, "CreateLinearGradientBrush", 1);
    ASSERT_EQ(gradient.size(), 1u);
    expectNear(gradient[0].values, {0, 0, 299, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 1}, "track gradient");
    expectNear(only(calls, "FillRectangle", 1)[0].values, {0, 0, 299, 19}, "track");
    const auto groove = only(calls, "DrawLine", 1);
    ASSERT_EQ(groove.size(), 2u);
    expectNear(groove[0].values, {20, 9, 280, 9, 1}, "dark groove line");
    expectNear(groove[1].values, {20, 11, 280, 11, 1}, "light groove line");
    EXPECT_EQ(groove[0].color.r, 0.0f);
    EXPECT_NEAR(groove[0].color.a, 128 / 255.0, 1e-6);
    EXPECT_NEAR(groove[1].color.g, 1.0, 1e-6);

    calls = c.render(20, 300);
    expectNear(only(calls, "CreateLinearGradientBrush", 3)[0].values, {0, 0, 0, 299}, "vertical gradient");
    const auto vertical = only(calls, "DrawLine", 3);
    ASSERT_EQ(vertical.size(), 2u);
    expectNear(vertical[0].values, {9, 20, 9, 280, 1}, "vertical groove");

    // Transparent ends: no gradient at all; the groove pin is read when the
    // track is made again.
    c.setText("Track Colour Start", L"00FF0000");
    c.setText("Track Colour End", L"0000FF00");
    c.setBool("Groove", false);
    calls = c.render(20, 300);
    EXPECT_TRUE(only(calls, "FillRectangle").empty());
    EXPECT_TRUE(only(calls, "DrawLine", 5).empty());
}

TEST_P(LegacyScrollBar, ThePressedCursorIsShiftedByOne)
{
    Drawn c(L"QW_ScrollBar", GetParam());
    setTVO(c, 1000, 1, 0);
    c.render(300, 20);
    c.down(10, 10);
    auto fills = only(c.render(300, 20), "FillRoundedRectangle");
    ASSERT_EQ(fills.size(), 3u);
    expectNear(fills[0].values, {1, 1, 27, 18}, "light, pressed");
    expectNear(fills[2].values, {2, 2, 28, 19}, "cursor, pressed");
    c.up(10, 10);
    fills = only(c.render(300, 20), "FillRoundedRectangle");
    ASSERT_EQ(fills.size(), 3u);
    expectNear(fills[0].values, {0, 0, 26, 17}, "light, released");
}

INSTANTIATE_TEST_SUITE_P(Echo, LegacyScrollBar, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });

TEST(LegacyScrollBarAlone, ItSetsTheDefaultIntervalOfEveryTimerClientOfItsBundle)
{
    // The copy compiled into this test shares its timer service with any
    // other client here, as modules of one bundle share theirs.
    qwhost::RunLoop::useManualClock(8000.0);
    TimerManager::Instance().SetInterval(50);
    struct Other : TimerClient
    {
        int ticks = 0;
        bool OnTimer() override
        {
            ++ticks;
            return true;
        }
    } other;

    void* object = nullptr;
    ASSERT_EQ(Factory()->createInstance2(L"QW_ScrollBar", gmpi::MP_SUB_TYPE_GUI2, &object), gmpi::MP_OK);
    other.StartTimer();
    qwhost::RunLoop& loop = qwhost::RunLoop::current();
    ASSERT_EQ(loop.timers().size(), 1u);
    EXPECT_NEAR(loop.timers()[0].interval, 0.010, 1e-6);
    loop.advance(100);
    EXPECT_EQ(other.ticks, 10);
    other.StopTimer();
    static_cast<gmpi::IMpUnknown*>(object)->release();
    TimerManager::Instance().SetInterval(50);
    EXPECT_EQ(loop.timerCount(), 0u);
}
