// qwhost draw of the skinned test module on the test skin.
#include "skin_rig.h"

#include <array>

#include <cairo.h>
#include <gtest/gtest.h>

namespace
{
const std::string kTestkit = std::string(QW_TEST_BUNDLE_DIR) + "/testkit.so";

class DrawSkin : public qwtest::CommandTest
{
protected:
    // Straight-alpha bytes of a PNG pixel: red, green, blue, alpha.
    std::array<int, 4> pixel(const std::string& png, int x, int y)
    {
        cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
        std::array<int, 4> out{-1, -1, -1, -1};
        if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS)
        {
            const uint8_t* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
            const uint32_t p = reinterpret_cast<const uint32_t*>(row)[x];
            out = {int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255), int(p >> 24)};
        }
        cairo_surface_destroy(s);
        return out;
    }
};
} // namespace

TEST_F(DrawSkin, KnobStripAtHalfShowsFrame32)
{
    const std::string png = file("knob.png");
    for (bool named : {true, false})
    {
        std::vector<std::string> args = {"draw", kTestkit, "QW_TestSkin",        "--size", "32x32",       "--out",
                                         png,    "--pin",  "File name=knob.png", "--pin",  "Position=0.5"};
        if (named)
            args.insert(args.end(), {"--skin", skintest::fixture()});
        const Result r = qwhost(args);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.out.find("measures 32x32"), std::string::npos) << r.out;
        // Frame k's disc is RGB (4k, 0x60, 252 - 4k); outside it is clear.
        EXPECT_EQ(pixel(png, 16, 16), (std::array<int, 4>{128, 0x60, 124, 255}));
        EXPECT_EQ(pixel(png, 20, 20), (std::array<int, 4>{128, 0x60, 124, 255}));
        EXPECT_EQ(pixel(png, 0, 0)[3], 0);
        EXPECT_EQ(pixel(png, 31, 31)[3], 0);
    }
}

TEST_F(DrawSkin, OtherFolderOrNone)
{
    const std::string png = file("x.png");
    const Result missing = qwhost({"draw", kTestkit, "QW_TestSkin", "--size", "32x32", "--out", png, "--skin",
                                   file("no such folder"), "--pin", "File name=knob.png"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("--skin '" + file("no such folder") + "' is not a folder"), std::string::npos)
        << missing.err;
    const Result twice = qwhost({"draw", kTestkit, "QW_TestSkin", "--size", "32x32", "--out", png, "--skin",
                                 skintest::fixture(), "--skin", skintest::fixture()});
    EXPECT_EQ(twice.code, 2); // a usage error
    EXPECT_NE(twice.err.find("--skin is given twice"), std::string::npos) << twice.err;

    // A folder without the image: the placeholder.
    const Result empty = qwhost({"draw", kTestkit, "QW_TestSkin", "--size", "32x32", "--out", png, "--skin",
                                 dir_.string(), "--pin", "File name=knob.png"});
    ASSERT_EQ(empty.code, 0) << empty.err;
    EXPECT_EQ(pixel(png, 6, 8), (std::array<int, 4>{255, 255, 255, 255}));
    EXPECT_LT(pixel(png, 1, 2)[0], 200); // the "X"
    EXPECT_EQ(pixel(png, 20, 20)[3], 0);
}
