// The drag controls drawn to PNG by the command-line host, as a user tries
// them: a few pixels of each, and the slider dragged by a pointer script.
#include "drawn_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace
{
class ControlsDraw : public drawntest::DrawCommand
{};

void expectColour(const qwtest::Png& p, int x, int y, int r, int g, int b, const std::string& what)
{
    ASSERT_LT(x, p.width);
    ASSERT_LT(y, p.height);
    const auto c = p.at(x, y);
    EXPECT_NEAR(c.r, r, 1) << what << " at " << x << "," << y;
    EXPECT_NEAR(c.g, g, 1) << what << " at " << x << "," << y;
    EXPECT_NEAR(c.b, b, 1) << what << " at " << x << "," << y;
    EXPECT_EQ(c.a, 255) << what << " at " << x << "," << y;
}
} // namespace

TEST_F(ControlsDraw, APointerScriptMovesTheSlidersCursor)
{
    // Travel 90 % of 300 (15 .. 285, 271 long), cursor 20 % (54.2), groove
    // 40 % of the height (12 .. 28). Dragging by 140 of a room of 216.8.
    const qwtest::Png before = draw("QW_VecSlider", "300x40");
    const qwtest::Png after = draw("QW_VecSlider", "300x40", {"--pointer", "press 60,20; move 200,20; release 200,20"});
    EXPECT_NE(last.out.find("press 60,20\t1\n\tsent Pointer Down = true\n"), std::string::npos) << last.out;
    const auto at = last.out.find("move 200,20\t1\n\tsent Value = ");
    ASSERT_NE(at, std::string::npos) << last.out;
    EXPECT_NEAR(std::atof(last.out.c_str() + at + 29), 140 / 216.8, 1e-6);

    // Where the cursor was and where it went, clear of its grip: cursor grey
    // (D0) against the groove (004080).
    expectColour(before, 20, 20, 0xD0, 0xD0, 0xD0, "cursor at the start");
    expectColour(before, 162, 20, 0x00, 0x40, 0x80, "groove");
    expectColour(after, 20, 20, 0x00, 0x40, 0x80, "groove where the cursor was");
    expectColour(after, 162, 20, 0xD0, 0xD0, 0xD0, "moved cursor");
    EXPECT_EQ(after.at(162, 2).a, 0) << "outside the groove the control is transparent";
}

TEST_F(ControlsDraw, LevelBarsShowTheBarOverTheBackground)
{
    for (const std::string id : {"QW_LevelBar2", "QW_LevelBar"})
    {
        const qwtest::Png p =
            draw(id, "200x40",
                 {"--pin", "Level=0.5", "--pin", "Bar Colour A=FF00FF00", "--pin", "Bar Colour B=FF00FF00", "--pin",
                  "Background Colour A=FF0000FF", "--pin", "Background Colour B=FF0000FF"});
        expectColour(p, 50, 20, 0, 255, 0, id + " bar");
        expectColour(p, 150, 20, 0, 0, 255, id + " background");
    }
    const qwtest::Png v = draw("QW_LevelBar2", "40x200",
                               {"--pin", "Level=0.25", "--pin", "Orientation=1", "--pin", "Bar Colour A=FFFF0000",
                                "--pin", "Bar Colour B=FFFF0000", "--pin", "Background Colour A=FF000000", "--pin",
                                "Background Colour B=FF000000"});
    expectColour(v, 20, 190, 255, 0, 0, "vertical bar at the bottom");
    expectColour(v, 20, 100, 0, 0, 0, "background above it");
}

TEST_F(ControlsDraw, ScrollBarsShowTheCursorOverTheTrack)
{
    // Offset 45 of Total 100, Visible 10: the cursor around the middle.
    const qwtest::Png p =
        draw("QW_ScrollBar2", "300x40",
             {"--pin", "Offset=45", "--pin", "Cursor Colour=FFFF0000", "--pin", "Background Fill Colour=FF0000FF"});
    expectColour(p, 150, 20, 255, 0, 0, "QW_ScrollBar2 cursor");
    expectColour(p, 50, 20, 0, 0, 255, "QW_ScrollBar2 background");

    const qwtest::Png old = draw("QW_ScrollBar", "300x20",
                                 {"--pin", "Offset=45", "--pin", "Cursor Colour=FFFF0000", "--pin",
                                  "Track Colour Start=FF0000FF", "--pin", "Track Colour End=FF0000FF"});
    expectColour(old, 150, 10, 255, 0, 0, "QW_ScrollBar cursor");
    expectColour(old, 50, 10, 0, 0, 255, "QW_ScrollBar track");
}

TEST_F(ControlsDraw, ListBoxHighlightsTheChosenRow)
{
    const qwtest::Png p =
        draw("QW_ListBox2", "200x120", {"--pin", "Items=alpha,beta,gamma,delta", "--pin", "Choice=2"});
    // Rows of the "normal" style (12 px Arial) are well over 12 high: the
    // selection (90D040) crosses the third row's band, the first two are on
    // the gradient background (E0E0F0 to D0D0E0); no bar, everything fits.
    int selected = -1;
    for (int y = 0; y < p.height && selected < 0; ++y)
        if (p.at(195, y).g > 0xC8 && p.at(195, y).r < 0xA0)
            selected = y;
    ASSERT_GT(selected, 24) << "the highlight starts below two rows";
    expectColour(p, 195, selected + 2, 0x90, 0xD0, 0x40, "highlight");
    EXPECT_GT(p.at(195, 2).r, 0xC8) << "first row on the background";
    EXPECT_GT(p.at(195, p.height - 2).r, 0xC8) << "background below the rows";
}

TEST_F(ControlsDraw, TextEntryTakesTheEnteredTextAndShowsIt)
{
    const std::string gruesse =
        "Gr\xC3\xBC\xC3\x9F"
        "e";
    const qwtest::Png edited =
        draw("QW_TextEntry", "160x24",
             {"--pin", "Text=Hello", "--pointer", "press 20,12; release 20,12", "--answer", "enter " + gruesse});
    EXPECT_NE(last.out.find("release 20,12\t0\n"), std::string::npos) << last.out;
    EXPECT_NE(last.out.find("\tsent Text = \"" + gruesse + "\"\n"), std::string::npos) << last.out;
    const qwtest::Png direct = draw("QW_TextEntry", "160x24", {"--pin", "Text=" + gruesse});
    const qwtest::Png hello = draw("QW_TextEntry", "160x24", {"--pin", "Text=Hello"});
    EXPECT_EQ(edited.pixels, direct.pixels) << "drawn as the new text is";
    EXPECT_NE(edited.pixels, hello.pixels);

    // "normal": #202020 text from the inset's left edge, no background
    // (premultiplied grey: each channel at most 0x20).
    int ink = 0;
    for (int y = 3; y < 21; ++y)
        for (int x = 3; x < 40; ++x)
        {
            const auto p = edited.at(x, y);
            if (p.a < 128)
                continue;
            ++ink;
            EXPECT_TRUE(p.r == p.g && p.g == p.b && p.r <= 0x20) << x << "," << y;
        }
    EXPECT_GT(ink, 5);
    EXPECT_EQ(edited.at(1, 1).a, 0) << "outside the inset";
    EXPECT_EQ(edited.at(150, 12).a, 0) << "right of the text";
}

TEST_F(ControlsDraw, OlderListBoxDrawsTheClickedRowChosen)
{
    // Rows of "field" are 19 high; its text is right-aligned, so the rows'
    // left ends show the selection (90D040) or the background.
    const std::vector<std::string> pins = {"--pin", "Items=alpha,beta,gamma,delta", "--pin", "Style=field"};
    const qwtest::Png before = draw("QW_ListBox", "160x100", pins);
    std::vector<std::string> clicked = pins;
    clicked.insert(clicked.end(), {"--pointer", "press 20,30; release 20,30"});
    const qwtest::Png after = draw("QW_ListBox", "160x100", clicked);
    EXPECT_NE(last.out.find("\tsent Choice = 1\n"), std::string::npos) << last.out;

    expectColour(before, 3, 9, 0x90, 0xD0, 0x40, "Choice 0 on the first row");
    expectColour(after, 3, 28, 0x90, 0xD0, 0x40, "the clicked second row");
    EXPECT_GT(after.at(3, 9).r, 0xC8) << "the first row on the background";
    EXPECT_GT(after.at(3, 90).r, 0xC8) << "background below the rows";
}
