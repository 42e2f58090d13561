// Bitmaps loaded from PNG and BMP files by the drawing stand-in.
#include "canvas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using drawtest::Canvas;
using namespace GmpiDrawing;

namespace
{
namespace fs = std::filesystem;

fs::path tempFile(const std::string& name)
{
    const fs::path dir = fs::temp_directory_path() / ("qw_drawing_images_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir / name;
}

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void put16(std::vector<uint8_t>& v, uint32_t x)
{
    v.push_back(x & 255);
    v.push_back((x >> 8) & 255);
}
void put32(std::vector<uint8_t>& v, uint32_t x)
{
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}

// A BMP file with a 40-byte header; rows as given (already padded).
std::vector<uint8_t> bmp(int width, int height, int bpp, const std::vector<uint32_t>& palette,
                         const std::vector<uint8_t>& rows, uint32_t compression = 0,
                         const std::vector<uint32_t>& masks = {})
{
    std::vector<uint8_t> v = {'B', 'M'};
    const uint32_t offset = 14 + 40 + 4 * static_cast<uint32_t>(masks.size() + palette.size());
    put32(v, offset + static_cast<uint32_t>(rows.size()));
    put32(v, 0);
    put32(v, offset);
    put32(v, 40);
    put32(v, static_cast<uint32_t>(width));
    put32(v, static_cast<uint32_t>(height));
    put16(v, 1);
    put16(v, static_cast<uint32_t>(bpp));
    put32(v, compression);
    put32(v, static_cast<uint32_t>(rows.size()));
    put32(v, 2835);
    put32(v, 2835);
    put32(v, static_cast<uint32_t>(palette.size()));
    put32(v, 0);
    for (uint32_t m : masks)
        put32(v, m);
    for (uint32_t p : palette)
        put32(v, p); // blue, green, red, 0 in memory
    v.insert(v.end(), rows.begin(), rows.end());
    return v;
}

struct Rgba
{
    int r, g, b, a;
};

void expectPixel(const Bitmap& bitmap, int x, int y, Rgba want)
{
    BitmapPixels px = bitmap.lockPixels(BitmapLockFlags::Read);
    ASSERT_FALSE(px.isNull());
    ASSERT_EQ(px.getPixelFormat(), 4);
    const uint8_t* p = px.getAddress() + y * px.getBytesPerRow() + 4 * x;
    EXPECT_EQ(p[0], want.b) << "blue at " << x << "," << y;
    EXPECT_EQ(p[1], want.g) << "green at " << x << "," << y;
    EXPECT_EQ(p[2], want.r) << "red at " << x << "," << y;
    EXPECT_EQ(p[3], want.a) << "alpha at " << x << "," << y;
}

class Images : public ::testing::Test
{
protected:
    Canvas canvas{1, 1};
    GmpiDrawing::Factory factory = canvas.graphics().GetFactory();

    Bitmap load(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        const fs::path p = tempFile(name);
        writeFile(p, bytes);
        Bitmap b = factory.LoadImageU(p.string());
        fs::remove(p);
        return b;
    }
};
} // namespace

TEST_F(Images, Bmp24BitBottomUpGivesTheTopRowFirst)
{
    // 2 x 2: bottom row (first in the file) blue, red; top row green, white. Rows padded to 8 bytes.
    const std::vector<uint8_t> rows = {255, 0, 0, 0, 0, 255, 0, 0, 0, 255, 0, 255, 255, 255, 0, 0};
    Bitmap b = load("a.bmp", bmp(2, 2, 24, {}, rows));
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(b.GetSize(), SizeU(2, 2));
    expectPixel(b, 0, 0, {0, 255, 0, 255});
    expectPixel(b, 1, 0, {255, 255, 255, 255});
    expectPixel(b, 0, 1, {0, 0, 255, 255});
    expectPixel(b, 1, 1, {255, 0, 0, 255});
}

TEST_F(Images, BmpPalettesOfOneFourAndEightBits)
{
    const std::vector<uint32_t> palette = {0x000000, 0x00FF8000, 0x000000FF};
    // 1 bit: 3 x 1, pixels 1 0 1.
    Bitmap one = load("1.bmp", bmp(3, 1, 1, {0x00000000, 0x00FFFFFF}, {0xA0, 0, 0, 0}));
    ASSERT_FALSE(one.isNull());
    expectPixel(one, 0, 0, {255, 255, 255, 255});
    expectPixel(one, 1, 0, {0, 0, 0, 255});
    expectPixel(one, 2, 0, {255, 255, 255, 255});
    // 4 bits: 3 x 1, pixels 1 2 0.
    Bitmap four = load("4.bmp", bmp(3, 1, 4, palette, {0x12, 0x00, 0, 0}));
    ASSERT_FALSE(four.isNull());
    expectPixel(four, 0, 0, {255, 128, 0, 255});
    expectPixel(four, 1, 0, {0, 0, 255, 255});
    // 8 bits, top-down (negative height): 2 x 2, an index past the palette is black.
    Bitmap eight = load("8.bmp", bmp(2, -2, 8, palette, {1, 2, 0, 0, 9, 0, 0, 0}));
    ASSERT_FALSE(eight.isNull());
    expectPixel(eight, 0, 0, {255, 128, 0, 255});
    expectPixel(eight, 1, 0, {0, 0, 255, 255});
    expectPixel(eight, 0, 1, {0, 0, 0, 255});
}

TEST_F(Images, Bmp32BitAlphaIsPremultipliedAndAllZeroAlphaMeansOpaque)
{
    // Blue, green, red, alpha in memory: one half-transparent white, one opaque red.
    Bitmap withAlpha = load("32a.bmp", bmp(2, 1, 32, {}, {255, 255, 255, 128, 0, 0, 255, 255}));
    ASSERT_FALSE(withAlpha.isNull());
    expectPixel(withAlpha, 0, 0, {128, 128, 128, 128});
    expectPixel(withAlpha, 1, 0, {255, 0, 0, 255});

    Bitmap noAlpha = load("32.bmp", bmp(1, 1, 32, {}, {10, 20, 30, 0}));
    ASSERT_FALSE(noAlpha.isNull());
    expectPixel(noAlpha, 0, 0, {30, 20, 10, 255});

    // Bit fields, 16 bits 5-6-5: pure green.
    Bitmap rgb565 = load("565.bmp", bmp(1, 1, 16, {}, {0xE0, 0x07, 0, 0}, 3, {0xF800, 0x07E0, 0x001F}));
    ASSERT_FALSE(rgb565.isNull());
    expectPixel(rgb565, 0, 0, {0, 255, 0, 255});
}

TEST_F(Images, DamagedOrForeignFilesAreRefused)
{
    const auto good = bmp(2, 2, 24, {}, std::vector<uint8_t>(16, 7));
    EXPECT_FALSE(load("good.bmp", good).isNull());
    for (size_t cut : {good.size() - 1, size_t{60}, size_t{30}, size_t{10}})
        EXPECT_TRUE(load("cut.bmp", std::vector<uint8_t>(good.begin(), good.begin() + cut)).isNull()) << cut;
    EXPECT_TRUE(load("huge.bmp", bmp(100000, 1, 24, {}, std::vector<uint8_t>(16, 0))).isNull());
    EXPECT_TRUE(load("zero.bmp", bmp(0, 2, 24, {}, {})).isNull());
    EXPECT_TRUE(load("rle.bmp", bmp(2, 2, 8, {0}, std::vector<uint8_t>(8, 0), 1)).isNull());
    EXPECT_TRUE(load("text.png", {'h', 'e', 'l', 'l', 'o'}).isNull());
    EXPECT_TRUE(load("empty.bmp", {}).isNull());
    EXPECT_TRUE(factory.LoadImageU("").isNull());
}

TEST_F(Images, PngKeepsItsPixelsAndOpaqueFilesGetFullAlpha)
{
    // Written through cairo's own encoder from known premultiplied pixels.
    for (cairo_format_t format : {CAIRO_FORMAT_ARGB32, CAIRO_FORMAT_RGB24})
    {
        cairo_surface_t* s = cairo_image_surface_create(format, 2, 1);
        cairo_surface_flush(s);
        auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
        px[0] = 0xFF336699u;
        px[1] = format == CAIRO_FORMAT_ARGB32 ? 0x80400000u : 0xFF800000u;
        cairo_surface_mark_dirty(s);
        const fs::path p = tempFile(format == CAIRO_FORMAT_ARGB32 ? "a.png" : "rgb.png");
        ASSERT_EQ(cairo_surface_write_to_png(s, p.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(s);

        Bitmap b = factory.LoadImageU(("file://" + p.string()).c_str());
        fs::remove(p);
        ASSERT_FALSE(b.isNull());
        expectPixel(b, 0, 0, {0x33, 0x66, 0x99, 255});
        if (format == CAIRO_FORMAT_ARGB32)
            expectPixel(b, 1, 0, {0x40, 0, 0, 0x80});
        else
            expectPixel(b, 1, 0, {0x80, 0, 0, 255});
    }
}

TEST_F(Images, WritingThroughALockChangesWhatIsDrawn)
{
    Canvas screen(2, 1);
    Graphics g = screen.graphics();
    Bitmap b = g.GetFactory().CreateImage(2, 1);
    ASSERT_FALSE(b.isNull());
    expectPixel(b, 0, 0, {0, 0, 0, 0}); // a new image is transparent
    {
        BitmapPixels px = b.lockPixels(BitmapLockFlags::ReadWrite);
        uint8_t* p = px.getAddress();
        const uint8_t bgra[8] = {1, 2, 3, 255, 40, 50, 60, 255};
        std::copy(bgra, bgra + 8, p);
    }
    g.DrawBitmap(b, Rect(0, 0, 2, 1), Rect(0, 0, 2, 1), 1.0f, BitmapInterpolationMode::NearestNeighbor);
    EXPECT_EQ(screen.at(0, 0).b, 1);
    EXPECT_EQ(screen.at(0, 0).r, 3);
    EXPECT_EQ(screen.at(1, 0).g, 50);
    EXPECT_TRUE(b.lockPixels(0).isNull()); // no mode
    EXPECT_EQ(b.GetFactory().Get(), static_cast<GmpiDrawing_API::IMpFactory*>(screen.factory));
}
