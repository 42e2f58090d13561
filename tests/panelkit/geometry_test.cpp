// The cursor geometry of the slider and the scroll bar on their own, without
// a host: lengths, positions, the value or Offset a drag gives, and limits.
#include "scroll_bar.h"
#include "slider.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

using GmpiDrawing::Point;
using GmpiDrawing::Rect;

namespace
{
void expectRect(const Rect& r, double l, double t, double rt, double b)
{
    EXPECT_NEAR(r.left, l, 1e-3);
    EXPECT_NEAR(r.top, t, 1e-3);
    EXPECT_NEAR(r.right, rt, 1e-3);
    EXPECT_NEAR(r.bottom, b, 1e-3);
}
} // namespace

TEST(SliderGeometry, CursorLengthIsAFractionOfTheTravelAtLeastTen)
{
    qw::Slider s;
    s.travel = Rect(0, 0, 200, 10); // 201 long, counting both edges
    EXPECT_FLOAT_EQ(s.travelLength(), 201.0f);
    EXPECT_FLOAT_EQ(s.cursorLength(), 40.2f);
    EXPECT_FLOAT_EQ(s.room(), 160.8f);
    s.cursorFraction = 0.0f;
    EXPECT_FLOAT_EQ(s.cursorLength(), 10.0f);
    EXPECT_FLOAT_EQ(s.room(), 191.0f);
}

TEST(SliderGeometry, CursorOfAValue)
{
    qw::Slider s;
    s.travel = Rect(10, 5, 210, 25);
    s.value = 0.5f;
    s.updateCursorPos();
    s.updateCursorRect();
    EXPECT_NEAR(s.cursorPosition, 80.4, 1e-4); // 160.8 / 2
    expectRect(s.cursor, 90.4, 5, 129.6, 25);  // 10 + 80.4 .. + 40.2 - 1

    // Vertical: 1 puts the cursor at the top, 0 at the bottom.
    s.horizontal = false;
    s.travel = Rect(5, 10, 25, 210);
    s.value = 1.0f;
    s.updateCursorPos();
    s.updateCursorRect();
    EXPECT_EQ(s.cursorPosition, 0.0f);
    expectRect(s.cursor, 5, 10, 25, 49.2);
    s.value = 0.0f;
    s.updateCursorPos();
    EXPECT_NEAR(s.cursorPosition, 160.8, 1e-4);
}

TEST(SliderGeometry, DragMovesWithinTheTravelAndSetsTheValue)
{
    qw::Slider s;
    s.travel = Rect(0, 0, 200, 10);
    s.updateCursorPos();
    s.drag(40.2f);
    EXPECT_NEAR(s.value, 0.25, 1e-6); // 40.2 of 160.8
    s.drag(1000.0f);
    EXPECT_EQ(s.value, 1.0f);
    EXPECT_FLOAT_EQ(s.cursorPosition, 160.8f);
    s.drag(-2000.0f);
    EXPECT_EQ(s.value, 0.0f);
    EXPECT_EQ(s.cursorPosition, 0.0f);

    // Vertical: moving towards the top raises the value.
    s.horizontal = false;
    s.travel = Rect(0, 0, 10, 200);
    s.value = 0.0f;
    s.updateCursorPos();
    s.drag(-40.2f);
    EXPECT_NEAR(s.value, 0.25, 1e-6);

    // A distance that is not finite changes nothing.
    const float before = s.value;
    s.drag(std::numeric_limits<float>::quiet_NaN());
    s.drag(std::numeric_limits<float>::infinity());
    EXPECT_EQ(s.value, before);
}

TEST(SliderGeometry, WithoutRoomTheCursorSitsAtTheStartAndTheValueStays)
{
    // A 10-long travel holds only the shortest cursor.
    qw::Slider s;
    s.travel = Rect(40.5f, 0, 49.5f, 20);
    s.value = 0.7f;
    EXPECT_EQ(s.room(), 0.0f);
    s.updateCursorPos();
    s.updateCursorRect();
    EXPECT_EQ(s.cursorPosition, 0.0f);
    expectRect(s.cursor, 40.5, 0, 49.5, 20);
    s.drag(25.0f);
    EXPECT_EQ(s.value, 0.7f);
    EXPECT_FALSE(std::isnan(s.value));
    // Shorter still: the cursor is longer than the travel.
    s.travel = Rect(0, 0, 3, 20);
    s.updateCursorPos();
    EXPECT_EQ(s.cursorPosition, 0.0f);
}

TEST(SliderGeometry, TravelAndCursorHits)
{
    qw::Slider s;
    s.travel = Rect(10, 5, 210, 25);
    s.updateCursorPos();
    s.updateCursorRect(); // cursor 10 .. 49.2
    EXPECT_TRUE(s.inTravel(Point(10, 5)));
    EXPECT_TRUE(s.inTravel(Point(210, 25)));
    EXPECT_FALSE(s.inTravel(Point(9.9f, 10)));
    EXPECT_FALSE(s.inTravel(Point(100, 25.1f)));
    EXPECT_FALSE(s.inTravel(Point(std::nanf(""), 10)));
    EXPECT_TRUE(s.onCursor(Point(49.2f, 20)));
    EXPECT_FALSE(s.onCursor(Point(49.3f, 20)));
    EXPECT_FALSE(s.onCursor(Point(30, 26))); // along the cursor, off the travel
}

TEST(ScrollBarGeometry, ValuesAreLimitedAsAHostMayGiveThem)
{
    struct Case
    {
        int32_t total, visible, offset;
        int32_t T, V, O;
    };
    const Case cases[] = {
        {100, 10, 40, 100, 10, 40},
        {0, 0, 0, 1, 1, 0},
        {1, 5, 3, 1, 1, 0},
        {100, 200, 5, 100, 100, 0},
        {100, 10, 95, 100, 10, 90},
        {100, 10, -5, 100, 10, 0},
        {INT_MIN, INT_MIN, INT_MIN, 1, 1, 0},
        {INT_MAX, 1, INT_MAX, INT_MAX, 1, INT_MAX - 1},
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0},
        {INT_MAX, INT_MIN, INT_MIN, INT_MAX, 1, 0},
    };
    for (const auto& c : cases)
    {
        qw::ScrollBar b;
        b.set(c.total, c.visible, c.offset);
        EXPECT_EQ(b.Total, c.T) << c.total << " " << c.visible << " " << c.offset;
        EXPECT_EQ(b.Visible, c.V) << c.total << " " << c.visible << " " << c.offset;
        EXPECT_EQ(b.Offset, c.O) << c.total << " " << c.visible << " " << c.offset;
    }
}

TEST(ScrollBarGeometry, CursorLengthAndPosition)
{
    qw::ScrollBar b;
    b.track = Rect(0, 4, 300, 36); // 301 long
    b.set(100, 10, 45);
    EXPECT_FLOAT_EQ(b.cursorLength(), 30.1f);
    EXPECT_FLOAT_EQ(b.room(), 270.9f);
    EXPECT_NEAR(b.cursorPosition, 135.45, 1e-3); // 270.9 x 45 / 90
    expectRect(b.cursor, 135.45, 4, 164.55, 36);

    // Total = Visible: the cursor fills the track from its start.
    b.set(50, 50, 7);
    EXPECT_EQ(b.Offset, 0);
    EXPECT_EQ(b.cursorPosition, 0.0f);
    expectRect(b.cursor, 0, 4, 300, 36);
    b.drag(40.0f);
    EXPECT_EQ(b.Offset, 0);
    b.moveOffset(50);
    EXPECT_EQ(b.Offset, 0);
    b.moveOffset(-50);
    EXPECT_EQ(b.Offset, 0);

    // Vertical: the cursor moves down the track.
    qw::ScrollBar v;
    v.horizontal = false;
    v.track = Rect(4, 0, 36, 300);
    v.set(100, 10, 90);
    expectRect(v.cursor, 4, 270.9, 36, 300);
}

TEST(ScrollBarGeometry, MinimumCursorLengthFollowsTheCornerRadius)
{
    qw::ScrollBar b;
    b.track = Rect(0, 0, 100, 10);
    b.set(1000, 1, 0);
    for (const auto& [radius, minimum] : {std::pair{8.0f, 16.0f}, {3.0f, 10.0f}, {0.0f, 10.0f}, {20.0f, 40.0f}})
    {
        b.setCursorRadius(radius);
        EXPECT_EQ(b.minimumCursorLength, minimum) << radius;
        EXPECT_EQ(b.cursorLength(), minimum) << radius; // 101 x 1/1000 is shorter
    }
}

TEST(ScrollBarGeometry, OffsetOfACursorPositionIsRounded)
{
    // Track 101 long; Total 10, Visible 1: cursor 10.1, room 90.9, 9 items
    // of travel, so Offset = trunc(9 p / 90.9 + 0.5).
    struct Case
    {
        float position;
        int32_t offset;
    };
    const Case cases[] = {
        {0.0f, 0},  // 0
        {5.0f, 0},  // 0.495 + 0.5
        {5.1f, 1},  // 0.505 + 0.5
        {45.0f, 4}, // 4.455 + 0.5
        {46.0f, 5}, // 4.554 + 0.5
        {90.9f, 9}, // the end
    };
    for (const auto& c : cases)
    {
        qw::ScrollBar b;
        b.track = Rect(0, 0, 100, 10);
        b.set(10, 1, 0);
        b.cursorPosition = c.position;
        b.updateOffset();
        EXPECT_EQ(b.Offset, c.offset) << c.position;
    }
}

TEST(ScrollBarGeometry, DragFollowsThePointerSmoothlyWithinTheTrack)
{
    qw::ScrollBar b;
    b.track = Rect(0, 0, 100, 10);
    b.set(10, 1, 0);
    b.drag(5.1f);
    EXPECT_EQ(b.Offset, 1);
    EXPECT_FLOAT_EQ(b.cursor.left, 5.1f); // not snapped to the item
    b.drag(1000.0f);
    EXPECT_EQ(b.Offset, 9);
    EXPECT_FLOAT_EQ(b.cursorPosition, 90.9f);
    b.drag(-1000.0f);
    EXPECT_EQ(b.Offset, 0);
    b.drag(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(b.Offset, 0);
    EXPECT_EQ(b.cursorPosition, 0.0f);
}

TEST(ScrollBarGeometry, TheWholeIntegerRangeWithoutOverflow)
{
    qw::ScrollBar b;
    b.track = Rect(0, 0, 1000, 10);
    b.set(INT_MAX, 1, 0);
    b.drag(1.0e9f); // to the end: (INT_MAX - 1) x 1 + 0.5 does not fit a float conversion to int
    EXPECT_EQ(b.Offset, INT_MAX - 1);
    b.moveOffset(INT_MAX);
    EXPECT_EQ(b.Offset, INT_MAX - 1);
    b.moveOffset(INT64_C(-4) * INT_MAX);
    EXPECT_EQ(b.Offset, 0);

    b.set(INT_MAX, INT_MAX / 2 + 1, INT_MAX);
    EXPECT_EQ(b.Offset, INT_MAX / 2);
    b.moveOffset(b.Visible); // paging past the end
    EXPECT_EQ(b.Offset, INT_MAX / 2);
    b.moveOffset(-static_cast<int64_t>(b.Visible));
    EXPECT_EQ(b.Offset, 0);
}
