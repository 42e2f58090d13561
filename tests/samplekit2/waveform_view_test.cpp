// The waveform view that the three sample displays share: the column walk
// against a brute-force minimum and maximum, the pixels it covers, and
// through each built module under each echo mode of the host the gestures
// (checked against the values the module sends), the view on a new sample,
// the drawing, the colours and the safety of every mapping.
#include "display_fixture.h"
#include "waveform_walk.h"

#include <climits>
#include <cmath>
#include <limits>

using namespace displaytest;
using drawntest::only;
using Strings = std::vector<std::string>;

namespace
{
// ===========================================================================
// Column walk

// Column c (from 1) of `width` holds the frames from floor((c - 1) v / width)
// to floor(c v / width) - 1 after the offset, or the single frame where it
// starts when that range is empty; NaN frames do not count.
std::vector<qw::wave::Column> bruteForce(const std::vector<float>& f, int64_t offset, int64_t visible, int width)
{
    std::vector<qw::wave::Column> out;
    for (int64_t c = 1; c <= width; ++c)
    {
        const int64_t a = offset + (c - 1) * visible / width;
        int64_t b = offset + c * visible / width;
        if (b <= a)
            b = a + 1;
        float lo = 0, hi = 0;
        bool any = false;
        for (int64_t i = a; i < b; ++i)
        {
            const float v = f[static_cast<size_t>(i)];
            if (std::isnan(v))
                continue;
            lo = any ? std::min(lo, v) : v;
            hi = any ? std::max(hi, v) : v;
            any = true;
        }
        out.push_back({lo, hi});
    }
    return out;
}

std::vector<float> noisy(size_t n, uint32_t seed)
{
    std::vector<float> f(n);
    uint32_t x = seed;
    for (auto& v : f)
    {
        x = x * 1664525u + 1013904223u;
        v = static_cast<float>(x >> 8) / 8388608.0f - 1.0f;
    }
    return f;
}
} // namespace

TEST(ColumnWalk, MatchesTheMinimumAndMaximumOfEachColumn)
{
    const struct
    {
        int width;
        int64_t visible;
    } cases[] = {
        {1, 1}, {1, 1000}, {7, 3}, {7, 7}, {7, 5000}, {300, 41}, {300, 300}, {300, 299}, {300, 100003},
    };
    const int64_t offset = 13;
    for (const auto& k : cases)
    {
        // Exactly the frames up to the view's end: a read past it is a fault
        // the address sanitizer stops.
        const std::vector<float> f = noisy(static_cast<size_t>(offset + k.visible), static_cast<uint32_t>(k.visible));
        std::vector<qw::wave::Column> got(static_cast<size_t>(k.width) + 5, {9, 9});
        const int n = qw::wave::walkColumns(f.data(), offset, k.visible, k.width, got.data(), k.width + 5);
        ASSERT_EQ(n, k.width);
        const auto want = bruteForce(f, offset, k.visible, k.width);
        for (int c = 0; c < k.width; ++c)
        {
            EXPECT_EQ(got[c].lo, want[c].lo) << k.width << " columns, " << k.visible << " frames, column " << c;
            EXPECT_EQ(got[c].hi, want[c].hi) << k.width << " columns, " << k.visible << " frames, column " << c;
        }
        EXPECT_EQ(got[k.width].lo, 9.0f) << "a column past the width was written";
    }
}

TEST(ColumnWalk, LeavesNaNOutAndStopsAtItsLimits)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Two frames a column: NaN beside a number, then NaN only.
    const std::vector<float> f = {nan, 0.5f, nan, nan, -0.25f, 0.75f};
    qw::wave::Column c[3];
    ASSERT_EQ(qw::wave::walkColumns(f.data(), 0, 6, 3, c, 3), 3);
    EXPECT_EQ(c[0].lo, 0.5f);
    EXPECT_EQ(c[0].hi, 0.5f);
    EXPECT_EQ(c[1].lo, 0.0f);
    EXPECT_EQ(c[1].hi, 0.0f);
    EXPECT_EQ(c[2].lo, -0.25f);
    EXPECT_EQ(c[2].hi, 0.75f);

    // A fractional width walks its whole columns; below one pixel, none.
    EXPECT_EQ(qw::wave::walkColumns(f.data(), 0, 6, 2.9, c, 3), 2);
    EXPECT_EQ(qw::wave::walkColumns(f.data(), 0, 6, 0.5, c, 3), 0);
    EXPECT_EQ(qw::wave::walkColumns(f.data(), 0, 6, std::nan(""), c, 3), 0);
    EXPECT_EQ(qw::wave::walkColumns(f.data(), 0, 0, 3, c, 3), 0);
    // No more columns than there is room for.
    EXPECT_EQ(qw::wave::walkColumns(f.data(), 0, 6, 300, c, 3), 3);
}

// The outline of the waveform covers, in each pixel column, the rows between
// the column's largest and smallest frame.
TEST(ColumnWalk, TheDrawnOutlineCoversEachColumnsRows)
{
    const int w = 10, h = 100;
    std::vector<float> f(40);
    std::vector<float> hi(w), lo(w);
    for (int c = 0; c < w; ++c)
    {
        hi[c] = 0.2f + 0.05f * static_cast<float>(c);
        lo[c] = -0.1f - 0.06f * static_cast<float>(c);
        const float mid = 0.5f * (hi[c] + lo[c]);
        f[static_cast<size_t>(4 * c)] = mid;
        f[static_cast<size_t>(4 * c + 1)] = hi[c];
        f[static_cast<size_t>(4 * c + 2)] = lo[c];
        f[static_cast<size_t>(4 * c + 3)] = mid;
    }
    Drawn c(L"QW_S2_SampleDisplayEdit", Echo::None, true, "samplekit2");
    for (auto pin : {"Background Centre Colour", "Background Edge Colour", "Zero Line Colour", "Grid Colour",
                     "Fill Top Colour", "Fill Bottom Colour"})
        c.setText(pin, L"00000000");
    c.setText("Outline Colour", L"FFFFFFFF");
    c.setFloat("Y Range", 10); // range 1: y = (1 - v) x 50
    const auto bytes = s2test::sample(f);
    c.set("Sample", bytes);
    const auto& bitmap = c.view().layOutAndRender(w, h);
    for (int col = 0; col < w; ++col)
    {
        const double top = (1.0 - hi[col]) * 50.0, bottom = (1.0 - lo[col]) * 50.0;
        for (int row = static_cast<int>(std::ceil(top)) + 1; row < static_cast<int>(bottom) - 1; ++row)
        {
            // A line one pixel wide on x = col covers half of pixel columns col - 1 and col.
            int alpha = bitmap.pixel(col, row).a;
            if (col > 0)
                alpha = std::max(alpha, static_cast<int>(bitmap.pixel(col - 1, row).a));
            EXPECT_GE(alpha, 100) << "column " << col << ", row " << row;
        }
    }
    // Nothing reaches the top rows: no frame is above 0.65.
    for (int x = 0; x < w; ++x)
        for (int row = 0; row < 15; ++row)
            EXPECT_EQ(bitmap.pixel(x, row).a, 0) << x << "," << row;
}

// ===========================================================================
// Gestures, through every module under every echo mode

class Gestures : public DisplayTest
{};
INSTANTIATE_TEST_SUITE_P(All, Gestures, allModules(), paramName);

// With 1000 frames in 300 pixels, frame = trunc(10 x / 3) and x = 0.3 frame.

TEST_P(Gestures, AClickClearsTheSelection)
{
    const auto f = thousand();
    auto c = make(f);
    c->setInt("Selection Start", 10);
    c->setInt("Selection End", 20);
    c->clearSent();
    EXPECT_EQ(c->down(150, 50), 0);
    EXPECT_EQ(c->up(150, 50), 0);
    EXPECT_EQ(c->log(viewPins()), (Strings{"Selection End=-1", "Selection Start=-1"}));
    EXPECT_EQ(c->log({"Pointer Down"}), (Strings{"Pointer Down=true", "Pointer Down=false"}));
    // Nothing left to clear.
    c->clearSent();
    c->down(150, 50), c->up(150, 50);
    EXPECT_EQ(c->log(viewPins()), Strings{});
}

TEST_P(Gestures, TurningAutoZoomOnClearsTheSelection)
{
    const auto f = thousand();
    auto c = make(f);
    c->setInt("Selection Start", 10);
    c->setInt("Selection End", 20);
    c->clearSent();
    c->setBool("Auto Zoom", true);
    c->setBool("Auto Zoom", false);
    EXPECT_EQ(c->log(viewPins()), (Strings{"Selection End=-1", "Selection Start=-1"}));
}

TEST_P(Gestures, ADragKeepsItsSelectionOrZoomsToIt)
{
    const struct
    {
        bool autoZoom;
        float toX;
        Strings sent;
    } cases[] = {
        {false, 60, {"Selection Start=100", "Selection End=200"}},
        {true,
         60,
         {"Selection Start=100", "Selection End=200", "Visible=101", "Offset=100", "Selection End=-1",
          "Selection Start=-1"}},
        // 100 .. 109 spans ten frames: zoomed.
        {true,
         32.7f,
         {"Selection Start=100", "Selection End=109", "Visible=10", "Offset=100", "Selection End=-1",
          "Selection Start=-1"}},
        // 100 .. 108 spans nine: only cleared.
        {true, 32.4f, {"Selection Start=100", "Selection End=108", "Selection End=-1", "Selection Start=-1"}},
    };
    const auto f = thousand();
    for (const auto& k : cases)
    {
        SCOPED_TRACE(std::string(k.autoZoom ? "auto-zoom" : "no auto-zoom") + " to " + std::to_string(k.toX));
        auto c = make(f);
        c->setBool("Auto Zoom", k.autoZoom);
        c->clearSent();
        c->down(30, 50);
        c->move(k.toX, 50);
        c->up(k.toX, 50);
        EXPECT_EQ(c->log(viewPins()), k.sent);
    }
}

TEST_P(Gestures, OnlyASelectionAwayFromFrameZeroCanBeGrabbedByAnEdge)
{
    const struct
    {
        int start, end;
        float pressX, moveX;
        Strings sent;
    } cases[] = {
        // The end edge of 0..99 lies at x 30: a new drag from frame 100 starts.
        {0, 99, 30, 45, {"Selection Start=100", "Selection End=150"}},
        // The same edge of 10..99 is grabbed: the start stays.
        {10, 99, 30, 45, {"Selection End=150"}},
        // The start edge of 100..199 (x 30) is grabbed: the end stays.
        {100, 199, 32, 15, {"Selection Start=50"}},
        // Six pixels from it is no edge.
        {100, 199, 36, 45, {"Selection Start=120", "Selection End=150"}},
    };
    const auto f = thousand();
    for (const auto& k : cases)
    {
        SCOPED_TRACE(std::to_string(k.start) + ".." + std::to_string(k.end) + " pressed at " +
                     std::to_string(k.pressX));
        auto c = make(f);
        c->setInt("Selection Start", k.start);
        c->setInt("Selection End", k.end);
        c->clearSent();
        c->down(k.pressX, 50);
        c->move(k.moveX, 50);
        EXPECT_EQ(c->log(viewPins()), k.sent);
        c->up(k.moveX, 50);
    }
}

TEST_P(Gestures, ADragPastAnEdgeScrollsWhileMovingAway)
{
    const auto f = thousand();
    auto c = make(f);
    c->setInt("Visible", 100); // 3 pixels a frame: frame = offset + trunc(x / 3)
    c->clearSent();
    const struct
    {
        float x;
        Strings sent;
    } moves[] = {
        {330, {"Selection Start=50", "Selection End=110", "Offset=11"}}, // past the right edge, moving right
        {320, {}},                                                       // moving back: the edge frame holds
        {310, {}},                                                       // still moving back
        {340, {"Selection End=124", "Offset=25"}},                       // moving right again
        {200, {"Selection End=91"}},                                     // back inside
        {-30, {"Selection Start=15", "Selection End=50", "Offset=15"}},  // past the left edge, moving left
        {-20, {}},                                                       // moving back right: holds
    };
    c->down(150, 50); // frame 50
    for (const auto& m : moves)
    {
        c->clearSent();
        c->move(m.x, 50);
        EXPECT_EQ(c->log(viewPins()), m.sent) << "move to " << m.x;
    }
    c->clearSent();
    c->up(-20, 50);
    EXPECT_EQ(c->log(viewPins()), Strings{});
}

TEST_P(Gestures, ZoomOutDoublesTheViewInsideTheSample)
{
    const struct
    {
        int visible, offset;
        Strings sent;
    } cases[] = {
        {100, 10, {"Visible=200", "Offset=0"}}, // offset 10 - 50 clamped to 0
        {600, 0, {"Visible=1000"}},             // 1200 does not fit: the whole sample
        {300, 650, {"Visible=600", "Offset=400"}},
        {1000, 0, {}}, // the whole sample already
    };
    const auto f = thousand();
    for (const auto& k : cases)
    {
        auto c = make(f);
        c->setInt("Visible", k.visible);
        c->setInt("Offset", k.offset);
        c->clearSent();
        c->trigger("Zoom Out");
        EXPECT_EQ(c->log(viewPins()), k.sent) << k.visible << " at " << k.offset;
    }
}

TEST_P(Gestures, ZoomShowsASelectionOfTenFramesOrMore)
{
    const struct
    {
        int start, end;
        Strings sent;
    } cases[] = {
        {5, 14, {"Visible=10", "Offset=5"}},
        {5, 13, {}},                               // nine frames
        {990, 1200, {"Visible=10", "Offset=990"}}, // up to the last frame
        {1005, 1100, {}},                          // starts past the last frame
    };
    const auto f = thousand();
    for (const auto& k : cases)
    {
        auto c = make(f);
        c->setInt("Selection Start", k.start);
        c->setInt("Selection End", k.end);
        c->clearSent();
        c->trigger("Zoom");
        EXPECT_EQ(c->log(viewPins()), k.sent) << k.start << ".." << k.end;
    }
}

TEST_P(Gestures, SelectAllThenZoomAndShowAll)
{
    const auto f = thousand();
    auto c = make(f);
    c->setInt("Visible", 100);
    c->setInt("Offset", 500);
    c->clearSent();
    c->trigger("Select All");
    c->trigger("Zoom");
    EXPECT_EQ(c->log(viewPins()), (Strings{"Selection Start=0", "Selection End=999", "Visible=1000", "Offset=0"}));
    c->setInt("Visible", 100);
    c->setInt("Offset", 300);
    c->clearSent();
    c->trigger("Show All");
    EXPECT_EQ(c->log(viewPins()), (Strings{"Visible=1000", "Offset=0"}));
}

// ===========================================================================
// A new sample

TEST_P(Gestures, ANewSampleKeepsOrShrinksTheView)
{
    const std::vector<float> longer(2000, 0.25f), shorter(250, 0.25f), shortest(150, 0.25f), none;
    const struct
    {
        bool showAll;
        const std::vector<float>* next;
        Strings sent;
    } cases[] = {
        {false,
         &longer,
         {"Selection End=-1", "Selection Start=-1", "Frames=2000", "Selection Start=10", "Selection End=20"}},
        {false,
         &shorter,
         {"Selection End=-1", "Selection Start=-1", "Frames=250", "Offset=50", "Selection Start=10",
          "Selection End=20"}},
        {false,
         &shortest,
         {"Selection End=-1", "Selection Start=-1", "Frames=150", "Visible=150", "Offset=0", "Selection Start=10",
          "Selection End=20"}},
        {true,
         &longer,
         {"Selection End=-1", "Selection Start=-1", "Frames=2000", "Visible=2000", "Offset=0", "Selection Start=10",
          "Selection End=20"}},
        {true,
         &shortest,
         {"Selection End=-1", "Selection Start=-1", "Frames=150", "Visible=150", "Offset=0", "Selection Start=10",
          "Selection End=20"}},
        {false, &none, {"Selection End=-1", "Selection Start=-1", "Offset=0", "Frames=0", "Visible=0"}},
    };
    const auto f = thousand();
    for (const auto& k : cases)
    {
        SCOPED_TRACE(std::string(k.showAll ? "show all" : "keep") + ", " + std::to_string(k.next->size()));
        auto c = make(f);
        c->setBool("Show All On New Sample", k.showAll);
        c->setInt("Visible", 200);
        c->setInt("Offset", 100);
        c->setInt("Selection Start", 10);
        c->setInt("Selection End", 20);
        c->clearSent();
        c->set("Sample", sampleBytes(mod(), *k.next));
        EXPECT_EQ(c->log(viewPins()), k.sent);
    }
}

// Without a sample there is no selection: the next sample brings none back.
TEST_P(Gestures, NoSampleForgetsTheSelection)
{
    const auto f = thousand();
    auto c = make(f);
    c->setInt("Selection Start", 10);
    c->setInt("Selection End", 20);
    c->set("Sample", {});
    c->clearSent();
    c->set("Sample", sampleBytes(mod(), f));
    EXPECT_EQ(c->log(viewPins()), (Strings{"Frames=1000", "Visible=1000"}));
}

// ===========================================================================
// Drawing

class Drawing : public DisplayTest
{};
INSTANTIATE_TEST_SUITE_P(All, Drawing, allModules(), paramName);

// Two frames a column in 4 columns: each column's largest, then its smallest
// frame when they differ; the fill starts and ends on the zero line. The
// outline is stroked first, then the fill.
TEST_P(Drawing, PathsFollowTheColumnsTopThenBottom)
{
    const std::vector<float> f = {0.5f, 0.25f, -0.5f, -0.5f, 0.0f, 0.75f, -0.25f, -0.25f};
    auto c = make(f, 4, 100);
    c->setFloat("Y Range", 10); // y = (1 - v) x 50
    const auto calls = c->renderAll(4, 100);
    const auto outline = only(calls, "DrawGeometry"), fill = only(calls, "FillGeometry");
    ASSERT_EQ(outline.size(), 1u);
    ASSERT_EQ(fill.size(), 1u);
    using P = GmpiDrawing_API::MP1_POINT;
    const std::vector<P> line = {{0, 25}, {0, 37.5f}, {1, 75}, {2, 12.5f}, {2, 50}, {3, 62.5f}};
    std::vector<P> area = {{0, 50}};
    area.insert(area.end(), line.begin(), line.end());
    area.push_back({3, 50});
    auto same = [](const std::vector<P>& a, const std::vector<P>& b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (std::fabs(a[i].x - b[i].x) > 1e-4 || std::fabs(a[i].y - b[i].y) > 1e-4)
                return false;
        return true;
    };
    EXPECT_TRUE(same(outline[0].path, line));
    EXPECT_TRUE(same(fill[0].path, area));
    EXPECT_EQ(outline[0].values, std::vector<double>{1.0}); // stroke width
    EXPECT_EQ(outline[0].target, fill[0].target);
    auto at = [&](const char* op) {
        return std::find_if(calls.begin(), calls.end(), [&](const DrawCall& k) { return k.op == op; }) - calls.begin();
    };
    EXPECT_LT(at("DrawGeometry"), at("FillGeometry"));
}

// The screen gets the background and the waveform as bitmaps, the zero line
// and the selection; the selection ends one pixel short of the right edge.
TEST_P(Drawing, DrawsLayersZeroLineAndSelection)
{
    const auto f = thousand();
    auto c = make(f);
    c->setInt("Selection Start", 100);
    c->setInt("Selection End", 1500);
    const auto calls = c->renderAll(300, 100);
    const auto screen = [&](const char* op) { return only(calls, op, 0); };
    EXPECT_EQ(screen("DrawBitmap").size(), 2u);
    const auto zero = screen("DrawLine");
    ASSERT_EQ(zero.size(), 1u);
    EXPECT_EQ(zero[0].values, (std::vector<double>{0, 50, 300, 50, 1}));
    EXPECT_NEAR(zero[0].color.r, drawntest::linear(0x80), 1e-6);
    const auto sel = screen("FillRectangle");
    ASSERT_EQ(sel.size(), 1u);
    drawntest::expectNear(sel[0].values, {30, 0, 299, 100}, "selection");
    EXPECT_NEAR(sel[0].color.a, 128.0 / 255.0, 1e-6);

    // The selection is drawn again each time; the layers stay cached.
    c->setInt("Selection Start", 200);
    const auto again = c->render(300, 100);
    EXPECT_TRUE(only(again, "CreateCompatibleRenderTarget").empty());
    drawntest::expectNear(only(again, "FillRectangle", 0).at(0).values, {60, 0, 299, 100}, "selection");
    // A selection left of the view is not drawn.
    c->setInt("Offset", 500);
    c->setInt("Visible", 100);
    c->setInt("Selection End", 300);
    EXPECT_TRUE(only(c->render(300, 100), "FillRectangle", 0).empty());
}

TEST_P(Drawing, BackgroundIsTwoGradientsMeetingAtTheCentre)
{
    const auto f = thousand();
    auto c = make(f, 300, 100);
    const auto calls = c->renderAll(300, 100);
    std::vector<DrawCall> fills;
    for (auto& k : calls)
        if (k.op == "FillRectangle" && k.target != 0)
            fills.push_back(k);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].values, (std::vector<double>{0, 0, 300, 50}));
    EXPECT_EQ(fills[1].values, (std::vector<double>{0, 50, 300, 100}));
    // Edge colour FF505050 at the top and bottom, FF000000 at the centre.
    const auto brushes = only(calls, "CreateLinearGradientBrush");
    ASSERT_GE(brushes.size(), 2u);
    const double edge = drawntest::linear(0x50);
    drawntest::expectNear(brushes[0].values, {0, 0, 0, 50, 0, edge, edge, edge, 1, 1, 0, 0, 0, 1}, "top half");
    drawntest::expectNear(brushes[1].values, {0, 50, 0, 100, 0, 0, 0, 0, 1, 1, edge, edge, edge, 1}, "bottom half");
}

TEST_P(Drawing, AnEmptyColourRestoresTheDefaultAndAlphaZeroHides)
{
    const auto f = thousand();
    auto c = make(f);
    c->setInt("Selection Start", 0);
    c->setInt("Selection End", 10);
    c->setText("Zero Line Colour", L"FFFF0000");
    auto zero = only(c->render(300, 100), "DrawLine", 0);
    ASSERT_EQ(zero.size(), 1u);
    EXPECT_NEAR(zero[0].color.r, 1.0, 1e-6);
    EXPECT_EQ(zero[0].color.g, 0.0f);
    c->setText("Zero Line Colour", L"");
    zero = only(c->render(300, 100), "DrawLine", 0);
    ASSERT_EQ(zero.size(), 1u);
    EXPECT_NEAR(zero[0].color.g, drawntest::linear(0x80), 1e-6);

    c->setText("Zero Line Colour", L"00FF0000");
    c->setText("Selection Colour", L"00FFFFFF");
    auto calls = c->render(300, 100);
    EXPECT_TRUE(only(calls, "DrawLine", 0).empty());
    EXPECT_TRUE(only(calls, "FillRectangle", 0).empty());

    // Without background colours (and grid) no background layer is made.
    c->setText("Background Centre Colour", L"00000000");
    c->setText("Background Edge Colour", L"00FFFFFF");
    if (mod().editor)
        c->setText("Grid Colour", L"00FFFFFF");
    calls = c->renderAll(300, 100);
    EXPECT_EQ(only(calls, "DrawBitmap", 0).size(), 1u); // the waveform only
    EXPECT_EQ(only(calls, "CreateCompatibleRenderTarget").size(), 1u);
    EXPECT_TRUE(only(calls, "CreateLinearGradientBrush").size() == 1u); // the fill's
}

// A vertical range or grid step that is NaN, 0 or below its bound takes the
// bound: frames at 1e-5 lie on the top edge.
TEST_P(Drawing, ARangeThatIsNaNOrTooSmallTakesItsLowerBound)
{
    const std::vector<float> f(20, 0.00001f);
    for (float range : {std::numeric_limits<float>::quiet_NaN(), 0.0f, -std::numeric_limits<float>::infinity()})
    {
        auto c = make(f, 20, 100);
        c->setFloat("Y Range", range);
        const auto outline = only(c->renderAll(20, 100), "DrawGeometry");
        ASSERT_EQ(outline.size(), 1u);
        for (auto& p : outline[0].path)
            EXPECT_NEAR(p.y, 0.0, 1e-3) << "range pin " << range;
    }
}

class Grid : public DisplayTest
{};
INSTANTIATE_TEST_SUITE_P(Editors, Grid, editors(), paramName);

// The editors' grid: a line at every step from the highest multiple of it in
// the range down to -range, never more lines than pixel rows.
TEST_P(Grid, LinesAtEveryStepInTheRange)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct
    {
        float range, step; // pins, in tenths
        int h;
        std::vector<double> ys; // the first lines' y
        size_t count;
        double lastY;
    } cases[] = {
        // 0.5 in steps of 0.125: y = 50 - 100 v
        {5, 1.25f, 100, {0, 12.5, 25, 37.5, 50, 62.5, 75, 87.5, 100}, 9, 100},
        {5, 100, 100, {50}, 1, 50},         // the step at most 1: only the zero line
        {5, nan, 200, {0, 2, 4}, 101, 200}, // NaN: the smallest step, 0.01, two pixels apart
        {5, 0, 200, {0, 2, 4}, 101, 200},
        // 4 in steps of 1/32 lie 0.39 pixels apart: every third line, from
        // 128/32 down to -127/32 (y = 50 - 12.5 v).
        {40, 0.3125f, 100, {0, 1.171875, 2.34375}, 86, 99.609375},
    };
    const auto f = thousand();
    for (const auto& k : cases)
    {
        SCOPED_TRACE("range " + std::to_string(k.range) + ", step " + std::to_string(k.step));
        auto c = make(f, 300, k.h);
        c->setText("Grid Colour", L"FFFFFFFF");
        c->setFloat("Y Range", k.range);
        c->setFloat("Grid Step", k.step);
        std::vector<DrawCall> lines;
        for (auto& call : c->renderAll(300, k.h))
            if (call.op == "DrawLine" && call.target != 0)
                lines.push_back(call);
        ASSERT_EQ(lines.size(), k.count);
        for (size_t i = 0; i < k.ys.size(); ++i)
            drawntest::expectNear(lines[i].values, {0, k.ys[i], 300, k.ys[i], 1}, "line " + std::to_string(i));
        EXPECT_NEAR(lines.back().values[1], k.lastY, 1e-3);
    }
}

// ===========================================================================
// Safety

class Safety : public DisplayTest
{};
INSTANTIATE_TEST_SUITE_P(All, Safety, allModules(), paramName);

TEST_P(Safety, HitTestReportsAFrameInsideTheSampleOnly)
{
    const auto f = thousand();
    auto c = std::make_unique<Drawn>(mod().id, echo(), true, mod().bundle);
    c->set("Sample", sampleBytes(mod(), f));
    c->clearSent();
    // Nothing drawn yet: no width to map through.
    c->view().hitTest({30, 50});
    c->view().hitTest({0, 0});
    EXPECT_EQ(c->sentInts("Frame Under Pointer"), std::vector<int32_t>{-1});
    c->render(300, 100);
    c->view().hitTest({30, 50});
    EXPECT_EQ(c->sentInts("Frame Under Pointer").back(), 100);
    EXPECT_EQ(c->sentFloats("Value Under Pointer").back(), f[100]);
    const struct
    {
        int offset, visible;
        float x;
    } outside[] = {{900, 200, 299}, {0, 1000, -1}, {0, 0, 30}, {INT_MAX, INT_MAX, 200}};
    for (const auto& k : outside)
    {
        c->setInt("Offset", k.offset);
        c->setInt("Visible", k.visible);
        c->view().hitTest({k.x, 50});
        EXPECT_EQ(c->sentInts("Frame Under Pointer").back(), -1) << k.offset << "+" << k.visible << " at " << k.x;
        EXPECT_EQ(c->sentFloats("Value Under Pointer").back(), 0.0f);
    }
}

// A view beyond the sample draws no waveform and reads nothing past its
// frames (which the address sanitizer would stop).
TEST_P(Safety, AViewBeyondTheSampleReadsNothingPastIt)
{
    const std::vector<float> f(1000, 0.25f);
    const struct
    {
        int offset, visible;
        bool waveform;
    } cases[] = {
        {990, 10, true},           {991, 10, false},    {1000, 0, false},      {0, 1001, false}, {999, 1, true},
        {INT_MAX, INT_MAX, false}, {0, INT_MIN, false}, {INT_MIN, 1000, true}, // a negative offset counts as 0
    };
    for (const auto& k : cases)
    {
        auto c = make(f);
        c->setInt("Offset", k.offset);
        c->setInt("Visible", k.visible);
        const auto calls = c->renderAll(300, 100);
        EXPECT_EQ(only(calls, "DrawGeometry").size(), k.waveform ? 1u : 0u) << k.offset << "+" << k.visible;
        EXPECT_TRUE(drawntest::allFinite(calls));
        for (float x : {0.0f, 150.0f, 299.0f, 1e9f, -1e9f})
        {
            c->down(x, 50, drawntest::kLeftFine);
            c->move(x * 0.5f, 10, drawntest::kLeftFine);
            c->up(x * 0.5f, 10, drawntest::kLeftFine);
            c->view().hitTest({x, 50});
        }
    }
}

// A press past the last frame anchors the drag at the last frame.
TEST_P(Safety, APressPastTheEndIsClamped)
{
    const auto f = thousand();
    auto c = make(f);
    c->setInt("Offset", 900);
    c->setInt("Visible", 200); // frame = 900 + trunc(2 x / 3)
    c->clearSent();
    c->down(290, 50); // frame 1093
    c->move(10, 50);  // frame 906
    c->up(10, 50);
    EXPECT_EQ(c->log(viewPins()), (Strings{"Selection Start=906", "Selection End=999"}));
}

// The host may draw, probe and point between storing a new sample and
// announcing it; the frames of the sample before may be gone by then.
TEST_P(Safety, ANewSampleBeforeItsAnnouncement)
{
    auto before = std::make_unique<std::vector<float>>(thousand());
    auto c = make(*before);
    c->setInt("Offset", 800);
    c->setInt("Visible", 200);
    const std::vector<float> next(100, -0.25f);
    const auto bytes = sampleBytes(mod(), next);
    c->module().setPinOnly(c->pin("Sample"), bytes.data(), static_cast<int>(bytes.size()));
    before.reset(); // its sender has released it
    EXPECT_TRUE(drawntest::allFinite(c->renderAll(300, 100)));
    c->view().hitTest({290, 50});
    c->down(290, 50, drawntest::kLeftFine);
    c->move(5, 50, drawntest::kLeftFine);
    c->up(5, 50, drawntest::kLeftFine);
    c->clearSent();
    c->module().notifyPin(c->pin("Sample"));
    c->settle();
    EXPECT_EQ(c->last("Frames")->asInt(), 100);
    EXPECT_EQ(c->last("Visible")->asInt(), 100);
    EXPECT_EQ(c->last("Offset")->asInt(), 0);
}

// Values no patch should send: no crash, no read past the frames, only finite
// numbers drawn and sent.
TEST_P(Safety, HostileValuesOnEveryPin)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const auto f = thousand();
    auto c = make(f);
    auto exercise = [&](const std::string& what) {
        SCOPED_TRACE(what);
        for (int size : {300, 1})
            EXPECT_TRUE(drawntest::allFinite(c->renderAll(size, size / 3 + 1)));
        c->view().arrange({0, 0, 0, 0});
        c->view().render(1, 1);
        c->render(300, 100);
        for (float x : {-1e9f, 1e9f, 150.0f})
        {
            c->view().hitTest({x, -x});
            c->down(x, x, drawntest::kLeftFine);
            c->move(-x, x, drawntest::kLeftFine);
            c->move(x, -x, drawntest::kLeftFine);
            c->up(x, x, drawntest::kLeftFine);
        }
        for (auto t : {"Zoom", "Zoom Out", "Select All", "Show All", "Zoom", "Zoom Out"})
            c->trigger(t);
        for (auto& v : c->module().transmits)
        {
            const auto& info = c->module().pinInfo(v.pin);
            EXPECT_TRUE(info.datatype != gmpi::MP_FLOAT32 || std::isfinite(v.asFloat())) << info.name;
        }
        c->clearSent();
    };
    if (mod().editor)
        c->setBool("Pencil Enabled", true);
    for (int v : {INT_MIN, INT_MAX, -1, 0})
        for (auto pin : {"Offset", "Visible", "Selection Start", "Selection End"})
        {
            c->setInt(pin, v);
            exercise(std::string(pin) + " = " + std::to_string(v));
        }
    c->setInt("Selection Start", 10);
    c->setInt("Selection End", 500);
    for (float v : {nan, inf, -inf, 0.0f, 1e30f, -1e30f})
    {
        c->setFloat("Y Range", v);
        if (mod().editor)
            c->setFloat("Grid Step", v);
        exercise("range and step " + std::to_string(v));
    }
    for (const std::wstring& t : {std::wstring(L"garbage"), std::wstring(100, L'F'), std::wstring(100, L'7'),
                                  std::wstring(L"-FFFFFFFF"), std::wstring(L"\x00e9\xD800")})
    {
        for (auto pin : {"Background Centre Colour", "Outline Colour", "Fill Top Colour", "Selection Colour"})
            c->setText(pin, t);
        exercise("colour text of " + std::to_string(t.size()) + " characters");
    }
    // Empty, invalid and forged samples.
    std::vector<std::vector<uint8_t>> samples = {{}, {1, 2, 3}, std::vector<uint8_t>(6, 0x41)};
    if (mod().descriptor)
    {
        auto good = s2test::asDesc(s2test::sample(f));
        for (auto& b : s2test::brokenDescriptors(*good))
            samples.push_back(b);
    }
    for (auto& b : samples)
    {
        c->set("Sample", b);
        exercise("a sample of " + std::to_string(b.size()) + " bytes");
    }
}
