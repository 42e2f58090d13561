// QW_VecSlider through the built bundle: layout, the cursor drawn from the
// recorded calls, the relative drag with the host's echo on and off, the
// disabled look, the grip, and the groove drawn once into a bitmap.
#include "drawn_fixture.h"

using namespace drawntest;
using qwhost::Echo;

namespace
{
// Travel over the whole control, a 20 % cursor with square corners, no bevel
// and no grip: the cursor is one rounded rectangle on the screen.
void plain(Drawn& c)
{
    c.setFloat("Travel Length %", 100);
    c.setFloat("Travel Thickness %", 100);
    c.setFloat("Cursor Length %", 20);
    c.setFloat("Cursor Radius", 0);
    c.setBool("Cursor Bevel", false);
    c.setBool("Cursor Grip", false);
}

// The cursor: the last rounded fill on the screen.
DrawCall cursorOf(const std::vector<DrawCall>& calls)
{
    const auto fills = only(calls, "FillRoundedRectangle", 0);
    EXPECT_FALSE(fills.empty());
    return fills.empty() ? DrawCall() : fills.back();
}

} // namespace

TEST(VecSlider, LaysOutAlongTheLongerSide)
{
    struct Case
    {
        int w, h;
        std::vector<double> cursor; // at value 1
    };
    const Case cases[] = {
        {300, 40, {240.8, 0, 300, 40}}, // 301 long, cursor 60.2: horizontal, at the right end
        {40, 300, {0, 0, 40, 59.2}},    // vertical, at the top
        {50, 50, {40.8, 0, 50, 50}},    // square: horizontal; cursor 10.2 of 51
    };
    for (const auto& k : cases)
    {
        Drawn c(L"QW_VecSlider");
        plain(c);
        c.setFloat("Value", 1.0f);
        expectNear(cursorOf(c.render(k.w, k.h)).values, k.cursor, std::to_string(k.w) + "x" + std::to_string(k.h));
    }
}

TEST(VecSlider, DrawsTransparentGroundTheCachedGrooveAndTheCursor)
{
    Drawn c(L"QW_VecSlider");
    plain(c);
    c.setFloat("Groove Length %", 100);
    c.setFloat("Groove Thickness %", 40);
    c.setFloat("Groove Radius", 4);
    c.setFloat("Groove Outline Width", 0); // taken as 1
    const auto calls = c.render(200, 40);
    const auto ground = only(calls, "FillRectangle", 0);
    ASSERT_EQ(ground.size(), 1u);
    EXPECT_EQ(ground[0].values, (std::vector<double>{0, 0, 200, 40}));
    EXPECT_EQ(ground[0].color.a, 0.0f);

    // The groove, inset by half its outline, into a bitmap of the control's size.
    const auto target = only(calls, "CreateCompatibleRenderTarget");
    ASSERT_EQ(target.size(), 1u);
    EXPECT_EQ(target[0].values, (std::vector<double>{200, 40, 1}));
    const auto fill = only(calls, "FillRoundedRectangle", 1);
    const auto outline = only(calls, "DrawRoundedRectangle", 1);
    ASSERT_EQ(fill.size(), 1u);
    ASSERT_EQ(outline.size(), 1u);
    expectNear(fill[0].values, {0.5, 12.5, 199.5, 27.5, 4, 4}, "groove");
    expectNear(outline[0].values, {0.5, 12.5, 199.5, 27.5, 4, 4, 1}, "groove outline");
    EXPECT_NEAR(fill[0].color.b, linear(0x80), 1e-6); // FF004080
    EXPECT_EQ(outline[0].color.r, 0.0f);              // FF000000
    const auto bitmap = only(calls, "DrawBitmap", 0);
    ASSERT_EQ(bitmap.size(), 1u);
    EXPECT_EQ(bitmap[0].values, (std::vector<double>{0, 0, 200, 40, 0, 0, 200, 40, 1, 1}));

    // Travel 201 long with a 0.2 cursor: 40.2 long at the start.
    const DrawCall cursor = cursorOf(calls);
    expectNear(cursor.values, {0, 0, 39.2, 40, 0, 0}, "cursor");
    EXPECT_NEAR(cursor.color.r, linear(0xD0), 1e-6);

    // The groove is reused until the size, a cosmetic or a colour pin changes.
    EXPECT_TRUE(only(c.render(200, 40), "CreateCompatibleRenderTarget").empty());
    c.setText("Groove Fill Colour", L"FF00FF00");
    EXPECT_EQ(only(c.render(200, 40), "CreateCompatibleRenderTarget").size(), 1u);
    c.setFloat("Groove Radius", 2);
    EXPECT_EQ(only(c.render(200, 40), "CreateCompatibleRenderTarget").size(), 1u);
    EXPECT_EQ(only(c.render(201, 40), "CreateCompatibleRenderTarget").size(), 1u);
    EXPECT_TRUE(only(c.render(201, 40), "CreateCompatibleRenderTarget").empty());
}

TEST(VecSlider, PercentPinsAreLimited)
{
    struct Case
    {
        const char* pin;
        float value;
        std::vector<double> cursor; // at value 0, 200 x 40
    };
    const Case cases[] = {
        {"Cursor Length %", 80, {0, 0, 99.5, 40}},     // 50 %: 100.5 of 201
        {"Cursor Length %", -5, {0, 0, 9, 40}},        // 0 %: the shortest cursor, 10
        {"Travel Length %", 5, {90, 0, 99, 40}},       // 10 %: travel 90 .. 110, cursor 10
        {"Travel Thickness %", 500, {0, 0, 39.2, 40}}, // 100 %
        {"Travel Thickness %", 50, {0, 10, 39.2, 30}},
    };
    for (const auto& k : cases)
    {
        Drawn c(L"QW_VecSlider");
        plain(c);
        c.setFloat(k.pin, k.value);
        expectNear(cursorOf(c.render(200, 40)).values, k.cursor, std::string(k.pin) + " " + std::to_string(k.value));
    }
}

TEST(VecSlider, SmallerThanTenDrawsNothingAndRefusesPresses)
{
    for (const auto& [w, h] : {std::pair{9, 40}, {40, 9}, {9, 9}})
    {
        Drawn c(L"QW_VecSlider");
        plain(c);
        EXPECT_TRUE(drawn(c.render(w, h)).empty()) << w << "x" << h;
        EXPECT_EQ(c.view().lastRenderResult(), 0);
        EXPECT_EQ(c.down(2, 2), -1);
        EXPECT_FALSE(c.graphicsHost().captured());
    }
    Drawn c(L"QW_VecSlider");
    plain(c);
    EXPECT_FALSE(drawn(c.render(10, 10)).empty());
    EXPECT_EQ(c.down(5, 5), 1);
}

class VecSliderDrag : public ::testing::TestWithParam<Echo>
{};

TEST_P(VecSliderDrag, RelativeDragRoundTrip)
{
    Drawn c(L"QW_VecSlider", GetParam());
    plain(c);
    c.render(200, 40); // travel 201: cursor 40.2, room 160.8
    EXPECT_EQ(c.down(20, 20), 1);
    EXPECT_EQ(c.sentBools("Pointer Down"), std::vector<bool>{true});
    // The press does not move the cursor to the pointer.
    EXPECT_TRUE(c.sentFloats("Value").empty());
    // While pressed the cursor takes the pressed colour (white).
    EXPECT_NEAR(cursorOf(c.render(200, 40)).color.r, 1.0, 1e-6);

    const size_t redraws = c.graphicsHost().redraws.size();
    EXPECT_EQ(c.move(57.3f, 20), 1);
    const float first = 57.3f - 20.0f;
    const float second = first + (107.3f - 57.3f) * 0.1f; // fine: a tenth of the pointer's way
    EXPECT_EQ(c.move(107.3f, 25, kLeftFine), 1);
    const auto sent = c.sentFloats("Value");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_FLOAT_EQ(sent[0], first / 160.8f);
    EXPECT_FLOAT_EQ(sent[1], second / 160.8f);
    // The echo, now or later, neither re-places the cursor nor asks for
    // another redraw.
    EXPECT_EQ(c.graphicsHost().redraws.size(), redraws + 2);
    EXPECT_EQ(cursorOf(c.render(200, 40)).values[0], static_cast<double>(second));

    // Past either end the value holds at 1 or 0.
    c.clearSent();
    c.move(1000, 20);
    c.move(1200, 20);
    expectNear(cursorOf(c.render(200, 40)).values, {160.8, 0, 200, 40}, "at the right end");
    c.move(-1000, 20);
    c.move(-1200, 20);
    EXPECT_EQ(c.sentFloats("Value"), (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(c.up(-1200, 20), 0);
    EXPECT_EQ(c.sentBools("Pointer Down"), std::vector<bool>{false});
    EXPECT_FALSE(c.graphicsHost().captured());
    EXPECT_NEAR(cursorOf(c.render(200, 40)).color.r, linear(0xD0), 1e-6);
    EXPECT_EQ(c.move(50, 20), 0); // no capture: not handled
}

TEST_P(VecSliderDrag, AVerticalSliderRisesAsTheCursorMovesUp)
{
    Drawn c(L"QW_VecSlider", GetParam());
    plain(c);
    c.render(40, 200); // cursor at the bottom: 160.8 .. 200
    EXPECT_EQ(c.down(20, 180), 1);
    c.move(20, 180 - 40.2f);
    c.up(20, 180 - 40.2f);
    const auto sent = c.sentFloats("Value");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NEAR(sent[0], 0.25, 1e-6);
    expectNear(cursorOf(c.render(40, 200)).values, {0, 120.6, 40, 159.8}, "cursor");
}

INSTANTIATE_TEST_SUITE_P(Echo, VecSliderDrag, ::testing::ValuesIn(allEchoes()),
                         [](const auto& info) { return std::string(echoName(info.param)); });

TEST(VecSlider, AValueFromTheHostPlacesTheCursor)
{
    Drawn c(L"QW_VecSlider");
    plain(c);
    c.render(200, 40);
    for (const auto& [v, left] : {std::pair{0.5f, 80.4}, {1.7f, 160.8}, {-3.0f, 0.0}})
    {
        const size_t redraws = c.graphicsHost().redraws.size();
        c.setFloat("Value", v);
        EXPECT_GT(c.graphicsHost().redraws.size(), redraws);
        EXPECT_NEAR(cursorOf(c.render(200, 40)).values[0], left, 1e-3) << v;
    }
}

TEST(VecSlider, WithoutRoomToTravelTheCursorSitsAtTheStartAndADragChangesNothing)
{
    // 90 wide with a 10 % travel: 10 long, just the shortest cursor.
    Drawn c(L"QW_VecSlider");
    plain(c);
    c.setFloat("Travel Length %", 10);
    c.setFloat("Value", 0.7f);
    expectNear(cursorOf(c.render(90, 20)).values, {40.5, 0, 49.5, 20}, "cursor");
    EXPECT_EQ(c.down(45, 10), 1);
    EXPECT_EQ(c.move(80, 10), 1);
    EXPECT_EQ(c.move(0, 10), 1);
    c.up(0, 10);
    EXPECT_TRUE(c.sentFloats("Value").empty());
    expectNear(cursorOf(c.render(90, 20)).values, {40.5, 0, 49.5, 20}, "cursor after the drag");
}

TEST(VecSlider, DisabledItFadesEveryColourAndRefusesPresses)
{
    Drawn c(L"QW_VecSlider");
    plain(c);
    c.setBool("Cursor Bevel", true);
    c.setBool("Enabled", false);
    c.setFloat("Disabled Alpha", 0.3f);
    const auto calls = c.render(200, 40);
    for (auto& call : calls)
        if (call.brush == "solid" && call.op != "FillRectangle")
        {
            EXPECT_NEAR(call.color.a, 0.3, 1e-6) << call.op << " on " << call.target;
        }
    EXPECT_EQ(only(calls, "FillRoundedRectangle", 0).size(), 3u); // bevel: light, dark, cursor
    EXPECT_EQ(c.down(20, 20), -1);
    EXPECT_FALSE(c.graphicsHost().captured());
    EXPECT_TRUE(c.sentBools("Pointer Down").empty());

    c.setBool("Enabled", true);
    const auto enabled = c.render(200, 40);
    EXPECT_NEAR(cursorOf(enabled).color.a, 1.0, 1e-6);
    EXPECT_EQ(c.down(20, 20), 1);
}

TEST(VecSlider, BevelDrawsALightAndADarkCopyBehindTheCursor)
{
    Drawn c(L"QW_VecSlider");
    plain(c);
    c.setBool("Cursor Bevel", true);
    c.setFloat("Cursor Radius", 3);
    c.setText("Cursor Colour", L"FF808080");
    const auto fills = only(c.render(200, 40), "FillRoundedRectangle", 0);
    ASSERT_EQ(fills.size(), 3u);
    const double g = linear(0x80);
    expectNear(fills[0].values, {-1, -1, 38.2, 39, 3, 3}, "light");
    EXPECT_NEAR(fills[0].color.r, g + 0.25, 1e-6);
    expectNear(fills[1].values, {1, 1, 40.2, 41, 3, 3}, "dark");
    EXPECT_NEAR(fills[1].color.r, g / 2, 1e-6);
    expectNear(fills[2].values, {0, 0, 39.2, 40, 3, 3}, "cursor");
    EXPECT_NEAR(fills[2].color.r, g, 1e-6);
}

TEST(VecSlider, GripOnlyOnACursorAtLeastThirtyLongAndFourteenThick)
{
    struct Case
    {
        int w, h;
        float thickness; // travel thickness, percent
        int lines;
        std::vector<double> first, second; // the first light and dark line
    };
    const Case cases[] = {
        // 161 long: cursor 32.2, rectangle 31.2 x 14; ridges from floor(8.6) + 0.5.
        {160, 28, 50, 10, {8.5, 13, 8.5, 15, 1}, {9.5, 14, 9.5, 16, 1}},
        {149, 28, 50, 0, {}, {}}, // rectangle 29 long
        {160, 28, 45, 0, {}, {}}, // 12.6 thick
        // Vertical, at the top (value 1): the ridges run across.
        {28, 160, 50, 10, {13, 8.5, 15, 8.5, 1}, {14, 9.5, 16, 9.5, 1}},
    };
    for (const auto& k : cases)
    {
        Drawn c(L"QW_VecSlider");
        plain(c);
        c.setBool("Cursor Grip", true);
        c.setFloat("Travel Thickness %", k.thickness);
        c.setFloat("Value", k.w < k.h ? 1.0f : 0.0f);
        c.setText("Cursor Colour", L"FF808080");
        const auto lines = only(c.render(k.w, k.h), "DrawLine", 0);
        ASSERT_EQ(lines.size(), static_cast<size_t>(k.lines)) << k.w << "x" << k.h << " " << k.thickness;
        if (!k.lines)
            continue;
        expectNear(lines[0].values, k.first, "light ridge");
        expectNear(lines[1].values, k.second, "dark ridge");
        EXPECT_NEAR(lines[0].color.r, linear(0x80) + 0.2, 1e-6);
        EXPECT_NEAR(lines[1].color.r, linear(0x80) / 2, 1e-6);
        // Five ridges, three units apart.
        EXPECT_NEAR(lines[8].values[k.w < k.h ? 1 : 0], lines[0].values[k.w < k.h ? 1 : 0] + 12, 1e-6);
    }
}

TEST(VecSlider, OnlyTheCursorIsHit)
{
    Drawn c(L"QW_VecSlider");
    plain(c);
    EXPECT_EQ(c.view().hitTest({5, 5}), -1); // not laid out yet
    c.render(200, 40);
    EXPECT_EQ(c.view().hitTest({20, 20}), 0);
    EXPECT_EQ(c.view().hitTest({0, 0}), 0);
    EXPECT_EQ(c.view().hitTest({39, 40}), 0);
    EXPECT_EQ(c.view().hitTest({39.5f, 20}), -1);
    EXPECT_EQ(c.view().hitTest({20, 40.5f}), -1);
    EXPECT_EQ(c.view().hitTest({100, 20}), -1);
    // A press anywhere on the travel is taken, though.
    EXPECT_EQ(c.down(100, 20), 1);
}

TEST(VecSlider, TooWideForABitmapTheGrooveIsDrawnDirectly)
{
    Drawn c(L"QW_VecSlider");
    plain(c);
    GmpiDrawing_API::MP1_SIZE desired;
    c.view().measure({100000, 40}, desired);
    c.view().arrange({0, 0, 100000, 40});
    const auto calls = c.renderOnly(200, 40);
    ASSERT_EQ(only(calls, "CreateCompatibleRenderTarget").size(), 1u);
    EXPECT_EQ(only(calls, "CreateCompatibleRenderTarget")[0].values.size(), 2u) << "refused: no target id";
    EXPECT_EQ(only(calls, "PushAxisAlignedClip", 0)[0].values, (std::vector<double>{0, 0, 100000, 40}));
    // Groove and cursor on the screen; the cursor 20 % of 100001.
    const auto fills = only(calls, "FillRoundedRectangle", 0);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_NEAR(fills[1].values[2], 20000.2 - 1, 1e-2);
    // A drag there works as anywhere.
    EXPECT_EQ(c.down(100, 20), 1);
    c.move(40100.2f, 20); // 40000.2 of a room of 80000.8
    EXPECT_NEAR(c.sentFloats("Value").back(), 0.5, 1e-4);
}
