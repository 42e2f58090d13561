// qwhost draw, through the built command, on the test bundle's drawn slider.
#include "test_support.h"
#include <cairo.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
namespace fs = std::filesystem;

struct Rgba
{
    int r, g, b, a;
};

const std::string kTestkit = std::string(QW_TEST_BUNDLE_DIR) + "/testkit.so";

class DrawCommand : public qwtest::CommandTest
{
protected:
    // Pixels of a PNG file as the file holds them (straight alpha), read by cairo.
    struct Png
    {
        int width = 0, height = 0;
        std::vector<uint32_t> pixels; // premultiplied 0xAARRGGBB
        Rgba at(int x, int y) const
        {
            const uint32_t p = pixels[static_cast<size_t>(y * width + x)];
            return {int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255), int(p >> 24)};
        }
    };
    Png readPng(const std::string& path) const
    {
        Png png;
        cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
        EXPECT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS) << path;
        if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS)
        {
            png.width = cairo_image_surface_get_width(s);
            png.height = cairo_image_surface_get_height(s);
            const int stride = cairo_image_surface_get_stride(s);
            const uint8_t* data = cairo_image_surface_get_data(s);
            for (int y = 0; y < png.height; ++y)
                for (int x = 0; x < png.width; ++x)
                    png.pixels.push_back(reinterpret_cast<const uint32_t*>(data + y * stride)[x]);
        }
        cairo_surface_destroy(s);
        return png;
    }
};
} // namespace

TEST_F(DrawCommand, DrawsTheModuleWithItsPinValues)
{
    const std::string png = file("slider.png");
    const Result r = qwhost({"draw", kTestkit, "QW_TestDrawn", "--size", "100x20", "--out", png, "--pin",
                             "Position=0.25", "--pin", "Colour=FF804020"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("# wrote " + png + ": 100x20 pixels"), std::string::npos) << r.out;
    const Png p = readPng(png);
    ASSERT_EQ(p.width, 100);
    ASSERT_EQ(p.height, 20);
    const Rgba background = p.at(60, 2);
    EXPECT_EQ(background.r, 0x80);
    EXPECT_EQ(background.g, 0x40);
    EXPECT_EQ(background.b, 0x20);
    EXPECT_EQ(background.a, 0xFF);
    EXPECT_EQ(p.at(25, 8).g, 0xFF); // the knob
}

TEST_F(DrawCommand, PointerScriptDragsTheKnobBeforeDrawing)
{
    const std::string png = file("dragged.png");
    const Result r = qwhost({"draw", kTestkit, "QW_TestDrawn", "--size", "100x20", "--out", png, "--pointer",
                             "move 10,10; press 30,10;move 90,10 fine\nrelease 90,10 # done"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string expected =
        "move 10,10\t-1\n"
        "press 30,10\t0\n"
        "\tsent Position = 0.300000012\n"
        "move 90,10 fine\t0\n"
        "\tsent Position = 0.899999976\n"
        "release 90,10\t0\n";
    EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;
    const Png p = readPng(png);
    EXPECT_EQ(p.at(90, 8).g, 0xFF);
    EXPECT_EQ(p.at(50, 8).g, 0x60); // the default background where the knob was
}

TEST_F(DrawCommand, ScriptFromAFile)
{
    const std::string script = file("steps.txt"), png = file("f.png");
    std::ofstream(script) << "# drag to the left end\npress 50,5\nmove -20,5\nrelease -20,5\n";
    const Result r =
        qwhost({"draw", kTestkit, "QW_TestDrawn", "--size", "40x10", "--out", png, "--pointer-file", script});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\tsent Position = 0\n"), std::string::npos) << r.out;
}

TEST_F(DrawCommand, RefusalsNameWhatIsWrong)
{
    const std::string png = file("x.png");
    struct Case
    {
        std::vector<std::string> args;
        int code; // 2: the command line is at fault; 1: a file, bundle or module failed
        std::string says;
    };
    const std::vector<Case> cases = {
        {{"draw", kTestkit, "QW_TestDrawn", "--out", png}, 2, "--size is needed"},
        {{"draw", kTestkit, "QW_TestDrawn", "--size", "100x20"}, 2, "--out needs a file name"},
        {{"draw", kTestkit, "QW_TestDrawn", "--size", "0x20", "--out", png}, 2, "--size '0x20'"},
        {{"draw", kTestkit, "QW_TestDrawn", "--size", "20000x20", "--out", png}, 2, "--size '20000x20'"},
        {{"draw", kTestkit, "QW_TestDrawn", "--size", "10x10", "--out", png, "--pin", "Nope=1"},
         2,
         "no pin named 'Nope'"},
        {{"draw", kTestkit, "QW_TestDrawn", "--size", "10x10", "--out", png, "--pin", "Position=abc"},
         2,
         "pin 'Position'"},
        {{"draw", kTestkit, "QW_TestDrawn", "--size", "10x10", "--out", png, "--pointer", "press 1,2; jump 3,4"},
         2,
         "pointer step 'jump 3,4'"},
        {{"draw", kTestkit, "QW_TestDrawn", "--size", "10x10", "--out", png, "--pointer", "press 1"},
         2,
         "pointer step 'press 1': the point is not X,Y"},
        {{"draw", kTestkit, "QW_TestDrawn", "--size", "10x10", "--out", png, "--pointer", "press nan,1"},
         2,
         "the point is not X,Y"},
        {{"draw", kTestkit, "QW_TestGuiProbe", "--size", "10x10", "--out", png}, 1, "does not draw"},
        {{"draw", kTestkit, "QW_NoSuchModule", "--size", "10x10", "--out", png}, 1, "QW_NoSuchModule"},
        {{"draw", kTestkit, "QW_TestDrawn", "--size", "10x10", "--out", file("no/such/dir/x.png")}, 1, "cannot write"},
        {{"draw", kTestkit, "QW_TestDrawn", "--size", "10x10", "--out", png, "--pointer-file", file("none.txt")},
         1,
         "cannot open pointer script"},
        {{"draw", kTestkit, "QW_TestWidgets", "--size", "10x10", "--out", png, "--answer", "choose two"},
         2,
         "--answer 'choose two' is not"},
        {{"draw", kTestkit, "QW_TestWidgets", "--size", "10x10", "--out", png, "--answer", "shrug"},
         2,
         "--answer 'shrug' is not"},
        {{"draw", kTestkit, "QW_TestDrawn", "--size", "10x10", "--out", png, "--pointer", "wait -5"},
         2,
         "pointer step 'wait -5': the time is not milliseconds"},
    };
    for (const auto& c : cases)
    {
        const Result r = qwhost(c.args);
        EXPECT_EQ(r.code, c.code) << c.says << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(png));
}

// Real time passes between pointer steps where the script says.
TEST_F(DrawCommand, WaitLetsRealTimePass)
{
    const Result r = qwhost({"draw", kTestkit, "QW_TestDrawn", "--size", "40x20", "--out", file("w.png"), "--pointer",
                             "press 5,5; wait 30; release 5,5"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("wait 30\t0 timer tick(s)"), std::string::npos) << r.out;
}

// The user's answers to the widgets a module opens come from the command line,
// in the order the widgets open.
TEST_F(DrawCommand, AnswersTheWidgetsTheModuleOpens)
{
    const std::string png = file("widgets.png");
    const Result r =
        qwhost({"draw", kTestkit, "QW_TestWidgets", "--size", "40x20", "--out", png, "--pin", "Items=One=1,Two=2",
                "--pointer", "press 5,5; release 5,5; press 6,6", "--answer", "choose 2", "--answer", "cancel"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto first = r.out.find("sent Choice = 2");
    EXPECT_NE(first, std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sent Result = -1\n", first), std::string::npos) << "the second menu was cancelled\n" << r.out;
    EXPECT_EQ(r.out.find("left open"), std::string::npos) << r.out;

    // No answer left: the menu stays open, and the command says so.
    const Result open = qwhost({"draw", kTestkit, "QW_TestWidgets", "--size", "40x20", "--out", png, "--pin",
                                "Items=One=1", "--pointer", "press 5,5"});
    ASSERT_EQ(open.code, 0) << open.err;
    EXPECT_NE(open.out.find("# 1 widget(s) left open without an answer"), std::string::npos) << open.out;
}

TEST_F(DrawCommand, HelpAndUsage)
{
    const Result help = qwhost({"draw", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("press X,Y"), std::string::npos);
    const Result usage = qwhost({"--help"});
    EXPECT_NE(usage.out.find("qwhost draw BUNDLE ID"), std::string::npos);
}
